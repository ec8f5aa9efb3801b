#include "media/ffmpeg/PictureBytes.h"

#include "media/ffmpeg/FFmpegCodec.h"
#include "media/ffmpeg/FFmpegPtr.h"
#include "media/ffmpeg/FrameOps.h"

#include <cstring>
#include <string>

extern "C" {
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
}

namespace {

bool hasAlpha(AVPixelFormat eFormat)
{
    const AVPixFmtDescriptor *pDesc = av_pix_fmt_desc_get(eFormat);
    return pDesc && (pDesc->flags & (AV_PIX_FMT_FLAG_ALPHA | AV_PIX_FMT_FLAG_PAL));
}

// The JPEG format closest to eFormat: its chroma subsampling where JPEG has
// it, 4:4:4 for everything else (RGB, grey, odd subsamplings).
AVPixelFormat jpegFormatFor(AVPixelFormat eFormat)
{
    const AVPixFmtDescriptor *pDesc = av_pix_fmt_desc_get(eFormat);
    const bool bYuv = pDesc && !(pDesc->flags & AV_PIX_FMT_FLAG_RGB) && pDesc->nb_components >= 3;
    if (bYuv && pDesc->log2_chroma_w == 1 && pDesc->log2_chroma_h == 1)
        return AV_PIX_FMT_YUVJ420P;
    if (bYuv && pDesc->log2_chroma_w == 1 && pDesc->log2_chroma_h == 0)
        return AV_PIX_FMT_YUVJ422P;
    return AV_PIX_FMT_YUVJ444P;
}

int encodeOnce(AVCodecID eCodec, const AVFrame *pPicture, AVDictionary *pOptions, int iFlags, int iQuality,
               QByteArray &out)
{
    AVCodecParametersPtr pParams(avcodec_parameters_alloc());
    if (!pParams)
        return AVERROR(ENOMEM);
    pParams->codec_type = AVMEDIA_TYPE_VIDEO;
    pParams->codec_id = eCodec;
    pParams->width = pPicture->width;
    pParams->height = pPicture->height;
    pParams->format = pPicture->format;
    if (eCodec == AV_CODEC_ID_MJPEG)
        pParams->color_range = AVCOL_RANGE_JPEG;
    AVCodecContextPtr pEncoder(openEncoder(pParams.get(), AVRational{1, 25}, AVRational{25, 1}, iFlags, pOptions));
    if (!pEncoder)
        return AVERROR(EINVAL);
    AVFramePtr pIn(av_frame_clone(pPicture));
    AVPacketPtr pPacket = makePacketPtr();
    if (!pIn || !pPacket)
        return AVERROR(ENOMEM);
    pIn->pts = 0;
    pIn->quality = iQuality;
    pIn->pict_type = AV_PICTURE_TYPE_NONE;
    bool bGot = false;
    int ret = encodeFrame(pEncoder.get(), pIn.get(), pPacket.get(), bGot);
    if (ret >= 0 && !bGot)
        ret = encodeFrame(pEncoder.get(), nullptr, pPacket.get(), bGot);
    if (ret < 0)
        return ret;
    if (!bGot || pPacket->size <= 0)
        return AVERROR_EXTERNAL;
    out = QByteArray(reinterpret_cast<const char *>(pPacket->data), pPacket->size);
    return 0;
}

} // namespace

QByteArray packPicture(const AVFrame *pPicture, int *pError)
{
    const auto failed = [pError](int iCode) {
        if (pError)
            *pError = iCode;
        return QByteArray();
    };
    if (!pPicture || pPicture->width < 1 || pPicture->height < 1 || pPicture->format < 0 || !pPicture->data[0])
        return failed(AVERROR(EINVAL));
    const AVPixelFormat eFormat = static_cast<AVPixelFormat>(pPicture->format);
    const bool bPng = hasAlpha(eFormat);
    const AVPixelFormat eTarget = bPng ? AV_PIX_FMT_RGBA : jpegFormatFor(eFormat);
    AVFramePtr pConverted = makeFramePtr();
    if (!pConverted)
        return failed(AVERROR(ENOMEM));
    int ret = convertPixelFormat(pPicture, pConverted.get(), eTarget);
    if (ret < 0)
        return failed(ret);

    AVDictionaryPtr options;
    QByteArray bytes;
    if (bPng) {
        // Speed over the last few per cent: the store lives for one run.
        if (options.set("compression_level", "1") < 0)
            return failed(AVERROR(ENOMEM));
        ret = encodeOnce(AV_CODEC_ID_PNG, pConverted.get(), options.get(), 0, 0, bytes);
    } else {
        // Quantiser 1 keeps the noise of a photo; the standard Huffman tables
        // spare a second pass over the coefficients for a tenth more bytes.
        const std::string szLambda = std::to_string(FF_QP2LAMBDA);
        if (options.set("huffman", "default") < 0 || options.set("qmin", "1") < 0 || options.set("qmax", "1") < 0
            || options.set("global_quality", szLambda.c_str()) < 0 || options.set("threads", "1") < 0)
            return failed(AVERROR(ENOMEM));
        ret = encodeOnce(AV_CODEC_ID_MJPEG, pConverted.get(), options.get(), AV_CODEC_FLAG_QSCALE, FF_QP2LAMBDA,
                         bytes);
    }
    if (ret < 0)
        return failed(ret);
    if (pError)
        *pError = 0;
    return bytes;
}

namespace {

AVCodecID packedCodec(const QByteArray &bytes)
{
    static const char kPngSignature[] = "\x89PNG\r\n\x1a\n";
    if (bytes.size() < 8)
        return AV_CODEC_ID_NONE;
    if (std::memcmp(bytes.constData(), kPngSignature, 8) == 0)
        return AV_CODEC_ID_PNG;
    if (quint8(bytes[0]) == 0xFF && quint8(bytes[1]) == 0xD8)
        return AV_CODEC_ID_MJPEG;
    return AV_CODEC_ID_NONE;
}

} // namespace

bool isPackedPicture(const QByteArray &bytes)
{
    return packedCodec(bytes) != AV_CODEC_ID_NONE;
}

int unpackPicture(const QByteArray &bytes, AVFrame *pDst)
{
    const AVCodecID eCodec = packedCodec(bytes);
    if (!pDst || eCodec == AV_CODEC_ID_NONE)
        return AVERROR_INVALIDDATA;

    AVCodecParametersPtr pParams(avcodec_parameters_alloc());
    AVPacketPtr pPacket = makePacketPtr();
    AVFramePtr pFrame = makeFramePtr();
    if (!pParams || !pPacket || !pFrame)
        return AVERROR(ENOMEM);
    pParams->codec_type = AVMEDIA_TYPE_VIDEO;
    pParams->codec_id = eCodec;
    AVDictionaryPtr options;
    if (options.set("threads", "1") < 0)
        return AVERROR(ENOMEM);
    AVCodecContextPtr pDecoder(openDecoder(pParams.get(), options.get()));
    if (!pDecoder)
        return AVERROR_DECODER_NOT_FOUND;
    // The decoder reads a little past the end of a packet.
    int ret = av_new_packet(pPacket.get(), bytes.size());
    if (ret < 0)
        return ret;
    std::memcpy(pPacket->data, bytes.constData(), size_t(bytes.size()));
    bool bGot = false;
    ret = decodePacket(pDecoder.get(), pPacket.get(), pFrame.get(), bGot);
    if (ret >= 0 && !bGot)
        ret = decodePacket(pDecoder.get(), nullptr, pFrame.get(), bGot);
    if (ret < 0)
        return ret;
    if (!bGot)
        return AVERROR_INVALIDDATA;
    pFrame->pts = 0;
    av_frame_unref(pDst);
    av_frame_move_ref(pDst, pFrame.get());
    return 0;
}
