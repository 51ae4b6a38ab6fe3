// Shared by the editor window tests: a private folder of files, the message
// boxes and file dialogs answered by the test, and message pumping.
#pragma once
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <string>
#include <vector>

#include "AppState.h"
#include "wingui/WindowList.h"
#include "tools/SafeSave.h"

struct BoxRecord {
    std::string text, caption;
    UINT type;
};
inline std::vector<BoxRecord> gBoxes;
inline int gBoxAnswer = IDOK;
inline int RecordBox(HWND, const char *text, const char *caption, UINT type) {
    gBoxes.push_back({text ? text : "", caption ? caption : "", type});
    return gBoxAnswer;
}

// The open and save dialogs: the name the test chose, or a cancel.
inline std::string gNextName;
inline bool gNameAnswer = false;
inline int gNameAsks = 0;
inline bool AnswerName(HWND, char *path, bool) {
    gNameAsks++;
    if (gNameAnswer)
        strcpy(path, gNextName.c_str());
    return gNameAnswer;
}

inline void Pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

inline std::string ReadBytes(const std::string &path) {
    std::string out;
    FILE *f = fopen(path.c_str(), "rb");
    if (!f)
        return "<missing>";
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0)
        out.append(buf, n);
    fclose(f);
    return out;
}

inline void WriteBytes(const std::string &path, const std::string &bytes) {
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    FILE *f = fopen(path.c_str(), "wb");
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
}

// Names in a folder (leftover temporary files show up here).
inline std::vector<std::string> FolderNames(const std::string &folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((folder + "\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (strcmp(fd.cFileName, ".") && strcmp(fd.cFileName, ".."))
            names.push_back(fd.cFileName);
    } while (FindNextFileA(h, &fd));
    FindClose(h);
    return names;
}

class EditorFixture : public ::testing::Test {
protected:
    void SetUp() override {
        saved = gApp;
        gApp = (AppState *)calloc(1, sizeof(AppState));
        gApp->hInstance = GetModuleHandleA(nullptr);
        InitializeCriticalSection(&gApp->dialogListLock);
        gEditorMsgBox = RecordBox;
        gEditorAskFileName = AnswerName;
        gNameAnswer = false;
        gNameAsks = 0;
        gBoxes.clear();
        gBoxAnswer = IDOK;
        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        const ::testing::TestInfo *info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder = std::string(temp) + "zqed_" + info->test_suite_name() + "_" + info->name();
        CreateDirectoryA(folder.c_str(), nullptr);
    }
    void TearDown() override {
        Pump();
        for (const std::string &name : FolderNames(folder)) {
            std::string path = folder + "\\" + name;
            SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileA(path.c_str());
        }
        RemoveDirectoryA(folder.c_str());
        DeleteCriticalSection(&gApp->dialogListLock);
        ToolWndFreeAll();
        free(gApp);
        gApp = saved;
    }
    std::string Path(const char *name) { return folder + "\\" + name; }
    AppState *saved = nullptr;
    std::string folder;
};
