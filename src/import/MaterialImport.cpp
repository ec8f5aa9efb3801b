#include "import/MaterialImport.h"

#include "import/CQSql.h"
#include "import/MaterialAppender.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>

#include <atomic>

QString MaterialImportReport::filteredMessage() const
{
    if (filteredCount() <= 0)
        return QString();
    return QCoreApplication::translate(
               "VistaloClass", "%1 files that cannot be added or already exist in the list have been filtered for you")
        .arg(filteredCount());
}

QString MaterialImportReport::fourKWarning()
{
    return QCoreApplication::translate("VistaloClass", "One of the added materials is larger than 4K; reading it "
                                                       "may fail or crash the program.")
        + QLatin1Char('\n')
        + QCoreApplication::translate("VistaloClass", "Please adjust the material before adding it.");
}

namespace {

std::atomic<bool> g_bStoreStarted{false};

} // namespace

void startThumbnailStore()
{
    static const bool s_bStarted = [] {
        CQSql::removeDatabaseFile();
        CQSql::instance();
        return true;
    }();
    Q_UNUSED(s_bStarted);
    g_bStoreStarted.store(true);
}

bool thumbnailStoreStarted()
{
    return g_bStoreStarted.load();
}

MaterialImportReport importMaterials(const QStringList &inputs, ImportInput eKind, bool bStoreTierPictures)
{
    if (bStoreTierPictures)
        startThumbnailStore();

    QThread thread;
    auto *pDecoder = new ImageDecoder;
    MaterialAppender appender(pDecoder);
    pDecoder->moveToThread(&thread);
    thread.start();

    MaterialImportReport stReport;
    QEventLoop loop;
    // Queued: the appends posted before the end of the batch run first.
    QObject::connect(pDecoder, &ImageDecoder::sig_checkFinished, &loop,
                     [&](bool bShowTip) {
                         stReport.bFound4K = bShowTip;
                         loop.quit();
                     },
                     Qt::QueuedConnection);
    QObject::connect(pDecoder, &ImageDecoder::sig_batchDecodeFinished, &loop, [&]() { loop.quit(); },
                     Qt::QueuedConnection);

    pDecoder->setRunning(true);
    pDecoder->setExpandFolders(eKind == ImportInput::DroppedItems);
    pDecoder->setStoreTierPictures(bStoreTierPictures);
    if (eKind == ImportInput::Folders)
        emit pDecoder->sig_setFileDir(inputs);
    else
        emit pDecoder->sig_setFileList(QList<QString>(inputs));
    emit pDecoder->sig_check();
    loop.exec();

    pDecoder->setRunning(true);
    emit pDecoder->sig_batchDecode();
    loop.exec();

    stReport.iSucceeded = pDecoder->succeededCount();
    stReport.iFailed = pDecoder->failedCount();
    stReport.iDuplicate = pDecoder->duplicateCount();
    stReport.iTotal = pDecoder->totalCount();
    stReport.stTimings = pDecoder->timings();
    stReport.iDecodedFiles = pDecoder->decodedFileCount();

    emit pDecoder->sig_close(0);
    thread.wait();
    // The thread has ended, so nothing else can touch the decoder now.
    delete pDecoder;
    return stReport;
}
