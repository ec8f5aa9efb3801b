// Video clips in the export: frame counts at the output rate, repeated and
// held pictures, the geometry of a turned clip, and the transitions into and
// out of a clip. The clips are "counter" videos: each picture shows its own
// frame number in two grey levels, so that every output frame tells which
// clip frame it shows.

#include "album/AlbumProjectState.h"
#include "common/ExportTestSupport.h"
#include "common/TestSupport.h"

#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

extern "C" {
#include <libavutil/mathematics.h>
}

using namespace exporttest;

namespace {

// The grey level of a limited-range luma value after decoding to RGB.
double greyOfLuma(double lfLuma)
{
    return (lfLuma - 16.0) * 255.0 / 219.0;
}

double meanGrey(const QImage &stImage, const QRect &stArea)
{
    double lfSum = 0;
    for (int y = stArea.top(); y <= stArea.bottom(); ++y)
        for (int x = stArea.left(); x <= stArea.right(); ++x)
            lfSum += qGray(stImage.pixel(x, y));
    return lfSum / (stArea.width() * stArea.height());
}

// The clip frame number an output picture shows, or -1 when the picture is
// no counter picture (two uniform grey halves) at all. stPicture is where
// the clip sits in the frame.
int counterOf(const QImage &stFrame, const QRect &stPicture)
{
    const int iMargin = stPicture.width() / 6;
    const QRect stTop(stPicture.left() + iMargin, stPicture.top() + iMargin, stPicture.width() - 2 * iMargin,
                      stPicture.height() / 2 - 2 * iMargin);
    const QRect stBottom = stTop.translated(0, stPicture.height() / 2);
    const double lfStep = greyOfLuma(49) - greyOfLuma(40);
    const double lfLow = (meanGrey(stFrame, stTop) - greyOfLuma(40)) / lfStep;
    const double lfHigh = (meanGrey(stFrame, stBottom) - greyOfLuma(40)) / lfStep;
    if (std::abs(lfLow - std::round(lfLow)) > 0.3 || std::abs(lfHigh - std::round(lfHigh)) > 0.3 || lfLow < -0.3
        || lfHigh < -0.3)
        return -1;
    return int(std::lround(lfHigh)) * 20 + int(std::lround(lfLow));
}

// Where a square clip sits in a 160 x 90 frame: 90 x 90, centred.
const QRect kSquareIn160x90(35, 0, 90, 90);

} // namespace

class TestExportClips : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_dir;

    QList<int> countersOf(const QString &szFile, int iCount, const QRect &stPicture = kSquareIn160x90)
    {
        QList<int> counters;
        for (const QImage &stFrame : decodeFrames(szFile, 0, iCount, QSize(160, 90)))
            counters.append(counterOf(stFrame, stPicture));
        return counters;
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    // The counter itself reads back through an export of pictures.
    void counterPicturesReadBack()
    {
        const QString szClip = m_dir.filePath("counter25.mp4");
        QVERIFY(makeClip(szClip, counterSource(25, 2)));
        const QList<QImage> frames = decodeFrames(szClip, 0, 50, QSize(64, 64));
        QCOMPARE(frames.size(), 50);
        for (int i = 0; i < frames.size(); ++i)
            QCOMPARE(counterOf(frames.at(i), QRect(0, 0, 64, 64)), i);
    }

    // The output rate rules: a 10 s clip is 250 frames at 25 fps whatever
    // its own rate; a faster clip drops pictures, a slower one repeats them,
    // always in order and never more than one apart from its time.
    void clipsAtTheOutputRate_data()
    {
        QTest::addColumn<int>("clipFps");
        QTest::newRow("30 fps clip") << 30;
        QTest::newRow("15 fps clip") << 15;
    }

    void clipsAtTheOutputRate()
    {
        QFETCH(int, clipFps);
        const QString szClip = m_dir.filePath(QString("counter%1.mp4").arg(clipFps));
        QVERIFY(makeClip(szClip, counterSource(clipFps, 10)));
        const QString szOut = m_dir.filePath(QString("rate%1").arg(clipFps));
        QVERIFY(QDir().mkpath(szOut));
        resetAlbum(szOut, "album", "MP4", 25, 160, 90);
        QVERIFY(appendClip(szClip));
        QCOMPARE(albumState().iTotalDuration, int64_t(10000000));

        const ExportResult stResult = runExport();
        QVERIFY2(stResult.bSucceeded, qPrintable(stResult.szError));
        QCOMPARE(testsupport::countVideoFrames(outputPath()), 250);
        QCOMPARE(stResult.progress.size(), 251);

        const QList<int> counters = countersOf(outputPath(), 250);
        QCOMPARE(counters.size(), 250);
        QCOMPARE(counters.first(), 0);
        QMap<int, int> shown;
        for (int k = 0; k < counters.size(); ++k) {
            const int n = counters.at(k);
            QVERIFY2(n >= 0, qPrintable(QString("frame %1 is no clip picture").arg(k)));
            if (k > 0)
                QVERIFY(n >= counters.at(k - 1));
            const double lfExpected = k * double(clipFps) / 25.0;
            QVERIFY2(std::abs(n - lfExpected) <= 1.0,
                     qPrintable(QString("frame %1 shows clip frame %2, expected about %3").arg(k).arg(n).arg(lfExpected)));
            ++shown[n];
        }
        if (clipFps == 15) {
            // Every clip picture appears, one or two times each.
            QCOMPARE(shown.size(), 150);
            for (auto it = shown.cbegin(); it != shown.cend(); ++it)
                QVERIFY(it.value() == 1 || it.value() == 2);
        } else {
            // Every picture at most once: 300 pictures into 250 frames.
            for (auto it = shown.cbegin(); it != shown.cend(); ++it)
                QCOMPARE(it.value(), 1);
            QVERIFY(counters.last() >= 298);
        }
    }

    // A clip whose pictures end before its counted frames (its record
    // promises 3 s, its pictures last 2 s) holds its last picture.
    void clipRunsOutOfPictures()
    {
        const QString szClip = m_dir.filePath("short.mp4");
        QVERIFY(makeClip(szClip, counterSource(25, 2)));
        const QString szOut = m_dir.filePath("runout");
        QVERIFY(QDir().mkpath(szOut));
        resetAlbum(szOut, "album", "MP4", 25, 160, 90);
        QVERIFY(appendClip(szClip));
        AlbumProjectState &st = albumState();
        ImageSource &stClip = st.mapImageSources[st.listImageSourceOrder.first()];
        stClip.iDuration = av_rescale_q(3000000, AVRational{1, 1000000}, stClip.stTimeBase);
        st.iTotalDuration = 3000000;

        const ExportResult stResult = runExport();
        QVERIFY2(stResult.bSucceeded, qPrintable(stResult.szError));
        QCOMPARE(testsupport::countVideoFrames(outputPath()), 75);
        const QList<int> counters = countersOf(outputPath(), 75);
        QCOMPARE(counters.size(), 75);
        for (int k = 0; k < 50; ++k)
            QCOMPARE(counters.at(k), k);
        for (int k = 50; k < 75; ++k)
            QCOMPARE(counters.at(k), 49);
    }

    // A 1920 x 1080 clip turned a quarter is 1080 x 1920, fitted into
    // 1920 x 1080 as 606 x 1080 (607.5, truncated, made even) at x = 657.
    void turnedFullSizeClip()
    {
        const QString szClip = m_dir.filePath("wide.mp4");
        QVERIFY(makeClip(szClip, "color=c=white:s=1920x1080:r=10:d=0.2"));
        const QString szOut = m_dir.filePath("turned");
        QVERIFY(QDir().mkpath(szOut));
        resetAlbum(szOut, "album", "MP4", 25, 1920, 1080);
        QVERIFY(appendClip(szClip, 1));

        const ExportResult stResult = runExport();
        QVERIFY2(stResult.bSucceeded, qPrintable(stResult.szError));
        QCOMPARE(testsupport::countVideoFrames(outputPath()), 5);
        for (int i : {0, 4}) {
            const QImage stFrame = decodeFrame(outputPath(), i, QSize(1920, 1080));
            QCOMPARE(stFrame.size(), QSize(1920, 1080));
            const QRect stBox = boundingBox(stFrame, [](QRgb c) { return qGray(c) > 128; });
            QCOMPARE(stBox, QRect(657, 0, 606, 1080));
        }
    }

    // Picture, clip, picture: the transition into the clip ends on the clip's
    // first picture and the clip starts with its first frame; the transition
    // out of it starts from the clip's last picture.
    void transitionsIntoAndOutOfAClip()
    {
        const QString szClip = m_dir.filePath("middle.mp4");
        QVERIFY(makeClip(szClip, counterSource(25, 2)));
        const QString szRed = m_dir.filePath("red.png");
        const QString szBlue = m_dir.filePath("blue.png");
        QVERIFY(makePicture(szRed, "color=c=red:s=160x90"));
        QVERIFY(makePicture(szBlue, "color=c=blue:s=160x90"));
        const QString szOut = m_dir.filePath("transitions");
        QVERIFY(QDir().mkpath(szOut));
        resetAlbum(szOut, "album", "MP4", 25, 160, 90);
        setTransitionPickerIndex(12); // wipeleft, then smoothdown
        QVERIFY(appendImage(szRed));
        QVERIFY(appendClip(szClip));
        QVERIFY(appendImage(szBlue));
        setImageDurationUs(1000000);
        QCOMPARE(albumState().iTotalDuration, int64_t(8000000));

        const ExportResult stResult = runExport();
        QVERIFY2(stResult.bSucceeded, qPrintable(stResult.szError));
        // 25 red, 50 transition, 50 clip, 50 transition, 25 blue.
        QCOMPARE(testsupport::countVideoFrames(outputPath()), 200);
        const QList<QImage> frames = decodeFrames(outputPath(), 0, 200, QSize(160, 90));
        QCOMPARE(frames.size(), 200);
        auto isRed = [](QRgb c) { return qRed(c) > 200 && qGreen(c) < 60 && qBlue(c) < 60; };
        auto isBlue = [](QRgb c) { return qBlue(c) > 200 && qRed(c) < 60 && qGreen(c) < 60; };
        auto share = [](const QImage &stImage, const std::function<bool(QRgb)> &pfnMatch) {
            int iCount = 0;
            for (int y = 0; y < stImage.height(); ++y)
                for (int x = 0; x < stImage.width(); ++x)
                    iCount += pfnMatch(stImage.pixel(x, y)) ? 1 : 0;
            return double(iCount) / (stImage.width() * stImage.height());
        };

        // Into the clip: from all red, through a wipe, to the clip's first picture.
        QVERIFY(share(frames.at(25), isRed) > 0.98);
        const double lfMiddle = share(frames.at(50), isRed);
        QVERIFY2(lfMiddle > 0.3 && lfMiddle < 0.7, qPrintable(QString::number(lfMiddle)));
        for (int k = 26; k < 75; ++k)
            QVERIFY(share(frames.at(k), isRed) <= share(frames.at(k - 1), isRed) + 0.001);
        QVERIFY(share(frames.at(74), isRed) < 0.05);
        // The wipe uncovers the clip from its right, where the picture is the clip's first.
        QCOMPARE(counterOf(frames.at(74), kSquareIn160x90), 0);
        QVERIFY(meanDifference(frames.at(74).copy(40, 0, 120, 90), frames.at(75).copy(40, 0, 120, 90)) < 3.0);

        // The clip: its 50 pictures, from the first, where its first picture
        // stood (an odd 35 pixels from the left).
        for (int k = 0; k < 50; ++k)
            QCOMPARE(counterOf(frames.at(75 + k), kSquareIn160x90), k);
        QCOMPARE(boundingBox(frames.at(100), [](QRgb c) { return qGray(c) > 12; }), kSquareIn160x90);

        // Out of the clip: starting from its last picture, ending on blue.
        QCOMPARE(counterOf(frames.at(125), kSquareIn160x90), 49);
        QVERIFY(meanDifference(frames.at(124), frames.at(125)) < 1.5);
        QVERIFY(share(frames.at(174), isBlue) > 0.9);
        QVERIFY(share(frames.at(199), isBlue) > 0.98);
    }
};

QTEST_MAIN(TestExportClips)
#include "tst_exportclips.moc"
