#include "engine/engine.h"

#include <algorithm>
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

bool EngineAccepts(uint32_t width, uint32_t height, ChromaSize c, int bits) {
  if (!EngineAcceptsSize(width, height) || bits < 8 || bits > kMaxSampleBits) return false;
  if (c.width == 0 && c.height == 0) return true;
  if (c.width < 4 || c.width % 4 != 0 || c.width > width) return false;
  // The detector's last row takes whole lines of c0 until `width` samples.
  const uint32_t lines_for_last_row = (width + c.width - 1) / c.width;
  return c.height % 2 == 0 && c.height <= height && lines_for_last_row <= c.height;
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

bool DeinterlaceEngine::Init(uint32_t w, uint32_t h, ChromaSize chroma, int bits) {
  Release();
  if (!EngineAccepts(w, h, chroma, bits)) return false;
  bits_ = bits;
  width = w;
  height = h;
  blocks_x = w / 16;
  blocks_y = h / 16;
  block_count = blocks_x * blocks_y;
  luma_size = w * h;
  chroma_width = chroma.width;
  chroma_height = chroma.height;
  coarse_width = w / 2;
  decimated_height = h / 4;

  const bool ok = Allocate(block_offset, block_count) && Allocate(block_origin, block_count) &&
                  Allocate(coarse_block_offset, block_count) &&
                  Allocate(coarse_block_origin, block_count) &&
                  Allocate(block_match, block_count) && Allocate(comb_mask, luma_size) &&
                  Allocate(block_comb_score, block_count) &&
                  Allocate(decimated_src, luma_size / 8) &&
                  Allocate(decimated_dst, luma_size / 8) && Allocate(last_row, width) &&
                  Allocate(comb_scratch, CombScratchBytes(dsp_, width)) &&
                  (bits == 8 ||
                   (Allocate(cut_luma, luma_size) && Allocate(cut_out_luma, luma_size)));
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
    for (uint32_t x = 0; x < coarse_width; x += 8, ++b) {
      coarse_block_origin[b] = {int32_t(x), int32_t(y)};
      coarse_block_offset[b] = x + y * coarse_width;
    }
  }
  return true;
}

void DeinterlaceEngine::Release() {
  block_offset.reset();
  block_origin.reset();
  coarse_block_offset.reset();
  coarse_block_origin.reset();
  block_match.reset();
  comb_mask.reset();
  block_comb_score.reset();
  decimated_src.reset();
  decimated_dst.reset();
  last_row.reset();
  comb_scratch.reset();
  cut_luma.reset();
  cut_out_luma.reset();
}

bool DeinterlaceEngine::Process(const ConstFramePlanes& in, const FramePlanes& out,
                                const EngineParams& new_params) {
  const int32_t mode = new_params.mode;
  if (!Ready() || mode < 0 || mode > 4) return false;
  if (mode == 4 && out.y.data == in.y.data) return false;
  params = new_params;
  in_ = in;
  out_ = out;
  if (bits_ > 8) {
    ProcessDeep(in, out);
    return true;
  }
  switch (mode) {
    case 0:
      CopyPlaneLines(out.y, in.y, width, height);
      CopyChroma();
      break;
    case 1:
      CopyFieldLines(out.y, in.y, width, height);
      CopyChroma();
      break;
    case 2:
      InterpolateLuma(dsp_, out.y, in.y, ConstPlane{comb_mask.get(), ptrdiff_t(width)}, width,
                      height, true);
      InterpolateChromaPlanes(true);
      break;
    case 3:
      DeinterlaceAdaptive();
      break;
    default:
      ProcessMotion();
      break;
  }
  return true;
}

void DeinterlaceEngine::CopyChroma() {
  if (chroma_width == 0) return;
  CopyPlaneLines(out_.c0, in_.c0, chroma_width, chroma_height);
  CopyPlaneLines(out_.c1, in_.c1, chroma_width, chroma_height);
}

void DeinterlaceEngine::InterpolateChromaPlanes(bool rebuild_all) {
  if (chroma_width == 0) return;
  InterpolateChroma(dsp_, out_.c0, out_.c1, in_.c0, in_.c1, chroma_width, chroma_height,
                    rebuild_all);
}

// Mid-grey: the row a frame with neutral chroma would give (at any depth,
// cut to 8 bits).
constexpr uint8_t kNeutralChroma = 128;

void DeinterlaceEngine::BuildLastRow() {
  if (chroma_width == 0) {
    std::memset(last_row.get(), kNeutralChroma, width);
    return;
  }
  const ConstPlane c0 = bits_ > 8 ? deep_in_.c0 : in_.c0;
  for (uint32_t x = 0, line = 0; x < width; x += chroma_width, ++line) {
    const uint32_t n = std::min(chroma_width, width - x);
    if (bits_ > 8) {
      dsp_.interpolate.cut_line(last_row.get() + x,
                                reinterpret_cast<const uint16_t*>(c0.Line(line)), n,
                                uint32_t(bits_ - 8));
    } else {
      std::memcpy(last_row.get() + x, c0.Line(line), n);
    }
  }
}

bool DeinterlaceEngine::DeinterlaceAdaptive() {
  BuildLastRow();
  const bool frame_combed =
      DetectCombing(dsp_, comb_scratch.get(), comb_mask.get(), block_comb_score.get(), in_.y,
                    last_row.get(), width, height, params.comb_threshold);
  frame_combed_ = frame_combed;
  const ConstPlane mask{comb_mask.get(), ptrdiff_t(width)};
  InterpolateLuma(dsp_, out_.y, in_.y, mask, width, height, frame_combed);
  InterpolateChromaPlanes(frame_combed);
  return frame_combed;
}

void DeinterlaceEngine::ProcessMotion() {
  const bool frame_combed = DeinterlaceAdaptive();
  std::memset(block_match.get(), 0, size_t(block_count) * sizeof(BlockMatch));
  // A frame combed throughout searches no block: nothing reads the
  // decimated planes then.
  if (!frame_combed) SearchBlocks();
}

void DeinterlaceEngine::SearchBlocks() {
  const ptrdiff_t decimated_pitch = coarse_width;
  DecimatePlane(dsp_, {decimated_src.get(), decimated_pitch}, in_.y, width, height);
  if (bits_ > 8) {
    BuildDeepReference();
  } else {
    DecimatePlane(dsp_, {decimated_dst.get(), decimated_pitch}, out_.y, width, height);
  }
  for (uint32_t b = 0; b < block_count; ++b) {
    if (block_comb_score[b] > kRepairScore) RepairBlock(b, params.search_range);
  }
}

// A block's search reads the output only inside the block: its even lines
// and their decimated counterpart. For deep samples the 8-bit filter's own
// output is made there alone, line by line as InterpolateLuma makes it.
void DeinterlaceEngine::BuildDeepReference() {
  const InterpolateKernels& k = dsp_.interpolate;
  const ConstPlane src = in_.y;
  const ConstPlane mask{comb_mask.get(), ptrdiff_t(width)};
  for (uint32_t b = 0; b < block_count; ++b) {
    if (block_comb_score[b] <= kRepairScore) continue;
    const uint32_t x = uint32_t(block_origin[b].x), y0 = uint32_t(block_origin[b].y);
    for (uint32_t y = y0; y < y0 + 16; y += 2) {
      uint8_t* to = out_.y.Line(y) + x;
      if (y == 0) {
        std::memcpy(to, src.Line(1) + x, 16);
      } else if (y == 2 || y == height - 2) {
        k.average_line(to, src.Line(y - 1) + x, src.Line(y + 1) + x, 16);
      } else {
        k.masked_four_tap_line(to, src.Line(y) + x, mask.Line(y) + x, src.pitch, 16);
      }
    }
    for (uint32_t r = 0; r < 4; ++r) {
      dsp_.match.decimate_line(decimated_dst.get() + coarse_block_offset[b] + r * coarse_width,
                               out_.y.Line(y0 + 4 * r) + x, 8);
    }
  }
}

// Modes 0 to 2 decide nothing; modes 3 and 4 detect and search on the
// source cut to 8 bits, as the 8-bit filter would on such a clip, and build
// every sample they write from the deep source.
void DeinterlaceEngine::ProcessDeep(const ConstFramePlanes& in, const FramePlanes& out) {
  deep_in_ = in;
  deep_out_ = out;
  in_ = {};
  const Deep deep{uint16_t((1u << bits_) - 1), uint32_t(bits_ - 8)};
  const uint32_t luma_bytes = 2 * width, chroma_bytes = 2 * chroma_width;
  const int32_t mode = params.mode;
  if (mode < 2) {
    if (mode == 0) {
      CopyPlaneLines(out.y, in.y, luma_bytes, height);
    } else {
      CopyFieldLines(out.y, in.y, luma_bytes, height);
    }
    if (chroma_width != 0) {
      CopyPlaneLines(out.c0, in.c0, chroma_bytes, chroma_height);
      CopyPlaneLines(out.c1, in.c1, chroma_bytes, chroma_height);
    }
    deep_in_ = {};
    deep_out_ = {};
    return;
  }
  const ConstPlane mask{comb_mask.get(), ptrdiff_t(width)};
  bool combed = true;
  if (mode >= 3) {
    // The luma is cut band by band as the detector scans it, while the
    // rows are fresh in the cache, and only as far as it scans.
    struct Cut {
      const EngineDsp& dsp;
      Plane to;
      ConstPlane from;
      uint32_t width, shift, done;
    } cut{dsp_, {cut_luma.get(), ptrdiff_t(width)}, in.y, width, uint32_t(bits_ - 8), 0};
    const RowsReady ready{[](void* context, uint32_t rows) {
                            Cut& c = *static_cast<Cut*>(context);
                            if (rows <= c.done) return;
                            CutPlane(c.dsp, {c.to.Line(c.done), c.to.pitch},
                                     {c.from.Line(c.done), c.from.pitch}, c.width, rows - c.done,
                                     c.shift);
                            c.done = rows;
                          },
                          &cut};
    in_.y = cut.to;
    BuildLastRow();
    combed = DetectCombing(dsp_, comb_scratch.get(), comb_mask.get(), block_comb_score.get(),
                           in_.y, last_row.get(), width, height, params.comb_threshold, &ready);
    frame_combed_ = combed;
  }
  InterpolateLuma(dsp_, deep, out.y, in.y, mask, width, height, combed);
  if (chroma_width != 0) {
    InterpolateChroma(dsp_, deep, out.c0, out.c1, in.c0, in.c1, chroma_width, chroma_height,
                      combed);
  }
  if (mode == 4) {
    std::memset(block_match.get(), 0, size_t(block_count) * sizeof(BlockMatch));
    if (!combed) {
      // The search compares candidates with the 8-bit filter's own lines.
      out_ = {};
      out_.y = {cut_out_luma.get(), ptrdiff_t(width)};
      SearchBlocks();
    }
  }
  deep_in_ = {};
  deep_out_ = {};
}

bool FrameFacts::Searched(uint32_t b) const {
  return block_match && !combed_throughout && block_comb_score[b] > kRepairScore;
}

bool FrameFacts::Repaired(uint32_t b) const {
  return Searched(b) && block_match[b].cost < match_threshold;
}

FrameFacts DeinterlaceEngine::LastFrameFacts() const {
  FrameFacts f;
  f.mode = params.mode;
  f.width = width;
  f.height = height;
  if (!Ready() || params.mode < 3) return f;
  f.comb_mask = comb_mask.get();
  f.comb_mask_pitch = ptrdiff_t(width);
  f.combed_throughout = frame_combed_;
  if (params.mode != 4) return f;
  f.blocks_x = blocks_x;
  f.blocks_y = blocks_y;
  f.block_comb_score = block_comb_score.get();
  f.block_match = block_match.get();
  f.match_threshold = uint32_t(params.match_threshold);
  return f;
}

}  // namespace vantrel
