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
constexpr int64_t kShortestLead = 20000;

void sleepFor(int64_t iMicroseconds)
{
    std::this_thread::sleep_for(std::chrono::microseconds(iMicroseconds));
}

int64_t samplesToMicroseconds(int64_t iSamples, int iRate)
{
    return av_rescale(iSamples, 1000000, iRate);
}

} // namespace

CSoundFeed::CSoundFeed(CPreviewOutput *pOutput, int iInstance, CSoundSource &stSource,
                       std::function<bool()> fnRunning, const std::atomic<bool> &bPaused,
                       const std::atomic<int64_t> &iSeekRequests, SleepFn fnSleep)
    : m_pOutput(pOutput), m_iInstance(iInstance), m_stSource(stSource), m_fnRunning(std::move(fnRunning)),
      m_bPaused(bPaused), m_iSeekRequests(iSeekRequests),
      m_fnSleep(fnSleep ? std::move(fnSleep) : SleepFn(&sleepFor))
{
}

double CSoundFeed::stretchFor(int64_t iOffset)
{
    if (std::abs(iOffset) < kInStep)
        return 0;
    return std::clamp(double(iOffset) / double(kCatchUp), -kMostStretch, kMostStretch);
}

void CSoundFeed::run()
{
    int64_t iSeekSeen = m_iSeekRequests.load();
    bool bSynced = false;
    bool bDropWaiting = false;       // what the player holds is of an old place
    bool bPending = false;           // the source's frame waits to be handed over
    int64_t iPendingStart = 0;
    while (m_fnRunning()) {
        // The player holds its sound while paused.
        if (m_bPaused.load()) {
            m_fnSleep(kIdleWait);
            continue;
        }
        const int64_t iSeek = m_iSeekRequests.load();
        if (iSeek != iSeekSeen) {
            iSeekSeen = iSeek;
            bSynced = false;
            bDropWaiting = true;
            m_stSource.forgetEnded();
        }
        CPreviewOutput::SoundBacklog stBacklog;
        if (!m_pOutput->soundBacklog(m_iInstance, &stBacklog)) {
            // Nothing plays this sound: nothing to decode either.
            bSynced = false;
            m_fnSleep(kIdleWait);
            continue;
        }
        if (bDropWaiting) {
            m_pOutput->dropAudio(m_iInstance);
            bDropWaiting = false;
            continue;
        }
        const int64_t iClock = m_pOutput->position() * 1000;
        const int64_t iLead = stBacklog.iPeriodUs + m_iFrameUs;
        if (!bSynced) {
            bPending = false;
            // The next sample handed over is heard once the backlog has played.
            const int64_t iWanted = iClock + stBacklog.iUnheardUs;
            const int64_t iFrom = m_stSource.seekTo(iWanted);
            // No sound here yet: look again when it comes near. Once it is
            // near, silence until then puts its first sample in its place.
            if (iFrom != iWanted && (iFrom - iWanted > iLead || m_stSource.seekTo(iFrom) != iFrom)) {
                m_fnSleep(iFrom == CSoundSource::kNoSound
                              ? kIdleWait
                              : std::clamp<int64_t>(iFrom - iWanted - iLead, 1000, kIdleWait));
                continue;
            }
            m_iNext = iWanted;
            m_lfOwed = 0;
            bSynced = true;
        }
        // > 0: the sound is heard ahead of the pictures.
        const int64_t iOffset = m_iNext - stBacklog.iUnheardUs - iClock;
        if (std::abs(iOffset) > kJump) {
            bSynced = false;
            bDropWaiting = true;
            continue;
        }
        if (stBacklog.iWaitingUs >= iLead || iOffset >= iLead) {
            m_fnSleep(std::clamp<int64_t>(std::max(stBacklog.iWaitingUs, iOffset) - iLead, 1000, kIdleWait / 2));
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
        if (deliver(iPendingStart, stretchFor(iOffset)))
            bPending = false;
    }
    // A stopped preview's sound stops with it.
    m_pOutput->dropAudio(m_iInstance);
}

// Hands over the source's frame (starting at iStart) from m_iNext on, or
// first the silence before it; true once the frame is out.
bool CSoundFeed::deliver(int64_t iStart, double lfStretch)
{
    AVFrame *pFrame = m_stSource.frame();
    const int iRate = pFrame->sample_rate;
    if (iRate < 1 || pFrame->nb_samples < 1) {
        av_frame_unref(pFrame);
        return true;
    }
    const int64_t iFrom = m_iNext;
    AVFramePtr pSilence;
    AVFrame *pOut = pFrame;
    int64_t iOutStart = iStart;
    int iSamples = pFrame->nb_samples;
    if (iStart - iFrom > samplesToMicroseconds(1, iRate)) {
        // A hole in the sound keeps its length, so that what follows stays in place.
        pSilence = makeFramePtr();
        const int iHole = static_cast<int>(av_rescale(std::min(iStart - iFrom, m_iFrameUs), iRate, 1000000));
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
        // The lead beyond the device's period: one frame, and never a sliver.
        m_iFrameUs = std::max<int64_t>(kShortestLead, samplesToMicroseconds(iSamples, iRate));
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
    pOut->pts = av_rescale_q(iOutStart, kMicroseconds, kSoundTimeBase);
    if (lfStretch != 0) {
        const double lfWanted = iSamples * (1 + lfStretch) + m_lfOwed;
        const int iStretched = std::max(1, static_cast<int>(std::lround(lfWanted)));
        m_lfOwed = lfWanted - iStretched;
        if (iStretched != iSamples)
            (void)stretchAudioFrame(pOut, pOut, iStretched); // unstretched when it fails
    }
    // May wait while the player holds nine frames; returns at once when nothing plays.
    (void)m_pOutput->pushAudioFrame(pOut, m_iInstance);
    m_iNext = iOutStart + samplesToMicroseconds(iSamples, iRate);
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
        // The reader skips what it cannot read or decode; a music that
        // still fails (or has no sound at all) stays silent.
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
        // The rest of this clip's stretch is silent; the file is opened
        // afresh when the walk comes back to it.
        if (ret != AVERROR(EINTR)) {
            m_ended.insert(m_iSegment);
            m_iOpenMaterial = -1;
        }
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
