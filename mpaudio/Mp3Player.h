// The MPEG audio player: plays one file through waveOut on a thread of its
// own and answers the player window's questions (position, seek, pause,
// volume, the file's description).
//
// Ownership: Mp3Start stores the record in the caller's slot; the caller
// frees it with Mp3WaitEnd, which also stops playback. The thread never
// frees the record, so the window may ask it questions until then.
#pragma once

#include "Mp3Scan.h"

#include <windows.h>

struct Mp3Player;

// How the player reaches files. The viewer library routes these through its
// host's file services; without a table the player uses Win32 directly.
struct Mp3FileServices {
    // 0 when the file exists.
    int (*check)(const char* path);
    // Null on failure.
    void* (*open)(const char* path);
    // 0 on success.
    int (*size)(void* file, uint64_t* size);
    // Reads exactly `count` bytes at `offset`; 0 on success.
    int (*readAt)(void* file, uint64_t offset, void* buffer, uint32_t count);
    void (*close)(void* file);
};
void Mp3SetFileServices(const Mp3FileServices* services);

// lParam of the message posted when playback has ended (wParam 0).
constexpr LPARAM kMp3EndOfPlay = -1;

// Starts playing when the file exists; *slot receives the player.
void Mp3Start(HWND notifyWindow, Mp3Player** slot, const char* fileName);
// Like Mp3Start, but the device stays paused until Mp3Resume.
void Mp3StartPaused(HWND notifyWindow, Mp3Player** slot, const char* fileName);
// Positions go to `window` as `message` (wParam seconds, lParam percent),
// posted when either changes; the end as (0, kMp3EndOfPlay).
void Mp3SetNotify(Mp3Player* player, HWND window, UINT message);
void Mp3Pause(Mp3Player* player);
void Mp3Resume(Mp3Player* player);
// Stops at once, paused or not: queued buffers are dropped.
void Mp3RequestStop(Mp3Player* player);
// True once the playback thread has ended (end of file, stop or failure).
bool Mp3IsFinished(Mp3Player* player);
// Requests the stop, waits up to `timeoutMs` for the thread, frees the
// record and clears *slot. False (the record is left alone) when the
// thread did not end in time.
bool Mp3WaitEnd(Mp3Player** slot, DWORD timeoutMs);
// Position of the audio played so far.
uint32_t Mp3GetPercent(Mp3Player* player);
uint32_t Mp3GetSeconds(Mp3Player* player);
// Playback continues at `percent` (0 to 100) of the file; what is queued
// is dropped, so the jump is heard at once.
void Mp3SeekPercent(Mp3Player* player, uint32_t percent);
// Device volume, low word left, high word right; with a null player a
// temporary device is opened for the call.
uint32_t Mp3GetVolume(Mp3Player* player);
// `value` 0 to 255 on both channels.
void Mp3SetVolume(Mp3Player* player, uint32_t value);
// Tag and stream description; false (info untouched) when the file cannot
// be read or holds no frames.
bool Mp3ReadInfo(const char* fileName, Mp3Info* info);
// Nonzero when the file holds a playable stream.
int Mp3CheckFile(const char* fileName);

// CPU time (user and kernel, in seconds) the playback thread has used so
// far, ended or not (for the benchmark).
double Mp3ThreadCpuSeconds(Mp3Player* player);

// Wave devices the players of this process hold open (for tests).
LONG Mp3OpenDeviceCount();
