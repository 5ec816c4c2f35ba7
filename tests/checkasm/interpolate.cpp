// The interpolation line kernels against their scalar twins: in place and
// into a separate line, every mask style, at random widths and pitches.
#include <cstring>
#include <string>
#include <vector>

#include "checkasm.h"
#include "engine/interpolate.h"

namespace {

using checkasm::Buffer;
using checkasm::Content;
using checkasm::Context;
using vantrel::EngineDsp;
using vantrel::InterpolateKernels;

constexpr int kLines = 7;  // a rebuilt line and three lines either side

// A mask line as the detector leaves it (0x00/0xFF in runs), or, for
// variety, arbitrary bytes: the kernels blend bit by bit.
void FillMask(Context& c, uint8_t* mask, size_t n, int style) {
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

// Chroma samples around the comb test's bar (D >= 18): centres a few steps
// off their neighbours, and neighbours close to each other.
void FillNearCombBar(Context& c, uint8_t* plane, size_t width, ptrdiff_t pitch) {
  for (int y = 0; y < kLines; ++y) {
    for (ptrdiff_t x = 0; x < ptrdiff_t(width); ++x) {
      int32_t v = c.rng().Range(0, 255);
      if (y >= 2) v = plane[(y - 1 - (y & 1)) * pitch + x] + c.rng().Range(-6, 6);
      plane[y * pitch + x] = uint8_t(v < 0 ? 0 : (v > 255 ? 255 : v));
    }
  }
}

// Runs one kernel as call(fn, dst, src, mask, pitch, width) on the middle
// line of kLines, whose last one in memory ends the buffer. Lines are `width`
// wide and `pitch` apart, upside down when it is negative; the bytes between
// them are junk no kernel may touch.
template <typename Fn, typename Call>
void CheckLine(Context& c, Fn fn, Fn ref_fn, size_t align, const Call& call,
               const char* name) {
  size_t width = align * size_t(c.rng().Range(1, 8));
  if (c.rng().Chance(2)) width = align * size_t(c.rng().Range(1, 2000 / int(align)));
  if (c.rng().Chance(8)) width = align == 16 ? 720 : 360;
  const ptrdiff_t step = ptrdiff_t(width) + 8 * c.rng().Range(0, 3);
  const ptrdiff_t pitch = c.rng().Chance(3) ? -step : step;
  const size_t bytes = size_t(step) * (kLines - 1) + width;
  const ptrdiff_t line0 = pitch < 0 ? step * (kLines - 1) : 0;  // offset of line 0
  const int content = c.rng().Range(0, int(Content::kCount));
  Buffer src(bytes), mask(width), want(bytes), got(bytes);
  c.rng().Fill(src.data(), bytes);
  if (content == int(Content::kCount)) {
    FillNearCombBar(c, src.data() + line0, width, pitch);
  } else {
    std::vector<uint8_t> tight(width * kLines);
    checkasm::FillPlane(c.rng(), tight.data(), width, kLines, Content(content));
    for (int y = 0; y < kLines; ++y) {
      std::memcpy(src.data() + line0 + y * pitch, &tight[y * width], width);
    }
  }
  const int mask_style = c.rng().Range(0, 4);
  FillMask(c, mask.data(), width, mask_style);
  const bool in_place = c.rng().Chance(2);
  if (in_place) {
    std::memcpy(want.data(), src.data(), bytes);
  } else {
    c.rng().Fill(want.data(), bytes);
  }
  std::memcpy(got.data(), want.data(), bytes);
  const std::vector<uint8_t> saved(src.data(), src.data() + bytes);
  const ptrdiff_t middle = line0 + pitch * (kLines / 2);
  const uint8_t* from_want = in_place ? want.data() + middle : src.data() + middle;
  const uint8_t* from_got = in_place ? got.data() + middle : src.data() + middle;
  call(ref_fn, want.data() + middle, from_want, mask.data(), pitch, width);
  call(fn, got.data() + middle, from_got, mask.data(), pitch, width);

  const std::string what = std::string(name) + (in_place ? " in place " : " ") +
                           std::to_string(width) + " wide, pitch " + std::to_string(pitch) +
                           ", " + (content == int(Content::kCount)
                                       ? "near the comb bar"
                                       : checkasm::ContentName(Content(content))) +
                           ", mask style " + std::to_string(mask_style);
  c.CheckBytes(what.c_str(), want.data(), got.data(), bytes, 1, bytes);
  c.CheckBytes("source lines", saved.data(), src.data(), bytes, 1, bytes);
  c.CheckGuards("output lines", got);
}

// Whole planes through the frame functions, which drive the line kernels.
void BenchFrames(Context& c, bool luma) {
  if (!c.benchmarking()) return;
  for (const auto& size : {std::pair<uint32_t, uint32_t>{720, 576}, {1920, 1088}}) {
    const uint32_t w = luma ? size.first : size.first / 2, h = luma ? size.second : size.second / 2;
    const size_t n = size_t(w) * h;
    Buffer src0(n), src1(n), dst0(n), dst1(n), mask(n);
    checkasm::FillPlane(c.rng(), src0.data(), w, h, Content::kWoven);
    checkasm::FillPlane(c.rng(), src1.data(), w, h, Content::kWoven);
    FillMask(c, mask.data(), n, 4);
    const std::string dims = std::to_string(size.first) + "x" + std::to_string(size.second);
    const auto plane = [w](Buffer& b) { return vantrel::Plane{b.data(), ptrdiff_t(w)}; };
    for (const bool all : {false, true}) {
      const auto run = [&](const EngineDsp& dsp) {
        if (luma) {
          vantrel::InterpolateLuma(dsp, plane(dst0), plane(src0), plane(mask), w, h, all);
        } else {
          vantrel::InterpolateChroma(dsp, plane(dst0), plane(dst1), plane(src0), plane(src1), w,
                                     h, all);
        }
      };
      const char* kind = all ? " rebuild-all" : luma ? " masked" : " tested";
      c.Bench(std::string(luma ? "InterpolateLuma " : "InterpolateChroma ") + dims + kind,
              [&] { run(c.ref()); }, [&] { run(c.dsp()); });
    }
  }
}

void CheckInterpolate(Context& c) {
  const int rounds = c.Iterations(400);
  if (auto fn = c.Kernel("AverageLine", &EngineDsp::interpolate, &InterpolateKernels::average_line)) {
    const auto call = [](vantrel::AverageLineFn f, uint8_t* dst, const uint8_t* src,
                         const uint8_t*, ptrdiff_t pitch, size_t w) {
      f(dst, src - pitch, src + pitch, w);
    };
    for (int n = 0; n < rounds; ++n) CheckLine(c, fn, c.ref().interpolate.average_line, 16, call, "average");
  }
  if (auto fn = c.Kernel("FourTapLine", &EngineDsp::interpolate, &InterpolateKernels::four_tap_line)) {
    const auto call = [](vantrel::FourTapLineFn f, uint8_t* dst, const uint8_t* src,
                         const uint8_t*, ptrdiff_t pitch, size_t w) { f(dst, src, pitch, w); };
    for (int n = 0; n < rounds; ++n) CheckLine(c, fn, c.ref().interpolate.four_tap_line, 16, call, "four-tap");
  }
  if (auto fn = c.Kernel("MaskedFourTapLine", &EngineDsp::interpolate, &InterpolateKernels::masked_four_tap_line)) {
    const auto call = [](vantrel::MaskedFourTapLineFn f, uint8_t* dst, const uint8_t* src,
                         const uint8_t* mask, ptrdiff_t pitch, size_t w) {
      f(dst, src, mask, pitch, w);
    };
    for (int n = 0; n < rounds; ++n) {
      CheckLine(c, fn, c.ref().interpolate.masked_four_tap_line, 16, call, "masked four-tap");
    }
    BenchFrames(c, true);
  }
  if (auto fn = c.Kernel("ChromaLine", &EngineDsp::interpolate, &InterpolateKernels::chroma_line)) {
    for (const bool all : {false, true}) {
      const auto call = [all](vantrel::ChromaLineFn f, uint8_t* dst, const uint8_t* src,
                              const uint8_t*, ptrdiff_t pitch, size_t w) {
        f(dst, src, pitch, w, all);
      };
      for (int n = 0; n < rounds; ++n) {
        CheckLine(c, fn, c.ref().interpolate.chroma_line, 8, call, all ? "chroma rebuild-all" : "chroma");
      }
    }
    BenchFrames(c, false);
  }
}

checkasm::Group interpolate_group("interpolate", CheckInterpolate);

}  // namespace
