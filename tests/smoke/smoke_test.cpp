#include <gtest/gtest.h>
#include <cstdlib>
#ifdef _WIN32
#include <windows.h>
#endif

TEST(Sandbox, TestDataReachable) {
    const char* dir = std::getenv("VANDRELL_TESTDATA");
    ASSERT_NE(dir, nullptr);
    std::string path = std::string(dir) + "/mpeg-conformance/README.md";
    FILE* f = std::fopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr) << path;
    std::fclose(f);
}

#ifdef _WIN32
TEST(Sandbox, NoHostRootDrive) {
    EXPECT_EQ(GetDriveTypeA("Z:\\"), (UINT)DRIVE_NO_ROOT_DIR);
}

TEST(Sandbox, CanCreateWindow) {
    HWND w = CreateWindowA("STATIC", "x", WS_OVERLAPPEDWINDOW, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(w, nullptr);
    DestroyWindow(w);
}
#endif
