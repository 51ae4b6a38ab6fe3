// What the tests that run the whole program in their own process share:
// waiting on a condition, reading and writing whole files, emptying a folder.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <stdio.h>

#include <string>

template <class F> bool WaitFor(F condition, DWORD timeout = 30000) {
    DWORD t0 = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - t0 > timeout)
            return false;
        Sleep(10);
    }
    return true;
}

inline std::string ReadAll(const std::string &path) {
    std::string out;
    FILE *f = fopen(path.c_str(), "rb");
    if (!f)
        return out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0)
        out.append(buf, n);
    fclose(f);
    return out;
}

inline void WriteAll(const std::string &path, const std::string &text) {
    FILE *f = fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr) << path;
    fwrite(text.data(), 1, text.size(), f);
    fclose(f);
}

// Read-only files go too.
inline void RemoveTree(const std::string &dir) {
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((dir + "\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::string name = data.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string path = dir + "\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(path);
            } else {
                SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(path.c_str());
            }
        } while (FindNextFileA(find, &data));
        FindClose(find);
    }
    RemoveDirectoryA(dir.c_str());
}
