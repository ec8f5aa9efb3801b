// The export from the editor window, offscreen, on a private session bus
// where this test plays the desktop's file manager.

#include "window/EditorTestSupport.h"

#include "album/AlbumProjectState.h"
#include "app/AppStartUp.h"
#include "app/CQSrvProduct.h"
#include "common/TestMedia.h"
#include "export_dialogs/ExportSettingDialog.h"
#include "export_dialogs/FailDialog.h"
#include "export_dialogs/FileManagerReveal.h"
#include "export_dialogs/ProgressDialog.h"
#include "export_dialogs/SuccessDialog.h"
#include "media/export/MediaEncoder.h"
#include "online/CQSrvProductInfo.h"
#include "ui/CFramelessWindow.h"
#include "ui/CQUIPushButton.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QDir>
#include <QJsonObject>
#include <QLineEdit>
#include <QTemporaryDir>

#include <memory>

using namespace editortest;

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

template <class T>
QList<T *> shown(QWidget *pParent)
{
    QList<T *> list;
    for (T *p : pParent->findChildren<T *>())
        if (p->isVisible())
            list << p;
    return list;
}

QStringList filesIn(const QString &szDir)
{
    return QDir(szDir).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

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
    std::unique_ptr<CQSrvProduct> m_pServices;
    std::unique_ptr<CFramelessWindow> m_pWindow;
    std::unique_ptr<Vistalo> m_pEditor;

    QString path(const QString &szName) const { return QDir::cleanPath(m_dir.filePath(szName)); }
    QWidget *overlay() const { return m_pWindow->overlay(); }

    // The editor's export button, then the settings dialog with a folder
    // and a name, then its own export button.
    ExportSettingDialog *requestExport(const QString &szName)
    {
        QTest::mouseClick(m_pEditor->form()->btnExport, Qt::LeftButton);
        const QList<ExportSettingDialog *> dialogs = shown<ExportSettingDialog>(overlay());
        if (dialogs.size() != 1)
            return nullptr;
        ExportSettingDialog *pDialog = dialogs.first();
        pDialog->changeFileDirectory(path("out"));
        pDialog->findChild<QLineEdit *>("editFileName")->setText(szName);
        QTest::mouseClick(pDialog->findChild<QPushButton *>("btnExport"), Qt::LeftButton);
        return pDialog;
    }

    // The export's progress dialog while it is up.
    ProgressDialog *exportProgress() const
    {
        return qobject_cast<ProgressDialog *>(QApplication::activeModalWidget());
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY(m_fileManagerBus.isConnected());
        QVERIFY(m_fileManagerBus.registerObject("/org/freedesktop/FileManager1", &m_standIn,
                                                QDBusConnection::ExportAllSlots));
        QDesktopServices::setUrlHandler("file", &m_opened, "open");

        // A home of the test's own; an album of two pictures and a clip of
        // 1 s each at 480P: 3 + 2 x 2 s, 168 frames at 24 fps.
        qputenv("HOME", QFile::encodeName(path("home")));
        qputenv("XDG_DATA_HOME", QFile::encodeName(path("xdg")));
        registerFontSubstitutions();
        QVERIFY(QDir().mkpath(path("out")));
        QVERIFY(writePicture(path("a.jpg"), 64, 48, Qt::red));
        QVERIFY(writePicture(path("b.png"), 48, 64, Qt::green));
        QVERIFY(testsupport::ffmpeg({"-f", "lavfi", "-i", "testsrc2=s=160x120:r=25:d=1", "-c:v", "mpeg4",
                                     path("out/m.mp4")}));
        // Usage statistics on: one record per export that starts.
        QFile config(CQSrvProductInfo::instance().configFilePath("Pictora", "config.ini"));
        QVERIFY(config.open(QIODevice::WriteOnly) && config.write("statistics=1\n") > 0);
        config.close();
        m_pServices = std::make_unique<CQSrvProduct>();
        m_pWindow = std::make_unique<CFramelessWindow>();
        m_pEditor = std::make_unique<Vistalo>(m_pWindow.get());
        m_pWindow->addContentWidget(m_pEditor.get());
        m_pWindow->resize(902, 616);
        m_pWindow->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_pWindow.get()));
        QVERIFY(importFiles(*m_pEditor, {path("a.jpg"), path("b.png"), path("out/m.mp4")}));
        albumState().szExportResolution = QStringLiteral("480P");
        setImageDurationSeconds(1);
        QCOMPARE(albumState().iTotalDuration, int64_t(7000000));
    }

    void cleanupTestCase()
    {
        m_pEditor.reset();
        m_pWindow.reset();
        m_pServices.reset();
    }

    // A declined overwrite proposes a numbered name and starts nothing; the
    // album's own clip is never offered; "Cover" writes over the old file,
    // and a cancel before that leaves it as it was.
    void namingOverwritingAndCancelling()
    {
        QVERIFY(testmedia::writeFile(path("out/clip.mp4"), "old"));
        QVERIFY(testmedia::writeFile(path("out/clip(1).mp4"), "old too"));
        const QByteArray material = testmedia::readFile(path("out/m.mp4"));
        QSignalSpy spyProgress(m_pEditor->mediaEncoder(), &MediaEncoder::sig_exportProgress);
        PromptAnswerer answers(false);
        ExportSettingDialog *pDialog = requestExport("clip");
        QVERIFY(pDialog);
        QTRY_COMPARE(answers.texts, QStringList{"The file already exists. Do you want to overwrite it?"});
        QTRY_VERIFY(pDialog->isVisible());
        QCOMPARE(pDialog->fileName(), QStringLiteral("clip(2)"));
        // The same dialog again, never a second one.
        QCOMPARE(requestExport("m"), pDialog);
        QCOMPARE(pDialog->fileName(), QStringLiteral("m(1)"));
        QCOMPARE(answers.texts.size(), 1);
        QTest::qWait(100);
        QCOMPARE(spyProgress.count(), 0);
        QVERIFY(!exportProgress());

        // Covered, then cancelled at once: the dialog stays (the editor
        // still) until the renderer has stopped, and the old file is kept.
        answers.setConfirm(true);
        QCOMPARE(requestExport("clip"), pDialog);
        QTRY_VERIFY(exportProgress());
        QPointer<ProgressDialog> pProgress = exportProgress();
        QVERIFY(pProgress->labelText().startsWith("exporting...  ("));
        QTest::mouseClick(pProgress->findChild<QPushButton *>("btnClose"), Qt::LeftButton);
        QCOMPARE(exportProgress(), pProgress.data());
        QVERIFY(pProgress->labelText().startsWith("cancelling...  ("));
        QTRY_COMPARE(shown<FailDialog>(overlay()).size(), 1);
        QVERIFY(pProgress.isNull() || !pProgress->isVisible());
        FailDialog *pFail = shown<FailDialog>(overlay()).first();
        QVERIFY2(testsupport::toolTipAsRead(pFail->findChild<QLabel *>("labelErrorMessage")->toolTip())
                     .startsWith("Operation interrupted("),
                 qPrintable(pFail->findChild<QLabel *>("labelErrorMessage")->toolTip()));
        QCOMPARE(testmedia::readFile(path("out/clip.mp4")), QByteArray("old"));
        QCOMPARE(filesIn(path("out")), QStringList({"clip(1).mp4", "clip.mp4", "m.mp4"}));
        pFail->close();

        // Covered and let run: the new video over the old file.
        QVERIFY(requestExport("clip"));
        QTRY_COMPARE_WITH_TIMEOUT(shown<SuccessDialog>(overlay()).size(), 1, 60000);
        QCOMPARE(testsupport::countVideoFrames(path("out/clip.mp4")), 168);
        QCOMPARE(testmedia::readFile(path("out/m.mp4")), material);
        QCOMPARE(filesIn(path("out")), QStringList({"clip(1).mp4", "clip.mp4", "m.mp4"}));
        shown<SuccessDialog>(overlay()).first()->close();
        QTRY_COMPARE(overlay()->findChildren<SuccessDialog *>().size(), 0);

        // Two exports started, two records; the declined ones made none.
        const QList<QByteArray> records =
            testmedia::readFile(CQSrvProductInfo::instance().dataFolder() + "/statistics.log").split('\n');
        QCOMPARE(records.size(), 3);
        QVERIFY2(records.at(1).contains(R"("output_format":"MP4")")
                     && records.at(1).contains(R"("video_frame_rate":"24fps")"),
                 records.at(1).constData());
    }

    // Two exports in a row, one hidden on the way as a minimised window
    // hides it: one progress and one result each; the result's button
    // shows the file that was written.
    void exportsInARowAndTheirFiles()
    {
        QVERIFY(m_fileManagerBus.registerService("org.freedesktop.FileManager1"));
        for (const QString &szName : {QString("album"), QString("50%2 off")}) {
            QSignalSpy spyProgress(m_pEditor->mediaEncoder(), &MediaEncoder::sig_exportProgress);
            // At the first report (the export surely runs): minimised, and
            // the dialog hidden as a window manager hides it.
            bool bHidden = szName != "album";
            QMetaObject::Connection stHide =
                connect(m_pEditor->mediaEncoder(), &MediaEncoder::sig_exportProgress, this, [&] {
                    if (bHidden)
                        return;
                    bHidden = true;
                    m_pWindow->showMinimized();
                    exportProgress()->hide();
                });
            QVERIFY(requestExport(szName));
            QTRY_COMPARE_WITH_TIMEOUT(overlay()->findChildren<SuccessDialog *>().size(), 1, 60000);
            disconnect(stHide);
            QVERIFY(bHidden);
            m_pWindow->showNormal();
            QTest::qWait(100);
            QCOMPARE(overlay()->findChildren<SuccessDialog *>().size(), 1);
            QCOMPARE(overlay()->findChildren<FailDialog *>().size(), 0);
            QCOMPARE(spyProgress.last().at(0).toInt(), 100);
            // The export's progress dialog went; the import's stays for the editor's life.
            QTRY_COMPARE(overlay()->findChildren<ProgressDialog *>(),
                         QList<ProgressDialog *>{m_pEditor->importProgressDialog()});

            // The written file, even after the next name has been typed.
            const QString szFile = path("out/" + szName + ".mp4");
            const QJsonObject stVideo = testsupport::probeStream(testsupport::ffprobe(szFile), "video");
            QCOMPARE(stVideo.value("height").toInt(), 480);
            QCOMPARE(testsupport::countVideoFrames(szFile), 168);
            SuccessDialog *pSuccess = overlay()->findChildren<SuccessDialog *>().first();
            albumState().szExportFileName = "something else";
            const int iCalls = m_standIn.listCalls.size();
            QTest::mouseClick(pSuccess->findChild<QPushButton *>("btnExportFolder"), Qt::LeftButton);
            QTRY_COMPARE(m_standIn.listCalls.size(), iCalls + 1);
            QCOMPARE(m_standIn.listCalls.last(), QStringList{QUrl::fromLocalFile(szFile).toString(QUrl::FullyEncoded)});
            pSuccess->close();
            QTRY_COMPARE(overlay()->findChildren<SuccessDialog *>().size(), 0);
        }
        QVERIFY(m_fileManagerBus.unregisterService("org.freedesktop.FileManager1"));
    }

    void showItemsOrTheFolder()
    {
        const QString szFile = m_dir.filePath("50%2 off été.mp4");
        // Nobody owns the name yet: the folder opens instead.
        showFileInFileManager(szFile, 500);
        QTRY_COMPARE(m_opened.listOpened.size(), 1);
        QCOMPARE(m_opened.listOpened.first(), QUrl::fromLocalFile(m_dir.path()));

        QVERIFY(m_fileManagerBus.registerService("org.freedesktop.FileManager1"));
        const int iCalls = m_standIn.listCalls.size();
        showFileInFileManager(szFile, 500);
        QTRY_COMPARE(m_standIn.listCalls.size(), iCalls + 1);
        const QString szExpected = "file://" + QString(QUrl::toPercentEncoding(m_dir.path(), "/"))
            + "/50%252%20off%20%C3%A9t%C3%A9.mp4";
        QCOMPARE(m_standIn.listCalls.last(), QStringList{szExpected});
        QTest::qWait(700);
        QCOMPARE(m_opened.listOpened.size(), 1);

        // A file manager that does not answer in time: the folder too.
        m_standIn.bSilent = true;
        showFileInFileManager(szFile, 300);
        QTRY_COMPARE(m_opened.listOpened.size(), 2);
        QCOMPARE(m_standIn.listCalls.size(), iCalls + 2);
        m_standIn.bSilent = false;
    }
};

QTEST_MAIN(TestDBusExportFlow)
#include "tst_dbus_exportflow.moc"
