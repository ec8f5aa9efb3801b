#pragma once

// One-shot frame operations.
//
// Each call builds and frees its own filter graph or scaler, which costs far
// more than the frame it produces. Use them once per material or segment
// (preparing an image, the watermark, a transition's end pictures), never per
// output frame: per-frame paths keep a graph from createFilterGraph for the
// whole segment and only push and pull (FilterGraph.h).
//
// All return an FFmpeg error code. On success the destination is
// unreferenced and receives the result; source and destination may be the
// same frame. A video operation handed a frame that carries audio samples
// fails with AVERROR_INVALIDDATA and leaves the destination untouched.

#include <string>

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/pixfmt.h>
#include <libavutil/samplefmt.h>
}

// pTop drawn over pBase with its top-left corner at (x, y); the result has
// pBase's size, pixel format and pts. pTop's alpha is respected.
int overlayFrame(const AVFrame *pBase, AVFrame *pDst, const AVFrame *pTop, int x, int y);

// A frame of one colour (FFmpeg colour syntax: "white", "#D9D9D9",
// "0x202020@0.5"); empty means "white". Colours FFmpeg cannot parse give -22.
int makeColorFrame(AVFrame *pDst, int iWidth, int iHeight, AVPixelFormat ePixelFormat,
                   const std::string &szColor = std::string());

// Scales pSrc to fit the box (fitSize, both sides even) and pads it centred
// to exactly iBoxWidth x iBoxHeight with szPadColor (empty = "black").
// Keeps pSrc's pixel format (scalableFormat).
int scalePadFrame(const AVFrame *pSrc, AVFrame *pDst, int iBoxWidth, int iBoxHeight,
                  const std::string &szPadColor = std::string());

// pSrc in another pixel format (a plain new reference when it already has
// it). pts, pkt_dts, pkt_duration and pict_type are kept.
int convertPixelFormat(const AVFrame *pSrc, AVFrame *pDst, AVPixelFormat ePixelFormat);

// The pixel format pictures of ePixelFormat are scaled, padded and turned
// in: ePixelFormat itself when the scaler writes it in full; otherwise (a
// palette, bits packed below a byte, Bayer and other formats the scaler only
// reads) the nearest one it writes, keeping alpha and grey.
AVPixelFormat scalableFormat(AVPixelFormat ePixelFormat);

// pSrc scaled to iWidth x iHeight in its own pixel format (scalableFormat).
int resizeFrame(const AVFrame *pSrc, AVFrame *pDst, int iWidth, int iHeight);

// pSrc scaled to fitSize(its size, box), no padding, in scalableFormat.
int fitResizeFrame(const AVFrame *pSrc, AVFrame *pDst, int iBoxWidth, int iBoxHeight);

// pSrc through the filters of szDescription (one source, one sink: "hflip",
// "transpose=dir=1,hflip"), in scalableFormat of its own format.
int filterFrame(const AVFrame *pSrc, AVFrame *pDst, const std::string &szDescription);

// iSamples of silence in iChannels channels (default layout for that count).
int makeSilentFrame(AVFrame *pDst, int iChannels, int iSampleRate, AVSampleFormat eSampleFormat, int iSamples);

// Samples iFirstSample .. iFirstSample + iSamples - 1 of the sound frame pSrc,
// in its format, rate and layout, into pDst (which may be pSrc).
int cutAudioFrame(const AVFrame *pSrc, AVFrame *pDst, int iFirstSample, int iSamples);

// The sound frame pSrc made iSamples long by repeating or leaving out single
// samples spread evenly over it (for changes of a few per cent), in its
// format, rate and layout, into pDst (which may be pSrc).
int stretchAudioFrame(const AVFrame *pSrc, AVFrame *pDst, int iSamples);
