// The settings column on the offscreen platform: duration, ratio and tier,
// music, watermark and font, each checked in the album it writes, and one
// export made from what the panel chose.
#include "SettingsTestSupport.h"

#include "common/ExportTestSupport.h"

#include "album/AlbumProjectState.h"
#include "app/AppStartUp.h"
#include "font_picker/FontDialog.h"
#include "font_picker/FontListView.h"
#include "media/export/MediaEncoder.h"
#include "media/recipes/AlbumGeometry.h"
#include "player/CQVideoPlay.h"
#include "ui/CQComboBox.h"
#include "ui/CQToast.h"
#include "ui/CQUIPushButton.h"

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QJsonArray>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTemporaryDir>

#include <memory>

#include <sys/stat.h>

using namespace editortest;
using namespace settingstest;

namespace {

constexpr int64_t kSecond = 1000000;

QList<CQToast *> visibleToasts()
{
    QList<CQToast *> listToasts;
    for (QWidget *pWidget : QApplication::topLevelWidgets()) {
        if (auto *pToast = qobject_cast<CQToast *>(pWidget); pToast && pToast->isVisible())
            listToasts << pToast;
    }
    return listToasts;
}

QString toastText()
{
    const QList<CQToast *> listToasts = visibleToasts();
    return listToasts.isEmpty() ? QString() : listToasts.first()->text();
}

// Files the album holds open on szPath, counted while no preview render
// runs: a cover render reads the watermark picture once more while it works.
int heldOpen(const QString &szPath)
{
    AlbumEditLock lock;
    return openDescriptorsOn(szPath);
}

void closeToasts()
{
    for (CQToast *pToast : visibleToasts())
        pToast->close();
}

} // namespace

class TestSettings : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<EditorUnderTest> m_pFixture;

    QString path(const QString &szName) const { return QDir::cleanPath(m_dir.filePath(szName)); }
    Vistalo &editor() const { return m_pFixture->editor; }
    VistaloForm *ui() const { return editor().form(); }
    void typeDuration(const QString &szText)
    {
        QSpinBox *pBox = ui()->boxImageDuration;
        pBox->selectAll();
        QTest::keyClicks(pBox, szText);
        QTest::keyClick(pBox, Qt::Key_Enter);
    }
private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        registerFontSubstitutions();
        qputenv("XDG_DATA_HOME", QFile::encodeName(path("xdg")));
        for (const char *pszName : {"a.jpg", "b.jpg", "c.jpg"})
            QVERIFY(writePicture(path(pszName), 64, 48, Qt::white));
        QVERIFY(writePicture(path("portrait.png"), 1080, 1920, Qt::white));
        for (const char *pszName : {"tall1.png", "tall2.png", "tall3.png"})
            QVERIFY(writePicture(path(pszName), 404, 720, Qt::white)); // fill a 9:16 720P frame
        QVERIFY(writePicture(path("mark.png"), 120, 40, Qt::blue));
        QVERIFY(writePicture(path("mark.bmp"), 120, 40, Qt::blue));
        QVERIFY(QFile::copy(path("mark.bmp"), path("bitmap.png")));
        QVERIFY(writeClip(path("clip.mp4")));
        const QStringList sine{"-f", "lavfi", "-i", "sine=frequency=440:duration=4"};
        QVERIFY(testsupport::ffmpeg(sine + QStringList{"-c:a", "libmp3lame", path("<b>tune<br>.mp3")}));
        QVERIFY(testsupport::ffmpeg(sine + QStringList{"-f", "wav", path("wave.mp3")}));
        QVERIFY(testsupport::ffmpeg({"-f", "lavfi", "-i", "sine=frequency=440:duration=19", "-c:a", "libmp3lame",
                                     path("song.mp3")}));
    }

    void init()
    {
        m_pFixture = std::make_unique<EditorUnderTest>(QRect(100, 80, 1200, 800));
        QVERIFY(QTest::qWaitForWindowExposed(&m_pFixture->window));
    }

    void cleanup() { m_pFixture.reset(); }

    void durationBoxKeepsItsBounds()
    {
        QVERIFY(importFiles(editor(), {path("a.jpg"), path("b.jpg"), path("c.jpg")}));
        const AlbumProjectState &st = albumState();
        QSpinBox *pBox = ui()->boxImageDuration;
        QCOMPARE(pBox->value(), 3);
        typeDuration("5");
        QCOMPARE(st.iTotalDuration, 19 * kSecond);
        QCOMPARE(ui()->divPlayer->totalDuration(), 19000);
        typeDuration("0");
        QCOMPARE(pBox->value(), 1);
        QCOMPARE(st.iTotalDuration, 7 * kSecond);
        QVERIFY(pBox->property("isMinimum").toBool() && !pBox->property("isMaximum").toBool());
        typeDuration("99");
        QCOMPARE(pBox->value(), 60);
        QCOMPARE(st.iTotalDuration, 184 * kSecond);
        QVERIFY(pBox->property("isMaximum").toBool() && !pBox->property("isMinimum").toBool());
        // Cleared: the box is put back to 1, the album keeps its 3 s.
        PromptAnswerer answers(true);
        click(ui()->btnClear);
        QTRY_VERIFY(st.mapImageSources.isEmpty());
        QCOMPARE(pBox->value(), 1);
        QCOMPARE(st.iImageDuration, 3 * kSecond);
        QCOMPARE(st.iTotalDuration, 0LL);
    }

    void ratioAndTierSizeTheFrameAndTheFont()
    {
        QVERIFY(importFiles(editor(), {path("portrait.png")}));
        const AlbumProjectState &st = albumState();
        ui()->comboVideoHeight->setCurrentText(QStringLiteral("720P"));
        ui()->comboVideoRatio->setCurrentIndex(0);
        QCOMPARE(QSize(st.iExportWidth, st.iExportHeight), QSize(404, 720));
        QCOMPARE(st.stWatermarkFont.pixelSize(), 30);
        ui()->comboVideoRatio->setCurrentText(QStringLiteral("9:16"));
        ui()->comboVideoHeight->setCurrentText(QStringLiteral("1080P"));
        QCOMPARE(QSize(st.iExportWidth, st.iExportHeight), QSize(608, 1080));
        QCOMPARE(st.stWatermarkFont.pixelSize(), 48);

        // Confirming the font dialog unchanged keeps the font with the tier.
        chooseWatermark(ui()->radioTextWatermark);
        chooseFont(editor(), [](FontDialog *) {});
        QCOMPARE(st.stWatermarkFont.pixelSize(), 48);
        ui()->comboVideoHeight->setCurrentText(QStringLiteral("720P"));
        QCOMPARE(st.stWatermarkFont.pixelSize(), 30);
        // Another family: the tier no longer decides.
        chooseFont(editor(), [](FontDialog *pDialog) {
            auto *pFamilies = pDialog->findChild<FontListView *>("familyList");
            for (int i = 0; i < pFamilies->count(); ++i) {
                if (pFamilies->text(i) == QLatin1String("DejaVu Serif"))
                    pFamilies->setCurrentItem(i);
            }
            pDialog->setCurrentTransparency(0.29);
        });
        QCOMPARE(st.stWatermarkFont.family(), QStringLiteral("DejaVu Serif"));
        QCOMPARE(st.stWatermarkFont.pixelSize(), 30);
        QCOMPARE(st.lfWatermarkTransparency, 0.29);
        ui()->comboVideoHeight->setCurrentText(QStringLiteral("480P"));
        QCOMPARE(QSize(st.iExportWidth, st.iExportHeight), QSize(270, 480));
        QCOMPARE(st.stWatermarkFont.family(), QStringLiteral("DejaVu Serif"));
        QCOMPARE(st.stWatermarkFont.pixelSize(), 30);
        chooseFont(editor(), [](FontDialog *) {});
        QCOMPARE(st.lfWatermarkTransparency, 0.29);
        QCOMPARE(st.stWatermarkFont.pixelSize(), 30);
    }

    void watermarkAsksBeforeReplacingAndRefusesOtherPictures()
    {
        QVERIFY(importFiles(editor(), {path("a.jpg")}));
        AlbumProjectState &st = albumState();
        FileDialogAnswerer files({path("bitmap.png"), path("clip.mp4"), path("mark.png")});
        chooseWatermark(ui()->radioTextWatermark);
        QCOMPARE(st.iWatermarkType, int(WatermarkText));
        QVERIFY(ui()->divWatermarkPos->isVisible() && ui()->editWatermarkText->isVisible());
        QTest::keyClicks(ui()->editWatermarkText, "mark");
        QTest::keyClick(ui()->editWatermarkText, Qt::Key_Return);
        QCOMPARE(st.szWatermarkText, QStringLiteral("mark"));
        click(ui()->checkWatermarkPosRightBottom);
        QCOMPARE(st.iWatermarkPos, 256);

        // Cancel: still the text, no picture asked for.
        QString szAsked;
        bool bLockedWhileAsked = true;
        answerQuestionWith("btnCancel", &szAsked, &bLockedWhileAsked);
        chooseWatermark(ui()->radioImageWatermark);
        QTRY_VERIFY(ui()->radioTextWatermark->isChecked());
        QCoreApplication::processEvents();
        QCOMPARE(szAsked, QStringLiteral("Tips|After switching the watermark type, the original watermark will be replaced."));
        QVERIFY(!bLockedWhileAsked);
        QCOMPARE(st.iWatermarkType, int(WatermarkText));
        QCOMPARE(files.iShown, 0);

        // OK: the picture dialog at once; a bitmap named .png and a clip are refused.
        answerQuestionWith("btnOK", &szAsked, &bLockedWhileAsked);
        chooseWatermark(ui()->radioImageWatermark);
        QTRY_COMPARE(files.iShown, 1);
        QCOMPARE(st.iWatermarkType, int(WatermarkImage));
        const QString szRefused = QStringLiteral("Failed to add watermark, because of the abnormal picture");
        QTRY_COMPARE(toastText(), szRefused);
        closeToasts();
        click(ui()->btnAddImageWatermark);
        QCOMPARE(files.iShown, 2);
        QTRY_COMPARE(toastText(), szRefused);
        QVERIFY(st.szImageWatermarkPath.isEmpty());
        click(ui()->btnAddImageWatermark);
        QTRY_COMPARE(st.szImageWatermarkPath, path("mark.png"));
        QCOMPARE(ui()->labelImageWatermarkName->text(), QStringLiteral("mark.png"));
        QCOMPARE(heldOpen(path("mark.png")), 1);

        // None closes the picture; choosing the image again reopens it without asking.
        answerQuestionWith("btnOK", &szAsked, &bLockedWhileAsked);
        chooseWatermark(ui()->radioNoWatermark);
        QTRY_COMPARE(st.iWatermarkType, int(WatermarkNone));
        QVERIFY(!ui()->divWatermarkPos->isVisible());
        QCOMPARE(heldOpen(path("mark.png")), 0);
        chooseWatermark(ui()->radioImageWatermark);
        QCOMPARE(st.iWatermarkType, int(WatermarkImage));
        QCOMPARE(heldOpen(path("mark.png")), 1);
        QCOMPARE(files.iShown, 3);
    }

    void musicIsCheckedAndHeldOpen()
    {
        QVERIFY(importFiles(editor(), {path("a.jpg")}));
        AlbumProjectState &st = albumState();
        const QString szTune = path("<b>tune<br>.mp3");
        const QString szPipe = path("pipe.mp3");
        QCOMPARE(::mkfifo(QFile::encodeName(szPipe).constData(), 0600), 0);
        FileDialogAnswerer files({path("wave.mp3"), szPipe, QString(), szTune, path("tune.mp3")});
        const QString szRefused = QStringLiteral("Failed to add background music, because of the abnormal audio");
        click(ui()->ratioCustomMusic); // no music yet: the dialog at once
        QCOMPARE(files.iShown, 1);
        QCOMPARE(toastText(), szRefused);
        QCOMPARE(st.iBackgroundMusicType, int(MusicCustom));
        QVERIFY(st.szBackgroundMusicPath.isEmpty());
        closeToasts();
        click(ui()->btnAddBackgroundMusic); // a pipe nobody writes: refused without waiting for it
        QCOMPARE(toastText(), szRefused);
        QVERIFY(st.szBackgroundMusicPath.isEmpty());
        click(ui()->btnAddBackgroundMusic); // cancelled
        click(ui()->btnAddBackgroundMusic);
        QCOMPARE(files.iShown, 4);
        QCOMPARE(st.szBackgroundMusicPath, szTune);
        QCOMPARE(ui()->labelBackgroundMusicName->text(), QStringLiteral("<b>tune<br>.mp3"));
        QCOMPARE(ui()->labelBackgroundMusicName->textFormat(), Qt::PlainText);
        QCOMPARE(heldOpen(szTune), 1);
        click(ui()->radioNoMusic);
        QCOMPARE(st.iBackgroundMusicType, int(MusicNone));
        QVERIFY(!ui()->divBackgroundOperate->isVisible());
        QCOMPARE(heldOpen(szTune), 0);
        click(ui()->ratioCustomMusic);
        QCOMPARE(heldOpen(szTune), 1);
        QCOMPARE(files.iShown, 4);
        // The chosen file replaced by a pipe: choosing the music again does
        // not wait for the pipe and forgets it (the dialog asks anew).
        click(ui()->radioNoMusic);
        QVERIFY(QFile::copy(szTune, path("tune.mp3")) && QFile::remove(szTune) && QFile::rename(szPipe, szTune));
        click(ui()->ratioCustomMusic);
        QCOMPARE(files.iShown, 5);
        QCOMPARE(st.szBackgroundMusicPath, path("tune.mp3"));
        QVERIFY(QFile::remove(szTune) && QFile::copy(path("tune.mp3"), szTune));
        click(ui()->radioNotKeepAudioTrack);
        QCOMPARE(st.iKeepAudioTrack, 0);
        click(ui()->radioKeepAudioTrack);
        QCOMPARE(st.iKeepAudioTrack, 1);
    }

    // Motion and framing go into the album; with "Fit to music" the
    // duration box takes the length that fits the song and follows the album.
    void motionFramingAndFitToMusic()
    {
        QVERIFY(importFiles(editor(), {path("a.jpg"), path("b.jpg"), path("c.jpg")}));
        AlbumProjectState &st = albumState();
        QVERIFY(ui()->radioMotionNone->isChecked() && ui()->radioFramingFit->isChecked());
        QVERIFY(!ui()->radioFramingBlur->accessibleName().isEmpty());
        click(ui()->radioMotionGentle);
        click(ui()->radioFramingBlur);
        QCOMPARE(st.iMotion, int(MotionGentle));
        QCOMPARE(st.iFraming, int(FramingBlur));
        click(ui()->radioFramingFill);
        QCOMPARE(st.iFraming, int(FramingFill));

        QVERIFY(!ui()->checkFitToMusic->isVisible());
        FileDialogAnswerer files({path("song.mp3")});
        click(ui()->ratioCustomMusic);
        if (files.iShown == 0) // the music of an earlier album comes back
            click(ui()->btnAddBackgroundMusic);
        QCOMPARE(files.iShown, 1);
        QVERIFY(ui()->checkFitToMusic->isVisible());
        click(ui()->checkFitToMusic);
        QSpinBox *pBox = ui()->boxImageDuration;
        QTRY_COMPARE(pBox->value(), 5);                  // 3 x 5 + 2 x 2 = 19
        QCOMPARE(st.iTotalDuration, 19 * kSecond);
        QVERIFY(!pBox->isEnabled());
        QVERIFY(importFiles(editor(), {path("tall1.png")}));
        QTRY_COMPARE(pBox->value(), 3);                  // (19 - 6) / 4
        QCOMPARE(st.iTotalDuration, 18 * kSecond);
        click(ui()->radioNoMusic);
        QTRY_VERIFY(pBox->isEnabled());
        QCOMPARE(pBox->value(), 3);
    }

    void exportFollowsThePanel()
    {
        QVERIFY(importFiles(editor(), {path("tall1.png"), path("tall2.png"), path("tall3.png")}));
        AlbumProjectState &st = albumState();
        typeDuration("5");
        FileDialogAnswerer files({path("<b>tune<br>.mp3")});
        click(ui()->ratioCustomMusic);
        chooseWatermark(ui()->radioTextWatermark);
        QTest::keyClicks(ui()->editWatermarkText, "PICTORA");
        QTest::keyClick(ui()->editWatermarkText, Qt::Key_Return);
        click(ui()->checkWatermarkPosRightBottom);
        chooseFont(editor(), [](FontDialog *pDialog) { pDialog->findChild<QSpinBox *>("transparencyBox")->setValue(50); });
        ui()->comboVideoRatio->setCurrentText(QStringLiteral("9:16"));
        ui()->comboVideoHeight->setCurrentText(QStringLiteral("720P"));
        QCOMPARE(st.lfWatermarkTransparency, 0.5);

        // What the export settings dialog adds, then the editor's renderer.
        const QString szOut = path("out");
        QVERIFY(QDir().mkpath(szOut));
        exporttest::setExportTarget(szOut, QStringLiteral("album"), QStringLiteral("MP4"), 25);
        MediaEncoder *pEncoder = editor().mediaEncoder();
        QSignalSpy done(pEncoder, &MediaEncoder::sig_succeeded);
        QSignalSpy failed(pEncoder, &MediaEncoder::sig_exportFail);
        emit pEncoder->sig_exportVideo();
        QTRY_VERIFY_WITH_TIMEOUT(done.count() + failed.count() > 0, 120000);
        QVERIFY2(failed.isEmpty(), qPrintable(failed.value(0).value(0).toString()));

        const QString szFile = szOut + QStringLiteral("/album.mp4");
        const QJsonObject stProbe = testsupport::ffprobe(szFile);
        const QJsonObject stVideo = testsupport::probeStream(stProbe, "video");
        QCOMPARE(QSize(stVideo["width"].toInt(), stVideo["height"].toInt()), QSize(404, 720));
        const double lfLength = stProbe["format"].toObject()["duration"].toString().toDouble();
        QVERIFY2(qAbs(lfLength - 19.0) < 0.15, qPrintable(QString::number(lfLength)));
        int iRate = 0;
        const QVector<float> sound = exporttest::decodeSound(szFile, 0, &iRate);
        QVERIFY(iRate == 44100 && sound.size() > 18 * iRate);
        // The tune loops under the whole album.
        for (int iSecond : {1, 6, 17})
            QVERIFY(exporttest::toneAmplitude(sound, iRate, 440, iSecond * iRate, (iSecond + 1) * iRate) > 0.05);

        // Half-transparent black on white, in the bottom-right corner and nowhere else.
        const QImage stFrame = exporttest::decodeFrame(szFile, 50, QSize(404, 720));
        const QRect stMark = textWatermarkRect(QStringLiteral("PICTORA"), st.stWatermarkFont, 256, 404, 720);
        const QRect stInk = exporttest::boundingBox(stFrame, [](QRgb c) { return qGray(c) < 200; });
        QVERIFY2(stMark.adjusted(-2, -2, 2, 2).contains(stInk) && stInk.width() > stMark.width() / 2,
                 qPrintable(QStringLiteral("ink %1,%2 %3x%4").arg(stInk.x()).arg(stInk.y()).arg(stInk.width()).arg(stInk.height())));
        const int iDarkest = testsupport::darkestGrey(stFrame, stInk);
        QVERIFY2(qAbs(iDarkest - 128) < 25, qPrintable(QString::number(iDarkest)));
        qInfo("export %dx%d, %.3f s; ink at %d,%d %dx%d in the mark's %d,%d %dx%d, darkest grey %d",
              stVideo["width"].toInt(), stVideo["height"].toInt(), lfLength, stInk.x(), stInk.y(), stInk.width(),
              stInk.height(), stMark.x(), stMark.y(), stMark.width(), stMark.height(), iDarkest);
    }
};

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
