// The editor window on the offscreen platform: importing, the strip and its
// buttons, deleting, clearing, rotating, selecting, closing.
#include "EditorTestSupport.h"

#include "album/AlbumProjectState.h"
#include "app/AppStartUp.h"
#include "app/CQSrvProduct.h"
#include "common/ExportTestSupport.h"
#include "common/TestMedia.h"
#include "editor/ImageListItemModel.h"
#include "editor/ImageOpenTipDialog.h"
#include "export_dialogs/ProgressDialog.h"
#include "import/CQSql.h"
#include "import/ImageDecoder.h"
#include "media/export/MediaEncoder.h"
#include "media/recipes/AlbumGeometry.h"
#include "online/CQSrvProductInfo.h"
#include "player/CQVideoPlay.h"
#include "ui/CFramelessWindow.h"
#include "ui/CQComboBox.h"
#include "ui/CQQuitDialog.h"
#include "ui/CQUIPushButton.h"

#include <QCheckBox>
#include <QDir>
#include <QScrollArea>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTimeEdit>

#include <memory>

using namespace editortest;

namespace {

constexpr int64_t kSecond = 1000000;

int storeRowsOf(const QString &szPath)
{
    int iCount = -1;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("count"));
        db.setDatabaseName(CQSql::instance().databasePath());
        if (db.open()) {
            QSqlQuery query(db);
            query.prepare(QStringLiteral("SELECT COUNT(*) FROM image_table WHERE imagePath = ?"));
            query.addBindValue(szPath);
            if (query.exec() && query.next())
                iCount = query.value(0).toInt();
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("count"));
    return iCount;
}

} // namespace

class TestVistalo : public EditorTestBase
{
    Q_OBJECT

    bool albumControlsEnabled() const
    {
        return ui()->divSetting->isEnabled() && ui()->btnExport->isEnabled() && ui()->comboVideoRatio->isEnabled()
            && ui()->comboVideoHeight->isEnabled() && ui()->divPlayer->isEnabled();
    }
    bool albumControlsDisabled() const
    {
        return !ui()->divSetting->isEnabled() && !ui()->btnExport->isEnabled() && !ui()->comboVideoRatio->isEnabled()
            && !ui()->comboVideoHeight->isEnabled() && !ui()->divPlayer->isEnabled();
    }
    void releaseOn(QPoint stPos)
    {
        QTest::mousePress(strip()->viewport(), Qt::LeftButton, {}, stPos);
        QTest::mouseRelease(strip()->viewport(), Qt::LeftButton, {}, stPos);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        registerFontSubstitutions();
        qputenv("XDG_DATA_HOME", QFile::encodeName(path("xdg")));
        QVERIFY(writePicture(path("a.jpg"), 64, 48, Qt::red));
        QVERIFY(writePicture(path("b.png"), 48, 64, Qt::green));
        QVERIFY(writePicture(path("c.jpg"), 64, 64, Qt::blue));
        QVERIFY(writePicture(path("d.jpg"), 80, 40, Qt::yellow));
        QVERIFY(writePicture(path("big.jpg"), 4000, 3000, Qt::darkCyan));
        QVERIFY(writePicture(path("uhd.png"), 3840, 2160, Qt::gray));
        QVERIFY(writeClip(path("clip.mp4")));
        QVERIFY(QDir().mkpath(path("folder/.hidden")));
        QVERIFY(writePicture(path("folder/e.JPG"), 32, 32, Qt::cyan));
        QVERIFY(writePicture(path("folder/.hidden/f.png"), 32, 32, Qt::magenta));
        QVERIFY(QFile::copy(path("clip.mp4"), path("folder/g.mkv")));
        QFile notes(path("folder/notes.txt"));
        QVERIFY(notes.open(QIODevice::WriteOnly) && notes.write("no material") > 0);
    }

    void init() { QVERIFY(openEditor(m_pServices, m_pWindow, m_pEditor)); }

    void cleanup()
    {
        m_pEditor.reset();
        QCOMPARE(albumState().mapImageSources.size(), 0);
        m_pWindow.reset();
        m_pServices.reset();
    }

    void importShowsTheStripAndFiltersRepeats()
    {
        // Fresh: the add page with the tip, every album control disabled.
        QCOMPARE(ui()->divImageSourceOperate->currentWidget(), ui()->pageAddImage);
        QVERIFY(albumControlsDisabled());
        QTRY_VERIFY(m_pEditor->imageTipDialog() && m_pEditor->imageTipDialog()->isVisible());
        QCOMPARE(m_pEditor->imageTipDialog()->text(), QStringLiteral("Please add materials first~"));
        QVERIFY(m_pEditor->imageTipDialog()->width() >= 126);

        QVERIFY(importFiles(*m_pEditor, {path("a.jpg"), path("b.png"), path("c.jpg")}));
        const AlbumProjectState &st = albumState();
        QCOMPARE(st.listImageSourceOrder, QStringList({path("a.jpg"), path("b.png"), path("c.jpg")}));
        QCOMPARE(strip()->imageModel()->paths(), st.listImageSourceOrder);
        QCOMPARE(st.listTransitions.size(), 2);
        QCOMPARE(st.iTotalDuration, 13 * kSecond);
        QCOMPARE(ui()->divImageSourceOperate->currentWidget(), ui()->pageImageSourcList);
        QCOMPARE(strip()->currentIndex().row(), 0);
        QCOMPARE(m_pEditor->selectedPath(), path("a.jpg"));
        QVERIFY(albumControlsEnabled());
        QTRY_VERIFY(!m_pEditor->imageTipDialog());
        QVERIFY(!m_pEditor->importProgressDialog()->isVisible());

        // One of them again and a new one: the repeat is filtered and said so.
        PromptAnswerer answers(true);
        QVERIFY(importFiles(*m_pEditor, {path("b.png"), path("d.jpg")}));
        QTRY_COMPARE(answers.texts.size(), 1);
        QCOMPARE(answers.texts.first(),
                 QStringLiteral("1 files that cannot be added or already exist in the list have been filtered for you"));
        QCOMPARE(st.mapImageSources.size(), 4);
        QCOMPARE(st.iTotalDuration, 18 * kSecond);
        // Strip items tell assistive technology their file names.
        const QModelIndex stLast = strip()->model()->index(3, 0);
        QCOMPARE(stLast.data(Qt::AccessibleTextRole).toString(), QStringLiteral("d.jpg"));
        // A name that looks like markup is shown as it is.
        QVERIFY(QFile::copy(path("a.jpg"), path("<b>bold<br>.jpg")));
        QVERIFY(importFiles(*m_pEditor, {path("<b>bold<br>.jpg")}));
        const QString szTip = strip()->model()->index(4, 0).data(Qt::ToolTipRole).toString();
        QVERIFY2(szTip.contains(QStringLiteral("&lt;b&gt;bold&lt;br&gt;.jpg")), qPrintable(szTip));
    }

    void deleteAndClear()
    {
        QVERIFY(importFiles(*m_pEditor, {path("a.jpg"), path("b.png"), path("c.jpg")}));
        AlbumProjectState &st = albumState();
        QCOMPARE(openDescriptorsOn(path("b.png")), 1);
        QVERIFY(storeRowsOf(path("b.png")) >= 5);
        QSignalSpy spyDelete(strip(), &ImageListView::sig_deleteItem);

        // Releasing over empty space past the last item deletes nothing.
        releaseOn(QPoint(strip()->visualRect(strip()->model()->index(2, 0)).right() + 60, 50));
        QCOMPARE(spyDelete.count(), 0);

        // Cancel changes nothing; the item is not selected by the button either.
        PromptAnswerer answers(false);
        releaseOn(deleteButtonOf(strip(), 1));
        QTRY_COMPARE(answers.texts.size(), 1);
        QCOMPARE(answers.texts.first(), QStringLiteral("Do you want to delete this material?"));
        QCOMPARE(spyDelete.count(), 1);
        QCOMPARE(spyDelete.first().at(0).toString(), path("b.png"));
        QCOMPARE(st.mapImageSources.size(), 3);
        QCOMPARE(st.iTotalDuration, 13 * kSecond);

        // Yes: the middle one goes with its file descriptor and store rows.
        answers.setConfirm(true);
        releaseOn(deleteButtonOf(strip(), 1));
        QTRY_COMPARE(answers.texts.size(), 2);
        QCOMPARE(st.listImageSourceOrder, QStringList({path("a.jpg"), path("c.jpg")}));
        QCOMPARE(strip()->imageModel()->paths(), st.listImageSourceOrder);
        QCOMPARE(st.listTransitions.size(), 1);
        QCOMPARE(st.iTotalDuration, 8 * kSecond);
        QCOMPARE(openDescriptorsOn(path("b.png")), 0);
        QCOMPARE(storeRowsOf(path("b.png")), 0);
        QVERIFY(storeRowsOf(path("a.jpg")) >= 5);
        // A stale request for a path no longer there does nothing.
        m_pEditor->deleteSource(path("b.png"), 0);
        QCOMPARE(st.listImageSourceOrder.size(), 2);

        // A clip leaves its own length, in microseconds: 3 s + 2 s + 4 s - (4 s + 2 s).
        QVERIFY(importFiles(*m_pEditor, {path("clip.mp4")}));
        QCOMPARE(st.iVideoSourceCount, 1);
        m_pEditor->deleteSource(path("c.jpg"), 1);
        QCOMPARE(st.iTotalDuration, 3 * kSecond + 2 * kSecond + 4 * kSecond);
        m_pEditor->deleteSource(path("clip.mp4"), 1);
        QCOMPARE(st.iTotalDuration, 3 * kSecond);
        QCOMPARE(st.iVideoSourceCount, 0);
        QCOMPARE(openDescriptorsOn(path("clip.mp4")), 0);

        // The only one: back to the add page, the controls disabled.
        strip()->setCurrentIndex(strip()->model()->index(0, 0));
        QTest::keyClick(strip(), Qt::Key_Delete);
        QTRY_COMPARE(answers.texts.size(), 3);
        QCOMPARE(st.iTotalDuration, 0);
        QVERIFY(st.mapImageSources.isEmpty() && st.listTransitions.isEmpty());
        QCOMPARE(ui()->divImageSourceOperate->currentWidget(), ui()->pageAddImage);
        QVERIFY(albumControlsDisabled());
        QVERIFY(m_pEditor->selectedPath().isEmpty());

        // Clear: the image duration back to 3 s, watermark and music kept.
        QVERIFY(importFiles(*m_pEditor, {path("a.jpg"), path("c.jpg")}));
        setImageDurationSeconds(5);
        st.iWatermarkType = WatermarkText;
        st.szWatermarkText = QStringLiteral("holiday");
        st.iBackgroundMusicType = MusicCustom;
        st.szBackgroundMusicPath = path("music.mp3");
        QTest::mouseClick(ui()->btnClear, Qt::LeftButton);
        QTRY_COMPARE(answers.texts.size(), 4);
        QCOMPARE(answers.texts.last(), QStringLiteral("Do you want to delete all materials?"));
        QCOMPARE(st.iImageDuration, 3 * kSecond);
        QCOMPARE(st.iTotalDuration, 0);
        QCOMPARE(strip()->model()->rowCount(), 0);
        QCOMPARE(storeRowsOf(path("a.jpg")), 0);
        QCOMPARE(openDescriptorsOn(path("a.jpg")), 0);
        QCOMPARE(st.iWatermarkType, int(WatermarkText));
        QCOMPARE(st.szWatermarkText, QStringLiteral("holiday"));
        QCOMPARE(st.iBackgroundMusicType, int(MusicCustom));
        QCOMPARE(st.szBackgroundMusicPath, path("music.mp3"));
        QVERIFY(albumControlsDisabled());
    }

    void rotateFollowsTheRatio()
    {
        ui()->comboVideoRatio->setCurrentIndex(0);   // self-adaption
        QVERIFY(importFiles(*m_pEditor, {path("big.jpg"), path("clip.mp4")}));
        const AlbumProjectState &st = albumState();
        QCOMPARE(QSize(st.iExportWidth, st.iExportHeight), QSize(1440, 1080));
        auto thumbnail = [this]() {
            return strip()->model()->index(0, 0).data(Qt::BackgroundRole).value<QBrush>().texture().size();
        };
        QCOMPARE(thumbnail(), QSize(106, 80));

        QSignalSpy spyTurn(strip(), &ImageListView::sig_transposeItem);
        releaseOn(rotateButtonOf(strip(), 0));
        QCOMPARE(spyTurn.count(), 1);
        QCOMPARE(st.mapImageSources.value(path("big.jpg")).iRotation, 1);
        QCOMPARE(QSize(st.iExportWidth, st.iExportHeight), QSize(810, 1080));
        QCOMPARE(thumbnail(), QSize(60, 80));
        QCOMPARE(strip()->model()->index(0, 0).data(Qt::UserRole + 1).toInt(), 1);
        for (int i = 0; i < 3; ++i)
            releaseOn(rotateButtonOf(strip(), 0));
        QCOMPARE(st.mapImageSources.value(path("big.jpg")).iRotation, 0);
        QCOMPARE(QSize(st.iExportWidth, st.iExportHeight), QSize(1440, 1080));
        QCOMPARE(thumbnail(), QSize(106, 80));

        // A clip has no rotate button: its corner is part of the thumbnail.
        strip()->setCurrentIndex(strip()->model()->index(1, 0));
        const QImage stShot = strip()->viewport()->grab().toImage();
        const QColor stCorner = stShot.pixelColor(rotateButtonOf(strip(), 1) * stShot.devicePixelRatio());
        releaseOn(rotateButtonOf(strip(), 1));
        QCOMPARE(spyTurn.count(), 4);
        QCOMPARE(st.mapImageSources.value(path("clip.mp4")).iRotation, 0);
        QVERIFY2(stCorner != QColor(0x5C, 0x46, 0xF4) && stCorner.alpha() == 255, qPrintable(stCorner.name()));
        QCOMPARE(stShot.pixelColor(deleteButtonOf(strip(), 1) * stShot.devicePixelRatio()).red() < 200, true);
    }

    void selectionAndKeyboardMoves()
    {
        QVERIFY(importFiles(*m_pEditor, {path("a.jpg"), path("clip.mp4"), path("c.jpg")}));
        AlbumProjectState &st = albumState();
        // The end of the second material: 3 s + 2 s + 4 s.
        QTest::mouseClick(strip()->viewport(), Qt::LeftButton, {},
                          strip()->visualRect(strip()->model()->index(1, 0)).center());
        QCOMPARE(st.iPreviewStartPos, 9 * kSecond);
        // The player shows it, against the album's 14 s.
        QCOMPARE(ui()->divPlayer->findChild<QTimeEdit *>(QStringLiteral("VideoPlayTimeEdit"))->time(), QTime(0, 0, 9));
        QCOMPARE(ui()->divPlayer->findChild<QTimeEdit *>(QStringLiteral("VideoTotalTimeEdit"))->time(), QTime(0, 0, 14));

        // Ctrl+Right moves the current material one place; the album follows.
        QSignalSpy spyMove(strip(), &ImageListView::sig_itemDraged);
        strip()->setCurrentIndex(strip()->model()->index(0, 0));
        QTest::keyClick(strip(), Qt::Key_Right, Qt::ControlModifier);
        QCOMPARE(spyMove.count(), 1);
        QCOMPARE(spyMove.first(), QList<QVariant>({path("a.jpg"), 0, 1}));
        QCOMPARE(st.listImageSourceOrder, QStringList({path("clip.mp4"), path("a.jpg"), path("c.jpg")}));
        QCOMPARE(strip()->currentIndex().row(), 1);
        QCOMPARE(st.iPreviewStartPos, 4 * kSecond + 2 * kSecond + 3 * kSecond);
        QTest::keyClick(strip(), Qt::Key_Left, Qt::ControlModifier);
        QCOMPARE(st.listImageSourceOrder.first(), path("a.jpg"));
        QTest::keyClick(strip(), Qt::Key_Left, Qt::ControlModifier);   // already first
        QCOMPARE(spyMove.count(), 2);

        // Every control can be reached and named.
        for (QAbstractButton *pButton : m_pEditor->findChildren<QAbstractButton *>()) {
            if (pButton == ui()->btnSetting)
                continue;
            QVERIFY2(!pButton->text().isEmpty() || !pButton->accessibleName().isEmpty(),
                     qPrintable(pButton->objectName()));
            QVERIFY2(pButton->focusPolicy() & Qt::TabFocus, qPrintable(pButton->objectName()));
        }
    }

    void dropsFoldersRefusesThePlayerAndHonoursTheFourKCancel()
    {
        const AlbumProjectState &st = albumState();
        // Onto the player: refused, nothing starts.
        QVERIFY(!dropUrls(*m_pEditor, {QUrl::fromLocalFile(path("a.jpg"))}, ui()->divPlayer->geometry().center()
                                                                                    + ui()->widget_5->pos()));
        QVERIFY(!m_pEditor->isImporting());
        QVERIFY(st.mapImageSources.isEmpty());

        // Closing the progress at once cancels: the check's answer that
        // follows starts nothing.
        QVERIFY(dropUrls(*m_pEditor, {QUrl::fromLocalFile(path("a.jpg"))}, materialArea(*m_pEditor)));
        m_pEditor->importProgressDialog()->close();
        QTRY_VERIFY(!m_pEditor->isImporting());
        QTest::qWait(100);
        QVERIFY(st.mapImageSources.isEmpty());

        // A folder: its supported files, hidden subfolders too; the text file
        // is no material.
        PromptAnswerer answers(true);
        QVERIFY(importFiles(*m_pEditor, {path("folder")}));
        QStringList names;
        for (const QString &szPath : st.listImageSourceOrder)
            names << QFileInfo(szPath).fileName();
        names.sort();
        QCOMPARE(names, QStringList({"e.JPG", "f.png", "g.mkv"}));
        QVERIFY(answers.texts.isEmpty());

        // The 4K warning, cancelled: nothing changes, the progress is gone.
        QVERIFY(dropUrls(*m_pEditor, {QUrl::fromLocalFile(path("uhd.png"))}, materialArea(*m_pEditor)));
        CQQuitDialog *pWarning = nullptr;
        QTRY_VERIFY((pWarning = m_pWindow->overlay()->findChild<CQQuitDialog *>()) && pWarning->isVisible());
        QVERIFY(!m_pEditor->importProgressDialog()->isVisible());
        QCOMPARE(QApplication::activeModalWidget(), pWarning);
        // Meanwhile no other import can start.
        QVERIFY(!dropUrls(*m_pEditor, {QUrl::fromLocalFile(path("a.jpg"))}, materialArea(*m_pEditor)));
        QTest::mouseClick(pWarning->findChild<QPushButton *>(QStringLiteral("btnOK")), Qt::LeftButton);
        QTRY_VERIFY(!m_pEditor->isImporting());
        QCOMPARE(st.mapImageSources.size(), 3);
        QVERIFY(!st.mapImageSources.contains(path("uhd.png")));

        // Continue adding, not to be asked again: it comes in, and config.ini
        // keeps the choice (its other lines as they were).
        const QString szConfig = CQSrvProductInfo::instance().configFilePath("Pictora", "config.ini");
        QVERIFY(testmedia::writeFile(szConfig, "# mine\nstatistics=0\n"));
        QVERIFY(dropUrls(*m_pEditor, {QUrl::fromLocalFile(path("uhd.png"))}, materialArea(*m_pEditor)));
        QTRY_VERIFY((pWarning = m_pWindow->overlay()->findChild<CQQuitDialog *>()) && pWarning->isVisible());
        auto *pContinue = pWarning->findChild<QPushButton *>(QStringLiteral("btnCancel"));
        QCOMPARE(pContinue->text(), QStringLiteral("Continue adding"));
        QVERIFY(pContinue->fontMetrics().horizontalAdvance(pContinue->text()) < pContinue->width());
        pWarning->findChild<QCheckBox *>()->setChecked(true);
        QTest::mouseClick(pWarning->findChild<QPushButton *>(QStringLiteral("btnCancel")), Qt::LeftButton);
        QTRY_VERIFY(!m_pEditor->isImporting());
        QVERIFY(st.mapImageSources.contains(path("uhd.png")));
        QCOMPARE(testmedia::readFile(szConfig), QByteArray("# mine\nstatistics=0\nshowFourKWarning=0\n"));
        QVERIFY(QFile::copy(path("uhd.png"), path("uhd2.png")));
        QVERIFY(dropUrls(*m_pEditor, {QUrl::fromLocalFile(path("uhd2.png"))}, materialArea(*m_pEditor)));
        QTRY_VERIFY(!m_pEditor->isImporting());
        QVERIFY(st.mapImageSources.contains(path("uhd2.png")));
        QVERIFY(!m_pWindow->overlay()->findChild<CQQuitDialog *>());
        QVERIFY(QFile::remove(szConfig));
    }

    void closeAsksOnlyWithMaterials()
    {
        emit m_pWindow->signal_close();
        QTRY_VERIFY(!m_pWindow->isVisible());
        QVERIFY(!m_pWindow->overlay()->findChild<CQQuitDialog *>());

        m_pWindow->show();
        QVERIFY(importFiles(*m_pEditor, {path("a.jpg")}));
        emit m_pWindow->signal_close();
        emit m_pWindow->signal_close();   // a second request shows no second question
        QCOMPARE(m_pWindow->overlay()->findChildren<CQQuitDialog *>().size(), 1);
        CQQuitDialog *pQuit = m_pWindow->overlay()->findChild<CQQuitDialog *>();
        QVERIFY(pQuit->isVisible() && m_pWindow->isVisible());
        QTest::mouseClick(pQuit->findChild<QPushButton *>(QStringLiteral("btnCancel")), Qt::LeftButton);
        QVERIFY(m_pWindow->isVisible());
        emit m_pWindow->signal_close();
        QTRY_VERIFY((pQuit = m_pWindow->overlay()->findChild<CQQuitDialog *>()) && pQuit->isVisible());
        QTest::mouseClick(pQuit->findChild<QPushButton *>(QStringLiteral("btnOK")), Qt::LeftButton);
        QTRY_VERIFY(!m_pWindow->isVisible());
    }

    // The editor goes while an import and an export run: the workers stop,
    // no file stays open and no partial video is left.
    void closingDuringImportAndExport()
    {
        QVERIFY(importFiles(*m_pEditor, {path("a.jpg"), path("c.jpg")}));
        AlbumProjectState &st = albumState();
        const QString szOut = path("out");
        QVERIFY(QDir().mkpath(szOut));
        exporttest::setExportTarget(szOut, QStringLiteral("album"), QStringLiteral("MP4"), 25);
        st.iVideoBitRate = 2000000;
        st.iAudioBitRate = 128000;
        st.szExportResolution = QStringLiteral("480P");
        updateExportSize();
        setImageDurationSeconds(60);
        emit m_pEditor->mediaEncoder()->sig_exportVideo();
        // The export writes its hidden temporary meanwhile.
        QTRY_COMPARE(QDir(szOut).entryList(QDir::Files | QDir::Hidden).size(), 1);

        QStringList many;
        QVERIFY(writePicture(path("many0.jpg"), 2000, 1500, Qt::darkGreen));
        for (int i = 0; i < 16; ++i) {
            const QString szCopy = path(QStringLiteral("many%1.jpg").arg(i));
            QVERIFY(QFile::exists(szCopy) || QFile::copy(path("many0.jpg"), szCopy));
            many << szCopy;
        }
        QVERIFY(importFiles(*m_pEditor, many, false));
        QTRY_VERIFY_WITH_TIMEOUT(m_pEditor->imageDecoder()->succeededCount() >= 1, 60000);
        QVERIFY(m_pEditor->isImporting());
        QTest::qWait(100);
        m_pEditor.reset();
        QVERIFY(st.mapImageSources.isEmpty());
        QCOMPARE(st.pImageListModel, nullptr);
        for (const QString &szFile : many)
            QCOMPARE(openDescriptorsOn(szFile), 0);
        QCOMPARE(QDir(szOut).entryList(QDir::Files | QDir::Hidden), QStringList());
    }

    void progressDialog()
    {
        ProgressDialog dialog(m_pWindow->overlay());
        dialog.setAttribute(Qt::WA_DeleteOnClose, false);
        QCOMPARE(dialog.labelText(), QStringLiteral("0%"));
        dialog.setPrefixText(QStringLiteral("exporting... "));
        QCOMPARE(dialog.labelText(), QStringLiteral("exporting...  (0%)"));
        dialog.setProgress(37);
        QCOMPARE(dialog.labelText(), QStringLiteral("exporting...  (37%)"));
        dialog.setProgress(150);
        QCOMPARE(dialog.progress(), 100);
        dialog.setProgress(-5);
        QCOMPARE(dialog.labelText(), QStringLiteral("exporting...  (0%)"));
        dialog.setPrefixText(QString());
        QCOMPARE(dialog.labelText(), QStringLiteral("0%"));
        QSignalSpy spyHidden(&dialog, &ProgressDialog::sig_hided);
        QSignalSpy spyFinished(&dialog, &QDialog::finished);
        dialog.show();
        QTest::keyClick(&dialog, Qt::Key_Escape);
        QCOMPARE(spyHidden.count(), 1);
        QCOMPARE(spyFinished.count(), 1);
        dialog.show();
        dialog.closeAfterTime(50);
        QTRY_COMPARE(spyHidden.count(), 2);
    }
};

QTEST_MAIN(TestVistalo)
#include "tst_vistalo.moc"
