// The export from the editor window, offscreen, on a private session bus
// where this test plays the desktop's file manager.

#include "export_dialogs/FileManagerReveal.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// The desktop's file manager as far as ShowItems goes: records what it is
// asked to show; when told to stay silent it never answers.
class FileManagerStandIn : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
public:
    QList<QStringList> listCalls;
    bool bSilent = false;

public Q_SLOTS:
    void ShowItems(const QStringList &listUris, const QString &, const QDBusMessage &stMessage)
    {
        listCalls << listUris;
        if (bSilent)
            stMessage.setDelayedReply(true);
    }
};

// What the desktop's default handler was asked to open.
class UrlRecorder : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> listOpened;
public Q_SLOTS:
    void open(const QUrl &stUrl) { listOpened << stUrl; }
};

} // namespace

class TestDBusExportFlow : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    FileManagerStandIn m_standIn;
    UrlRecorder m_opened;
    // The stand-in's own connection, as another program's would be.
    QDBusConnection m_fileManagerBus{QDBusConnection::connectToBus(QDBusConnection::SessionBus, "file-manager")};

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY(m_fileManagerBus.isConnected());
        QVERIFY(m_fileManagerBus.registerObject("/org/freedesktop/FileManager1", &m_standIn,
                                                QDBusConnection::ExportAllSlots));
        QDesktopServices::setUrlHandler("file", &m_opened, "open");
    }

    void showItemsOrTheFolder()
    {
        const QString szFile = m_dir.filePath("50%2 off été.mp4");
        // Nobody owns the name yet: the folder opens instead.
        showFileInFileManager(szFile, 500);
        QTRY_COMPARE(m_opened.listOpened.size(), 1);
        QCOMPARE(m_opened.listOpened.first(), QUrl::fromLocalFile(m_dir.path()));

        QVERIFY(m_fileManagerBus.registerService("org.freedesktop.FileManager1"));
        showFileInFileManager(szFile, 500);
        QTRY_COMPARE(m_standIn.listCalls.size(), 1);
        const QString szExpected = "file://" + QString(QUrl::toPercentEncoding(m_dir.path(), "/"))
            + "/50%252%20off%20%C3%A9t%C3%A9.mp4";
        QCOMPARE(m_standIn.listCalls.first(), QStringList{szExpected});
        QTest::qWait(700);
        QCOMPARE(m_opened.listOpened.size(), 1);

        // A file manager that does not answer in time: the folder too.
        m_standIn.bSilent = true;
        showFileInFileManager(szFile, 300);
        QTRY_COMPARE(m_opened.listOpened.size(), 2);
        QCOMPARE(m_standIn.listCalls.size(), 2);
        m_standIn.bSilent = false;
    }
};

QTEST_MAIN(TestDBusExportFlow)
#include "tst_dbus_exportflow.moc"
