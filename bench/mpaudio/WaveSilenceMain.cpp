// wavesilence: plays silence through waveOut (44.1 kHz, 16-bit stereo, in
// buffers of 3/4 s, as the player does) and reports the CPU time of the
// whole process. No decoding happens: what it measures is the system's own
// cost of playing sound, to set beside the player's figures.
//   wavesilence [seconds]
#include "ProcessCpu.h"
#include <windows.h>
#include <mmsystem.h>
#include <stdio.h>
#include <stdlib.h>

#include <vector>

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? atoi(argv[1]) : 60;
    WAVEFORMATEX format = {};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 2;
    format.nSamplesPerSec = 44100;
    format.wBitsPerSample = 16;
    format.nBlockAlign = 4;
    format.nAvgBytesPerSec = 44100 * 4;
    HANDLE done = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    HWAVEOUT out = nullptr;
    if (waveOutOpen(&out, WAVE_MAPPER, &format, (DWORD_PTR)done, 0, CALLBACK_EVENT) != MMSYSERR_NOERROR) {
        fprintf(stderr, "no wave device\n");
        return 1;
    }
    const DWORD bufferBytes = 44100 * 4 * 3 / 4;
    std::vector<char> silence[2] = {std::vector<char>(bufferBytes), std::vector<char>(bufferBytes)};
    WAVEHDR headers[2] = {};
    const int buffers = seconds * 4 / 3;
    double t0 = ProcessCpuSeconds();
    DWORD wall = GetTickCount();
    int queued = 0;
    for (int i = 0; i < 2 && queued < buffers; ++i, ++queued) {
        headers[i].lpData = silence[i].data();
        headers[i].dwBufferLength = bufferBytes;
        waveOutPrepareHeader(out, &headers[i], sizeof headers[i]);
        waveOutWrite(out, &headers[i], sizeof headers[i]);
    }
    int finished = 0;
    while (finished < buffers) {
        WaitForSingleObject(done, 1000);
        for (WAVEHDR& h : headers) {
            if (!(h.dwFlags & WHDR_DONE) || !h.dwBufferLength) continue;
            h.dwFlags &= ~WHDR_DONE;
            ++finished;
            if (queued < buffers) {
                waveOutWrite(out, &h, sizeof h);
                ++queued;
            } else {
                h.dwBufferLength = 0;
            }
        }
    }
    waveOutReset(out);
    for (WAVEHDR& h : headers) waveOutUnprepareHeader(out, &h, sizeof h);
    waveOutClose(out);
    printf("%d s of silence: whole process %.2f s CPU (%.1f s wall)\n", seconds, ProcessCpuSeconds() - t0,
           (GetTickCount() - wall) / 1000.0);
    return 0;
}
