#include "media/recipes/AudioRecipes.h"

#include <sstream>

namespace recipes {

uint64_t defaultChannelMask(int iChannels)
{
    if (iChannels < 1)
        return 0;
    AVChannelLayout stLayout;
    av_channel_layout_default(&stLayout, iChannels);
    const uint64_t iMask = stLayout.order == AV_CHANNEL_ORDER_NATIVE ? stLayout.u.mask : 0;
    av_channel_layout_uninit(&stLayout);
    return iMask;
}

uint64_t channelMask(const AVChannelLayout &stLayout)
{
    if (stLayout.order == AV_CHANNEL_ORDER_NATIVE && stLayout.u.mask)
        return stLayout.u.mask;
    return defaultChannelMask(stLayout.nb_channels);
}

std::string audioFormatDescription(AVSampleFormat eSampleFormat, int iSampleRate, int iChannels)
{
    const char *szFormat = av_get_sample_fmt_name(eSampleFormat);
    const uint64_t iMask = defaultChannelMask(iChannels);
    if (!szFormat || iSampleRate < 1 || !iMask)
        return std::string();
    std::ostringstream description;
    description << "aformat=sample_fmts='" << szFormat << "'"
                << ":sample_rates=" << iSampleRate << ":channel_layouts=" << iMask;
    return description.str();
}

AVFilterGraph *createMixerGraph(AVSampleFormat eSampleFormat, int iSampleRate, uint64_t iChannelLayout, int iChannels,
                                AVRational stTimeBase)
{
    if (eSampleFormat < 0 || iSampleRate < 1 || iChannels < 1 || stTimeBase.num < 1 || stTimeBase.den < 1)
        return nullptr;
    const FilterInput stIn1("in1", iChannelLayout, iChannels, eSampleFormat, stTimeBase, iSampleRate);
    FilterInput stIn2 = stIn1;
    stIn2.szName = "in2";
    return createFilterGraph(kMixerDescription, std::vector<FilterInput>{stIn1, stIn2},
                             FilterOutput("out", eSampleFormat));
}

FilterInput decodedAudioSource(const std::string &szName, const AVCodecContext *pDecoder, AVRational stTimeBase)
{
    if (!pDecoder)
        return FilterInput();
    return FilterInput(szName, channelMask(pDecoder->ch_layout), pDecoder->ch_layout.nb_channels,
                       pDecoder->sample_fmt, stTimeBase, pDecoder->sample_rate);
}

AVFilterGraph *createAudioFormatGraph(const FilterInput &stSource, AVSampleFormat eSampleFormat, int iSampleRate,
                                      int iChannels)
{
    const std::string szDescription = audioFormatDescription(eSampleFormat, iSampleRate, iChannels);
    if (szDescription.empty() || stSource.iType != AVMEDIA_TYPE_AUDIO || stSource.iFormat < 0
        || stSource.iSampleRate < 1 || stSource.iChannels < 1)
        return nullptr;
    FilterInput stIn = stSource;
    stIn.szName = "in";
    return createFilterGraph(szDescription, stIn, FilterOutput("out", eSampleFormat));
}

} // namespace recipes
