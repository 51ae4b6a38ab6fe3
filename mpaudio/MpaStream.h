// Whole-buffer decoding on top of the engine table: finds the first frame,
// sets the engine up and decodes frame after frame, resynchronising past
// damage. Used by the tools, benchmarks and tests; the player drives the
// engines itself.
#pragma once

#include "MpaDecoder.h"

#include <vector>

struct MpaStreamOptions {
    int engine = 0; // index into MpaEngines
    int reductionCode = 0;
    int conversionCode = 0;
    int frequencyLimit = 48000;
    // Set the engine up with the first two-channel frame among the first
    // few, so that a stream that starts in one channel and switches keeps
    // two output channels throughout.
    bool preferTwoChannels = false;
    // Decode without keeping the PCM (for timing).
    bool discardOutput = false;
    // When set, receives the coded channel count of every decoded frame.
    std::vector<uint8_t>* frameChannels = nullptr;
};

struct MpaStreamResult {
    bool ok = false; // a frame was found and the engine accepted the stream
    MpaStreamInfo info = {};
    long frames = 0;
    long skippedBytes = 0; // bytes passed over while resynchronising
};

// Appends the decoded PCM to `pcm`.
MpaStreamResult MpaDecodeBuffer(const uint8_t* data, size_t size, const MpaStreamOptions& options,
                                std::vector<uint8_t>* pcm);
