#include "media/ffmpeg/SampleFifo.h"

#include <algorithm>

extern "C" {
#include <libavutil/channel_layout.h>
}

int allocSampleFifo(SampleFifo &stFifo, AVSampleFormat eSampleFormat, int iChannels, int iInitialSamples)
{
    if (eSampleFormat < 0 || eSampleFormat >= AV_SAMPLE_FMT_NB || iChannels < 1)
        return AVERROR(EINVAL);
    AVAudioFifoPtr pFifo(av_audio_fifo_alloc(eSampleFormat, iChannels, std::max(iInitialSamples, 1)));
    if (!pFifo)
        return AVERROR(ENOMEM);
    stFifo.pFifo = std::move(pFifo);
    stFifo.eSampleFormat = eSampleFormat;
    stFifo.iChannels = iChannels;
    return 0;
}

int fifoWriteFrame(SampleFifo &stFifo, const AVFrame *pFrame)
{
    if (!stFifo.pFifo || !pFrame)
        return AVERROR(EINVAL);
    if (pFrame->nb_samples < 1)
        return 0;
    if (pFrame->format != stFifo.eSampleFormat || pFrame->ch_layout.nb_channels != stFifo.iChannels
        || !pFrame->extended_data)
        return AVERROR(EINVAL);
    const int iWritten = av_audio_fifo_write(stFifo.pFifo.get(), reinterpret_cast<void **>(pFrame->extended_data),
                                             pFrame->nb_samples);
    if (iWritten < 0)
        return iWritten;
    return iWritten < pFrame->nb_samples ? AVERROR_UNKNOWN : 0;
}

int fifoReadFrame(SampleFifo &stFifo, int iWanted, AVFrame *pDst)
{
    if (iWanted < 1)
        return 0;
    if (!stFifo.pFifo || !pDst)
        return AVERROR(EINVAL);
    const int iSamples = std::min(iWanted, av_audio_fifo_size(stFifo.pFifo.get()));
    if (iSamples < 1)
        return AVERROR(EAGAIN);
    AVFramePtr pFrame = makeFramePtr();
    if (!pFrame)
        return AVERROR(ENOMEM);
    pFrame->nb_samples = iSamples;
    pFrame->format = stFifo.eSampleFormat;
    av_channel_layout_default(&pFrame->ch_layout, stFifo.iChannels);
    int ret = av_frame_get_buffer(pFrame.get(), 0);
    if (ret < 0)
        return ret;
    ret = av_audio_fifo_read(stFifo.pFifo.get(), reinterpret_cast<void **>(pFrame->extended_data), iSamples);
    if (ret < 0)
        return ret;
    if (ret < iSamples)
        return AVERROR_UNKNOWN;
    av_frame_unref(pDst);
    av_frame_move_ref(pDst, pFrame.get());
    return 0;
}
