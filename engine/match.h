// Block-matching primitives of the motion search: decimation and
// sum-of-squared-difference costs that stop once a candidate cannot win.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vantrel {

// dst (width/2 x height/4, pitch width/2) takes src sample (4r, 2c). Reads
// src lines 0, 4, .. height-4 only.
void DecimatePlane(uint8_t* dst, const uint8_t* src, uint32_t width, uint32_t height);

// SSD of an 8 x 4 block; after each line returns the running sum once it
// reaches `best` (signed compare). Reads 4 lines of 8 bytes from each block.
uint32_t BlockCostCoarse(const uint8_t* candidate, const uint8_t* reference, int32_t best,
                         ptrdiff_t stride);

// The same for a 16 x 8 block (8 lines of 16 bytes).
uint32_t BlockCost(const uint8_t* candidate, const uint8_t* reference, int32_t best,
                   ptrdiff_t stride);

}  // namespace vantrel
