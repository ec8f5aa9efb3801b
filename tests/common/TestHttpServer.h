#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include <memory>

namespace testsupport {

// One request as the server received it.
struct HttpRequest
{
    QByteArray method;
    QByteArray path;
    QList<QPair<QByteArray, QByteArray>> headers;   // in the order sent
    QByteArray body;

    QByteArray header(const QByteArray &name) const;   // case-insensitive; empty when absent
};

// A small HTTP/1.1 server on 127.0.0.1 for the online tests. It runs in a
// thread of its own, because our client blocks the thread that sends. With
// TLS it presents a self-signed certificate for localhost (and 127.0.0.1)
// that the openssl tool makes once per test run. Never leaves the machine.
class TestHttpServer
{
public:
    enum class Behaviour {
        Answer,      // 200 with the answer text
        Hang,        // reads the request and never answers
        Oversized,   // 200 with a 128 KiB body
    };

    explicit TestHttpServer(bool bTls);
    ~TestHttpServer();
    TestHttpServer(const TestHttpServer &) = delete;
    TestHttpServer &operator=(const TestHttpServer &) = delete;

    bool isListening() const;
    // "http://localhost:<port>" or "https://localhost:<port>".
    QString baseUrl() const;
    void setBehaviour(Behaviour eBehaviour);
    void setAnswer(const QByteArray &answer);

    // Complete requests received so far.
    QList<HttpRequest> requests() const;
    // Waits (without an event loop) until at least iCount requests came.
    bool waitForRequests(int iCount, int iTimeoutMs) const;

    // The certificate the TLS server presents, in PEM: the CA to trust.
    // Empty when it could not be made.
    static QString certificatePath();

    class Worker;

private:
    std::unique_ptr<Worker> m_pWorker;
};

// A port on 127.0.0.1 where nothing listens (for refused connections).
quint16 closedPort();

} // namespace testsupport
