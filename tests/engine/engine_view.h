// What the engine tests look at inside a DeinterlaceEngine: its geometry,
// block tables and working buffers, and the stages of the motion repair.
#pragma once

#include <cstring>

#include "engine/engine.h"
#include "engine/match.h"
#include "engine/planes.h"

namespace vantrel::test {

class EngineView {
 public:
  explicit EngineView(DeinterlaceEngine& engine) : e_(engine) {}

  uint32_t blocks_x() const { return e_.blocks_x; }
  uint32_t blocks_y() const { return e_.blocks_y; }
  uint32_t block_count() const { return e_.block_count; }
  uint32_t chroma_width() const { return e_.chroma_width; }
  uint32_t chroma_height() const { return e_.chroma_height; }
  uint32_t decimated_height() const { return e_.decimated_height; }
  uint32_t coarse_width() const { return e_.coarse_width; }

  BlockOrigin origin(uint32_t b) const { return e_.block_origin[b]; }
  uint32_t offset(uint32_t b) const { return e_.block_offset[b]; }
  BlockOrigin coarse_origin(uint32_t b) const { return e_.coarse_block_origin[b]; }
  uint32_t coarse_offset(uint32_t b) const { return e_.coarse_block_offset[b]; }
  BlockMatch& match(uint32_t b) const { return e_.block_match[b]; }
  uint8_t score(uint32_t b) const { return e_.block_comb_score[b]; }
  const uint8_t* comb_mask() const { return e_.comb_mask.get(); }
  const uint8_t* decimated_src() const { return e_.decimated_src.get(); }
  const uint8_t* decimated_dst() const { return e_.decimated_dst.get(); }
  EngineParams& params() const { return e_.params; }

  // Mode 4 as it stands before the first block: the planes set, both
  // decimated planes built, every record clear.
  void PrepareRepair(const FramePlanes& src, const FramePlanes& dst) const {
    e_.in_ = src;
    e_.out_ = dst;
    const Plane decimated_src{e_.decimated_src.get(), ptrdiff_t(e_.coarse_width)};
    const Plane decimated_dst{e_.decimated_dst.get(), ptrdiff_t(e_.coarse_width)};
    DecimatePlane(e_.Dsp(), decimated_src, src.y, e_.width, e_.height);
    DecimatePlane(e_.Dsp(), decimated_dst, dst.y, e_.width, e_.height);
    std::memset(e_.block_match.get(), 0, e_.block_count * sizeof(BlockMatch));
  }
  void RepairBlock(uint32_t b, int32_t range) const { e_.RepairBlock(b, range); }
  void SearchCoarse(uint32_t b, int32_t rh, int32_t rv) const { e_.SearchCoarse(b, rh, rv); }
  void SearchFine(uint32_t b, int32_t rh, int32_t rv) const { e_.SearchFine(b, rh, rv); }

 private:
  DeinterlaceEngine& e_;
};

}  // namespace vantrel::test
