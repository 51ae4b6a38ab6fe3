#include "fileops/SyncCompare.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <memory>

#include "base/DateTime.h"
#include "base/Numbers.h"

std::string SyncJoin(const SyncIo &io, const std::string &folder, const std::string &name)
{
    if (!folder.empty() && folder.back() == io.separator)
        return folder + name;
    return folder + io.separator + name;
}

namespace {

// Length of a root that a relative path is cut from: one less when the
// root ends with its separator (a drive root), so every relative path
// starts with a separator.
size_t RootLength(const SyncIo &io, const std::string &root)
{
    if (!root.empty() && root.back() == io.separator)
        return root.size() - 1;
    return root.size();
}

struct Side {
    char mark;
    size_t rootLength;
};

struct Comparer {
    SyncIo &io;
    SyncCompareJob &job;
    const SyncTexts &texts;
    Side sides[2]; // 0 source, 1 target

    bool Stopped() { return io.Stopped(); }
    bool SubFolders() const { return (job.options & kSyncSubFolders) != 0; }
    bool OnlyExisting() const { return (job.options & kSyncOnlyExisting) != 0; }
    bool BothWays() const { return (job.options & kSyncBothWays) != 0; }

    std::string Relative(int side, const std::string &path) const
    {
        size_t n = sides[side].rootLength;
        return path.size() >= n ? path.substr(n) : path;
    }

    void FileLine(SyncLineKind kind, int into, const std::string &pathOnReceivingSide, uint64_t size)
    {
        SyncLine line;
        line.kind = kind;
        line.mark = sides[into].mark;
        line.relative = Relative(into, pathOnReceivingSide);
        line.size = size;
        line.text = std::string(1, line.mark) + (kind == kSyncLineChanged ? "    " : " +  ") + "  ... " + line.relative;
        job.fileLines++;
        io.Emit(line);
    }
    void FolderLine(int into, const std::string &path)
    {
        SyncLine line;
        line.kind = kSyncLineMissingFolder;
        line.mark = sides[into].mark;
        line.folder = path;
        line.text = std::string(1, line.mark) + " ++ " + path;
        io.Emit(line);
    }
    void ProblemLine(SyncLineKind kind, const std::string &path, const std::string &why)
    {
        SyncLine line;
        line.kind = kind;
        line.folder = path;
        line.text = (kind == kSyncLineError ? " !!  " : "  -  ") + path + "  " + why;
        if (kind == kSyncLineError)
            job.errors++;
        io.Emit(line);
    }
    void ErrorLine(const std::string &path, uint32_t error) { ProblemLine(kSyncLineError, path, io.ErrorText(error)); }

    // The entries of a folder that take part (the filter applies to files),
    // sorted by key, first-scanned first among equal keys.
    bool Scan(const std::string &folder, std::vector<SyncEntry> *out)
    {
        out->clear();
        uint32_t error = io.Scan(folder, out);
        if (error) {
            ErrorLine(folder, error);
            out->clear();
            return false;
        }
        if (job.options & kSyncWithFilter) {
            out->erase(std::remove_if(out->begin(), out->end(),
                                      [&](const SyncEntry &e) { return !e.IsFolder() && !io.Accept(folder, e); }),
                       out->end());
        }
        std::stable_sort(out->begin(), out->end(), [](const SyncEntry &x, const SyncEntry &y) { return x.key < y.key; });
        return true;
    }

    bool TooDeep(const std::string &folder, int depth)
    {
        if (depth <= kSyncMaxDepth)
            return false;
        ProblemLine(kSyncLineError, folder, texts.tooDeep);
        return true;
    }

    void NewTree(int from, const std::string &source, int into, const std::string &target, bool lineAdded, int depth)
    {
        if (TooDeep(source, depth))
            return;
        std::vector<SyncEntry> entries;
        if (!Scan(source, &entries))
            return;
        for (const SyncEntry &e : entries) {
            if (Stopped())
                return;
            std::string s = SyncJoin(io, source, e.name), t = SyncJoin(io, target, e.name);
            if (e.IsFolderLink())
                ProblemLine(kSyncLineNote, s, texts.link);
            else if (e.IsFolder())
                NewTree(from, s, into, t, false, depth + 1);
            else
                FileLine(kSyncLineMissingFile, into, t, e.size);
        }
        if (entries.empty() && !lineAdded)
            FolderLine(into, target);
        if (!Stopped())
            job.folderLines++;
    }

    void CompareFiles(int a, const std::string &pathA, const SyncEntry &ea, const std::string &pathB,
                      const SyncEntry &eb)
    {
        int d = DosStampCompare(ea.dosDate, ea.dosTime, eb.dosDate, eb.dosTime);
        if (d == 0) {
            // Neither is newer: there is no direction to copy in, and picking
            // one could put an older file over a newer one.
            if (ea.size != eb.size)
                ProblemLine(kSyncLineError, pathA, texts.sameTime);
            return;
        }
        if (job.options & kSyncBinary) {
            uint32_t error = 0;
            std::string failed;
            int same = SyncFilesDiffer(io, pathA, pathB, ea.size, eb.size, &error, &failed);
            if (same == kSyncUnreadable) {
                ErrorLine(failed, error);
                return;
            }
            if (same == kSyncSame)
                return;
        }
        int b = 1 - a;
        if (d > 0)
            FileLine(kSyncLineChanged, b, pathB, ea.size);
        else if (BothWays())
            FileLine(kSyncLineChanged, a, pathA, eb.size);
    }

    void Folders(int a, const std::string &folderA, const std::string &folderB, int depth)
    {
        if (TooDeep(folderA, depth))
            return;
        int b = 1 - a;
        std::vector<SyncEntry> listA, listB;
        // A side that cannot be read is reported and nothing of this pair is
        // listed: its files might be there all the same.
        bool okA = Scan(folderA, &listA);
        bool okB = Scan(folderB, &listB);
        if (!okA || !okB)
            return;
        // Both lists are sorted by key: one merge walk finds, for every entry
        // of A, the first entry of B with its key.
        std::vector<bool> matched(listB.size(), false);
        std::vector<long> partnerOfA(listA.size(), -1);
        for (size_t i = 0, j = 0; i < listA.size(); i++) {
            while (j < listB.size() && listB[j].key < listA[i].key)
                j++;
            if (j < listB.size() && listB[j].key == listA[i].key)
                partnerOfA[i] = (long)j;
        }
        for (size_t i = 0; i < listA.size(); i++) {
            if (Stopped())
                return;
            const SyncEntry &ea = listA[i];
            const SyncEntry *eb = partnerOfA[i] >= 0 ? &listB[partnerOfA[i]] : nullptr;
            std::string pathA = SyncJoin(io, folderA, ea.name);
            std::string pathB = SyncJoin(io, folderB, eb ? eb->name : ea.name);
            if (eb)
                matched[partnerOfA[i]] = true;
            if (ea.IsFolder() || (eb && eb->IsFolder())) {
                if (!SubFolders())
                    continue;
                if (ea.IsFolderLink() || (eb && eb->IsFolderLink())) {
                    ProblemLine(kSyncLineNote, ea.IsFolderLink() ? pathA : pathB, texts.link);
                } else if (eb && ea.IsFolder() != eb->IsFolder()) {
                    ProblemLine(kSyncLineError, pathA, texts.kinds);
                } else if (eb) {
                    Folders(a, pathA, pathB, depth + 1);
                } else if (!OnlyExisting()) {
                    FolderLine(b, pathB);
                    NewTree(a, pathA, b, pathB, true, depth + 1);
                }
                continue;
            }
            if (eb)
                CompareFiles(a, pathA, ea, pathB, *eb);
            else if (!OnlyExisting())
                FileLine(kSyncLineMissingFile, b, pathB, ea.size);
        }
        if (!BothWays() || OnlyExisting())
            return;
        for (size_t j = 0; j < listB.size(); j++) {
            if (Stopped())
                return;
            if (matched[j])
                continue;
            // Unmatched here means no entry of A has this key (a second entry
            // of B with the same key has its partner already).
            const SyncEntry &eb = listB[j];
            bool keyInA = std::binary_search(listA.begin(), listA.end(), eb,
                                             [](const SyncEntry &x, const SyncEntry &y) { return x.key < y.key; });
            if (keyInA)
                continue;
            std::string pathB = SyncJoin(io, folderB, eb.name), pathA = SyncJoin(io, folderA, eb.name);
            if (eb.IsFolderLink()) {
                if (SubFolders())
                    ProblemLine(kSyncLineNote, pathB, texts.link);
            } else if (eb.IsFolder()) {
                if (SubFolders()) {
                    FolderLine(a, pathA);
                    NewTree(b, pathB, a, pathA, true, depth + 1);
                }
            } else {
                FileLine(kSyncLineMissingFile, a, pathA, eb.size);
            }
        }
    }
};

std::string Formatted(const std::string &format, uint64_t n, char thousands)
{
    char number[40];
    StrFormatNumber64Sep(&n, number, thousands);
    std::string out;
    size_t at = format.find("%s");
    if (at == std::string::npos)
        return format;
    return format.substr(0, at) + number + format.substr(at + 2);
}

} // namespace

void SyncCompare(SyncIo &io, SyncCompareJob &job, const SyncTexts &texts)
{
    job.fileLines = job.folderLines = job.errors = 0;
    Comparer c{io, job, texts, {}};
    c.sides[0] = {job.SourceMark(), RootLength(io, job.source)};
    c.sides[1] = {job.TargetMark(), RootLength(io, job.target)};
    c.Folders(0, job.source, job.target, 0);
    SyncLine line;
    io.Emit(line);
    line.text = Formatted(texts.files, job.fileLines, texts.thousands);
    io.Emit(line);
    line.text = Formatted(texts.folders, job.folderLines, texts.thousands);
    io.Emit(line);
}

int SyncFilesDiffer(SyncIo &io, const std::string &a, const std::string &b, uint64_t sizeA, uint64_t sizeB,
                    uint32_t *error, std::string *failed)
{
    *error = 0;
    if (sizeA != sizeB)
        return kSyncDiffer;
    SyncHandle ha = nullptr, hb = nullptr;
    if ((*error = io.OpenRead(a, &ha)) != 0) {
        *failed = a;
        return kSyncUnreadable;
    }
    if ((*error = io.OpenRead(b, &hb)) != 0) {
        *failed = b;
        io.Close(ha);
        return kSyncUnreadable;
    }
    const size_t kBlock = 0x10000;
    std::unique_ptr<char[]> bufA(new char[kBlock]), bufB(new char[kBlock]);
    int result = kSyncSame;
    for (uint64_t left = sizeA; left > 0;) {
        size_t n = left < kBlock ? (size_t)left : kBlock, gotA = 0, gotB = 0;
        if ((*error = io.Read(ha, bufA.get(), n, &gotA)) != 0) {
            *failed = a;
            result = kSyncUnreadable;
            break;
        }
        if ((*error = io.Read(hb, bufB.get(), n, &gotB)) != 0) {
            *failed = b;
            result = kSyncUnreadable;
            break;
        }
        // A file that got shorter since it was listed differs from one that did not.
        if (gotA != gotB || memcmp(bufA.get(), bufB.get(), gotA) != 0) {
            result = kSyncDiffer;
            break;
        }
        if (gotA < n)
            break;
        left -= n;
    }
    io.Close(ha);
    io.Close(hb);
    return result;
}

void SyncLinePaths(const SyncIo &io, const SyncCompareJob &job, const SyncLine &line, std::string *from,
                   std::string *to)
{
    size_t leftLength = RootLength(io, job.LeftRoot()), rightLength = RootLength(io, job.RightRoot());
    std::string left = job.LeftRoot().substr(0, leftLength) + line.relative;
    std::string right = job.RightRoot().substr(0, rightLength) + line.relative;
    if (line.mark == '<') {
        *from = right;
        *to = left;
    } else {
        *from = left;
        *to = right;
    }
}

SyncLineResult SyncRunLine(SyncIo &io, const SyncCompareJob &job, const SyncLine &line, uint32_t *error)
{
    *error = 0;
    if (line.kind == kSyncLineMissingFolder) {
        *error = io.MakeDirs(line.folder);
        return *error ? kSyncFailed : kSyncDone;
    }
    if (!line.IsFile())
        return kSyncNotCopied;
    std::string from, to;
    SyncLinePaths(io, job, line, &from, &to);
    SyncEntry source, target;
    if ((*error = io.Stat(from, &source)) != 0)
        return kSyncFailed;
    uint32_t targetState = io.Stat(to, &target);
    bool targetAbsent = targetState == 2 || targetState == 3;
    if (targetState && !targetAbsent) {
        *error = targetState;
        return kSyncFailed;
    }
    // The lists may be old by now: a target that is as new as the source or
    // newer is never replaced.
    if (!targetAbsent && DosStampCompare(target.dosDate, target.dosTime, source.dosDate, source.dosTime) >= 0)
        return kSyncNewerKept;
    if (targetAbsent) {
        size_t cut = to.rfind(io.separator);
        if (cut != std::string::npos && cut > 0 && (*error = io.MakeDirs(to.substr(0, cut))) != 0)
            return kSyncFailed;
    }
    *error = io.CopyFile(from, to, targetAbsent);
    return *error ? kSyncFailed : kSyncDone;
}

uint64_t SyncSelectedBytes(const std::vector<SyncLine> &lines, const std::vector<bool> &selected)
{
    uint64_t total = 0;
    for (size_t i = 0; i < lines.size() && i < selected.size(); i++) {
        if (selected[i] && lines[i].IsFile())
            total += lines[i].size;
    }
    return total;
}

std::string SyncRemainingText(uint64_t total, uint64_t done, uint64_t elapsedMs)
{
    if (done == 0 || done >= total || elapsedMs == 0)
        return std::string();
    // In floating point: elapsed times the bytes left overflows 64 bits on
    // long runs over large totals.
    double seconds = (double)elapsedMs * (double)(total - done) / (double)done / 1000.0;
    uint64_t s = (uint64_t)seconds;
    double speed = (double)done / (double)elapsedMs * 1000.0 / 1024.0;
    char text[96];
    snprintf(text, sizeof text, "%lu:%02lu:%02lu  (%.2f KB/s)", (unsigned long)(s / 3600),
             (unsigned long)(s / 60 % 60), (unsigned long)(s % 60), speed);
    return text;
}
