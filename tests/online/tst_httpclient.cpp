#include "common/TestHttpServer.h"
#include "online/CCurlHttpPost.h"

#include <QtTest>

#include <thread>

using testsupport::TestHttpServer;

class TestHttpClient : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        qputenv("no_proxy", "*");   // the local servers only, whatever the environment says
        QVERIFY2(!TestHttpServer::certificatePath().isEmpty(), "the openssl tool is needed");
    }

    void urlsAreEncodedNeverDecoded_data()
    {
        QTest::addColumn<QByteArray>("url");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("space and Chinese") << QByteArray("http://h/a b/相册?q=1&r=2")
                                           << QByteArray("http://h/a%20b/%E7%9B%B8%E5%86%8C?q=1&r=2");
        QTest::newRow("encoded separators stay") << QByteArray("http://h/p%2Fq?a=%26%3D%3f")
                                                 << QByteArray("http://h/p%2Fq?a=%26%3D%3f");
        QTest::newRow("lone percent") << QByteArray("http://h/%zz/100%") << QByteArray("http://h/%25zz/100%25");
        QTest::newRow("plus and hash") << QByteArray("http://h/a+b#c") << QByteArray("http://h/a%2Bb%23c");
        QTest::newRow("IPv6 host and user") << QByteArray("http://u@[::1]:8/x") << QByteArray("http://u@[::1]:8/x");
    }

    void urlsAreEncodedNeverDecoded()
    {
        QFETCH(QByteArray, url);
        QFETCH(QByteArray, expected);
        QCOMPARE(normalizeUrl(url), expected);
    }

    void formFieldsAreEncodedInKeyOrder()
    {
        const QMap<QString, QString> mapFields{{"vform", "x y+z"}, {"exception", QStringLiteral("崩溃&a=b/c?%41")}};
        QCOMPARE(formEncode(mapFields),
                 QByteArray("exception=%E5%B4%A9%E6%BA%83%26a%3Db%2Fc%3F%2541&vform=x%20y%2Bz"));
    }

    void tlsIsVerifiedAgainstTheGivenCa()
    {
        TestHttpServer server(true);
        QVERIFY(server.isListening());
        server.setAnswer("accepted");
        const QString szUrl = server.baseUrl() + "/DoLoadLog.php";

        CCurlHttpPost withoutCa(szUrl, QString(), 0, 0, false);
        withoutCa.setBody("a=1");
        QVERIFY(!withoutCa.send());
        QCOMPARE(withoutCa.getErrorText(), QStringLiteral("SSL peer certificate or SSH remote key was not OK"));
        QVERIFY(server.requests().isEmpty());

        CCurlHttpPost withCa(szUrl, TestHttpServer::certificatePath(), 0, 0, false);
        withCa.setBody("a=1");
        QVERIFY2(withCa.send(), qPrintable(withCa.getErrorText()));
        QCOMPARE(withCa.response(), QByteArray("accepted"));
        QVERIFY(withCa.getErrorText().isEmpty());
        QCOMPARE(server.requests().size(), 1);
        QCOMPARE(server.requests().first().body, QByteArray("a=1"));
    }

    // One object, reused: each send reports libcurl's text for its own
    // failure only, and a success leaves no error behind.
    void eachSendCarriesOnlyItsOwnError()
    {
        TestHttpServer server(false);
        QVERIFY(server.isListening());
        const QString szClosed = QStringLiteral("http://localhost:%1/").arg(testsupport::closedPort());
        CCurlHttpPost post(szClosed, QString(), 0, 500, false);
        post.setBody("x=1");

        struct Step
        {
            QString szUrl;
            TestHttpServer::Behaviour eBehaviour;
            QString szError;
        };
        const QList<Step> steps{
            {szClosed, TestHttpServer::Behaviour::Answer, "Couldn't connect to server"},
            {server.baseUrl(), TestHttpServer::Behaviour::Hang, "Timeout was reached"},
            {server.baseUrl(), TestHttpServer::Behaviour::Answer, QString()},
            {server.baseUrl(), TestHttpServer::Behaviour::Oversized, "Failed writing received data to disk/application"},
            {"ftp://localhost/file", TestHttpServer::Behaviour::Answer, "Unsupported protocol"},
            {server.baseUrl(), TestHttpServer::Behaviour::Answer, QString()},
        };
        for (const Step &step : steps) {
            server.setBehaviour(step.eBehaviour);
            post.setAlternateUrl(step.szUrl);
            QCOMPARE(post.send(), step.szError.isEmpty());
            QCOMPARE(post.getErrorText(), step.szError);
            if (step.szError.isEmpty())
                QCOMPARE(post.response(), QByteArray("OK"));
            QVERIFY(post.response().size() <= CCurlHttpBase::kMaxResponseBytes);
        }
        QCOMPARE(server.requests().size(), 4);
    }

    void aSecondSendWhileOneRunsIsRefused()
    {
        TestHttpServer server(false);
        server.setBehaviour(TestHttpServer::Behaviour::Hang);
        CCurlHttpPost post(server.baseUrl(), QString(), 0, 1500, false);
        post.setBody("x=1");
        bool bFirst = true;
        std::thread first([&] { bFirst = post.send(); });
        QVERIFY(server.waitForRequests(1, 5000));
        QVERIFY(post.isBusy());
        QVERIFY(!post.send());
        QCOMPARE(post.getErrorText(), QStringLiteral("busy"));
        first.join();
        QVERIFY(!bFirst);
        QCOMPARE(post.getErrorText(), QStringLiteral("Timeout was reached"));
        QCOMPARE(server.requests().size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestHttpClient)
#include "tst_httpclient.moc"
