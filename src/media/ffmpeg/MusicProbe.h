#pragma once

// The check of a file chosen as background music, made before the album
// takes it. Error contract as in FFmpegCodec.h.

#include <cstdint>
#include <string>

// The file (UTF-8 path) must open as a container whose first audio stream
// is MP3 sound lasting longer than zero. On success returns 0 and stores
// that duration in microseconds in *piDurationUs (optional). Otherwise the
// reason: the opening error, AVERROR_STREAM_NOT_FOUND without sound,
// AVERROR_INVALIDDATA for sound that is not MP3, AVERROR(EINVAL) when no
// duration is known. The demuxer is closed before it returns, on every path.
int probeMp3Music(const std::string &szPath, int64_t *piDurationUs = nullptr);
