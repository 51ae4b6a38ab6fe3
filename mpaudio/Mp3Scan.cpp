// ID3 tags, first-frame search, Xing/Info/VBRI headers, frame count,
// duration and seek positions.
#include "Mp3Scan.h"

#include "Mp3FrameReader.h"
#include "MpaInternal.h"

#include <stdio.h>

#include <memory>

bool Mp3ReadAt(const Mp3Source& src, uint64_t offset, void* buffer, uint32_t count) {
    if (offset > src.size || src.size - offset < count)
        return false;
    return src.read(src.context, offset, buffer, count) == (int32_t)count;
}

namespace {

void CopyTagText(char* out, const uint8_t* in, size_t n) {
    memcpy(out, in, n);
    out[n] = 0;
    // Blanks pad the field; the first character always stays, so an
    // all-blank field reads as one blank. Zero padding ends the text anyway.
    size_t len = strlen(out);
    while (len > 1 && out[len - 1] == ' ')
        out[--len] = 0;
}

uint32_t Be32(const uint8_t* p) { return (uint32_t)p[0] << 24 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 8 | p[3]; }

int SideInfoBytes(const MpaHeader& h) {
    if (h.id == 1)
        return h.mode == 3 ? 17 : 32;
    return h.mode == 3 ? 9 : 17;
}

uint32_t SamplesPerFrame(const MpaHeader& h) {
    int layer = 4 - h.layerCode;
    if (layer == 1)
        return 384;
    if (layer == 2 || h.id == 1)
        return 1152;
    return 576;
}

// A VBR header in the first frame (Layer III only): Xing or Info after the
// side information, VBRI at a fixed offset. Gives the frame count it
// records and fills the seek table when there is one.
int ReadVbrHeader(const uint8_t* f, size_t len, Mp3Stream* s, uint32_t* frames) {
    if (4 - s->header.layerCode != 3)
        return kMp3Counted;
    for (int crc = 0; crc <= 2; crc += 2) {
        size_t at = 4 + (size_t)SideInfoBytes(s->header) + (size_t)crc;
        if (at + 8 > len)
            continue;
        const uint8_t* x = f + at;
        if (memcmp(x, "Xing", 4) != 0 && memcmp(x, "Info", 4) != 0)
            continue;
        uint32_t flags = Be32(x + 4);
        size_t p = 8;
        if (!(flags & 1) || p + 4 > len - at)
            return kMp3Counted;
        *frames = Be32(x + p);
        p += 4;
        if (flags & 2)
            p += 4;
        if ((flags & 4) && p + 100 <= len - at) {
            memcpy(s->toc, x + p, 100);
            s->hasToc = true;
            for (int i = 1; i < 100; i++)
                if (s->toc[i] < s->toc[i - 1])
                    s->hasToc = false; // a table that goes backwards is no seek table
        }
        return kMp3Xing;
    }
    if (len >= 36 + 18 && memcmp(f + 36, "VBRI", 4) == 0) {
        *frames = Be32(f + 36 + 14);
        return kMp3Vbri;
    }
    return kMp3Counted;
}

} // namespace

bool Mp3ReadTag(const Mp3Source& src, Mp3Tag* tag) {
    memset(tag, 0, sizeof(*tag));
    if (src.size < 128)
        return true;
    uint8_t t[128];
    if (!Mp3ReadAt(src, src.size - 128, t, 128))
        return false;
    if (memcmp(t, "TAG", 3) != 0)
        return true;
    tag->present = true;
    CopyTagText(tag->title, t + 3, 30);
    CopyTagText(tag->artist, t + 33, 30);
    CopyTagText(tag->album, t + 63, 30);
    CopyTagText(tag->year, t + 93, 4);
    CopyTagText(tag->comment, t + 97, 30);
    tag->genre = t[127];
    return true;
}

uint64_t Mp3Id3v2Length(const Mp3Source& src, uint64_t offset) {
    uint64_t pos = offset;
    for (;;) {
        uint8_t h[10];
        if (!Mp3ReadAt(src, pos, h, 10) || memcmp(h, "ID3", 3) != 0 || h[3] == 0xFF || h[4] == 0xFF ||
            ((h[6] | h[7] | h[8] | h[9]) & 0x80))
            break;
        uint64_t n = (uint64_t)h[6] << 21 | (uint64_t)h[7] << 14 | (uint64_t)h[8] << 7 | h[9];
        n += 10 + ((h[5] & 0x10) ? 10 : 0);
        if (n > src.size - pos)
            n = src.size - pos;
        pos += n;
    }
    return pos - offset;
}

bool Mp3SameStream(const MpaHeader& a, const MpaHeader& b) {
    return a.syncKind == b.syncKind && a.id == b.id && a.layerCode == b.layerCode &&
           a.sampleRateIndex == b.sampleRateIndex;
}

int Mp3FrameBytes(const Mp3Stream& s, const uint8_t* p, size_t avail, MpaHeader* h) {
    if (avail < 4 || p[0] != 0xFF || !MpaReadHeader(p, h) || !Mp3SameStream(s.header, *h) ||
        h->bitrateIndex == 15)
        return 0;
    if (h->bitrateIndex == 0)
        return s.header.bitrateIndex == 0 ? s.frameSize + MpaPaddingBytes(h) : 0;
    return MpaFrameLength(h);
}

int Mp3ScanStream(const Mp3Source& src, uint64_t dataEnd, Mp3Stream* s, bool count) {
    memset(s, 0, sizeof(*s));
    if (dataEnd > src.size)
        dataEnd = src.size;
    if (dataEnd >= 0xFFFFFFFFull * 4)
        return kMp3ScanTooLarge;
    uint64_t start = Mp3Id3v2Length(src, 0);
    // Junk before the first frame is passed over up to a limit: past it the
    // file is not taken for audio.
    const uint64_t kSearchLimit = 1 << 20;
    const size_t kSpan = 16384, kAhead = 3 * kMpaMaxFrameBytes;
    std::unique_ptr<uint8_t[]> buf(new uint8_t[kSpan + kAhead]);
    for (uint64_t pos = start; pos < dataEnd && pos - start < kSearchLimit; pos += kSpan) {
        uint64_t want = dataEnd - pos < kSpan + kAhead ? dataEnd - pos : kSpan + kAhead;
        if (!Mp3ReadAt(src, pos, buf.get(), (uint32_t)want))
            return kMp3ScanReadError;
        size_t n = (size_t)want;
        for (size_t i = 0; i < kSpan && i + 4 <= n; i++) {
            if (buf[i] != 0xFF || (buf[i + 1] & 0xE0) != 0xE0)
                continue;
            MpaHeader h;
            int32_t bitrate = 0;
            int len = MpaParseFrame(buf.get() + i, n - i, &h, &bitrate);
            if (len <= 0 || len > kMpaMaxFrameBytes)
                continue;
            size_t next = i + (size_t)len + (size_t)MpaPaddingBytes(&h);
            Mp3Stream t = {};
            t.header = h;
            t.frameSize = len;
            MpaHeader nh;
            bool atEnd = pos + next == dataEnd;
            if (!atEnd && (next + 4 > n || Mp3FrameBytes(t, buf.get() + next, n - next, &nh) <= 0))
                continue;
            s->header = h;
            s->frameSize = len;
            s->bitrate = (uint32_t)bitrate;
            s->sampleRate = (uint32_t)MpaSampleRate(&h);
            s->layer = 4 - h.layerCode;
            s->versionIndex = h.syncKind == 2 ? 3 : h.id == 1 ? 1 : 2;
            s->channels = h.mode == 3 ? 1 : 2;
            s->samplesPerFrame = SamplesPerFrame(h);
            s->dataStart = pos + i;
            s->dataEnd = dataEnd;
            uint32_t frames = 0;
            s->countSource = ReadVbrHeader(buf.get() + i, next - i, s, &frames);
            if (s->countSource != kMp3Counted) {
                // The tag frame carries no audio.
                s->dataStart += next - i;
                s->frameCount = frames;
            } else if (!count) {
                s->frameCount = 1;
            } else if (!Mp3CountFrames(src, *s, &s->frameCount)) {
                return kMp3ScanReadError;
            }
            s->durationMs = Mp3FrameTimeMs(*s, s->frameCount);
            if (s->countSource != kMp3Counted && s->durationMs > 0)
                s->bitrate = (uint32_t)((s->dataEnd - s->dataStart) * 8000 / s->durationMs);
            return s->frameCount ? kMp3ScanOk : kMp3ScanNoFrame;
        }
    }
    return kMp3ScanNoFrame;
}

uint64_t Mp3FrameTimeMs(const Mp3Stream& s, uint32_t index) {
    if (!s.sampleRate)
        return 0;
    return (uint64_t)index * s.samplesPerFrame * 1000 / s.sampleRate;
}

uint64_t Mp3SeekOffset(const Mp3Stream& s, uint32_t percent, uint32_t* frameIndex) {
    if (percent > 100)
        percent = 100;
    *frameIndex = (uint32_t)((uint64_t)percent * s.frameCount / 100);
    uint64_t bytes = s.dataEnd > s.dataStart ? s.dataEnd - s.dataStart : 0;
    if (percent == 100 || s.frameCount == 0)
        return s.dataEnd;
    if (s.hasToc)
        return s.dataStart + bytes * s.toc[percent] / 256;
    return s.dataStart + bytes * *frameIndex / s.frameCount;
}

void Mp3FormatTime(uint32_t seconds, char* out, size_t size) {
    unsigned long h = seconds / 3600, m = seconds / 60 % 60, sec = seconds % 60;
    if (h)
        snprintf(out, size, "%lu:%02lu:%02lu", h, m, sec);
    else
        snprintf(out, size, "%02lu:%02lu", m, sec);
}

namespace {

const char* const kGenres[] = {
    "Blues", "Classic Rock", "Country", "Dance", "Disco", "Funk", "Grunge", "Hip-Hop", "Jazz", "Metal",
    "New Age", "Oldies", "Other", "Pop", "R&B", "Rap", "Reggae", "Rock", "Techno", "Industrial",
    "Alternative", "Ska", "Death Metal", "Pranks", "Soundtrack", "Euro-Techno", "Ambient", "Trip-Hop", "Vocal",
    "Jazz+Funk", "Fusion", "Trance", "Classical", "Instrumental", "Acid", "House", "Game", "Sound Clip",
    "Gospel", "Noise", "AlternRock", "Bass", "Soul", "Punk", "Space", "Meditative", "Instrumental Pop",
    "Instrumental Rock", "Ethnic", "Gothic", "Darkwave", "Techno-Industrial", "Electronic", "Pop-Folk",
    "Eurodance", "Dream", "Southern Rock", "Comedy", "Cult", "Gangsta", "Top 40", "Christian Rap", "Pop/Funk",
    "Jungle", "Native US", "Cabaret", "New Wave", "Psychadelic", "Rave", "Showtunes", "Trailer", "Lo-Fi",
    "Tribal", "Acid Punk", "Acid Jazz", "Polka", "Retro", "Musical", "Rock & Roll", "Hard Rock", "Folk",
    "Folk-Rock", "National Folk", "Swing", "Fast Fusion", "Bebob", "Latin", "Revival", "Celtic", "Bluegrass",
    "Avantgarde", "Gothic Rock", "Progressive Rock", "Psychedelic Rock", "Symphonic Rock", "Slow Rock",
    "Big Band", "Chorus", "Easy Listening", "Acoustic", "Humour", "Speech", "Chanson", "Opera",
    "Chamber Music", "Sonata", "Symphony", "Booty Bass", "Primus", "Porn Groove", "Satire", "Slow Jam", "Club",
    "Tango", "Samba", "Folklore", "Ballad", "Power Ballad", "Rhytmic Soul", "Freestyle", "Duet", "Punk Rock",
    "Drum Solo", "Acapella", "Euro-House", "Dance Hall", "Goa", "Drum & Bass", "Club-House", "Hardcore",
    "Terror", "Indie", "BritPop", "Afro-Punk", "Polsk Punk", "Beat", "Christian Gangsta Rap", "Heavy Metal",
    "Black Metal", "Crossover", "Contemporary Christian", "Christian Rock", "Merengue", "Salsa", "Trash Metal",
    "Anime", "Jpop", "Synthpop",
};
static_assert(sizeof(kGenres) / sizeof(kGenres[0]) == 148, "genres 0 to 147");

} // namespace

const char* Mp3GenreName(uint8_t genre) { return genre < 148 ? kGenres[genre] : nullptr; }

bool Mp3ReadInfoFrom(const Mp3Source& src, Mp3Info* info) {
    Mp3Tag tag;
    if (!Mp3ReadTag(src, &tag))
        return false;
    Mp3Stream s;
    if (Mp3ScanStream(src, src.size - (tag.present ? 128 : 0), &s) != kMp3ScanOk)
        return false;
    static const char* const kVersions[] = {"-", "MPEG 1", "MPEG 2", "MPEG 2.5"};
    static const char* const kLayers[] = {"-", "Layer 1", "Layer 2", "Layer 3"};
    static const char* const kModes[] = {"-", "Mono", "Stereo"};
    memset(info, 0, sizeof(*info));
    memcpy(info->title, tag.title, sizeof(info->title));
    memcpy(info->artist, tag.artist, sizeof(info->artist));
    memcpy(info->album, tag.album, sizeof(info->album));
    memcpy(info->year, tag.year, sizeof(info->year));
    memcpy(info->comment, tag.comment, sizeof(info->comment));
    // Without a tag there is no genre to name.
    info->genreName = tag.present ? Mp3GenreName(tag.genre) : nullptr;
    info->fileSize = src.size;
    info->durationSeconds = (uint32_t)(s.durationMs / 1000);
    info->frameCount = s.frameCount;
    info->versionText = kVersions[s.versionIndex];
    info->layerText = kLayers[s.layer];
    info->bitrate = s.bitrate;
    info->sampleRate = s.sampleRate;
    info->modeText = kModes[s.channels];
    return true;
}
