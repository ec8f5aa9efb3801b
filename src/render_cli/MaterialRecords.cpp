#include "render_cli/MaterialRecords.h"

#include "editor/AlbumProjectState.h"
#include "import/ImageDecoder.h"
#include "import/MaterialTypes.h"

#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QSet>
#include <QThread>

extern "C" {
#include <libavutil/mathematics.h>
}

namespace {

struct DecodeResult
{
    bool bDone = false;
    bool bDecoded = false;
    QString szError;
    AVRational stWidthToHeight{0, 1};
    QSize stSize;
    int iSourceType = 0;
    int64_t iDuration = 0;
    AVRational stTimeBase{1, 1};
};

// One file through the decoder's thread; waits for its answer.
DecodeResult decodeOne(ImageDecoder *pDecoder, const QString &szPath)
{
    DecodeResult st;
    QEventLoop loop;
    QObject::connect(pDecoder, &ImageDecoder::sig_decoded, &loop,
                     [&](QString, QPixmap, AVRational stRatio, QSize stSize, int iType, int64_t iDuration,
                         AVRational stTimeBase) {
                         st.bDone = st.bDecoded = true;
                         st.stWidthToHeight = stRatio;
                         st.stSize = stSize;
                         st.iSourceType = iType;
                         st.iDuration = iDuration;
                         st.stTimeBase = stTimeBase;
                         loop.quit();
                     });
    QObject::connect(pDecoder, &ImageDecoder::sig_decodeFailed, &loop, [&](QString, QString szError) {
        st.bDone = true;
        st.szError = szError;
        loop.quit();
    });
    Q_EMIT pDecoder->sig_decode(szPath, true);
    if (!st.bDone)
        loop.exec();
    return st;
}

} // namespace

bool appendMaterialFiles(const QStringList &szPaths, const QList<QPair<int, int>> &rotations, QString *pszError)
{
    AlbumProjectState &st = albumState();
    auto fail = [pszError](int i, const QString &szPath, const QString &szWhy) {
        *pszError = QStringLiteral("material %1 '%2': %3").arg(i).arg(szPath, szWhy);
        return false;
    };

    // Every file is checked before anything is decoded.
    QStringList absolute;
    QSet<QString> seen;
    for (int i = 0; i < szPaths.size(); ++i) {
        const QFileInfo stInfo(szPaths.at(i));
        if (!stInfo.isFile() || !stInfo.isReadable())
            return fail(i, szPaths.at(i), QStringLiteral("not a readable file"));
        if (classifyMaterial(szPaths.at(i)) == 0)
            return fail(i, szPaths.at(i), QStringLiteral("not a supported picture or video type"));
        const QString szPath = QDir::cleanPath(stInfo.absoluteFilePath());
        if (seen.contains(szPath) || st.mapImageSources.contains(szPath))
            return fail(i, szPaths.at(i), QStringLiteral("given twice (a file is in the album once)"));
        seen.insert(szPath);
        absolute.append(szPath);
    }

    QThread thread;
    auto *pDecoder = new ImageDecoder;
    pDecoder->moveToThread(&thread);
    QObject::connect(&thread, &QThread::finished, pDecoder, &QObject::deleteLater);
    thread.start();
    pDecoder->setRunning(true);

    bool bOk = true;
    for (int i = 0; i < absolute.size() && bOk; ++i) {
        const QString &szPath = absolute.at(i);
        const DecodeResult stDecoded = decodeOne(pDecoder, szPath);
        if (!stDecoded.bDecoded) {
            bOk = fail(i, szPaths.at(i), stDecoded.szError);
            break;
        }
        ImageSource stRecord;
        stRecord.szFilePath = szPath;
        stRecord.iSourceType = stDecoded.iSourceType;
        if (stRecord.iSourceType == SourceVideo) {
            stRecord.iDuration = stDecoded.iDuration;
            stRecord.stTimeBase = stDecoded.stTimeBase;
        } else {
            // As the import records an image: the image duration in whole seconds.
            stRecord.iDuration = av_rescale_q(st.iImageDuration, st.stImageDurationTimeBase, AVRational{1, 1});
            stRecord.stTimeBase = AVRational{1, 1};
        }
        stRecord.stWidthToHeight = stDecoded.stWidthToHeight;
        stRecord.stSrcImageSize = stDecoded.stSize;
        for (const auto &stRotation : rotations)
            if (stRotation.first == i)
                stRecord.iRotation = stRotation.second;
        stRecord.pFile = openHeldFile(szPath);
        appendMaterial(stRecord);
    }

    Q_EMIT pDecoder->sig_close(0);
    thread.wait();
    return bOk;
}
