#pragma once

// A FIFO of audio samples between a mixer and an encoder that wants frames
// of a fixed size.
//
// FFmpeg's AVAudioFifo does not tell its sample format or channel count, and
// reading it into a frame of another layout would run past the frame's
// buffers. SampleFifo keeps both next to the FIFO so that every read and
// write can be checked against them.

#include "media/ffmpeg/FFmpegPtr.h"

extern "C" {
#include <libavutil/audio_fifo.h>
#include <libavutil/frame.h>
#include <libavutil/samplefmt.h>
}

struct SampleFifo
{
    AVAudioFifoPtr pFifo;
    AVSampleFormat eSampleFormat = AV_SAMPLE_FMT_NONE;
    int iChannels = 0;

    // Samples held; 0 when there is no FIFO.
    int size() const { return pFifo ? av_audio_fifo_size(pFifo.get()) : 0; }
    void reset()
    {
        pFifo.reset();
        eSampleFormat = AV_SAMPLE_FMT_NONE;
        iChannels = 0;
    }
};

// (Re)creates the FIFO with room for iInitialSamples (it grows as needed).
// 0, -22 for bad arguments or -12.
int allocSampleFifo(SampleFifo &stFifo, AVSampleFormat eSampleFormat, int iChannels, int iInitialSamples);

// Appends all of pFrame's samples. -22 for a missing FIFO or frame, or a
// frame whose sample format or channel count is not the FIFO's;
// AVERROR_UNKNOWN when fewer samples were written.
int fifoWriteFrame(SampleFifo &stFifo, const AVFrame *pFrame);

// Takes min(iWanted, size) samples into a new frame in pDst (the FIFO's
// sample format and channel count, the default layout for that count).
// iWanted < 1: returns 0 and leaves pDst untouched. An empty FIFO gives
// AVERROR(EAGAIN) and leaves pDst untouched. AVERROR_UNKNOWN when fewer
// samples came out.
int fifoReadFrame(SampleFifo &stFifo, int iWanted, AVFrame *pDst);
