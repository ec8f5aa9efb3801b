#pragma once

// How the album's sound is put together, independent of where it goes. The
// export mixes into its audio encoder's format; the preview's sound feeder
// uses the same graphs at the player's format.
//
// Error contract as in the FFmpeg layer: null on failure. Nothing throws.

#include "media/ffmpeg/FilterGraph.h"

#include <cstdint>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavfilter/avfilter.h>
#include <libavutil/channel_layout.h>
#include <libavutil/rational.h>
#include <libavutil/samplefmt.h>
}

namespace recipes {

// Two sounds into one, with amix's defaults: each input at half its level,
// so that one sound fed into both inputs comes out unchanged. The levels
// stay so only while neither input has ended: amix scales by the inputs
// still running.
constexpr const char *kMixerDescription = "[in1][in2]amix[out]";

// The channel mask of FFmpeg's default layout for iChannels; 0 when there is none.
uint64_t defaultChannelMask(int iChannels);
// The layout's mask; the default mask for its channel count when the
// layout is not a plain mask (unknown order, custom).
uint64_t channelMask(const AVChannelLayout &stLayout);

// "aformat=sample_fmts='<format>':sample_rates=<rate>:channel_layouts=<mask>",
// the mask being the default layout for iChannels. Empty for bad arguments.
std::string audioFormatDescription(AVSampleFormat eSampleFormat, int iSampleRate, int iChannels);

// The mixer: sources "in1" and "in2" and sink "out", all in eSampleFormat,
// iSampleRate and iChannelLayout (iChannels), time base stTimeBase. Push
// the same number of samples into both sources, then pull "out" until it is
// empty. Null on failure.
AVFilterGraph *createMixerGraph(AVSampleFormat eSampleFormat, int iSampleRate, uint64_t iChannelLayout, int iChannels,
                                AVRational stTimeBase);

// The source of frames decoded by pDecoder, at stTimeBase (its packet time
// base): its layout, or the default one for its channel count.
FilterInput decodedAudioSource(const std::string &szName, const AVCodecContext *pDecoder, AVRational stTimeBase);

// A decoded sound (stSource, named "in") in the output's sample format, rate
// and channels (audioFormatDescription), sink "out". Null on failure.
AVFilterGraph *createAudioFormatGraph(const FilterInput &stSource, AVSampleFormat eSampleFormat, int iSampleRate,
                                      int iChannels);

} // namespace recipes
