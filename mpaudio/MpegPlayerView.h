// The player window of the viewer library (class "ZqMP"): time, file name,
// ID3v1 tag and stream parameters on black, a seek bar, a volume bar and
// the buttons REW, PLAY, PAUSE, STOP, FF. It fills its parent (the view
// window) and plays the file as soon as it opens.
//
// The viewer's detection chain calls MpegPlayerViewOpen for a file that
// MpegFileWanted accepts while no player view exists (*playerBusy is 0),
// then keeps the view as the view object of the MPEG kind; ViewResize calls
// MpegPlayerViewResize and ViewClose calls MpegPlayerViewClose first.
#pragma once

#include "Mp3Player.h"

#include <windows.h>

struct MpegPlayerView;

// Commands of the player window (WM_COMMAND ids).
enum MpegPlayerCommand {
    kMpegCmdPlay = 1151,
    kMpegCmdStop = 1152,
    kMpegCmdPause = 1153,
    kMpegCmdRew = 1155,
    kMpegCmdFf = 1156,
};

enum MpegPlayState { kMpegStopped = 0, kMpegPlaying = 1, kMpegPaused = 2 };

// Name test (.MP1/.MP2/.MP3/.MPP, or an extension of another length) and a
// playable stream inside.
bool MpegFileWanted(const char* path);

// Opens the view over the client area of `parent` and starts playing
// `openPath`; `displayPath` gives the name shown. `playerBusy` (may be null)
// is set while the view exists and cleared at close. Null on failure.
MpegPlayerView* MpegPlayerViewOpen(HWND parent, HINSTANCE instance, const char* openPath,
                                   const char* displayPath, uint8_t* playerBusy);
void MpegPlayerViewResize(HWND parent, MpegPlayerView* view);
// Stops playback (paused or not), waits for the player, destroys the window
// and frees the view.
void MpegPlayerViewClose(MpegPlayerView* view);

// For the viewer and tests: the window, the play state and the player.
HWND MpegPlayerViewWindow(const MpegPlayerView* view);
int MpegPlayerViewState(const MpegPlayerView* view);
Mp3Player* MpegPlayerViewPlayer(const MpegPlayerView* view);
// Seconds shown on the time line.
uint32_t MpegPlayerViewSeconds(const MpegPlayerView* view);
