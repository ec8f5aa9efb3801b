#pragma once

#include <QColor>
#include <QFont>
#include <QList>
#include <QMap>
#include <QMetaType>
#include <QMutex>
#include <QPixmap>
#include <QRect>
#include <QSize>
#include <QString>

#include <atomic>
#include <cstdint>
#include <cstdio>

extern "C" {
#include <libavutil/rational.h>
}

class QStandardItemModel;
class CPreviewOutput;

Q_DECLARE_TYPEINFO(AVRational, Q_MOVABLE_TYPE);

// Watermark types and background-music types as the settings panel codes them.
enum : int {
    WatermarkNone = 1,
    WatermarkText = 2,
    WatermarkImage = 4,
};
enum : int {
    MusicNone = 1,
    MusicCustom = 2,
};
enum : int {
    SourceImage = 1,
    SourceVideo = 2,
};
// How photos move while they are on screen, and how a picture of another
// aspect fills the frame. The first of each is the plain still picture on bars.
enum : int {
    MotionNone = 0,
    MotionGentle = 1,
};
enum : int {
    FramingFit = 0,
    FramingFill = 1,
    FramingBlur = 2,
};

// One material of the album.
struct ImageSource
{
    QString szFilePath;
    int iSourceType = 0;
    int64_t iDuration = 0;     // in stTimeBase
    int64_t iStartTime = 0;    // in stTimeBase; total duration when appended
    int64_t iEndTime = 0;      // in stTimeBase
    int64_t iRotation = 0;     // quarter turns clockwise, 0..3
    // How long this photo stays on screen, in microseconds; 0 for the
    // album's iImageDuration. Photos only.
    int64_t iOwnDuration = 0;
    AVRational stTimeBase{0, 1};
    // The material as shown upright (EXIF orientation or display matrix
    // applied), before the user's quarter turns.
    AVRational stWidthToHeight{0, 1};
    QSize stSrcImageSize;
    FILE *pFile = nullptr;     // held open read-only while the material is in the album
    QPixmap stPixmap;          // 120x80 thumbnail of the first frame, unrotated
};

// One row of the transition effect table.
struct TransitionEffect
{
    const char *szFilterName;
    const char *szTransitionName;
    const char *szDisplayName;
};

// The transition between two neighbouring materials.
struct TransitionSegment
{
    const TransitionEffect *pEffect = nullptr;
    int64_t iDuration = 0;     // in stTimeBase, always 2 s
    int64_t iStartTime = 0;
    int64_t iEndTime = 0;
    AVRational stTimeBase{1, 1000000};
};

// Everything that defines the album. One instance per process, see albumState().
struct AlbumProjectState
{
    int64_t iTotalDuration = 0;                 // in stGlobalTimeBase
    int iWatermarkType = 0;
    int iWatermarkPos = 0;
    QFont stWatermarkFont;
    QColor stWatermarkColor;
    double lfWatermarkTransparency = 0.0;
    QString szWatermarkText;
    QString szImageWatermarkPath;
    FILE *pImageWatermarkFile = nullptr;
    bool bExportAudio = false;
    int iBackgroundMusicType = 0;
    QString szBackgroundMusicPath;
    FILE *pBackgroundMusicFile = nullptr;
    int iKeepAudioTrack = 0;
    int64_t iBackgroundMusicDuration = 0;       // microseconds; 0 when unknown
    bool bFitToMusic = false;                   // the image duration follows the music's length
    int iMotion = MotionNone;
    int iFraming = FramingFit;
    uint32_t iMotionSeed = 0;                   // picks where each photo's motion goes
    AVRational stVideoRatio{0, 1};
    // The ratio follows the first material (the ratio combo's first entry).
    bool bSelfAdaptiveRatio = false;
    int iExportWidth = 0;
    int iExportHeight = 0;
    AVRational stFrameRate{0, 1};
    int64_t iVideoBitRate = 0;                  // bit/s
    int64_t iAudioBitRate = 0;                  // bit/s
    int64_t iSampleRate = 0;
    int64_t iAudioChannels = 0;
    QString szExportFormat;
    QString szExportFileName;
    QString szExportDir;
    QString szExportResolution;
    int64_t iImageDuration = 0;                 // in stImageDurationTimeBase
    AVRational stImageDurationTimeBase{1, 1000000};
    QMap<QString, ImageSource> mapImageSources;
    QList<QString> listImageSourceOrder;
    QStandardItemModel *pImageListModel = nullptr;
    int64_t iVideoSourceCount = 0;
    QList<TransitionSegment> listTransitions;
    CPreviewOutput *pVideoPlay = nullptr;       // the player panel, as the producers see it
    AVRational stPlayerTimeBase{1, 1000};
    int iPreviewScale = 0;
    QMutex mutexPreview;
    QMutex mutexAudio;
    QMutex mutexThumbnailStore;
    // In stGlobalTimeBase; written by the editor while the preview's workers read it.
    std::atomic<int64_t> iPreviewStartPos{0};
    AVRational stGlobalTimeBase{1, 1000000};
};

Q_DECLARE_METATYPE(AVRational)
Q_DECLARE_METATYPE(ImageSource)

// The one album; created empty on first use, destroyed at process exit.
AlbumProjectState &albumState();

// Both preview locks of the album, taken in the one order (mutexPreview,
// then mutexAudio) and released in reverse. Every change of what the
// preview reads is made while one is held; the helpers below never lock,
// so they can be called under it. Release it (unlock) before waiting for
// the user: a question answered in a nested event loop must not keep the
// renderers, or the next handler, waiting.
class AlbumEditLock
{
public:
    AlbumEditLock();
    ~AlbumEditLock();
    AlbumEditLock(const AlbumEditLock &) = delete;
    AlbumEditLock &operator=(const AlbumEditLock &) = delete;

    void unlock();
    void relock();

private:
    bool m_bLocked = false;
};

// The values the editor puts in place when it is built: 16:9 1080P, 3 s per
// image, no watermark, no music, clip sound kept.
void applyEditorDefaults();
// The settings column's and the top bar's part of those defaults, with the
// watermark text and the music and watermark files forgotten too (their
// held files closed): what an album that names no setting starts from.
void resetAlbumSettings();

// Makes ImageSource, AVRational, int64_t and the list types usable in queued signals.
void registerAlbumMetaTypes();

// Resolution tiers ("480P" ... "4K"): frame height, or 0 for an unknown tier.
int tierHeight(const QString &szTier);
// Text-watermark font pixel size for a tier; unknown tiers get the 1080P size.
int watermarkFontPixelSize(const QString &szTier);
// Picture ratio named by szRatio ("16:9", ...); false for anything else,
// which selects the self-adapting ratio.
bool ratioFromString(const QString &szRatio, AVRational *pRatio);

// The 23 xfade effects, in table order.
const TransitionEffect *transitionEffects();
constexpr int kTransitionEffectCount = 23;
// The row whose transition name (the xfade option) is szName, or null.
const TransitionEffect *transitionEffectNamed(const QString &szName);
// Every call returns the next effect, stepping by 3 through the table so
// that 23 calls cover every effect once. The first call starts at a random index.
const TransitionEffect *nextTransitionEffect();
// Fixes the index of the next pick (tests and scripted renders).
void setTransitionPickerIndex(int iIndex);

// The file an export writes: "<folder>/<name>.<format in lower case>", for
// given values and for the album's export fields.
QString exportTargetPath(const QString &szDir, const QString &szName, const QString &szFormat);
QString exportOutputPath(const AlbumProjectState &stState);

// With the ratio combo at its first entry, takes the ratio from the first
// material (turned when it is rotated by an odd number of quarter turns).
void updateSelfAdaptiveRatio(int iRatioComboIndex);

// A material's duration in microseconds: a clip's own length, a photo's own
// duration where it has one, otherwise the album's image duration.
int64_t materialDuration(const ImageSource &stSource, const AlbumProjectState &st = albumState());

// Sets the image duration to iSeconds and moves the total by the change
// times the number of photos that follow it (those without a duration of
// their own). Like every helper here it takes no lock: the caller holds
// AlbumEditLock.
void setImageDurationSeconds(int iSeconds);

// The whole image duration in seconds (1 to 60) that brings the album's
// length, transitions and clips counted, closest to iMusicUs; the current
// one when the album holds no image or the length is unknown.
int imageSecondsForMusic(int64_t iMusicUs);

// Gives the photo szPath a duration of its own (microseconds; 0 gives it
// the album's again) and moves the total. False when szPath is no photo of
// the album.
bool setMaterialOwnDuration(const QString &szPath, int64_t iDurationUs);

// Appends one decoded material: model row, record, order, transition and total.
// Call on the thread that owns the list model.
void appendMaterial(ImageSource stSource);

// Empties the album: closes every file, drops materials and transitions,
// resets the totals and the image duration. Settings stay.
void clearAlbum();

// Opens a material (or music, watermark) file the way the album holds it:
// read-only. Null at once for what is not a regular file (a pipe).
FILE *openHeldFile(const QString &szPath);
void closeHeldFile(FILE *&pFile);
