// mpadecode: decodes an MPEG audio file to raw PCM through one engine and
// reports the CPU time the decoding took.
//   mpadecode [-e engine] [-r reduction] [-c conversion] [-f limitHz] [-n repeat] [-t] [-p] in [out.raw]
// -t decodes without keeping the output, as `mpg123 -t` does; -p runs the
// plain C routines where the SSE2 ones would run.
#include "MpaStream.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include <vector>

// One read into a buffer of the file's size: growing a vector chunk by
// chunk would copy the stream several times and count that as decoding.
static bool ReadFile(const char* path, std::vector<uint8_t>* data) {
    FILE* f = fopen(path, "rb");
    if (!f)
        return false;
    bool ok = fseek(f, 0, SEEK_END) == 0;
    long size = ok ? ftell(f) : -1;
    ok = size >= 0 && fseek(f, 0, SEEK_SET) == 0;
    if (ok) {
        data->resize((size_t)size);
        ok = fread(data->data(), 1, (size_t)size, f) == (size_t)size;
    }
    fclose(f);
    return ok;
}

int main(int argc, char** argv) {
    MpaStreamOptions opt;
    int repeat = 1;
    const char* in = nullptr;
    const char* out = nullptr;
    for (int i = 1; i < argc; i++) {
        const char* a = argv[i];
        if (strcmp(a, "-t") == 0) {
            opt.discardOutput = true;
        } else if (strcmp(a, "-p") == 0) {
            MpaSetVectorPaths(false);
        } else if (a[0] == '-' && a[1] && !a[2] && i + 1 < argc) {
            int v = atoi(argv[++i]);
            switch (a[1]) {
            case 'e': opt.engine = v; break;
            case 'r': opt.reductionCode = v; break;
            case 'c': opt.conversionCode = v; break;
            case 'f': opt.frequencyLimit = v; break;
            case 'n': repeat = v < 1 ? 1 : v; break;
            default: fprintf(stderr, "unknown option %s\n", a); return 2;
            }
        } else if (!in) {
            in = a;
        } else {
            out = a;
        }
    }
    if (!in) {
        fprintf(stderr, "usage: mpadecode [-e engine] [-r reduction] [-c conversion] [-f limitHz] [-n repeat] "
                        "[-t] [-p] in [out.raw]\n");
        return 2;
    }
    std::vector<uint8_t> data;
    if (!ReadFile(in, &data)) {
        fprintf(stderr, "cannot read %s\n", in);
        return 1;
    }
    std::vector<uint8_t> pcm;
    MpaStreamResult r;
    clock_t t0 = clock();
    for (int i = 0; i < repeat; i++) {
        pcm.clear();
        r = MpaDecodeBuffer(data.data(), data.size(), opt, &pcm);
    }
    double cpu = (double)(clock() - t0) / CLOCKS_PER_SEC;
    if (!r.ok) {
        fprintf(stderr, "no decodable stream in %s\n", in);
        return 1;
    }
    double seconds = (double)r.frames * r.info.valuesPerFrame / r.info.channels / r.info.sampleRate;
    fprintf(stderr, "%ld frames, %d Hz, %d ch, %d bits, %.1f s audio, %.3f s CPU per pass\n", r.frames,
            r.info.sampleRate, r.info.channels, r.info.bits, seconds, cpu / repeat);
    if (out) {
        FILE* f = strcmp(out, "-") == 0 ? stdout : fopen(out, "wb");
        if (!f || fwrite(pcm.data(), 1, pcm.size(), f) != pcm.size()) {
            fprintf(stderr, "cannot write %s\n", out);
            return 1;
        }
        if (f != stdout)
            fclose(f);
    }
    return 0;
}
