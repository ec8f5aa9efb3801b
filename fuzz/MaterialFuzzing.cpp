#include "MaterialFuzzing.h"

#include "FuzzSupport.h"
#include "album/MaterialTypes.h"
#include "import/ImageDecoder.h"

void fuzzMaterialFile(const uint8_t *pData, size_t iSize, const char *szSuffix)
{
    // The tier pictures would go to the thumbnail store; the decode up to
    // them and the thumbnail are what files can break.
    static ImageDecoder *s_pDecoder = [] {
        auto *p = new ImageDecoder;
        p->setStoreTierPictures(false);
        QObject::connect(p, &ImageDecoder::sig_decoded, p,
                         [](QString, QPixmap stPixmap, AVRational stRatio, QSize stSize, int iType,
                            int64_t iDuration, AVRational stTimeBase) {
                             if (stSize.width() < 1 || stSize.height() < 1 || stRatio.num < 1 || stRatio.den < 1)
                                 fuzzsupport::fail("a decoded material without a picture size");
                             if (stPixmap.isNull())
                                 fuzzsupport::fail("a decoded material without a thumbnail");
                             if (iType == SourceVideo && (iDuration <= 0 || stTimeBase.num < 1 || stTimeBase.den < 1))
                                 fuzzsupport::fail("a decoded clip without a duration");
                         });
        return p;
    }();
    const QString szPath = fuzzsupport::writeInputFile(pData, iSize, szSuffix);
    s_pDecoder->setRunning(true);
    s_pDecoder->setFileListImpl(QList<QString>{szPath});
    s_pDecoder->checkImpl();
    s_pDecoder->decodeImpl(szPath, false);
}
