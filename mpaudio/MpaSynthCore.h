// The parts of the float synthesis shared by the plain C routines and the
// SSE2 ones: the window table, the fast DCT, and how a slot's DCT output is
// laid out in the channel's history.
//
// The SSE2 routines are compiled for SSE2 in a file of their own, so that
// what this header defines is local to each file (an anonymous namespace):
// the linker can never pick an SSE2-compiled copy for the C path.
#pragma once

#include "MpaInternal.h"

#if defined(__GNUC__)
#define MPA_INLINE inline __attribute__((always_inline))
#else
#define MPA_INLINE inline
#endif

// Window coefficients per rate with the signs of the matrixing folded in:
// output j of a slot is sum over i of wa[i][j] times a value of the slot
// 2i back and wb[i][j] times a value of the slot 2i + 1 back.
struct alignas(16) MpaSynthWindowTable {
    float wa[8][32];
    float wb[8][32];
};
// For 32, 16 or 8 outputs per slot.
const MpaSynthWindowTable& MpaSynthWindow(int outputs);

// Factors 1 / (2 cos(pi (2n + 1) / 2N)) of the fast DCT: the N-point ones
// start at index 32 - N (N = 32, 16, 8, 4, 2).
const float* MpaDctFactors();

namespace {

// Unnormalised DCT-II, X[m] = sum x[n] cos(pi (2n + 1) m / 2N), by Lee's
// recursion: the even outputs are the half-size DCT of the sums
// x[n] + x[N - 1 - n], the odd ones come from the half-size DCT F of the
// differences scaled by the factors: X[2m + 1] = F[m] + F[m + 1]. T is a
// float, or a vector of the same value index over several time slots.
template <int N, typename T> struct LeeDct {
    static MPA_INLINE void Run(const T* x, T* X, const T* factors) {
        T a[N / 2], b[N / 2], even[N / 2], odd[N / 2];
        const T* f = factors + (32 - N);
        for (int n = 0; n < N / 2; n++) {
            a[n] = x[n] + x[N - 1 - n];
            b[n] = (x[n] - x[N - 1 - n]) * f[n];
        }
        LeeDct<N / 2, T>::Run(a, even, factors);
        LeeDct<N / 2, T>::Run(b, odd, factors);
        for (int m = 0; m < N / 2 - 1; m++) {
            X[2 * m] = even[m];
            X[2 * m + 1] = odd[m] + odd[m + 1];
        }
        X[N - 2] = even[N / 2 - 1];
        X[N - 1] = odd[N / 2 - 1];
    }
};
template <typename T> struct LeeDct<1, T> {
    static MPA_INLINE void Run(const T* x, T* X, const T*) { X[0] = x[0]; }
};

// Stores the DCT output X[M] of a slot in its history entry in the two
// orders the window reads: a[j] = X[M/2 + j], 0 at M/2, X[3M/2 - j] above;
// b[j] = X[|M/2 - j|].
template <int M> MPA_INLINE void StoreSlot(float* a, const float* X) {
    float* b = a + 32;
    for (int j = 0; j < M / 2; j++) {
        a[j] = X[M / 2 + j];
        a[M / 2 + 1 + j] = X[M - 1 - j];
        b[j] = X[M / 2 - j];
        b[M / 2 + j] = X[j];
    }
    a[M / 2] = 0.0f;
}

} // namespace
