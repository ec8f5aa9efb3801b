#include "common/TestMedia.h"
#include "common/TestSupport.h"
#include "media/ffmpeg/FrameOps.h"
#include "player/CQVideoShow.h"
#include "player/Letterbox.h"
#include "player/VideoCtl.h"

#include <QPainter>
#include <QtTest>

#include <SDL2/SDL.h>

namespace {

const QRgb kQuadrants[4] = {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255), qRgb(255, 255, 255)};

// Red, green / blue, white quadrants.
QImage quadrants(int w, int h)
{
    QImage stImage(w, h, QImage::Format_ARGB32);
    QPainter painter(&stImage);
    for (int i = 0; i < 4; ++i)
        painter.fillRect(QRect(i % 2 * w / 2, i / 2 * h / 2, w / 2, h / 2), QColor(kQuadrants[i]));
    return stImage;
}

// The same picture stored bottom-up: a negative line size.
AVFramePtr bottomUpFrame(const QImage &stImage)
{
    AVFramePtr pFrame = testmedia::frameOf(stImage.mirrored());
    pFrame->data[0] += ptrdiff_t(pFrame->linesize[0]) * (pFrame->height - 1);
    pFrame->linesize[0] = -pFrame->linesize[0];
    return pFrame;
}

// What the X server shows of the widget, grabbed by ffmpeg.
QImage grabScreen(const QWidget *pWidget, const QString &szPath)
{
    const QPoint stAt = pWidget->mapToGlobal(QPoint(0, 0));
    const bool bGrabbed = testsupport::ffmpeg(
        {"-f", "x11grab", "-video_size", QString("%1x%2").arg(pWidget->width()).arg(pWidget->height()), "-i",
         QString("%1+%2,%3").arg(QString::fromLocal8Bit(qgetenv("DISPLAY"))).arg(stAt.x()).arg(stAt.y()),
         "-frames:v", "1", szPath});
    return bGrabbed ? QImage(szPath).convertToFormat(QImage::Format_RGB32) : QImage();
}

// Bounding box of everything that is not the display's background.
QRect pictureArea(const QImage &stGrab)
{
    QRect stArea;
    for (int y = 0; y < stGrab.height(); ++y)
        for (int x = 0; x < stGrab.width(); ++x)
            if (!testmedia::colorNear(stGrab.pixel(x, y), displayBackgroundColor().rgb(), 30))
                stArea |= QRect(x, y, 1, 1);
    return stArea;
}

bool showsQuadrantsAt(const QImage &stGrab, const QRect &stArea)
{
    for (int i = 0; i < 4; ++i) {
        const QPoint stCentre(stArea.x() + (i % 2 * 2 + 1) * stArea.width() / 4,
                              stArea.y() + (i / 2 * 2 + 1) * stArea.height() / 4);
        if (!testmedia::colorNear(stGrab.pixel(stCentre), kQuadrants[i], 24))
            return false;
    }
    return true;
}

} // namespace

class TestEmbeddedDisplay : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_stDir;
    VideoCtl *m_pCtl = nullptr;
    int64_t m_iPresented = 0;

    // Pushes one picture and waits until the display has shown it.
    bool pushAndWait(AVFramePtr pFrame)
    {
        if (!pFrame || m_pCtl->pushVideoFrame(pFrame.get()) != 0)
            return false;
        ++m_iPresented;
        return QTest::qWaitFor([&] { return m_pCtl->displayCounters().iPresented >= m_iPresented; }, 10000);
    }

    // The display thread and the X server catch up in their own time: grab
    // until the picture is in place (or give up after a generous while).
    void checkShown(const QWidget *pShow, const QRect &stExpected, const char *szName)
    {
        const QString szPath = m_stDir.filePath(QString(szName) + ".png");
        QImage stGrab;
        QDeadlineTimer stDeadline(10000);
        do {
            stGrab = grabScreen(pShow, szPath);
            if (!stGrab.isNull() && pictureArea(stGrab) == stExpected && showsQuadrantsAt(stGrab, stExpected))
                return;
            QTest::qWait(200);
        } while (!stDeadline.hasExpired());
        QVERIFY2(!stGrab.isNull(), szName);
        QCOMPARE(pictureArea(stGrab), stExpected);
        QVERIFY2(showsQuadrantsAt(stGrab, stExpected), szName);
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            QSKIP("needs an X server; ctest runs this under xvfb-run");
        // ctest asks every test for SDL's dummy video; this one embeds for real.
        qputenv("SDL_VIDEODRIVER", "x11");
        QVERIFY(m_stDir.isValid());
        m_pCtl = VideoCtl::instance(0);
        QVERIFY(m_pCtl);
    }

    void sdlAndQtShowPicturesInTheSamePlace()
    {
        QWidget stWindow;
        stWindow.resize(640, 360);
        auto *pShow = new CQVideoShow(&stWindow);
        pShow->setGeometry(20, 20, 462, 262);
        stWindow.show();
        QVERIFY(QTest::qWaitForWindowExposed(&stWindow));
        QSignalSpy stEmbedded(m_pCtl, &VideoCtl::sig_displayEmbedded);

        m_pCtl->startDisplay(pShow->attachDisplay(m_pCtl));
        QTRY_COMPARE_WITH_TIMEOUT(stEmbedded.count(), 1, 10000); // sent from the display thread, maybe before a wait
        QCOMPARE(stEmbedded.takeFirst().at(0).toBool(), true);
        QTRY_VERIFY(pShow->isEmbedded());

        // A 16:9 YUV picture fills the width; a 4:3 BGRA one stored bottom-up
        // is pillar-boxed and upright.
        AVFramePtr pYuv = makeFramePtr();
        QCOMPARE(convertPixelFormat(testmedia::frameOf(quadrants(1920, 1080)).get(), pYuv.get(), AV_PIX_FMT_YUV420P),
                 0);
        QVERIFY(pushAndWait(std::move(pYuv)));
        checkShown(pShow, QRect(0, 1, 462, 260), "sdl-yuv");
        QVERIFY(pushAndWait(bottomUpFrame(quadrants(640, 480))));
        checkShown(pShow, QRect(57, 0, 348, 262), "sdl-bgra");

        // The area grows: the picture follows without a new one.
        pShow->resize(600, 300);
        checkShown(pShow, letterboxRect(640, 480, {1, 1}, 600, 300), "sdl-resized");

        // SDL's quit event (its last window closed, say) leaves the display running.
        SDL_Event stQuit{};
        stQuit.type = SDL_QUIT;
        QCOMPARE(SDL_PushEvent(&stQuit), 1);
        QVERIFY(pushAndWait(bottomUpFrame(quadrants(640, 480))));
        QVERIFY(m_pCtl->isDisplayRunning());

        // SDL cannot embed (its dummy driver): the widget paints the same
        // picture into the same rectangle.
        m_pCtl->stop();
        pShow->detachDisplay();
        pShow->resize(462, 262);
        qputenv("SDL_VIDEODRIVER", "dummy");
        m_pCtl->startDisplay(pShow->attachDisplay(m_pCtl));
        QTRY_COMPARE_WITH_TIMEOUT(stEmbedded.count(), 1, 10000); // sent from the display thread, maybe before a wait
        qputenv("SDL_VIDEODRIVER", "x11");
        QCOMPARE(stEmbedded.takeFirst().at(0).toBool(), false);
        QVERIFY(pushAndWait(bottomUpFrame(quadrants(640, 480))));
        checkShown(pShow, QRect(57, 0, 348, 262), "qt-bgra");
        m_pCtl->stop();
        pShow->detachDisplay();
    }
};

QTEST_MAIN(TestEmbeddedDisplay)
#include "tst_x11_embeddeddisplay.moc"
