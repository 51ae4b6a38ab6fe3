#pragma once
// Sorting a large folder while it is still being read. Under the system the
// folder loop itself costs a few microseconds per name, so a second thread
// makes the sort keys and sorts each batch of entries as it arrives and
// merges it into the order so far; when the last name is read only the last
// batch is left. The order is the one PanelSortKeyEntries gives: the keys of
// every batch are made with the widths of all entries seen, and are made
// again if a later batch widens them.
#include <stdint.h>

#include "Records.h"

// Entries read before the second thread is worth starting; also the batch
// size handed to it.
inline constexpr uint32_t kSortPipelineBatch = 2048;

struct SortPipeline;

// Starts the thread for a listing sorted by `key` (not kSortNone); null when
// it cannot be started (the caller then sorts afterwards as usual).
SortPipeline* SortPipelineStart(int key, int reverse);

// Hands over `count` packed entries (`size` bytes, copied) that begin at
// `blockOffset` in the listing's entry block. False when the pipeline has
// given up; the caller then sorts afterwards as usual.
bool SortPipelineFeed(SortPipeline* pipeline, const uint8_t* bytes, uint32_t size, uint32_t count,
                      uint32_t blockOffset);

// Waits for the thread and, when it sorted every entry handed over, builds
// the listing's index from its order (".." first when `upDirOffset` is not
// kNoUpDir) and returns true. Frees the pipeline either way; on false the
// listing is left as it was.
inline constexpr uint32_t kNoUpDir = 0xFFFFFFFFu;
bool SortPipelineFinish(SortPipeline* pipeline, DirListing* listing, uint32_t upDirOffset);

// Stops the thread without using its work and frees the pipeline.
void SortPipelineAbandon(SortPipeline* pipeline);
