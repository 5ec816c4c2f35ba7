// The interpolation line kernels against their scalar twins, over 8-bit and
// 16-bit samples (9 to 16 bits): in place and into a separate line, every
// mask style, at random widths and pitches.
#include <algorithm>
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

// 13 bits is the first depth whose 5 * (b + c) leaves 16-bit lanes.
constexpr int kDepths[] = {9, 10, 12, 13, 16};

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
        if (c.rng().Chance(3)) mask[i + c.rng().Range(0, int(std::min<size_t>(7, n - i - 1)))] = 0xFF;
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
void FillNearCombBar(Context& c, uint8_t* plane, size_t width, size_t height) {
  for (size_t y = 0; y < height; ++y) {
    for (size_t x = 0; x < width; ++x) {
      int32_t v = c.rng().Range(0, 255);
      if (y >= 2) v = plane[(y - 1 - (y & 1)) * width + x] + c.rng().Range(-6, 6);
      plane[y * width + x] = uint8_t(v < 0 ? 0 : (v > 255 ? 255 : v));
    }
  }
}

// A plane's 8-bit content as samples of `bits` bits: x << s and low bits
// that keep 0 and 255 at the ends of the range (0 and max); for `scaled`
// no low bits at all, the 8-bit picture exactly.
void WidenLine(Context& c, uint8_t* out, const uint8_t* line, size_t width, int bits,
               bool scaled) {
  if (bits == 8) {
    std::memcpy(out, line, width);
    return;
  }
  const uint32_t ones = (1u << (bits - 8)) - 1;
  for (size_t x = 0; x < width; ++x) {
    const uint32_t low = line[x] == 0 ? 0 : line[x] == 255 ? ones : scaled ? 0 : c.rng().Next() & ones;
    const uint16_t v = uint16_t(uint32_t(line[x]) << (bits - 8) | low);
    std::memcpy(out + 2 * x, &v, 2);
  }
}

// What a kernel call gets: the middle line of kLines, its 8-bit cut (the
// same picture >> (bits - 8), lines of their own pitch) and a mask line.
struct LineArgs {
  uint8_t* dst;
  const uint8_t* src;  // dst itself in place
  const uint8_t* cut;
  const uint8_t* mask;
  ptrdiff_t pitch, cut_pitch;
  size_t width;
  int bits;
  uint16_t max() const { return uint16_t((1u << bits) - 1); }
};
uint16_t* Words(uint8_t* p) { return reinterpret_cast<uint16_t*>(p); }
const uint16_t* Words(const uint8_t* p) { return reinterpret_cast<const uint16_t*>(p); }

struct LineKind {
  size_t sample_bytes;
  size_t align;              // widths are multiples of it
  bool luma;                 // timed on luma planes, else on chroma ones
  bool in_place = true;      // the output may be the source line
  bool any_samples = false;  // samples may exceed max (the cut saturates)
};

size_t PickWidth(Context& c, size_t align) {
  // Multiples of 4 but not 8 or 16, and of 16 but not 32.
  static const size_t kNamed[] = {4, 12, 180, 364, 360, 720};
  if (c.rng().Chance(6)) {
    const size_t w = kNamed[c.rng().Range(0, 5)];
    if (w % align == 0) return w;
  }
  if (c.rng().Chance(2)) return align * size_t(c.rng().Range(1, 8));
  return align * size_t(c.rng().Range(1, 2000 / int(align)));
}

// Lines `step` bytes apart, upside down (negative pitch) at random; the
// bytes between them are junk no kernel may touch.
struct Lines {
  ptrdiff_t pitch, line0;
  size_t bytes;
  Lines(Context& c, size_t row) {
    const ptrdiff_t step = ptrdiff_t(row) + 8 * c.rng().Range(0, 3);
    pitch = c.rng().Chance(3) ? -step : step;
    bytes = size_t(step) * (kLines - 1) + row;
    line0 = pitch < 0 ? step * (kLines - 1) : 0;
  }
  ptrdiff_t Middle() const { return line0 + pitch * (kLines / 2); }
};

// Runs one kernel as call(fn, args) on identical random lines and compares
// the whole output buffer, the inputs and the guards.
template <typename Fn, typename Call>
void CheckLine(Context& c, Fn fn, Fn ref_fn, const LineKind& kind, const Call& call,
               const char* name) {
  const int bits = kind.sample_bytes == 1 ? 8 : kDepths[c.rng().Range(0, 4)];
  const size_t width = PickWidth(c, kind.align);
  const Lines lines(c, width * kind.sample_bytes), cut_lines(c, width);
  const int content = c.rng().Range(0, int(Content::kCount));
  std::vector<uint8_t> picture(width * kLines);  // the 8-bit picture: the cut
  if (content == int(Content::kCount)) {
    FillNearCombBar(c, picture.data(), width, kLines);
  } else {
    checkasm::FillPlane(c.rng(), picture.data(), width, kLines, Content(content));
  }
  Buffer src(lines.bytes), cut(cut_lines.bytes), mask(width), want(lines.bytes), got(lines.bytes);
  c.rng().Fill(src.data(), lines.bytes);
  c.rng().Fill(cut.data(), cut_lines.bytes);
  const bool scaled = c.rng().Chance(4);
  const bool beyond_max = kind.any_samples && bits > 8 && c.rng().Chance(3);
  for (int y = 0; y < kLines; ++y) {
    uint8_t* line = src.data() + lines.line0 + y * lines.pitch;
    WidenLine(c, line, &picture[y * width], width, bits, scaled);
    if (beyond_max) {
      for (size_t x = 0; x < width; ++x) Words(line)[x] |= uint16_t(c.rng().Next() << bits);
    }
    std::memcpy(cut.data() + cut_lines.line0 + y * cut_lines.pitch, &picture[y * width], width);
  }
  const int mask_style = c.rng().Range(0, 4);
  FillMask(c, mask.data(), width, mask_style);
  const bool in_place = kind.in_place && c.rng().Chance(2);
  if (in_place) {
    std::memcpy(want.data(), src.data(), lines.bytes);
  } else {
    c.rng().Fill(want.data(), lines.bytes);
  }
  std::memcpy(got.data(), want.data(), lines.bytes);
  const std::vector<uint8_t> saved_src(src.data(), src.data() + lines.bytes);
  const std::vector<uint8_t> saved_cut(cut.data(), cut.data() + cut_lines.bytes);
  const std::vector<uint8_t> saved_mask(mask.data(), mask.data() + width);
  const auto args = [&](Buffer& out) {
    uint8_t* dst = out.data() + lines.Middle();
    return LineArgs{dst,  in_place ? dst : src.data() + lines.Middle(),
                    cut.data() + cut_lines.Middle(), mask.data(), lines.pitch, cut_lines.pitch,
                    width, bits};
  };
  call(ref_fn, args(want));
  call(fn, args(got));

  const std::string what =
      std::string(name) + (in_place ? " in place " : " ") + std::to_string(width) + " wide, " +
      std::to_string(bits) + "-bit" + (beyond_max ? " beyond max" : "") + ", pitch " +
      std::to_string(lines.pitch) +
      (bits > 8 ? ", cut pitch " + std::to_string(cut_lines.pitch) : "") + ", " +
      (content == int(Content::kCount) ? "near the comb bar"
                                       : checkasm::ContentName(Content(content))) +
      (scaled && bits > 8 ? " scaled" : "") + ", mask style " + std::to_string(mask_style);
  c.CheckBytes(what.c_str(), want.data(), got.data(), lines.bytes, 1, lines.bytes);
  c.CheckBytes("source lines", saved_src.data(), src.data(), lines.bytes, 1, lines.bytes);
  c.CheckBytes("cut lines", saved_cut.data(), cut.data(), cut_lines.bytes, 1, cut_lines.bytes);
  c.CheckBytes("mask", saved_mask.data(), mask.data(), width, 1, width);
  c.CheckGuards("output lines", got);
}

// A kernel over every rebuilt line 4 .. h - 4 of a woven w x h plane of
// `bits`-bit samples, as a frame driver calls it.
template <typename Fn, typename Call>
void BenchPlane(Context& c, Fn fn, Fn ref_fn, const Call& call, uint32_t w, uint32_t h,
                int bits, const std::string& what) {
  const size_t sample_bytes = bits == 8 ? 1 : 2, n = size_t(w) * h;
  const ptrdiff_t pitch = ptrdiff_t(w * sample_bytes);
  std::vector<uint8_t> picture(n), src(n * sample_bytes), dst(n * sample_bytes), mask(n);
  checkasm::FillPlane(c.rng(), picture.data(), w, h, Content::kWoven);
  for (uint32_t y = 0; y < h; ++y) {
    WidenLine(c, &src[y * pitch], &picture[size_t(y) * w], w, bits, false);
  }
  FillMask(c, mask.data(), n, 4);
  const auto run = [&](Fn f) {
    for (uint32_t y = 4; y + 4 <= h; y += 2) {
      call(f, LineArgs{&dst[y * pitch], &src[y * pitch], &picture[size_t(y) * w],
                       &mask[size_t(y) * w], pitch, ptrdiff_t(w), w, bits});
    }
  };
  c.Bench(std::to_string(w) + "x" + std::to_string(h) + " " + std::to_string(bits) + "-bit" + what,
          [&] { run(ref_fn); }, [&] { run(fn); });
}

// Checks a kernel, then times it on luma (16-aligned) or chroma planes.
template <typename Fn, typename Call>
void CheckKernel(Context& c, Fn fn, Fn ref_fn, const LineKind& kind, const Call& call,
                 const char* name, const std::string& bench_what = "") {
  for (int n = 0; n < c.Iterations(400); ++n) CheckLine(c, fn, ref_fn, kind, call, name);
  if (!c.benchmarking()) return;
  const std::vector<int> depths = kind.sample_bytes == 1 ? std::vector<int>{8}
                                                         : std::vector<int>{10, 16};
  for (const int bits : depths) {
    if (kind.luma) {
      BenchPlane(c, fn, ref_fn, call, 720, 576, bits, bench_what);
      BenchPlane(c, fn, ref_fn, call, 1920, 1088, bits, bench_what);
    } else {  // chroma of 720 x 576: 4:2:0, 4:1:1
      BenchPlane(c, fn, ref_fn, call, 360, 288, bits, bench_what);
      BenchPlane(c, fn, ref_fn, call, 180, 576, bits, bench_what);
    }
  }
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
  const LineKind luma8{1, 16, true}, chroma8{1, 4, false}, luma16{2, 4, true},
      chroma16{2, 4, false}, cut{2, 4, true, false, true};
  const InterpolateKernels& ref = c.ref().interpolate;
  const auto slot = &EngineDsp::interpolate;
  if (auto fn = c.Kernel("AverageLine", slot, &InterpolateKernels::average_line)) {
    CheckKernel(c, fn, ref.average_line, luma8, [](vantrel::AverageLineFn f, const LineArgs& a) {
      f(a.dst, a.src - a.pitch, a.src + a.pitch, a.width);
    }, "average");
  }
  if (auto fn = c.Kernel("FourTapLine", slot, &InterpolateKernels::four_tap_line)) {
    CheckKernel(c, fn, ref.four_tap_line, luma8, [](vantrel::FourTapLineFn f, const LineArgs& a) {
      f(a.dst, a.src, a.pitch, a.width);
    }, "four-tap");
  }
  if (auto fn = c.Kernel("MaskedFourTapLine", slot, &InterpolateKernels::masked_four_tap_line)) {
    CheckKernel(c, fn, ref.masked_four_tap_line, luma8,
                [](vantrel::MaskedFourTapLineFn f, const LineArgs& a) {
                  f(a.dst, a.src, a.mask, a.pitch, a.width);
                }, "masked four-tap");
    BenchFrames(c, true);
  }
  if (auto fn = c.Kernel("ChromaLine", slot, &InterpolateKernels::chroma_line)) {
    for (const bool all : {false, true}) {
      CheckKernel(c, fn, ref.chroma_line, chroma8, [all](vantrel::ChromaLineFn f, const LineArgs& a) {
        f(a.dst, a.src, a.pitch, a.width, all);
      }, all ? "chroma rebuild-all" : "chroma", all ? " rebuild-all" : " tested");
    }
    BenchFrames(c, false);
  }
  if (auto fn = c.Kernel("AverageLine16", slot, &InterpolateKernels::average_line16)) {
    CheckKernel(c, fn, ref.average_line16, luma16, [](vantrel::AverageLine16Fn f, const LineArgs& a) {
      f(Words(a.dst), Words(a.src - a.pitch), Words(a.src + a.pitch), a.width);
    }, "average");
  }
  if (auto fn = c.Kernel("FourTapLine16", slot, &InterpolateKernels::four_tap_line16)) {
    CheckKernel(c, fn, ref.four_tap_line16, luma16, [](vantrel::FourTapLine16Fn f, const LineArgs& a) {
      f(Words(a.dst), Words(a.src), a.pitch, a.width, a.max());
    }, "four-tap");
  }
  if (auto fn = c.Kernel("MaskedFourTapLine16", slot, &InterpolateKernels::masked_four_tap_line16)) {
    CheckKernel(c, fn, ref.masked_four_tap_line16, luma16,
                [](vantrel::MaskedFourTapLine16Fn f, const LineArgs& a) {
                  f(Words(a.dst), Words(a.src), a.mask, a.pitch, a.width, a.max());
                }, "masked four-tap");
  }
  if (auto fn = c.Kernel("ChromaLine16", slot, &InterpolateKernels::chroma_line16)) {
    for (const bool all : {false, true}) {
      CheckKernel(c, fn, ref.chroma_line16, chroma16, [all](vantrel::ChromaLine16Fn f, const LineArgs& a) {
        f(Words(a.dst), Words(a.src), a.pitch, a.cut, a.cut_pitch, a.width, all);
      }, all ? "chroma rebuild-all" : "chroma", all ? " rebuild-all" : " tested");
    }
  }
  if (auto fn = c.Kernel("CutLine", slot, &InterpolateKernels::cut_line)) {
    CheckKernel(c, fn, ref.cut_line, cut, [](vantrel::CutLineFn f, const LineArgs& a) {
      f(a.dst, Words(a.src), a.width, uint32_t(a.bits - 8));
    }, "cut");
  }
}

checkasm::Group interpolate_group("interpolate", CheckInterpolate);

}  // namespace
