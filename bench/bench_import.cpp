// Import benchmark: the editor's import (check pass, then batch decode with
// the tier cache and thumbnails) of the files given on the command line,
// through importMaterials(). Prints one "key=value" line per figure.
//
//   bench_import <data folder> <file>...
//
// The thumbnail store goes to <data folder>, never to the user's own.

#include "album/AlbumProjectState.h"
#include "import/CQSql.h"
#include "import/MaterialImport.h"
#include "online/CQSrvProductInfo.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QStringList>

#include <cstdio>

namespace {

double ms(int64_t iNs)
{
    return iNs / 1e6;
}

void print(const char *szKey, double lfValue)
{
    std::printf("%s=%.1f\n", szKey, lfValue);
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

    const ImageDecoder::Timings &t = st.stTimings;
    const int64_t iAccounted = t.iCheck + t.iProbe + t.iDecode + t.iConvert + t.iScale + t.iStore + t.iThumbnail;
    std::printf("files=%d\nsucceeded=%d\nfailed=%d\nfound_4k=%d\n", int(files.size()), st.iSucceeded, st.iFailed,
                st.bFound4K ? 1 : 0);
    print("total_ms", ms(iTotalNs));
    print("check_ms", ms(t.iCheck));
    print("probe_ms", ms(t.iProbe));
    print("decode_ms", ms(t.iDecode));
    print("convert_ms", ms(t.iConvert));
    print("scale_ms", ms(t.iScale));
    print("store_ms", ms(t.iStore));
    print("thumbnail_ms", ms(t.iThumbnail));
    print("other_ms", ms(iTotalNs - iAccounted));

    // The store before the exit step removes it.
    const qint64 iDbBytes = QFileInfo(szDb).size();
    std::printf("db_bytes=%lld\n", static_cast<long long>(iDbBytes));
    print("db_mib_per_image", st.iSucceeded > 0 ? iDbBytes / 1048576.0 / st.iSucceeded : 0.0);

    timer.restart();
    clearAlbum();
    CQSql::instance().close();
    print("exit_step_ms", ms(timer.nsecsElapsed()));
    std::printf("db_bytes_after_exit=%lld\n", static_cast<long long>(QFileInfo(szDb).size()));
    return st.iSucceeded == files.size() ? 0 : 1;
}
