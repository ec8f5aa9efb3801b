#include "common/TestHttpServer.h"

#include "common/TestSupport.h"

#include <QDeadlineTimer>
#include <QDebug>
#include <QFile>
#include <QMutex>
#include <QMutexLocker>
#include <QSslCertificate>
#include <QSslKey>
#include <QSslSocket>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>
#include <QWaitCondition>

#include <functional>
#include <memory>

namespace testsupport {

namespace {

struct Credentials
{
    QSslCertificate certificate;
    QSslKey key;
    QString szCertificatePath;
};

QByteArray readAll(const QString &szPath)
{
    QFile file(szPath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

const Credentials &credentials()
{
    static QTemporaryDir s_dir;
    static const Credentials s_credentials = [] {
        Credentials st;
        const QString szCert = s_dir.filePath(QStringLiteral("localhost.pem"));
        const QString szKey = s_dir.filePath(QStringLiteral("localhost.key"));
        const ToolResult result = runTool(
            QStringLiteral("openssl"),
            {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-keyout", szKey,
             "-out", szCert, "-days", "2", "-subj", "/CN=localhost", "-addext",
             "subjectAltName=DNS:localhost,IP:127.0.0.1"},
            30000);
        if (!s_dir.isValid() || !result.bFinished || result.iExitCode != 0) {
            qWarning() << "openssl could not make the test certificate:" << result.stdErr;
            return st;
        }
        st.certificate = QSslCertificate(readAll(szCert), QSsl::Pem);
        st.key = QSslKey(readAll(szKey), QSsl::Ec, QSsl::Pem);
        st.szCertificatePath = szCert;
        return st;
    }();
    return s_credentials;
}

// A complete request in buffer (headers and Content-Length bytes of body)?
bool parseRequest(const QByteArray &buffer, HttpRequest *pRequest)
{
    const int iEnd = buffer.indexOf("\r\n\r\n");
    if (iEnd < 0)
        return false;
    const QList<QByteArray> lines = buffer.left(iEnd).split('\n');
    const QList<QByteArray> requestLine = lines.first().trimmed().split(' ');
    HttpRequest st;
    st.method = requestLine.value(0);
    st.path = requestLine.value(1);
    for (int i = 1; i < lines.size(); ++i) {
        const int iColon = lines.at(i).indexOf(':');
        if (iColon > 0)
            st.headers.append({lines.at(i).left(iColon).trimmed(), lines.at(i).mid(iColon + 1).trimmed()});
    }
    const int iLength = st.header("Content-Length").toInt();
    if (buffer.size() < iEnd + 4 + iLength)
        return false;
    st.body = buffer.mid(iEnd + 4, iLength);
    *pRequest = st;
    return true;
}

} // namespace

QByteArray HttpRequest::header(const QByteArray &name) const
{
    for (const auto &stHeader : headers) {
        if (stHeader.first.toLower() == name.toLower())
            return stHeader.second;
    }
    return QByteArray();
}

class TestHttpServer::Worker : public QThread
{
public:
    explicit Worker(bool bTls) : m_bTls(bTls) {}
    ~Worker() override
    {
        quit();
        wait();
    }

    void startAndWait()
    {
        QMutexLocker locker(&m_mutex);
        start();
        while (!m_bStarted)
            m_changed.wait(&m_mutex);
    }

    mutable QMutex m_mutex;
    mutable QWaitCondition m_changed;
    bool m_bStarted = false;
    quint16 m_iPort = 0;
    const bool m_bTls;
    Behaviour m_eBehaviour = Behaviour::Answer;
    QByteArray m_answer = "OK";
    QList<HttpRequest> m_requests;

protected:
    void run() override;

private:
    void answer(QSslSocket *pSocket, const HttpRequest &stRequest);
};

namespace {

class Server : public QTcpServer
{
public:
    Server(bool bTls, std::function<void(QSslSocket *, const HttpRequest &)> fnOnRequest)
        : m_bTls(bTls), m_fnOnRequest(std::move(fnOnRequest))
    {
    }

protected:
    void incomingConnection(qintptr iDescriptor) override
    {
        auto *pSocket = new QSslSocket(this);
        if (!pSocket->setSocketDescriptor(iDescriptor)) {
            delete pSocket;
            return;
        }
        auto pBuffer = std::make_shared<QByteArray>();
        connect(pSocket, &QSslSocket::readyRead, pSocket, [this, pSocket, pBuffer] {
            *pBuffer += pSocket->readAll();
            HttpRequest stRequest;
            if (parseRequest(*pBuffer, &stRequest)) {
                pBuffer->clear();
                m_fnOnRequest(pSocket, stRequest);
            }
        });
        connect(pSocket, &QAbstractSocket::disconnected, pSocket, &QObject::deleteLater);
        if (m_bTls) {
            pSocket->setLocalCertificate(credentials().certificate);
            pSocket->setPrivateKey(credentials().key);
            pSocket->setPeerVerifyMode(QSslSocket::VerifyNone);
            pSocket->startServerEncryption();
        }
    }

private:
    const bool m_bTls;
    std::function<void(QSslSocket *, const HttpRequest &)> m_fnOnRequest;
};

} // namespace

void TestHttpServer::Worker::run()
{
    Server server(m_bTls, [this](QSslSocket *pSocket, const HttpRequest &stRequest) { answer(pSocket, stRequest); });
    const bool bListening = server.listen(QHostAddress::LocalHost, 0);
    {
        QMutexLocker locker(&m_mutex);
        m_iPort = bListening ? server.serverPort() : 0;
        m_bStarted = true;
        m_changed.wakeAll();
    }
    if (bListening)
        exec();
}

void TestHttpServer::Worker::answer(QSslSocket *pSocket, const HttpRequest &stRequest)
{
    QMutexLocker locker(&m_mutex);
    m_requests.append(stRequest);
    m_changed.wakeAll();
    if (m_eBehaviour == Behaviour::Hang)
        return;
    const QByteArray body = m_eBehaviour == Behaviour::Oversized ? QByteArray(128 * 1024, 'x') : m_answer;
    pSocket->write("HTTP/1.1 200 OK\r\nContent-Type: text/plain; charset=utf-8\r\nConnection: close\r\n"
                   "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body);
    pSocket->disconnectFromHost();
}

TestHttpServer::TestHttpServer(bool bTls) : m_pWorker(std::make_unique<Worker>(bTls))
{
    if (bTls)
        credentials();   // made here, not in the server's thread
    m_pWorker->startAndWait();
}

TestHttpServer::~TestHttpServer() = default;

bool TestHttpServer::isListening() const
{
    QMutexLocker locker(&m_pWorker->m_mutex);
    return m_pWorker->m_iPort != 0 && (!m_pWorker->m_bTls || !credentials().key.isNull());
}

QString TestHttpServer::baseUrl() const
{
    QMutexLocker locker(&m_pWorker->m_mutex);
    return QStringLiteral("%1://localhost:%2")
        .arg(m_pWorker->m_bTls ? QStringLiteral("https") : QStringLiteral("http"))
        .arg(m_pWorker->m_iPort);
}

void TestHttpServer::setBehaviour(Behaviour eBehaviour)
{
    QMutexLocker locker(&m_pWorker->m_mutex);
    m_pWorker->m_eBehaviour = eBehaviour;
}

void TestHttpServer::setAnswer(const QByteArray &answer)
{
    QMutexLocker locker(&m_pWorker->m_mutex);
    m_pWorker->m_answer = answer;
}

QList<HttpRequest> TestHttpServer::requests() const
{
    QMutexLocker locker(&m_pWorker->m_mutex);
    return m_pWorker->m_requests;
}

bool TestHttpServer::waitForRequests(int iCount, int iTimeoutMs) const
{
    QDeadlineTimer deadline(iTimeoutMs);
    QMutexLocker locker(&m_pWorker->m_mutex);
    while (m_pWorker->m_requests.size() < iCount) {
        if (!m_pWorker->m_changed.wait(&m_pWorker->m_mutex, deadline))
            break;
    }
    return m_pWorker->m_requests.size() >= iCount;
}

QString TestHttpServer::certificatePath()
{
    return credentials().szCertificatePath;
}

quint16 closedPort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    const quint16 iPort = server.serverPort();
    server.close();
    return iPort;
}

} // namespace testsupport
