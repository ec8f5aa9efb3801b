// The editor's preview control on the offscreen platform: play, pause and
// resume by the button, a seek by the slider, a seek by selecting a
// material, the quality selector, an album change while playing, and the
// end of the album; each checked on the pictures that reach the player.
#include "EditorTestSupport.h"

#include "album/AlbumProjectState.h"
#include "media/preview/AudioDecoder.h"
#include "media/preview/ImageViewer.h"
#include "player/CQSlider.h"
#include "player/CQVideoPlay.h"
#include "ui/CQComboBox.h"

#include <QElapsedTimer>
#include <QSpinBox>
#include <QTemporaryDir>

#include <memory>
#include <mutex>

#include <sys/stat.h>

extern "C" {
#include <libavutil/frame.h>
}

using namespace editortest;

namespace {

// The player panel as the producers see it, noting every picture.
class PictureLog : public CPreviewOutput
{
public:
    explicit PictureLog(CQVideoPlay *pPlay) : m_pPlay(pPlay) {}
    int64_t position() const override { return m_pPlay->position(); }
    int pushVideoFrame(AVFrame *pFrame) override
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_pictures.append({pFrame->pts, QSize(pFrame->width, pFrame->height)});
        }
        return m_pPlay->pushVideoFrame(pFrame);
    }
    int pushAudioFrame(AVFrame *pFrame, int iIndex) override { return m_pPlay->pushAudioFrame(pFrame, iIndex); }
    bool soundBacklog(int iIndex, SoundBacklog *pBacklog) const override
    {
        return m_pPlay->soundBacklog(iIndex, pBacklog);
    }
    void dropAudio(int iIndex) override { m_pPlay->dropAudio(iIndex); }
    QList<QPair<int64_t, QSize>> take()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return std::exchange(m_pictures, {});
    }

private:
    CQVideoPlay *m_pPlay;
    std::mutex m_mutex;
    QList<QPair<int64_t, QSize>> m_pictures;
};

} // namespace

class TestVistaloPreview : public EditorTestBase
{
    Q_OBJECT

    std::unique_ptr<PictureLog> m_pLog;

    CQVideoPlay *player() const { return m_pEditor->form()->divPlayer; }
    QPushButton *playButton() const { return player()->findChild<QPushButton *>("PlayOrPauseBtn"); }
    // The pictures that come within iMs.
    QList<QPair<int64_t, QSize>> picturesWithin(int iMs)
    {
        QTest::qWait(iMs);
        return m_pLog->take();
    }
    // Waits (10 s at most) until at least iCount pictures have come and returns them.
    QList<QPair<int64_t, QSize>> picturesUntil(int iCount)
    {
        QList<QPair<int64_t, QSize>> pictures;
        (void)QTest::qWaitFor([&] { return (pictures += m_pLog->take()).size() >= iCount; }, 10000);
        return pictures;
    }
    // Waits for the next picture and returns it (frame -1 when none came).
    QPair<int64_t, QSize> nextPicture()
    {
        const QList<QPair<int64_t, QSize>> pictures = picturesUntil(1);
        return pictures.isEmpty() ? qMakePair(int64_t(-1), QSize()) : pictures.first();
    }
    // Waits for the first picture before frame iBelow (one handed over before
    // a seek back may still arrive first) and returns it with all that came after it.
    QList<QPair<int64_t, QSize>> picturesFromFrameBelow(int64_t iBelow)
    {
        QList<QPair<int64_t, QSize>> pictures;
        (void)QTest::qWaitFor([&] {
            pictures += m_pLog->take();
            while (!pictures.isEmpty() && pictures.first().first >= iBelow)
                pictures.removeFirst();
            return !pictures.isEmpty();
        }, 10000);
        return pictures;
    }
    // Increasing frame numbers, the first one iFirst (any when -1).
    static bool inOrder(const QList<QPair<int64_t, QSize>> &pictures, int64_t iFirst)
    {
        if (pictures.isEmpty() || (iFirst >= 0 && pictures.first().first != iFirst))
            return false;
        for (int i = 1; i < pictures.size(); ++i)
            if (pictures.at(i).first <= pictures.at(i - 1).first)
                return false;
        return true;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_dir.filePath("xdg")));
        QVERIFY(writePicture(m_dir.filePath("a.jpg"), 320, 180, Qt::red));
        QVERIFY(writePicture(m_dir.filePath("b.jpg"), 320, 180, Qt::blue));
        QVERIFY(openEditor(m_pServices, m_pWindow, m_pEditor));
        m_pLog = std::make_unique<PictureLog>(player());
        albumState().pVideoPlay = m_pLog.get();
        // Two pictures of 9 s and the transition: a 20-second album.
        setImageDurationSeconds(9);
        QVERIFY(importFiles(*m_pEditor, {m_dir.filePath("a.jpg"), m_dir.filePath("b.jpg")}));
        QCOMPARE(player()->totalDuration(), int64_t(20000));
    }

    void cleanupTestCase()
    {
        m_pEditor.reset();
        m_pWindow.reset();
        m_pServices.reset();
    }

    // The button plays from the start position, pauses and resumes; the
    // slider seeks; so does a material chosen in the strip.
    void playPauseSeek()
    {
        QCOMPARE(nextPicture().first, int64_t(0)); // the import's cover
        QCOMPARE(m_pEditor->playerState(), int(Vistalo::PlayerIdle));

        QTest::mouseClick(playButton(), Qt::LeftButton);
        QCOMPARE(m_pEditor->playerState(), int(Vistalo::PlayerPlaying));
        QVERIFY(inOrder(picturesUntil(3), 0));
        QVERIFY(m_pEditor->previewRenderer()->isActive());
        QTRY_VERIFY(m_pEditor->soundFeeder()->isActive());

        QTest::mouseClick(playButton(), Qt::LeftButton);
        QCOMPARE(m_pEditor->playerState(), int(Vistalo::PlayerPaused));
        const int64_t iPausedAt = player()->position();
        const QList<QPair<int64_t, QSize>> before = picturesWithin(200);
        // A pause of the program's on top (the bottom bar's update) moves nothing.
        m_pEditor->updateRequest();
        QVERIFY(picturesWithin(300).isEmpty());
        QCOMPARE(player()->position(), iPausedAt);
        QCOMPARE(m_pEditor->playerState(), int(Vistalo::PlayerPaused));
        QTest::mouseClick(playButton(), Qt::LeftButton);
        QCOMPARE(m_pEditor->playerState(), int(Vistalo::PlayerPlaying));
        const QList<QPair<int64_t, QSize>> after = picturesUntil(3);
        QVERIFY(inOrder(after, -1));
        QVERIFY(before.isEmpty() || after.first().first > before.last().first);

        // Half way along the slider of a 20 s album: 10 s, frame 250.
        auto *pSlider = player()->findChild<CQSlider *>();
        pSlider->setFixedWidth(400);
        QTRY_COMPARE(pSlider->width(), 400);
        const QPoint stHalf(200, pSlider->height() / 2);
        QTest::mousePress(pSlider, Qt::LeftButton, {}, stHalf);
        QCOMPARE(m_pEditor->playerState(), int(Vistalo::PlayerSliderPaused));
        QTest::qWait(100);
        m_pLog->take();
        QElapsedTimer stSinceRelease;
        stSinceRelease.start();
        QTest::mouseRelease(pSlider, Qt::LeftButton, {}, stHalf);
        QCOMPARE(albumState().iPreviewStartPos.load(), int64_t(10000000));
        QVERIFY(player()->position() >= 10000 && player()->position() <= 10000 + stSinceRelease.elapsed() + 1);
        QCOMPARE(m_pEditor->playerState(), int(Vistalo::PlayerPlaying));
        QCOMPARE(nextPicture().first, int64_t(250));

        // The first material chosen while playing: on from its end (9 s).
        QTest::qWait(100);
        m_pLog->take();
        m_pEditor->imageSourceSelected(m_pEditor->form()->imageSourceList->model()->index(0, 0));
        QVERIFY(inOrder(picturesFromFrameBelow(250), 225));
        QCOMPARE(m_pEditor->playerState(), int(Vistalo::PlayerPlaying));
    }

    // Another quality or a change of the album stops the preview; a cover
    // at the new size follows. At the end of the album the player stands
    // still on the first material's cover.
    void stopsAndEnds()
    {
        QCOMPARE(m_pEditor->playerState(), int(Vistalo::PlayerPlaying));
        player()->findChild<CQComboBox *>("comboPreViewSet")->setCurrentIndex(2);
        QTRY_COMPARE(m_pEditor->playerState(), int(Vistalo::PlayerIdle));
        QCOMPARE(albumState().iPreviewScale, 4);
        QTRY_VERIFY(!m_pEditor->previewRenderer()->isActive() && !m_pEditor->soundFeeder()->isActive());
        // The cover at the new size (pictures of the stopped preview may come first).
        const QPair<int64_t, QSize> stCover(225, QSize(480, 270));
        QList<QPair<int64_t, QSize>> covers;
        QTRY_VERIFY_WITH_TIMEOUT((covers += m_pLog->take()).contains(stCover), 10000);
        QTest::qWait(200);
        QCOMPARE((covers + m_pLog->take()).last(), stCover);

        // Turning a material while playing.
        QTest::mouseClick(playButton(), Qt::LeftButton);
        QVERIFY(!picturesUntil(1).isEmpty());
        ImageListView *pStrip = m_pEditor->form()->imageSourceList;
        QTest::mouseClick(pStrip->viewport(), Qt::LeftButton, {}, rotateButtonOf(pStrip, 1));
        QTRY_COMPARE(m_pEditor->playerState(), int(Vistalo::PlayerIdle));
        covers.clear();
        QTRY_VERIFY_WITH_TIMEOUT(!(covers += m_pLog->take()).isEmpty() && covers.last() == stCover, 10000);

        // From 19 s to the end: the preview ends by itself.
        m_pEditor->playerSliderReleased(0.95);
        QTest::mouseClick(playButton(), Qt::LeftButton);
        QCOMPARE(m_pEditor->playerState(), int(Vistalo::PlayerPlaying));
        QTRY_COMPARE_WITH_TIMEOUT(m_pEditor->playerState(), int(Vistalo::PlayerIdle), 10000);
        QList<QPair<int64_t, QSize>> last;
        QTRY_VERIFY_WITH_TIMEOUT((last += m_pLog->take()).size() > 1 && last.last().first == 225, 10000);
        QCOMPARE(last.at(last.size() - 2).first, int64_t(499));
        QCOMPARE(last.last().first, int64_t(225));
        QCOMPARE(albumState().iPreviewStartPos.load(), int64_t(9000000));
    }

    // The music's file replaced by a pipe nobody writes after it was
    // chosen: the preview plays its pictures, and the next change of the
    // album goes through without waiting for the pipe.
    void musicThatStopsAnswering()
    {
        AlbumProjectState &st = albumState();
        const QString szMusic = m_dir.filePath("tune.mp3");
        QVERIFY(testsupport::ffmpeg({"-f", "lavfi", "-i", "sine=f=440:d=2", szMusic}));
        {
            AlbumEditLock lock;
            st.iBackgroundMusicType = MusicCustom;
            st.szBackgroundMusicPath = szMusic;
            st.pBackgroundMusicFile = openHeldFile(szMusic);
        }
        QVERIFY(QFile::remove(szMusic));
        QCOMPARE(::mkfifo(QFile::encodeName(szMusic).constData(), 0600), 0);
        m_pLog->take();
        QTest::mouseClick(playButton(), Qt::LeftButton);
        QVERIFY(picturesUntil(3).size() >= 3);
        QTRY_VERIFY(m_pEditor->soundFeeder()->isActive());
        QElapsedTimer stTimer;
        stTimer.start();
        m_pEditor->form()->boxImageDuration->setValue(8);
        qInfo("album change with the music a pipe: %lld ms", stTimer.elapsed());
        QCOMPARE(player()->totalDuration(), int64_t(18000));
        QTRY_COMPARE(m_pEditor->playerState(), int(Vistalo::PlayerIdle));
    }
};

QTEST_MAIN(TestVistaloPreview)
#include "tst_vistalopreview.moc"
