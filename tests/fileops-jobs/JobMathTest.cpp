#include <gtest/gtest.h>
#include <string.h>
#include <stdlib.h>

#include "fileops/JobMath.h"

TEST(JobBar, PositionFollowsDoneOfTotal)
{
    struct Case {
        uint64_t done, total;
        uint32_t pos;
    } cases[] = {
        {0, 0, 0},          {50, 0, 0},        {0, 100, 0},      {50, 100, 32}, {51, 100, 32},
        {100, 100, 64},     {150, 100, 64},    {1ull << 40, 1ull << 41, 32},
        // 5 GB jobs: a 32-bit product would wrap
        {3000000000ull, 6000000000ull, 32}, {UINT64_MAX - 1, UINT64_MAX, 63},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.pos, JobBarPosition(c.done, c.total)) << c.done << "/" << c.total;
}

TEST(JobTimeLine, RemainingTimeAndSpeed)
{
    char text[80];
    // 30 s for 25%: 90 s to go.
    ASSERT_TRUE(JobFormatRemaining(30000, 25, 100, text, sizeof text));
    EXPECT_EQ(0, strncmp(text, "01:30  (", 8)) << text;
    ASSERT_TRUE(JobFormatRemaining(1000, 1024 * 1024, 4 * 1024 * 1024, text, sizeof text));
    EXPECT_STREQ("00:03  (1024.00 KB/s)", text);
    // Hours get their own field.
    ASSERT_TRUE(JobFormatRemaining(3600000, 1, 3, text, sizeof text));
    EXPECT_EQ(0, strncmp(text, "2:00:00  (", 10)) << text;
    // Nothing to say before anything is done, or when all is done.
    EXPECT_FALSE(JobFormatRemaining(0, 1, 2, text, sizeof text));
    EXPECT_FALSE(JobFormatRemaining(1000, 0, 2, text, sizeof text));
    EXPECT_FALSE(JobFormatRemaining(1000, 2, 2, text, sizeof text));
    // 3 TB jobs over a day do not overflow the estimate.
    ASSERT_TRUE(JobFormatRemaining(90000000ull, 1ull << 40, 3ull << 40, text, sizeof text));
    EXPECT_EQ(0, strncmp(text, "50:00:00", 8)) << text;
}

TEST(JobFlags, OnlyJobBitsComeFromTheOptionWord)
{
    // 0x10 (letter jump) and 0x80000000 (command-line focus) mean "close
    // the statistics window" and "finished" inside a job.
    uint32_t options = 0x40900031u | 0x80000000u | 0x2000000u | 0x400000u | 0x2u;
    uint32_t flags = JobFlagsFromOptions(options);
    EXPECT_EQ(0u, flags & 0x10u);
    EXPECT_EQ(0u, flags & 0x80000000u);
    EXPECT_EQ(0x500002u, flags); // recycle (0x100000) is in the default word
    // Writing the choices back keeps every unrelated bit of the word.
    uint32_t back = JobOptionsFromFlags(options, (flags & ~0x2u) | 0x8000u | 0x80000000u);
    EXPECT_EQ((options & ~0x2u) | 0x8000u, back);
}

TEST(Selection, PackedRecordsRoundTrip)
{
    SelectionBuilder b;
    const char *names[] = {"a.txt", "folder", "name with blanks \xe4\xf6.txt"};
    uint64_t big = 5000000000ull;
    for (int i = 0; i < 3; i++)
        ASSERT_TRUE(SelListAppend(&b, names[i], (uint16_t)(0x5000 + i), (uint16_t)i, big + i,
                                  (uint16_t)(i == 1 ? 0x10 : 0x20), (uint32_t)(i * 7)));
    void *list = SelListRelease(&b);
    ASSERT_NE(nullptr, list);
    EXPECT_EQ(3u, SelListCount(list));
    int i = 0;
    for (const SelectionRecord *r = SelListFirst(list); r; r = SelListNext(r), i++) {
        EXPECT_STREQ(names[i], r->name);
        // Packed fields: read by value, never bound by reference.
        uint16_t length = r->length;
        uint64_t size = r->size;
        uint32_t position = r->position;
        EXPECT_EQ(28u + strlen(names[i]), length);
        EXPECT_EQ(big + (uint64_t)i, size);
        EXPECT_EQ((uint32_t)(i * 7), position);
    }
    EXPECT_EQ(3, i);
    free(list);
    SelectionBuilder empty;
    EXPECT_EQ(nullptr, SelListRelease(&empty));
    EXPECT_EQ(0u, SelListCount(nullptr));
}

TEST(Selection, GrowsPastManyRecords)
{
    SelectionBuilder b;
    char name[40];
    for (int i = 0; i < 20000; i++) {
        snprintf(name, sizeof name, "file%05d.dat", i);
        ASSERT_TRUE(SelListAppend(&b, name, 0, 0, 4096, 0x20, (uint32_t)i));
    }
    void *list = SelListRelease(&b);
    EXPECT_EQ(20000u, SelListCount(list));
    free(list);
}
