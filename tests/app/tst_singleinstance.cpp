// Single instance, tested with real Pictora processes. Each case runs a copy
// of the executable under a name of its own, so the local server names of
// parallel test runs and of a Pictora the developer has open never meet.
#include "common/TestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <memory>

class TestSingleInstance : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::vector<std::unique_ptr<QProcess>> m_processes;
    QStringList m_names;

    QString copyExecutable(const QString &szName)
    {
        const QString szTarget = m_dir.filePath(szName);
        QFile::remove(szTarget);
        if (!QFile::copy(testsupport::binDir() + "/Pictora", szTarget))
            return QString();
        QFile::setPermissions(szTarget, QFile::permissions(szTarget) | QFileDevice::ExeOwner);
        m_names << szName;
        return szTarget;
    }

    static QString socketPath(const QString &szName) { return QDir::tempPath() + "/" + szName; }

    QProcess *start(const QString &szExe, const QStringList &args = {})
    {
        auto p = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        p->setProcessEnvironment(env);
        p->setProcessChannelMode(QProcess::MergedChannels);
        p->start(szExe, args);
        p->waitForStarted(10000);
        m_processes.push_back(std::move(p));
        return m_processes.back().get();
    }

    // Waits until the instance listens (its socket file exists).
    static bool waitForSocket(const QString &szName, int iTimeoutMs = 15000)
    {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < iTimeoutMs) {
            if (QFileInfo(socketPath(szName)).exists())
                return true;
            QTest::qWait(50);
        }
        return false;
    }

    // Starts a second instance and returns its exit code (-1 when it keeps running).
    int runSecond(const QString &szExe, qint64 *piElapsedMs = nullptr, const QStringList &args = {})
    {
        QElapsedTimer timer;
        timer.start();
        QProcess *p = start(szExe, args);
        const bool bEnded = p->waitForFinished(10000);
        if (piElapsedMs)
            *piElapsedMs = timer.elapsed();
        return bEnded && p->exitStatus() == QProcess::NormalExit ? p->exitCode() : -1;
    }

private Q_SLOTS:
    void cleanup()
    {
        for (auto &p : m_processes) {
            if (p->state() != QProcess::NotRunning) {
                p->kill();
                p->waitForFinished(5000);
            }
        }
        m_processes.clear();
        for (const QString &szName : qAsConst(m_names))
            QFile::remove(socketPath(szName));
        m_names.clear();
    }

    void secondStartEndsAndFirstComesToFront()
    {
        const QString szName = QStringLiteral("PictoraSI%1a").arg(QCoreApplication::applicationPid());
        const QString szExe = copyExecutable(szName);
        QVERIFY(!szExe.isEmpty());
        QProcess *pFirst = start(szExe);
        QVERIFY(waitForSocket(szName));

        qint64 iElapsed = 0;
        QCOMPARE(runSecond(szExe, &iElapsed), 1);
        qInfo("second start ended with code 1 after %lld ms", iElapsed);
        QVERIFY2(iElapsed < 5000, "the second instance should give up at once");

        // The first one heard the connection and raised its window.
        QByteArray output;
        QTRY_VERIFY_WITH_TIMEOUT((output += pFirst->readAll()).contains("bringing the main window to the front"), 5000);
        QCOMPARE(pFirst->state(), QProcess::Running);

        // The refused instance left the first one's socket in place: the
        // name still answers.
        QVERIFY(QFileInfo(socketPath(szName)).exists());
        QCOMPARE(runSecond(szExe), 1);
        QCOMPARE(runSecond(szExe), 1);
        QCOMPARE(pFirst->state(), QProcess::Running);
    }

    // "Open with Pictora" while it runs: the second start hands its files
    // over and ends; the first one adds them to its album.
    void secondStartHandsOverItsFiles()
    {
        const QString szName = QStringLiteral("PictoraSI%1d").arg(QCoreApplication::applicationPid());
        const QString szExe = copyExecutable(szName);
        QVERIFY(!szExe.isEmpty());
        const QString szPicture = m_dir.filePath(QStringLiteral("opened photo.jpg"));
        QVERIFY(testsupport::ffmpeg({"-f", "lavfi", "-i", "color=c=teal:s=64x48", "-frames:v", "1", szPicture}));
        QProcess *pFirst = start(szExe);
        QVERIFY(waitForSocket(szName));

        QCOMPARE(runSecond(szExe, nullptr, {szPicture}), 1);
        QByteArray output;
        QTRY_VERIFY_WITH_TIMEOUT((output += pFirst->readAll()).contains("album total duration (us): 3000000"), 15000);
        QCOMPARE(pFirst->state(), QProcess::Running);
    }

    void otherFileNameIsItsOwnInstance()
    {
        const QString szName = QStringLiteral("PictoraSI%1b").arg(QCoreApplication::applicationPid());
        const QString szOther = QStringLiteral("PictoraSI%1c").arg(QCoreApplication::applicationPid());
        const QString szExe = copyExecutable(szName);
        const QString szOtherExe = copyExecutable(szOther);
        QProcess *pFirst = start(szExe);
        QVERIFY(waitForSocket(szName));
        QProcess *pCopy = start(szOtherExe);
        QVERIFY(waitForSocket(szOther));
        QTest::qWait(700);
        QCOMPARE(pCopy->state(), QProcess::Running);
        QCOMPARE(pFirst->state(), QProcess::Running);
        // Each name answers for its own instance only.
        QCOMPARE(runSecond(szOtherExe), 1);
        QCOMPARE(pCopy->state(), QProcess::Running);
    }

    void staleSocketIsReplaced()
    {
        const QString szName = QStringLiteral("PictoraSI%1d").arg(QCoreApplication::applicationPid());
        const QString szExe = copyExecutable(szName);
        QProcess *pFirst = start(szExe);
        QVERIFY(waitForSocket(szName));
        ::kill(static_cast<pid_t>(pFirst->processId()), SIGKILL);
        QVERIFY(pFirst->waitForFinished(5000));
        // The killed instance could not clean up after itself.
        QVERIFY(QFileInfo(socketPath(szName)).exists());

        QProcess *pNew = start(szExe);
        QTest::qWait(1500);
        QCOMPARE(pNew->state(), QProcess::Running);
        // The new instance now owns the name.
        QCOMPARE(runSecond(szExe), 1);
        QByteArray output;
        QTRY_VERIFY_WITH_TIMEOUT((output += pNew->readAll()).contains("bringing the main window to the front"), 5000);
    }
};

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
