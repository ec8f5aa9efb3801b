#include "media/ffmpeg/MusicProbe.h"

#include "media/ffmpeg/FFmpegFormat.h"
#include "media/ffmpeg/FFmpegPtr.h"

extern "C" {
#include <libavutil/mathematics.h>
}

int probeMp3Music(const std::string &szPath, int64_t *piDurationUs)
{
    if (piDurationUs)
        *piDurationUs = 0;
    int iError = 0;
    const AVInputContextPtr pInput(openInputFile(szPath, nullptr, nullptr, &iError));
    if (!pInput)
        return iError < 0 ? iError : AVERROR(EINVAL);
    iError = findStreamInfo(pInput.get());
    if (iError < 0)
        return iError;
    const AVStream *pStream = findFirstStream(pInput.get(), AVMEDIA_TYPE_AUDIO);
    if (!pStream)
        return AVERROR_STREAM_NOT_FOUND;
    // Another sound renamed to .mp3 would play in the preview but is not
    // what the user was asked for.
    if (pStream->codecpar->codec_id != AV_CODEC_ID_MP3)
        return AVERROR_INVALIDDATA;
    int64_t iDurationUs = 0;
    if (pStream->duration != AV_NOPTS_VALUE && pStream->duration > 0)
        iDurationUs = av_rescale_q(pStream->duration, pStream->time_base, AVRational{1, 1000000});
    else if (pInput->duration != AV_NOPTS_VALUE && pInput->duration > 0)
        iDurationUs = av_rescale_q(pInput->duration, AVRational{1, AV_TIME_BASE}, AVRational{1, 1000000});
    if (iDurationUs <= 0)
        return AVERROR(EINVAL);
    if (piDurationUs)
        *piDurationUs = iDurationUs;
    return 0;
}
