#pragma once

// EXIF "Orientation" read straight from a picture file.
//
// FFmpeg's JPEG decoder puts the tag into the frame's metadata, but its PNG
// decoder ignores the eXIf chunk, so decodeEdgeFrames falls back to this
// reader for still pictures whose frames carry no "Orientation" entry.

#include <cstdint>
#include <string>

// Orientation (1..8) of the JPEG (APP1 "Exif") or PNG (eXIf chunk) at
// szPath (UTF-8); 0 when the file has none or is neither. Reads only the
// headers; every length and offset in the file is checked against the data.
int readExifOrientation(const std::string &szPath);

// Orientation in a TIFF block (the body of EXIF data: "II" or "MM", 42,
// IFD0); 0 when there is none or the block is malformed.
int exifOrientationFromTiff(const uint8_t *pData, size_t iSize);
