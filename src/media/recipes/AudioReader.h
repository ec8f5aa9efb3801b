#pragma once

// A file's first sound stream decoded frame by frame, for the export's mixer
// and the preview's sound feeder alike. A packet that cannot be read is
// left out (a file that reads nothing any more fails after a few). A
// damaged packet becomes silence as long as the packet (warning
// "解码到无效音频数据"; "获取静音帧失败" when not even that can be made,
// and the packet is left out), so that the sound after it keeps its place. A looping sound starts again after its last
// frame; one that reaches its end without a single sample is an error
// rather than a loop for ever.
//
// Error contract as in the FFmpeg layer; nothing throws.

#include "media/ffmpeg/FFmpegPtr.h"
#include "media/ffmpeg/FilterGraph.h"

#include <cstdint>
#include <functional>
#include <string>

namespace recipes {

class AudioReader
{
public:
    enum class Step {
        None,
        Open,       // opening the file or reading its stream information
        NoStream,   // no sound stream
        NoDecoder,
        Read,       // reading a packet, or a looping sound without any sample
        Decode,
    };

    // Tested before every packet: when it says stop, the call returns AVERROR(EINTR).
    void setInterrupt(std::function<bool()> fnStop) { m_fnStop = std::move(fnStop); }

    // Opens the first sound stream of szPath (UTF-8); only that stream is read.
    int open(const std::string &szPath);
    bool isOpen() const { return m_pDecoder != nullptr; }

    // The next frame into frame(): 1, or 0 once the sound has ended (never
    // with bLoop). Its pts is in the stream's time base (a damaged packet's
    // silence carries the packet's).
    int decode(bool bLoop);
    // Goes back (AVSEEK_FLAG_BACKWARD) to iTimestamp in the stream's time
    // base, with nothing of the old position left in the decoder.
    int seek(int64_t iTimestamp);

    AVFrame *frame() const { return m_pFrame.get(); }
    AVStream *stream() const { return m_pStream; }
    AVCodecContext *decoder() const { return m_pDecoder.get(); }
    // The decoded frames' format, as a graph's source named "in".
    const FilterInput &decodedFormat() const { return m_stFormat; }
    // The stream's start time (0 when it has none) and duration (from the
    // container when the stream has none; 0 when neither says), in its time base.
    int64_t startTime() const;
    int64_t duration() const;
    // How many times a looping sound has started again from its beginning.
    int64_t restarts() const { return m_iRestarts; }
    Step failedStep() const { return m_eFailed; }

private:
    int fail(int iCode, Step eStep);
    bool damagedPacketSilence();
    int restart();

    std::function<bool()> m_fnStop;
    AVInputContextPtr m_pInput;
    AVStream *m_pStream = nullptr;         // owned by m_pInput
    AVCodecContextPtr m_pDecoder;
    FilterInput m_stFormat;
    AVPacketPtr m_pPacket;                 // the packet last sent to the decoder
    AVFramePtr m_pFrame;
    int64_t m_iSamplesThisPass = 0;        // decoded since the start or the last restart
    int64_t m_iRestarts = 0;
    int m_iLastFrameSamples = 0;
    static constexpr int kMostUnreadable = 32; // packets in a row that could not be read
    int m_iUnreadable = 0;
    bool m_bDraining = false;              // the demuxer ended; the decoder gives what it holds
    bool m_bRestartPending = false;
    Step m_eFailed = Step::None;
};

} // namespace recipes
