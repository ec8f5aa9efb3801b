#include "album/AlbumFile.h"

#include "album/AlbumProjectState.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>
#include <QSet>

#include <climits>
#include <cstdint>
#include <cmath>
#include <functional>

extern "C" {
#include <libavutil/mathematics.h>
}

namespace {

const char kFormatName[] = "pictora-album";
// Far above any album a person makes (10 000 materials take about 1 MiB).
constexpr qint64 kMaxFileBytes = 64 * 1024 * 1024;
// A path longer than the system takes (PATH_MAX with its terminating zero).
constexpr int kMaxPathBytes = 4095;
constexpr double kMaxSeconds = 60.0;
constexpr AVRational kMicroseconds{1, 1000000};

// The messages' translation context.
struct AlbumFile
{
    Q_DECLARE_TR_FUNCTIONS(AlbumFile)
};

// Where relative paths of one album file start.
class AlbumFolder
{
public:
    explicit AlbumFolder(const QString &szFolder) : m_dir(szFolder) {}

    // Relative when inside the folder, absolute otherwise.
    QString written(const QString &szPath) const
    {
        if (szPath.isEmpty())
            return szPath;
        const QString szRelative = m_dir.relativeFilePath(szPath);
        if (QDir::isAbsolutePath(szRelative) || szRelative == QLatin1String("..")
            || szRelative.startsWith(QLatin1String("../")))
            return szPath;
        return szRelative;
    }

    // The file a path of the file names, as the import keys it; empty when
    // the text is no usable path.
    QString resolved(const QString &szText) const
    {
        if (szText.isEmpty() || szText.contains(QChar(0)) || QFile::encodeName(szText).size() > kMaxPathBytes)
            return QString();
        const QString szPath = QDir::isAbsolutePath(szText) ? szText : m_dir.path() + QLatin1Char('/') + szText;
        return QDir::cleanPath(szPath);
    }

private:
    QDir m_dir;
};

QJsonValue secondsValue(int64_t iMicroseconds)
{
    if (iMicroseconds % 1000000 == 0)
        return QJsonValue(static_cast<qint64>(iMicroseconds / 1000000));
    return QJsonValue(double(iMicroseconds) / 1e6);
}

// Seconds above 0 and up to 60, to the microsecond.
bool readSeconds(const QJsonValue &value, int64_t *piMicroseconds)
{
    const double lf = value.toDouble(-1.0);
    if (!value.isDouble() || !(lf > 0.0) || lf > kMaxSeconds)
        return false;
    *piMicroseconds = std::max<int64_t>(1, std::llround(lf * 1e6));
    return true;
}

bool readWhole(const QJsonValue &value, int iLow, int iHigh, int *piValue)
{
    const double lf = value.toDouble(-1.0);
    if (!value.isDouble() || lf != std::floor(lf) || lf < iLow || lf > iHigh)
        return false;
    *piValue = static_cast<int>(lf);
    return true;
}

bool readText(const QJsonValue &value, QString *pszText)
{
    if (!value.isString())
        return false;
    *pszText = value.toString();
    return true;
}

// An empty text forgets the file.
bool readPath(const QJsonValue &value, const AlbumFolder &folder, QString *pszPath)
{
    QString szText;
    if (!readText(value, &szText))
        return false;
    *pszPath = szText.isEmpty() ? QString() : folder.resolved(szText);
    return szText.isEmpty() || !pszPath->isEmpty();
}

bool readBool(const QJsonValue &value, bool *pbValue)
{
    if (!value.isBool())
        return false;
    *pbValue = value.toBool();
    return true;
}

// One of the names, as its code.
bool readChoice(const QJsonValue &value, const QList<QPair<QString, int>> &choices, int *piCode)
{
    for (const auto &stChoice : choices) {
        if (value.toString() == stChoice.first) {
            *piCode = stChoice.second;
            return true;
        }
    }
    return false;
}

QJsonValue choiceName(int iCode, const QList<QPair<QString, int>> &choices)
{
    for (const auto &stChoice : choices) {
        if (stChoice.second == iCode)
            return stChoice.first;
    }
    return choices.first().first;
}

const QList<QPair<QString, int>> kMotionChoices = {{"none", MotionNone}, {"gentle", MotionGentle}};
const QList<QPair<QString, int>> kFramingChoices = {{"fit", FramingFit}, {"fill", FramingFill}, {"blur", FramingBlur}};
const QList<QPair<QString, int>> kMusicChoices = {{"none", MusicNone}, {"custom", MusicCustom}};
const QList<QPair<QString, int>> kWatermarkChoices = {
    {"none", WatermarkNone}, {"text", WatermarkText}, {"image", WatermarkImage}};

QString ratioName(AVRational stRatio)
{
    for (const char *szName : {"16:9", "4:3", "2:1", "9:16", "3:4", "1:1"}) {
        AVRational stNamed{0, 1};
        ratioFromString(QLatin1String(szName), &stNamed);
        if (av_cmp_q(stNamed, stRatio) == 0)
            return QLatin1String(szName);
    }
    return QStringLiteral("16:9");
}

QJsonValue fontValue(const QFont &stFont)
{
    QJsonObject stValue{{"family", stFont.family()},
                        {"pixelSize", stFont.pixelSize()},
                        {"weight", stFont.weight()},
                        {"italic", stFont.italic()},
                        {"underline", stFont.underline()},
                        {"strikeOut", stFont.strikeOut()}};
    if (!stFont.styleName().isEmpty())
        stValue.insert(QStringLiteral("styleName"), stFont.styleName());
    return stValue;
}

bool readFont(const QJsonValue &value, QFont *pFont)
{
    const QJsonObject stValue = value.toObject();
    QString szFamily, szStyle;
    int iPixelSize = 0, iWeight = QFont::Normal;
    bool bItalic = false, bUnderline = false, bStrikeOut = false;
    const auto optional = [&stValue](const char *szKey, const std::function<bool(const QJsonValue &)> &fnRead) {
        return !stValue.contains(QLatin1String(szKey)) || fnRead(stValue.value(QLatin1String(szKey)));
    };
    if (!value.isObject() || !readText(stValue.value("family"), &szFamily) || szFamily.isEmpty()
        || !readWhole(stValue.value("pixelSize"), 1, 2000, &iPixelSize)
        || !optional("weight", [&](const QJsonValue &v) { return readWhole(v, 0, 99, &iWeight); })
        || !optional("italic", [&](const QJsonValue &v) { return readBool(v, &bItalic); })
        || !optional("underline", [&](const QJsonValue &v) { return readBool(v, &bUnderline); })
        || !optional("strikeOut", [&](const QJsonValue &v) { return readBool(v, &bStrikeOut); })
        || !optional("styleName", [&](const QJsonValue &v) { return readText(v, &szStyle); }))
        return false;
    QFont stFont(szFamily);
    stFont.setPixelSize(iPixelSize);
    stFont.setWeight(iWeight);
    stFont.setItalic(bItalic);
    stFont.setUnderline(bUnderline);
    stFont.setStrikeOut(bStrikeOut);
    if (!szStyle.isEmpty())
        stFont.setStyleName(szStyle);
    *pFont = stFont;
    return true;
}

// One setting of the file: its key, how the album's value is written, and
// how a value of the file is read into an album (false: the album takes no
// such value). A new setting is one row here.
struct AlbumFileSetting
{
    const char *szKey;
    QJsonValue (*fnWrite)(const AlbumProjectState &st, const AlbumFolder &folder);
    bool (*fnRead)(const QJsonValue &value, AlbumProjectState &st, const AlbumFolder &folder);
};

const AlbumFileSetting kSettings[] = {
    {"imageDuration",
     [](const AlbumProjectState &st, const AlbumFolder &) {
         return secondsValue(av_rescale_q(st.iImageDuration, st.stImageDurationTimeBase, kMicroseconds));
     },
     [](const QJsonValue &v, AlbumProjectState &st, const AlbumFolder &) {
         int64_t iUs = 0;
         if (!readSeconds(v, &iUs))
             return false;
         st.iImageDuration = av_rescale_q(iUs, kMicroseconds, st.stImageDurationTimeBase);
         return true;
     }},
    {"ratio",
     [](const AlbumProjectState &st, const AlbumFolder &) {
         return QJsonValue(st.bSelfAdaptiveRatio ? QStringLiteral("self") : ratioName(st.stVideoRatio));
     },
     [](const QJsonValue &v, AlbumProjectState &st, const AlbumFolder &) {
         st.bSelfAdaptiveRatio = v.toString() == QLatin1String("self");
         return st.bSelfAdaptiveRatio || ratioFromString(v.toString(), &st.stVideoRatio);
     }},
    {"resolution",
     [](const AlbumProjectState &st, const AlbumFolder &) { return QJsonValue(st.szExportResolution); },
     [](const QJsonValue &v, AlbumProjectState &st, const AlbumFolder &) {
         st.szExportResolution = v.toString();
         return tierHeight(st.szExportResolution) > 0;
     }},
    {"music",
     [](const AlbumProjectState &st, const AlbumFolder &) { return choiceName(st.iBackgroundMusicType, kMusicChoices); },
     [](const QJsonValue &v, AlbumProjectState &st, const AlbumFolder &) {
         return readChoice(v, kMusicChoices, &st.iBackgroundMusicType);
     }},
    {"musicFile",
     [](const AlbumProjectState &st, const AlbumFolder &folder) {
         return QJsonValue(folder.written(st.szBackgroundMusicPath));
     },
     [](const QJsonValue &v, AlbumProjectState &st, const AlbumFolder &folder) {
         return readPath(v, folder, &st.szBackgroundMusicPath);
     }},
    {"clipSound",
     [](const AlbumProjectState &st, const AlbumFolder &) { return QJsonValue(st.iKeepAudioTrack != 0); },
     [](const QJsonValue &v, AlbumProjectState &st, const AlbumFolder &) {
         bool bKeep = true;
         if (!readBool(v, &bKeep))
             return false;
         st.iKeepAudioTrack = bKeep ? 1 : 0;
         return true;
     }},
    {"watermark",
     [](const AlbumProjectState &st, const AlbumFolder &) { return choiceName(st.iWatermarkType, kWatermarkChoices); },
     [](const QJsonValue &v, AlbumProjectState &st, const AlbumFolder &) {
         return readChoice(v, kWatermarkChoices, &st.iWatermarkType);
     }},
    {"watermarkText",
     [](const AlbumProjectState &st, const AlbumFolder &) { return QJsonValue(st.szWatermarkText); },
     [](const QJsonValue &v, AlbumProjectState &st, const AlbumFolder &) { return readText(v, &st.szWatermarkText); }},
    {"watermarkFont",
     [](const AlbumProjectState &st, const AlbumFolder &) { return fontValue(st.stWatermarkFont); },
     [](const QJsonValue &v, AlbumProjectState &st, const AlbumFolder &) { return readFont(v, &st.stWatermarkFont); }},
    {"watermarkColor",
     [](const AlbumProjectState &st, const AlbumFolder &) { return QJsonValue(st.stWatermarkColor.name()); },
     [](const QJsonValue &v, AlbumProjectState &st, const AlbumFolder &) {
         const QString szColor = v.toString();
         st.stWatermarkColor = QColor(szColor);
         return szColor.size() == 7 && szColor.startsWith(QLatin1Char('#')) && st.stWatermarkColor.isValid();
     }},
    {"watermarkTransparency",
     [](const AlbumProjectState &st, const AlbumFolder &) { return QJsonValue(st.lfWatermarkTransparency); },
     [](const QJsonValue &v, AlbumProjectState &st, const AlbumFolder &) {
         st.lfWatermarkTransparency = v.toDouble(-1.0);
         return v.isDouble() && st.lfWatermarkTransparency >= 0.0 && st.lfWatermarkTransparency <= 1.0;
     }},
    {"watermarkPosition",
     [](const AlbumProjectState &st, const AlbumFolder &) { return QJsonValue(st.iWatermarkPos); },
     [](const QJsonValue &v, AlbumProjectState &st, const AlbumFolder &) {
         // One of the nine codes 1, 2, 4 ... 256.
         return readWhole(v, 1, 256, &st.iWatermarkPos) && (st.iWatermarkPos & (st.iWatermarkPos - 1)) == 0;
     }},
    {"watermarkImage",
     [](const AlbumProjectState &st, const AlbumFolder &folder) {
         return QJsonValue(folder.written(st.szImageWatermarkPath));
     },
     [](const QJsonValue &v, AlbumProjectState &st, const AlbumFolder &folder) {
         return readPath(v, folder, &st.szImageWatermarkPath);
     }},
    {"motion", [](const AlbumProjectState &st, const AlbumFolder &) { return choiceName(st.iMotion, kMotionChoices); },
     [](const QJsonValue &v, AlbumProjectState &st, const AlbumFolder &) {
         return readChoice(v, kMotionChoices, &st.iMotion);
     }},
    // The seed keeps a reopened album moving as it did.
    {"motionSeed", [](const AlbumProjectState &st, const AlbumFolder &) { return QJsonValue(double(st.iMotionSeed)); },
     [](const QJsonValue &v, AlbumProjectState &st, const AlbumFolder &) {
         const double lf = v.toDouble(-1.0);
         if (!v.isDouble() || lf != std::floor(lf) || lf < 0.0 || lf > double(UINT32_MAX))
             return false;
         st.iMotionSeed = static_cast<uint32_t>(lf);
         return true;
     }},
    {"framing", [](const AlbumProjectState &st, const AlbumFolder &) { return choiceName(st.iFraming, kFramingChoices); },
     [](const QJsonValue &v, AlbumProjectState &st, const AlbumFolder &) {
         return readChoice(v, kFramingChoices, &st.iFraming);
     }},
    {"fitToMusic", [](const AlbumProjectState &st, const AlbumFolder &) { return QJsonValue(st.bFitToMusic); },
     [](const QJsonValue &v, AlbumProjectState &st, const AlbumFolder &) { return readBool(v, &st.bFitToMusic); }},
};

bool refuse(QString *pszError, const QString &szWhy)
{
    *pszError = szWhy;
    return false;
}

bool parseMaterials(const QJsonValue &value, const AlbumFolder &folder, QList<AlbumFileMaterial> *pMaterials,
                    QString *pszError)
{
    const QJsonArray list = value.toArray();
    if (!value.isArray() || list.isEmpty())
        return refuse(pszError, AlbumFile::tr("The album names no materials."));
    QSet<QString> seen;
    for (int i = 0; i < list.size(); ++i) {
        const QJsonObject stEntry = list.at(i).toObject();
        AlbumFileMaterial stMaterial;
        int iTurns = 0;
        if (!list.at(i).isObject() || !stEntry.value("path").isString())
            return refuse(pszError, AlbumFile::tr("Material %1 has no path.").arg(i + 1));
        stMaterial.szPath = folder.resolved(stEntry.value("path").toString());
        if (stMaterial.szPath.isEmpty())
            return refuse(pszError, AlbumFile::tr("The path of material %1 is empty, holds a zero character or is longer than a path can be.").arg(i + 1));
        if (stEntry.contains("turns") && !readWhole(stEntry.value("turns"), 0, 3, &iTurns))
            return refuse(pszError, AlbumFile::tr("The turns of material %1 are not a number from 0 to 3.").arg(i + 1));
        if (stEntry.contains("duration") && !readSeconds(stEntry.value("duration"), &stMaterial.iOwnDuration))
            return refuse(pszError, AlbumFile::tr("The duration of material %1 is not a number of seconds up to 60.").arg(i + 1));
        stMaterial.iRotation = iTurns;
        // Named twice, it is in the album once, as the import would have it.
        if (!seen.contains(stMaterial.szPath)) {
            seen.insert(stMaterial.szPath);
            pMaterials->append(stMaterial);
        }
    }
    return true;
}

} // namespace

QStringList AlbumDocument::materialPaths() const
{
    QStringList paths;
    paths.reserve(materials.size());
    for (const AlbumFileMaterial &stMaterial : materials)
        paths.append(stMaterial.szPath);
    return paths;
}

QString albumFileSuffix()
{
    return QStringLiteral("pictora");
}

bool isAlbumFileName(const QString &szPath)
{
    return szPath.endsWith(QLatin1Char('.') + albumFileSuffix(), Qt::CaseInsensitive);
}

bool readAlbumFile(const QString &szPath, AlbumDocument *pDocument, QString *pszError)
{
    QFile file(szPath);
    const QFileInfo stInfo(szPath);
    if (!stInfo.isFile())
        return refuse(pszError, stInfo.exists() ? AlbumFile::tr("It is not a file.") : AlbumFile::tr("The file does not exist."));
    if (stInfo.size() > kMaxFileBytes)
        return refuse(pszError, AlbumFile::tr("The file is far too large to be an album."));
    if (!file.open(QIODevice::ReadOnly))
        return refuse(pszError, AlbumFile::tr("The file cannot be read (%1).").arg(file.errorString()));
    // Read to the cap and one byte past it: a file that grew meanwhile is no album either.
    const QByteArray text = file.read(kMaxFileBytes + 1);
    if (file.error() != QFileDevice::NoError)
        return refuse(pszError, AlbumFile::tr("The file cannot be read (%1).").arg(file.errorString()));
    if (text.size() > kMaxFileBytes)
        return refuse(pszError, AlbumFile::tr("The file is far too large to be an album."));
    return parseAlbumFile(text, stInfo.absolutePath(), pDocument, pszError);
}

bool parseAlbumFile(const QByteArray &text, const QString &szFolder, AlbumDocument *pDocument, QString *pszError)
{
    if (text.trimmed().isEmpty())
        return refuse(pszError, AlbumFile::tr("The file is empty."));
    QJsonParseError stError;
    const QJsonDocument document = QJsonDocument::fromJson(text, &stError);
    if (stError.error != QJsonParseError::NoError)
        return refuse(pszError, AlbumFile::tr("The file is damaged: %1 at byte %2.").arg(stError.errorString()).arg(stError.offset));
    const QJsonObject stRoot = document.object();
    if (!document.isObject() || stRoot.value("format").toString() != QLatin1String(kFormatName))
        return refuse(pszError, AlbumFile::tr("The file is not a Pictora album."));
    int iVersion = 0;
    if (!readWhole(stRoot.value("version"), 1, INT_MAX, &iVersion))
        return refuse(pszError, AlbumFile::tr("The file is damaged: it has no valid format version."));
    if (iVersion > kAlbumFormatVersion)
        return refuse(pszError, AlbumFile::tr("The album was saved by a newer Pictora (format version %1); this one reads "
                                   "version %2 and older.")
                                    .arg(iVersion)
                                    .arg(kAlbumFormatVersion));

    AlbumDocument stDocument;
    stDocument.szFolder = szFolder;
    const AlbumFolder folder(szFolder);
    const QJsonValue settings = stRoot.value("settings");
    if (!settings.isUndefined() && !settings.isObject())
        return refuse(pszError, AlbumFile::tr("The file is damaged: its settings are no list of settings."));
    // Each value is tried on an album of its own: the one in use stays as it is.
    AlbumProjectState stTrial;
    for (const AlbumFileSetting &stSetting : kSettings) {
        const QJsonValue value = settings.toObject().value(QLatin1String(stSetting.szKey));
        if (value.isUndefined())
            continue;
        if (!stSetting.fnRead(value, stTrial, folder))
            return refuse(pszError, AlbumFile::tr("The setting \"%1\" has a value Pictora does not know.").arg(QLatin1String(stSetting.szKey)));
        stDocument.stSettings.insert(QLatin1String(stSetting.szKey), value);
    }
    closeHeldFile(stTrial.pBackgroundMusicFile);
    closeHeldFile(stTrial.pImageWatermarkFile);

    if (!parseMaterials(stRoot.value("materials"), folder, &stDocument.materials, pszError))
        return false;
    const QJsonValue transitions = stRoot.value("transitions");
    if (!transitions.isUndefined() && !transitions.isArray())
        return refuse(pszError, AlbumFile::tr("The file is damaged: its transitions are no list."));
    for (const QJsonValue &value : transitions.toArray()) {
        if (!value.isString())
            return refuse(pszError, AlbumFile::tr("The file is damaged: a transition has no name."));
        stDocument.transitions.append(value.toString());
    }
    *pDocument = stDocument;
    return true;
}

QByteArray albumFileText(const QString &szPath)
{
    const AlbumProjectState &st = albumState();
    const AlbumFolder folder(QFileInfo(szPath).absolutePath());
    QJsonObject stSettings;
    for (const AlbumFileSetting &stSetting : kSettings)
        stSettings.insert(QLatin1String(stSetting.szKey), stSetting.fnWrite(st, folder));

    QJsonArray materials;
    for (const QString &szMaterial : st.listImageSourceOrder) {
        QJsonObject stEntry{{"path", folder.written(szMaterial)}};
        const auto it = st.mapImageSources.constFind(szMaterial);
        if (it != st.mapImageSources.constEnd() && it->iRotation != 0)
            stEntry.insert(QStringLiteral("turns"), static_cast<int>(it->iRotation));
        if (it != st.mapImageSources.constEnd() && it->iSourceType == SourceImage && it->iOwnDuration > 0)
            stEntry.insert(QStringLiteral("duration"), secondsValue(it->iOwnDuration));
        materials.append(stEntry);
    }
    QJsonArray transitions;
    for (const TransitionSegment &stTransition : st.listTransitions)
        transitions.append(QLatin1String(stTransition.pEffect ? stTransition.pEffect->szTransitionName : ""));

    const QJsonObject stRoot{{"format", QLatin1String(kFormatName)},
                             {"version", kAlbumFormatVersion},
                             {"settings", stSettings},
                             {"materials", materials},
                             {"transitions", transitions}};
    return QJsonDocument(stRoot).toJson(QJsonDocument::Indented);
}

bool saveAlbumFile(const QString &szPath, QString *pszError)
{
    const QByteArray text = albumFileText(szPath);
    // QSaveFile writes a temporary file beside the target, flushes it to the
    // disk and renames it over the target only when all of it was written.
    QSaveFile file(szPath);
    file.setDirectWriteFallback(false);
    // Unbuffered: a short write (a full disk, a file size limit) shows in
    // write()'s count. Buffered, it would only come out of the flush inside
    // commit(), which QSaveFile does not count as a failure: it would rename
    // a truncated album over the old one.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return refuse(pszError, AlbumFile::tr("The album cannot be written there (%1).").arg(file.errorString()));
    // A short write goes on with the rest: the next one fails with the reason.
    qint64 iWritten = 0, iChunk = 0;
    while (iWritten < text.size() && (iChunk = file.write(text.constData() + iWritten, text.size() - iWritten)) > 0)
        iWritten += iChunk;
    if (iWritten != text.size()) {
        const QString szWhy = file.errorString();
        file.cancelWriting();
        file.commit();   // removes the temporary file
        return refuse(pszError, AlbumFile::tr("The album could not be written (%1); the file that was there is unchanged.")
                                    .arg(szWhy));
    }
    if (!file.commit())
        return refuse(pszError, AlbumFile::tr("The album could not be written (%1); the file that was there is unchanged.")
                                    .arg(file.errorString()));
    return true;
}

void applyAlbumSettings(const AlbumDocument &stDocument)
{
    AlbumProjectState &st = albumState();
    resetAlbumSettings();
    const AlbumFolder folder(stDocument.szFolder);
    for (const AlbumFileSetting &stSetting : kSettings) {
        const QJsonValue value = stDocument.stSettings.value(QLatin1String(stSetting.szKey));
        if (!value.isUndefined())
            stSetting.fnRead(value, st, folder);
    }
    // A font the file does not name is the default one at its tier's size.
    if (!stDocument.stSettings.contains(QStringLiteral("watermarkFont")))
        st.stWatermarkFont.setPixelSize(watermarkFontPixelSize(st.szExportResolution));
}

void applyAlbumMaterials(const AlbumDocument &stDocument)
{
    AlbumProjectState &st = albumState();
    QHash<QString, int> indexOf;
    for (int i = 0; i < stDocument.materials.size(); ++i)
        indexOf.insert(stDocument.materials.at(i).szPath, i);
    for (int iGap = 0; iGap < st.listImageSourceOrder.size(); ++iGap) {
        const QString &szPath = st.listImageSourceOrder.at(iGap);
        const int iSaved = indexOf.value(szPath, -1);
        auto it = st.mapImageSources.find(szPath);
        if (iSaved < 0 || it == st.mapImageSources.end())
            continue;
        const AlbumFileMaterial &stSaved = stDocument.materials.at(iSaved);
        it->iRotation = stSaved.iRotation;
        setMaterialOwnDuration(szPath, stSaved.iOwnDuration);
        // The gap after a material takes the transition that followed it in the file.
        if (iGap < st.listTransitions.size() && iSaved < stDocument.transitions.size()) {
            if (const TransitionEffect *pEffect = transitionEffectNamed(stDocument.transitions.at(iSaved)))
                st.listTransitions[iGap].pEffect = pEffect;
        }
    }
}
