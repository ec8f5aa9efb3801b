#include "media/ffmpeg/EdgeFrames.h"

#include "media/ffmpeg/ExifOrientation.h"
#include "media/ffmpeg/FFmpegCodec.h"
#include "media/ffmpeg/FFmpegFormat.h"
#include "media/ffmpeg/FFmpegPtr.h"
#include "media/ffmpeg/FilterGraph.h"
#include "media/ffmpeg/FrameOps.h"
#include "media/ffmpeg/PictureOrientation.h"
#include "media/ffmpeg/SizeMath.h"

#include <cstring>

namespace {

// Picture files are read by the image2 demuxer or one of the "<codec>_pipe"
// ones.
bool isStillPictureInput(const AVFormatContext *pInput)
{
    const char *szName = pInput->iformat ? pInput->iformat->name : nullptr;
    if (!szName)
        return false;
    const size_t iLength = std::strlen(szName);
    return std::strcmp(szName, "image2") == 0 || (iLength > 5 && std::strcmp(szName + iLength - 5, "_pipe") == 0);
}

// The filters that stand a decoded picture upright and make its pixels of
// shape stAspect square (a camera's 1440 x 1080 of 4:3 pixels shows 1920 wide).
std::string uprightFilter(const AVFrame *pFrame, int iOrientation, AVRational stAspect)
{
    std::string szFilter = orientationFilter(iOrientation);
    QSize stSize(pFrame->width, pFrame->height);
    if (orientationSwapsSides(iOrientation)) {
        stSize.transpose();
        stAspect = AVRational{stAspect.den, stAspect.num};
    }
    const QSize stShown = displaySize(stSize.width(), stSize.height(), stAspect);
    if (stShown != stSize)
        szFilter += (szFilter.empty() ? "scale=" : ",scale=") + std::to_string(stShown.width()) + ":"
                    + std::to_string(stShown.height()) + ",setsar=1";
    return szFilter;
}

class EdgeFrameReader
{
public:
    // iFileOrientation: the file's own EXIF orientation, used for pictures
    // whose decoder does not report one (0 = none).
    EdgeFrameReader(AVFormatContext *pInput, AVStream *pStream, AVCodecContext *pDecoder, bool bWantLast,
                    bool bStill, int iFileOrientation)
        : m_pInput(pInput),
          m_pStream(pStream),
          m_pDecoder(pDecoder),
          m_bWantLast(bWantLast),
          m_bStill(bStill),
          m_iFileOrientation(iFileOrientation)
    {
    }

    int run();
    AVFrame *first() const { return m_pFirst.get(); }
    AVFrame *last() const { return m_pLast.get(); }

private:
    int filterAndTake(AVFrame *pFrame);
    int drainFilter(AVFrame *pFrame);
    int pushAndTake(const AVFrame *pIn, AVFrame *pWork);
    int take(AVFrame *pFrame);
    void seekNearEnd();
    bool rewind();
    void restartDecoding();

    AVFormatContext *m_pInput;
    AVStream *m_pStream;
    AVCodecContext *m_pDecoder;
    const bool m_bWantLast;
    const bool m_bStill;
    const int m_iFileOrientation;

    AVFramePtr m_pFirst = makeFramePtr();
    AVFramePtr m_pLast = makeFramePtr();
    AVFilterGraphPtr m_pOrientation;
    bool m_bHaveFirst = false;
    bool m_bDone = false;
    bool m_bFlushing = false;
    bool m_bSeekTried = false;
    bool m_bAfterSeek = false;   // decoding from the position of seekNearEnd
    bool m_bCleanSinceSeek = false;
    bool m_bRewound = false;
};

int EdgeFrameReader::run()
{
    AVPacketPtr pPacket = makePacketPtr();
    AVFramePtr pFrame = makeFramePtr();
    if (!pPacket || !pFrame || !m_pFirst || !m_pLast)
        return AVERROR(ENOMEM);

    while (!m_bDone) {
        const AVPacket *pSend = nullptr;
        if (!m_bFlushing) {
            const int ret = readPacket(m_pInput, pPacket.get());
            if (ret == AVERROR_EOF) {
                m_bFlushing = true;
            } else if (ret < 0) {
                return ret;
            } else if (pPacket->stream_index != m_pStream->index) {
                continue;
            } else {
                pSend = pPacket.get();
            }
        }
        bool bGot = false;
        int ret = decodePacket(m_pDecoder, pSend, pFrame.get(), bGot);
        av_packet_unref(pPacket.get());
        if (ret == AVERROR_EOF) {
            // Decoder drained; a seek made by take() can still restart it.
            ret = drainFilter(pFrame.get());
            if (ret < 0)
                return ret;
            if (m_bFlushing && !rewind())
                break;
            continue;
        }
        // Packets right after the jump near the end may lack their
        // references; a decoder that says so is not a damaged file.
        if (ret < 0 && m_bAfterSeek && !m_bCleanSinceSeek && ret != AVERROR(ENOMEM))
            continue;
        if (ret < 0)
            return ret;
        if (!bGot)
            continue;
        ret = filterAndTake(pFrame.get());
        if (ret < 0)
            return ret;
    }
    return m_bHaveFirst ? 0 : AVERROR_INVALIDDATA;
}

// Runs a decoded picture through the orientation filter (built from the
// first picture that asks for one) and takes what comes out.
int EdgeFrameReader::filterAndTake(AVFrame *pFrame)
{
    if (!m_pOrientation) {
        int iOrientation = pictureOrientation(m_pStream, pFrame);
        if (iOrientation == 1 && m_iFileOrientation > 1)
            iOrientation = m_iFileOrientation;
        // The pixel shape as players take it (the container's, else the
        // picture's). Photo viewers ignore a JPEG's, and so does this.
        const AVRational stAspect =
            m_bStill ? AVRational{1, 1} : av_guess_sample_aspect_ratio(m_pInput, m_pStream, pFrame);
        const std::string szFilter = uprightFilter(pFrame, iOrientation, stAspect);
        if (!szFilter.empty()) {
            AVRational stRate = m_pStream->avg_frame_rate;
            if (stRate.num < 1 || stRate.den < 1)
                stRate = AVRational{0, 1};
            const FilterInput stInput("in", pFrame->width, pFrame->height, static_cast<AVPixelFormat>(pFrame->format),
                                      m_pStream->time_base, stRate, pFrame->sample_aspect_ratio);
            // A turned palette picture cannot stay a palette picture.
            const AVPixelFormat eOut = scalableFormat(static_cast<AVPixelFormat>(pFrame->format));
            m_pOrientation.reset(createFilterGraph(szFilter, stInput, FilterOutput("out", eOut)));
            if (!m_pOrientation)
                return AVERROR(EINVAL);
        }
    }
    if (!m_pOrientation)
        return take(pFrame);

    pFrame->pts = pFrame->best_effort_timestamp != AV_NOPTS_VALUE ? pFrame->best_effort_timestamp : pFrame->pkt_dts;
    return pushAndTake(pFrame, pFrame);
}

// Pushes pIn (null: the end) into the orientation filter and takes every
// picture that comes out, pulled into pWork. Stops once the reader is done
// or take() has replaced the filter (a rewind).
int EdgeFrameReader::pushAndTake(const AVFrame *pIn, AVFrame *pWork)
{
    int ret = pushFrameToFilter(m_pOrientation.get(), "in", pIn);
    if (ret < 0)
        return ret;
    const AVFilterGraph *pGraph = m_pOrientation.get();
    while (!m_bDone && m_pOrientation.get() == pGraph) {
        bool bGot = false;
        ret = pullFrameFromFilter(m_pOrientation.get(), "out", pWork, bGot);
        if (ret == AVERROR_EOF || (ret == 0 && !bGot))
            break;
        if (ret < 0)
            return ret;
        ret = take(pWork);
        if (ret < 0)
            return ret;
    }
    return 0;
}

// At the end of the decoder's output: closes the orientation filter and takes
// what it still holds.
int EdgeFrameReader::drainFilter(AVFrame *pFrame)
{
    if (!m_pOrientation)
        return 0;
    const AVFilterGraph *pGraph = m_pOrientation.get();
    const int ret = pushAndTake(nullptr, pFrame);
    if (ret < 0)
        return ret;
    if (m_pOrientation.get() == pGraph)
        m_pOrientation.reset();
    return 0;
}

int EdgeFrameReader::take(AVFrame *pFrame)
{
    // After the jump near the end, pictures before the first key frame were
    // decoded without their references.
    if (m_bAfterSeek && !m_bCleanSinceSeek) {
        if (!pFrame->key_frame) {
            av_frame_unref(pFrame);
            return 0;
        }
        m_bCleanSinceSeek = true;
    }
    if (!m_bHaveFirst) {
        const int ret = av_frame_ref(m_pFirst.get(), pFrame);
        if (ret < 0)
            return ret;
        m_bHaveFirst = true;
        if (!m_bWantLast) {
            m_bDone = true;
            return 0;
        }
        av_frame_unref(m_pLast.get());
        av_frame_move_ref(m_pLast.get(), pFrame);
        seekNearEnd();
        return 0;
    }
    av_frame_unref(m_pLast.get());
    av_frame_move_ref(m_pLast.get(), pFrame);
    return 0;
}

// Jumps to the last key frame before the end so that only the final group of
// pictures is decoded. Seeking to any frame (not a key frame) would start
// decoding from a picture that refers to frames never seen and give a broken
// or missing last picture. Some demuxers (MPEG-TS) still land on a non-key
// packet; rewind() covers that. When the seek fails, decoding simply goes on.
void EdgeFrameReader::seekNearEnd()
{
    if (m_bSeekTried)
        return;
    m_bSeekTried = true;
    int64_t iDuration = m_pStream->duration;
    AVRational stBase = m_pStream->time_base;
    if (iDuration <= 0) {
        iDuration = m_pInput->duration;
        stBase = AV_TIME_BASE_Q;
    }
    if (iDuration <= 0)
        return;
    int64_t iTarget = av_rescale_q(iDuration, stBase, m_pStream->time_base);
    if (m_pStream->start_time != AV_NOPTS_VALUE)
        iTarget += m_pStream->start_time;
    if (avformat_seek_file(m_pInput, m_pStream->index, INT64_MIN, iTarget, INT64_MAX, AVSEEK_FLAG_BACKWARD) < 0)
        return;
    restartDecoding();
    m_bAfterSeek = true;
    m_bCleanSinceSeek = false;
}

// At the end of the input: when the jump near the end gave no clean picture,
// goes back to the start once and decodes the whole stream. False when there
// is nothing to retry.
bool EdgeFrameReader::rewind()
{
    if (!m_bAfterSeek || m_bCleanSinceSeek || m_bRewound)
        return false;
    m_bRewound = true;
    const int64_t iStart = m_pStream->start_time != AV_NOPTS_VALUE ? m_pStream->start_time : 0;
    if (avformat_seek_file(m_pInput, m_pStream->index, INT64_MIN, iStart, iStart, 0) < 0
        && av_seek_frame(m_pInput, -1, 0, AVSEEK_FLAG_BYTE) < 0)
        return false;
    restartDecoding();
    m_bAfterSeek = false;
    return true;
}

void EdgeFrameReader::restartDecoding()
{
    avcodec_flush_buffers(m_pDecoder);
    m_pOrientation.reset();
    m_bFlushing = false;
}

} // namespace

int decodeEdgeFrames(const std::string &szPath, AVFrame *pFirst, AVFrame *pLast)
{
    if (szPath.empty() || (!pFirst && !pLast))
        return AVERROR(EINVAL);
    int ret = 0;
    AVInputContextPtr pInput(openInputFile(szPath, nullptr, nullptr, &ret));
    if (!pInput)
        return ret < 0 ? ret : AVERROR(EINVAL);
    // A picture file's demuxer already names its one stream and codec; probing
    // it would decode the whole picture once more just to learn its size.
    const bool bStill = isStillPictureInput(pInput.get()) && pInput->nb_streams == 1
        && pInput->streams[0]->codecpar->codec_id != AV_CODEC_ID_NONE;
    if (!bStill) {
        ret = findStreamInfo(pInput.get());
        if (ret < 0)
            return ret;
    }
    AVStream *pStream = findFirstStream(pInput.get(), AVMEDIA_TYPE_VIDEO);
    if (!pStream)
        return AVERROR_STREAM_NOT_FOUND;

    // A damaged still picture decodes with its missing part grey and no
    // error unless the decoder is told to stop at the first fault.
    AVDictionaryPtr options;
    if (bStill && options.set("err_detect", "+explode") < 0)
        return AVERROR(ENOMEM);
    AVCodecContextPtr pDecoder(openDecoder(pStream->codecpar, options.get()));
    if (!pDecoder)
        return AVERROR_DECODER_NOT_FOUND;
    pDecoder->pkt_timebase = pStream->time_base;

    EdgeFrameReader reader(pInput.get(), pStream, pDecoder.get(), pLast != nullptr, bStill,
                           bStill ? readExifOrientation(szPath) : 0);
    ret = reader.run();
    if (ret < 0)
        return ret;
    if (pFirst) {
        av_frame_unref(pFirst);
        av_frame_move_ref(pFirst, reader.first());
    }
    if (pLast) {
        av_frame_unref(pLast);
        av_frame_move_ref(pLast, reader.last());
    }
    return 0;
}
