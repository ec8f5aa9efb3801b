// Album files through the editor: an album arranged in the window, saved,
// opened in a new editor and exported again frame for frame alike (and by
// pictora-render from the file); a moved album, bad files, a dropped file.
#include "EditorTestSupport.h"
#include "SettingsTestSupport.h"

#include "album/AlbumFile.h"
#include "album/AlbumProjectState.h"
#include "common/ExportTestSupport.h"
#include "common/TestMedia.h"
#include "editor/ImageListItemModel.h"

#include "app/AppStartUp.h"
#include "player/CQVideoPlay.h"
#include "ui/CQComboBox.h"

#include <QLineEdit>

#include <QSpinBox>

using namespace editortest;
using namespace settingstest;

namespace {

// Every decoded frame's checksum, video and sound, as ffmpeg sees the file.
QByteArray frameChecksums(const QString &szPath)
{
    const testsupport::ToolResult st = testsupport::runTool(
        "ffmpeg", {"-hide_banner", "-loglevel", "error", "-i", szPath, "-map", "0", "-f", "framemd5", "-"});
    return st.iExitCode == 0 ? st.stdOut : QByteArray();
}

} // namespace

class TestAlbumFiles : public EditorTestBase
{
    Q_OBJECT

    void reopenEditor()
    {
        m_pEditor.reset();
        m_pWindow.reset();
        m_pServices.reset();
        QCOMPARE(albumState().mapImageSources.size(), 0);
        QVERIFY(openEditor(m_pServices, m_pWindow, m_pEditor));
    }

    QString exportAlbum(const QString &szName)
    {
        exporttest::setExportTarget(path("out"), szName, "MP4");
        const exporttest::ExportResult st = exporttest::runExport();
        return st.bSucceeded ? exporttest::outputPath() : st.szError;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        registerFontSubstitutions();
        qputenv("XDG_DATA_HOME", QFile::encodeName(path("xdg")));
        QVERIFY(QDir().mkpath(path("trip")) && QDir().mkpath(path("out")));
        const QColor colours[] = {Qt::red, Qt::green, Qt::blue, Qt::yellow, Qt::magenta};
        for (int i = 0; i < 5; ++i)
            QVERIFY(writePicture(path(QString("trip/p%1.jpg").arg(i)), 64 + 16 * i, 48, colours[i]));
        QVERIFY(writeClip(path("trip/clip.mp4")));
        QVERIFY(testsupport::ffmpeg({"-f", "lavfi", "-i", "sine=f=440:d=6", "-c:a", "libmp3lame", path("song.mp3")}));
    }

    void init() { QVERIFY(openEditor(m_pServices, m_pWindow, m_pEditor)); }

    void cleanup()
    {
        m_pEditor.reset();
        m_pWindow.reset();
        m_pServices.reset();
    }

    // Five photos (one turned, one with its own duration), a clip, music,
    // a text watermark, 9:16: saved, opened in a new editor, the same album
    // and the same video; pictora-render makes it from the file too.
    void roundTrip()
    {
        QStringList files;
        for (int i = 0; i < 5; ++i)
            files << path(QString("trip/p%1.jpg").arg(i));
        files.insert(2, path("trip/clip.mp4"));
        QVERIFY(importFiles(*m_pEditor, files));
        QCOMPARE(strip()->imageModel()->paths(), files);

        m_pEditor->transposeSource(files.at(1), 1);
        // The strip's key asks for the duration of the current photo.
        strip()->setFocus();
        strip()->setCurrentIndex(strip()->model()->index(4, 0));
        QString szAsked;
        whenModalUp<CQDlgTipSimple>([&szAsked](CQDlgTipSimple *pDialog) {
            szAsked = pDialog->findChild<QLabel *>("uiTip")->text();
            auto *pBox = pDialog->findChild<QSpinBox *>();
            QCOMPARE(pBox->minimum(), 0);   // 0: the album's duration again
            QCOMPARE(pBox->maximum(), 60);
            pBox->setValue(2);
            pDialog->accept();
        });
        QTest::keyClick(strip(), Qt::Key_D, Qt::ControlModifier);
        QTRY_COMPARE(albumState().mapImageSources.value(files.at(4)).iOwnDuration, 2000000);
        QVERIFY2(szAsked.contains("p3.jpg"), qPrintable(szAsked));
        QCOMPARE(strip()->model()->index(4, 0).data(Qt::AccessibleTextRole).toString(), QStringLiteral("p3.jpg, 2 s"));

        ui()->boxImageDuration->setValue(1);
        {
            FileDialogAnswerer music({path("song.mp3")});
            click(ui()->ratioCustomMusic);
            QTRY_COMPARE(albumState().szBackgroundMusicPath, path("song.mp3"));
        }
        chooseWatermark(ui()->radioTextWatermark);
        ui()->editWatermarkText->setText(QStringLiteral("Ünï \"trip\""));
        emit ui()->editWatermarkText->editingFinished();
        ui()->comboVideoRatio->setCurrentIndex(ui()->comboVideoRatio->findText("9:16"));
        ui()->comboVideoHeight->setCurrentIndex(ui()->comboVideoHeight->findText("480P"));
        click(ui()->radioMotionGentle);
        click(ui()->radioFramingFill);
        QVERIFY(albumState().iMotion == MotionGentle && albumState().iFraming == FramingFill);
        const int64_t iTotal = albumState().iTotalDuration;
        QCOMPARE(iTotal, 4 * 1000000 + 2000000 + materialDuration(albumState().mapImageSources.value(files.at(2)))
                             + 5 * 2000000);
        QCOMPARE(ui()->divPlayer->totalDuration(), iTotal / 1000);

        const QString szAlbum = path("trip/trip.pictora");
        {
            FileDialogAnswerer save({szAlbum});
            m_pEditor->saveAlbum();
            QCOMPARE(save.iShown, 1);
        }
        const QByteArray saved = testmedia::readFile(szAlbum);
        QVERIFY(saved.contains("\"path\": \"p0.jpg\""));
        const QString szBefore = exportAlbum("before");
        QVERIFY2(szBefore.endsWith(".mp4"), qPrintable(szBefore));

        reopenEditor();
        QVERIFY(m_pEditor->openAlbumFile(szAlbum));
        QTRY_VERIFY_WITH_TIMEOUT(!m_pEditor->isImporting(), 60000);
        QCOMPARE(strip()->imageModel()->paths(), files);
        QCOMPARE(albumFileText(szAlbum), saved);   // order, turns, durations, transitions, settings
        QCOMPARE(albumState().iTotalDuration, iTotal);
        QCOMPARE(ui()->divPlayer->totalDuration(), iTotal / 1000);
        QCOMPARE(strip()->model()->index(4, 0).data(ImageListItemModel::OwnDurationRole).toLongLong(), 2000000);
        QCOMPARE(ui()->boxImageDuration->value(), 1);
        QCOMPARE(ui()->comboVideoRatio->currentText(), QStringLiteral("9:16"));
        QCOMPARE(ui()->comboVideoHeight->currentText(), QStringLiteral("480P"));
        QVERIFY(ui()->radioTextWatermark->isChecked() && ui()->ratioCustomMusic->isChecked());
        QCOMPARE(ui()->editWatermarkText->text(), QStringLiteral("Ünï \"trip\""));
        QVERIFY(ui()->radioMotionGentle->isChecked() && ui()->radioFramingFill->isChecked());
        QCOMPARE(openDescriptorsOn(path("song.mp3")), 1);   // the music is held again

        const QString szAfter = exportAlbum("after");
        const QByteArray before = frameChecksums(szBefore);
        QVERIFY(before.count('\n') > 300);
        QCOMPARE(frameChecksums(szAfter), before);

        const testsupport::ToolResult st = testsupport::runTool(
            testsupport::binDir() + "/pictora-render", {"-q", "--album", szAlbum, "--output", path("out/cli")}, 300000);
        QVERIFY2(st.iExitCode == 0, st.stdErr.constData());
        QCOMPARE(frameChecksums(path("out/cli.mp4")), before);
    }

    // The album's folder moved with its photos, one renamed: the rest opens
    // and the renamed one is named. Bad files leave the album as it is; an
    // album file dropped anywhere on the window opens.
    void movedBadAndDroppedFiles()
    {
        QVERIFY(QDir().mkpath(path("home/sub")));
        const QStringList files = {path("home/a.jpg"), path("home/sub/b.jpg"), path("home/c.jpg")};
        for (const QString &szFile : files)
            QVERIFY(writePicture(szFile, 40, 30, Qt::darkGreen));
        QVERIFY(importFiles(*m_pEditor, files));
        QVERIFY(m_pEditor->writeAlbumFile(path("home/album.pictora")));
        QVERIFY(QDir().rename(path("home"), path("moved")));
        QVERIFY(QFile::rename(path("moved/sub/b.jpg"), path("moved/sub/renamed.jpg")));

        PromptAnswerer answer(true);
        QVERIFY(m_pEditor->openAlbumFile(path("moved/album.pictora")));
        QTRY_VERIFY_WITH_TIMEOUT(!m_pEditor->isImporting(), 60000);
        QTRY_COMPARE(answer.texts.size(), 2);
        QVERIFY2(answer.texts.at(0).contains("will be replaced"), qPrintable(answer.texts.at(0)));
        QVERIFY2(answer.texts.at(1).contains("could not be opened") && answer.texts.at(1).contains("b.jpg"),
                 qPrintable(answer.texts.at(1)));
        QCOMPARE(strip()->imageModel()->paths(), (QStringList{path("moved/a.jpg"), path("moved/c.jpg")}));

        const QByteArray before = albumFileText(path("x.pictora"));
        const QList<QByteArray> bad = {
            "", "{\"format\": \"pictora-album\", \"version\": 1, \"materials\": [{\"pa",
            "[{\"format\": \"pictora-album\"}]", "{\"format\": \"pictora-album\", \"version\": 9, \"materials\": []}",
            "{\"format\": \"pictora-album\", \"version\": 1, \"materials\": [{\"path\": \"" + QByteArray(10000, 'x') + "\"}]}"};
        for (const QByteArray &text : bad) {
            answer.texts.clear();
            QVERIFY(testmedia::writeFile(path("bad.pictora"), text));
            QVERIFY(!m_pEditor->openAlbumFile(path("bad.pictora")));
            QCOMPARE(answer.texts.size(), 1);
            QVERIFY2(answer.texts.first().contains("cannot be opened as an album"), qPrintable(answer.texts.first()));
            QCOMPARE(albumFileText(path("x.pictora")), before);
            QCOMPARE(strip()->model()->rowCount(), 2);
        }

        // Dropped on the player, not the material area: it still opens.
        answer.texts.clear();
        QVERIFY(QFile::rename(path("moved/sub/renamed.jpg"), path("moved/sub/b.jpg")));
        QVERIFY(dropUrls(*m_pEditor, {QUrl::fromLocalFile(path("moved/album.pictora"))},
                         ui()->divPlayer->mapTo(m_pEditor.get(), ui()->divPlayer->rect().center())));
        QTRY_COMPARE(strip()->model()->rowCount(), 3);
        QTRY_VERIFY(!m_pEditor->isImporting());
        QCOMPARE(answer.texts.size(), 1);   // the question only: nothing is missing
        QCOMPARE(m_pEditor->albumFilePath(), path("moved/album.pictora"));
    }
};

QTEST_MAIN(TestAlbumFiles)
#include "tst_albumfiles.moc"
