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

    // Microseconds of the sound pushed to instance iIndex that its device
    // has taken so far (since the device was opened), so that a producer can
    // tell how much still waits; -1 when the player cannot tell.
    virtual int64_t playedAudio(int iIndex) const
    {
        (void)iIndex;
        return -1;
    }
};
