// The interpolation line kernels against their scalar twins, over 8-bit and
// 16-bit samples (9 to 16 bits): in place and into a separate line, every
// mask style, at random widths and pitches.
#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "checkasm.h"
#include "engine/interpolate.h"

namespace {

using checkasm::Buffer;
using checkasm::Content;
using checkasm::ContentName;
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
        if (c.rng().Chance(3)) mask[std::min<size_t>(n - 1, i + c.rng().Range(0, 7))] = 0xFF;
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

// What a kernel call gets: the middle line of kLines `bits`-bit samples, its
// 8-bit cut (the same picture >> (bits - 8), in lines of their own pitch)
// and a mask line.
struct LineArgs {
  uint8_t* dst;
  const uint8_t* src;  // dst itself in place
  const uint8_t* cut;
  const uint8_t* mask;
  ptrdiff_t pitch, cut_pitch;
  size_t width;
  int bits;
  bool rebuild_all;
  uint16_t max() const { return uint16_t((1u << bits) - 1); }
};
uint16_t* Words(uint8_t* p) { return reinterpret_cast<uint16_t*>(p); }
const uint16_t* Words(const uint8_t* p) { return reinterpret_cast<const uint16_t*>(p); }

struct LineKind {
  int sample_bytes, align;  // widths are multiples of align
  bool luma;                // else chroma, which is checked twice as often
  bool in_place = true;     // the output may be the source line
};

// An 8-bit line as `bits`-bit samples: x << s exactly when `scaled`, else
// with random low bits, 0 and 255 staying the ends of the range.
void WidenLine(Context& c, uint8_t* out, const uint8_t* line, size_t width, int bits,
               bool scaled) {
  for (size_t x = 0; x < width; ++x) {
    const uint32_t ones = (1u << (bits - 8)) - 1, low = c.rng().Next() & ones;
    const uint32_t v = uint32_t(line[x]) << (bits - 8) |
                       (scaled || line[x] == 0 ? 0 : line[x] == 255 ? ones : low);
    if (bits == 8) out[x] = line[x];
    else std::memcpy(out + 2 * x, &v, 2);  // little-endian, as the engine runs
  }
}

// kLines lines of `row` bytes, a random `step` apart, upside down at random;
// the bytes between them are junk no kernel may touch.
struct Lines {
  ptrdiff_t pitch, line0;
  size_t bytes;
  Lines(Context& c, size_t row) {
    const ptrdiff_t step = ptrdiff_t(row) + 8 * c.rng().Range(0, 3);
    pitch = c.rng().Chance(3) ? -step : step;
    bytes = size_t(step) * (kLines - 1) + row;
    line0 = pitch < 0 ? step * (kLines - 1) : 0;
  }
  ptrdiff_t Line(int y) const { return line0 + y * pitch; }
};

// The 8-bit kernel a 16-bit one must agree with, run on the cut lines.
using EightBitTwin = std::function<void(const LineArgs&)>;

// Runs a kernel as call(fn, args) and its scalar twin on identical random
// lines; compares their outputs, inputs and guards.
template <typename Fn, typename Call>
void CheckLine(Context& c, Fn fn, Fn ref_fn, const LineKind& kind, const Call& call,
               const char* name, const EightBitTwin& eight_bit) {
  // Multiples of 4 but not 8 or 16, of 8 but not 16, of 16 but not 32.
  static const size_t kNamed[] = {4, 12, 180, 364, 360, 720};
  const size_t named = kNamed[c.rng().Range(0, 5)];
  size_t width = kind.align * size_t(c.rng().Range(1, c.rng().Chance(2) ? 8 : 2000 / kind.align));
  if (c.rng().Chance(6) && named % kind.align == 0) width = named;
  const int bits = kind.sample_bytes == 1 ? 8 : kDepths[c.rng().Range(0, 4)];
  const Lines lines(c, width * kind.sample_bytes), cut_lines(c, width);
  const int content = c.rng().Range(0, int(Content::kCount));
  std::vector<uint8_t> picture(width * kLines);  // the 8-bit picture: the cut
  if (content == int(Content::kCount)) FillNearCombBar(c, picture.data(), width, kLines);
  else checkasm::FillPlane(c.rng(), picture.data(), width, kLines, Content(content));
  Buffer src(lines.bytes), cut(cut_lines.bytes), mask(width), want(lines.bytes), got(lines.bytes);
  c.rng().Fill(src.data(), lines.bytes);
  c.rng().Fill(cut.data(), cut_lines.bytes);
  const bool scaled = c.rng().Chance(4);
  for (int y = 0; y < kLines; ++y) {
    WidenLine(c, src.data() + lines.Line(y), &picture[y * width], width, bits, scaled);
    std::memcpy(cut.data() + cut_lines.Line(y), &picture[y * width], width);
  }
  const int mask_style = c.rng().Range(0, 4);
  FillMask(c, mask.data(), width, mask_style);
  const bool in_place = kind.in_place && c.rng().Chance(2);
  if (in_place) std::memcpy(want.data(), src.data(), lines.bytes);
  else c.rng().Fill(want.data(), lines.bytes);
  std::memcpy(got.data(), want.data(), lines.bytes);
  const Buffer* inputs[] = {&src, &cut, &mask};
  std::vector<std::vector<uint8_t>> saved;
  for (const Buffer* b : inputs) saved.emplace_back(b->data(), b->data() + b->size());
  const bool all = c.rng().Chance(2);
  const auto args = [&](Buffer& out) {
    uint8_t* dst = out.data() + lines.Line(kLines / 2);
    return LineArgs{dst, in_place ? dst : src.data() + lines.Line(kLines / 2),
                    cut.data() + cut_lines.Line(kLines / 2), mask.data(), lines.pitch,
                    cut_lines.pitch, width, bits, all};
  };
  call(ref_fn, args(want));
  call(fn, args(got));

  const std::string what =
      std::string(name) + (in_place ? " in place " : " ") + std::to_string(width) + " wide, " +
      std::to_string(bits) + "-bit, pitches " + std::to_string(lines.pitch) + " and " +
      std::to_string(cut_lines.pitch) + ", " +
      (content == int(Content::kCount) ? "near the comb bar" : ContentName(Content(content))) +
      (scaled ? " scaled" : "") + ", mask style " + std::to_string(mask_style) +
      (all ? ", rebuild-all" : "");
  c.CheckBytes(what.c_str(), want.data(), got.data(), lines.bytes, 1, lines.bytes);
  for (size_t i = 0; i < 3; ++i)
    c.CheckBytes("an input", saved[i].data(), inputs[i]->data(), saved[i].size(), 1, 0);
  c.CheckGuards("output lines", got);
  // Samples x * 2^s: their top 8 bits are the 8-bit result on x, where
  // the masks are 0x00/0xFF and the 8-bit luma kernels' groups whole.
  if (eight_bit && scaled && mask_style != 2 && (width % 8 == 0 || !kind.luma)) {
    std::vector<uint8_t> eight(width), top(width);
    const uint8_t* cut_line = cut.data() + cut_lines.Line(kLines / 2);
    eight_bit(LineArgs{eight.data(), cut_line, cut_line, mask.data(), cut_lines.pitch,
                       cut_lines.pitch, width, 8, all});
    const uint16_t* words = Words(got.data() + lines.Line(kLines / 2));
    for (size_t x = 0; x < width; ++x) top[x] = uint8_t(words[x] >> (bits - 8));
    c.CheckBytes((what + ", top 8 bits").c_str(), eight.data(), top.data(), width, 1, 0);
  }
}

// Whole planes through the frame drivers, which run the line kernels as a
// frame does: 720 x 576 and 1920 x 1088, 8-bit, or 10- and 16-bit samples.
void BenchFrames(Context& c, bool luma, bool deep) {
  if (!c.benchmarking()) return;
  for (const int bits : deep ? std::vector<int>{10, 16} : std::vector<int>{8}) {
    for (const auto& size : {std::pair<uint32_t, uint32_t>{720, 576}, {1920, 1088}}) {
      const uint32_t w = size.first >> !luma, h = size.second >> !luma;
      const size_t n = size_t(w) * h, row = w * (deep ? 2 : 1);
      Buffer src0(2 * n), src1(2 * n), dst0(2 * n), dst1(2 * n), cut0(n), cut1(n), mask(n);
      // The 8-bit pictures, widened; cut0 then takes CutPlane's result.
      checkasm::FillPlane(c.rng(), cut0.data(), w, h, Content::kWoven);
      checkasm::FillPlane(c.rng(), cut1.data(), w, h, Content::kWoven);
      WidenLine(c, src0.data(), cut0.data(), n, bits, true);
      WidenLine(c, src1.data(), cut1.data(), n, bits, true);
      FillMask(c, mask.data(), n, 4);
      const auto plane = [](Buffer& b, size_t pitch) {
        return vantrel::Plane{b.data(), ptrdiff_t(pitch)};
      };
      const vantrel::Plane d0 = plane(dst0, row), d1 = plane(dst1, row), s0 = plane(src0, row),
                           s1 = plane(src1, row), c0 = plane(cut0, w), m = plane(mask, w);
      const vantrel::Deep deep_samples{uint16_t((1u << bits) - 1), uint32_t(bits - 8)};
      const std::string dims = " " + std::to_string(size.first) + "x" +
                               std::to_string(size.second) +
                               (deep ? " " + std::to_string(bits) + "-bit" : "");
      for (const bool all : {false, true}) {
        const auto run = [&](const EngineDsp& dsp) {
          using namespace vantrel;
          if (luma && deep) InterpolateLuma(dsp, deep_samples, d0, s0, m, w, h, all);
          else if (luma) InterpolateLuma(dsp, d0, s0, m, w, h, all);
          else if (deep) InterpolateChroma(dsp, deep_samples, d0, d1, s0, s1, w, h, all);
          else InterpolateChroma(dsp, d0, d1, s0, s1, w, h, all);
        };
        const char* kind = all ? " rebuild-all" : luma ? " masked" : " tested";
        c.Bench(std::string(luma ? "InterpolateLuma" : "InterpolateChroma") + dims + kind,
                [&] { run(c.ref()); }, [&] { run(c.dsp()); });
      }
      if (!luma || !deep) continue;
      const auto cut = [&](const EngineDsp& dsp) {
        vantrel::CutPlane(dsp, c0, s0, w, h, uint32_t(bits - 8));
      };
      c.Bench("CutPlane" + dims, [&] { cut(c.ref()); }, [&] { cut(c.dsp()); });
    }
  }
}

void CheckInterpolate(Context& c) {
  const LineKind luma8{1, 16, true}, chroma8{1, 4, false}, luma16{2, 4, true},
      chroma16{2, 4, false}, cut{2, 4, true, false};
  using K = InterpolateKernels;
  const K& ref = c.ref().interpolate;
  const auto check = [&c](const char* name, auto slot, const LineKind& kind, const auto& call,
                          const EightBitTwin& eight_bit = nullptr) {
    const auto fn = c.Kernel(name, &EngineDsp::interpolate, slot);
    const int rounds = c.Iterations(kind.luma ? 400 : 800);  // chroma: half of them rebuild-all
    for (int n = 0; fn && n < rounds; ++n) {
      CheckLine(c, fn, c.ref().interpolate.*slot, kind, call, name, eight_bit);
    }
    return fn != nullptr;
  };
  const auto average = [](auto f, const LineArgs& a) {
    f(a.dst, a.src - a.pitch, a.src + a.pitch, a.width);
  };
  const auto four_tap = [](auto f, const LineArgs& a) { f(a.dst, a.src, a.pitch, a.width); };
  const auto masked = [](auto f, const LineArgs& a) {
    f(a.dst, a.src, a.mask, a.pitch, a.width);
  };
  const auto chroma = [](auto f, const LineArgs& a) {
    f(a.dst, a.src, a.pitch, a.width, a.rebuild_all);
  };
  check("AverageLine", &K::average_line, luma8, average);
  check("FourTapLine", &K::four_tap_line, luma8, four_tap);
  if (check("MaskedFourTapLine", &K::masked_four_tap_line, luma8, masked)) {
    BenchFrames(c, true, false);
  }
  if (check("ChromaLine", &K::chroma_line, chroma8, chroma)) BenchFrames(c, false, false);
  check("AverageLine16", &K::average_line16, luma16, [](auto f, const LineArgs& a) {
    f(Words(a.dst), Words(a.src - a.pitch), Words(a.src + a.pitch), a.width);
  }, [&](const LineArgs& a) { average(ref.average_line, a); });
  check("FourTapLine16", &K::four_tap_line16, luma16, [](auto f, const LineArgs& a) {
    f(Words(a.dst), Words(a.src), a.pitch, a.width, a.max());
  }, [&](const LineArgs& a) { four_tap(ref.four_tap_line, a); });
  check("CutLine", &K::cut_line, cut, [](auto f, const LineArgs& a) {
    f(a.dst, Words(a.src), a.width, uint32_t(a.bits - 8));
  });
  const auto masked_words = [](auto f, const LineArgs& a) {
    f(Words(a.dst), Words(a.src), a.mask, a.pitch, a.width, a.max());
  };
  if (check("MaskedFourTapLine16", &K::masked_four_tap_line16, luma16, masked_words,
            [&](const LineArgs& a) { masked(ref.masked_four_tap_line, a); })) {
    BenchFrames(c, true, true);
  }
  const auto chroma_words = [](auto f, const LineArgs& a) {
    f(Words(a.dst), Words(a.src), a.pitch, a.width, a.rebuild_all, uint32_t(a.bits - 8));
  };
  if (check("ChromaLine16", &K::chroma_line16, chroma16, chroma_words,
            [&](const LineArgs& a) { chroma(ref.chroma_line, a); })) {
    BenchFrames(c, false, true);
  }
}

checkasm::Group interpolate_group("interpolate", CheckInterpolate);

}  // namespace
