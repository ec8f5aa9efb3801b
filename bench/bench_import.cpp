// Import benchmark: the editor's import (check pass, then batch decode with
// the tier cache and thumbnails) of the files given on the command line,
// through importMaterials(). Prints one "key=value" line per figure; the
// phases that run in the decoding threads ("_thread_ms") are summed over
// those threads.
//
//   bench_import <data folder> <file>...
//
// The thumbnail store goes to <data folder>, never to the user's own.

#include "album/AlbumProjectState.h"
#include "album/MaterialTypes.h"
#include "import/CQSql.h"
#include "import/MaterialImport.h"
#include "media/ffmpeg/EdgeFrames.h"
#include "media/ffmpeg/FFmpegPtr.h"
#include "media/ffmpeg/FrameOps.h"
#include "media/ffmpeg/PictureBytes.h"
#include "media/ffmpeg/SizeMath.h"
#include "online/CQSrvProductInfo.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <cstdio>

extern "C" {
#include <libavutil/pixdesc.h>
}

namespace {

double ms(int64_t iNs)
{
    return iNs / 1e6;
}

void print(const char *szKey, double lfValue)
{
    std::printf("%s=%.1f\n", szKey, lfValue);
}

// PSNR of b against a over every plane (8-bit planar pictures of one size
// and format); infinity when they are the same.
double planarPsnr(const AVFrame *a, const AVFrame *b)
{
    const AVPixFmtDescriptor *pDesc = av_pix_fmt_desc_get(static_cast<AVPixelFormat>(a->format));
    double lfSquares = 0;
    int64_t iSamples = 0;
    for (int p = 0; p < 4 && a->data[p]; ++p) {
        const int iShiftW = p == 1 || p == 2 ? pDesc->log2_chroma_w : 0;
        const int iShiftH = p == 1 || p == 2 ? pDesc->log2_chroma_h : 0;
        const int w = AV_CEIL_RSHIFT(a->width, iShiftW), h = AV_CEIL_RSHIFT(a->height, iShiftH);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const int d = a->data[p][y * a->linesize[p] + x] - b->data[p][y * b->linesize[p] + x];
                lfSquares += d * d;
            }
        iSamples += int64_t(w) * h;
    }
    return lfSquares == 0 ? INFINITY : 10 * std::log10(255.0 * 255.0 * iSamples / lfSquares);
}

// The lowest PSNR of a stored tier picture against the same tier made
// afresh the way the import makes it (each tier from the one before).
double lowestTierPsnr(const QString &szFile)
{
    AVFramePtr pMade = makeFramePtr(), pStored = makeFramePtr(), pCompared = makeFramePtr();
    if (decodeEdgeFrames(QFile::encodeName(szFile).toStdString(), pMade.get()) < 0)
        return 0;
    const int w = pMade->width, h = pMade->height;
    double lfLowest = INFINITY;
    for (const auto &tier : ImageDecoder::importedTiers(SourceImage)) {
        const QSize stSize = fitLongerSide(w, h, tier.second);
        ThumbnailRecord stRecord;
        if (resizeFrame(pMade.get(), pMade.get(), stSize.width(), stSize.height()) < 0
            || !CQSql::instance().findImage(QString::fromLatin1(CQSql::kTableName),
                                            QString::fromLatin1(CQSql::kColumnFlag), szFile + tier.first, stRecord)
            || unpackPicture(stRecord.imageData, pStored.get()) < 0
            || convertPixelFormat(pMade.get(), pCompared.get(), static_cast<AVPixelFormat>(pStored->format)) < 0)
            return 0;
        lfLowest = std::min(lfLowest, planarPsnr(pCompared.get(), pStored.get()));
    }
    return lfLowest;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s <data folder> <file>...\n", argv[0]);
        return 2;
    }
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    CQSrvProductInfo::instance().setBaseFolder(args.at(1));
    const QStringList files = args.mid(2);

    applyEditorDefaults();
    registerAlbumMetaTypes();
    startThumbnailStore();
    const QString szDb = CQSql::instance().databasePath();

    QElapsedTimer timer;
    timer.start();
    const MaterialImportReport st = importMaterials(files);
    const int64_t iTotalNs = timer.nsecsElapsed();

    // The phases run in several threads at once: their times add up to
    // more than the wall time.
    const ImageDecoder::Timings &t = st.stTimings;
    std::printf("files=%d\nsucceeded=%d\nfailed=%d\nfound_4k=%d\nparallel_files=%d\n", int(files.size()),
                st.iSucceeded, st.iFailed, st.bFound4K ? 1 : 0, ImageDecoder::parallelFiles());
    print("total_ms", ms(iTotalNs));
    print("check_ms", ms(t.iCheck));
    print("probe_ms", ms(t.iProbe));
    print("decode_thread_ms", ms(t.iDecode));
    print("scale_thread_ms", ms(t.iScale));
    print("pack_thread_ms", ms(t.iPack));
    print("store_ms", ms(t.iStore));
    print("thumbnail_thread_ms", ms(t.iThumbnail));

    // The store before the exit step removes it.
    const qint64 iDbBytes = QFileInfo(szDb).size();
    std::printf("db_bytes=%lld\n", static_cast<long long>(iDbBytes));
    print("db_mib_per_image", st.iSucceeded > 0 ? iDbBytes / 1048576.0 / st.iSucceeded : 0.0);
    double lfLowestPsnr = INFINITY;
    for (const QString &szFile : files.mid(0, 3))
        lfLowestPsnr = std::min(lfLowestPsnr, lowestTierPsnr(QFileInfo(szFile).absoluteFilePath()));
    print("tier_psnr_lowest_db", lfLowestPsnr);

    timer.restart();
    clearAlbum();
    CQSql::instance().close();
    print("exit_step_ms", ms(timer.nsecsElapsed()));
    std::printf("db_bytes_after_exit=%lld\n", static_cast<long long>(QFileInfo(szDb).size()));
    return st.iSucceeded == files.size() ? 0 : 1;
}
