// InterpolateLuma and InterpolateChroma against their scalar twins: in place
// and into separate planes, masked and rebuild-all.
#include <cstring>
#include <string>
#include <vector>

#include "checkasm.h"
#include "engine/x86/dsp_x86.h"

namespace {

using checkasm::Buffer;
using checkasm::Content;
using checkasm::Context;
using vantrel::EngineDsp;

struct Size {
  uint32_t width, height;
};

// Whole sizes first: the smallest plane, a 720 line (a 16-byte luma tail and
// a 360 chroma line with a 16- and an 8-byte tail), and the large frames.
const Size kSizes[] = {{16, 16}, {32, 16}, {48, 32}, {720, 16}, {720, 576}, {1920, 1088}};

Size RandomSize(Context& c) {
  return {16 * uint32_t(c.rng().Range(1, 60)), 16 * uint32_t(c.rng().Range(1, 6))};
}

std::string Describe(const char* what, Size size, Content content, int extra) {
  return std::string(what) + " " + std::to_string(size.width) + "x" +
         std::to_string(size.height) + " " + checkasm::ContentName(content) + " #" +
         std::to_string(extra);
}

// A comb_mask as the detector leaves it (0x00/0xFF on even rows, in runs),
// or, for variety, arbitrary bytes: both kernels blend bit by bit.
void FillMask(Context& c, uint8_t* mask, Size size, int style) {
  const size_t n = size_t(size.width) * size.height;
  switch (style) {
    case 0: std::memset(mask, 0, n); break;
    case 1: std::memset(mask, 0xFF, n); break;
    case 2: c.rng().Fill(mask, n); break;
    case 3:  // a single marked byte in some groups: the rest keeps the source
      std::memset(mask, 0, n);
      for (size_t i = 0; i < n; i += 8) {
        if (c.rng().Chance(3)) mask[i + c.rng().Range(0, 7)] = 0xFF;
      }
      break;
    default:  // runs of marks
      for (size_t i = 0; i < n;) {
        const size_t run = size_t(c.rng().Range(1, 70));
        const uint8_t v = c.rng().Chance(2) ? 0xFF : 0x00;
        for (size_t k = 0; k < run && i < n; ++k) mask[i++] = v;
      }
  }
}

void CheckLumaOnce(Context& c, vantrel::InterpolateLumaFn fn, Size size, Content content,
                   int mask_style, int rebuild_all, bool in_place) {
  const size_t n = size_t(size.width) * size.height;
  Buffer src(n), mask(n), want(n), got(n);
  checkasm::FillPlane(c.rng(), src.data(), size.width, size.height, content);
  FillMask(c, mask.data(), size, mask_style);
  const std::vector<uint8_t> saved_src(src.data(), src.data() + n);
  const std::vector<uint8_t> saved_mask(mask.data(), mask.data() + n);
  if (in_place) {
    std::memcpy(want.data(), src.data(), n);
    std::memcpy(got.data(), src.data(), n);
    c.ref().interpolate_luma(want.data(), want.data(), mask.data(), size.width, size.height,
                             rebuild_all);
    fn(got.data(), got.data(), mask.data(), size.width, size.height, rebuild_all);
  } else {
    c.rng().Fill(want.data(), n);
    std::memcpy(got.data(), want.data(), n);
    c.ref().interpolate_luma(want.data(), src.data(), mask.data(), size.width, size.height,
                             rebuild_all);
    fn(got.data(), src.data(), mask.data(), size.width, size.height, rebuild_all);
  }
  const std::string what =
      Describe(in_place ? "luma in place" : "luma", size, content, mask_style) +
      (rebuild_all ? " rebuild-all" : " masked");
  c.CheckBytes(what.c_str(), want.data(), got.data(), size.width, size.height, size.width);
  c.CheckBytes("luma source", saved_src.data(), src.data(), n, 1, n);
  c.CheckBytes("comb mask", saved_mask.data(), mask.data(), n, 1, n);
  c.CheckGuards("luma output", got);
}

void CheckLuma(Context& c, vantrel::InterpolateLumaFn fn) {
  for (const Size size : kSizes) {
    for (int k = 0; k < int(Content::kCount); ++k) {
      const bool large = size.width * size.height > 720 * 576;
      if (large && k % 3 != 0) continue;  // keep the run short
      CheckLumaOnce(c, fn, size, Content(k), 4, 0, k % 2 == 0);
      CheckLumaOnce(c, fn, size, Content(k), 2, 1, k % 2 != 0);
    }
  }
  for (int n = 0; n < c.Iterations(200); ++n) {
    // Any non-zero rebuild_all counts as set.
    const int rebuild_all = c.rng().Chance(3) ? c.rng().Range(-2, 2) : 0;
    CheckLumaOnce(c, fn, RandomSize(c), Content(c.rng().Range(0, int(Content::kCount) - 1)),
                  n % 5, rebuild_all, c.rng().Chance(2));
  }
  if (!c.benchmarking()) return;
  for (const Size size : {Size{720, 576}, Size{1920, 1088}}) {
    const size_t n = size_t(size.width) * size.height;
    Buffer src(n), dst(n), mask(n);
    checkasm::FillPlane(c.rng(), src.data(), size.width, size.height, Content::kSmooth);
    FillMask(c, mask.data(), size, 4);
    const std::string dims = std::to_string(size.width) + "x" + std::to_string(size.height);
    for (const int rebuild_all : {0, 1}) {
      c.Bench(dims + (rebuild_all ? " rebuild-all" : " masked"),
              [&] {
                c.ref().interpolate_luma(dst.data(), src.data(), mask.data(), size.width,
                                         size.height, rebuild_all);
              },
              [&] {
                fn(dst.data(), src.data(), mask.data(), size.width, size.height, rebuild_all);
              });
    }
  }
}

// Chroma samples around the comb test's bar (D >= 18): centres a few steps
// off their neighbours, and neighbours close to each other.
void FillNearCombBar(Context& c, uint8_t* plane, size_t width, size_t height) {
  for (size_t y = 0; y < height; ++y) {
    for (size_t x = 0; x < width; ++x) {
      int32_t v = c.rng().Range(0, 255);
      if (y >= 2 && (y & 1)) v = plane[(y - 2) * width + x] + c.rng().Range(-4, 4);
      if (y >= 2 && !(y & 1)) v = plane[(y - 1) * width + x] + c.rng().Range(-6, 6);
      plane[y * width + x] = uint8_t(v < 0 ? 0 : (v > 255 ? 255 : v));
    }
  }
}

void CheckChromaOnce(Context& c, vantrel::InterpolateChromaFn fn, Size size, int content,
                     int rebuild_all, bool in_place) {
  const size_t cw = size.width / 2, ch = size.height / 2, n = cw * ch;
  Buffer src0(n), src1(n), want0(n), want1(n), got0(n), got1(n);
  if (content == int(Content::kCount)) {
    FillNearCombBar(c, src0.data(), cw, ch);
    FillNearCombBar(c, src1.data(), cw, ch);
  } else {
    checkasm::FillPlane(c.rng(), src0.data(), cw, ch, Content(content));
    checkasm::FillPlane(c.rng(), src1.data(), cw, ch, Content(content));
  }
  const std::vector<uint8_t> saved0(src0.data(), src0.data() + n);
  const std::vector<uint8_t> saved1(src1.data(), src1.data() + n);
  if (in_place) {
    std::memcpy(want0.data(), src0.data(), n);
    std::memcpy(want1.data(), src1.data(), n);
    std::memcpy(got0.data(), src0.data(), n);
    std::memcpy(got1.data(), src1.data(), n);
    c.ref().interpolate_chroma(want0.data(), want1.data(), want0.data(), want1.data(),
                               uint32_t(cw), uint32_t(ch), rebuild_all);
    fn(got0.data(), got1.data(), got0.data(), got1.data(), uint32_t(cw), uint32_t(ch),
       rebuild_all);
  } else {
    c.rng().Fill(want0.data(), n);
    c.rng().Fill(want1.data(), n);
    std::memcpy(got0.data(), want0.data(), n);
    std::memcpy(got1.data(), want1.data(), n);
    c.ref().interpolate_chroma(want0.data(), want1.data(), src0.data(), src1.data(),
                               uint32_t(cw), uint32_t(ch), rebuild_all);
    fn(got0.data(), got1.data(), src0.data(), src1.data(), uint32_t(cw), uint32_t(ch),
       rebuild_all);
  }
  const char* name =
      content == int(Content::kCount) ? "near the comb bar" : checkasm::ContentName(Content(content));
  const std::string what = std::string(in_place ? "chroma in place " : "chroma ") +
                           std::to_string(cw) + "x" + std::to_string(ch) + " " + name +
                           (rebuild_all ? " rebuild-all" : " tested");
  c.CheckBytes((what + " c0").c_str(), want0.data(), got0.data(), cw, ch, cw);
  c.CheckBytes((what + " c1").c_str(), want1.data(), got1.data(), cw, ch, cw);
  c.CheckBytes("chroma source c0", saved0.data(), src0.data(), n, 1, n);
  c.CheckBytes("chroma source c1", saved1.data(), src1.data(), n, 1, n);
  c.CheckGuards("chroma output c0", got0);
  c.CheckGuards("chroma output c1", got1);
}

void CheckChroma(Context& c, vantrel::InterpolateChromaFn fn) {
  for (const Size size : kSizes) {
    for (int k = 0; k <= int(Content::kCount); ++k) {
      CheckChromaOnce(c, fn, size, k, 0, k % 2 == 0);
      CheckChromaOnce(c, fn, size, k, 1, k % 2 != 0);
    }
  }
  for (int n = 0; n < c.Iterations(200); ++n) {
    const int rebuild_all = c.rng().Chance(3) ? c.rng().Range(-2, 2) : 0;
    CheckChromaOnce(c, fn, RandomSize(c), c.rng().Range(0, int(Content::kCount)), rebuild_all,
                    c.rng().Chance(2));
  }
  if (!c.benchmarking()) return;
  for (const Size size : {Size{720, 576}, Size{1920, 1088}}) {
    const uint32_t cw = size.width / 2, ch = size.height / 2;
    const size_t n = size_t(cw) * ch;
    Buffer src0(n), src1(n), dst0(n), dst1(n);
    checkasm::FillPlane(c.rng(), src0.data(), cw, ch, Content::kSmooth);
    checkasm::FillPlane(c.rng(), src1.data(), cw, ch, Content::kSmooth);
    const std::string dims = std::to_string(size.width) + "x" + std::to_string(size.height);
    for (const int rebuild_all : {0, 1}) {
      c.Bench(dims + (rebuild_all ? " rebuild-all" : " tested"),
              [&] {
                c.ref().interpolate_chroma(dst0.data(), dst1.data(), src0.data(), src1.data(),
                                           cw, ch, rebuild_all);
              },
              [&] {
                fn(dst0.data(), dst1.data(), src0.data(), src1.data(), cw, ch, rebuild_all);
              });
    }
  }
}

void CheckInterpolate(Context& c) {
  if (auto fn = c.Kernel("InterpolateLuma", &EngineDsp::interpolate_luma,
                         vantrel::InterpolateLuma_sse2, vantrel::InterpolateLuma_avx2)) {
    CheckLuma(c, fn);
  }
  if (auto fn = c.Kernel("InterpolateChroma", &EngineDsp::interpolate_chroma,
                         vantrel::InterpolateChroma_sse2, vantrel::InterpolateChroma_avx2)) {
    CheckChroma(c, fn);
  }
}

checkasm::Group interpolate_group("interpolate", CheckInterpolate);

}  // namespace
