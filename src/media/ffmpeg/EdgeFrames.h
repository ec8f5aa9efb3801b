#pragma once

// First and last picture of a material file, upright.

#include <string>

extern "C" {
#include <libavutil/frame.h>
}

// Decodes the first picture of szPath (UTF-8) into pFirst and the last one
// into pLast; either may be null (not both). The pictures come out upright:
// a photo's EXIF "Orientation" (from a JPEG's APP1 or a PNG's eXIf chunk)
// and a video's display matrix are applied (pictureOrientation), and a
// video's pixels are made square, so their sizes are the ones shown. For a
// still picture both are the same picture. A
// still picture that does not decode cleanly (truncated, damaged) fails
// rather than giving a partly grey picture. Returns 0 or a negative code;
// the destinations are only written on success. Opens and frees a demuxer,
// decoder and possibly a filter graph: once per material, never per frame.
int decodeEdgeFrames(const std::string &szPath, AVFrame *pFirst, AVFrame *pLast = nullptr);
