// ZQPACK.EXE: a command-line packer of our own that the tests name in the
// packer definitions, as a Win32 program (programs of the host give Wine no
// handle and no exit code). It writes what it received to the file named by
// ZQ_PACK_LOG: the whole command line, then each argument as the C runtime
// splits it, one per line ("arg N: ..."). Then it packs or unpacks ZIP:
//   zqpack a [-p] [-option...] archive file   adds the file (-p: with its path
//                                              below the current folder)
//   zqpack e|x [-option...] archive [folder]   extracts all members, e flat
// Exit code 0 on success, 1 on any failure (the archive is then unchanged).
#include <windows.h>
#include <shellapi.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "ArcLib.h"
#include "ZipCore.h"
#include "base/ArchiveNames.h"

static std::string Narrow(const wchar_t *w) {
    int n = WideCharToMultiByte(CP_ACP, 0, w, -1, nullptr, 0, nullptr, nullptr);
    std::string s((size_t)(n > 0 ? n - 1 : 0), '\0');
    if (n > 1)
        WideCharToMultiByte(CP_ACP, 0, w, -1, &s[0], n, nullptr, nullptr);
    return s;
}

static void Log(const std::vector<std::string> &args) {
    char path[MAX_PATH];
    if (!GetEnvironmentVariableA("ZQ_PACK_LOG", path, sizeof path))
        return;
    FILE *f = fopen(path, "ab");
    if (!f)
        return;
    fprintf(f, "line: %s\n", GetCommandLineA());
    for (size_t i = 1; i < args.size(); ++i)
        fprintf(f, "arg %u: %s\n", (unsigned)i, args[i].c_str());
    fclose(f);
}

static std::string StoredName(const std::string &file, bool withPath) {
    std::string name = file;
    if (!withPath) {
        size_t slash = name.find_last_of("\\/");
        return slash == std::string::npos ? name : name.substr(slash + 1);
    }
    char cwd[MAX_PATH];
    DWORD n = GetCurrentDirectoryA(sizeof cwd, cwd);
    std::string base = n ? std::string(cwd) : std::string();
    if (!base.empty() && base.back() != '\\')
        base += '\\';
    if (!base.empty() && _strnicmp(name.c_str(), base.c_str(), base.size()) == 0)
        return name.substr(base.size());
    if (name.size() > 2 && name[1] == ':')
        name = name.substr(2);
    while (!name.empty() && (name[0] == '\\' || name[0] == '/'))
        name.erase(0, 1);
    return name;
}

static int Add(const std::string &archive, const std::string &file, bool withPath) {
    char rel[520];
    std::string stored = StoredName(file, withPath);
    if (!ArcMemberRelativePath(stored.c_str(), rel, sizeof rel))
        return 1;
    std::string name = rel;
    for (char &c : name)
        if (c == '\\')
            c = '/';
    FILE *src = ArcFileOpen(file.c_str(), "rb");
    if (!src)
        return 1;
    std::string temp = archive + ".zqpack-new";
    FILE *out = ArcFileOpen(temp.c_str(), "w+b");
    if (!out) {
        fclose(src);
        return 1;
    }
    ZipWriter writer(out);
    int r = 0;
    FILE *old = ArcFileOpen(archive.c_str(), "rb");
    if (old) {
        std::vector<ZipEntry> entries;
        r = ZipReadDirectory(old, &entries);
        for (size_t i = 0; r == 0 && i < entries.size(); ++i)
            if (_stricmp(entries[i].rawName.c_str(), name.c_str()) != 0)
                r = writer.CopyMember(old, entries[i]);
    }
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    GetFileAttributesExA(file.c_str(), GetFileExInfoStandard, &data);
    FILETIME local;
    WORD date = 0, time = 0;
    FileTimeToLocalFileTime(&data.ftLastWriteTime, &local);
    FileTimeToDosDateTime(&local, &date, &time);
    if (r == 0)
        r = writer.AddFile(src, name, false, date, time, data.dwFileAttributes, 6, ArcProgress());
    if (r == 0)
        r = writer.Finish();
    fclose(src);
    if (old)
        fclose(old);
    if (fclose(out) != 0)
        r = 1;
    if (r == 0 && MoveFileExA(temp.c_str(), archive.c_str(), MOVEFILE_REPLACE_EXISTING))
        return 0;
    DeleteFileA(temp.c_str());
    return 1;
}

static int Extract(const std::string &archive, const std::string &folder, bool withPaths) {
    FILE *in = ArcFileOpen(archive.c_str(), "rb");
    if (!in)
        return 1;
    std::vector<ZipEntry> entries;
    int r = ZipReadDirectory(in, &entries);
    for (size_t i = 0; r == 0 && i < entries.size(); ++i) {
        char rel[520];
        if (!ArcMemberRelativePath(entries[i].rawName.c_str(), rel, sizeof rel) || entries[i].IsLink()) {
            r = 1;
            break;
        }
        std::string relPath = rel;
        if (!withPaths) {
            if (entries[i].IsDir())
                continue;
            size_t slash = relPath.find_last_of('\\');
            if (slash != std::string::npos)
                relPath = relPath.substr(slash + 1);
        }
        std::string target = (folder.empty() ? std::string(".") : folder) + "\\" + relPath;
        for (size_t p = target.find('\\', 3); p != std::string::npos; p = target.find('\\', p + 1))
            CreateDirectoryA(target.substr(0, p).c_str(), nullptr);
        if (entries[i].IsDir()) {
            CreateDirectoryA(target.c_str(), nullptr);
            continue;
        }
        FILE *out = ArcFileOpen(target.c_str(), "wb");
        if (!out) {
            r = 1;
            break;
        }
        r = ZipExtract(in, entries[i], out, ArcProgress());
        fclose(out);
    }
    fclose(in);
    return r == 0 ? 0 : 1;
}

int main() {
    int argc = 0;
    wchar_t **wargv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::vector<std::string> args;
    for (int i = 0; i < argc; ++i)
        args.push_back(Narrow(wargv[i]));
    Log(args);
    if (args.size() < 3)
        return 1;
    std::string command = args[1];
    bool withPath = false;
    std::vector<std::string> rest;
    for (size_t i = 2; i < args.size(); ++i) {
        if (args[i] == "-p")
            withPath = true;
        else if (!args[i].empty() && args[i][0] == '-')
            continue; // compression options
        else
            rest.push_back(args[i]);
    }
    if (command == "a" && rest.size() == 2)
        return Add(rest[0], rest[1], withPath);
    if ((command == "e" || command == "x") && (rest.size() == 1 || rest.size() == 2))
        return Extract(rest[0], rest.size() == 2 ? rest[1] : std::string(), command == "x");
    return 1;
}
