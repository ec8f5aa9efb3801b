// Pictora's side of the web-engine probe, with stand-in probe programs that
// end in every way a real one may.
#include "app/WebEngineProbe.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

// How the probe ends is judged here, not how fast a loaded machine starts it.
constexpr int kGenerousMs = 30000;

class TestWebProbe : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_tmp;

    // A probe that notes that it ran, then does szBody.
    QString probe(const QString &szName, const QByteArray &body)
    {
        const QString szPath = m_tmp.filePath(szName);
        QFile file(szPath);
        if (!file.open(QIODevice::WriteOnly))
            return QString();
        file.write("#!/bin/sh\necho $$ > \"$0.ran\"\n" + body + "\n");
        file.close();
        file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
        return szPath;
    }

private Q_SLOTS:
    void onlySomeVersionsRunTheProbe_data()
    {
        QTest::addColumn<QString>("version");
        QTest::addColumn<bool>("runs");
        QTest::newRow("10.0") << "10.0" << true;
        QTest::newRow("7") << "7" << true;
        QTest::newRow("6.1") << "6.1" << false;
        QTest::newRow("8.1") << "8.1" << false;
        QTest::newRow("12") << "12" << false;
    }

    void onlySomeVersionsRunTheProbe()
    {
        QFETCH(QString, version);
        QFETCH(bool, runs);
        const QString szProbe = probe("failing-" + version, "exit 1");
        QCOMPARE(webProbeNeeded(version), runs);
        // A failing probe switches to OpenGL ES, and only where it ran.
        QCOMPARE(webEngineNeedsOpenGLES(version, szProbe, kGenerousMs), runs);
        QCOMPARE(QFile::exists(szProbe + ".ran"), runs);
    }

    void onlyAQuickCleanExitCountsAsSuccess_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("success");
        QTest::newRow("exit 0") << QByteArray("exit 0") << true;
        QTest::newRow("exit -1 (255)") << QByteArray("exit 255") << false;
        QTest::newRow("crash") << QByteArray("kill -SEGV $$") << false;
        QTest::newRow("missing program") << QByteArray() << false;
    }

    void onlyAQuickCleanExitCountsAsSuccess()
    {
        QFETCH(QByteArray, body);
        QFETCH(bool, success);
        const QString szProbe = body.isEmpty() ? m_tmp.filePath("missing") : probe(QTest::currentDataTag(), body);
        QCOMPARE(runWebProbe(szProbe, kGenerousMs), success);
        QCOMPARE(webEngineNeedsOpenGLES("10.0", szProbe, kGenerousMs), !success);
    }

    void aHangingProbeIsKilled()
    {
        const QString szProbe = probe("hanging", "exec sleep 30");
        QElapsedTimer stClock;
        stClock.start();
        QVERIFY(!runWebProbe(szProbe));
        qInfo("the start went on after %lld ms", stClock.elapsed());
        QFile pidFile(szProbe + ".ran");
        QVERIFY(pidFile.open(QIODevice::ReadOnly));
        const pid_t iPid = pidFile.readAll().trimmed().toInt();
        QVERIFY(iPid > 0);
        QCOMPARE(::kill(iPid, 0), -1);   // gone, and reaped
    }
};

QTEST_GUILESS_MAIN(TestWebProbe)
#include "tst_webprobe.moc"
