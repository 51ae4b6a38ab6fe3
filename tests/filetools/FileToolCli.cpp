// filetool: the batch file tools on the command line, for the comparisons
// with the Unix tools and the benchmark.
//   filetool crc32|md5 FILE             checksum of one file
//   filetool sfv|md5list LIST FILE...   write a checksum list
//   filetool verify LIST                check a list; exit 1 on errors
//   filetool crlf dos|unix|mac SRC DST  line ends (DST may be SRC)
//   filetool encode uu|xx|mime SRC DST
//   filetool decode uu|mime SRC FOLDER
//   filetool split SRC BASE SIZE [lines N|text] [restore] [delete]
//   filetool join TARGET PIECE... [delete]
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "fileops/Checksum.h"
#include "fileops/FileTools.h"
#include "fileops/LineEnds.h"
#include "tests/filetools/PosixToolIo.h"

static int Done(uint32_t e, PosixToolIo& io)
{
    fputs(io.notes.c_str(), stderr);
    if (e) fprintf(stderr, "error %#x\n", (unsigned)e);
    return e ? 1 : 0;
}

int main(int argc, char** argv)
{
    PosixToolIo io;
    io.overwrite = true;
    if (argc < 3) return 2;
    std::string cmd = argv[1];
    if (cmd == "crc32") {
        uint32_t crc;
        uint32_t e = ToolFileCrc32(&io, argv[2], &crc);
        if (!e) printf("%08X\n", (unsigned)crc);
        return Done(e, io);
    }
    if (cmd == "md5") {
        uint8_t d[16];
        uint32_t e = ToolFileMd5(&io, argv[2], d);
        if (!e) {
            for (int i = 0; i < 16; i++)
                printf("%02x", d[i]);
            printf("\n");
        }
        return Done(e, io);
    }
    if (cmd == "sfv" || cmd == "md5list") {
        std::vector<std::string> files(argv + 3, argv + argc);
        return Done(ToolSumCreate(&io, argv[2], cmd == "sfv" ? kSumSfv : kSumMd5Bin, files), io);
    }
    if (cmd == "verify") {
        std::string report;
        uint32_t errors = 0;
        uint32_t e = ToolSumVerify(&io, argv[2], kSumNone, &report, &errors);
        fputs(report.c_str(), stdout);
        return e ? Done(e, io) : errors ? 1 : 0;
    }
    if (cmd == "crlf" && argc == 5) {
        int16_t mode = !strcmp(argv[2], "dos") ? kCrLfDos : !strcmp(argv[2], "unix") ? kCrLfUnix : kCrLfMac;
        return Done(ToolCrLfFile(&io, argv[3], argv[4], mode, !strcmp(argv[3], argv[4])), io);
    }
    if (cmd == "encode" && argc == 5) {
        int method = !strcmp(argv[2], "uu") ? 1 : !strcmp(argv[2], "xx") ? 2 : 3;
        return Done(ToolEncodeFile(&io, argv[3], argv[4], method), io);
    }
    if (cmd == "decode" && argc == 5) {
        int written = 0;
        uint32_t e = ToolDecodeFile(&io, argv[3], argv[4], !strcmp(argv[2], "mime"), &written);
        printf("%d written\n", written);
        return Done(e, io);
    }
    if (cmd == "split" && argc >= 5) {
        SplitParams p;
        p.source = argv[2];
        p.base = argv[3];
        p.pieceSize = strtoull(argv[4], nullptr, 10);
        for (int i = 5; i < argc; i++) {
            if (!strcmp(argv[i], "text")) p.wholeLines = true;
            else if (!strcmp(argv[i], "lines") && i + 1 < argc) {
                p.wholeLines = true;
                p.linesPerPiece = (uint32_t)atoi(argv[++i]);
            } else if (!strcmp(argv[i], "restore")) p.makeRestore = true;
            else if (!strcmp(argv[i], "delete")) p.deleteSource = true;
        }
        uint32_t pieces = 0;
        uint32_t e = ToolSplitFile(&io, p, &pieces);
        printf("%u pieces\n", pieces);
        return Done(e, io);
    }
    if (cmd == "join") {
        bool del = !strcmp(argv[argc - 1], "delete");
        std::vector<std::string> pieces(argv + 3, argv + argc - (del ? 1 : 0));
        return Done(ToolJoinFiles(&io, pieces, argv[2], del), io);
    }
    return 2;
}
