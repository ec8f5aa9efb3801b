#include "media/export/ContainerLimits.h"

#include "media/ffmpeg/FFmpegFormat.h"

#include <cstdlib>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace {

bool isMuxer(const AVOutputFormat *pFormat, const char *szName)
{
    return pFormat && std::strcmp(pFormat->name, szName) == 0;
}

// GIF stores each picture's delay in hundredths of a second, and viewers
// stretch delays below 2/100 s to a tenth of a second. At most 50 frames
// per second therefore play as written.
constexpr int kGifMaxFrameRate = 50;

// FLV keeps MP3 only at these rates (its header has no code for the others).
constexpr int kFlvMp3Rates[] = {44100, 22050, 11025, 0};

} // namespace

int nearestListedRate(const int *pRates, int iWanted)
{
    if (!pRates || !pRates[0])
        return iWanted;
    int iBest = pRates[0];
    for (const int *p = pRates; *p; ++p) {
        if (*p == iWanted)
            return *p;
        if (std::abs(*p - iWanted) < std::abs(iBest - iWanted))
            iBest = *p;
    }
    return iBest;
}

OutputSettings settingsForOutput(const std::string &szPath, const OutputSettings &stWanted)
{
    OutputSettings st = stWanted;
    const AVOutputFormat *pFormat = av_guess_format(nullptr, szPath.c_str(), nullptr);

    // Video.
    if (isMuxer(pFormat, "gif") && st.stFrameRate.den > 0
        && static_cast<int64_t>(st.stFrameRate.num) > static_cast<int64_t>(kGifMaxFrameRate) * st.stFrameRate.den)
        st.stFrameRate = AVRational{kGifMaxFrameRate, 1};

    // Audio: first what the encoder lists, then what the container keeps.
    const AVCodecID eAudio = guessCodecId(szPath, AVMEDIA_TYPE_AUDIO);
    const AVCodec *pAudio = eAudio == AV_CODEC_ID_NONE ? nullptr : avcodec_find_encoder(eAudio);
    if (pAudio)
        st.iSampleRate = nearestListedRate(pAudio->supported_samplerates, st.iSampleRate);
    if (isMuxer(pFormat, "flv") && eAudio == AV_CODEC_ID_MP3)
        st.iSampleRate = nearestListedRate(kFlvMp3Rates, st.iSampleRate);
    return st;
}
