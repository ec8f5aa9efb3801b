// The export on a real X server (Xvfb), as a user makes it: pictures dropped
// into the editor, the export button, the settings dialog, the progress and
// the result dialogs; the file checked with ffprobe. Set PICTORA_SHOT_DIR to
// keep the screenshots.

#include "window/EditorTestSupport.h"

#include "album/AlbumProjectState.h"
#include "app/AppStartUp.h"
#include "app/CQSrvProduct.h"
#include "export_dialogs/ExportSettingDialog.h"
#include "export_dialogs/FailDialog.h"
#include "export_dialogs/ProgressDialog.h"
#include "export_dialogs/SuccessDialog.h"
#include "ui/CFramelessWindow.h"
#include "ui/CQUIPushButton.h"

#include <QDir>
#include <QJsonObject>
#include <QLineEdit>
#include <QTemporaryDir>

#include <memory>

using namespace editortest;
using testsupport::grabScreen;

namespace {

// A shown dialog of class T over the main window, or null.
template <class T>
T *shown(QWidget *pOverlay)
{
    for (T *p : pOverlay->findChildren<T *>())
        if (p->isVisible())
            return p;
    return nullptr;
}

// The dialog is drawn, not left black as a see-through window without a
// compositor would be: its middle is light.
bool drawn(const QImage &screen, const QWidget *pDialog)
{
    return qGray(screen.pixel(pDialog->geometry().center() * screen.devicePixelRatio())) > 200;
}

} // namespace

class TestX11Export : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString path(const QString &szName) const { return QDir::cleanPath(m_dir.filePath(szName)); }

private Q_SLOTS:
    void initTestCase()
    {
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
        QVERIFY(m_dir.isValid());
        qputenv("HOME", QFile::encodeName(path("home")));
        qputenv("XDG_DATA_HOME", QFile::encodeName(path("xdg")));
        registerFontSubstitutions();
        QVERIFY(writePicture(path("a.jpg"), 640, 480, QColor(230, 20, 20)));
        QVERIFY(writePicture(path("b.jpg"), 480, 640, QColor(20, 20, 230)));
    }

    void exportThroughTheDialogs()
    {
        CQSrvProduct services;
        CFramelessWindow window;
        Vistalo editor(&window);
        window.addContentWidget(&editor);
        window.setGeometry(300, 140, 1200, 800);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QWidget *pOverlay = window.overlay();
        QVERIFY(importFiles(editor, {path("a.jpg"), path("b.jpg")}));
        grabScreen("editor");

        // The settings: a name typed in, the default folder.
        QTest::mouseClick(editor.form()->btnExport, Qt::LeftButton);
        auto *pSettings = shown<ExportSettingDialog>(pOverlay);
        QVERIFY(pSettings && QTest::qWaitForWindowExposed(pSettings));
        QTest::mouseClick(pSettings->findChild<QPushButton *>("btnEditFileName"), Qt::LeftButton);
        QTest::keyClicks(pSettings->findChild<QLineEdit *>("editFileName"), "holiday 2024");
        QVERIFY(drawn(grabScreen("settings"), pSettings));
        const QString szFile = path("home/Videos/Pictora/holiday 2024.mp4");

        // Export: the progress, then the success.
        QTest::mouseClick(pSettings->findChild<QPushButton *>("btnExport"), Qt::LeftButton);
        QTRY_VERIFY(shown<ProgressDialog>(pOverlay));
        ProgressDialog *pProgress = shown<ProgressDialog>(pOverlay);
        QVERIFY(QTest::qWaitForWindowExposed(pProgress));
        QVERIFY(drawn(grabScreen("progress"), pProgress));
        QTRY_VERIFY_WITH_TIMEOUT(shown<SuccessDialog>(pOverlay), 60000);
        auto *pSuccess = shown<SuccessDialog>(pOverlay);
        QVERIFY(QTest::qWaitForWindowExposed(pSuccess));
        QVERIFY(drawn(grabScreen("success"), pSuccess));
        QCOMPARE(pSuccess->exportedFile(), szFile);
        pSuccess->close();

        // The file, seen by ffprobe: 16:9 1080P H.264 with AAC sound, one
        // frame per 1/24 s of the album (two 3 s pictures and a 2 s transition).
        const AlbumProjectState &st = albumState();
        QCOMPARE(st.iTotalDuration, int64_t(8000000));
        const QJsonObject stProbe = testsupport::ffprobe(szFile);
        const QJsonObject stVideo = testsupport::probeStream(stProbe, "video");
        QCOMPARE(stVideo.value("codec_name").toString(), QStringLiteral("h264"));
        QCOMPARE(stVideo.value("width").toInt(), 1920);
        QCOMPARE(stVideo.value("height").toInt(), 1080);
        QCOMPARE(stVideo.value("r_frame_rate").toString(), QStringLiteral("24/1"));
        const QJsonObject stAudio = testsupport::probeStream(stProbe, "audio");
        QCOMPARE(stAudio.value("codec_name").toString(), QStringLiteral("aac"));
        QCOMPARE(stAudio.value("sample_rate").toString(), QStringLiteral("44100"));
        QCOMPARE(testsupport::countVideoFrames(szFile), int(st.iTotalDuration * 24 / 1000000));

        // Another export, closed at once: the failure says why.
        QTest::mouseClick(editor.form()->btnExport, Qt::LeftButton);
        pSettings = shown<ExportSettingDialog>(pOverlay);
        QVERIFY(pSettings);
        pSettings->findChild<QLineEdit *>("editFileName")->setText("second");
        QTest::mouseClick(pSettings->findChild<QPushButton *>("btnExport"), Qt::LeftButton);
        QTRY_VERIFY(shown<ProgressDialog>(pOverlay));
        QTest::keyClick(shown<ProgressDialog>(pOverlay), Qt::Key_Escape);
        QTRY_VERIFY_WITH_TIMEOUT(shown<FailDialog>(pOverlay), 60000);
        auto *pFail = shown<FailDialog>(pOverlay);
        QVERIFY(QTest::qWaitForWindowExposed(pFail));
        QVERIFY(drawn(grabScreen("fail"), pFail));
        QVERIFY(!QFile::exists(path("home/Videos/Pictora/second.mp4")));
        pFail->close();
    }
};

QTEST_MAIN(TestX11Export)
#include "tst_x11_export.moc"
