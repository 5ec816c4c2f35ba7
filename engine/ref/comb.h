// Scalar reference of the comb detector: the strip kernel the table starts
// with (engine/dsp.cpp), the per-lane arithmetic, and the scan of a whole
// frame group by group in the order the detector is defined in, against
// which the tests hold the strip driver (engine/comb.h).
#pragma once

#include <cstdint>

#include "engine/dsp.h"

namespace vantrel {

// Indexed by a lane's 5-bit flag history (bit 0 = newest processed row).
extern const uint8_t comb_decision_table[32];

// Strip kernel, one band at a time: for each decision row r of the band
// writes columns 0 .. lanes - 1 of mask rows r - 4 (the marks) and r - 3
// (zeros), ORs the marks that spill into columns lanes and lanes + 1 of row
// r - 4, and adds its counted hits to the scores (modulo 256); returns the
// hits it counted. Reads the band's rows (band 0: from row 4) of columns
// 0 .. lanes + 1 at src, or of last_row for row `height`. A driver that
// runs strips side by side within a band takes them right to left, so that
// each strip's spill lands on bytes its right neighbour has written.
uint32_t ScanCombStrip(const CombStrip& strip, uint32_t band);

// Pieces of the per-lane arithmetic, shared with the tests.
inline int32_t CombSmooth(uint8_t left, uint8_t right) { return (left + right) >> 2; }
int16_t CombMetric(int32_t above2, int32_t above1, int32_t current);

// The whole frame group by group, left to right, each from row 4 down, with
// the whole-frame limit tested after every decision row: true (combed) as
// soon as it passes. src_y is a contiguous plane (pitch width) followed by
// the `width` bytes read as row `height`, as in the classic frame layout.
bool DetectCombingByGroups(uint8_t* comb_mask, uint8_t* block_comb_score, const uint8_t* src_y,
                           uint32_t width, uint32_t height, int32_t comb_threshold);

}  // namespace vantrel
