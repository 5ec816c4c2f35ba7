// DetectCombing against the scalar scan: the verdict always, and for a frame
// that is not combed every byte of the mask and of the block scores.
#include <algorithm>
#include <climits>
#include <cstring>
#include <numeric>
#include <string>
#include <vector>

#include "checkasm.h"
#include "engine/x86/dsp_x86.h"

namespace {

using checkasm::Buffer;
using checkasm::Content;
using checkasm::Context;
using vantrel::DetectCombingFn;
using vantrel::EngineDsp;

constexpr uint8_t kBase = 100;
constexpr int32_t kDefaultThreshold = 48;

// A luma plane followed by exactly one more readable row, the one the
// detector takes from the first chroma plane: a read past it hits a guard.
struct Plane {
  Plane(uint32_t w, uint32_t h) : width(w), height(h), bytes(size_t(w) * (h + 1)) {}
  uint8_t* row(uint32_t r) { return bytes.data() + size_t(r) * width; }
  void Fill(uint8_t v) { std::memset(bytes.data(), v, bytes.size()); }
  std::string Name() const { return std::to_string(width) + "x" + std::to_string(height); }
  uint32_t width, height;
  Buffer bytes;
};

struct Outcome {
  int32_t combed;
  std::vector<uint8_t> mask;
  std::vector<uint8_t> scores;

  uint32_t Hits() const { return std::accumulate(scores.begin(), scores.end(), 0u); }
  // Any mark besides the preset border (columns width - 4 .. width - 1 are
  // preset on every row but the last, so marks there cannot be told apart).
  bool Marked(uint32_t w) const {
    for (size_t i = 1; i < mask.size(); ++i) {
      if (i % w < w - 4 && mask[i] != 0) return true;
    }
    return false;
  }
};

// Runs one version into guarded outputs that start as junk, so a byte it
// fails to clear or to write shows up.
Outcome Run(Context& c, DetectCombingFn fn, Plane& p, int32_t threshold, const char* side) {
  Buffer mask(size_t(p.width) * p.height), scores(size_t(p.width / 16) * (p.height / 16));
  std::memset(mask.data(), c.rng().Range(1, 254), mask.size());
  std::memset(scores.data(), c.rng().Range(1, 254), scores.size());
  const int32_t combed =
      fn(mask.data(), scores.data(), p.bytes.data(), p.width, p.height, threshold);
  c.CheckGuards((std::string(side) + " comb_mask").c_str(), mask);
  c.CheckGuards((std::string(side) + " block_comb_score").c_str(), scores);
  return {combed, std::vector<uint8_t>(mask.data(), mask.data() + mask.size()),
          std::vector<uint8_t>(scores.data(), scores.data() + scores.size())};
}

Outcome RunScalar(Context& c, Plane& p, int32_t threshold) {
  return Run(c, c.ref().detect_combing, p, threshold, "scalar");
}

// Same verdict; when not combed, the same mask and scores (a combed frame's
// partial buffers are never read); the plane untouched. Returns the
// scalar outcome so a case can make sure it tests what it means to.
Outcome Compare(Context& c, DetectCombingFn fn, Plane& p, int32_t threshold,
                const std::string& what) {
  const std::vector<uint8_t> saved(p.bytes.data(), p.bytes.data() + p.bytes.size());
  Outcome want = RunScalar(c, p, threshold);
  const Outcome got = Run(c, fn, p, threshold, "simd");
  const std::string label = what + " " + p.Name() + " threshold " + std::to_string(threshold);
  if (want.combed != got.combed) {
    c.Fail("%s: scalar returns %d, simd %d", label.c_str(), want.combed, got.combed);
  } else if (!want.combed) {
    c.CheckBytes((label + ": comb_mask").c_str(), want.mask.data(), got.mask.data(), p.width,
                 p.height, p.width);
    c.CheckBytes((label + ": block_comb_score").c_str(), want.scores.data(), got.scores.data(),
                 p.width / 16, p.height / 16, p.width / 16);
  }
  c.CheckBytes((label + ": source").c_str(), saved.data(), p.bytes.data(), saved.size(), 1,
               saved.size());
  return want;
}

// Flags a case whose input no longer exercises what it is there for.
void Expect(Context& c, bool ok, const std::string& what) {
  if (!ok) c.Fail("test input lost its point: %s", what.c_str());
}

void FillAlternation(Plane& p, uint32_t rows, uint8_t even, uint8_t odd) {
  for (uint32_t r = 0; r < rows; ++r) std::memset(p.row(r), r & 1 ? odd : even, p.width);
}

// A still background and an object that moved between the two fields (the
// even lines are a field later): only around the object should anything comb.
void FillMovingObject(Plane& p, uint32_t shift) {
  for (uint32_t r = 0; r <= p.height; ++r) {
    const uint32_t dx = r & 1 ? 0 : shift;
    for (uint32_t x = 0; x < p.width; ++x) {
      const bool object = r > p.height / 3 && r < p.height * 2 / 3 && x >= p.width / 3 + dx &&
                          x < p.width * 2 / 3 + dx;
      const uint32_t texture = object ? 200 - (x - dx) % 23 * 3 : 90 + (x / 8 + r / 8) % 2 * 40;
      p.row(r)[x] = uint8_t(texture);
    }
  }
}

// Small deviations around a flat level on the odd lines: weighted sums of
// many small values, so a sweep of thresholds passes one lane after another.
void FillLowContrast(Context& c, Plane& p, int32_t amplitude) {
  for (uint32_t r = 0; r <= p.height; ++r) {
    for (uint32_t x = 0; x < p.width; ++x) {
      p.row(r)[x] = uint8_t(kBase + (r & 1 ? c.rng().Range(0, amplitude) : 0));
    }
  }
}

enum Pattern { kNoise, kFlat, kRowsDarkFirst, kRowsLightFirst, kObject, kColumns, kSmooth, kEdges };
constexpr int kPatterns = kEdges + 1;
const char* const kPatternNames[] = {"noise",         "flat",          "0/255 rows", "255/0 rows",
                                     "moving object", "0/255 columns", "smooth",     "extremes"};

void FillPattern(Context& c, Plane& p, int pattern) {
  const size_t rows = p.height + 1;  // the chroma row continues the picture
  switch (pattern) {
    case kNoise:
      return checkasm::FillPlane(c.rng(), p.bytes.data(), p.width, rows, Content::kRandom);
    case kFlat:
      return p.Fill(c.rng().Byte());
    case kRowsDarkFirst:
      return FillAlternation(p, p.height + 1, 0, 255);
    case kRowsLightFirst:
      return FillAlternation(p, p.height + 1, 255, 0);
    case kObject:
      return FillMovingObject(p, uint32_t(c.rng().Range(1, 9)));
    case kColumns:
      return checkasm::FillPlane(c.rng(), p.bytes.data(), p.width, rows,
                                 Content::kAlternateColumns);
    case kSmooth:
      return checkasm::FillPlane(c.rng(), p.bytes.data(), p.width, rows, Content::kSmooth);
    default:
      return checkasm::FillPlane(c.rng(), p.bytes.data(), p.width, rows, Content::kExtremes);
  }
}

// Every pattern at the listed sizes and the usual thresholds (the large
// frames only at the ends and the default). 720 leaves a tail after the
// 16-lane strips, 16 wide is narrower than one.
void CheckPatterns(Context& c, DetectCombingFn fn) {
  const uint32_t sizes[][2] = {{16, 16},  {32, 16},   {16, 32},    {48, 48},
                               {720, 32}, {720, 576}, {1920, 1088}};
  const std::vector<int32_t> all = {0, 1, 48, 254, 255}, few = {0, 48, 255};
  for (const auto& size : sizes) {
    Plane p(size[0], size[1]);
    for (int pattern = 0; pattern < kPatterns; ++pattern) {
      for (const int32_t threshold : size[1] >= 576 ? few : all) {
        FillPattern(c, p, pattern);
        const Outcome o = Compare(c, fn, p, threshold, kPatternNames[pattern]);
        if (pattern == kObject && size[0] == 720 && size[1] == 576 && threshold == 48) {
          Expect(c, !o.combed && o.Marked(p.width),
                 "a moving object marks a frame it leaves uncombed");
        }
        if (pattern == kRowsDarkFirst && size[1] == 576)
          Expect(c, o.combed, "0/255 rows comb 720x576");
      }
    }
  }
}

// Thresholds outside 0 .. 255: where the halved threshold leaves the 16-bit
// range, and next to the saturated sum 32767 of 0/255 rows.
void CheckThresholdRange(Context& c, DetectCombingFn fn) {
  const int32_t thresholds[] = {-1,    -2,    -3,    -65535, -65536, -65537, -65538,  INT_MIN,
                                65531, 65532, 65533, 65534,  65535,  65536,  1 << 20, INT_MAX};
  const uint32_t sizes[][2] = {{16, 16}, {48, 48}, {720, 64}};
  for (const auto& size : sizes) {
    Plane p(size[0], size[1]);
    for (const int32_t threshold : thresholds) {
      // A band of 0/255 rows on a flat frame: saturated sums, yet not combed.
      p.Fill(kBase);
      for (uint32_t r = p.height / 4; r < p.height / 4 + 8; ++r) {
        std::memset(p.row(r), r & 1 ? 255 : 0, p.width / 2);
      }
      const Outcome o = Compare(c, fn, p, threshold, "0/255 band");
      if (size[0] == 720 && (threshold == 65533 || threshold == 65534)) {
        Expect(c, o.Marked(p.width) == (threshold == 65533), "32767 passes 32766 but not 32767");
      }
      FillLowContrast(c, p, 24);
      Compare(c, fn, p, threshold, "low contrast");
    }
  }
}

// Every threshold from a little below 0 to a little above 255: each step
// that changes the outcome puts some lane's sum one off the threshold.
void CheckEveryThreshold(Context& c, DetectCombingFn fn) {
  for (const uint32_t width : {64u, 720u}) {
    Plane p(width, 32);
    FillLowContrast(c, p, 14);
    uint32_t last_hits = 0, steps = 0;
    for (int32_t threshold = -4; threshold <= 260; ++threshold) {
      const Outcome o = Compare(c, fn, p, threshold, "low contrast");
      steps += o.Hits() != last_hits;
      last_hits = o.Hits();
    }
    // Each change is a threshold one off some lane's sum.
    Expect(c, steps >= 10, "the sweep passes the sums of many lanes at " + p.Name());
  }
}

void CheckRandomSizes(Context& c, DetectCombingFn fn) {
  for (int n = 0; n < c.Iterations(48); ++n) {
    Plane p(16 * uint32_t(c.rng().Range(1, 80)), 16 * uint32_t(c.rng().Range(1, 20)));
    const int pattern = c.rng().Range(0, kPatterns);
    if (pattern == kPatterns) {
      FillLowContrast(c, p, c.rng().Range(1, 60));
    } else {
      FillPattern(c, p, pattern);
    }
    const int32_t threshold = c.rng().Chance(8) ? int32_t(c.rng().Next()) : c.rng().Range(0, 255);
    Compare(c, fn, p, threshold, pattern == kPatterns ? "low contrast" : kPatternNames[pattern]);
  }
}

// Row `height` comes from the first chroma plane. A faint line on row
// height - 3 flags rows height - 2 .. height; whether the last of these, and
// so the decision marking row height - 4, holds depends on the chroma row.
void CheckChromaRow(Context& c, DetectCombingFn fn) {
  const uint32_t sizes[][2] = {{32, 16}, {48, 32}, {720, 32}};
  for (const auto& size : sizes) {
    Plane p(size[0], size[1]);
    p.Fill(kBase);
    std::memset(p.row(p.height - 3), kBase + 16, p.width);
    const Outcome flat = Compare(c, fn, p, kDefaultThreshold, "faint bottom line, flat chroma row");
    std::memset(p.row(p.height), 0, p.width);
    const Outcome dark = Compare(c, fn, p, kDefaultThreshold, "faint bottom line, dark chroma row");
    Expect(c, flat.Marked(p.width) && !dark.Marked(p.width),
           "the chroma row decides the last marks of " + p.Name());
    c.rng().Fill(p.row(p.height), p.width);
    Compare(c, fn, p, kDefaultThreshold, "faint bottom line, random chroma row");
  }
}

// Smallest hit count that passes the whole-frame limit.
uint32_t FirstCombedCount(uint32_t width, uint32_t height) {
  return 67108864u / (268435456u / (width * height)) + 1;
}

// A line on an odd row, different enough from the flat rows around it:
// `hits` lanes flag on three processed rows and count once (hits >= 3).
void AddLine(Plane& p, uint32_t row, uint32_t hits) { std::memset(p.row(row) + 2, 200, hits - 2); }

// Two samples two columns apart on an odd row, just strong enough that only
// the lane between them flags at the default threshold: one hit.
void AddDot(Plane& p, uint32_t row) {
  p.row(row)[8] = kBase + 15;
  p.row(row)[10] = kBase + 15;
}

// Frames whose hits total one below, and then exactly at, the smallest count
// that makes the frame combed: the order of counting must not matter.
void CheckBarelyCombed(Context& c, DetectCombingFn fn, uint32_t width, uint32_t height) {
  Plane p(width, height);
  p.Fill(kBase);
  AddDot(p, 15);
  const Outcome dot = RunScalar(c, p, kDefaultThreshold);
  Expect(c, !dot.combed && dot.Hits() == 1, "a dot is one hit");

  // 0/255 rows over the top of the frame, as many as stay under the limit.
  const uint32_t limit = FirstCombedCount(width, height);
  const uint32_t per_row = width - 4;  // every lane of a decision row
  uint32_t rows = 2 * (limit / per_row) + 8;
  Outcome bulk;
  do {
    rows -= 2;
    p.Fill(kBase);
    FillAlternation(p, rows, 0, 255);
    bulk = RunScalar(c, p, kDefaultThreshold);
  } while (bulk.combed);

  // Lines and dots further down, 8 rows apart so they count independently,
  // make up the rest.
  uint32_t row = rows + 15;
  uint32_t missing = limit - 1 - bulk.Hits();
  for (; missing > 0 && row + 9 <= height; row += 8) {
    const uint32_t hits = std::min(missing, per_row);
    if (hits >= 3) {
      AddLine(p, row, hits);
    } else {
      AddDot(p, row);
    }
    missing -= hits >= 3 ? hits : 1;
  }
  if (missing != 0 || row + 9 > height) {
    c.Fail("no room for the last hits of %s below the 0/255 rows", p.Name().c_str());
    return;
  }
  const Outcome below = Compare(c, fn, p, kDefaultThreshold, "one hit below the limit");
  Expect(c, !below.combed && below.Hits() == limit - 1, "one hit below the limit");
  AddDot(p, row);
  const Outcome at = Compare(c, fn, p, kDefaultThreshold, "hits at the limit");
  Expect(c, at.combed == 1, "hits at the limit comb the frame");
}

void Bench(Context& c, DetectCombingFn fn) {
  if (!c.benchmarking()) return;
  for (const auto& size : {std::pair<uint32_t, uint32_t>{720, 576}, {1920, 1088}}) {
    Plane p(size.first, size.second);
    Buffer mask(size_t(p.width) * p.height), scores(mask.size() / 256);
    for (const int pattern : {kObject, kNoise}) {
      if (pattern == kObject) {
        FillMovingObject(p, 7);
      } else {
        FillPattern(c, p, kNoise);
      }
      const std::string label = p.Name() + " " + kPatternNames[pattern];
      auto call = [&](DetectCombingFn f) {
        checkasm::sink = uint32_t(
            f(mask.data(), scores.data(), p.bytes.data(), p.width, p.height, kDefaultThreshold));
      };
      c.Bench(
          label, [&] { call(c.ref().detect_combing); }, [&] { call(fn); });
    }
  }
}

void CheckComb(Context& c) {
  if (auto fn = c.Kernel("DetectCombing", &EngineDsp::detect_combing, vantrel::DetectCombing_sse2,
                         vantrel::DetectCombing_avx2)) {
    CheckPatterns(c, fn);
    CheckThresholdRange(c, fn);
    CheckEveryThreshold(c, fn);
    CheckRandomSizes(c, fn);
    CheckChromaRow(c, fn);
    CheckBarelyCombed(c, fn, 128, 128);
    CheckBarelyCombed(c, fn, 720, 576);
    CheckBarelyCombed(c, fn, 1920, 1088);
    Bench(c, fn);
  }
}

checkasm::Group comb_group("comb", CheckComb);

}  // namespace
