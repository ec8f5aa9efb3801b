#pragma once

// How a material becomes a picture of the album, independent of where the
// picture goes. The export renderer uses these at the export size and the
// encoder's pixel format; the preview renderer uses them at the preview size.
//
// Error contract as in the FFmpeg layer: an FFmpeg error code (0 on success),
// or a null pointer on failure. Nothing throws.

#include "media/ffmpeg/FFmpegPtr.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>

#include <cstdint>
#include <string>

extern "C" {
#include <libavfilter/avfilter.h>
#include <libavformat/avformat.h>
#include <libavutil/frame.h>
#include <libavutil/pixfmt.h>
#include <libavutil/rational.h>
}

struct AlbumProjectState;
struct TransitionEffect;
struct TransitionSegment;

namespace recipes {

// Shows through the transparent parts of a picture.
constexpr const char *kBackdropColor = "#D9D9D9";
// Fills the frame around a picture of another aspect.
constexpr const char *kBarColor = "black";

// Number of frames of a segment lasting iDuration (in stTimeBase) at
// stFrameRate: the duration times the rate, rounded down, in exact integer
// arithmetic. 0 for anything not positive.
int64_t segmentFrameCount(int64_t iDuration, AVRational stTimeBase, AVRational stFrameRate);

// The filter that turns a picture iTurns quarter turns clockwise (taken
// modulo 4, so -1 is three turns); empty for no turn.
const char *quarterTurnFilter(int64_t iTurns);

// How a clip's pictures are turned on their way into the album: stood
// upright as its display matrix (or the first frame's own) asks, then
// turned by the user's iTurns quarter turns clockwise. An orientation in
// EXIF numbering (PictureOrientation.h).
int clipOrientation(const AVStream *pStream, const AVFrame *pFirstFrame, int64_t iTurns);

// The filters that frame an opaque picture of iSourceWidth x iSourceHeight
// in iWidth x iHeight as iFraming asks (FramingFill: scaled to cover,
// centred, the overhang cut; FramingBlur: fitted over a strongly blurred,
// darkened copy of itself scaled to cover), ending in YUV 4:4:4. Stills and
// clips go through the same filters, so a clip's first frame sits where its
// picture sat in the transition before it. Empty for FramingFit (the bars)
// and for sizes that are not positive.
std::string framingDescription(int iFraming, int iSourceWidth, int iSourceHeight, int iWidth, int iHeight);

// The size a picture of w x h is scaled to when framed in W x H as iFraming
// asks: covering the box for FramingFill, fitted into it (fitSize) otherwise.
QSize framedPictureSize(int iFraming, int w, int h, int W, int H);

// The filters that turn a clip's decoded frames of iClipWidth x iClipHeight
// into frames of the album: turned by iOrientation (clipOrientation), ePixelFormat,
// fitted into iWidth x iHeight keeping the aspect (fitSize), centred on
// black bars, at stFrameRate. For a 1920 x 1080 clip at 25 fps:
// "format=pix_fmts='yuv420p',scale=1920:1080,pad=w=1920:h=1080:x=0:y=0:color=black,fps=25".
// A picture at an odd offset in a subsampled format is scaled into YUV
// 4:4:4, padded there and converted after; turned once (orientation 6), the same clip gives
// "transpose=dir=1,scale=606:1080,format=pix_fmts='yuv444p',pad=w=1920:h=1080:x=657:y=0:color=black,
// format=pix_fmts='yuv420p',fps=25".
// With bTransparent (a clip with alpha: an animated sticker) the rate
// conversion comes right after the turn and lays each picture on the
// kBackdropColor backdrop.
// Empty when a size is not positive or the format has no name.
// iFraming other than FramingFit frames the picture with framingDescription
// instead of the bars.
std::string clipFilterDescription(int iOrientation, int iClipWidth, int iClipHeight, int iWidth, int iHeight,
                                  AVPixelFormat ePixelFormat, AVRational stFrameRate, bool bTransparent = false,
                                  int iFraming = 0);

// Ends the input of a clip graph at iEndPts (in its source's time base):
// the end of the last frame, not its start, so that the rate conversion
// still gives the last frame the output frames it covers.
int endClipGraph(AVFilterGraph *pGraph, int64_t iEndPts);

// The graph of clipFilterDescription: source "in" takes the decoded frames
// (their size, pixel shape and format, stTimeBase, the clip's own
// stClipFrameRate), fitted by the size they are shown at; sink
// "out" gives album frames in ePixelFormat, one per 1/stFrameRate of the
// clip's timestamps. Null on failure.
AVFilterGraph *createClipGraph(int iOrientation, int iClipWidth, int iClipHeight, AVRational stPixelAspect,
                               AVPixelFormat eClipFormat, AVRational stTimeBase, AVRational stClipFrameRate,
                               int iWidth, int iHeight, AVPixelFormat ePixelFormat, AVRational stFrameRate,
                               int iFraming = 0);

// Turns pPicture in place by iTurns quarter turns clockwise. A turned picture
// comes out in YUV 4:2:0 (with alpha when it had alpha, so that a
// transparent background still shows the backdrop). *pbConversionFailed
// (optional) tells whether the failing step was the format conversion.
int rotateQuarterTurns(AVFrame *pPicture, int64_t iTurns, bool *pbConversionFailed = nullptr);

// pSource as a frame of the album: fitted into iWidth x iHeight keeping its
// aspect and centred on kBarColor bars (or framed as iFraming asks,
// framingDescription), its transparent parts showing kBackdropColor, in
// ePixelFormat. The result goes to pDst (which may be pSource).
int preparePicture(const AVFrame *pSource, AVFrame *pDst, int iWidth, int iHeight, AVPixelFormat ePixelFormat,
                   int iFraming = 0);

// Which step of loading a material's picture failed.
enum class PictureStep {
    None,
    Decode,          // the file's picture
    Convert,         // into YUV before turning, or into the album's format after fitting
    Turn,            // the user's quarter turns
    Fit,             // preparePicture
};

// A decoded picture of a material (upright as shown) made a picture of the
// album in place: turned by iTurns, prepared (preparePicture) at iWidth x
// iHeight and in ePixelFormat, pts 0.
int makeAlbumPicture(AVFrame *pPicture, int64_t iTurns, int iWidth, int iHeight, AVPixelFormat ePixelFormat,
                     PictureStep *peFailed = nullptr, int iFraming = 0);

// The first (or with bLast the last) picture of the file szPath (UTF-8)
// as a picture of the album (makeAlbumPicture) into pDst.
int loadAlbumPicture(const std::string &szPath, int64_t iTurns, int iWidth, int iHeight, AVPixelFormat ePixelFormat,
                     AVFrame *pDst, PictureStep *peFailed = nullptr, bool bLast = false, int iFraming = 0);

// "[in1][in2]xfade=transition=<name>:offset=<offset>:duration=<seconds>".
// Duration and offset (iOffset in stOffsetTimeBase, seconds by default) are
// given in whole seconds when they are, else exactly.
std::string transitionDescription(const TransitionEffect &stEffect, int64_t iDuration, AVRational stTimeBase,
                                  int64_t iOffset = 0, AVRational stOffsetTimeBase = AVRational{1, 1});

// The format xfade works in for pictures it cannot take plane by plane
// (TransitionFrames): it takes no chroma subsampling, so pictures of any
// other format would be converted for every frame inside the graph.
constexpr AVPixelFormat kTransitionFormat = AV_PIX_FMT_YUV444P;

// The two-source graph of a transition: "in1" the picture before, "in2" the
// picture after, both iWidth x iHeight in eInputFormat (best
// kTransitionFormat: the stills are then converted once, not per frame) at
// stTimeBase and stFrameRate; "out" in eOutputFormat. Push one picture to
// each source with pts iStartFrame, iStartFrame + 1 ... (in stTimeBase) and
// pull one frame per pair: the transition's frames from iStartFrame on,
// exactly as they are when it is run from 0. Null on failure.
// TransitionFrames (TransitionFrames.h) runs it for two pictures.
AVFilterGraph *createTransitionGraph(const TransitionSegment &stSegment, int iWidth, int iHeight,
                                     AVPixelFormat eInputFormat, AVPixelFormat eOutputFormat, AVRational stTimeBase,
                                     AVRational stFrameRate, int64_t iStartFrame = 0);

// The text watermark: the text's bounding size (QFontMetrics), transparent,
// the text drawn antialiased in stColor with alpha 1 - lfTransparency and
// its baseline one ascent below the top. Null for an empty text.
QImage renderTextWatermark(const QString &szText, const QFont &stFont, const QColor &stColor,
                           double lfTransparency);

// "[in1][in2]overlay=:x=<x>:y=<y>,format=pix_fmts='<format>'".
std::string watermarkDescription(int x, int y, AVPixelFormat ePixelFormat);

// The overlay graph that puts pMark at (x, y) on iWidth x iHeight pictures
// in ePixelFormat. Null on failure.
AVFilterGraph *createWatermarkGraph(int iWidth, int iHeight, AVPixelFormat ePixelFormat, const AVFrame *pMark, int x,
                                    int y);

// Which step of a watermark preparation failed.
enum class WatermarkStep {
    None,
    Render,  // drawing the text or making its frame
    Decode,  // decoding the image
    Resize,  // scaling the image to its share of the frame
    Graph,   // building the overlay graph
};

// A prepared watermark: the mark, where it sits and its overlay graph. An
// empty one (no mark) leaves pictures as they are.
struct WatermarkOverlay
{
    AVFramePtr pMark;
    AVFilterGraphPtr pGraph;
    QRect stRect;            // null when there is no watermark
    int64_t iNextPts = 0;    // the overlay pairs picture and mark by timestamp

    bool isActive() const { return pMark && pGraph; }
    void reset()
    {
        pGraph.reset();
        pMark.reset();
        stRect = QRect();
        iNextPts = 0;
    }
};

// Prepares a text watermark at code iPos on an iWidth x iHeight frame. An
// empty text prepares nothing and succeeds.
int prepareTextWatermark(WatermarkOverlay &stOverlay, const QString &szText, const QFont &stFont,
                         const QColor &stColor, double lfTransparency, int iPos, int iWidth, int iHeight,
                         AVPixelFormat ePixelFormat, WatermarkStep *peFailed = nullptr);

// Prepares an image watermark from the picture file szPath (UTF-8), scaled
// to the share of the frame width that the frame's ratio gives. An empty
// path prepares nothing and succeeds.
int prepareImageWatermark(WatermarkOverlay &stOverlay, const std::string &szPath, int iPos, int iWidth,
                          int iHeight, AVPixelFormat ePixelFormat, WatermarkStep *peFailed = nullptr);

// The album's watermark (text or image, as its settings choose; none
// otherwise) for iWidth x iHeight pictures in ePixelFormat. The text's font
// is divided by iFontDivisor, for pictures that size smaller than the export's.
int prepareAlbumWatermark(WatermarkOverlay &stOverlay, const AlbumProjectState &st, int iWidth, int iHeight,
                          AVPixelFormat ePixelFormat, int iFontDivisor = 1, WatermarkStep *peFailed = nullptr);

// pPicture with the watermark, into pOut (which may be pPicture): exactly
// one picture out for each picture in. Without a watermark pOut becomes a
// new reference to pPicture.
int applyWatermarkOverlay(WatermarkOverlay &stOverlay, const AVFrame *pPicture, AVFrame *pOut);

} // namespace recipes
