#include "media/ffmpeg/FFmpegFormat.h"

#include "media/ffmpeg/FFmpegCodec.h"
#include "media/ffmpeg/FFmpegPtr.h"

#include <algorithm>
#include <cctype>

#include <sys/stat.h>

extern "C" {
#include <libavutil/avstring.h>
#include <libavutil/channel_layout.h>
}

namespace {

// File names are taken as they are: "file:" keeps a colon in a relative name
// from reading as a protocol.
std::string literalFileUrl(const std::string &szPath)
{
    return "file:" + szPath;
}

// The muxer for the name's extension alone: FFmpeg would take a name with a
// printf pattern ("clip%d.gif") for a numbered picture sequence.
const AVOutputFormat *outputFormatForExtension(const std::string &szExt)
{
    return szExt.empty() ? nullptr : av_guess_format(nullptr, ("output." + szExt).c_str(), nullptr);
}

// Lower-case text after the last dot of the file name, empty when none.
std::string pathExtension(const std::string &szPath)
{
    const size_t iSlash = szPath.find_last_of('/');
    const size_t iDot = szPath.find_last_of('.');
    if (iDot == std::string::npos || (iSlash != std::string::npos && iDot < iSlash))
        return std::string();
    std::string szExt = szPath.substr(iDot + 1);
    std::transform(szExt.begin(), szExt.end(), szExt.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return szExt;
}

} // namespace

AVFormatContext *openInputFile(const std::string &szPath, const AVInputFormat *pFormat,
                               const AVDictionary *pOptions, int *piError)
{
    auto fail = [piError](int iCode) -> AVFormatContext * {
        if (piError)
            *piError = iCode;
        return nullptr;
    };
    if (szPath.empty())
        return fail(AVERROR(EINVAL));
    // A pipe or a device would keep the open waiting, maybe for ever.
    struct stat stInfo;
    if (::stat(szPath.c_str(), &stInfo) == 0 && !S_ISREG(stInfo.st_mode))
        return fail(AVERROR(EINVAL));
    AVDictionaryPtr options;
    if (!options.copyFrom(pOptions))
        return fail(AVERROR(ENOMEM));
    // Materials are local files: a playlist or concat file among them must not
    // make the demuxer open network addresses or other protocols.
    if (!av_dict_get(options.get(), "protocol_whitelist", nullptr, 0) && options.set("protocol_whitelist", "file") < 0)
        return fail(AVERROR(ENOMEM));
    // The picture reader would take "IMG_%03d.jpg" or "a*.png" for a numbered
    // sequence or a pattern; a material is the one file of that name.
    if (!av_dict_get(options.get(), "pattern_type", nullptr, 0) && options.set("pattern_type", "none") < 0)
        return fail(AVERROR(ENOMEM));
    AVFormatContext *pInput = nullptr;
    // avformat_open_input frees the context itself when it fails.
    const int ret = avformat_open_input(&pInput, literalFileUrl(szPath).c_str(), pFormat, options.address());
    if (ret < 0)
        return fail(ret);
    if (piError)
        *piError = 0;
    return pInput;
}

int findStreamInfo(AVFormatContext *pInput)
{
    if (!pInput)
        return AVERROR(EINVAL);
    return avformat_find_stream_info(pInput, nullptr);
}

AVStream *findFirstStream(const AVFormatContext *pInput, AVMediaType eType)
{
    if (!pInput)
        return nullptr;
    for (unsigned i = 0; i < pInput->nb_streams; ++i) {
        AVStream *pStream = pInput->streams[i];
        // A cover picture attached to a sound file is no video.
        if (pStream->codecpar && pStream->codecpar->codec_type == eType
            && !(eType == AVMEDIA_TYPE_VIDEO && (pStream->disposition & AV_DISPOSITION_ATTACHED_PIC)))
            return pStream;
    }
    return nullptr;
}

int openStreamOf(const std::string &szPath, AVMediaType eType, AVInputContextPtr &pInput, AVStream **ppStream)
{
    *ppStream = nullptr;
    pInput.reset(openInputFile(szPath));
    if (!pInput)
        return AVERROR(EINVAL);
    const int ret = findStreamInfo(pInput.get());
    if (ret < 0)
        return ret;
    AVStream *pStream = findFirstStream(pInput.get(), eType);
    if (!pStream)
        return AVERROR_STREAM_NOT_FOUND;
    for (unsigned i = 0; i < pInput->nb_streams; ++i)
        pInput->streams[i]->discard = pInput->streams[i] == pStream ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
    *ppStream = pStream;
    return 0;
}

int readPacket(AVFormatContext *pInput, AVPacket *pPacket)
{
    if (!pInput || !pPacket)
        return AVERROR(EINVAL);
    AVPacketPtr pRead = makePacketPtr();
    if (!pRead)
        return AVERROR(ENOMEM);
    const int ret = av_read_frame(pInput, pRead.get());
    if (ret < 0)
        return ret;
    av_packet_unref(pPacket);
    av_packet_move_ref(pPacket, pRead.get());
    return ret;
}

AVFormatContext *createOutputFile(const std::string &szPath, const std::string &szFormatName, int *piError)
{
    auto fail = [piError](int iCode) -> AVFormatContext * {
        if (piError)
            *piError = iCode;
        return nullptr;
    };
    if (szPath.empty())
        return fail(AVERROR(EINVAL));
    const AVOutputFormat *pFormat = szFormatName.empty() ? outputFormatForExtension(pathExtension(szPath)) : nullptr;
    if (szFormatName.empty() && !pFormat)
        return fail(AVERROR_MUXER_NOT_FOUND);
    const std::string szUrl = literalFileUrl(szPath);
    AVFormatContext *pRaw = nullptr;
    int ret = avformat_alloc_output_context2(&pRaw, pFormat, szFormatName.empty() ? nullptr : szFormatName.c_str(),
                                             szUrl.c_str());
    AVOutputContextPtr pOutput(pRaw);
    if (ret < 0 || !pOutput)
        return fail(ret < 0 ? ret : AVERROR(ENOMEM));
    if (!(pOutput->oformat->flags & AVFMT_NOFILE)) {
        ret = avio_open(&pOutput->pb, szUrl.c_str(), AVIO_FLAG_WRITE);
        if (ret < 0)
            return fail(ret);
    }
    if (piError)
        *piError = 0;
    return pOutput.release();
}

void closeOutputFile(AVFormatContext **ppOutput)
{
    if (!ppOutput || !*ppOutput)
        return;
    AVOutputContextDeleter()(*ppOutput);
    *ppOutput = nullptr;
}

namespace {

// FFmpeg names the muxers of .wmv and .mkv "asf" and "matroska", so the
// export formats are recognised by the muxer's short name or the extension.
bool isContainer(const AVOutputFormat *pFormat, const std::string &szExt, const char *szName)
{
    return av_match_name(szName, pFormat->name) || szExt == szName;
}

} // namespace

AVCodecID guessCodecId(const std::string &szPath, AVMediaType eType)
{
    const std::string szExt = pathExtension(szPath);
    const AVOutputFormat *pFormat = outputFormatForExtension(szExt);
    if (!pFormat)
        return AV_CODEC_ID_NONE;
    if (eType == AVMEDIA_TYPE_VIDEO) {
        if (isContainer(pFormat, szExt, "avi") || isContainer(pFormat, szExt, "flv"))
            return AV_CODEC_ID_H264;
        if (isContainer(pFormat, szExt, "wmv"))
            return AV_CODEC_ID_MPEG4;
        if (isContainer(pFormat, szExt, "webm"))
            return AV_CODEC_ID_VP8;
    } else if (eType == AVMEDIA_TYPE_AUDIO) {
        if (isContainer(pFormat, szExt, "mkv"))
            return AV_CODEC_ID_AAC;
    }
    return av_guess_codec(pFormat, nullptr, ("output." + szExt).c_str(), nullptr, eType);
}

AVPixelFormat defaultPixelFormat(const std::string &szPath)
{
    const AVCodecID eId = guessCodecId(szPath, AVMEDIA_TYPE_VIDEO);
    const AVCodec *pCodec = eId == AV_CODEC_ID_NONE ? nullptr : avcodec_find_encoder(eId);
    if (!pCodec || !pCodec->pix_fmts)
        return AV_PIX_FMT_NONE;
    return pCodec->pix_fmts[0];
}

AVSampleFormat defaultSampleFormat(const std::string &szPath)
{
    const AVCodecID eId = guessCodecId(szPath, AVMEDIA_TYPE_AUDIO);
    const AVCodec *pCodec = eId == AV_CODEC_ID_NONE ? nullptr : avcodec_find_encoder(eId);
    if (!pCodec || !pCodec->sample_fmts)
        return AV_SAMPLE_FMT_NONE;
    return pCodec->sample_fmts[0];
}

namespace {

// Opens the encoder described by pParams and adds its stream. Audio and
// video get an encoder; other media types only a stream with the parameters.
int addStream(AVFormatContext *pOutput, AVCodecContext **ppEncoder, const AVCodecParameters *pParams,
              AVRational stFrameRate, AVRational stTimeBase, const AVDictionary *pOptions, AVStream **ppStream)
{
    *ppStream = nullptr;
    if (pParams->codec_type == AVMEDIA_TYPE_UNKNOWN)
        return AVERROR_INVALIDDATA;
    if (pParams->codec_type != AVMEDIA_TYPE_VIDEO && pParams->codec_type != AVMEDIA_TYPE_AUDIO) {
        AVStream *pStream = avformat_new_stream(pOutput, nullptr);
        if (!pStream)
            return AVERROR(ENOMEM);
        const int ret = avcodec_parameters_copy(pStream->codecpar, pParams);
        if (ret < 0)
            return ret;
        pStream->time_base = stTimeBase;
        *ppStream = pStream;
        return 0;
    }

    const int iFlags = (pOutput->oformat->flags & AVFMT_GLOBALHEADER) ? AV_CODEC_FLAG_GLOBAL_HEADER : 0;
    const AVRational stRate = pParams->codec_type == AVMEDIA_TYPE_AUDIO ? AVRational{0, 1} : stFrameRate;
    AVCodecContextPtr pEncoder(openEncoder(pParams, stTimeBase, stRate, iFlags, pOptions));
    if (!pEncoder)
        return AVERROR_UNKNOWN;

    AVStream *pStream = avformat_new_stream(pOutput, nullptr);
    if (!pStream)
        return AVERROR(ENOMEM);
    pStream->avg_frame_rate = stRate;
    pStream->r_frame_rate = stRate;
    pStream->time_base = pEncoder->time_base;
    const int ret = avcodec_parameters_from_context(pStream->codecpar, pEncoder.get());
    if (ret < 0)
        return ret;
    *ppEncoder = pEncoder.release();
    *ppStream = pStream;
    return 0;
}

} // namespace

AVStream *addVideoStream(AVFormatContext *pOutput, AVCodecContext **ppEncoder, AVCodecID eCodecId, int iWidth,
                         int iHeight, AVPixelFormat ePixelFormat, int64_t iBitRate, AVRational stPixelAspect,
                         AVRational stFrameRate, AVRational stTimeBase, const AVDictionary *pOptions)
{
    if (!pOutput || !pOutput->oformat || !ppEncoder)
        return nullptr;
    AVCodecParametersPtr pParams(avcodec_parameters_alloc());
    if (!pParams)
        return nullptr;
    pParams->codec_type = AVMEDIA_TYPE_VIDEO;
    pParams->codec_id = eCodecId;
    pParams->width = iWidth;
    pParams->height = iHeight;
    pParams->format = ePixelFormat;
    pParams->sample_aspect_ratio = stPixelAspect;
    pParams->bit_rate = iBitRate;
    AVStream *pStream = nullptr;
    if (addStream(pOutput, ppEncoder, pParams.get(), stFrameRate, stTimeBase, pOptions, &pStream) < 0)
        return nullptr;
    return pStream;
}

AVStream *addAudioStream(AVFormatContext *pOutput, AVCodecContext **ppEncoder, AVCodecID eCodecId,
                         uint64_t iChannelLayout, AVSampleFormat eSampleFormat, int iSampleRate, int64_t iBitRate,
                         AVRational stTimeBase, const AVDictionary *pOptions)
{
    if (!pOutput || !pOutput->oformat || !ppEncoder)
        return nullptr;
    AVCodecParametersPtr pParams(avcodec_parameters_alloc());
    if (!pParams)
        return nullptr;
    pParams->codec_type = AVMEDIA_TYPE_AUDIO;
    pParams->codec_id = eCodecId;
    if (av_channel_layout_from_mask(&pParams->ch_layout, iChannelLayout) < 0)
        return nullptr;
    pParams->format = eSampleFormat;
    pParams->sample_rate = iSampleRate;
    pParams->bit_rate = iBitRate;
    if (iBitRate == 0 && eCodecId == AV_CODEC_ID_WMAV2)
        pParams->bit_rate = ((static_cast<int64_t>(std::max(iSampleRate, 8000)) * 8) / 1600) * 1600;
    AVStream *pStream = nullptr;
    if (addStream(pOutput, ppEncoder, pParams.get(), AVRational{0, 1}, stTimeBase, pOptions, &pStream) < 0)
        return nullptr;
    return pStream;
}

int writeFileHeader(AVFormatContext *pOutput, const AVDictionary *pOptions)
{
    if (!pOutput)
        return AVERROR(EINVAL);
    AVDictionaryPtr options;
    if (!options.copyFrom(pOptions))
        return AVERROR(ENOMEM);
    return avformat_write_header(pOutput, options.address());
}

int writePacket(AVFormatContext *pOutput, const AVPacket *pPacket)
{
    if (!pOutput || !pPacket)
        return AVERROR(EINVAL);
    // The muxer takes over the packet it is given; hand it a new reference.
    AVPacketPtr pClone(av_packet_clone(pPacket));
    if (!pClone)
        return AVERROR(ENOMEM);
    return av_interleaved_write_frame(pOutput, pClone.get());
}

int writeTrailer(AVFormatContext *pOutput)
{
    if (!pOutput)
        return AVERROR(EINVAL);
    return av_write_trailer(pOutput);
}

bool rescalePacketTimestamps(AVPacket *pPacket, AVRational stFrom, AVRational stTo)
{
    if (!pPacket)
        return false;
    av_packet_rescale_ts(pPacket, stFrom, stTo);
    return true;
}
