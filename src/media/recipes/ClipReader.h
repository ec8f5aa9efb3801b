#pragma once

// A video clip's pictures as pictures of the album, one per frame of the
// album's rate: decoded, stood upright and turned (clipOrientation), fitted
// on black bars and brought to the rate (createClipGraph). The export reads
// a clip from its start; the preview may start anywhere inside it.
//
// Error contract as in the FFmpeg layer; nothing throws.

#include "media/ffmpeg/FFmpegPtr.h"

#include <cstdint>
#include <functional>
#include <string>

extern "C" {
#include <libavutil/pixfmt.h>
#include <libavutil/rational.h>
}

namespace recipes {

class ClipReader
{
public:
    enum class Step {
        None,
        Open,      // opening the file or reading its stream information
        NoStream,  // no picture stream
        NoDecoder,
        Graph,     // the graph that fits the pictures
        Read,      // reading, decoding or filtering
    };

    // Tested before every packet: when it says stop, the call returns AVERROR(EINTR).
    void setInterrupt(std::function<bool()> fnStop) { m_fnStop = std::move(fnStop); }

    // Opens the clip szPath (UTF-8) for pictures turned by iTurns quarter
    // turns, iWidth x iHeight, in ePixelFormat, at stFrameRate, framed as
    // iFraming asks (FramingFit, FramingFill, FramingBlur).
    int open(const std::string &szPath, int64_t iTurns, int iWidth, int iHeight, AVPixelFormat ePixelFormat,
             AVRational stFrameRate, int iFraming = 0);
    // Makes album frame iFrame (counted from the clip's start at the album's
    // rate) the next one: the clip is sought to its start time plus that
    // offset, and the pictures before it are left out. Past the clip's last
    // picture, that picture comes next.
    int seekToFrame(int64_t iFrame);
    // The next picture into pOut: 1, or 0 once the clip has no more.
    int next(AVFrame *pOut);

    AVFormatContext *input() const { return m_pInput.get(); }
    Step failedStep() const { return m_eFailed; }

private:
    int fail(int iCode, Step eStep);
    int fill(AVFrame *pOut);
    int decodeInto(bool *pbEnded);
    int filter(AVFrame *pDecoded);
    int seekToKeyFrame(int64_t iStart, int64_t iTarget);
    int openInput();
    void resetDecoding();

    std::function<bool()> m_fnStop;
    std::string m_szPath;
    AVInputContextPtr m_pInput;
    AVStream *m_pStream = nullptr;         // owned by m_pInput
    AVCodecContextPtr m_pDecoder;
    AVFilterGraphPtr m_pGraph;             // built for the first decoded frame
    AVPacketPtr m_pPacket;
    AVFramePtr m_pDecoded;
    AVFramePtr m_pSkipped;                 // the latest picture left out before the target
    AVFramePtr m_pHeld;                    // the latest decoded frame well before the target, not filtered
    int64_t m_iTurns = 0;
    int m_iWidth = 0;
    int m_iHeight = 0;
    int m_iFraming = 0;
    AVPixelFormat m_ePixelFormat = AV_PIX_FMT_NONE;
    AVRational m_stFrameRate{0, 1};
    int64_t m_iLastPts = AV_NOPTS_VALUE;
    int64_t m_iEndPts = AV_NOPTS_VALUE;    // where the latest frame ends
    int64_t m_iTargetPts = AV_NOPTS_VALUE; // pictures out of the graph before this are left out
    int64_t m_iSkipBefore = AV_NOPTS_VALUE; // decoded frames ending before this are held back
    bool m_bPacketPending = false;         // m_pPacket was read by a seek and waits for the decoder
    bool m_bWaitForKey = false;            // after a seek: packets before a key frame are left out
    bool m_bDraining = false;              // the demuxer ended; the decoder gives what it holds
    bool m_bGraphClosed = false;           // the end has been pushed into the graph
    Step m_eFailed = Step::None;
};

} // namespace recipes
