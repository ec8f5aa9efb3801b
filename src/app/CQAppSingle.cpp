#include "app/CQAppSingle.h"

#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QWidget>

CQAppSingle::CQAppSingle(int &argc, char **argv)
    : QApplication(argc, argv)
{
    m_szServerName = QFileInfo(QCoreApplication::applicationFilePath()).fileName();

    {
        QLocalSocket socket;
        socket.connectToServer(m_szServerName, QIODevice::ReadWrite);
        if (socket.waitForConnected(m_iConnectTimeoutMs)) {
            // The connection itself is the whole message.
            m_bAlreadyRunning = true;
            return;
        }
    }

    m_pLocalServer = new QLocalServer(this);
    connect(m_pLocalServer, &QLocalServer::newConnection, this, &CQAppSingle::sltNewLocalConnection);
    if (!m_pLocalServer->listen(m_szServerName)
        && m_pLocalServer->serverError() == QAbstractSocket::AddressInUseError) {
        // Nobody answered on the name, so the socket is a leftover of an
        // instance that did not end cleanly.
        QLocalServer::removeServer(m_szServerName);
        m_pLocalServer->listen(m_szServerName);
    }
}

CQAppSingle::~CQAppSingle()
{
    // On Linux removeServer deletes the socket file, so only the instance
    // that listens on the name may remove it; a refused second instance
    // must leave the first one's socket alone.
    if (m_pLocalServer) {
        const bool bOwnsName = m_pLocalServer->isListening();
        m_pLocalServer->close();
        if (bOwnsName && !m_szServerName.isEmpty())
            QLocalServer::removeServer(m_szServerName);
    }
}

bool CQAppSingle::isListening() const
{
    return m_pLocalServer && m_pLocalServer->isListening();
}

void CQAppSingle::sltNewLocalConnection()
{
    QLocalSocket *pSocket = m_pLocalServer->nextPendingConnection();
    if (!pSocket)
        return;
    pSocket->close();
    delete pSocket;

    if (m_pMainWindow) {
        qInfo("another instance was started: bringing the main window to the front");
        m_pMainWindow->setWindowState((m_pMainWindow->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
        m_pMainWindow->show();
        m_pMainWindow->raise();
        m_pMainWindow->activateWindow();
    }
}
