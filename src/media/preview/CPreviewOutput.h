#pragma once

// What the preview's producers (the picture renderer, the music and clip-sound
// feeders) see of the player. The player panel implements it; the album state
// keeps the one in use as pVideoPlay, so producers in the engine reach the
// player without linking a widget, and tests can record what they push.
//
// Every call may come from any thread. The producers stamp what they push:
// a picture's pts is its frame number on the album's timeline (25 a second),
// a sound frame's pts its place on that timeline in 1/44100 s. The player
// itself needs neither.

#include <cstdint>

struct AVFrame;

class CPreviewOutput
{
public:
    virtual ~CPreviewOutput() = default;

    // Where the player's clock stands now, in milliseconds (stPlayerTimeBase).
    virtual int64_t position() const = 0;

    // Hands one picture to the display. Blocks while three pictures are
    // waiting and the display runs; returns 0 once the picture is queued.
    // Returns -1 at once when nothing shows pictures (no display running, or
    // it is stopped while the caller waits), and for a null frame.
    // The caller's frame is left unreferenced in every case.
    virtual int pushVideoFrame(AVFrame *pFrame) = 0;

    // Hands one frame of sound to instance 0 (background music) or 1 (the
    // clips' own sound). Blocks while nine frames are waiting and the audio
    // device plays; 0 once queued. Returns -1 at once when that instance has
    // no open audio device (never opened, failed to open, closed while the
    // caller waits), for a null frame and for another index.
    // The caller's frame is left unreferenced in every case.
    virtual int pushAudioFrame(AVFrame *pFrame, int iIndex) = 0;

    // What instance iIndex's sound output has been given and not played
    // yet: what still waits for the device and what the device holds.
    struct SoundBacklog
    {
        int64_t iUnheardUs = 0; // handed over and not heard yet
        int64_t iWaitingUs = 0; // of that, what has not gone to the device yet
        int64_t iPeriodUs = 0;  // what the device takes at a time
    };
    // False when nothing plays that instance's sound (no open device).
    virtual bool soundBacklog(int iIndex, SoundBacklog *pBacklog) const = 0;
    // Drops the sound of instance iIndex that has not gone to the device yet.
    virtual void dropAudio(int iIndex) = 0;
};
