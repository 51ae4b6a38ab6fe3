// Helpers shared by the decoder tests: test data paths, whole-file
// decoding and signal comparison.
#pragma once

#include "MpaStream.h"

#include <math.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>
#include <vector>

inline std::string ConformancePath(const std::string& name) {
    const char* root = getenv("VANDRELL_TESTDATA");
    std::string base = root ? root : "tests/data";
    return base + "/mpeg-conformance/" + name;
}

inline bool ReadAll(const std::string& path, std::vector<uint8_t>* data) {
    FILE* f = fopen(path.c_str(), "rb");
    if (!f)
        return false;
    uint8_t buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof(buf), f)) > 0)
        data->insert(data->end(), buf, buf + n);
    fclose(f);
    return true;
}

inline std::vector<int16_t> AsSamples(const std::vector<uint8_t>& bytes) {
    std::vector<int16_t> s(bytes.size() / 2);
    for (size_t i = 0; i < s.size(); i++)
        s[i] = (int16_t)(bytes[2 * i] | bytes[2 * i + 1] << 8);
    return s;
}

struct Comparison {
    double psnr = 0;   // dB against full scale
    double snr = 0;    // dB against the reference's own power
    int maxDiff = 0;
    size_t compared = 0;
};

inline Comparison Compare(const std::vector<int16_t>& a, const std::vector<int16_t>& ref, size_t skipA = 0) {
    Comparison c;
    size_t n = a.size() > skipA ? a.size() - skipA : 0;
    if (ref.size() < n)
        n = ref.size();
    double err = 0, sig = 0;
    for (size_t i = 0; i < n; i++) {
        int d = a[i + skipA] - ref[i];
        err += (double)d * d;
        sig += (double)ref[i] * ref[i];
        if (abs(d) > c.maxDiff)
            c.maxDiff = abs(d);
    }
    c.compared = n;
    if (n == 0)
        return c;
    double mse = err / (double)n;
    c.psnr = mse == 0 ? 200.0 : 10.0 * log10(32768.0 * 32768.0 / mse);
    c.snr = err == 0 ? 200.0 : 10.0 * log10((sig + 1e-9) / err);
    return c;
}
