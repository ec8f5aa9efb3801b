#include "media/preview/CSoundFeed.h"

#include "album/AlbumProjectState.h"
#include "media/ffmpeg/FrameOps.h"
#include "media/preview/CPreviewOutput.h"

#include <QDebug>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>

extern "C" {
#include <libavutil/mathematics.h>
}

namespace {

constexpr AVRational kMicroseconds{1, 1000000};
constexpr int64_t kLongestSleep = 10000;

int64_t steadyMicroseconds()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void sleepMicroseconds(int64_t iMicroseconds)
{
    std::this_thread::sleep_for(std::chrono::microseconds(std::clamp<int64_t>(iMicroseconds, 1000, kLongestSleep)));
}

int64_t samplesToMicroseconds(int64_t iSamples, int iRate)
{
    return av_rescale(iSamples, 1000000, iRate);
}

} // namespace

CSoundFeed::CSoundFeed(CPreviewOutput *pOutput, int iInstance, CSoundSource &stSource,
                       std::function<bool()> fnRunning, const std::atomic<bool> &bPaused,
                       const std::atomic<int64_t> &iSeekRequests)
    : m_pOutput(pOutput), m_iInstance(iInstance), m_stSource(stSource), m_fnRunning(std::move(fnRunning)),
      m_bPaused(bPaused), m_iSeekRequests(iSeekRequests)
{
}

// How much of what was handed over has not played yet: what the player
// says its device has not taken yet, or when it cannot tell, the feed's own
// reckoning. (A device a little faster or slower than the clock would
// otherwise take the sound ahead of or behind the pictures.)
int64_t CSoundFeed::queued()
{
    const int64_t iNow = steadyMicroseconds();
    const int64_t iPlayed = m_pOutput->playedAudio(m_iInstance);
    if (iPlayed < 0)
        return std::max<int64_t>(0, m_iPlayedOutUs - iNow);
    // The device was opened again: it holds nothing of before.
    if (iPlayed < m_iPlayedBase) {
        m_iPlayedBase = iPlayed;
        m_iHandedUs = 0;
    }
    return std::max<int64_t>(0, m_iHandedUs - (iPlayed - m_iPlayedBase));
}

void CSoundFeed::run()
{
    m_iPlayedBase = std::max<int64_t>(0, m_pOutput->playedAudio(m_iInstance));
    m_iHandedUs = 0;
    int64_t iSeekSeen = m_iSeekRequests.load();
    bool bSynced = false;
    bool bPending = false;           // the source's frame waits to be handed over
    int64_t iPendingStart = 0;
    m_iPlayedOutUs = steadyMicroseconds();
    while (m_fnRunning()) {
        // Nothing goes out while paused; what the player holds plays out meanwhile.
        if (m_bPaused.load()) {
            sleepMicroseconds(kLongestSleep);
            continue;
        }
        const int64_t iQueued = queued();
        const int64_t iWanted = m_pOutput->position() * 1000 + iQueued;
        const int64_t iSeek = m_iSeekRequests.load();
        if (iSeek != iSeekSeen) {
            iSeekSeen = iSeek;
            bSynced = false;
            m_stSource.forgetEnded();
        }
        if (bSynced && std::abs(m_iNext - iWanted) > kTolerance)
            bSynced = false;
        if (!bSynced) {
            bPending = false;
            const int64_t iFrom = m_stSource.seekTo(iWanted);
            // No sound here yet: look again when it comes near. Once it is
            // near, silence until then puts its first sample in its place.
            if (iFrom != iWanted && (iFrom - iWanted > kLead || m_stSource.seekTo(iFrom) != iFrom)) {
                sleepMicroseconds(iFrom == CSoundSource::kNoSound ? kLongestSleep : iFrom - iWanted - kLead);
                continue;
            }
            m_iNext = iWanted;
            bSynced = true;
        }
        if (iQueued >= kLead) {
            sleepMicroseconds(iQueued - kLead);
            continue;
        }
        if (!bPending) {
            const int ret = m_stSource.next(&iPendingStart);
            if (ret <= 0) {
                // The end of this stretch, or a failure that silences it.
                bSynced = false;
                continue;
            }
            bPending = true;
        }
        if (deliver(iPendingStart, m_iNext))
            bPending = false;
    }
}

// Hands over the source's frame (starting at iStart) from position iFrom on,
// or first the silence before it; true once the frame is out.
bool CSoundFeed::deliver(int64_t iStart, int64_t iFrom)
{
    AVFrame *pFrame = m_stSource.frame();
    const int iRate = pFrame->sample_rate;
    if (iRate < 1 || pFrame->nb_samples < 1) {
        av_frame_unref(pFrame);
        return true;
    }
    AVFramePtr pSilence;
    AVFrame *pOut = pFrame;
    int64_t iOutStart = iStart;
    int iSamples = pFrame->nb_samples;
    if (iStart - iFrom > samplesToMicroseconds(1, iRate)) {
        // A hole in the sound keeps its length, so that what follows stays in place.
        pSilence = makeFramePtr();
        const int iHole = static_cast<int>(av_rescale(std::min(iStart - iFrom, kLead), iRate, 1000000));
        if (!pSilence
            || makeSilentFrame(pSilence.get(), pFrame->ch_layout.nb_channels, iRate,
                               static_cast<AVSampleFormat>(pFrame->format), std::max(1, iHole))
                   < 0) {
            m_iNext = iStart;
            return false;
        }
        pOut = pSilence.get();
        iOutStart = iFrom;
        iSamples = pOut->nb_samples;
    } else {
        // What lies before the next position (a seek landed early, or the
        // music's loop overlaps) or past the stretch's end is left out.
        const int iSkip = iStart < iFrom ? static_cast<int>(std::min<int64_t>(
                                               iSamples, av_rescale(iFrom - iStart, iRate, 1000000)))
                                         : 0;
        int iKeep = iSamples - iSkip;
        const int64_t iEnd = m_stSource.stretchEnd();
        if (iEnd != INT64_MAX)
            iKeep = static_cast<int>(std::min<int64_t>(iKeep, av_rescale(iEnd - iStart, iRate, 1000000) - iSkip));
        if (iKeep < 1) {
            av_frame_unref(pFrame);
            return true;
        }
        if ((iSkip > 0 || iKeep < iSamples) && cutAudioFrame(pFrame, pFrame, iSkip, iKeep) < 0) {
            av_frame_unref(pFrame);
            return true;
        }
        iOutStart = iStart + samplesToMicroseconds(iSkip, iRate);
        iSamples = iKeep;
    }
    const int64_t iLength = samplesToMicroseconds(iSamples, iRate);
    pOut->pts = av_rescale_q(iOutStart, kMicroseconds, kSoundTimeBase);
    // May wait while the player holds nine frames; returns at once when nothing plays.
    if (m_pOutput->pushAudioFrame(pOut, m_iInstance) == 0)
        m_iHandedUs += iLength;
    m_iNext = iOutStart + iLength;
    m_iPlayedOutUs = std::max(m_iPlayedOutUs, steadyMicroseconds()) + iLength;
    return pOut == pFrame;
}

CMusicSource::CMusicSource(std::function<bool()> fnStop)
{
    m_stReader.setInterrupt(std::move(fnStop));
}

bool CMusicSource::open(const std::string &szPath)
{
    m_bFailed = m_stReader.open(szPath) < 0;
    if (!m_bFailed)
        m_iDuration = av_rescale_q(m_stReader.duration(), m_stReader.stream()->time_base, kMicroseconds);
    // Without a length the album's position cannot be found in the music.
    m_bFailed = m_bFailed || m_iDuration <= 0;
    return !m_bFailed;
}

int64_t CMusicSource::seekTo(int64_t iPosition)
{
    if (m_bFailed)
        return kNoSound;
    const int64_t iPasses = iPosition / m_iDuration;
    m_iPassStart = iPasses * m_iDuration;
    const AVStream *pStream = m_stReader.stream();
    const int64_t iTarget =
        m_stReader.startTime() + av_rescale_q(iPosition - m_iPassStart, kMicroseconds, pStream->time_base);
    if (m_stReader.seek(iTarget) < 0)
        qDebug() << "audio seek file error";
    m_iRestartsSeen = m_stReader.restarts();
    return iPosition;
}

int CMusicSource::next(int64_t *piStart)
{
    const int ret = m_stReader.decode(true);
    if (ret < 0) {
        // A music that cannot be decoded on (or has no sound at all) stays silent.
        if (ret != AVERROR(EINTR))
            m_bFailed = true;
        return ret;
    }
    if (m_stReader.restarts() != m_iRestartsSeen) {
        m_iPassStart += (m_stReader.restarts() - m_iRestartsSeen) * m_iDuration;
        m_iRestartsSeen = m_stReader.restarts();
    }
    const AVFrame *pFrame = m_stReader.frame();
    const int64_t iPts = pFrame->pts != AV_NOPTS_VALUE ? pFrame->pts : m_stReader.startTime();
    *piStart = m_iPassStart + av_rescale_q(iPts - m_stReader.startTime(), m_stReader.stream()->time_base, kMicroseconds);
    return 1;
}

CClipSoundSource::CClipSoundSource(const recipes::AlbumTimeline &stTimeline, std::function<bool()> fnStop)
    : m_stTimeline(stTimeline)
{
    m_stReader.setInterrupt(std::move(fnStop));
}

int64_t CClipSoundSource::seekTo(int64_t iPosition)
{
    const QVector<recipes::TimelineSegment> &segments = m_stTimeline.segments();
    for (int i = 0; i < segments.size(); ++i) {
        const recipes::TimelineSegment &stSegment = segments.at(i);
        if (stSegment.eKind != recipes::TimelineSegment::Kind::Video || m_silent.contains(stSegment.iMaterial)
            || m_ended.contains(i) || stSegment.end() <= iPosition)
            continue;
        if (stSegment.iStart > iPosition)
            return stSegment.iStart;
        if (m_iOpenMaterial != stSegment.iMaterial) {
            m_iOpenMaterial = -1;
            const recipes::TimelineMaterial &stMaterial = m_stTimeline.materials().at(stSegment.iMaterial);
            if (m_stReader.open(stMaterial.szPath.toUtf8().toStdString()) < 0) {
                m_silent.insert(stSegment.iMaterial);
                continue;
            }
            m_iOpenMaterial = stSegment.iMaterial;
        }
        m_iSegment = i;
        m_iStart = stSegment.iStart;
        m_iEnd = stSegment.end();
        // The clip's sound starts with its segment: its first sample at the segment's start.
        const int64_t iTarget = m_stReader.startTime()
                                + av_rescale_q(iPosition - m_iStart, kMicroseconds, m_stReader.stream()->time_base);
        if (m_stReader.seek(iTarget) < 0)
            qDebug() << "audio seek file error";
        return iPosition;
    }
    return kNoSound;
}

int CClipSoundSource::next(int64_t *piStart)
{
    const int ret = m_stReader.decode(false);
    if (ret < 0) {
        if (ret != AVERROR(EINTR))
            m_silent.insert(m_iOpenMaterial);
        return ret;
    }
    if (ret > 0) {
        const AVFrame *pFrame = m_stReader.frame();
        const int64_t iPts = pFrame->pts != AV_NOPTS_VALUE ? pFrame->pts : m_stReader.startTime();
        *piStart =
            m_iStart + av_rescale_q(iPts - m_stReader.startTime(), m_stReader.stream()->time_base, kMicroseconds);
        if (*piStart < m_iEnd)
            return 1;
    }
    // The clip's sound ended, or reached the end of its picture.
    m_ended.insert(m_iSegment);
    return 0;
}
