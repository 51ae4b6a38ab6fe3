#pragma once
// The batch file tools' file calls on POSIX, for the native tests, the
// comparisons with the Unix tools and the benchmark.
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include "fileops/ToolIo.h"

struct PosixToolIo : ToolIo {
    bool overwrite = false;
    int cancelAfter = -1;  // >= 0: Cancelled() turns true after that many calls
    std::string notes;
    PosixToolIo() { separator = '/'; }
    static ToolHandle H(int fd) { return (ToolHandle)(intptr_t)(fd + 1); }
    static int Fd(ToolHandle h) { return (int)(intptr_t)h - 1; }
    uint32_t OpenRead(const std::string& path, ToolHandle* h, uint64_t* size) override
    {
        int fd = open(path.c_str(), O_RDONLY);
        if (fd < 0) return errno;
        struct stat st;
        if (fstat(fd, &st) != 0) {
            close(fd);
            return errno;
        }
        *size = (uint64_t)st.st_size;
        *h = H(fd);
        return 0;
    }
    uint32_t CreateNew(const std::string& path, ToolHandle* h) override
    {
        int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        if (fd < 0) return errno;
        *h = H(fd);
        return 0;
    }
    uint32_t Read(ToolHandle h, void* buffer, size_t n, size_t* got) override
    {
        size_t total = 0;
        while (total < n) {
            ssize_t r = read(Fd(h), (char*)buffer + total, n - total);
            if (r < 0) return errno;
            if (r == 0) break;
            total += (size_t)r;
        }
        *got = total;
        return 0;
    }
    uint32_t Write(ToolHandle h, const void* data, size_t n) override
    {
        while (n) {
            ssize_t r = write(Fd(h), data, n);
            if (r <= 0) return r < 0 ? errno : 28;
            data = (const char*)data + r;
            n -= (size_t)r;
        }
        return 0;
    }
    uint32_t Close(ToolHandle h) override { return close(Fd(h)) == 0 ? 0 : errno; }
    uint32_t Replace(const std::string& from, const std::string& to) override
    {
        return rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
    }
    uint32_t Remove(const std::string& path) override { return unlink(path.c_str()) == 0 ? 0 : errno; }
    uint32_t SizeOf(const std::string& path, uint64_t* size) override
    {
        struct stat st;
        if (stat(path.c_str(), &st) != 0) return errno;
        *size = (uint64_t)st.st_size;
        return 0;
    }
    bool AskOverwrite(const std::string&) override { return overwrite; }
    bool Cancelled() override { return cancelAfter >= 0 && cancelAfter-- == 0 ? (cancelAfter = 0, true) : false; }
    void Note(const std::string& text) override { notes += text + "\n"; }
};
