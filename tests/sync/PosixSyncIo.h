#pragma once
// The synchronisation's file calls on POSIX, for the native tests, the
// tree comparison against diff and rsync, and the benchmark.
#include <dirent.h>
#include <string.h>
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <ctype.h>
#include <string>
#include <vector>

#include "fileops/SyncCompare.h"

struct PosixSyncIo : SyncIo {
    std::vector<SyncLine> lines;
    std::vector<std::string> copies; // targets written, in order
    PosixSyncIo() { separator = '/'; }

    static void Fill(const struct stat &st, SyncEntry *e)
    {
        struct tm t;
        time_t when = st.st_mtime;
        localtime_r(&when, &t);
        int year = t.tm_year + 1900;
        if (year < 1980) {
            e->dosDate = (1 << 5) | 1;
            e->dosTime = 0;
        } else {
            e->dosDate = (uint16_t)(((year - 1980) << 9) | ((t.tm_mon + 1) << 5) | t.tm_mday);
            e->dosTime = (uint16_t)((t.tm_hour << 11) | (t.tm_min << 5) | (t.tm_sec / 2));
        }
        e->size = S_ISDIR(st.st_mode) ? 0 : (uint64_t)st.st_size;
    }
    uint32_t Scan(const std::string &folder, std::vector<SyncEntry> *entries) override
    {
        DIR *d = opendir(folder.c_str());
        if (!d)
            return errno;
        int fd = dirfd(d);
        while (struct dirent *de = readdir(d)) {
            if (!strcmp(de->d_name, ".") || !strcmp(de->d_name, ".."))
                continue;
            SyncEntry e;
            e.name = de->d_name;
            e.key = e.name;
            for (char &c : e.key)
                c = (char)toupper((unsigned char)c);
            struct stat st;
            if (fstatat(fd, de->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
                continue;
            if (S_ISLNK(st.st_mode)) {
                struct stat target;
                if (fstatat(fd, de->d_name, &target, 0) == 0 && S_ISDIR(target.st_mode)) {
                    e.attributes = kSyncAttrFolder | kSyncAttrLink;
                } else if (fstatat(fd, de->d_name, &target, 0) == 0) {
                    st = target;
                }
            } else if (S_ISDIR(st.st_mode)) {
                e.attributes = kSyncAttrFolder;
            }
            Fill(st, &e);
            entries->push_back(std::move(e));
        }
        closedir(d);
        return 0;
    }
    static SyncHandle H(int fd) { return (SyncHandle)(intptr_t)(fd + 1); }
    static int Fd(SyncHandle h) { return (int)(intptr_t)h - 1; }
    uint32_t OpenRead(const std::string &path, SyncHandle *h) override
    {
        int fd = open(path.c_str(), O_RDONLY);
        if (fd < 0)
            return errno;
        *h = H(fd);
        return 0;
    }
    uint32_t Read(SyncHandle h, void *buffer, size_t n, size_t *got) override
    {
        size_t total = 0;
        while (total < n) {
            ssize_t r = read(Fd(h), (char *)buffer + total, n - total);
            if (r < 0)
                return errno;
            if (r == 0)
                break;
            total += (size_t)r;
        }
        *got = total;
        return 0;
    }
    void Close(SyncHandle h) override { close(Fd(h)); }
    void Emit(const SyncLine &line) override { lines.push_back(line); }
    std::string ErrorText(uint32_t error) override { return strerror((int)error); }
    uint32_t Stat(const std::string &path, SyncEntry *entry) override
    {
        struct stat st;
        if (stat(path.c_str(), &st) != 0)
            return errno == ENOENT ? 2 : errno;
        Fill(st, entry);
        return 0;
    }
    uint32_t MakeDirs(const std::string &path) override
    {
        for (size_t at = 1; at <= path.size(); at++) {
            if (at == path.size() || path[at] == '/') {
                std::string part = path.substr(0, at);
                if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST)
                    return errno;
            }
        }
        return 0;
    }
    uint32_t CopyFile(const std::string &source, const std::string &target, bool mustBeNew) override
    {
        int in = open(source.c_str(), O_RDONLY);
        if (in < 0)
            return errno;
        std::string temp = target + ".synctmp";
        int out = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        if (out < 0) {
            uint32_t e = errno;
            close(in);
            return e;
        }
        char buffer[65536];
        uint32_t error = 0;
        for (;;) {
            ssize_t r = read(in, buffer, sizeof buffer);
            if (r < 0) {
                error = errno;
                break;
            }
            if (r == 0)
                break;
            if (write(out, buffer, (size_t)r) != r) {
                error = errno ? errno : 28;
                break;
            }
        }
        struct stat st;
        fstat(in, &st);
        close(in);
        struct timespec times[2] = {st.st_atim, st.st_mtim};
        futimens(out, times);
        close(out);
        if (!error && mustBeNew && access(target.c_str(), F_OK) == 0)
            error = 80;
        if (!error && rename(temp.c_str(), target.c_str()) != 0)
            error = errno;
        if (error)
            unlink(temp.c_str());
        else
            copies.push_back(target);
        return error;
    }
};
