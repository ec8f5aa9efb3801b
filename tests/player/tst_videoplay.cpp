#include "album/AlbumProjectState.h"
#include "common/TestMedia.h"
#include "common/TestSupport.h"
#include "player/CQPrevTipDialog.h"
#include "player/CQSlider.h"
#include "player/CQVideoPlay.h"
#include "player/CQVideoShow.h"
#include "player/Letterbox.h"
#include "player/VideoCtl.h"

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QTimeEdit>
#include <QTranslator>
#include <QtTest>

namespace {

void sendMouse(QWidget *pWidget, QEvent::Type eType, int x, Qt::MouseButtons buttons)
{
    QMouseEvent stEvent(eType, QPointF(x, pWidget->height() / 2), Qt::LeftButton, buttons, Qt::NoModifier);
    QApplication::sendEvent(pWidget, &stEvent);
}

int visibleTips()
{
    int iCount = 0;
    for (QWidget *pWidget : QApplication::topLevelWidgets())
        iCount += pWidget->isVisible() && qobject_cast<CQPrevTipDialog *>(pWidget);
    return iCount;
}

} // namespace

class TestVideoPlay : public QObject
{
    Q_OBJECT
private:
    template <typename T> static T *child(QWidget *pParent, const char *szName)
    {
        return pParent->findChild<T *>(QString::fromLatin1(szName));
    }

private Q_SLOTS:
    void initTestCase()
    {
        applyEditorDefaults();
        registerAlbumMetaTypes();
    }

    void clockCountsPausesOnceAndDrivesTheDisplay()
    {
        CQVideoPlay stPlay;
        stPlay.setTotalDuration(4000);
        // The clock must read the time that passed since it started: bracketed
        // by a timer started before it and one started after it, so a busy
        // machine cannot make the check fail.
        QElapsedTimer stBefore;
        stBefore.start();
        stPlay.startClock();
        QElapsedTimer stAfter;
        stAfter.start();
        QTest::qWait(1000);
        const qint64 iLow = stAfter.elapsed();
        const int64_t iAfterOneSecond = stPlay.position();
        const qint64 iHigh = stBefore.elapsed();
        QVERIFY2(iAfterOneSecond >= iLow - 5 && iAfterOneSecond <= iHigh + 5,
                 qPrintable(QString("%1 not within [%2, %3] ms").arg(iAfterOneSecond).arg(iLow).arg(iHigh)));
        // The 30 ms ticks moved the slider with it.
        const CQSlider *pSlider = child<CQSlider>(&stPlay, "PlaySlider");
        QTRY_VERIFY(pSlider->value() >= iAfterOneSecond / 4);
        QVERIFY(pSlider->value() <= stPlay.position() / 4 + 1);

        // Pausing twice holds the clock where the first pause stopped it.
        stPlay.pauseClock();
        const int64_t iPaused = stPlay.position();
        QTest::qWait(300);
        stPlay.pauseClock();
        QTest::qWait(300);
        QCOMPARE(stPlay.position(), iPaused);
        QElapsedTimer stResumed;
        stResumed.start();
        stPlay.resumeClock();
        const int64_t iResumedAt = stPlay.position() - iPaused;
        QVERIFY(iResumedAt >= 0 && iResumedAt <= stResumed.elapsed() + 5);

        // A seek while counting counts on from there; stopping goes back to 0.
        QElapsedTimer stSeek;
        stSeek.start();
        stPlay.restartClockAt(2000);
        QTest::qWait(100);
        const int64_t iAfterSeek = stPlay.position();
        QVERIFY(iAfterSeek >= 2095 && iAfterSeek <= 2000 + stSeek.elapsed() + 5);
        stPlay.stopClock();
        QCOMPARE(stPlay.position(), int64_t(0));

        // Without a total the first tick ends the preview.
        stPlay.setTotalDuration(0);
        QSignalSpy stEnd(&stPlay, &CQVideoPlay::vp_timeLoopEndSignal);
        stPlay.startClock();
        QVERIFY(stEnd.wait(1000));
        QCOMPARE(stPlay.position(), int64_t(0));
    }

    void positionShowsTimeAndSlider()
    {
        CQVideoPlay stPlay;
        auto *pTime = child<QTimeEdit>(&stPlay, "VideoPlayTimeEdit");
        auto *pSlider = child<CQSlider>(&stPlay, "PlaySlider");
        stPlay.showPosition(5000);
        QCOMPARE(pSlider->value(), 0); // no total yet: nothing moves
        stPlay.setTotalDuration(4'000'000);
        QCOMPARE(child<QTimeEdit>(&stPlay, "VideoTotalTimeEdit")->text(), QString("01:06:40"));
        stPlay.showPosition(3'723'500);
        QCOMPARE(pTime->text(), QString("01:02:03"));
        QCOMPARE(pSlider->value(), 930);
        stPlay.showPosition(5'000'000);
        QCOMPARE(pTime->text(), QString("01:06:40"));
        QCOMPARE(pSlider->value(), 1000);
        stPlay.setTotalDuration(30 * 3600 * 1000);
        QCOMPARE(child<QTimeEdit>(&stPlay, "VideoTotalTimeEdit")->text(), QString("23:59:59"));
    }

    void sliderSeeksByMouseAndKeyboard()
    {
        CQVideoPlay stPlay;
        QVERIFY(stPlay.connectPlayerSignals());
        stPlay.resize(800, 300);
        stPlay.setTotalDuration(20'000);
        stPlay.showPosition(10'000);
        auto *pSlider = child<CQSlider>(&stPlay, "PlaySlider");
        QSignalSpy stPress(&stPlay, &CQVideoPlay::vp_cSliderPressSignal);
        QSignalSpy stRelease(&stPlay, &CQVideoPlay::vp_cSliderReleaseSignal);
        const int w = pSlider->width();

        sendMouse(pSlider, QEvent::MouseButtonPress, w / 4, Qt::LeftButton);
        QCOMPARE(stPress.takeFirst().at(0).toDouble(), 0.25);
        QCOMPARE(pSlider->value(), 500); // a press does not move it
        stPlay.showPosition(15'000);      // nor does the clock while pressed
        QCOMPARE(pSlider->value(), 500);
        sendMouse(pSlider, QEvent::MouseMove, w * 3 / 4, Qt::LeftButton);
        QCOMPARE(pSlider->value(), 750);
        sendMouse(pSlider, QEvent::MouseButtonRelease, w + 50, Qt::NoButton);
        QCOMPARE(stRelease.takeFirst().at(0).toDouble(), 1.0);
        QCOMPARE(child<QTimeEdit>(&stPlay, "VideoPlayTimeEdit")->time(), QTime(0, 0, 20));

        pSlider->setValue(500);
        QTest::keyClick(pSlider, Qt::Key_Right);
        QCOMPARE(stPress.takeFirst().at(0).toDouble(), 0.5);
        QCOMPARE(stRelease.takeFirst().at(0).toDouble(), 0.51);
    }

    void playButtonAndQualitySelector()
    {
        for (bool bChinese : {false, true}) {
            QTranslator stTranslator;
            if (bChinese) {
                QVERIFY(stTranslator.load(testsupport::binDir() + "/translations/app_zh_CN.qm"));
                QCoreApplication::installTranslator(&stTranslator);
            }
            CQVideoPlay stPlay;
            QVERIFY(stPlay.connectPlayerSignals());
            QVERIFY(!stPlay.connectPlayerSignals()); // nothing connected twice
            auto *pButton = child<QPushButton>(&stPlay, "PlayOrPauseBtn");
            QSignalSpy stPlayPause(&stPlay, &CQVideoPlay::vp_PlayOrPauseVideoSignal);
            QTest::mouseClick(pButton, Qt::LeftButton);
            QTest::mouseClick(pButton, Qt::LeftButton);
            QCOMPARE(stPlayPause.count(), 2);
            QCOMPARE(stPlayPause.at(0).at(0).toBool(), true);
            QCOMPARE(stPlayPause.at(1).at(0).toBool(), false);
            QCOMPARE(pButton->accessibleName(), QCoreApplication::translate("CQVideoPlayClass", "Play"));

            auto *pQuality = child<QComboBox>(&stPlay, "comboPreViewSet");
            QCOMPARE(pQuality->itemText(2), bChinese ? QString("1/4预览") : QString("1/4"));
            QSignalSpy stChanged(&stPlay, &CQVideoPlay::vp_preSetChange);
            albumState().iPreviewScale = 1;
            pQuality->setCurrentIndex(2);
            QCOMPARE(stPlay.previewScale(), 4);
            // The album's divisor is the editor's to write once the preview stopped.
            QCOMPARE(albumState().iPreviewScale, 1);
            QCOMPARE(stChanged.count(), 1);
            // Retranslating the entries is no change of quality.
            QCoreApplication::removeTranslator(&stTranslator);
            QCOMPARE(stChanged.count(), 1);
            QCOMPARE(stPlay.previewScale(), 4);
        }
    }

    void helpShowsOnHoverOnlyWhenEnabled()
    {
        QWidget stWindow;
        auto *pPlay = new CQVideoPlay(&stWindow);
        stWindow.show();
        auto *pHelp = child<QPushButton>(pPlay, "transparentBtn");
        QEvent stEnter(QEvent::HoverEnter), stLeave(QEvent::HoverLeave);
        QApplication::sendEvent(pHelp, &stEnter);
        QCOMPARE(visibleTips(), 1);
        QApplication::sendEvent(pHelp, &stLeave);
        QTRY_COMPARE(visibleTips(), 0);
        // From the keyboard: Space toggles it, leaving the spot closes it.
        pHelp->setFocus();
        QTest::keyClick(pHelp, Qt::Key_Space);
        QCOMPARE(visibleTips(), 1);
        pHelp->clearFocus();
        QTRY_COMPARE(visibleTips(), 0);
        pHelp->setEnabled(false);
        QApplication::sendEvent(pHelp, &stEnter);
        QCOMPARE(visibleTips(), 0);
    }

    void qtDrawnDisplayShowsPushedPictures()
    {
        CQVideoPlay stPlay;
        QVERIFY(stPlay.connectPlayerSignals());
        stPlay.resize(462, 307);
        stPlay.show();
        auto *pShow = child<CQVideoShow>(&stPlay, "ShowWid");
        QCOMPARE(pShow->size(), QSize(462, 262));
        // Nothing shows pictures yet: refused at once, and the frame is let go.
        AVFramePtr pFrame = testmedia::colorFrame(640, 480, "red");
        QCOMPARE(stPlay.pushVideoFrame(pFrame.get()), -1);
        QVERIFY(!pFrame->buf[0]);
        QCOMPARE(stPlay.pushVideoFrame(nullptr), -1);

        stPlay.startDisplay();
        pFrame = testmedia::colorFrame(640, 480, "red");
        QCOMPARE(stPlay.pushVideoFrame(pFrame.get()), 0);
        QVERIFY(!pFrame->buf[0]);
        QImage stShown;
        QTRY_VERIFY((stShown = pShow->grab().toImage()).pixel(231, 131) != displayBackgroundColor().rgb());
        const QRect stExpected = letterboxRect(640, 480, {1, 1}, 462, 262);
        QVERIFY(testmedia::colorNear(stShown.pixel(stExpected.topLeft()), qRgb(255, 0, 0), 24));
        QVERIFY(testmedia::colorNear(stShown.pixel(stExpected.bottomRight()), qRgb(255, 0, 0), 24));
        QVERIFY(testmedia::colorNear(stShown.pixel(stExpected.left() - 1, 131), displayBackgroundColor().rgb(), 2));
        QVERIFY(testmedia::colorNear(stShown.pixel(stExpected.right() + 1, 131), displayBackgroundColor().rgb(), 2));

        stPlay.stop(0);
        pFrame = testmedia::colorFrame(640, 480, "red");
        QCOMPARE(stPlay.pushVideoFrame(pFrame.get()), -1);
        QCOMPARE(stPlay.pushAudioFrame(pFrame.get(), 2), -1);
    }
};

QTEST_MAIN(TestVideoPlay)
#include "tst_videoplay.moc"
