#pragma once

// Photos that move while they are on screen: each zooms slowly in or out
// (the next one the other way) toward a point of its own, through the
// transitions on either side of it. A moving photo is prepared once at a
// size larger than the frame (motionSourceSize), so that the closest view
// still takes one of its pixels per pixel of the frame; each frame is a
// window of it, placed at sub-pixel precision and resampled, so that the
// picture glides instead of stepping from pixel to pixel.
//
// The window depends only on the share of its time on screen a frame is
// at, so the preview at 25 frames a second and its own size shows what the
// export writes at its rate and size.

#include "media/ffmpeg/FFmpegPtr.h"
#include "media/recipes/TransitionFrames.h"

#include <QSize>

#include <cstdint>

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/pixfmt.h>
#include <libavutil/rational.h>
}

namespace recipes {

class AlbumTimeline;
struct TimelineSegment;

// The closest view of a moving photo: its picture at this share of the frame's size.
constexpr double kMotionZoom = 1.12;

// Part of a moving photo's picture a frame shows, as fractions of that picture.
struct MotionWindow
{
    double lfLeft = 0.0;
    double lfTop = 0.0;
    double lfWidth = 1.0;
    double lfHeight = 1.0;
};

// Photo iPhoto's window at lfProgress (0 when it comes on screen, 1 when
// it has gone): photos 0, 2, 4 ... zoom in, the others out, each toward a
// point drawn from iSeed and its number.
MotionWindow motionWindow(uint32_t iSeed, int iPhoto, double lfProgress);

// The size of the picture a moving photo's frames are cut from, for frames
// of iWidth x iHeight: larger by kMotionZoom, even.
QSize motionSourceSize(int iWidth, int iHeight);

// The window stWindow of pSource (YUV 4:2:0) resampled bilinearly into a new
// iWidth x iHeight picture in pOut, with pSource's properties.
int paintMotionWindow(const AVFrame *pSource, const MotionWindow &stWindow, int iWidth, int iHeight, AVFrame *pOut);

// The size material iMaterial of stTimeline is prepared at for frames of
// iWidth x iHeight: motionSourceSize when it moves, the frame's otherwise.
QSize albumPictureSize(const AlbumTimeline &stTimeline, int iMaterial, int iWidth, int iHeight);
// The pixel format it is prepared in for frames in eFormat: eFormat, or
// for a moving photo in a format the painter does not read, YUV 4:2:0.
AVPixelFormat albumPictureFormat(const AlbumTimeline &stTimeline, int iMaterial, AVPixelFormat eFormat);

// What material iMaterial shows at album frame iFrame, given its prepared
// picture pPicture: the window of that frame in iWidth x iHeight and
// eFormat when the material moves, or a new reference to pPicture.
int shownPicture(const AlbumTimeline &stTimeline, int iMaterial, const AVFrame *pPicture, int64_t iFrame, int iWidth,
                 int iHeight, AVPixelFormat eFormat, AVFrame *pOut);

// Opens stFrames for the transition stSegment of stTimeline between the
// prepared pictures pFrom (the material before) and pTo (the one after),
// from album frame iFrom on, for frames of iWidth x iHeight in eFormat at
// stFrameRate in stTimeBase: a moving picture goes on moving through it.
// Both pictures and stTimeline must outlive stFrames' use.
int openAlbumTransition(TransitionFrames &stFrames, const AlbumTimeline &stTimeline,
                        const TimelineSegment &stSegment, const AVFrame *pFrom, const AVFrame *pTo, int iWidth,
                        int iHeight, AVPixelFormat eFormat, AVRational stTimeBase, AVRational stFrameRate,
                        int64_t iFrom);

} // namespace recipes
