#pragma once

// First and last picture of a material file, upright.

#include <string>

extern "C" {
#include <libavutil/frame.h>
}

// Decodes the first picture of szPath (UTF-8) into pFirst and the last one
// into pLast; either may be null (not both). A picture's EXIF "Orientation"
// (2 to 8, from a JPEG's APP1 or a PNG's eXIf chunk) is applied. For a still picture both are the same picture. A
// still picture that does not decode cleanly (truncated, damaged) fails
// rather than giving a partly grey picture. Returns 0 or a negative code;
// the destinations are only written on success. Opens and frees a demuxer,
// decoder and possibly a filter graph: once per material, never per frame.
int decodeEdgeFrames(const std::string &szPath, AVFrame *pFirst, AVFrame *pLast = nullptr);

// The filter description that makes a picture with EXIF orientation
// iOrientation upright; empty for 1 and for values outside 1..8.
const char *orientationFilter(int iOrientation);
