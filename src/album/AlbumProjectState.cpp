#include "album/AlbumProjectState.h"

#include <QBrush>
#include <QDebug>
#include <QFile>
#include <QHash>
#include <QRandomGenerator>
#include <QStandardItem>
#include <QStandardItemModel>
#include <QUrl>

#include <algorithm>
#include <atomic>
#include <cmath>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

extern "C" {
#include <libavutil/mathematics.h>
}

namespace {

constexpr AVRational kMicroseconds{1, 1000000};
constexpr int64_t kTransitionDurationUs = 2 * 1000000;

const TransitionEffect kEffects[kTransitionEffectCount] = {
    {"xfade", "fadeblack", "闪黑"},
    {"xfade", "fadewhite", "闪白"},
    {"xfade", "rectcrop", "矩形切换"},
    {"xfade", "radial", "倒计时"},
    {"xfade", "hblur", "高速运动"},
    {"xfade", "pixelize", "像素化"},
    {"xfade", "zoomin", "画面冲击"},
    {"xfade", "slidedown", "下移"},
    {"xfade", "slideleft", "左移"},
    {"xfade", "slideright", "右移"},
    {"xfade", "wipeup", "向上擦除"},
    {"xfade", "wipedown", "向下擦除"},
    {"xfade", "wipeleft", "向左擦除"},
    {"xfade", "wiperight", "向右擦除"},
    {"xfade", "smoothup", "向上淡入"},
    {"xfade", "smoothdown", "向下淡入"},
    {"xfade", "smoothleft", "向左淡入"},
    {"xfade", "smoothright", "向右淡入"},
    {"xfade", "circleclose", "圆圈收起"},
    {"xfade", "circleopen", "圆圈打开"},
    {"xfade", "vertclose", "垂直收起"},
    {"xfade", "vertopen", "垂直打开"},
    {"xfade", "horzclose", "水平收起"},
};

// -1 until the first pick chooses a random start.
std::atomic<int> g_iTransitionIndex{-1};

} // namespace

AlbumProjectState &albumState()
{
    static AlbumProjectState s_state;
    return s_state;
}

AlbumEditLock::AlbumEditLock()
{
    relock();
}

AlbumEditLock::~AlbumEditLock()
{
    unlock();
}

void AlbumEditLock::relock()
{
    if (m_bLocked)
        return;
    albumState().mutexPreview.lock();
    albumState().mutexAudio.lock();
    m_bLocked = true;
}

void AlbumEditLock::unlock()
{
    if (!m_bLocked)
        return;
    albumState().mutexAudio.unlock();
    albumState().mutexPreview.unlock();
    m_bLocked = false;
}

namespace {

// The materials that last the album's image duration.
int64_t materialsFollowingImageDuration(const AlbumProjectState &st)
{
    int64_t iFollowing = 0;
    for (const ImageSource &stSource : qAsConst(st.mapImageSources))
        iFollowing += stSource.iSourceType != SourceVideo && stSource.iOwnDuration <= 0;
    return iFollowing;
}

void putSettingDefaults(AlbumProjectState &st)
{
    st.iWatermarkType = WatermarkNone;
    st.iWatermarkPos = 1;
    st.szExportResolution = QStringLiteral("1080P");
    st.stWatermarkFont = QFont(QStringLiteral("Microsoft YaHei UI"));
    st.stWatermarkFont.setPixelSize(watermarkFontPixelSize(st.szExportResolution));
    st.stWatermarkColor = QColor(Qt::black);
    st.lfWatermarkTransparency = 0.0;
    st.iBackgroundMusicType = MusicNone;
    st.iKeepAudioTrack = 1;
    st.stVideoRatio = AVRational{16, 9};
    st.bSelfAdaptiveRatio = false;
    st.iExportWidth = 1920;
    st.iExportHeight = 1080;
    st.iImageDuration = 3 * 1000000;
    st.stImageDurationTimeBase = kMicroseconds;
    st.iMotion = MotionNone;
    st.iFraming = FramingFit;
    st.bFitToMusic = false;
    st.iMotionSeed = QRandomGenerator::global()->generate();
}

} // namespace

void applyEditorDefaults()
{
    AlbumProjectState &st = albumState();
    putSettingDefaults(st);
    st.stPlayerTimeBase = AVRational{1, 1000};
    st.iPreviewScale = 1;
    st.iPreviewStartPos = 0;
    st.stGlobalTimeBase = kMicroseconds;
}

void resetAlbumSettings()
{
    AlbumProjectState &st = albumState();
    putSettingDefaults(st);
    st.szWatermarkText.clear();
    st.szImageWatermarkPath.clear();
    st.szBackgroundMusicPath.clear();
    st.iBackgroundMusicDuration = 0;
    closeHeldFile(st.pImageWatermarkFile);
    closeHeldFile(st.pBackgroundMusicFile);
}

void registerAlbumMetaTypes()
{
    qRegisterMetaType<AVRational>("AVRational");
    qRegisterMetaType<int64_t>("int64_t");
    qRegisterMetaType<ImageSource>("ImageSource");
    qRegisterMetaType<QList<QString>>("QList<QString>");
    qRegisterMetaType<QList<QUrl>>("QList<QUrl>");
}

int tierHeight(const QString &szTier)
{
    static const QHash<QString, int> s_heights = {
        {QStringLiteral("480P"), 480},   {QStringLiteral("720P"), 720},
        {QStringLiteral("1080P"), 1080}, {QStringLiteral("2K"), 1440},
        {QStringLiteral("4K"), 2160},
    };
    return s_heights.value(szTier, 0);
}

int watermarkFontPixelSize(const QString &szTier)
{
    static const QHash<QString, int> s_sizes = {
        {QStringLiteral("4K"), 126},   {QStringLiteral("2K"), 60},
        {QStringLiteral("1080P"), 48}, {QStringLiteral("720P"), 30},
        {QStringLiteral("480P"), 24},
    };
    return s_sizes.value(szTier, 48);
}

bool ratioFromString(const QString &szRatio, AVRational *pRatio)
{
    static const QHash<QString, AVRational> s_ratios = {
        {QStringLiteral("16:9"), {16, 9}}, {QStringLiteral("4:3"), {4, 3}},
        {QStringLiteral("2:1"), {2, 1}},   {QStringLiteral("9:16"), {9, 16}},
        {QStringLiteral("3:4"), {3, 4}},   {QStringLiteral("1:1"), {1, 1}},
    };
    auto it = s_ratios.constFind(szRatio);
    if (it == s_ratios.constEnd())
        return false;
    if (pRatio)
        *pRatio = it.value();
    return true;
}

const TransitionEffect *transitionEffects()
{
    return kEffects;
}

const TransitionEffect *nextTransitionEffect()
{
    int iIndex = g_iTransitionIndex.load();
    if (iIndex < 0) {
        const int iStart = static_cast<int>(QRandomGenerator::global()->bounded(kTransitionEffectCount));
        // Another thread may have chosen first; then its start stands.
        g_iTransitionIndex.compare_exchange_strong(iIndex, iStart);
        iIndex = g_iTransitionIndex.load();
    }
    while (!g_iTransitionIndex.compare_exchange_weak(iIndex, (iIndex + 3) % kTransitionEffectCount)) {
    }
    return &kEffects[iIndex];
}

const TransitionEffect *transitionEffectNamed(const QString &szName)
{
    for (const TransitionEffect &stEffect : kEffects) {
        if (szName == QLatin1String(stEffect.szTransitionName))
            return &stEffect;
    }
    return nullptr;
}

void setTransitionPickerIndex(int iIndex)
{
    g_iTransitionIndex.store(((iIndex % kTransitionEffectCount) + kTransitionEffectCount) % kTransitionEffectCount);
}

QString exportTargetPath(const QString &szDir, const QString &szName, const QString &szFormat)
{
    // One multi-argument arg(): a "%1" typed into the name stays text.
    return QStringLiteral("%1/%2.%3").arg(szDir, szName, szFormat.toLower());
}

QString exportOutputPath(const AlbumProjectState &stState)
{
    return exportTargetPath(stState.szExportDir, stState.szExportFileName, stState.szExportFormat);
}

void updateSelfAdaptiveRatio(int iRatioComboIndex)
{
    AlbumProjectState &st = albumState();
    if (iRatioComboIndex != 0 || st.listImageSourceOrder.isEmpty())
        return;
    QString szFirst = st.listImageSourceOrder.first();
    if (st.pImageListModel && st.pImageListModel->rowCount() > 0)
        szFirst = st.pImageListModel->index(0, 0).data(Qt::DisplayRole).toString();
    auto it = st.mapImageSources.constFind(szFirst);
    if (it == st.mapImageSources.constEnd()) {
        st.stVideoRatio = AVRational{16, 9};
        return;
    }
    const AVRational stRatio = it->stWidthToHeight;
    if (it->iRotation % 2 != 0)
        st.stVideoRatio = AVRational{stRatio.den, stRatio.num};
    else
        st.stVideoRatio = stRatio;
}

int64_t materialDuration(const ImageSource &stSource, const AlbumProjectState &st)
{
    if (stSource.iSourceType == SourceVideo)
        return av_rescale_q(stSource.iDuration, stSource.stTimeBase, kMicroseconds);
    if (stSource.iSourceType == SourceImage && stSource.iOwnDuration > 0)
        return stSource.iOwnDuration;
    return av_rescale_q(st.iImageDuration, st.stImageDurationTimeBase, kMicroseconds);
}

void setImageDurationSeconds(int iSeconds)
{
    AlbumProjectState &st = albumState();
    const int64_t iNew = av_rescale_q(iSeconds, AVRational{1, 1}, st.stImageDurationTimeBase);
    const int64_t iDelta = iNew - st.iImageDuration;
    st.iImageDuration = iNew;
    st.iTotalDuration += av_rescale_q(iDelta * materialsFollowingImageDuration(st), st.stImageDurationTimeBase, st.stGlobalTimeBase);
}

bool setMaterialOwnDuration(const QString &szPath, int64_t iDurationUs)
{
    AlbumProjectState &st = albumState();
    auto it = st.mapImageSources.find(szPath);
    if (it == st.mapImageSources.end() || it->iSourceType != SourceImage)
        return false;
    const int64_t iBefore = materialDuration(*it, st);
    it->iOwnDuration = std::max<int64_t>(0, iDurationUs);
    st.iTotalDuration += materialDuration(*it, st) - iBefore;
    return true;
}

int imageSecondsForMusic(int64_t iMusicUs)
{
    const AlbumProjectState &st = albumState();
    const int iCurrent = static_cast<int>(av_rescale_q(st.iImageDuration, st.stImageDurationTimeBase, AVRational{1, 1}));
    // Photos with a duration of their own keep it: only the others follow.
    const int64_t iImages = materialsFollowingImageDuration(st);
    if (iImages < 1 || iMusicUs <= 0)
        return iCurrent;
    const int64_t iImageUs = av_rescale_q(st.iImageDuration, st.stImageDurationTimeBase, kMicroseconds);
    const int64_t iOthers = av_rescale_q(st.iTotalDuration, st.stGlobalTimeBase, kMicroseconds) - iImageUs * iImages;
    // The length grows by iImages seconds a second, so the whole second
    // nearest the exact answer is the closest length.
    const double lfSeconds = static_cast<double>(iMusicUs - iOthers) / (1e6 * static_cast<double>(iImages));
    return static_cast<int>(std::clamp<double>(std::floor(lfSeconds + 0.5), 1.0, 60.0));
}

void appendMaterial(ImageSource stSource)
{
    AlbumProjectState &st = albumState();
    stSource.iStartTime = av_rescale_q(st.iTotalDuration, st.stGlobalTimeBase, stSource.stTimeBase);
    stSource.iEndTime = stSource.iStartTime + stSource.iDuration;

    if (st.pImageListModel) {
        auto *pItem = new QStandardItem(stSource.szFilePath);
        pItem->setFlags(Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemIsEnabled);
        pItem->setBackground(QBrush(stSource.stPixmap));
        pItem->setData(stSource.iSourceType, Qt::UserRole);
        pItem->setData(static_cast<qlonglong>(stSource.iRotation), Qt::UserRole + 1);
        st.pImageListModel->appendRow(pItem);
    }
    if (stSource.iSourceType == SourceVideo)
        ++st.iVideoSourceCount;
    const int64_t iDuration = materialDuration(stSource);
    st.mapImageSources.insert(stSource.szFilePath, stSource);
    st.listImageSourceOrder.append(stSource.szFilePath);

    if (st.listImageSourceOrder.size() > 1) {
        TransitionSegment stSeg;
        stSeg.pEffect = nextTransitionEffect();
        stSeg.iDuration = kTransitionDurationUs;
        stSeg.iStartTime = st.iTotalDuration;
        stSeg.iEndTime = stSeg.iStartTime + stSeg.iDuration;
        stSeg.stTimeBase = kMicroseconds;
        st.listTransitions.append(stSeg);
        st.iTotalDuration += kTransitionDurationUs;
    }
    st.iTotalDuration += iDuration;
    qDebug() << "album total duration (us):" << st.iTotalDuration;
}

void clearAlbum()
{
    AlbumProjectState &st = albumState();
    for (ImageSource &stSource : st.mapImageSources)
        closeHeldFile(stSource.pFile);
    st.mapImageSources.clear();
    st.listImageSourceOrder.clear();
    st.listTransitions.clear();
    if (st.pImageListModel)
        st.pImageListModel->removeRows(0, st.pImageListModel->rowCount());
    st.iTotalDuration = 0;
    st.iVideoSourceCount = 0;
    st.iImageDuration = av_rescale_q(3, AVRational{1, 1}, st.stImageDurationTimeBase);
}

FILE *openHeldFile(const QString &szPath)
{
    // Opened without waiting, so that a pipe in a file's place cannot hold
    // the editor up; only a regular file is held.
    const int iFd = ::open(QFile::encodeName(szPath).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (iFd < 0)
        return nullptr;
    struct stat stInfo;
    FILE *pFile = nullptr;
    if (::fstat(iFd, &stInfo) == 0 && S_ISREG(stInfo.st_mode)
        && ::fcntl(iFd, F_SETFL, ::fcntl(iFd, F_GETFL) & ~O_NONBLOCK) == 0)
        pFile = ::fdopen(iFd, "r");
    if (!pFile)
        ::close(iFd);
    return pFile;
}

void closeHeldFile(FILE *&pFile)
{
    if (pFile) {
        std::fclose(pFile);
        pFile = nullptr;
    }
}
