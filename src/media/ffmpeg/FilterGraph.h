#pragma once

// Filter graphs described by text, with named buffer sources and sinks.
//
// Usage on per-frame paths: build the graph once for a whole segment with
// createFilterGraph, then only pushFrameToFilter / pullFrameFromFilter per
// frame, and free it (avfilter_graph_free / AVFilterGraphPtr) when the
// segment ends. Building a graph costs far more than running a frame through.
//
// Names used throughout the engine: one source "in" and sink "out"; two
// sources "in1" and "in2" (descriptions start with "[in1][in2]") and sink
// "out". Unlabelled pads link to the single source or sink.

#include <cstdint>
#include <string>
#include <vector>

extern "C" {
#include <libavfilter/avfilter.h>
#include <libavutil/dict.h>
#include <libavutil/frame.h>
#include <libavutil/pixfmt.h>
#include <libavutil/samplefmt.h>
}

// One buffer source ("buffer" for video, "abuffer" for audio).
struct FilterInput
{
    int iFormat = -1;               // pixel format (video) or sample format (audio)
    int iWidth = 0;
    int iHeight = 0;
    uint64_t iChannelLayout = 0;    // audio channel mask
    int iSampleRate = 0;
    int iChannels = 0;
    AVRational stTimeBase{1, 1};
    AVRational stFrameRate{0, 1};   // video
    AVRational stPixelAspect{0, 1}; // video sample aspect ratio
    std::string szName;             // instance name and the label it is linked by
    int iType = AVMEDIA_TYPE_VIDEO;

    FilterInput() = default;
    // Video source.
    FilterInput(std::string szSourceName, int iSourceWidth, int iSourceHeight, AVPixelFormat ePixelFormat,
                AVRational stSourceTimeBase, AVRational stSourceFrameRate, AVRational stSourcePixelAspect);
    // Audio source.
    FilterInput(std::string szSourceName, uint64_t iSourceChannelLayout, int iSourceChannels,
                AVSampleFormat eSampleFormat, AVRational stSourceTimeBase, int iSourceSampleRate);
};

// One buffer sink ("buffersink" / "abuffersink") accepting a single format.
struct FilterOutput
{
    int iFormat = -1;
    std::string szName;
    int iType = AVMEDIA_TYPE_VIDEO;

    FilterOutput() = default;
    FilterOutput(std::string szSinkName, AVPixelFormat ePixelFormat);   // video
    FilterOutput(std::string szSinkName, AVSampleFormat eSampleFormat); // audio
};

// The argument string of the buffer source for stInput, e.g.
// "video_size=1920x1080:pix_fmt=0:time_base=1/25:pixel_aspect=0/1:frame_rate=25/1" or
// "sample_rate=44100:sample_fmt=8:time_base=1/44100:channel_layout=3:channels=2".
std::string bufferSourceArgs(const FilterInput &stInput);

// Builds and configures the graph. Null on any failure (nothing leaks),
// including source and sink names that are empty or given twice.
// pOptions are graph options (threads, ...), copied.
AVFilterGraph *createFilterGraph(const std::string &szDescription, const std::vector<FilterInput> &inputs,
                                 const std::vector<FilterOutput> &outputs, const AVDictionary *pOptions = nullptr);
// One source, one sink.
AVFilterGraph *createFilterGraph(const std::string &szDescription, const FilterInput &stInput,
                                 const FilterOutput &stOutput);
// No source (generators such as "color"), one sink.
AVFilterGraph *createFilterGraph(const std::string &szDescription, const FilterOutput &stOutput);
// Several sources, one sink.
AVFilterGraph *createFilterGraph(const std::string &szDescription, const std::vector<FilterInput> &inputs,
                                 const FilterOutput &stOutput);

// Adds a new reference to pFrame to source szSource; null marks the end of
// the stream. -22 for a null graph or an unknown source; AVERROR_INVALIDDATA
// for an audio frame at a video source or the other way round.
int pushFrameToFilter(AVFilterGraph *pGraph, const std::string &szSource, const AVFrame *pFrame);

// Takes one frame from sink szSink. 0 with bGotFrame false: nothing yet.
// 0 with bGotFrame true: pFrame was unreferenced and holds the frame.
// AVERROR_EOF after the last frame; -22 for a null graph or unknown sink.
int pullFrameFromFilter(AVFilterGraph *pGraph, const std::string &szSink, AVFrame *pFrame, bool &bGotFrame);
