#pragma once

// Opening codecs and moving packets and frames through them.
//
// Error contract of the whole FFmpeg layer: functions return an FFmpeg error
// code (0 or positive on success, a negative AVERROR on failure) or a pointer
// that is null on failure. Nothing throws. Objects returned are the caller's.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/dict.h>
}

// Finds the decoder for pParams->codec_id, copies the parameters in and opens
// it with a private copy of pOptions. Null when there is no decoder or it
// does not open.
AVCodecContext *openDecoder(const AVCodecParameters *pParams, const AVDictionary *pOptions = nullptr);

// Finds the encoder for pParams->codec_id, ORs iFlags (AV_CODEC_FLAG_*) into
// its flags, copies the parameters in, sets time base and frame rate and
// opens it with a private copy of pOptions. Null on any failure.
AVCodecContext *openEncoder(const AVCodecParameters *pParams, AVRational stTimeBase, AVRational stFrameRate,
                            int iFlags, const AVDictionary *pOptions = nullptr);

// Sends pPacket (null = flush) and receives at most one frame into pFrame.
// 0 with bGotFrame false: the decoder needs more input. 0 with bGotFrame
// true: pFrame was unreferenced and now holds the frame. AVERROR_EOF: the
// decoder is drained. AVERROR(EAGAIN): the decoder still holds output and
// did not take pPacket (only decoders that make several frames per packet).
// Call again with the next packet (or null while flushing) to get more.
int decodePacket(AVCodecContext *pDecoder, const AVPacket *pPacket, AVFrame *pFrame, bool &bGotFrame);

// The same for encoding: sends pFrame (null = flush) and receives at most
// one packet into pPacket.
int encodeFrame(AVCodecContext *pEncoder, const AVFrame *pFrame, AVPacket *pPacket, bool &bGotPacket);
