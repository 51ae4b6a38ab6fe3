#include "Mp3FrameReader.h"

#include <string.h>

#include <memory>

void Mp3FrameReader::Start(const Mp3Source* src, const Mp3Stream* stream, uint64_t offset, bool resync) {
    src_ = src;
    stream_ = stream;
    base_ = offset;
    have_ = pos_ = 0;
    lost_ = resync;
    readError_ = false;
    frameOffset_ = offset;
    skipped_ = 0;
}

bool Mp3FrameReader::Fill(size_t need) {
    if (have_ - pos_ >= need)
        return true;
    memmove(buf_, buf_ + pos_, have_ - pos_);
    base_ += pos_;
    have_ -= pos_;
    pos_ = 0;
    uint64_t end = stream_->dataEnd;
    uint64_t next = base_ + have_;
    if (next >= end)
        return false;
    uint64_t room = kWindow - have_;
    uint32_t want = (uint32_t)(end - next < room ? end - next : room);
    int32_t got = src_->read(src_->context, next, buf_ + have_, want);
    if (got < 0) {
        readError_ = true;
        return false;
    }
    have_ += (size_t)got;
    return have_ >= need;
}

// After lost sync a frame counts only when another frame of the stream
// follows it, or the data ends with it.
bool Mp3FrameReader::Confirmed(size_t at, int len) {
    size_t next = at + (size_t)len;
    if (base_ + next == stream_->dataEnd)
        return true;
    MpaHeader h;
    return next + 4 <= have_ && Mp3FrameBytes(*stream_, buf_ + next, have_ - next, &h) > 0;
}

const uint8_t* Mp3FrameReader::Next(uint32_t* length) {
    while (!readError_) {
        Fill(2 * (size_t)kMpaMaxFrameBytes + 4);
        if (readError_)
            break;
        uint64_t at = base_ + pos_;
        if (at >= stream_->dataEnd)
            return nullptr;
        size_t avail = have_ - pos_;
        if (avail > stream_->dataEnd - at)
            avail = (size_t)(stream_->dataEnd - at);
        if (avail < 4)
            return nullptr;
        MpaHeader h;
        int len = Mp3FrameBytes(*stream_, buf_ + pos_, avail, &h);
        if (len > 4 && (size_t)len <= avail && (!lost_ || Confirmed(pos_, len))) {
            lost_ = false;
            frameOffset_ = at;
            const uint8_t* f = buf_ + pos_;
            pos_ += (size_t)len;
            *length = (uint32_t)len;
            return f;
        }
        if (len > 4 && (size_t)len > avail && at + (uint64_t)len > stream_->dataEnd && !lost_)
            return nullptr; // the data ends inside the last frame
        lost_ = true;
        size_t p = pos_ + 1;
        while (p < have_ && buf_[p] != 0xFF)
            p++;
        skipped_ += p - pos_;
        pos_ = p;
    }
    return nullptr;
}

bool Mp3CountFrames(const Mp3Source& src, const Mp3Stream& stream, uint32_t* count) {
    std::unique_ptr<Mp3FrameReader> r(new Mp3FrameReader);
    r->Start(&src, &stream, stream.dataStart, false);
    uint32_t n = 0, len;
    while (r->Next(&len) && n < 0xFFFFFFFFu)
        n++;
    *count = n;
    return !r->ReadError();
}

bool Mp3DecodingOpen(Mp3Decoding* d, const Mp3Source& src, const Mp3Stream& stream) {
    d->source = src;
    d->stream = stream;
    d->frameIndex = 0;
    d->decoder = MpaDecoderCreate();
    if (!d->decoder)
        return false;
    MpaHeader setup = stream.header;
    if (setup.mode == 3) {
        d->reader.Start(&d->source, &d->stream, stream.dataStart, false);
        uint32_t len;
        const uint8_t* f;
        for (int i = 0; i < 64 && (f = d->reader.Next(&len)) != nullptr; i++) {
            MpaHeader h;
            MpaReadHeader(f, &h);
            if (h.mode != 3) {
                setup = h;
                setup.bitrateIndex = stream.header.bitrateIndex;
                setup.paddingBit = stream.header.paddingBit;
                break;
            }
        }
    }
    const MpaEngine& e = MpaEngines[0];
    if (!e.init(d->decoder, &setup, stream.frameSize, 0, 0, 0, 48000)) {
        Mp3DecodingClose(d);
        return false;
    }
    e.info(d->decoder, &d->format);
    d->reader.Start(&d->source, &d->stream, stream.dataStart, false);
    return true;
}

void Mp3DecodingClose(Mp3Decoding* d) {
    MpaDecoderDestroy(d->decoder);
    d->decoder = nullptr;
}

uint32_t Mp3DecodingNext(Mp3Decoding* d, uint8_t* out) {
    uint32_t len;
    while (const uint8_t* f = d->reader.Next(&len)) {
        MpaResult r = MpaEngines[0].decode(d->decoder, f, len, out);
        if (!MpaConsumed(r))
            continue; // the reader vouched for the header; a frame the engine refuses is passed over
        d->frameIndex++;
        uint32_t produced = MpaProduced(r);
        return produced > (uint32_t)kMpaMaxOutputBytes ? (uint32_t)kMpaMaxOutputBytes : produced;
    }
    return 0;
}

void Mp3DecodingSeek(Mp3Decoding* d, uint32_t percent) {
    uint32_t index;
    uint64_t offset = Mp3SeekOffset(d->stream, percent, &index);
    d->frameIndex = index;
    d->reader.Start(&d->source, &d->stream, offset, offset != d->stream.dataStart);
}
