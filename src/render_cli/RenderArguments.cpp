#include "render_cli/RenderArguments.h"

#include "album/AlbumProjectState.h"
#include "album/MaterialTypes.h"
#include "media/ffmpeg/MusicProbe.h"
#include "media/recipes/AlbumGeometry.h"
#include "render_cli/MaterialRecords.h"

#include <QCommandLineParser>
#include <QFileInfo>

extern "C" {
#include <libavutil/mathematics.h>
}

namespace {

const QStringList kFormats = {"MP4", "AVI", "WMV", "FLV", "MKV", "MOV", "GIF", "WEBM", "M4V"};
const QList<int> kFrameRates = {24, 25, 30, 60, 120};
const QList<int> kAudioKbps = {0, 64, 96, 128, 256};
const QList<int> kSampleRates = {8000, 11025, 22050, 44100, 48000};
const QStringList kResolutions = {"480P", "720P", "1080P", "2K", "4K"};
const QList<int> kPositions = {1, 2, 4, 8, 16, 32, 64, 128, 256};
constexpr int64_t kMaxVideoKbps = 100000;

QString joined(const QList<int> &values)
{
    QStringList texts;
    for (int v : values)
        texts << QString::number(v);
    return texts.join(QStringLiteral(", "));
}

bool toInt(const QString &szText, int64_t *piValue)
{
    bool bOk = false;
    const qlonglong v = szText.trimmed().toLongLong(&bOk, 10);
    if (bOk)
        *piValue = v;
    return bOk;
}

QString helpText(const QCommandLineParser &parser)
{
    return parser.helpText() + QStringLiteral(
        "\nThe output file is DIR/NAME.<format in lower case>; it appears only when the export has\n"
        "succeeded (an existing file there is replaced then, and kept when the export fails).\n"
        "Materials are JPEG/PNG pictures and video files, in album order; between each two\n"
        "neighbours comes a 2-second transition. An album file (--album) brings its materials and\n"
        "settings; the options given beside it override its settings, --rotate and\n"
        "--photo-duration its materials' turns and durations. Progress goes to stderr: on a terminal one line\n"
        "redrawn in place (percentage, frames, time spent and left), otherwise a line per tenth.\n"
        "SIGINT or SIGTERM cancels the export: no file is written and the exit status is 128+signal.\n"
        "Exit status: 0 success, 1 the export or the album file's save failed, 2 bad arguments\n"
        "or an album file that cannot be read.\n");
}

// Sets the image duration that makes the album as long as its music.
bool fitImageDurationToMusic(QString *pszError)
{
    AlbumProjectState &st = albumState();
    if (st.iBackgroundMusicType != MusicCustom || st.szBackgroundMusicPath.isEmpty()) {
        *pszError = QStringLiteral("--fit-to-music: the album has no music to fit");
        return false;
    }
    int64_t iMusicUs = 0;
    if (probeMp3Music(st.szBackgroundMusicPath.toUtf8().toStdString(), &iMusicUs) < 0) {
        *pszError = QStringLiteral("--fit-to-music: '%1' has no MP3 sound of known length").arg(st.szBackgroundMusicPath);
        return false;
    }
    st.iBackgroundMusicDuration = iMusicUs;
    setImageDurationSeconds(imageSecondsForMusic(iMusicUs));
    return true;
}

} // namespace

ParseResult parseRenderArguments(const QStringList &arguments, RenderArguments *pArgs, QString *pszText)
{
    RenderArguments &args = *pArgs;
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Renders photos and video clips into one slideshow video."));
    const QCommandLineOption help({"h", "help"}, QStringLiteral("Shows this help."));
    const QCommandLineOption format("format", QStringLiteral("Container: %1 (default MP4).").arg(kFormats.join(", ")),
                                    "FORMAT");
    const QCommandLineOption fps("fps", QStringLiteral("Frame rate: %1 (default 24).").arg(joined(kFrameRates)),
                                 "FPS");
    const QCommandLineOption videoBitrate(
        "video-bitrate",
        QStringLiteral("Video bit rate in kbit/s, 0 to %1; 0 lets the encoder choose (default).").arg(kMaxVideoKbps),
        "KBPS");
    const QCommandLineOption audioBitrate(
        "audio-bitrate", QStringLiteral("Audio bit rate in kbit/s: %1; 0 lets the encoder choose (default).")
                             .arg(joined(kAudioKbps)),
        "KBPS");
    const QCommandLineOption sampleRate(
        "sample-rate", QStringLiteral("Audio sample rate in Hz: %1 (default 44100).").arg(joined(kSampleRates)), "HZ");
    const QCommandLineOption resolution(
        "resolution", QStringLiteral("Frame height tier: %1 (default 1080P).").arg(kResolutions.join(", ")), "TIER");
    const QCommandLineOption ratio(
        "ratio", QStringLiteral("Picture ratio: 16:9, 4:3, 2:1, 9:16, 3:4, 1:1, or self (that of the first "
                                "material) (default 16:9)."),
        "RATIO");
    const QCommandLineOption imageDuration(
        "image-duration", QStringLiteral("How long each picture stays, in seconds, up to 60 (default 3)."),
        "SECONDS");
    const QCommandLineOption music("music", QStringLiteral("Background music (an MP3 file)."), "FILE");
    const QCommandLineOption keepAudio(
        "keep-audio", QStringLiteral("1 keeps the sound of the video clips (default), 0 drops it."), "1|0");
    const QCommandLineOption watermarkText("watermark-text", QStringLiteral("Text watermark."), "TEXT");
    const QCommandLineOption watermarkImage("watermark-image", QStringLiteral("Image watermark (JPEG or PNG)."),
                                            "FILE");
    const QCommandLineOption watermarkPos(
        "watermark-pos",
        QStringLiteral("Watermark position: 1 top left, 2 top, 4 top right, 8 left, 16 centre, 32 right, "
                       "64 bottom left, 128 bottom, 256 bottom right (default 1)."),
        "CODE");
    const QCommandLineOption fontFamily("font-family", QStringLiteral("Font of the text watermark."), "NAME");
    const QCommandLineOption fontPixelSize(
        "font-pixel-size", QStringLiteral("Pixel size of the text watermark (default: by resolution)."), "N");
    const QCommandLineOption color("color", QStringLiteral("Colour of the text watermark (default #000000)."),
                                   "#RRGGBB");
    const QCommandLineOption transparency(
        "transparency", QStringLiteral("Transparency of the text watermark, 0 to 1 (default 0)."), "0..1");
    const QCommandLineOption rotate(
        "rotate", QStringLiteral("Turns material INDEX (counting from 0) by TURNS quarter turns clockwise, 0 to 3. "
                                 "May be repeated."),
        "INDEX:TURNS");
    const QCommandLineOption photoDuration(
        "photo-duration",
        QStringLiteral("Keeps picture INDEX (counting from 0) on screen for SECONDS (above 0, up to 60) instead of "
                       "the image duration. May be repeated."),
        "INDEX:SECONDS");
    const QCommandLineOption album(
        "album", QStringLiteral("Renders the album file FILE (.pictora): its materials and settings."), "FILE");
    const QCommandLineOption saveAlbum(
        "save-album",
        QStringLiteral("Writes the album the other options describe to FILE (.pictora); renders only with --output."),
        "FILE");
    const QCommandLineOption seed(
        "seed", QStringLiteral("Start index (0 to 22) of the transition sequence, for comparable runs "
                               "(default random)."),
        "N");
    const QCommandLineOption motion(
        "motion", QStringLiteral("Photos stay still (none, default) or zoom and pan slowly (gentle)."), "none|gentle");
    const QCommandLineOption framing(
        "framing", QStringLiteral("Pictures of another aspect: fitted on black bars (fit, default), scaled to fill "
                                  "the frame (fill), or fitted over a blurred copy of themselves (blur)."),
        "fit|fill|blur");
    const QCommandLineOption fitToMusic(
        "fit-to-music", QStringLiteral("Chooses the image duration (whole seconds, 1 to 60) that makes the video "
                                       "as long as the music (needs --music or an album with music); --image-duration is then ignored."));
    const QCommandLineOption output("output", QStringLiteral("Output folder and file name without extension."),
                                    "DIR/NAME");
    const QCommandLineOption stats("stats", QStringLiteral("Prints where the export's time went."));
    const QCommandLineOption quiet({"q", "quiet"}, QStringLiteral("Prints no progress (notices and errors still)."));
    parser.addOptions({help, format, fps, videoBitrate, audioBitrate, sampleRate, resolution, ratio, imageDuration,
                       music, keepAudio, watermarkText, watermarkImage, watermarkPos, fontFamily, fontPixelSize,
                       color, transparency, rotate, photoDuration, album, saveAlbum, seed, motion, framing,
                       fitToMusic, output, stats, quiet});
    // The options that override an album file's settings.
    const QList<QCommandLineOption> albumSettings = {resolution, ratio,         imageDuration, music,
                                                     keepAudio,  watermarkText, watermarkImage, watermarkPos,
                                                     fontFamily, fontPixelSize, color,         transparency,
                                                     motion,     framing,       fitToMusic};
    parser.addPositionalArgument(QStringLiteral("MATERIAL"), QStringLiteral("Pictures and video clips, in order. Files that cannot be added or are given twice "
                                                "are left out with a notice; the render fails only when none is left."),
                                 QStringLiteral("MATERIAL..."));

    auto error = [pszText](const QString &szText) {
        *pszText = szText;
        return ParseResult::Error;
    };
    if (!parser.parse(arguments))
        return error(parser.errorText());
    if (parser.isSet(help)) {
        *pszText = helpText(parser);
        return ParseResult::Help;
    }

    int64_t v = 0;
    if (parser.isSet(format)) {
        args.szFormat = parser.value(format).trimmed().toUpper();
        if (!kFormats.contains(args.szFormat))
            return error(QStringLiteral("--format: '%1' is not one of %2").arg(parser.value(format), kFormats.join(", ")));
    }
    if (parser.isSet(fps)) {
        if (!toInt(parser.value(fps), &v) || !kFrameRates.contains(static_cast<int>(v)))
            return error(QStringLiteral("--fps: '%1' is not one of %2").arg(parser.value(fps), joined(kFrameRates)));
        args.iFps = static_cast<int>(v);
    }
    if (parser.isSet(videoBitrate)) {
        if (!toInt(parser.value(videoBitrate), &v) || v < 0 || v > kMaxVideoKbps)
            return error(QStringLiteral("--video-bitrate: '%1' is not a number from 0 to %2")
                             .arg(parser.value(videoBitrate))
                             .arg(kMaxVideoKbps));
        args.iVideoKbps = v;
    }
    if (parser.isSet(audioBitrate)) {
        if (!toInt(parser.value(audioBitrate), &v) || !kAudioKbps.contains(static_cast<int>(v)))
            return error(QStringLiteral("--audio-bitrate: '%1' is not one of %2")
                             .arg(parser.value(audioBitrate), joined(kAudioKbps)));
        args.iAudioKbps = v;
    }
    if (parser.isSet(sampleRate)) {
        if (!toInt(parser.value(sampleRate), &v) || !kSampleRates.contains(static_cast<int>(v)))
            return error(QStringLiteral("--sample-rate: '%1' is not one of %2")
                             .arg(parser.value(sampleRate), joined(kSampleRates)));
        args.iSampleRate = static_cast<int>(v);
    }
    if (parser.isSet(resolution)) {
        args.szResolution = parser.value(resolution).trimmed().toUpper();
        if (!kResolutions.contains(args.szResolution))
            return error(QStringLiteral("--resolution: '%1' is not one of %2")
                             .arg(parser.value(resolution), kResolutions.join(", ")));
    }
    if (parser.isSet(ratio)) {
        args.szRatio = parser.value(ratio).trimmed().toLower();
        if (args.szRatio != QLatin1String("self") && !ratioFromString(args.szRatio, nullptr))
            return error(QStringLiteral("--ratio: '%1' is not one of 16:9, 4:3, 2:1, 9:16, 3:4, 1:1, self")
                             .arg(parser.value(ratio)));
    }
    if (parser.isSet(imageDuration)) {
        bool bOk = false;
        args.lfImageSeconds = parser.value(imageDuration).trimmed().toDouble(&bOk);
        if (!bOk || !(args.lfImageSeconds > 0.0) || args.lfImageSeconds > 60.0)
            return error(QStringLiteral("--image-duration: '%1' is not a number of seconds above 0 and up to 60")
                             .arg(parser.value(imageDuration)));
    }
    if (parser.isSet(music)) {
        args.szMusic = parser.value(music);
        const QFileInfo stInfo(args.szMusic);
        if (!stInfo.isFile() || !stInfo.isReadable())
            return error(QStringLiteral("--music: cannot read '%1'").arg(args.szMusic));
        args.szMusic = stInfo.absoluteFilePath();
    }
    if (parser.isSet(keepAudio)) {
        if (!toInt(parser.value(keepAudio), &v) || (v != 0 && v != 1))
            return error(QStringLiteral("--keep-audio: '%1' is not 1 or 0").arg(parser.value(keepAudio)));
        args.iKeepAudio = static_cast<int>(v);
    }
    if (parser.isSet(watermarkText) && parser.isSet(watermarkImage))
        return error(QStringLiteral("--watermark-text and --watermark-image exclude each other"));
    if (parser.isSet(watermarkText)) {
        args.szWatermarkText = parser.value(watermarkText);
        if (args.szWatermarkText.isEmpty())
            return error(QStringLiteral("--watermark-text: the text is empty"));
    }
    if (parser.isSet(watermarkImage)) {
        args.szWatermarkImage = parser.value(watermarkImage);
        const QFileInfo stInfo(args.szWatermarkImage);
        if (!stInfo.isFile() || !stInfo.isReadable() || classifyMaterial(args.szWatermarkImage) != SourceImage)
            return error(QStringLiteral("--watermark-image: '%1' is not a readable JPEG or PNG file")
                             .arg(args.szWatermarkImage));
        args.szWatermarkImage = stInfo.absoluteFilePath();
    }
    if (parser.isSet(watermarkPos)) {
        if (!toInt(parser.value(watermarkPos), &v) || !kPositions.contains(static_cast<int>(v)))
            return error(QStringLiteral("--watermark-pos: '%1' is not one of %2")
                             .arg(parser.value(watermarkPos), joined(kPositions)));
        args.iWatermarkPos = static_cast<int>(v);
    }
    if (parser.isSet(fontFamily)) {
        args.szFontFamily = parser.value(fontFamily).trimmed();
        if (args.szFontFamily.isEmpty())
            return error(QStringLiteral("--font-family: the name is empty"));
    }
    if (parser.isSet(fontPixelSize)) {
        if (!toInt(parser.value(fontPixelSize), &v) || v < 1 || v > 2000)
            return error(QStringLiteral("--font-pixel-size: '%1' is not a number from 1 to 2000")
                             .arg(parser.value(fontPixelSize)));
        args.iFontPixelSize = static_cast<int>(v);
    }
    if (parser.isSet(color)) {
        const QString szColor = parser.value(color).trimmed();
        args.stColor = QColor(szColor);
        if (!szColor.startsWith(QLatin1Char('#')) || szColor.size() != 7 || !args.stColor.isValid())
            return error(QStringLiteral("--color: '%1' is not a colour #RRGGBB").arg(parser.value(color)));
    }
    if (parser.isSet(transparency)) {
        bool bOk = false;
        args.lfTransparency = parser.value(transparency).trimmed().toDouble(&bOk);
        if (!bOk || !(args.lfTransparency >= 0.0 && args.lfTransparency <= 1.0))
            return error(QStringLiteral("--transparency: '%1' is not a number from 0 to 1")
                             .arg(parser.value(transparency)));
    }
    for (const QString &szSpec : parser.values(rotate)) {
        const QStringList parts = szSpec.split(QLatin1Char(':'));
        int64_t iIndex = 0, iTurns = 0;
        if (parts.size() != 2 || !toInt(parts.at(0), &iIndex) || !toInt(parts.at(1), &iTurns) || iIndex < 0
            || iTurns < 0 || iTurns > 3)
            return error(QStringLiteral("--rotate: '%1' is not INDEX:TURNS with TURNS from 0 to 3").arg(szSpec));
        args.rotations.append(qMakePair(static_cast<int>(iIndex), static_cast<int>(iTurns)));
    }
    if (parser.isSet(seed)) {
        if (!toInt(parser.value(seed), &v) || v < 0 || v >= kTransitionEffectCount)
            return error(QStringLiteral("--seed: '%1' is not a number from 0 to %2")
                             .arg(parser.value(seed))
                             .arg(kTransitionEffectCount - 1));
        args.iSeed = static_cast<int>(v);
    }
    if (parser.isSet(motion)) {
        const QString szMotion = parser.value(motion).trimmed().toLower();
        if (szMotion != QLatin1String("none") && szMotion != QLatin1String("gentle"))
            return error(QStringLiteral("--motion: '%1' is not none or gentle").arg(parser.value(motion)));
        args.iMotion = szMotion == QLatin1String("gentle") ? MotionGentle : MotionNone;
    }
    if (parser.isSet(framing)) {
        static const QStringList kFramings = {QStringLiteral("fit"), QStringLiteral("fill"), QStringLiteral("blur")};
        const int iFraming = kFramings.indexOf(parser.value(framing).trimmed().toLower());
        if (iFraming < 0)
            return error(QStringLiteral("--framing: '%1' is not fit, fill or blur").arg(parser.value(framing)));
        args.iFraming = iFraming == 1 ? FramingFill : iFraming == 2 ? FramingBlur : FramingFit;
    }
    args.bFitToMusic = parser.isSet(fitToMusic);
    // An album may bring the music; without one the music must be given.
    if (args.bFitToMusic && args.szMusic.isEmpty() && !parser.isSet(album))
        return error(QStringLiteral("--fit-to-music needs --music"));
    for (const QString &szSpec : parser.values(photoDuration)) {
        const QStringList parts = szSpec.split(QLatin1Char(':'));
        int64_t iIndex = 0;
        bool bOk = false;
        const double lfSeconds = parts.value(1).trimmed().toDouble(&bOk);
        if (parts.size() != 2 || !toInt(parts.at(0), &iIndex) || iIndex < 0 || !bOk || !(lfSeconds > 0.0)
            || lfSeconds > 60.0)
            return error(QStringLiteral("--photo-duration: '%1' is not INDEX:SECONDS with SECONDS above 0 and up to 60")
                             .arg(szSpec));
        args.durations.append(qMakePair(static_cast<int>(iIndex), lfSeconds));
    }
    for (const QCommandLineOption &stOption : albumSettings) {
        if (parser.isSet(stOption))
            args.given.insert(stOption.names().first());
    }
    args.bStats = parser.isSet(stats);
    args.bQuiet = parser.isSet(quiet);

    if (parser.isSet(saveAlbum)) {
        args.szSaveAlbum = parser.value(saveAlbum);
        if (args.szSaveAlbum.isEmpty() || args.szSaveAlbum.endsWith(QLatin1Char('/')))
            return error(QStringLiteral("--save-album: '%1' names no file").arg(args.szSaveAlbum));
    }
    if (parser.isSet(output)) {
        const QString szOutput = parser.value(output);
        const QFileInfo stOutput(szOutput);
        if (szOutput.isEmpty() || szOutput.endsWith(QLatin1Char('/')) || stOutput.fileName().isEmpty())
            return error(QStringLiteral("--output: '%1' names no file").arg(szOutput));
        args.szOutputDir = stOutput.absolutePath();
        args.szOutputName = stOutput.fileName();
    } else if (args.szSaveAlbum.isEmpty()) {
        return error(QStringLiteral("--output DIR/NAME is missing"));
    }

    int iMaterials = 0;
    if (parser.isSet(album)) {
        args.szAlbum = parser.value(album);
        QString szWhy;
        if (!readAlbumFile(args.szAlbum, &args.stAlbum, &szWhy))
            return error(QStringLiteral("--album: '%1' cannot be opened as an album. %2").arg(args.szAlbum, szWhy));
        if (!parser.positionalArguments().isEmpty())
            return error(QStringLiteral("--album: the materials come from the album file; give none beside it"));
        iMaterials = args.stAlbum.materials.size();
    } else {
        args.materials = parser.positionalArguments();
        if (args.materials.isEmpty())
            return error(QStringLiteral("no materials given"));
        iMaterials = args.materials.size();
    }
    QList<QPair<int, QString>> indexes;
    for (const auto &stRotation : qAsConst(args.rotations))
        indexes << qMakePair(stRotation.first, QStringLiteral("--rotate"));
    for (const auto &stDuration : qAsConst(args.durations))
        indexes << qMakePair(stDuration.first, QStringLiteral("--photo-duration"));
    for (const auto &stIndex : qAsConst(indexes)) {
        if (stIndex.first >= iMaterials)
            return error(QStringLiteral("%1: there is no material %2 (they count from 0 to %3)")
                             .arg(stIndex.second)
                             .arg(stIndex.first)
                             .arg(iMaterials - 1));
    }
    return ParseResult::Ok;
}

bool applyRenderArguments(const RenderArguments &args, QString *pszError, QStringList *pWarnings)
{
    AlbumProjectState &st = albumState();
    clearAlbum();
    applyEditorDefaults();
    const bool bAlbum = !args.szAlbum.isEmpty();
    if (bAlbum)
        applyAlbumSettings(args.stAlbum);
    else
        resetAlbumSettings();
    // A text size that is the tier's own follows a tier given on the command line.
    const bool bFontFollowsTier = st.stWatermarkFont.pixelSize() == watermarkFontPixelSize(st.szExportResolution);

    st.szExportFormat = args.szFormat;
    st.szExportDir = args.szOutputDir;
    st.szExportFileName = args.szOutputName;
    st.stFrameRate = AVRational{args.iFps, 1};
    st.iVideoBitRate = args.iVideoKbps * 1000;
    st.iAudioBitRate = args.iAudioKbps * 1000;
    st.iSampleRate = args.iSampleRate;
    st.iAudioChannels = 2;
    st.bExportAudio = args.szFormat != QLatin1String("GIF") && args.szFormat != QLatin1String("M4V");

    const auto given = [&args](const char *szOption) { return args.given.contains(QLatin1String(szOption)); };
    if (given("resolution"))
        st.szExportResolution = args.szResolution;
    if (given("ratio")) {
        st.bSelfAdaptiveRatio = args.szRatio == QLatin1String("self");
        ratioFromString(args.szRatio, &st.stVideoRatio);
    }
    if (given("image-duration"))
        st.iImageDuration = av_rescale_q(static_cast<int64_t>(args.lfImageSeconds * 1000000.0 + 0.5),
                                         AVRational{1, 1000000}, st.stImageDurationTimeBase);
    if (given("keep-audio"))
        st.iKeepAudioTrack = args.iKeepAudio;
    if (given("music")) {
        st.iBackgroundMusicType = MusicCustom;
        st.szBackgroundMusicPath = args.szMusic;
    }
    if (given("watermark-text")) {
        st.iWatermarkType = WatermarkText;
        st.szWatermarkText = args.szWatermarkText;
    } else if (given("watermark-image")) {
        st.iWatermarkType = WatermarkImage;
        st.szImageWatermarkPath = args.szWatermarkImage;
    }
    if (given("watermark-pos"))
        st.iWatermarkPos = args.iWatermarkPos;
    if (given("font-family"))
        st.stWatermarkFont.setFamily(args.szFontFamily);
    if (given("font-pixel-size"))
        st.stWatermarkFont.setPixelSize(args.iFontPixelSize);
    else if (bFontFollowsTier)
        st.stWatermarkFont.setPixelSize(watermarkFontPixelSize(st.szExportResolution));
    if (given("color"))
        st.stWatermarkColor = args.stColor;
    if (given("transparency"))
        st.lfWatermarkTransparency = args.lfTransparency;

    if (given("motion"))
        st.iMotion = args.iMotion;
    if (given("framing"))
        st.iFraming = args.iFraming;
    if (given("fit-to-music"))
        st.bFitToMusic = true;
    if (args.iSeed >= 0) {
        setTransitionPickerIndex(args.iSeed);
        st.iMotionSeed = static_cast<uint32_t>(args.iSeed);
    }
    const QStringList paths = bAlbum ? args.stAlbum.materialPaths() : args.materials;
    if (!appendMaterialFiles(paths, pszError, pWarnings))
        return false;
    if (bAlbum) {
        applyAlbumMaterials(args.stAlbum);
        // An album names what it missed, as the editor does.
        for (const QString &szPath : paths) {
            if (!st.mapImageSources.contains(szPath))
                pWarnings->append(QStringLiteral("--album: %1 could not be added").arg(szPath));
        }
    }
    overrideMaterials(paths, args.rotations, args.durations, pWarnings);

    // As in the editor, an album that fits to music it does not have keeps
    // its image duration; asked for on the command line, that is an error.
    const bool bMusic = st.iBackgroundMusicType == MusicCustom && !st.szBackgroundMusicPath.isEmpty();
    if (st.bFitToMusic && (bMusic || given("fit-to-music")) && !fitImageDurationToMusic(pszError))
        return false;

    if (st.bSelfAdaptiveRatio)
        updateSelfAdaptiveRatio(0);
    updateExportSize();
    return true;
}
