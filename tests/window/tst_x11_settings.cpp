// The settings column on a real X server (Xvfb): each watermark mode, the
// help bubble under the pointer and the font dialog, as a user sees them.
// Set PICTORA_SHOT_DIR to keep the screenshots.
#include "SettingsTestSupport.h"

#include "app/AppStartUp.h"
#include "editor/ImageWatermarkHelpDialog.h"
#include "ui/CQUIPushButton.h"

#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QScrollArea>
#include <QSpinBox>
#include <QTemporaryDir>

using namespace editortest;
using namespace settingstest;

namespace {

QRect globalRect(const QWidget *pWidget)
{
    return QRect(pWidget->mapToGlobal(QPoint(0, 0)), pWidget->size());
}

// Pixels of stArea whose grey level is below iGrey.
int darkPixels(const QImage &image, const QRect &stArea, int iGrey = 120)
{
    return testsupport::countPixels(image, stArea, [iGrey](QRgb c) { return qGray(c) < iGrey; });
}

} // namespace

class TestX11Settings : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString path(const QString &szName) const { return QDir::cleanPath(m_dir.filePath(szName)); }

private Q_SLOTS:
    void initTestCase()
    {
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
        QVERIFY(m_dir.isValid());
        qputenv("XDG_DATA_HOME", QFile::encodeName(path("xdg")));
        registerFontSubstitutions();
        QVERIFY(writePicture(path("photo.jpg"), 160, 90, QColor(40, 120, 200)));
        QVERIFY(writePicture(path("logo with a rather long name for the label.png"), 120, 40, Qt::blue));
    }

    void watermarkModesHelpAndFontDialog()
    {
        // Tall enough for the whole column, the motion and framing rows too.
        EditorUnderTest fixture(QRect(100, 60, 1200, 960));
        QVERIFY(QTest::qWaitForWindowExposed(&fixture.window));
        Vistalo &editor = fixture.editor;
        QVERIFY(importFiles(editor, {path("photo.jpg")}));
        VistaloForm *ui = editor.form();

        {
            FileDialogAnswerer cancel({QString()}); // custom music, no file chosen yet
            click(ui->ratioCustomMusic);
            QCOMPARE(cancel.iShown, 1);
        }
        QImage screen = testsupport::grabScreen(QStringLiteral("settings-none"));
        QVERIFY(!ui->divWatermarkPos->isVisible());
        QVERIFY(ui->labelBackgroundMusicName->isVisible());
        QVERIFY(darkPixels(screen, globalRect(ui->labelBackgroundMusicName), 200) > 20);
        // The selected position draws its mark; the others are empty boxes.
        chooseWatermark(ui->radioTextWatermark);
        QTest::keyClicks(ui->editWatermarkText, "Pictora");
        QTest::keyClick(ui->editWatermarkText, Qt::Key_Return);
        click(ui->checkWatermarkPosRightBottom);
        ui->boxImageDuration->setValue(60); // its up arrow greys
        screen = testsupport::grabScreen(QStringLiteral("settings-text"));
        QVERIFY(darkPixels(screen, globalRect(ui->editWatermarkText).adjusted(2, 2, -2, -2)) > 20);
        const QRect stBox = globalRect(ui->boxImageDuration);
        const QRect stUp(stBox.right() - 18, stBox.top() + 2, 16, stBox.height() / 2 - 2);
        QVERIFY(darkPixels(screen, stUp, 160) < darkPixels(screen, stUp.translated(0, stUp.height()), 160));
        QVERIFY(darkPixels(screen, globalRect(ui->checkWatermarkPosRightBottom), 200)
                > darkPixels(screen, globalRect(ui->checkWatermarkPosLeftTop), 200));

        FileDialogAnswerer files({path("logo with a rather long name for the label.png")});
        QString szAsked;
        bool bLocked = true;
        answerQuestionWith("btnOK", &szAsked, &bLocked);
        chooseWatermark(ui->radioImageWatermark);
        QTRY_VERIFY(!albumState().szImageWatermarkPath.isEmpty());
        QLabel *pName = ui->labelImageWatermarkName;
        QVERIFY(pName->text().endsWith(QChar(0x2026)));
        QVERIFY(pName->fontMetrics().horizontalAdvance(pName->text()) <= pName->contentsRect().width());
        testsupport::grabScreen(QStringLiteral("settings-image"));

        // The help bubble points at the pointer.
        const QPoint stHelp = globalRect(ui->btnImageWartermarkHelp).center();
        QTest::mouseMove(ui->btnImageWartermarkHelp);
        QCursor::setPos(stHelp);
        ImageWatermarkHelpDialog *pHelp = nullptr;
        QTRY_VERIFY((pHelp = editor.findChild<ImageWatermarkHelpDialog *>()) && pHelp->isVisible());
        QVERIFY((globalRect(pHelp).topLeft() + QPoint(226, -12) - stHelp).manhattanLength() <= 4);
        screen = testsupport::grabScreen(QStringLiteral("settings-help"));
        QVERIFY(darkPixels(screen, globalRect(pHelp).adjusted(0, 8, 0, 0), 80) > 256 * 30);
        QCursor::setPos(globalRect(&fixture.window).bottomRight() + QPoint(20, 20));
        QTRY_VERIFY(!editor.findChild<ImageWatermarkHelpDialog *>());

        // The font dialog shows the watermark's colour on its sample.
        answerQuestionWith("btnOK", &szAsked, &bLocked);
        chooseWatermark(ui->radioTextWatermark);
        albumState().stWatermarkColor = QColor(220, 30, 30);
        QRect stSample;
        chooseFont(editor, [&](FontDialog *pDialog) {
            QVERIFY(QTest::qWaitForWindowExposed(pDialog));
            const QImage shot = testsupport::grabScreen(QStringLiteral("font-dialog"));
            stSample = globalRect(pDialog->findChild<QLineEdit *>("qt_fontDialog_sampleEdit"));
            const int iRed = testsupport::countPixels(
                shot, stSample, [](QRgb c) { return qRed(c) > 180 && qGreen(c) < 90 && qBlue(c) < 90; });
            QVERIFY2(iRed > 200, qPrintable(QString::number(iRed)));
        });
        QVERIFY(!stSample.isEmpty());
    }

    // The motion and framing rows and the music's check box, chosen: each
    // choice draws its text and the chosen ones their mark, in the column's width.
    void motionAndFramingRows()
    {
        QVERIFY(testsupport::ffmpeg({"-f", "lavfi", "-i", "sine=frequency=440:duration=9", "-c:a", "libmp3lame",
                                     path("song.mp3")}));
        EditorUnderTest fixture(QRect(100, 80, 1200, 800));
        QVERIFY(QTest::qWaitForWindowExposed(&fixture.window));
        Vistalo &editor = fixture.editor;
        QVERIFY(importFiles(editor, {path("photo.jpg")}));
        VistaloForm *ui = editor.form();
        click(ui->radioMotionGentle);
        click(ui->radioFramingBlur);
        {
            FileDialogAnswerer files({path("song.mp3")});
            click(ui->ratioCustomMusic);
        }
        click(ui->checkFitToMusic);
        QTRY_COMPARE(ui->boxImageDuration->value(), 9);
        const QImage screen = testsupport::grabScreen(QStringLiteral("settings-motion-framing"));
        const QRect stColumn = globalRect(ui->divSetting);
        for (QWidget *p : std::initializer_list<QWidget *>{ui->labelMotion, ui->radioMotionNone, ui->radioMotionGentle,
                                                           ui->labelFraming, ui->radioFramingFit, ui->radioFramingFill,
                                                           ui->radioFramingBlur, ui->checkFitToMusic}) {
            QVERIFY2(stColumn.contains(globalRect(p)), qPrintable(p->objectName()));
            QVERIFY2(darkPixels(screen, globalRect(p), 200) > 20, qPrintable(p->objectName()));
        }
        // A chosen indicator is drawn differently from one not chosen.
        const QRect stChosen(globalRect(ui->radioFramingBlur).topLeft(), QSize(18, ui->radioFramingBlur->height()));
        const QRect stOther(globalRect(ui->radioFramingFit).topLeft(), QSize(18, ui->radioFramingFit->height()));
        QVERIFY(darkPixels(screen, stChosen, 200) != darkPixels(screen, stOther, 200));
    }
};

QTEST_MAIN(TestX11Settings)
#include "tst_x11_settings.moc"
