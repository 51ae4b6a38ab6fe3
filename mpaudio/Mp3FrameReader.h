// Hands out whole frames of one stream from a file read through Mp3Source.
// The window holds several maximal frames, so free-format frames and Layer II
// at high rates (up to kMpaMaxFrameBytes) arrive complete. Damage and seeks
// are met by resynchronising: a new position is trusted only when the frame
// found there is followed by another frame of the same stream (or by the
// end of the data).
#pragma once

#include "Mp3Scan.h"

class Mp3FrameReader {
public:
    // Starts at `offset`; with `resync` the offset may fall inside a frame.
    void Start(const Mp3Source* src, const Mp3Stream* stream, uint64_t offset, bool resync);
    // The next complete frame and its length; null at the end of the data
    // or after a read error.
    const uint8_t* Next(uint32_t* length);
    bool ReadError() const { return readError_; }
    // File offset of the frame Next returned last.
    uint64_t FrameOffset() const { return frameOffset_; }
    uint64_t SkippedBytes() const { return skipped_; }

private:
    static constexpr size_t kWindow = 8 * kMpaMaxFrameBytes;
    bool Fill(size_t need);
    bool Confirmed(size_t at, int len);

    const Mp3Source* src_ = nullptr;
    const Mp3Stream* stream_ = nullptr;
    uint64_t base_ = 0; // file offset of buf_[0]
    size_t have_ = 0;
    size_t pos_ = 0;
    bool lost_ = false;
    bool readError_ = false;
    uint64_t frameOffset_ = 0;
    uint64_t skipped_ = 0;
    uint8_t buf_[kWindow];
};

// Counts the frames between dataStart and dataEnd (whole frames only).
// False on a read error.
bool Mp3CountFrames(const Mp3Source& src, const Mp3Stream& stream, uint32_t* count);

// The player's decoding path without the device: engine set-up for the
// stream, frame after frame into PCM, seeks by percent.
struct Mp3Decoding {
    Mp3Source source;
    Mp3Stream stream;
    MpaStreamInfo format;
    uint32_t frameIndex; // index of the next frame to decode
    MpaDecoder* decoder;
    Mp3FrameReader reader;
};

// Sets the float engine up; a stream whose first frames are one-channel but
// that switches to two later is set up for two, so its one-channel frames
// play on both. False when the engine refuses the stream.
bool Mp3DecodingOpen(Mp3Decoding* d, const Mp3Source& src, const Mp3Stream& stream);
void Mp3DecodingClose(Mp3Decoding* d);
// PCM of the next frame into `out` (kMpaMaxOutputBytes); 0 at the end of
// the data or on a read error.
uint32_t Mp3DecodingNext(Mp3Decoding* d, uint8_t* out);
void Mp3DecodingSeek(Mp3Decoding* d, uint32_t percent);
