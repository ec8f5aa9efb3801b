#include "media/recipes/AlbumTimeline.h"

#include "album/AlbumProjectState.h"
#include "media/recipes/PictureRecipes.h"

#include <algorithm>

extern "C" {
#include <libavutil/mathematics.h>
}

namespace recipes {

namespace {

constexpr AVRational kMicroseconds{1, 1000000};

} // namespace

AlbumTimeline::AlbumTimeline(const AlbumProjectState &st, AVRational stFrameRate)
    : m_transitions(st.listTransitions), m_stFrameRate(stFrameRate), m_iFraming(st.iFraming), m_iMotion(st.iMotion),
      m_iMotionSeed(st.iMotionSeed)
{
    const int iCount = st.listImageSourceOrder.size();
    m_materials.reserve(iCount);
    m_segments.reserve(2 * iCount);
    const auto append = [this](TimelineSegment::Kind eKind, int iMaterial, int64_t iDuration, int64_t iFrames) {
        TimelineSegment stSegment;
        stSegment.eKind = eKind;
        stSegment.iMaterial = iMaterial;
        stSegment.iStart = m_iDuration;
        stSegment.iDuration = std::max<int64_t>(0, iDuration);
        stSegment.iFirstFrame = m_iTotalFrames;
        stSegment.iFrames = iFrames;
        m_segments.append(stSegment);
        m_iDuration += stSegment.iDuration;
        m_iTotalFrames += iFrames;
    };

    int iPhotos = 0;
    for (int i = 0; i < iCount; ++i) {
        TimelineMaterial stMaterial;
        stMaterial.szPath = st.listImageSourceOrder.at(i);
        const auto it = st.mapImageSources.constFind(stMaterial.szPath);
        const bool bHasRecord = it != st.mapImageSources.constEnd();
        if (bHasRecord) {
            stMaterial.iSourceType = it->iSourceType;
            stMaterial.iRotation = it->iRotation;
            stMaterial.stSize = it->stSrcImageSize;
            stMaterial.iDuration = it->iDuration;
            stMaterial.stTimeBase = it->stTimeBase;
            if (stMaterial.iSourceType == SourceImage)
                stMaterial.iPhoto = iPhotos++;
        }
        m_materials.append(stMaterial);

        if (stMaterial.iSourceType == SourceVideo) {
            append(TimelineSegment::Kind::Video, i, av_rescale_q(stMaterial.iDuration, stMaterial.stTimeBase, kMicroseconds),
                   segmentFrameCount(stMaterial.iDuration, stMaterial.stTimeBase, stFrameRate));
        } else if (stMaterial.iSourceType == SourceImage) {
            // The photo's own duration where it has one, the album's otherwise.
            const int64_t iShown = materialDuration(*it, st);
            append(TimelineSegment::Kind::Image, i, iShown, segmentFrameCount(iShown, kMicroseconds, stFrameRate));
        } else {
            // A material of another type shows nothing but keeps its place,
            // as long as an image would; one without a record has no length.
            append(TimelineSegment::Kind::Nothing, i,
                   bHasRecord ? av_rescale_q(st.iImageDuration, st.stImageDurationTimeBase, kMicroseconds)
                                          : 0,
                   0);
        }
        // A transition list shorter than the album (a state out of step)
        // leaves the pair without a transition rather than reading past it.
        if (i < iCount - 1 && i < m_transitions.size()) {
            const TransitionSegment &stTransition = m_transitions.at(i);
            append(TimelineSegment::Kind::Transition, i,
                   av_rescale_q(stTransition.iDuration, stTransition.stTimeBase, kMicroseconds),
                   segmentFrameCount(stTransition.iDuration, stTransition.stTimeBase, stFrameRate));
        }
    }
}

bool AlbumTimeline::moves(int iMaterial) const
{
    return m_iMotion == MotionGentle && iMaterial >= 0 && iMaterial < m_materials.size()
           && m_materials.at(iMaterial).iSourceType == SourceImage;
}

bool AlbumTimeline::screenFrames(int iMaterial, int64_t *piFirst, int64_t *piFrames) const
{
    const int iOwn = segmentOfMaterial(iMaterial);
    if (iOwn < 0)
        return false;
    const auto isTransitionOf = [this](int iSegment, int iBefore) {
        return iSegment >= 0 && iSegment < m_segments.size()
               && m_segments.at(iSegment).eKind == TimelineSegment::Kind::Transition
               && m_segments.at(iSegment).iMaterial == iBefore;
    };
    const int iFirst = isTransitionOf(iOwn - 1, iMaterial - 1) ? iOwn - 1 : iOwn;
    const int iLast = isTransitionOf(iOwn + 1, iMaterial) ? iOwn + 1 : iOwn;
    *piFirst = m_segments.at(iFirst).iFirstFrame;
    *piFrames = m_segments.at(iLast).endFrame() - *piFirst;
    return *piFrames > 0;
}

const TransitionSegment *AlbumTimeline::transition(const TimelineSegment &stSegment) const
{
    if (stSegment.eKind != TimelineSegment::Kind::Transition || stSegment.iMaterial < 0
        || stSegment.iMaterial >= m_transitions.size())
        return nullptr;
    return &m_transitions.at(stSegment.iMaterial);
}

int AlbumTimeline::segmentOfFrame(int64_t iFrame) const
{
    if (iFrame < 0 || iFrame >= m_iTotalFrames)
        return -1;
    // The first segment that ends after the frame; segments without frames end where they start.
    const auto it = std::upper_bound(m_segments.cbegin(), m_segments.cend(), iFrame,
                                     [](int64_t f, const TimelineSegment &s) { return f < s.endFrame(); });
    return it == m_segments.cend() ? -1 : static_cast<int>(it - m_segments.cbegin());
}

int AlbumTimeline::segmentOfMaterial(int iMaterial) const
{
    for (int i = 0; i < m_segments.size(); ++i) {
        if (m_segments.at(i).iMaterial == iMaterial && m_segments.at(i).eKind != TimelineSegment::Kind::Transition)
            return i;
    }
    return -1;
}

int64_t AlbumTimeline::frameAt(int64_t iPosition) const
{
    if (iPosition <= 0)
        return 0;
    for (const TimelineSegment &stSegment : m_segments) {
        if (iPosition >= stSegment.end() || stSegment.iFrames < 1)
            continue;
        const int64_t iOffset = std::max<int64_t>(0, iPosition - stSegment.iStart);
        const int64_t iInside = av_rescale_q_rnd(iOffset, kMicroseconds, av_inv_q(m_stFrameRate), AV_ROUND_DOWN);
        return stSegment.iFirstFrame + std::min(iInside, stSegment.iFrames - 1);
    }
    return m_iTotalFrames;
}

int64_t AlbumTimeline::frameStart(int64_t iFrame) const
{
    const int iSegment = segmentOfFrame(iFrame);
    if (iSegment < 0)
        return iFrame < 0 ? 0 : m_iDuration;
    const TimelineSegment &stSegment = m_segments.at(iSegment);
    return stSegment.iStart + av_rescale_q(iFrame - stSegment.iFirstFrame, av_inv_q(m_stFrameRate), kMicroseconds);
}

int64_t AlbumTimeline::materialEnd(int iRow) const
{
    if (iRow < 0)
        return 0;
    const int iSegment = segmentOfMaterial(std::min(iRow, static_cast<int>(m_materials.size()) - 1));
    return iSegment < 0 ? m_iDuration : m_segments.at(iSegment).end();
}

} // namespace recipes

int64_t materialEndPosition(int iRow)
{
    // The same walk the renderers take, so that a position given here falls
    // on the frame they count there.
    return recipes::AlbumTimeline(albumState(), AVRational{25, 1}).materialEnd(iRow);
}
