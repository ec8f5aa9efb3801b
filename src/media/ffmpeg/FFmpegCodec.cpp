#include "media/ffmpeg/FFmpegCodec.h"

#include "media/ffmpeg/FFmpegPtr.h"

AVCodecContext *openDecoder(const AVCodecParameters *pParams, const AVDictionary *pOptions)
{
    if (!pParams)
        return nullptr;
    const AVCodec *pCodec = avcodec_find_decoder(pParams->codec_id);
    if (!pCodec)
        return nullptr;
    AVCodecContextPtr pContext(avcodec_alloc_context3(pCodec));
    if (!pContext)
        return nullptr;
    if (avcodec_parameters_to_context(pContext.get(), pParams) < 0)
        return nullptr;
    AVDictionaryPtr options;
    if (!options.copyFrom(pOptions))
        return nullptr;
    if (avcodec_open2(pContext.get(), pCodec, options.address()) < 0)
        return nullptr;
    return pContext.release();
}

AVCodecContext *openEncoder(const AVCodecParameters *pParams, AVRational stTimeBase, AVRational stFrameRate,
                            int iFlags, const AVDictionary *pOptions)
{
    if (!pParams)
        return nullptr;
    const AVCodec *pCodec = avcodec_find_encoder(pParams->codec_id);
    if (!pCodec)
        return nullptr;
    AVCodecContextPtr pContext(avcodec_alloc_context3(pCodec));
    if (!pContext)
        return nullptr;
    pContext->flags |= iFlags;
    if (avcodec_parameters_to_context(pContext.get(), pParams) < 0)
        return nullptr;
    pContext->time_base = stTimeBase;
    pContext->framerate = stFrameRate;
    AVDictionaryPtr options;
    if (!options.copyFrom(pOptions))
        return nullptr;
    if (avcodec_open2(pContext.get(), pCodec, options.address()) < 0)
        return nullptr;
    return pContext.release();
}

int decodePacket(AVCodecContext *pDecoder, const AVPacket *pPacket, AVFrame *pFrame, bool &bGotFrame)
{
    bGotFrame = false;
    if (!pDecoder || !pFrame)
        return AVERROR(EINVAL);
    int ret = avcodec_send_packet(pDecoder, pPacket);
    if (ret < 0 && ret != AVERROR_EOF)
        return ret;
    AVFramePtr pReceived = makeFramePtr();
    if (!pReceived)
        return AVERROR(ENOMEM);
    ret = avcodec_receive_frame(pDecoder, pReceived.get());
    if (ret == AVERROR(EAGAIN))
        return 0;
    if (ret < 0)
        return ret;
    av_frame_unref(pFrame);
    av_frame_move_ref(pFrame, pReceived.get());
    bGotFrame = true;
    return 0;
}

int encodeFrame(AVCodecContext *pEncoder, const AVFrame *pFrame, AVPacket *pPacket, bool &bGotPacket)
{
    bGotPacket = false;
    if (!pEncoder || !pPacket)
        return AVERROR(EINVAL);
    int ret = avcodec_send_frame(pEncoder, pFrame);
    if (ret < 0 && ret != AVERROR_EOF)
        return ret;
    AVPacketPtr pReceived = makePacketPtr();
    if (!pReceived)
        return AVERROR(ENOMEM);
    ret = avcodec_receive_packet(pEncoder, pReceived.get());
    if (ret == AVERROR(EAGAIN))
        return 0;
    if (ret < 0)
        return ret;
    av_packet_unref(pPacket);
    av_packet_move_ref(pPacket, pReceived.get());
    bGotPacket = true;
    return 0;
}
