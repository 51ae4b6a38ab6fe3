#include "fileops/LineEnds.h"

namespace {

// 1 for the control bytes that make data binary.
struct BinaryTable {
    uint8_t bad[256];
    BinaryTable()
    {
        for (int i = 0; i < 256; i++)
            bad[i] = i < 0x20 && i != '\r' && i != '\n' && i != '\t' && i != 0x0C && i != 0x1A;
    }
};
const BinaryTable gBinary;

} // namespace

bool CrLfIsText(const uint8_t* data, size_t size)
{
    for (size_t i = 0; i < size; i++)
        if (gBinary.bad[data[i]]) return false;
    return true;
}

int CrLfConvertChunk(CrLfChunk* c)
{
    const uint8_t* in = c->input;
    uint8_t* out = c->output;
    size_t n = (size_t)c->inputSize;
    size_t o = 0;
    size_t i = 0;
    const bool dos = c->mode == kCrLfDos;
    const uint8_t end = c->mode == kCrLfUnix ? '\n' : '\r';
    if (n && c->pendingCr) {
        // The CR that ended the previous chunk already gave this line end.
        c->pendingCr = 0;
        if (in[0] == '\n') i = 1;
        else if (gBinary.bad[in[0]]) return kCrLfBinary;
    }
    for (; i < n; i++) {
        uint8_t b = in[i];
        if (b >= 0x20) {
            out[o++] = b;
            continue;
        }
        if (gBinary.bad[b]) {
            c->position = (uint32_t)i;
            return kCrLfBinary;
        }
        if (b == '\r') {
            if (i + 1 == n) c->pendingCr = 1;
            else if (in[i + 1] == '\n') continue;  // the LF gives the line end
        } else if (b != '\n') {
            out[o++] = b;
            continue;
        }
        out[o++] = end;
        if (dos) out[o++] = '\n';
    }
    c->position = (uint32_t)i;
    c->outputLength = (int32_t)o;
    return 0;
}
