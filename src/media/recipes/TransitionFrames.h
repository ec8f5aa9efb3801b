#pragma once

// The frames of one transition between two still pictures of the album (the
// last picture of a material and the first of the next), for the export and
// the preview alike.
//
// xfade takes no chroma-subsampled format. Pictures in YUV 4:2:0 therefore
// go through it plane by plane at each plane's own size: the luma plane as a
// grey picture, the two chroma planes as one 4:4:4 picture of half the size
// (its first plane is the U plane once more and is thrown away; a 4:4:4
// picture, not a grey one, so that xfade's black and grey are neutral for
// chroma). The transitions measure their shapes relative to the frame, so
// the chroma is the same transition at chroma resolution. That is half the
// samples of a transition in 4:4:4 and no format conversion per frame.
// Pictures in other formats are converted to 4:4:4 once and the graph
// converts each frame back.
//
// For the transitions TransitionPainter knows, the planes are painted by it
// instead of by xfade: the same pixels, at a fraction of the work.

#include "media/ffmpeg/FFmpegPtr.h"

#include <cstdint>
#include <functional>
#include <memory>

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/rational.h>
}

struct TransitionSegment;

namespace recipes {

class TransitionPainter;

class TransitionFrames
{
public:
    enum class Step {
        None,
        Convert,   // putting a picture into the transition's format
        Graph,     // building a graph
        Push,      // handing the pictures to a graph
        Pull,      // taking a frame from a graph
    };

    // Who makes the frames: the painter where it knows the transition, or
    // xfade always (the reference the painter is held to).
    enum class Maker { Fastest, Filter };

    // pFrom and pTo: the two pictures, of the same size and format (the
    // album's). Their pictures are referenced, not copied. The frames at
    // stFrameRate in stTimeBase follow with frame(), from iStartFrame on.
    int open(const TransitionSegment &stSegment, const AVFrame *pFrom, const AVFrame *pTo, AVRational stTimeBase,
             AVRational stFrameRate, int64_t iStartFrame = 0, Maker eMaker = Maker::Fastest);
    // Frame i (iStartFrame, iStartFrame + 1 ... in order) of the transition
    // into pOut, in the pictures' format and size.
    int frame(int64_t i, AVFrame *pOut);
    // The picture of transition frame i on one side, into pOut.
    using PictureAt = std::function<int(int64_t i, AVFrame *pOut)>;
    // Pictures that move: before each frame the two sides are asked for
    // theirs, in the size and format of the pictures open() was given.
    void followPictures(PictureAt fnFrom, PictureAt fnTo);
    // Which step the last failure of open() or frame() was.
    Step failedStep() const { return m_eFailed; }
    // True when pictures of this format and size go plane by plane: YUV
    // 4:2:0 of even sides (with an odd side the chroma plane is not exactly
    // half the picture and its shapes would sit half a sample off).
    static bool goesByPlanes(int iFormat, int iWidth, int iHeight);

private:
    int fail(int iCode, Step eStep);
    int openByPlanes(const TransitionSegment &stSegment, const AVFrame *pFrom, const AVFrame *pTo,
                     AVRational stTimeBase, AVRational stFrameRate, int64_t iStartFrame, Maker eMaker);
    int openWhole(const TransitionSegment &stSegment, const AVFrame *pFrom, const AVFrame *pTo,
                  AVRational stTimeBase, AVRational stFrameRate, int64_t iStartFrame);
    static int pushPair(AVFilterGraph *pGraph, AVFrame *pFrom, AVFrame *pTo, int64_t i);
    int paintFrame(int64_t i, AVFrame *pOut);
    // Puts new pictures where the frames are made from.
    int takePictures(const AVFrame *pFrom, const AVFrame *pTo);

    bool m_bByPlanes = false;
    AVFilterGraphPtr m_pGraph;          // the whole picture, or the luma plane
    AVFilterGraphPtr m_pChromaGraph;    // by planes: U and V
    AVFramePtr m_pFrom, m_pTo;          // what goes into m_pGraph, or the pictures the painter reads
    AVFramePtr m_pFromChroma, m_pToChroma;
    AVFramePtr m_pLuma, m_pChroma;      // by planes: what came out
    AVFramePtr m_pColors;               // by planes: the first picture, for its colour description
    PictureAt m_fnFrom, m_fnTo;         // moving pictures, asked for every frame
    AVFramePtr m_pMovedFrom, m_pMovedTo;
    std::shared_ptr<TransitionPainter> m_pPainter;   // by planes, when it knows the transition
    int64_t m_iPaintedFrames = 0;       // the transition's length as xfade counts it
    int64_t m_iPaintedFirst = 0;        // xfade's count at frame 0
    int m_iWidth = 0;
    int m_iHeight = 0;
    int m_iFormat = -1;
    Step m_eFailed = Step::None;
};

} // namespace recipes
