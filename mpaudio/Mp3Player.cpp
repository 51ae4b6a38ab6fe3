// Playback thread, waveOut buffers and the player's operations.
#include "Mp3Player.h"

#include "Mp3FrameReader.h"

#include <mmsystem.h>
#include <process.h>

#include <new>

namespace {

// Each waveOut call is a round trip to the system's audio thread (under Wine
// it costs more than decoding the frame), so a buffer carries as many frames
// as make about 3/4 s of sound, up to 32: the position shown moves with the
// buffers the device returns, and must never step by a whole second. 8 such
// buffers keep about 6 s queued.
constexpr int kBuffers = 8;
constexpr int kFramesPerBuffer = 32;
// A device that returns no buffer for this long while playing is taken
// for hung: playback ends rather than waiting for ever.
constexpr DWORD kDeviceStallMs = 10000;

struct Buffer {
    WAVEHDR header;
    uint32_t endFrame; // index of the frame after the last it holds
    bool queued;
    uint8_t data[kFramesPerBuffer * kMpaMaxOutputBytes];
};

volatile LONG gOpenDevices = 0;

// The player's own file access when the viewer has not given its host's.
int Win32Check(const char* path) { return GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES ? 1 : 0; }

void* Win32Open(const char* path) {
    HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    return h == INVALID_HANDLE_VALUE ? nullptr : h;
}

int Win32Size(void* f, uint64_t* size) {
    LARGE_INTEGER li;
    if (!GetFileSizeEx((HANDLE)f, &li))
        return 1;
    *size = (uint64_t)li.QuadPart;
    return 0;
}

int Win32ReadAt(void* f, uint64_t offset, void* buffer, uint32_t count) {
    LARGE_INTEGER li;
    li.QuadPart = (LONGLONG)offset;
    DWORD got = 0;
    if (!SetFilePointerEx((HANDLE)f, li, nullptr, FILE_BEGIN) || !ReadFile((HANDLE)f, buffer, count, &got, nullptr))
        return 1;
    return got == count ? 0 : 1;
}

void Win32Close(void* f) { CloseHandle((HANDLE)f); }

const Mp3FileServices kWin32Files = {Win32Check, Win32Open, Win32Size, Win32ReadAt, Win32Close};
const Mp3FileServices* gFiles = &kWin32Files;

// An open file as the pure code's byte source.
struct PlayerFile {
    const Mp3FileServices* files = nullptr;
    void* handle = nullptr;
    Mp3Source src = {};

    bool Open(const char* path) {
        files = gFiles;
        handle = files->open(path);
        uint64_t size = 0;
        if (!handle || files->size(handle, &size) != 0)
            return false;
        src.context = this;
        src.read = Read;
        src.size = size;
        return true;
    }
    void Close() {
        if (handle)
            files->close(handle);
        handle = nullptr;
    }
    static int32_t Read(void* c, uint64_t offset, void* buffer, uint32_t count) {
        PlayerFile* f = (PlayerFile*)c;
        return f->files->readAt(f->handle, offset, buffer, count) == 0 ? (int32_t)count : -1;
    }
};

} // namespace

struct Mp3Player {
    char fileName[MAX_PATH];
    volatile HWND notifyWindow;
    volatile UINT notifyMessage;
    volatile LONG stopFlag;
    volatile LONG pauseFlag;
    volatile LONG seekRequest; // percent, or -1
    volatile LONG finished;
    // Written by the thread once the stream is known; read by the window.
    volatile LONG frameCount;
    volatile LONG playedFrame;
    Mp3Stream stream;
    HANDLE thread;
    HANDLE wake;        // stop, seek and resume requests
    HANDLE deviceEvent; // waveOut's buffer-done signal
    volatile HWAVEOUT device;
    uint32_t lastSeconds, lastPercent;
    bool posted;
};

namespace {

void PostPosition(Mp3Player* p) {
    HWND w = p->notifyWindow;
    UINT msg = p->notifyMessage;
    if (!msg || !IsWindow(w))
        return;
    uint32_t sec = Mp3GetSeconds(p), pct = Mp3GetPercent(p);
    if (p->posted && sec == p->lastSeconds && pct == p->lastPercent)
        return;
    p->posted = true;
    p->lastSeconds = sec;
    p->lastPercent = pct;
    PostMessageA(w, msg, sec, (LPARAM)pct);
}

// Takes back every buffer the device has finished with, in any order; the
// newest finished one gives the position.
void Reclaim(Mp3Player* p, HWAVEOUT dev, Buffer* bufs, bool all) {
    for (int i = 0; i < kBuffers; i++) {
        Buffer& b = bufs[i];
        if (!b.queued || (!all && !(b.header.dwFlags & WHDR_DONE)))
            continue;
        waveOutUnprepareHeader(dev, &b.header, sizeof(WAVEHDR));
        b.queued = false;
        if (!all && (LONG)b.endFrame > p->playedFrame)
            InterlockedExchange(&p->playedFrame, (LONG)b.endFrame);
    }
}

int QueuedCount(const Buffer* bufs) {
    int n = 0;
    for (int i = 0; i < kBuffers; i++)
        n += bufs[i].queued;
    return n;
}

HWAVEOUT OpenDevice(Mp3Player* p, const MpaStreamInfo& f, HANDLE event) {
    WAVEFORMATEX wf = {};
    wf.wFormatTag = WAVE_FORMAT_PCM;
    wf.nChannels = (WORD)f.channels;
    wf.nSamplesPerSec = (DWORD)f.sampleRate;
    wf.wBitsPerSample = (WORD)f.bits;
    wf.nBlockAlign = (WORD)(f.bits / 8 * f.channels);
    wf.nAvgBytesPerSec = wf.nBlockAlign * wf.nSamplesPerSec;
    HWAVEOUT dev = nullptr;
    // Another program may hold the device for a moment.
    for (int attempt = 0; attempt < 100 && !p->stopFlag; attempt++) {
        MMRESULT r = waveOutOpen(&dev, WAVE_MAPPER, &wf, (DWORD_PTR)event, 0, CALLBACK_EVENT);
        if (r == MMSYSERR_NOERROR)
            return dev;
        if (r != MMSYSERR_ALLOCATED)
            break;
        WaitForSingleObject(p->wake, 10);
    }
    return nullptr;
}

// Plays the decoded frames; returns when the data ends, a stop arrives or
// the device stalls.
void PlayLoop(Mp3Player* p, Mp3Decoding* d, HWAVEOUT dev, Buffer* bufs) {
    const MpaStreamInfo& f = d->format;
    uint32_t fillBytes = (uint32_t)f.sampleRate * (uint32_t)f.channels * (uint32_t)(f.bits / 8) * 3 / 4;
    if (!fillBytes)
        fillBytes = 1; // at least a frame a buffer
    bool dataEnded = false;
    DWORD lastProgress = GetTickCount();
    for (;;) {
        if (p->stopFlag)
            break;
        LONG seek = InterlockedExchange(&p->seekRequest, -1);
        if (seek >= 0) {
            waveOutReset(dev);
            Reclaim(p, dev, bufs, true);
            if (p->pauseFlag)
                waveOutPause(dev); // a reset device may start again on the next write
            Mp3DecodingSeek(d, (uint32_t)seek);
            InterlockedExchange(&p->playedFrame, (LONG)d->frameIndex);
            dataEnded = false;
            PostPosition(p);
        }
        int before = p->playedFrame;
        Reclaim(p, dev, bufs, false);
        if (p->playedFrame != before || p->pauseFlag)
            lastProgress = GetTickCount();
        PostPosition(p);
        Buffer* free = nullptr;
        for (int i = 0; i < kBuffers && !free && !dataEnded; i++)
            if (!bufs[i].queued)
                free = &bufs[i];
        if (free) {
            uint32_t n = 0;
            for (int i = 0; i < kFramesPerBuffer && n < fillBytes && !p->stopFlag && p->seekRequest < 0; i++) {
                uint32_t got = Mp3DecodingNext(d, free->data + n);
                if (!got) {
                    dataEnded = true;
                    break;
                }
                n += got;
            }
            if (!n)
                continue;
            free->endFrame = d->frameIndex;
            memset(&free->header, 0, sizeof(WAVEHDR));
            free->header.lpData = (LPSTR)free->data;
            free->header.dwBufferLength = n;
            if (waveOutPrepareHeader(dev, &free->header, sizeof(WAVEHDR)) != MMSYSERR_NOERROR)
                break;
            free->queued = true;
            if (waveOutWrite(dev, &free->header, sizeof(WAVEHDR)) != MMSYSERR_NOERROR) {
                waveOutUnprepareHeader(dev, &free->header, sizeof(WAVEHDR));
                free->queued = false;
                break;
            }
            continue;
        }
        if (dataEnded && QueuedCount(bufs) == 0)
            break;
        if (GetTickCount() - lastProgress > kDeviceStallMs)
            break;
        HANDLE events[2] = {p->deviceEvent, p->wake};
        WaitForMultipleObjects(2, events, FALSE, 200);
    }
    waveOutReset(dev);
    Reclaim(p, dev, bufs, true);
}

unsigned __stdcall PlayerThread(void* arg) {
    Mp3Player* p = (Mp3Player*)arg;
    PlayerFile file;
    Mp3Decoding* d = nullptr;
    Buffer* bufs = nullptr;
    Mp3Tag tag;
    if (file.Open(p->fileName) && !p->stopFlag && Mp3ReadTag(file.src, &tag) &&
        Mp3ScanStream(file.src, file.src.size - (tag.present ? 128 : 0), &p->stream) == kMp3ScanOk &&
        !p->stopFlag) {
        InterlockedExchange(&p->frameCount, (LONG)p->stream.frameCount);
        d = new (std::nothrow) Mp3Decoding();
        bufs = new (std::nothrow) Buffer[kBuffers]();
        if (d && bufs && Mp3DecodingOpen(d, file.src, p->stream)) {
            HWAVEOUT dev = OpenDevice(p, d->format, p->deviceEvent);
            if (dev) {
                InterlockedIncrement(&gOpenDevices);
                p->device = dev;
                if (p->pauseFlag)
                    waveOutPause(dev);
                PlayLoop(p, d, dev, bufs);
                p->device = nullptr;
                waveOutClose(dev);
                InterlockedDecrement(&gOpenDevices);
            }
            Mp3DecodingClose(d);
        }
    }
    delete d;
    delete[] bufs;
    file.Close();
    // Finished before the end is posted: the window that receives it must
    // find the player finished, or the end is lost and the view plays on.
    HWND w = p->notifyWindow;
    UINT msg = p->notifyMessage;
    InterlockedExchange(&p->finished, 1);
    if (msg && IsWindow(w))
        PostMessageA(w, msg, 0, kMp3EndOfPlay);
    return 0;
}

void Start(HWND notifyWindow, Mp3Player** slot, const char* fileName, bool paused) {
    if (!fileName || gFiles->check(fileName) != 0 || strlen(fileName) >= MAX_PATH)
        return;
    Mp3Player* p = new (std::nothrow) Mp3Player();
    if (!p)
        return;
    strcpy(p->fileName, fileName);
    p->notifyWindow = notifyWindow;
    p->seekRequest = -1;
    p->pauseFlag = paused;
    p->wake = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    p->deviceEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (p->wake && p->deviceEvent)
        p->thread = (HANDLE)_beginthreadex(nullptr, 0, PlayerThread, p, 0, nullptr);
    if (!p->thread) {
        if (p->wake)
            CloseHandle(p->wake);
        if (p->deviceEvent)
            CloseHandle(p->deviceEvent);
        delete p;
        return;
    }
    *slot = p;
}

} // namespace

void Mp3SetFileServices(const Mp3FileServices* services) { gFiles = services ? services : &kWin32Files; }

void Mp3Start(HWND notifyWindow, Mp3Player** slot, const char* fileName) {
    Start(notifyWindow, slot, fileName, false);
}

void Mp3StartPaused(HWND notifyWindow, Mp3Player** slot, const char* fileName) {
    Start(notifyWindow, slot, fileName, true);
}

void Mp3SetNotify(Mp3Player* p, HWND window, UINT message) {
    if (!p)
        return;
    p->notifyWindow = window;
    p->notifyMessage = message;
    // A player that ended before anyone listened still tells its window.
    if (p->finished && message && IsWindow(window))
        PostMessageA(window, message, 0, kMp3EndOfPlay);
}

void Mp3Pause(Mp3Player* p) {
    if (!p)
        return;
    InterlockedExchange(&p->pauseFlag, 1);
    if (HWAVEOUT dev = p->device)
        waveOutPause(dev);
}

void Mp3Resume(Mp3Player* p) {
    if (!p)
        return;
    InterlockedExchange(&p->pauseFlag, 0);
    if (HWAVEOUT dev = p->device)
        waveOutRestart(dev);
    SetEvent(p->wake);
}

void Mp3RequestStop(Mp3Player* p) {
    if (!p)
        return;
    InterlockedExchange(&p->stopFlag, 1);
    SetEvent(p->wake);
}

bool Mp3IsFinished(Mp3Player* p) { return !p || p->finished; }

bool Mp3WaitEnd(Mp3Player** slot, DWORD timeoutMs) {
    Mp3Player* p = *slot;
    if (!p)
        return true;
    Mp3RequestStop(p);
    if (WaitForSingleObject(p->thread, timeoutMs) != WAIT_OBJECT_0)
        return false;
    CloseHandle(p->thread);
    CloseHandle(p->wake);
    CloseHandle(p->deviceEvent);
    *slot = nullptr;
    delete p;
    return true;
}

uint32_t Mp3GetPercent(Mp3Player* p) {
    if (!p || p->frameCount <= 0)
        return 0;
    return (uint32_t)((uint64_t)(uint32_t)p->playedFrame * 100 / (uint32_t)p->frameCount);
}

uint32_t Mp3GetSeconds(Mp3Player* p) {
    if (!p || p->frameCount <= 0)
        return 0;
    return (uint32_t)(Mp3FrameTimeMs(p->stream, (uint32_t)p->playedFrame) / 1000);
}

void Mp3SeekPercent(Mp3Player* p, uint32_t percent) {
    if (!p)
        return;
    InterlockedExchange(&p->seekRequest, (LONG)(percent > 100 ? 100 : percent));
    SetEvent(p->wake);
}

namespace {

// The volume calls need a device; without a player a temporary one serves.
template <typename F> void WithDevice(Mp3Player* p, F f) {
    if (p && p->device) {
        f(p->device);
        return;
    }
    WAVEFORMATEX wf = {WAVE_FORMAT_PCM, 2, 44100, 44100 * 4, 4, 16, 0};
    HWAVEOUT dev;
    if (waveOutOpen(&dev, WAVE_MAPPER, &wf, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR)
        return;
    f(dev);
    waveOutClose(dev);
}

} // namespace

uint32_t Mp3GetVolume(Mp3Player* p) {
    DWORD v = 0;
    WithDevice(p, [&](HWAVEOUT dev) {
        if (waveOutGetVolume(dev, &v) != MMSYSERR_NOERROR)
            v = 0;
    });
    return v;
}

void Mp3SetVolume(Mp3Player* p, uint32_t value) {
    DWORD v = (value > 255 ? 255 : value) * 0x01010101u;
    WithDevice(p, [&](HWAVEOUT dev) { waveOutSetVolume(dev, v); });
}

bool Mp3ReadInfo(const char* fileName, Mp3Info* info) {
    PlayerFile f;
    bool ok = f.Open(fileName) && Mp3ReadInfoFrom(f.src, info);
    f.Close();
    return ok;
}

int Mp3CheckFile(const char* fileName) {
    PlayerFile f;
    Mp3Tag tag;
    Mp3Stream s;
    int ok = f.Open(fileName) && Mp3ReadTag(f.src, &tag) &&
             Mp3ScanStream(f.src, f.src.size - (tag.present ? 128 : 0), &s, false) == kMp3ScanOk;
    f.Close();
    return ok;
}

double Mp3ThreadCpuSeconds(Mp3Player* p) {
    FILETIME created, ended, kernel, user;
    if (!p || !GetThreadTimes(p->thread, &created, &ended, &kernel, &user))
        return 0;
    auto secs = [](const FILETIME& t) { return ((double)t.dwHighDateTime * 4294967296.0 + t.dwLowDateTime) / 1e7; };
    return secs(kernel) + secs(user);
}

LONG Mp3OpenDeviceCount() { return gOpenDevices; }
