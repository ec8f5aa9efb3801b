#pragma once

// The album as a row of segments on one timeline: each material's own
// stretch and the transition after it, with their times (microseconds) and
// their frames at a given rate. The export renders the segments in this
// order; the preview finds where a position falls; the editor takes the end
// of a material from it. All three therefore count the same frames: a
// segment of duration d has trunc(d x rate) frames and starts at the frame
// after the previous segment's last.

#include <QList>
#include <QSize>
#include <QString>
#include <QVector>

#include <cstdint>

extern "C" {
#include <libavutil/rational.h>
}

struct AlbumProjectState;
struct TransitionSegment;

namespace recipes {

// What the renderers need of a material, copied out of the album so that no
// thumbnail picture is touched outside the GUI thread.
struct TimelineMaterial
{
    QString szPath;
    int iSourceType = 0;          // SourceImage, SourceVideo; 0 when the path has no record
    int64_t iRotation = 0;
    QSize stSize;                 // as shown, before the user's turns
    int64_t iDuration = 0;        // in stTimeBase (videos)
    AVRational stTimeBase{0, 1};
    int iPhoto = -1;              // which photo of the album it is, counting from 0; -1 for others
};

struct TimelineSegment
{
    enum class Kind {
        Image,
        Video,
        Transition,
        Nothing,                  // a material that renders no frames (no record, unknown type)
    };
    Kind eKind = Kind::Nothing;
    int iMaterial = 0;            // in album order; a transition's is the material before it
    int64_t iStart = 0;           // microseconds on the album timeline
    int64_t iDuration = 0;        // microseconds
    int64_t iFirstFrame = 0;
    int64_t iFrames = 0;

    int64_t end() const { return iStart + iDuration; }
    int64_t endFrame() const { return iFirstFrame + iFrames; }
};

class AlbumTimeline
{
public:
    AlbumTimeline() = default;
    // Walks the album of st at stFrameRate. Reads the state without locking it.
    AlbumTimeline(const AlbumProjectState &st, AVRational stFrameRate);

    const QVector<TimelineSegment> &segments() const { return m_segments; }
    const QVector<TimelineMaterial> &materials() const { return m_materials; }
    // The transition record behind a Transition segment.
    const TransitionSegment *transition(const TimelineSegment &stSegment) const;
    AVRational frameRate() const { return m_stFrameRate; }
    int64_t totalFrames() const { return m_iTotalFrames; }
    int64_t duration() const { return m_iDuration; }
    // How pictures fill the frame (FramingFit ...), and whether material
    // iMaterial moves (a photo in an album with motion on).
    int framing() const { return m_iFraming; }
    bool moves(int iMaterial) const;
    uint32_t motionSeed() const { return m_iMotionSeed; }
    // The frames material iMaterial is on screen: its own and those of the
    // transitions on either side of it. False for a material without frames.
    bool screenFrames(int iMaterial, int64_t *piFirst, int64_t *piFrames) const;

    // The segment whose frames hold iFrame; -1 when none does.
    int segmentOfFrame(int64_t iFrame) const;
    // The segment of material iMaterial (not its transition); -1 when none.
    int segmentOfMaterial(int iMaterial) const;
    // The frame on screen at iPosition (microseconds): inside a segment, the
    // frame its offset falls in (its last frame in the tail shorter than a
    // frame); in a segment without frames, the next segment's first.
    // totalFrames() at or after the end, 0 before the start.
    int64_t frameAt(int64_t iPosition) const;
    // Where frame iFrame starts on the timeline, in microseconds; the end
    // of the album for totalFrames() and beyond.
    int64_t frameStart(int64_t iFrame) const;
    // Where the material of album row iRow ends: the start of the transition
    // after it. 0 for a negative row, the end of the album past the last.
    int64_t materialEnd(int iRow) const;

private:
    QVector<TimelineMaterial> m_materials;
    QVector<TimelineSegment> m_segments;
    QList<TransitionSegment> m_transitions;
    AVRational m_stFrameRate{25, 1};
    int64_t m_iTotalFrames = 0;
    int64_t m_iDuration = 0;
    int m_iFraming = 0;
    int m_iMotion = 0;
    uint32_t m_iMotionSeed = 0;
};

} // namespace recipes

// Timeline position (microseconds) at which the material of album row iRow
// ends, at the 25 frames a second the editor's player counts.
int64_t materialEndPosition(int iRow);
