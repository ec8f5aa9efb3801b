#pragma once

// What each export container and its encoders accept. The export dialog
// offers the same frame rates, bit rates and sample rates for every format,
// but some containers refuse values their encoder takes (or the other way
// round). Every such limit lives here, so that an export never fails at the
// header or halfway through for a value the user could pick.

#include <cstdint>
#include <string>

extern "C" {
#include <libavcodec/codec.h>
#include <libavutil/rational.h>
}

struct OutputSettings
{
    AVRational stFrameRate{0, 1};
    int64_t iVideoBitRate = 0;   // bit/s; 0 lets the encoder choose
    int iSampleRate = 0;         // Hz
    int64_t iAudioBitRate = 0;   // bit/s; 0 lets the encoder choose
};

// The rate of the zero-terminated list pRates nearest to iWanted (the
// earlier one on a tie); iWanted itself for a null or empty list.
int nearestListedRate(const int *pRates, int iWanted);

// The settings the file szPath (its extension names the container) is
// written with: stWanted, with each value the container or the encoders
// chosen for it cannot take replaced by the nearest one they can.
OutputSettings settingsForOutput(const std::string &szPath, const OutputSettings &stWanted);
