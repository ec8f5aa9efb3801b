#pragma once

// Containers and streams: opening inputs, reading packets, creating outputs,
// choosing the export codecs from the file name, adding encoder streams and
// writing packets. Error contract as in FFmpegCodec.h.

#include "media/ffmpeg/FFmpegPtr.h"

#include <cstdint>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
}

// Opens the local file szPath (UTF-8) for reading with a private copy of
// pOptions. The name is taken literally: no protocol prefix, no printf or
// glob pattern of a picture sequence. Null on failure; piError (optional)
// receives the FFmpeg code of the failure (AVERROR(EINVAL) at once for what
// is not a regular file, such as a pipe).
// Release with avformat_close_input (AVInputContextPtr).
AVFormatContext *openInputFile(const std::string &szPath, const AVInputFormat *pFormat = nullptr,
                               const AVDictionary *pOptions = nullptr, int *piError = nullptr);

// avformat_find_stream_info without options; -22 for a null context.
int findStreamInfo(AVFormatContext *pInput);

// The first stream of the media type; null when there is none. Cover
// pictures attached to sound files do not count as video.
AVStream *findFirstStream(const AVFormatContext *pInput, AVMediaType eType);

// Opens szPath (openInputFile, stream information) into pInput and picks
// its first stream of eType (findFirstStream) into *ppStream; the demuxer
// is told to skip every other stream. AVERROR_STREAM_NOT_FOUND when the
// file has no such stream; the failing call's code (-22 when the file does
// not open) otherwise.
int openStreamOf(const std::string &szPath, AVMediaType eType, AVInputContextPtr &pInput, AVStream **ppStream);

// Reads the next packet. pPacket is replaced (its old content unreferenced)
// only on success; AVERROR_EOF at the end of the input.
int readPacket(AVFormatContext *pInput, AVPacket *pPacket);

// Allocates the output context for the local file szPath, taken literally
// (the container follows from szFormatName, or from the path's extension
// when that is empty) and opens the file for
// writing unless the container writes no file. Null when either step fails;
// piError (optional) receives the code. Release with closeOutputFile
// (or AVOutputContextPtr).
AVFormatContext *createOutputFile(const std::string &szPath, const std::string &szFormatName = std::string(),
                                  int *piError = nullptr);

// Closes the file, frees the context and sets *ppOutput to null. Null-safe.
void closeOutputFile(AVFormatContext **ppOutput);

// Codec of the export container chosen by the file name: .avi and .flv get
// H.264 video, .wmv MPEG-4 part 2, .webm VP8; .mkv gets AAC audio; anything
// else the container's default. AV_CODEC_ID_NONE when there is none.
AVCodecID guessCodecId(const std::string &szPath, AVMediaType eType);

// First pixel format of the video encoder guessCodecId picks; NONE when none.
AVPixelFormat defaultPixelFormat(const std::string &szPath);

// First sample format of the audio encoder guessCodecId picks; NONE when none.
AVSampleFormat defaultSampleFormat(const std::string &szPath);

// Opens an encoder and adds its stream to pOutput. On success the opened
// encoder is stored in *ppEncoder (which must not hold one already; the
// caller frees it) and the stream is returned; null on failure (an encoder
// that does not open leaves no stream behind). The encoder gets AV_CODEC_FLAG_GLOBAL_HEADER
// when the container wants global headers.
AVStream *addVideoStream(AVFormatContext *pOutput, AVCodecContext **ppEncoder, AVCodecID eCodecId, int iWidth,
                         int iHeight, AVPixelFormat ePixelFormat, int64_t iBitRate, AVRational stPixelAspect,
                         AVRational stFrameRate, AVRational stTimeBase, const AVDictionary *pOptions = nullptr);

// Audio variant. iChannelLayout is a channel mask (AV_CH_LAYOUT_STEREO...).
// A WMA v2 stream asked for bit rate 0 gets the rate FFmpeg's WMA encoder
// needs: ((max(rate, 8000) * 8) / 1600) * 1600.
AVStream *addAudioStream(AVFormatContext *pOutput, AVCodecContext **ppEncoder, AVCodecID eCodecId,
                         uint64_t iChannelLayout, AVSampleFormat eSampleFormat, int iSampleRate, int64_t iBitRate,
                         AVRational stTimeBase, const AVDictionary *pOptions = nullptr);

// avformat_write_header with a private copy of pOptions; -22 for null.
int writeFileHeader(AVFormatContext *pOutput, const AVDictionary *pOptions = nullptr);

// Writes a new reference to pPacket interleaved; the caller's packet stays
// valid and remains the caller's to unreference.
int writePacket(AVFormatContext *pOutput, const AVPacket *pPacket);

// av_write_trailer; -22 for null. Only after a successful writeFileHeader.
int writeTrailer(AVFormatContext *pOutput);

// av_packet_rescale_ts; false for a null packet.
bool rescalePacketTimestamps(AVPacket *pPacket, AVRational stFrom, AVRational stTo);
