#include "media/ffmpeg/FilterGraph.h"

#include "media/ffmpeg/FFmpegPtr.h"

#include <cstring>
#include <set>
#include <sstream>

extern "C" {
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/mem.h>
#include <libavutil/opt.h>
}

FilterInput::FilterInput(std::string szSourceName, int iSourceWidth, int iSourceHeight, AVPixelFormat ePixelFormat,
                         AVRational stSourceTimeBase, AVRational stSourceFrameRate, AVRational stSourcePixelAspect)
    : iFormat(ePixelFormat),
      iWidth(iSourceWidth),
      iHeight(iSourceHeight),
      stTimeBase(stSourceTimeBase),
      stFrameRate(stSourceFrameRate),
      stPixelAspect(stSourcePixelAspect),
      szName(std::move(szSourceName)),
      iType(AVMEDIA_TYPE_VIDEO)
{
}

FilterInput::FilterInput(std::string szSourceName, uint64_t iSourceChannelLayout, int iSourceChannels,
                         AVSampleFormat eSampleFormat, AVRational stSourceTimeBase, int iSourceSampleRate)
    : iFormat(eSampleFormat),
      iChannelLayout(iSourceChannelLayout),
      iSampleRate(iSourceSampleRate),
      iChannels(iSourceChannels),
      stTimeBase(stSourceTimeBase),
      szName(std::move(szSourceName)),
      iType(AVMEDIA_TYPE_AUDIO)
{
}

FilterOutput::FilterOutput(std::string szSinkName, AVPixelFormat ePixelFormat)
    : iFormat(ePixelFormat), szName(std::move(szSinkName)), iType(AVMEDIA_TYPE_VIDEO)
{
}

FilterOutput::FilterOutput(std::string szSinkName, AVSampleFormat eSampleFormat)
    : iFormat(eSampleFormat), szName(std::move(szSinkName)), iType(AVMEDIA_TYPE_AUDIO)
{
}

std::string bufferSourceArgs(const FilterInput &stInput)
{
    std::ostringstream args;
    if (stInput.iType == AVMEDIA_TYPE_AUDIO) {
        args << "sample_rate=" << stInput.iSampleRate << ":sample_fmt=" << stInput.iFormat
             << ":time_base=" << stInput.stTimeBase.num << "/" << stInput.stTimeBase.den
             << ":channel_layout=" << stInput.iChannelLayout << ":channels=" << stInput.iChannels;
    } else {
        args << "video_size=" << stInput.iWidth << "x" << stInput.iHeight << ":pix_fmt=" << stInput.iFormat
             << ":time_base=" << stInput.stTimeBase.num << "/" << stInput.stTimeBase.den
             << ":pixel_aspect=" << stInput.stPixelAspect.num << "/" << stInput.stPixelAspect.den
             << ":frame_rate=" << stInput.stFrameRate.num << "/" << stInput.stFrameRate.den;
    }
    return args.str();
}

namespace {

// Prepends an open pad entry for pContext to *ppList.
int prependInOut(AVFilterInOut **ppList, const std::string &szName, AVFilterContext *pContext)
{
    AVFilterInOut *pEntry = avfilter_inout_alloc();
    if (!pEntry)
        return AVERROR(ENOMEM);
    pEntry->name = av_strdup(szName.c_str());
    if (!pEntry->name) {
        avfilter_inout_free(&pEntry);
        return AVERROR(ENOMEM);
    }
    pEntry->filter_ctx = pContext;
    pEntry->pad_idx = 0;
    pEntry->next = *ppList;
    *ppList = pEntry;
    return 0;
}

// The in/out lists are rewritten by avfilter_graph_parse_ptr, so they are
// held as raw list heads and freed whatever happens.
struct InOutLists
{
    AVFilterInOut *pOpenOutputs = nullptr; // outputs of the sources
    AVFilterInOut *pOpenInputs = nullptr;  // inputs of the sinks
    ~InOutLists()
    {
        avfilter_inout_free(&pOpenOutputs);
        avfilter_inout_free(&pOpenInputs);
    }
};

// Sources and sinks are addressed by name, so a name given twice would leave
// one of them unreachable.
bool namesAreUnique(const std::vector<FilterInput> &inputs, const std::vector<FilterOutput> &outputs)
{
    std::set<std::string> names;
    for (const FilterInput &stInput : inputs)
        if (stInput.szName.empty() || !names.insert(stInput.szName).second)
            return false;
    for (const FilterOutput &stOutput : outputs)
        if (stOutput.szName.empty() || !names.insert(stOutput.szName).second)
            return false;
    return true;
}

int buildGraph(AVFilterGraph *pGraph, const std::string &szDescription, const std::vector<FilterInput> &inputs,
               const std::vector<FilterOutput> &outputs, const AVDictionary *pOptions)
{
    if (!namesAreUnique(inputs, outputs))
        return AVERROR(EINVAL);
    AVDictionaryPtr options;
    if (!options.copyFrom(pOptions))
        return AVERROR(ENOMEM);
    int ret = av_opt_set_dict(pGraph, options.address());
    if (ret < 0)
        return ret;

    InOutLists lists;
    for (const FilterInput &stInput : inputs) {
        const char *szFilter = stInput.iType == AVMEDIA_TYPE_VIDEO   ? "buffer"
                               : stInput.iType == AVMEDIA_TYPE_AUDIO ? "abuffer"
                                                                     : nullptr;
        const AVFilter *pFilter = szFilter ? avfilter_get_by_name(szFilter) : nullptr;
        if (!pFilter)
            return AVERROR_FILTER_NOT_FOUND;
        AVFilterContext *pContext = nullptr;
        ret = avfilter_graph_create_filter(&pContext, pFilter, stInput.szName.c_str(),
                                           bufferSourceArgs(stInput).c_str(), nullptr, pGraph);
        if (ret < 0)
            return ret;
        ret = prependInOut(&lists.pOpenOutputs, stInput.szName, pContext);
        if (ret < 0)
            return ret;
    }
    for (const FilterOutput &stOutput : outputs) {
        const bool bVideo = stOutput.iType == AVMEDIA_TYPE_VIDEO;
        const char *szFilter = bVideo ? "buffersink" : stOutput.iType == AVMEDIA_TYPE_AUDIO ? "abuffersink" : nullptr;
        const AVFilter *pFilter = szFilter ? avfilter_get_by_name(szFilter) : nullptr;
        if (!pFilter)
            return AVERROR_FILTER_NOT_FOUND;
        AVFilterContext *pContext = nullptr;
        ret = avfilter_graph_create_filter(&pContext, pFilter, stOutput.szName.c_str(), nullptr, nullptr, pGraph);
        if (ret < 0)
            return ret;
        const int formats[] = {stOutput.iFormat, -1};
        ret = av_opt_set_int_list(pContext, bVideo ? "pix_fmts" : "sample_fmts", formats, -1,
                                  AV_OPT_SEARCH_CHILDREN);
        if (ret < 0)
            return ret;
        ret = prependInOut(&lists.pOpenInputs, stOutput.szName, pContext);
        if (ret < 0)
            return ret;
    }

    ret = avfilter_graph_parse_ptr(pGraph, szDescription.c_str(), &lists.pOpenInputs, &lists.pOpenOutputs, nullptr);
    if (ret < 0)
        return ret;
    return avfilter_graph_config(pGraph, nullptr);
}

bool isAudioFrame(const AVFrame *pFrame)
{
    return pFrame->nb_samples > 0 && pFrame->ch_layout.nb_channels > 0;
}

// The named instance when it is a filter of one of the two kinds given;
// anything else handed to the buffer calls would be misread as their state.
AVFilterContext *findFilter(AVFilterGraph *pGraph, const std::string &szName, const char *szKind1,
                            const char *szKind2)
{
    if (!pGraph)
        return nullptr;
    AVFilterContext *pContext = avfilter_graph_get_filter(pGraph, szName.c_str());
    if (!pContext || !pContext->filter)
        return nullptr;
    const char *szFilter = pContext->filter->name;
    if (std::strcmp(szFilter, szKind1) != 0 && std::strcmp(szFilter, szKind2) != 0)
        return nullptr;
    return pContext;
}

} // namespace

AVFilterGraph *createFilterGraph(const std::string &szDescription, const std::vector<FilterInput> &inputs,
                                 const std::vector<FilterOutput> &outputs, const AVDictionary *pOptions)
{
    AVFilterGraphPtr pGraph(avfilter_graph_alloc());
    if (!pGraph)
        return nullptr;
    if (buildGraph(pGraph.get(), szDescription, inputs, outputs, pOptions) < 0)
        return nullptr;
    return pGraph.release();
}

AVFilterGraph *createFilterGraph(const std::string &szDescription, const FilterInput &stInput,
                                 const FilterOutput &stOutput)
{
    return createFilterGraph(szDescription, std::vector<FilterInput>{stInput}, std::vector<FilterOutput>{stOutput});
}

AVFilterGraph *createFilterGraph(const std::string &szDescription, const FilterOutput &stOutput)
{
    return createFilterGraph(szDescription, std::vector<FilterInput>(), std::vector<FilterOutput>{stOutput});
}

AVFilterGraph *createFilterGraph(const std::string &szDescription, const std::vector<FilterInput> &inputs,
                                 const FilterOutput &stOutput)
{
    return createFilterGraph(szDescription, inputs, std::vector<FilterOutput>{stOutput});
}

int pushFrameToFilter(AVFilterGraph *pGraph, const std::string &szSource, const AVFrame *pFrame)
{
    AVFilterContext *pSource = findFilter(pGraph, szSource, "buffer", "abuffer");
    if (!pSource)
        return AVERROR(EINVAL);
    if (!pFrame)
        return av_buffersrc_add_frame(pSource, nullptr);

    if (!pFrame->data[0])
        return AVERROR(EINVAL);
    const bool bVideoSource = std::strcmp(pSource->filter->name, "buffer") == 0;
    if (bVideoSource ? isAudioFrame(pFrame) : (!isAudioFrame(pFrame) && (pFrame->width > 0 || pFrame->height > 0)))
        return AVERROR_INVALIDDATA;

    AVFramePtr pClone(av_frame_clone(pFrame));
    if (!pClone)
        return AVERROR(ENOMEM);
    return av_buffersrc_add_frame(pSource, pClone.get());
}

int pullFrameFromFilter(AVFilterGraph *pGraph, const std::string &szSink, AVFrame *pFrame, bool &bGotFrame)
{
    bGotFrame = false;
    AVFilterContext *pSink = findFilter(pGraph, szSink, "buffersink", "abuffersink");
    if (!pSink || !pFrame)
        return AVERROR(EINVAL);
    AVFramePtr pPulled = makeFramePtr();
    if (!pPulled)
        return AVERROR(ENOMEM);
    const int ret = av_buffersink_get_frame(pSink, pPulled.get());
    if (ret == AVERROR(EAGAIN))
        return 0;
    if (ret < 0)
        return ret;
    av_frame_unref(pFrame);
    av_frame_move_ref(pFrame, pPulled.get());
    bGotFrame = true;
    return 0;
}
