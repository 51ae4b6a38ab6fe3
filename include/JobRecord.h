// One job's record, shared by its worker thread and the interface thread
// without a lock: the worker only writes the progress fields and `state`
// answers, the dialog only `cancel`.
#pragma once

#include <windows.h>
#include <stdint.h>

struct LocationNode;

struct JobRecord {
    uint32_t itemCount; // 0 = only the cursor entry; delete: answered-for-all bits
    uint32_t itemInfo;
    uint32_t flags;
    uint16_t titleId;
    uint16_t captionId;
    uint16_t jobCode;
    uint16_t sourcePanel;
    uint32_t textClock;
    uint32_t startClock;
    uint64_t total;
    uint64_t fileBytes;
    uint64_t done;
    uint64_t barPos;
    volatile uint32_t cancel;
    volatile int32_t workers;
    char target[520];
    char secondName[260];
    char sourceDir[260];
    LocationNode *sourceLocation;
    LocationNode *targetLocation;
    HWND dialog;
    int32_t state; // 0 go on, 2 stop, 5 yes to all, 7 skip this item
    void *selection;
    int16_t caseCompare;
    uint64_t filesSelected;
    uint64_t bytesSelected;
    uint64_t filesDone;
    uint64_t bytesDone;
    uint32_t foldersDone;
    uint32_t errors;
    // Attributes job: bits to remove and to add, and the creation and
    // modification times to give (UTC; below the no-time limit: unchanged).
    uint32_t attrClear;
    uint32_t attrSet;
    uint64_t attrCreation;
    uint64_t attrWrite;
};

enum : uint32_t {
    kJobNewerOnly = 0x2,
    kJobCloseStats = 0x10,
    kJobUseFilter = 0x200,
    kJobDeleteFilter = 0x400,
    kJobKeepEmptyDirs = 0x800,
    kJobCheckSpace = 0x1000,
    kJobVerify = 0x8000,
    kJobWipe = 0x80000,
    kJobRecycle = 0x100000,
    kJobInclSubDirs = 0x200000,
    kJobStatistics = 0x400000,
    kJobFinished = 0x80000000u,
};
