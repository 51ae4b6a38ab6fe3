// What the player needs to know about an MPEG audio file before it plays:
// the ID3v1 tag, where the audio starts and ends (ID3v2 and Xing/Info/VBRI
// frames passed over), the stream parameters, the frame count and duration,
// and where a seek by percent lands. Pure logic: the caller supplies the
// bytes through Mp3Source, so the same code serves the player under Windows
// and the native tests and fuzzer.
#pragma once

#include "MpaDecoder.h"

#include <stddef.h>
#include <stdint.h>

struct Mp3Source {
    void* context;
    // Reads up to `count` bytes at `offset`; gives the bytes read, or -1 on
    // a read error. Fewer than `count` only at the end of the file.
    int32_t (*read)(void* context, uint64_t offset, void* buffer, uint32_t count);
    uint64_t size;
};

// Reads exactly `count` bytes; false on an error or a short read.
bool Mp3ReadAt(const Mp3Source& src, uint64_t offset, void* buffer, uint32_t count);

struct Mp3Tag {
    char title[31];
    char artist[31];
    char album[31];
    char year[5];
    char comment[31];
    uint8_t genre; // 0 when there is no tag
    bool present;
};

// ID3v1 at the last 128 bytes. False only on a read error; a file without a
// tag gives empty texts.
bool Mp3ReadTag(const Mp3Source& src, Mp3Tag* tag);

// Total length of the ID3v2 tags at `offset` (several may follow each
// other), 0 when none starts there.
uint64_t Mp3Id3v2Length(const Mp3Source& src, uint64_t offset);

enum Mp3CountSource { kMp3Counted = 0, kMp3Xing = 1, kMp3Vbri = 2 };

struct Mp3Stream {
    MpaHeader header;    // first audio frame
    int32_t frameSize;   // its length without padding (free format: every frame's)
    uint32_t bitrate;    // bits per second: the first frame's, or the average of a VBR stream
    uint32_t sampleRate; // Hz
    int32_t layer;       // 1, 2, 3
    int32_t versionIndex; // 1 MPEG 1, 2 MPEG 2, 3 MPEG 2.5
    int32_t channels;    // 1 or 2, as coded in the first frame
    uint32_t samplesPerFrame;
    uint64_t dataStart;  // first audio frame
    uint64_t dataEnd;    // end of the audio (ID3v1 tag left out)
    uint32_t frameCount;
    uint64_t durationMs;
    int32_t countSource; // Mp3CountSource
    bool hasToc;
    uint8_t toc[100];    // Xing seek table: byte position in 1/256 of the data per percent
};

enum Mp3ScanResult { kMp3ScanOk = 0, kMp3ScanReadError = 1, kMp3ScanNoFrame = 2, kMp3ScanTooLarge = 3 };

// Finds the first frame at or after the ID3v2 tags and fills `stream`.
// `dataEnd` is the end of the audio (file size, less 128 with an ID3v1 tag).
// Without a VBR header the frames are counted, which reads the whole file;
// with `count` false a stream without one gets frameCount 1 (enough to
// tell that it plays).
int Mp3ScanStream(const Mp3Source& src, uint64_t dataEnd, Mp3Stream* stream, bool count = true);

// True when `h` belongs to the stream that `first` starts (same version,
// layer and sample rate): a header of another stream inside the data is a
// false sync.
bool Mp3SameStream(const MpaHeader& first, const MpaHeader& h);

// Frame length including padding for a header of the stream; 0 when none.
int Mp3FrameBytes(const Mp3Stream& s, const uint8_t* p, size_t avail, MpaHeader* h);

// Frame index and byte offset where playback continues after a seek to
// `percent` (0 to 100). The offset may fall inside a frame: the reader
// resynchronises there.
uint64_t Mp3SeekOffset(const Mp3Stream& s, uint32_t percent, uint32_t* frameIndex);

// Milliseconds from the start to the beginning of frame `index`.
uint64_t Mp3FrameTimeMs(const Mp3Stream& s, uint32_t index);

// "mm:ss", or "h:mm:ss" from one hour up.
void Mp3FormatTime(uint32_t seconds, char* out, size_t size);

// Name of an ID3v1 genre number; null when the table has none.
const char* Mp3GenreName(uint8_t genre);

struct Mp3Info {
    char title[31];
    char artist[31];
    char album[31];
    char year[5];
    char comment[31];
    const char* genreName;
    uint64_t fileSize;
    uint32_t durationSeconds;
    uint32_t frameCount;
    const char* versionText;
    const char* layerText;
    uint32_t bitrate;
    uint32_t sampleRate;
    const char* modeText;
};

// Tag and stream of a file in one record; false (info untouched) when the
// file cannot be read or holds no frames.
bool Mp3ReadInfoFrom(const Mp3Source& src, Mp3Info* info);
