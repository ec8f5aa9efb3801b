// Materials as phones, cameras and image editors make them, made here with
// the ffmpeg CLI, Qt or byte by byte, each imported the editor's way and
// exported: the frame count of the album's duration, the picture as shown
// (upright, in its colours, transparent parts on the backdrop) and the sound.

#include "album/AlbumProjectState.h"
#include "common/ExportTestSupport.h"
#include "common/TestSupport.h"
#include "import/CQSql.h"
#include "import/MaterialImport.h"
#include "media/ffmpeg/SizeMath.h"
#include "media/recipes/AlbumGeometry.h"

#include <QBuffer>
#include <QImageWriter>
#include <QPainter>
#include <QTemporaryDir>
#include <QtTest>

using namespace exporttest;

namespace {

// Red, green and blue quarters, the fourth (bottom right) in colour c.
QImage quarters(QRgb c)
{
    QImage st(128, 96, QImage::Format_ARGB32);
    for (int i = 0; i < 128 * 96; ++i)
        st.setPixel(i % 128, i / 128, QList<QRgb>{0xffff0000, 0xff00ff00, 0xff0000ff, c}.at(i % 128 / 64 + i / 128 / 48 * 2));
    return st;
}

// Quarters written byte by byte, as neither Qt nor the CLI writes them:
// baseline, each 8 x 8 block flat, all quantisers 1. An Adobe CMYK JPEG of
// 16 x 16 with a grey fourth (inks stored inverted, the grey in black ink)
// and a YCbCr JPEG of 64 x 16 sampled 4:1:1 with a white fourth.
const char kCmykJpeg[] =
    "ffd8ffee000e41646f626500640000000000ffdb004300010101010101010101010101010101010101010101010101010101010101"
    "01010101010101010101010101010101010101010101010101010101010101010101ffc00014080010001004011100021100031100"
    "041100ffc400310000010501010101010100000000000000000102030405060708090a0b1001000000000000000000000000000000"
    "00ffda000e040100020003000400003f00fefe1fe7feff003ff7f7f0ff000077fbfc001fe00eff007f80ff007f87fbfc07f00effd9";
const char k411Jpeg[] =
    "ffd8ffdb00430001010101010101010101010101010101010101010101010101010101010101010101010101010101010101010101"
    "010101010101010101010101010101010101ffc00011080010004003014100021100031100ffc40031000001050101010101010000"
    "0000000000000102030405060708090a0b100100000000000000000000000000000000ffda000c03010002000300003f00fc5f003f"
    "29dfdfc3fa50003f2ddfe15efe0dc00ff6987f560ff710003f8077d50fffd9";

struct Kind
{
    QString szFile;
    QString szPixelFormat;                        // as FFmpeg decodes it: the maker made that kind
    std::function<bool(const QString &)> make;
    QSize stShown;
    QList<double> tones = {};                     // Hz in its sound; none: silence
    QString szTurn = QString();                   // what the CLI needs to show it upright (it ignores a PNG's EXIF)
    bool bPhone = false;                          // a portrait phone clip: also its tiers, ratio and turns
};

} // namespace

class TestMaterialCorpus : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    QList<Kind> m_kinds;
    QString path(const QString &szName) const { return m_dir.filePath(szName); }
    QSize frameSize() const { return QSize(albumState().iExportWidth, albumState().iExportHeight); }
    // The CLI's lowest PSNR of an exported frame against its own picture of
    // szSource turned by szTurn, on the backdrop and fitted the same way,
    // over the picture's place (in YUV 4:4:4, the reference via 4:2:0 as ours).
    double lowestPsnr(const QString &szSource, const QString &szTurn, QSize stShown)
    {
        const QSize W = frameSize(), fit = fitSize(stShown.width(), stShown.height(), W.width(), W.height());
        const QRect r(QPoint((W.width() - fit.width()) / 2, (W.height() - fit.height()) / 2), fit);
        const QString szCrop = QString("format=yuv444p,crop=%1:%2:%3:%4").arg(r.width()).arg(r.height()).arg(r.x()).arg(r.y());
        const QString szGraph = QString("[1:v]setpts=PTS-STARTPTS,fps=25,%1scale=%2:%3,format=rgba[p];color=0xD9D9D9:s=%2x%3[b];"
                                        "[b][p]overlay=shortest=1,format=yuv444p,pad=%4:%5:%6:%7,format=yuv420p,%8[ref];"
                                        "[0:v]%8[out];[out][ref]psnr")
                                    .arg(szTurn).arg(r.width()).arg(r.height()).arg(W.width()).arg(W.height()).arg(r.x())
                                    .arg(r.y()).arg(szCrop);
        const QByteArray log = testsupport::runTool("ffmpeg", {"-i", outputPath(), "-i", szSource, "-lavfi", szGraph,
                                                              "-f", "null", "-"}).stdErr;
        const int i = log.lastIndexOf("min:");
        return i < 0 ? 0 : log.mid(i + 4).split(' ').first().toDouble();
    }

    // An export of 25 frames that the CLI sees as its upright picture.
    bool exportMatches(const QString &szSource, const QString &szTurn, QSize stShown)
    {
        const double lfPsnr = runExport().bSucceeded && testsupport::countVideoFrames(outputPath()) == 25
                                  ? lowestPsnr(szSource, szTurn, stShown) : 0;
        qDebug() << "lowest PSNR" << lfPsnr << "dB at" << frameSize() << szTurn;
        return lfPsnr > 30;
    }

    // A portrait phone clip's thumbnail and first and last tier pictures
    // are upright; as the first material it gives the self-adapting ratio
    // its upright ratio; the user's quarter turn comes on top.
    void checkPhoneClip(const QString &szClip, QSize stShown)
    {
        const QList<QImage> shown = decodeFrames(szClip, 0, 1000, stShown);
        QCOMPARE(shown.size(), 30);
        ThumbnailRecord stFirst, stLast;
        QVERIFY(CQSql::instance().findImage(CQSql::kTableName, CQSql::kColumnFlag, szClip + "480P", stFirst));
        QVERIFY(CQSql::instance().findImage(CQSql::kTableName, CQSql::kColumnFlag, szClip + "480P_end", stLast));
        const QList<QPair<QImage, QImage>> pictures{
            {albumState().mapImageSources.value(szClip).stPixmap.toImage(), shown.first()},
            {CQSql::recordImage(stFirst), shown.first()},
            {CQSql::recordImage(stLast), shown.last()}};
        for (const auto &picture : pictures) {
            QCOMPARE(picture.first.width() < picture.first.height(), stShown.width() < stShown.height());
            const QImage stExpected = picture.second.scaled(picture.first.size(), Qt::IgnoreAspectRatio,
                                                            Qt::SmoothTransformation);
            const double lfMean = meanDifference(stExpected, picture.first.convertToFormat(QImage::Format_RGB32));
            QVERIFY2(lfMean < 4, qPrintable(QString::number(lfMean)));
        }
        AlbumProjectState &st = albumState();
        st.szExportResolution = "480P";
        updateSelfAdaptiveRatio(0);
        updateExportSize();
        QCOMPARE(frameSize(), stShown.width() > stShown.height() ? QSize(852, 480) : QSize(270, 480));
        QVERIFY(exportMatches(szClip, QString(), stShown));
        st.mapImageSources[szClip].iRotation = 1;
        st.iExportWidth = 640;
        st.iExportHeight = 360;
        QVERIFY(exportMatches(szClip, "transpose=clock,", stShown.transposed()));
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        qputenv("XDG_DATA_HOME", QFile::encodeName(path("xdg")));
        const QImage stOpaque = quarters(0xffffffff), stClear = quarters(0);
        QVERIFY(stOpaque.save(path("opaque.png")) && stClear.save(path("clear.png")));
        QBuffer palettePng;
        QVERIFY(palettePng.open(QIODevice::WriteOnly)
                && stOpaque.convertToFormat(QImage::Format_Indexed8).save(&palettePng, "PNG"));

        using Maker = std::function<bool(const QString &)>;
        auto cli = [](QStringList args) -> Maker {
            return [args](const QString &p) { return testsupport::ffmpeg(args + QStringList{p}); };
        };
        auto bytes = [](QByteArray data) -> Maker { return [data](const QString &p) { return testmedia::writeFile(p, data); }; };
        auto qt = [](QImage st, bool bProgressive = false) -> Maker {
            return [st, bProgressive](const QString &p) {
                QImageWriter writer(p);
                writer.setProgressiveScanWrite(bProgressive);
                return writer.write(st);
            };
        };
        auto opaque = [&](const char *szFormat) { return cli({"-i", path("opaque.png"), "-pix_fmt", szFormat}); };
        auto clear = [&](const char *szFormat) { return cli({"-i", path("clear.png"), "-pix_fmt", szFormat}); };
        auto clip = [&](const QString &szSound, const QStringList &output, const QString &szSize = "160x120") {
            QStringList args{"-f", "lavfi", "-i", "testsrc2=r=30:d=1:s=" + szSize};
            if (!szSound.isEmpty())
                args << "-f" << "lavfi" << "-i" << szSound;
            return cli(args + QStringList{"-preset", "ultrafast", "-c:v", "libx264", "-pix_fmt", "yuv420p"} + output);
        };
        // The stream as made, told something more by its container.
        auto remux = [](Maker make, QStringList args) -> Maker {
            return [=](const QString &p) {
                const QString szMade = p + ".made.mov";
                return make(szMade) && testsupport::ffmpeg(QStringList{"-i", szMade, "-c", "copy"} + args << p);
            };
        };
        // Stored 640 x 360, turned by the display matrix as the muxer writes "rotate".
        auto phone = [&](int iRotate, QStringList codec = {}) {
            return remux(clip(QString(), codec, "640x360"), {"-metadata:s:v:0", QString("rotate=%1").arg(iRotate)});
        };
        const QString tone("sine=f=440:d=1:r=48000");
        const QSize still(128, 96), video(160, 120), portrait(360, 640);
        m_kinds = {
            {"palette.png", "pal8", bytes(palettePng.data()), still},
            {"palette-clear.png", "pal8", qt(stClear.convertToFormat(QImage::Format_Indexed8)), still},
            {"palette-exif6.png", "pal8", bytes(testmedia::pngWithExifOrientation(palettePng.data(), 6, true)),
             {96, 128}, {}, "transpose=clock,"},
            {"grey.png", "gray", opaque("gray"), still},
            {"grey-alpha.png", "ya8", clear("ya8"), still},
            {"deep.png", "rgb48be", opaque("rgb48be"), still},
            {"deep-alpha.png", "rgba64be", clear("rgba64be"), still},
            {"progressive.jpg", "yuvj420p", qt(stOpaque, true), still},
            {"444.jpg", "yuvj444p", opaque("yuvj444p"), still},
            {"422.jpg", "yuvj422p", opaque("yuvj422p"), still},
            {"411.jpg", "yuvj411p", bytes(QByteArray::fromHex(k411Jpeg)), {64, 16}},
            {"cmyk.jpg", "gbrap", bytes(QByteArray::fromHex(kCmykJpeg)), {16, 16}},
            {"grey.jpg", "gray", qt(stOpaque.convertToFormat(QImage::Format_Grayscale8)), still},
            {"rotate90.mp4", "yuv420p", phone(90), portrait, {}, {}, true},
            {"rotate180.mp4", "yuv420p", phone(180), {640, 360}, {}, {}, true},
            {"rotate270.mp4", "yuv420p", phone(270), portrait, {}, {}, true},
            {"rotate90-hevc10.mov", "yuv420p10le", phone(90, {"-c:v", "libx265", "-pix_fmt", "yuv420p10le", "-tag:v", "hvc1"}),
             portrait, {}, {}, true},
            // Dropped pictures make the rate variable; a camcorder's clock does not start at 0.
            {"vfr.mp4", "yuv420p", clip(tone, {"-vf", "select='not(eq(mod(n\\,5)\\,2))'", "-fps_mode", "vfr"}), video, {440}},
            {"camera.mts", "yuv420p", clip(tone, {"-c:a", "ac3", "-output_ts_offset", "10"}), video, {440}},
            {"surround.mp4", "yuv420p",
             clip("aevalsrc=0.3*sin(2*PI*440*t)|0.3*sin(2*PI*440*t)|0.3*sin(2*PI*660*t)|0|0|0:c=5.1:s=48000:d=1", {}),
             video, {440, 660}},
            {"silent.mp4", "yuv420p", clip(QString(), {}), video},
            // Pixels 4:3 wide, said by the picture and by the container.
            {"anamorphic.mp4", "yuv420p", clip(QString(), {"-vf", "setsar=4/3"}), {213, 120}},
            {"anamorphic.mov", "yuv420p", remux(clip(QString(), {}), {"-aspect", "16:9"}), {213, 120}},
            {"animation.gif", "bgra", cli({"-f", "lavfi", "-i", "testsrc2=s=160x120:r=10:d=1"}), video},
            {"sticker.gif", "bgra",
             cli({"-loop", "1", "-framerate", "10", "-t", "1", "-i", path("clear.png"), "-lavfi",
                  "split[a][b];[a]palettegen=reserve_transparent=1[p];[b][p]paletteuse=alpha_threshold=128"}),
             still},
        };
    }

    // Each kind imports at the size it is shown and exports 25 frames (1 s
    // at 25 fps) of its picture, with its sound.
    void eachKindImportsAndExports_data()
    {
        QTest::addColumn<int>("kind");
        for (int i = 0; i < m_kinds.size(); ++i)
            QTest::newRow(qPrintable(m_kinds.at(i).szFile)) << i;
    }

    void eachKindImportsAndExports()
    {
        QFETCH(int, kind);
        const Kind &k = m_kinds.at(kind);
        const QString szFile = path(k.szFile);
        QVERIFY(k.make(szFile));
        QCOMPARE(testsupport::probeStream(testsupport::ffprobe(szFile), "video").value("pix_fmt").toString(),
                 k.szPixelFormat);
        resetAlbum(m_dir.path(), "album", "MP4", 25, 160, 90);
        setImageDurationUs(1000000);
        QCOMPARE(importMaterials({szFile}, ImportInput::Files, k.bPhone).iSucceeded, 1);
        QCOMPARE(albumState().mapImageSources.value(szFile).stSrcImageSize, k.stShown);
        QCOMPARE(albumState().iTotalDuration, int64_t(1000000));
        QVERIFY(exportMatches(szFile, k.szTurn, k.stShown));
        // The right channel: a surround clip's holds its right front and its centre.
        int iRate = 0;
        const QVector<float> sound = decodeSound(outputPath(), 1, &iRate);
        QVERIFY(iRate > 0 && sound.size() > iRate * 9 / 10);
        for (double lfHz : k.tones)
            QVERIFY2(toneAmplitude(sound, iRate, lfHz, iRate / 4, iRate * 3 / 4) > 0.05, qPrintable(QString::number(lfHz)));
        if (k.tones.isEmpty())
            QVERIFY(rootMeanSquare(sound, 0, sound.size()) < 1e-4);
#if defined(__SANITIZE_ADDRESS__)
        // Under the sanitizers, several times slower, one phone clip goes further.
        if (k.szFile != "rotate90.mp4")
            return;
#endif
        if (k.bPhone)
            checkPhoneClip(szFile, k.stShown);
    }
};

QTEST_MAIN(TestMaterialCorpus)
#include "tst_materialcorpus.moc"
