// Split and join of sources past 4 GiB through a plug that keeps only
// sizes (no bytes are stored, so the test needs neither disk nor time), and
// the rules of the attributes job.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>

#include "fileops/AttrRules.h"
#include "fileops/FileTools.h"

namespace {

// Files as sizes only: reads hand out the bytes that are left without
// filling the buffer, writes only count.
struct SizeOnlyIo : ToolIo {
    std::map<std::string, uint64_t> files;
    std::string shortName;  // a file whose size the disk reports one byte short
    struct Open {
        std::string path;
        uint64_t pos;
        bool writing;
    };
    std::map<ToolHandle, Open> open;
    uintptr_t next = 1;
    SizeOnlyIo() { separator = '/'; }
    ToolHandle Add(const std::string& path, bool writing)
    {
        ToolHandle h = (ToolHandle)next++;
        open[h] = {path, 0, writing};
        return h;
    }
    uint32_t OpenRead(const std::string& path, ToolHandle* h, uint64_t* size) override
    {
        if (!files.count(path)) return 2;
        *size = files[path];
        *h = Add(path, false);
        return 0;
    }
    uint32_t CreateNew(const std::string& path, ToolHandle* h) override
    {
        if (files.count(path)) return 80;
        files[path] = 0;
        *h = Add(path, true);
        return 0;
    }
    uint32_t Read(ToolHandle h, void*, size_t n, size_t* got) override
    {
        Open& o = open[h];
        uint64_t left = files[o.path] - o.pos;
        *got = (size_t)(left < n ? left : n);
        o.pos += *got;
        return 0;
    }
    uint32_t Write(ToolHandle h, const void*, size_t n) override
    {
        files[open[h].path] += n;
        return 0;
    }
    uint32_t Close(ToolHandle h) override
    {
        open.erase(h);
        return 0;
    }
    uint32_t Replace(const std::string& from, const std::string& to) override
    {
        files[to] = files[from];
        files.erase(from);
        return 0;
    }
    uint32_t Remove(const std::string& path) override { return files.erase(path) ? 0 : 2; }
    uint32_t SizeOf(const std::string& path, uint64_t* size) override
    {
        if (!files.count(path)) return 2;
        *size = files[path];
        if (!shortName.empty() && path.find(shortName) != std::string::npos && *size) *size -= 1;
        return 0;
    }
};

const uint64_t kFourGiB = 1ull << 32;

TEST(LargeFiles, SplitAndJoinPastFourGiB)
{
    // A 32-bit byte count sees 1000 bytes here: one piece, and the source
    // deleted as if it were complete.
    SizeOnlyIo io;
    io.files["/d/big.iso"] = kFourGiB + 1000;
    SplitParams p;
    p.source = "/d/big.iso";
    p.base = "/p/big.iso";
    p.pieceSize = 1ull << 31;
    p.deleteSource = true;
    p.makeRestore = true;
    uint32_t pieces = 0;
    ASSERT_EQ(ToolSplitFile(&io, p, &pieces), 0u);
    EXPECT_EQ(pieces, 3u);
    EXPECT_EQ(io.files["/p/big.iso.001"], 1ull << 31);
    EXPECT_EQ(io.files["/p/big.iso.002"], 1ull << 31);
    EXPECT_EQ(io.files["/p/big.iso.003"], 1000u);
    EXPECT_EQ(io.files.count("/d/big.iso"), 0u);
    EXPECT_TRUE(io.files.count("/p/RESTORE.BAT"));

    ASSERT_EQ(ToolJoinFiles(&io, {"/p/big.iso.001", "/p/big.iso.002", "/p/big.iso.003"}, "/d/big.iso", true), 0u);
    EXPECT_EQ(io.files["/d/big.iso"], kFourGiB + 1000);
    EXPECT_EQ(io.files.count("/p/big.iso.001"), 0u);
    EXPECT_TRUE(io.open.empty());
}

TEST(LargeFiles, SourceStaysWhenAPieceComesOutShort)
{
    // Sizes past 4 GiB and pieces of 4 GiB and more; one piece is reported a
    // byte short by the disk: the split fails and the source is kept.
    struct Case {
        uint64_t size, piece;
        const char* shortPiece;
    } cases[] = {
        {kFourGiB * 2 + 7, kFourGiB, ".002"},
        {kFourGiB + 1, kFourGiB + 1, ".001"},
        {kFourGiB * 3, 1457664ull * 1000, ".003"},
    };
    for (const Case& c : cases) {
        SizeOnlyIo io;
        io.files["/d/s"] = c.size;
        io.shortName = c.shortPiece;
        SplitParams p;
        p.source = "/d/s";
        p.base = "/d/s";
        p.pieceSize = c.piece;
        p.deleteSource = true;
        uint32_t pieces = 0;
        EXPECT_NE(ToolSplitFile(&io, p, &pieces), 0u) << c.size;
        EXPECT_EQ(io.files["/d/s"], c.size);
        for (const auto& f : io.files)
            EXPECT_EQ(f.first.find("~zq"), std::string::npos) << f.first;
        // The same split without the lying disk puts every byte in a piece.
        io.shortName.clear();
        io.files = {{"/d/s", c.size}};
        ASSERT_EQ(ToolSplitFile(&io, p, &pieces), 0u);
        uint64_t sum = 0;
        for (const auto& f : io.files)
            sum += f.second;
        EXPECT_EQ(sum, c.size);
        EXPECT_EQ(pieces, (uint32_t)((c.size + c.piece - 1) / c.piece));
    }
}

TEST(AttrRules, NamesBitsTimesAndCalendar)
{
    // Only the folder itself and its parent are passed over.
    for (const char* name : {".profile", ".x", "...", "a", "a.b"})
        EXPECT_TRUE(AttrTakesName(name)) << name;
    for (const char* name : {".", "..", ""})
        EXPECT_FALSE(AttrTakesName(name)) << name;

    for (const char* fs : {"NTFS", "ntfs", "NtFs"})
        EXPECT_TRUE(AttrIsNtfsName(fs)) << fs;
    for (const char* fs : {"FAT", "FAT32", "NTFS5", "NTF", ""})
        EXPECT_FALSE(AttrIsNtfsName(fs)) << fs;

    EXPECT_EQ(AttrNewValue(0x21, 0x02, 0x01), 0x22u);
    EXPECT_EQ(AttrSettable(0x10 | 0x800), 0x80u);
    EXPECT_EQ(AttrSettable(0x10 | 0x01 | 0x20), 0x21u);

    // Box states: unchecked clears, checked sets, indeterminate leaves.
    struct Boxes {
        int states[5];
        uint32_t set, clear;
    } boxes[] = {
        {{2, 2, 2, 2, 2}, 0, 0},
        {{1, 0, 2, 2, 2}, kAttrReadOnly, kAttrArchive},
        {{0, 1, 1, 0, 0}, kAttrArchive | kAttrHidden, kAttrReadOnly | kAttrSystem | kAttrCompressed},
    };
    for (const Boxes& b : boxes) {
        uint32_t set, clear;
        EXPECT_TRUE(AttrMasksFromBoxes(b.states, &set, &clear));
        EXPECT_EQ(set, b.set);
        EXPECT_EQ(clear, b.clear);
    }

    // A job time below 1979-12-31 22:46:40 UTC leaves the file's time.
    const uint64_t fileC = 0x01D0000000000000ull, fileW = 0x01D1000000000000ull;
    struct Times {
        uint64_t jobC, jobW, wantC, wantW;
        bool changed;
    } times[] = {
        {0, 0, fileC, fileW, false},
        {kAttrNoTime - 1, fileW, fileC, fileW, false},
        {kAttrNoTime, 0, kAttrNoTime, fileW, true},
        {0, 0x01D2000000000000ull, fileC, 0x01D2000000000000ull, true},
    };
    for (const Times& t : times) {
        uint64_t c = fileC, w = fileW;
        EXPECT_EQ(AttrMergeTimes(t.jobC, t.jobW, &c, &w), t.changed);
        EXPECT_EQ(c, t.wantC);
        EXPECT_EQ(w, t.wantW);
    }

    EXPECT_EQ(AttrDaysInMonth(2, 1900), 28u); // a century year that 400 does not divide
    EXPECT_EQ(AttrDaysInMonth(2, 2100), 28u);
    EXPECT_EQ(AttrDaysInMonth(2, 2001), 28u);
    EXPECT_EQ(AttrDaysInMonth(2, 2000), 29u);
    EXPECT_EQ(AttrDaysInMonth(13, 2000), 0u);
    EXPECT_EQ(AttrWeekday(1, 1, 2001), 1u);    // a Monday
    EXPECT_EQ(AttrWeekday(11, 12, 2026), 5u);  // a Friday
    EXPECT_EQ(AttrWeekday(29, 2, 2004), 7u);   // a Sunday
    EXPECT_EQ(AttrWeekday(1, 1, 1979), 0u);
}

} // namespace
