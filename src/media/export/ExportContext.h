#pragma once

// The working state of the one export in progress. Every FFmpeg object is
// held by its owner, so that releasing the context (reset()) frees all of it
// on every path, success or failure.

#include "media/export/ContainerLimits.h"
#include "media/export/TemporaryOutput.h"
#include "media/ffmpeg/FFmpegPtr.h"
#include "media/ffmpeg/FilterGraph.h"
#include "media/ffmpeg/SampleFifo.h"
#include "media/recipes/AudioReader.h"
#include "media/recipes/PictureRecipes.h"

#include <QRect>
#include <QString>

#include <cstdint>
#include <string>

extern "C" {
#include <libavutil/pixfmt.h>
#include <libavutil/rational.h>
}

// Which writer brings the sound up to the instant of each video frame.
enum class AudioWriter {
    Silence,        // writer 1: silence into both mixer inputs
    Music,          // writer 2: background music against silence
    Clip,           // writer 3: the clip's own sound into both inputs
    MusicAndClip,   // writer 4: music into input 1, the clip's sound into input 2
};

// A sound decoded for the mixer (the background music, or the sound of the
// clip being rendered): its reader, the graph that puts it into the
// encoder's format, rate and channels, and what that graph gave but the
// mixer has not taken yet.
struct AudioSource
{
    recipes::AudioReader stReader;
    AVFilterGraphPtr pGraph;             // "in" as decoded, "out" as the encoder takes it
    AVFramePtr pFrame;                   // converted
    SampleFifo stPending;                // converted samples not yet mixed
    int64_t iSamplesIntoGraph = 0;       // at the decoder's rate; the next pts into "in"
    bool bGraphClosed = false;           // the end has been pushed into the graph
    bool bEnded = false;                 // nothing more comes out
};

struct ExportContext
{
    QString szLastError;                 // translated message of the failure being reported
    std::string szOutputPath;            // the file the user asked for (UTF-8)
    std::string szMusicPath;             // copy of the background-music path (UTF-8)
    TemporaryOutput stTemporary;         // the file actually written until it is complete
    OutputSettings stSettings;           // rates and bit rates as the container takes them

    // Output and video.
    AVOutputContextPtr pOutput;
    bool bHeaderWritten = false;
    AVCodecContextPtr pVideoEncoder;
    AVStream *pVideoStream = nullptr;    // owned by pOutput
    AVPacketPtr pVideoPacket;
    AVFramePtr pOutputFrame;             // the (watermarked) picture handed to the encoder
    AVFramePtr pCurrentPicture;          // last picture of the material just rendered
    AVFramePtr pNextPicture;             // first picture of the next material
    std::string szCurrentPictureOf;      // path whose prepared picture is in pCurrentPicture
    int64_t iCurrentPictureRotation = 0;
    recipes::WatermarkOverlay stWatermark;
    AVPixelFormat ePixelFormat = AV_PIX_FMT_NONE;
    int iWidth = 0;
    int iHeight = 0;
    AVRational stVideoTimeBase{0, 1};
    AVRational stFrameRate{0, 1};
    int64_t iTotalDuration = 0;          // album length in the video time base
    int64_t iTotalFrames = 0;            // progress denominator: the sum of all segments' frames
    int64_t iNextVideoPts = 0;
    int64_t iFramesEncoded = 0;
    int iLastProgress = -1;

    // Audio (only when the output has sound).
    bool bAudio = false;
    AVCodecContextPtr pAudioEncoder;
    AVStream *pAudioStream = nullptr;    // owned by pOutput
    AVPacketPtr pAudioPacket;
    AVFramePtr pAudioFrame;
    AVFilterGraphPtr pMixer;             // "[in1][in2]amix[out]"
    SampleFifo stFifo;                   // mixer output waiting to fill encoder frames
    int iAudioFrameSize = 0;             // samples per encoder frame
    AudioSource stMusic;                 // the background music, looping; open for the whole export
    AudioSource stClipAudio;             // the sound of the clip being rendered; open for its segment
    // Samples pushed into each mixer input, at the output rate. Every writer
    // brings both exactly to the audio target, so the mixer always has as
    // much on one input as on the other and gives out all it was given.
    int64_t iMixerIn1Samples = 0;
    int64_t iMixerIn2Samples = 0;
    int64_t iNextAudioPts = 0;           // in the audio encoder's time base
    AudioWriter eAudioWriter = AudioWriter::Silence;

    // Frees everything and forgets the streams; the temporary file (if still
    // there) is removed.
    void reset() { *this = ExportContext(); }
};
