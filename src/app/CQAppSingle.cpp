#include "app/CQAppSingle.h"

#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QWidget>

namespace {

// Paths handed over go as UTF-8, each ended by a NUL (the one byte no path holds).
constexpr qint64 kMostHandedOverBytes = 1 << 20;

} // namespace

CQAppSingle::CQAppSingle(int &argc, char **argv)
    : QApplication(argc, argv)
{
    m_szServerName = QFileInfo(QCoreApplication::applicationFilePath()).fileName();

    {
        QLocalSocket socket;
        socket.connectToServer(m_szServerName, QIODevice::ReadWrite);
        if (socket.waitForConnected(m_iConnectTimeoutMs)) {
            // The connection itself is the message, plus the files to open, if any.
            m_bAlreadyRunning = true;
            QByteArray paths;
            for (const QString &szFile : QCoreApplication::arguments().mid(1))
                paths += QFileInfo(szFile).absoluteFilePath().toUtf8() + '\0';
            if (!paths.isEmpty() && paths.size() <= kMostHandedOverBytes) {
                socket.write(paths);
                socket.waitForBytesWritten(m_iConnectTimeoutMs);
            }
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
    // The other start hangs up after sending the paths of its files, if any.
    pSocket->setReadBufferSize(kMostHandedOverBytes);
    auto takeFiles = [this, pSocket] {
        const QByteArray data = pSocket->readAll();
        pSocket->deleteLater();
        QStringList files;
        for (const QByteArray &path : data.split('\0'))
            if (!path.isEmpty())
                files << QString::fromUtf8(path);
        if (!files.isEmpty())
            emit sig_filesOpened(files);
    };
    if (pSocket->state() == QLocalSocket::UnconnectedState)
        takeFiles();
    else
        connect(pSocket, &QLocalSocket::disconnected, this, takeFiles);

    if (m_pMainWindow) {
        qInfo("another instance was started: bringing the main window to the front");
        m_pMainWindow->setWindowState((m_pMainWindow->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
        m_pMainWindow->show();
        m_pMainWindow->raise();
        m_pMainWindow->activateWindow();
    }
}
