#pragma once

// Owners for FFmpeg objects. Every FFmpeg object the engine creates is held by
// one of these from the moment it exists, so that early returns on error
// paths cannot leak it. Hand an object to a raw-pointer API with get(), give
// it away with release().

#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavfilter/avfilter.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/dict.h>
#include <libavutil/frame.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

struct AVFrameDeleter
{
    void operator()(AVFrame *p) const { av_frame_free(&p); }
};
struct AVPacketDeleter
{
    void operator()(AVPacket *p) const { av_packet_free(&p); }
};
struct AVCodecContextDeleter
{
    void operator()(AVCodecContext *p) const { avcodec_free_context(&p); }
};
struct AVCodecParametersDeleter
{
    void operator()(AVCodecParameters *p) const { avcodec_parameters_free(&p); }
};
// Input containers (openInputFile).
struct AVInputContextDeleter
{
    void operator()(AVFormatContext *p) const { avformat_close_input(&p); }
};
// Output containers (createOutputFile): closes the file, then frees the context.
struct AVOutputContextDeleter
{
    void operator()(AVFormatContext *p) const
    {
        if (!p)
            return;
        if (p->oformat && !(p->oformat->flags & AVFMT_NOFILE))
            avio_closep(&p->pb);
        avformat_free_context(p);
    }
};
struct AVFilterGraphDeleter
{
    void operator()(AVFilterGraph *p) const { avfilter_graph_free(&p); }
};
struct AVFilterInOutDeleter
{
    void operator()(AVFilterInOut *p) const { avfilter_inout_free(&p); }
};
struct AVAudioFifoDeleter
{
    void operator()(AVAudioFifo *p) const { av_audio_fifo_free(p); }
};
struct SwsContextDeleter
{
    void operator()(SwsContext *p) const { sws_freeContext(p); }
};
struct SwrContextDeleter
{
    void operator()(SwrContext *p) const { swr_free(&p); }
};
struct AVDictionaryDeleter
{
    void operator()(AVDictionary *p) const { av_dict_free(&p); }
};

using AVFramePtr = std::unique_ptr<AVFrame, AVFrameDeleter>;
using AVPacketPtr = std::unique_ptr<AVPacket, AVPacketDeleter>;
using AVCodecContextPtr = std::unique_ptr<AVCodecContext, AVCodecContextDeleter>;
using AVCodecParametersPtr = std::unique_ptr<AVCodecParameters, AVCodecParametersDeleter>;
using AVInputContextPtr = std::unique_ptr<AVFormatContext, AVInputContextDeleter>;
using AVOutputContextPtr = std::unique_ptr<AVFormatContext, AVOutputContextDeleter>;
using AVFilterGraphPtr = std::unique_ptr<AVFilterGraph, AVFilterGraphDeleter>;
using AVFilterInOutPtr = std::unique_ptr<AVFilterInOut, AVFilterInOutDeleter>;
using AVAudioFifoPtr = std::unique_ptr<AVAudioFifo, AVAudioFifoDeleter>;
using SwsContextPtr = std::unique_ptr<SwsContext, SwsContextDeleter>;
using SwrContextPtr = std::unique_ptr<SwrContext, SwrContextDeleter>;

// AVDictionary is filled through AVDictionary** calls, so it needs an
// owner that can hand out the address of its pointer.
class AVDictionaryPtr
{
public:
    AVDictionaryPtr() = default;
    explicit AVDictionaryPtr(AVDictionary *p) : m_p(p) {}
    AVDictionaryPtr(const AVDictionaryPtr &) = delete;
    AVDictionaryPtr &operator=(const AVDictionaryPtr &) = delete;
    AVDictionaryPtr(AVDictionaryPtr &&o) noexcept : m_p(o.m_p) { o.m_p = nullptr; }
    AVDictionaryPtr &operator=(AVDictionaryPtr &&o) noexcept
    {
        if (this != &o) {
            av_dict_free(&m_p);
            m_p = o.m_p;
            o.m_p = nullptr;
        }
        return *this;
    }
    ~AVDictionaryPtr() { av_dict_free(&m_p); }

    AVDictionary *get() const { return m_p; }
    // For calls that fill or consume the dictionary (av_dict_set, avcodec_open2).
    AVDictionary **address() { return &m_p; }
    int set(const char *szKey, const char *szValue) { return av_dict_set(&m_p, szKey, szValue, 0); }
    // A private copy of pSource (null copies to an empty dictionary); false when out of memory.
    bool copyFrom(const AVDictionary *pSource)
    {
        av_dict_free(&m_p);
        return av_dict_copy(&m_p, pSource, 0) >= 0;
    }

private:
    AVDictionary *m_p = nullptr;
};

// Allocation shorthands: a null owner means out of memory.
inline AVFramePtr makeFramePtr() { return AVFramePtr(av_frame_alloc()); }
inline AVPacketPtr makePacketPtr() { return AVPacketPtr(av_packet_alloc()); }
