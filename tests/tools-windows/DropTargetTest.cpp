// Where a dropped-files target lies inside an archive.
#include <gtest/gtest.h>

#include "tools/DropTarget.h"

namespace {

struct TargetCase {
    const char *target;
    const char *inner; // null: not inside the archive
};

TEST(DropTarget, OnlyTheArchiveAndFoldersInsideItCount) {
    const std::string archive = "C:\\data\\a.zip";
    const TargetCase cases[] = {
        {"C:\\data\\a.zip", ""},
        {"C:\\data\\a.zip\\", ""},
        {"c:\\DATA\\A.ZIP\\Sub", "Sub"},
        {"C:\\data\\a.zip\\sub\\deeper\\", "sub\\deeper"},
        {"C:\\data\\a.zip\\sub\\\\deeper", "sub\\deeper"},
        {"C:\\data\\a.zip/sub", "sub"},
        // Names that only start like the archive.
        {"C:\\data\\a.zip2", nullptr},
        {"C:\\data\\a.zip2\\sub", nullptr},
        {"C:\\data\\a.zip.bak\\sub", nullptr},
        {"C:\\data\\a.zi", nullptr},
        {"C:\\data", nullptr},
        {"", nullptr},
        // Steps that would leave the archive's tree.
        {"C:\\data\\a.zip\\..\\b", nullptr},
        {"C:\\data\\a.zip\\sub\\..", nullptr},
        {"C:\\data\\a.zip\\.\\sub", nullptr},
    };
    for (const TargetCase &c : cases) {
        std::string inner = "unchanged";
        bool inside = DropTargetInnerPath(c.target, archive, &inner);
        EXPECT_EQ(inside, c.inner != nullptr) << c.target;
        EXPECT_EQ(inner, c.inner ? c.inner : "unchanged") << c.target;
    }
    std::string inner;
    EXPECT_FALSE(DropTargetInnerPath("C:\\data\\a.zip", "", &inner));
}

TEST(DropTarget, MemberNamesJoinTheInnerFolder) {
    EXPECT_EQ(DropMemberName("", "f.txt"), "f.txt");
    EXPECT_EQ(DropMemberName("sub\\deeper", "tree\\f.txt"), "sub\\deeper\\tree\\f.txt");
}

} // namespace
