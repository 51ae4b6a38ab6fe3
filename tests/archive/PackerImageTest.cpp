// The packer definitions image: checks of damaged files, lookups, and the
// edits of the packer dialog, whose saved file must equal what an
// independent Python writer makes from the same table.
#include <gtest/gtest.h>

#include <stdio.h>

#include <fstream>
#include <sstream>

#include "frontends/PackerImage.h"

namespace {

std::string Slurp(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<PackerForm> Table(const std::string &path) {
    std::vector<PackerForm> rows;
    std::istringstream in(Slurp(path));
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty())
            continue;
        PackerForm form;
        std::istringstream fields(line);
        for (int i = 0; i < kPackerStringCount; ++i)
            std::getline(fields, form.text[i], '\t');
        rows.push_back(form);
    }
    return rows;
}

std::string Env(const char *name) {
    const char *v = getenv(name);
    return v ? v : "";
}

} // namespace

TEST(PackerImage, EditsSaveTheBytesOfAnIndependentWriter) {
    std::string dir = Env("PACKER_TEST_DIR");
    ASSERT_FALSE(dir.empty()) << "PACKER_TEST_DIR is not set";
    std::vector<PackerForm> rows = Table(dir + "/packers.tsv");
    ASSERT_EQ(rows.size(), 4u);
    // As the dialog: an empty first record, then insert after the current
    // one and save the form into it, record by record.
    PackerImage image;
    PackerInsertEmpty(&image, 0);
    for (size_t i = 0; i < rows.size(); ++i) {
        if (i)
            PackerInsertEmpty(&image, (uint32_t)i - 1);
        ASSERT_TRUE(PackerReplace(&image, (uint32_t)i, rows[i]));
        EXPECT_EQ(PackerImageCheck(image.data(), image.size()), "");
    }
    std::string expected = Slurp(dir + "/VANDZIP.SET");
    ASSERT_FALSE(expected.empty());
    EXPECT_TRUE(std::string(image.begin(), image.end()) == expected);

    // Lookups: n counts from 0, beyond the last gives the last.
    EXPECT_EQ(PackerGetString(image, 1, kPackerName), "RAR");
    EXPECT_EQ(PackerGetString(image, 7, kPackerName), "LONGNAM");
    EXPECT_EQ(PackerGetString(image, 1, kPackerOption1), "-m3 ");
    EXPECT_EQ(PackerGetString(image, 1, kPackerOption2), "-m5 "); // already had its blank
    EXPECT_EQ(PackerGetString(image, 2, kPackerOption1), "");      // empty stays empty
    EXPECT_EQ(PackerGetString(image, 3, kPackerAdd).size(), 63u);  // 62 characters and the blank
    EXPECT_EQ(PackerGetString(image, 3, kPackerOption1), "123456 ");

    // Delete: never the first record; others go, the rest keeps its order.
    PackerImage copy = image;
    EXPECT_FALSE(PackerDelete(&copy, 0));
    EXPECT_TRUE(copy == image);
    EXPECT_TRUE(PackerDelete(&copy, 1));
    EXPECT_EQ(PackerImageCount(copy), 3u);
    EXPECT_EQ(PackerGetString(copy, 1, kPackerName), "ARJ");
    EXPECT_EQ(PackerImageCheck(copy.data(), copy.size()), "");
}

TEST(PackerImage, DamagedFilesAreNamedNotRead) {
    PackerImage image;
    PackerInsertEmpty(&image, 0);
    PackerForm form;
    form.text[kPackerName] = "ZIP";
    form.text[kPackerAdd] = "zip -a";
    ASSERT_TRUE(PackerReplace(&image, 0, form));
    ASSERT_EQ(PackerImageCheck(image.data(), image.size()), "");
    struct Case {
        const char *what;
        size_t at;
        uint8_t value;
        size_t cut; // bytes removed from the end
    };
    const Case cases[] = {
        {"count beyond the records", 0, 2, 0},
        {"length too long", 2, 0xF0, 0},
        {"length too short", 2, 10, 0},
        {"string offset moved", 6, 30, 0},
        {"terminator overwritten", 2 + 22 + 3, 'X', 0},
        {"file cut short", 0, 1, 5},
    };
    for (const Case &c : cases) {
        PackerImage bad = image;
        bad[c.at] = c.value;
        bad.resize(bad.size() - c.cut);
        EXPECT_NE(PackerImageCheck(bad.data(), bad.size()), "") << c.what;
    }
    EXPECT_NE(PackerImageCheck(image.data(), 1), "");
}
