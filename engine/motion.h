// Motion-compensated field repair of mode 4: for a block with a high comb
// score, a coarse search on the decimated planes, a fine search on one field
// at full resolution, and a copy of the source lines found when the match is
// good enough. DeinterlaceEngine::RepairBlock, SearchCoarse and SearchFine
// (motion.cpp) run it on the window scans of the kernel table.
#pragma once

#include <cstdint>

namespace vantrel {

// Blocks whose comb score exceeds this are repaired.
constexpr uint8_t kRepairScore = 32;

// Starting bests: just above the largest possible cost of each stage, so the
// first candidate always wins.
constexpr uint32_t kCoarseStartBest = 0x200000;
constexpr uint32_t kFineStartBest = 0x800000;

// The range used when the left, upper and upper-left blocks matched with
// vectors whose squared lengths sum below kNeighbourSpread.
constexpr int32_t kNeighbourRange = 4;
constexpr int32_t kNeighbourSpread = 64;

}  // namespace vantrel
