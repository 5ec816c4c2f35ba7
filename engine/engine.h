// The per-frame deinterlacing engine: geometry, working buffers, mode dispatch.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "engine/dsp.h"
#include "engine/planes.h"

namespace vantrel {

struct EngineParams {
  int32_t mode = 4;
  int32_t search_range = 16;
  int32_t comb_threshold = 48;
  int32_t match_threshold = 8192;
  int32_t pixel_threshold = 257;
  bool use_comb_mask = false;
  bool use_output_reference = true;
};

struct BlockOrigin {
  int32_t x;
  int32_t y;
};

struct BlockMatch {
  uint32_t cost;
  int32_t dx;
  int32_t dy;
};

// Largest frame the engine accepts: all of its offsets are 32-bit, and the
// whole 4:2:0 frame (luma_size * 3 / 2) must fit in them.
constexpr uint64_t kMaxLumaSize = 0xFFFFFFFFull / 3 * 2;

// The size of each of the two chroma planes; none (0 x 0) for a grey frame.
struct ChromaSize {
  uint32_t width = 0;
  uint32_t height = 0;
};
inline ChromaSize Chroma420(uint32_t width, uint32_t height) { return {width / 2, height / 2}; }

// True when (width, height) is a luma plane the engine can be sized for.
bool EngineAcceptsSize(uint64_t width, uint64_t height);
// True as well for the whole frame: chroma planes that its kernels take
// (widths a multiple of 4, heights even, neither larger than the luma's, or
// none) and samples of 8 to kMaxSampleBits bits.
bool EngineAccepts(uint32_t width, uint32_t height, ChromaSize chroma, int bits);

// What the last Process call did, read-only, for a caller that shows it (the
// tool's --map). The pointers are the engine's own buffers: valid until the
// next Init, Release or Process. Coordinates are those of the planes given.
struct FrameFacts {
  int32_t mode = 0;
  uint32_t width = 0;
  uint32_t height = 0;
  // Modes 3 and 4: 0xFF where the detector marked a sample of an even line
  // for rebuilding (rows 4 .. height-4 are read), and whether the frame was
  // combed throughout (its whole field rebuilt; the mask is then partial).
  const uint8_t* comb_mask = nullptr;
  ptrdiff_t comb_mask_pitch = 0;
  bool combed_throughout = false;
  // Mode 4: one entry per 16 x 16 block in raster order.
  uint32_t blocks_x = 0;
  uint32_t blocks_y = 0;
  const uint8_t* block_comb_score = nullptr;
  const BlockMatch* block_match = nullptr;
  uint32_t match_threshold = 0;

  // The motion search ran for block b.
  bool Searched(uint32_t b) const;
  // Its even lines were replaced by the source lines block_match[b] points to.
  bool Repaired(uint32_t b) const;
};

namespace test {
class EngineView;
}

class DeinterlaceEngine {
 public:
  using AllocateFn = void* (*)(size_t bytes);

  DeinterlaceEngine();
  explicit DeinterlaceEngine(const EngineDsp& dsp);
  DeinterlaceEngine(const DeinterlaceEngine&) = delete;
  DeinterlaceEngine& operator=(const DeinterlaceEngine&) = delete;
  ~DeinterlaceEngine();

  // Sizes the engine and allocates every buffer (those of an earlier size
  // are freed first). Returns false (holding nothing) for a size it cannot
  // take or when an allocation fails.
  // Samples of `bits` bits (8 to 16; above 8 in 16 bits, native order):
  // deeper ones are cut to 8 bits for every decision, which the 8-bit
  // kernels take, and every sample written is built at full precision.
  bool Init(uint32_t w, uint32_t h, ChromaSize chroma, int bits = 8);
  bool Init(uint32_t w, uint32_t h) { return Init(w, h, Chroma420(w, h)); }
  void Release();
  // Deinterlaces one frame of the size Init was given into `out`: every byte
  // of out's planes (width x height luma, the chroma planes at their size)
  // is written; any number of frames may follow one Init. Modes 0-3 may run
  // in place (out the same planes as in); mode 4 reads `in` while writing
  // `out`, so they must not overlap. Returns false, having written nothing,
  // when the engine holds no buffers, the mode is not 0-4, or mode 4 is asked
  // to run in place (out.y.data == in.y.data).
  [[nodiscard]] bool Process(const ConstFramePlanes& in, const FramePlanes& out,
                             const EngineParams& params);

  bool Ready() const { return block_offset != nullptr; }
  FrameFacts LastFrameFacts() const;
  // True when the engine holds buffers for frames of w x h with this chroma.
  bool SizedFor(uint32_t w, uint32_t h, ChromaSize chroma, int bits = 8) const {
    return Ready() && width == w && height == h && chroma_width == chroma.width &&
           chroma_height == chroma.height && bits_ == bits;
  }
  const EngineDsp& Dsp() const { return dsp_; }
  // Lets tests make allocations fail on demand.
  void SetAllocator(AllocateFn allocate) { allocate_ = allocate; }
  // Off, the motion search scans every window in full from its starting
  // best, as the tests' reference; on (the default), it skips what cannot
  // change a repaired block.
  void SetSearchShortcuts(bool on) { search_shortcuts_ = on; }

  struct FreeDeleter {
    void operator()(void* p) const;
  };
  template <typename T>
  using Buffer = std::unique_ptr<T[], FreeDeleter>;

 private:
  friend class test::EngineView;

  template <typename T>
  bool Allocate(Buffer<T>& buffer, size_t count);
  void CopyChroma();
  void InterpolateChromaPlanes(bool rebuild_all);
  void BuildLastRow();
  bool DeinterlaceAdaptive();
  void ProcessMotion();
  void SearchBlocks();
  void BuildDeepReference();
  // Deep samples: the same steps, deciding on the frame cut to 8 bits.
  void ProcessDeep(const ConstFramePlanes& in, const FramePlanes& out);
  // motion.cpp
  void RepairBlock(uint32_t b, int32_t search_range);
  void SearchCoarse(uint32_t b, int32_t rh, int32_t rv);
  void SearchFine(uint32_t b, int32_t rh, int32_t rv);
  uint32_t CoarseStart() const;
  uint32_t FineStart() const;

  EngineDsp dsp_;
  AllocateFn allocate_;
  bool search_shortcuts_ = true;
  EngineParams params;
  bool frame_combed_ = false;  // the last frame's verdict, for LastFrameFacts

  // The frame being processed: valid during Process only. For deep
  // samples these are the 8-bit frame the decisions are taken on (the cut
  // source, and the 8-bit filter's own output luma), and deep_in_ and
  // deep_out_ the frame itself.
  ConstFramePlanes in_;
  FramePlanes out_;
  ConstFramePlanes deep_in_;
  FramePlanes deep_out_;
  int bits_ = 8;

  uint32_t blocks_x = 0;
  uint32_t blocks_y = 0;
  uint32_t block_count = 0;
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t luma_size = 0;
  // The chroma planes (0 x 0 for a grey frame).
  uint32_t chroma_width = 0;
  uint32_t chroma_height = 0;
  // The decimated luma planes of the motion search's coarse stage.
  uint32_t coarse_width = 0;
  uint32_t decimated_height = 0;

  Buffer<uint32_t> block_offset;
  Buffer<uint32_t> coarse_block_offset;
  Buffer<BlockOrigin> block_origin;
  Buffer<BlockOrigin> coarse_block_origin;
  Buffer<BlockMatch> block_match;
  Buffer<uint8_t> comb_mask;
  Buffer<uint8_t> block_comb_score;
  Buffer<uint8_t> decimated_src;
  Buffer<uint8_t> decimated_dst;
  // Frozen: the detector reads one row past the luma plane (row `height`),
  // where the classic frame layout had the chroma; every face's bytes, and
  // outputs users have kept, depend on it. It is the first `width` samples
  // of the source's c0 (V, U only for I420), line after line; mid-grey for
  // a frame without chroma.
  Buffer<uint8_t> last_row;
  // The comb detector's strips and their state between bands.
  Buffer<uint8_t> comb_scratch;
  // Deep samples only: the source luma cut to 8 bits and the 8-bit luma
  // the motion search compares against.
  Buffer<uint8_t> cut_luma;
  Buffer<uint8_t> cut_out_luma;
};

}  // namespace vantrel
