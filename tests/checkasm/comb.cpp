// The comb detector's strip kernel against the scalar one on the same strip,
// band after band: the mask rows written, the scores added and the hits
// returned, on planes of any pitch (upside down too) with the last row
// elsewhere.
#include <algorithm>
#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "checkasm.h"
#include "engine/comb.h"

namespace {

using checkasm::Buffer;
using checkasm::Content;
using checkasm::Context;
using vantrel::CombStrip;
using vantrel::EngineDsp;

constexpr uint8_t kBase = 100;

// A luma plane with a pitch of its own (lines longer than the plane, or the
// plane stored upside down) and, apart from it, the row the detector reads
// as row `height`. Each ends its buffer: a read past either hits a guard;
// the bytes between the lines are the buffer's junk.
struct Plane {
  Plane(uint32_t w, uint32_t h, uint32_t pad, bool upside_down)
      : width(w), height(h), step(size_t(w) + pad), bytes(step * (h - 1) + w), last(w) {
    const ptrdiff_t pitch = ptrdiff_t(step);
    view = upside_down ? vantrel::Plane{bytes.data() + pitch * (h - 1), -pitch}
                       : vantrel::Plane{bytes.data(), pitch};
  }
  uint8_t* row(uint32_t r) { return r < height ? view.Line(r) : last.data(); }
  std::string Describe() const {
    return std::to_string(width) + "x" + std::to_string(height) + " pitch " +
           std::to_string(view.pitch);
  }
  uint32_t width, height;
  size_t step;
  Buffer bytes, last;
  vantrel::Plane view;
};

enum Pattern { kRows, kLowContrast, kPatterns };

// Pictures that reach every path: 0/255 rows over part of the frame (V
// saturates), small deviations on the odd lines (sums near any threshold),
// and the harness's contents (the woven picture combs around its object).
void Fill(Context& c, Plane& p, int pattern) {
  const uint32_t rows = p.height + 1;  // the last row continues the picture
  if (pattern >= kPatterns) {
    const Content content = Content((pattern - kPatterns) % int(Content::kCount));
    std::vector<uint8_t> tight(size_t(p.width) * rows);
    checkasm::FillPlane(c.rng(), tight.data(), p.width, rows, content);
    for (uint32_t r = 0; r < rows; ++r) std::memcpy(p.row(r), &tight[size_t(r) * p.width], p.width);
    return;
  }
  const int32_t amplitude = c.rng().Range(1, 60);
  const uint32_t from = uint32_t(c.rng().Range(0, int32_t(p.height))), to = from + 12;
  for (uint32_t r = 0; r < rows; ++r) {
    for (uint32_t x = 0; x < p.width; ++x) {
      const bool odd = r & 1;
      p.row(r)[x] = pattern == kRows ? (r >= from && r < to ? (odd ? 255 : 0) : kBase)
                                     : uint8_t(kBase + (odd ? c.rng().Range(0, amplitude) : 0));
    }
  }
}

// A strip's state between bands, aligned as the driver aligns it.
struct State {
  alignas(64) uint8_t bytes[vantrel::kCombStateBytesPerLane * vantrel::kCombStripMaxLanes];
};

// Runs both kernels on the same strip of `p`, band after band, into masks
// and scores that start as the same junk (a strip writes its own columns of
// the rows it decides, ORs into the two after them and adds to the scores).
void Compare(Context& c, vantrel::CombStripFn fn, Plane& p, uint32_t first,
             uint32_t counted_from, int32_t threshold, const std::string& what) {
  const uint32_t lanes = c.dsp().comb.strip_lanes;
  Buffer want_mask(size_t(p.width) * p.height), got_mask(want_mask.size());
  Buffer want_scores(size_t(p.width / 16) * (p.height / 16)), got_scores(want_scores.size());
  c.rng().Fill(want_mask.data(), want_mask.size());
  c.rng().Fill(want_scores.data(), want_scores.size());
  std::memcpy(got_mask.data(), want_mask.data(), want_mask.size());
  std::memcpy(got_scores.data(), want_scores.data(), want_scores.size());
  uint16_t column_lanes[vantrel::kCombStripMaxColumns * vantrel::kCombStripMaxLanes];
  State want_state, got_state;
  const auto strip = [&](Buffer& mask, Buffer& scores, State& state) {
    return vantrel::CombStripAt(mask.data(), scores.data(), p.view, p.last.data(), p.width,
                                p.height, threshold, lanes, first, counted_from, column_lanes,
                                state.bytes);
  };
  const vantrel::CombStrip want_strip = strip(want_mask, want_scores, want_state);
  const vantrel::CombStrip got_strip = strip(got_mask, got_scores, got_state);
  const std::vector<uint8_t> saved(p.bytes.data(), p.bytes.data() + p.bytes.size());
  const std::vector<uint8_t> saved_last(p.last.data(), p.last.data() + p.width);
  const std::string label = what + " " + p.Describe() + ", strip at lane " +
                            std::to_string(first) + " counted from " +
                            std::to_string(counted_from) + ", threshold " +
                            std::to_string(threshold);
  for (uint32_t band = 0; band < p.height / vantrel::kCombBandRows; ++band) {
    const uint32_t want = c.ref().comb.strip(want_strip, band);
    const uint32_t got = fn(got_strip, band);
    if (want != got) {
      c.Fail("%s, band %u: scalar counts %u hits, simd %u", label.c_str(), band, want, got);
    }
  }
  c.CheckBytes("comb source", saved.data(), p.bytes.data(), saved.size(), 1, saved.size());
  c.CheckBytes("comb last row", saved_last.data(), p.last.data(), p.width, 1, p.width);
  c.CheckGuards("comb_mask", got_mask);
  c.CheckGuards("block_comb_score", got_scores);
  c.CheckBytes((label + ": comb_mask").c_str(), want_mask.data(), got_mask.data(), p.width,
               p.height, p.width);
  c.CheckBytes((label + ": block_comb_score").c_str(), want_scores.data(), got_scores.data(),
               p.width / 16, p.height / 16, p.width / 16);
}

void CheckComb(Context& c) {
  auto fn = c.Kernel("ScanCombStrip", &EngineDsp::comb, &vantrel::CombKernels::strip);
  if (!fn) return;
  const uint32_t lanes = c.dsp().comb.strip_lanes;
  const int patterns = kPatterns + int(Content::kCount);
  for (int n = 0; n < c.Iterations(160); ++n) {
    // Strips start on a group; the last one of a frame ends on its last lane.
    const uint32_t width = 16 * uint32_t(c.rng().Range(int32_t(lanes + 4 + 15) / 16, 50));
    const uint32_t height = 16 * uint32_t(c.rng().Range(1, 8));
    // Lines longer than the plane, and planes stored upside down.
    const uint32_t pad = c.rng().Chance(3) ? 0 : uint32_t(c.rng().Range(1, 40));
    Plane p(width, height, pad, c.rng().Chance(3));
    const uint32_t last = p.width - 4 - lanes;
    const uint32_t first = c.rng().Chance(3) ? last : 4 * uint32_t(c.rng().Range(0, last / 4));
    const uint32_t counted_from = c.rng().Chance(3) ? 4 * uint32_t(c.rng().Range(0, lanes / 4 - 1)) : 0;
    const int pattern = c.rng().Range(0, patterns - 1);
    Fill(c, p, pattern);
    const int32_t threshold = c.rng().Chance(8) ? int32_t(c.rng().Next()) : c.rng().Range(0, 255);
    Compare(c, fn, p, first, counted_from, threshold, "pattern " + std::to_string(pattern));
  }
  // Every threshold from a little below 0 to a little above 255 on low
  // contrast, so that each puts some lane's sum one off the threshold; and
  // the ends of the 16-bit range, next to the saturated 32767 of 0/255 rows.
  Plane p(16 * ((lanes + 8 + 15) / 16), 32, 0, false);
  Fill(c, p, kLowContrast);
  for (int32_t threshold = -4; threshold <= 260; ++threshold) {
    Compare(c, fn, p, 4, 0, threshold, "low contrast");
  }
  Fill(c, p, kRows);
  for (const int32_t threshold : {INT_MIN, -65537, -65536, 65532, 65533, 65534, 65535, INT_MAX}) {
    Compare(c, fn, p, 0, 0, threshold, "0/255 rows");
  }
  if (!c.benchmarking()) return;
  for (const auto& size : {std::pair<uint32_t, uint32_t>{720, 576}, {1920, 1088}}) {
    Plane frame(size.first, size.second, 0, false);
    Buffer mask(size_t(frame.width) * frame.height), scores(mask.size() / 256);
    std::vector<uint8_t> scratch(std::max(vantrel::CombScratchBytes(c.ref(), frame.width),
                                          vantrel::CombScratchBytes(c.dsp(), frame.width)));
    for (const Content content : {Content::kWoven, Content::kRandom}) {
      const int pattern = kPatterns + int(content);
      Fill(c, frame, pattern);
      const auto run = [&](const EngineDsp& dsp) {
        checkasm::sink = uint32_t(vantrel::DetectCombing(dsp, scratch.data(), mask.data(), scores.data(),
                                                         frame.view, frame.last.data(),
                                                         frame.width, frame.height, 48));
      };
      c.Bench("DetectCombing " + std::to_string(frame.width) + "x" +
                  std::to_string(frame.height) + " " + checkasm::ContentName(content),
              [&] { run(c.ref()); }, [&] { run(c.dsp()); });
    }
  }
}

checkasm::Group comb_group("comb", CheckComb);

}  // namespace
