#pragma once

// Which way a stored picture must be turned or mirrored to stand upright,
// numbered as the EXIF "Orientation" tag: 1 upright, 2 mirrored, 3 upside
// down, 4 upside down and mirrored, 5 to 8 the four that lie on their side.
// Photos say it in EXIF; a video stream in its display matrix (a phone
// stores a portrait video as landscape pictures and a quarter turn there).

#include <cstdint>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/frame.h>
}

// The filters that stand a picture of orientation iOrientation upright;
// empty for 1 and for values outside 1..8.
const char *orientationFilter(int iOrientation);

// True when standing the picture upright swaps its width and height (5..8).
bool orientationSwapsSides(int iOrientation);

// The orientation that does what iOrientation does and then turns the
// picture iTurns quarter turns clockwise (taken modulo 4, so -1 is three).
int turnedOrientation(int iOrientation, int64_t iTurns);

// The orientation a display matrix (libavutil/display.h) asks for: its
// quarter turns and mirrorings, as players and the ffmpeg tools show them.
// 1 for a null matrix and for one that turns by anything but quarter turns.
int displayMatrixOrientation(const int32_t *pMatrix);

// The orientation of a decoded picture: the frame's EXIF "Orientation"
// entry, else the frame's display matrix, else the stream's; 1 when none
// says anything. Either argument may be null.
int pictureOrientation(const AVStream *pStream, const AVFrame *pFrame);
