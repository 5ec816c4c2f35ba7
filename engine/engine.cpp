#include "engine/engine.h"

#include <cstdlib>
#include <cstring>

#include "engine/comb.h"
#include "engine/interpolate.h"
#include "engine/match.h"
#include "engine/motion.h"

namespace vantrel {

bool EngineAcceptsSize(uint64_t width, uint64_t height) {
  return width >= 16 && height >= 16 && width % 16 == 0 && height % 16 == 0 &&
         width * height <= kMaxLumaSize;
}

void DeinterlaceEngine::FreeDeleter::operator()(void* p) const { std::free(p); }

DeinterlaceEngine::DeinterlaceEngine() : DeinterlaceEngine(DefaultEngineDsp()) {}

DeinterlaceEngine::DeinterlaceEngine(const EngineDsp& dsp) : dsp_(dsp), allocate_(std::malloc) {}

DeinterlaceEngine::~DeinterlaceEngine() { Release(); }

template <typename T>
bool DeinterlaceEngine::Allocate(Buffer<T>& buffer, size_t count) {
  buffer.reset(static_cast<T*>(allocate_(count * sizeof(T))));
  return buffer != nullptr;
}

bool DeinterlaceEngine::Init(uint32_t w, uint32_t h) {
  Release();
  if (!EngineAcceptsSize(w, h)) return false;
  width = w;
  height = h;
  blocks_x = w / 16;
  blocks_y = h / 16;
  block_count = blocks_x * blocks_y;
  luma_size = w * h;
  chroma_width = w / 2;
  decimated_height = h / 4;
  chroma_height = h / 2;
  chroma_size = chroma_width * chroma_height;

  const bool ok = Allocate(block_offset, block_count) && Allocate(block_origin, block_count) &&
                  Allocate(chroma_block_offset, block_count) &&
                  Allocate(chroma_block_origin, block_count) &&
                  Allocate(block_match, block_count) && Allocate(comb_mask, luma_size) &&
                  Allocate(block_comb_score, block_count) &&
                  Allocate(decimated_src, luma_size / 8) &&
                  Allocate(decimated_dst, luma_size / 8);
  if (!ok) {
    Release();
    return false;
  }
  uint32_t b = 0;
  for (uint32_t y = 0; y < height; y += 16) {
    for (uint32_t x = 0; x < width; x += 16, ++b) {
      block_origin[b] = {int32_t(x), int32_t(y)};
      block_offset[b] = y * width + x;
    }
  }
  b = 0;
  for (uint32_t y = 0; y < decimated_height; y += 4) {
    for (uint32_t x = 0; x < chroma_width; x += 8, ++b) {
      chroma_block_origin[b] = {int32_t(x), int32_t(y)};
      chroma_block_offset[b] = x + y * chroma_width;
    }
  }
  return true;
}

void DeinterlaceEngine::Release() {
  block_offset.reset();
  block_origin.reset();
  chroma_block_offset.reset();
  chroma_block_origin.reset();
  block_match.reset();
  comb_mask.reset();
  block_comb_score.reset();
  decimated_src.reset();
  decimated_dst.reset();
}

void DeinterlaceEngine::SetPlanes(uint8_t* src, uint8_t* dst) {
  src_y = src;
  src_c0 = src + luma_size;
  src_c1 = src + luma_size + chroma_size;
  dst_y = dst;
  dst_c0 = dst + luma_size;
  dst_c1 = dst + luma_size + chroma_size;
}

uint8_t* DeinterlaceEngine::Process(uint8_t* src, uint8_t* out, const EngineParams* new_params) {
  if (!Ready()) return nullptr;
  if (new_params) params = *new_params;
  switch (params.mode) {
    case 0:
      return src;
    case 1:
      CopyFieldLines(src, width, height);
      return src;
    case 2:
      SetPlanes(src, src);
      InterpolateLuma(dsp_, dst_y, src_y, comb_mask.get(), width, height, 1);
      InterpolateChroma(dsp_, dst_c0, dst_c1, src_c0, src_c1, chroma_width, chroma_height, 1);
      return src;
    case 3:
      SetPlanes(src, src);
      DeinterlaceAdaptive();
      return src;
    case 4:
      SetPlanes(src, out);
      ProcessMotion();
      return out;
    default:
      return nullptr;
  }
}

// The comb detector reads the source a column strip at a time, which the
// processor does not fetch ahead; a frame that another thread has just
// written (the host's reader) then arrives a cache line at a time, at twice
// the detector's own cost. Reading one byte of every line in memory order
// first brings it in at full speed (prefetch hints alone are dropped once
// too many are in flight).
static void FetchFrame(const uint8_t* frame, size_t bytes) {
  uint8_t any = 0;
  for (size_t i = 0; i < bytes; i += 64) any |= frame[i];
  __asm__ volatile("" : : "r"(any));  // the reads are the point: keep them
}

bool DeinterlaceEngine::DeinterlaceAdaptive() {
  FetchFrame(src_y, size_t(luma_size) + 2 * size_t(chroma_size));
  const bool frame_combed = DetectCombing(dsp_, comb_mask.get(), block_comb_score.get(), src_y,
                                          width, height, params.comb_threshold) != 0;
  InterpolateLuma(dsp_, dst_y, src_y, comb_mask.get(), width, height, frame_combed);
  InterpolateChroma(dsp_, dst_c0, dst_c1, src_c0, src_c1, chroma_width, chroma_height,
                    frame_combed);
  return frame_combed;
}

void DeinterlaceEngine::ProcessMotion() {
  const bool frame_combed = DeinterlaceAdaptive();
  std::memset(block_match.get(), 0, size_t(block_count) * sizeof(BlockMatch));
  // A frame combed throughout searches no block: nothing reads the
  // decimated planes then.
  if (frame_combed) return;
  DecimatePlane(dsp_, decimated_src.get(), src_y, width, height);
  DecimatePlane(dsp_, decimated_dst.get(), dst_y, width, height);
  for (uint32_t b = 0; b < block_count; ++b) {
    if (block_comb_score[b] > kRepairScore) RepairBlock(b, params.search_range);
  }
}

}  // namespace vantrel
