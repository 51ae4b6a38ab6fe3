#pragma once
// A diskette drive for the diskette tools, over an image file. Wine opens
// "\\.\A:" when dosdevices/a:: links to an image, but has no disk IOCTLs
// and no vwin32 device: the NT form takes the real sector reads and writes
// and gives the geometry from the image size; the Windows 9x form plays
// vwin32 (absolute read, absolute write, eject) on the image file. Messages
// and error reports are recorded instead of shown.
#include <windows.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "fileops/DiskTools.h"

struct DiskDriveModel {
    std::string image;           // Windows path of the image file behind the drive
    int64_t failWriteSector = -1; // a sector that cannot be written (-1 none)
    int ejects = 0;
    // Recorded: text ids of messages (0 for a composed text), their texts,
    // and the errors reported.
    std::vector<int> messages;
    std::vector<std::string> texts;
    std::vector<uint32_t> errors;
    int writeCalls = 0;
    int answer = IDYES; // the button every message is answered with
};

DiskSystem StandInDiskNt(DiskDriveModel *model);
DiskSystem StandInDiskWin9x(DiskDriveModel *model);
