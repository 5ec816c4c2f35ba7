#include "core/notice.h"

#include <gtest/gtest.h>

#include <fstream>

#include "harness.h"
#include "core/text_canvas.h"

namespace vantrel {
namespace {

using host::Environment;
using test::MakeInfo;

// Ink of the notice text on a canvas of the given width, as (x, y) from the top.
std::vector<bool> InkMask(const char* text, int w, int h) {
  std::optional<TextCanvas> canvas = TextCanvas::Create(w, h, 32);
  canvas->FillWhite({0, 0, w, h});
  canvas->DrawCentredText(text, {0, 0, w, h});
  std::vector<bool> ink(size_t(w) * h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) ink[size_t(y) * w + x] = *canvas->PixelAt(x, y) == 0;
  return ink;
}

// What a pixel should become: white where the shifted copy has ink, black
// where the first copy has it, else the source.
int Expected(const std::vector<bool>& ink, int w, int x, int y, int source) {
  if (x >= 2 && y >= 2 && ink[size_t(y - 2) * w + (x - 2)]) return 255;
  if (ink[size_t(y) * w + x]) return 0;
  return source;
}

TEST(PluginNotice, PlanarSizeNoticeIsUprightInLumaOnly) {
  Environment env(host::FrameLayout::kHostLike);
  const int w = 704, h = 570;
  const PClip source = test::MemoryClip(MakeInfo(VideoInfo::CS_YV12, w, h));
  const auto in = test::FrameOf(source, env);
  const PVideoFrame frame = test::Filter(source)->GetFrame(0, &env);
  const auto out = test::Tight(frame);
  EXPECT_TRUE(host::OutsidePlanesIntact(*frame.get()));
  const auto ink = InkMask(kSizeNotice, w, h);
  int white = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const size_t i = size_t(y) * w + x;
      ASSERT_EQ(out[i], Expected(ink, w, x, y, in[i])) << x << "," << y;
      white += out[i] == 255 && in[i] != 255;
    }
  EXPECT_GT(white, 500);
  EXPECT_TRUE(std::equal(in.begin() + w * h, in.end(), out.begin() + w * h));
  // The first line starts at the top and is centred.
  int first_row = h, left = w, right = -1;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      if (ink[size_t(y) * w + x]) {
        first_row = std::min(first_row, y);
        if (y < 16) left = std::min(left, x), right = std::max(right, x);
      }
  EXPECT_LT(first_row, 4);
  EXPECT_LE(std::abs((left + right + 1) - w), 16);

  std::ofstream pgm("notice_planar_704x570.pgm", std::ios::binary);
  pgm << "P5\n" << w << " " << h << "\n255\n";
  pgm.write(reinterpret_cast<const char*>(out.data()), std::streamsize(w) * h);
}

TEST(PluginNotice, Yuy2ChangesOnlyLumaBytes) {
  Environment env;
  const int w = 320, h = 64;
  const PClip source = test::MemoryClip(MakeInfo(VideoInfo::CS_YUY2, w, h));
  const auto in = test::FrameOf(source, env);
  const auto out = test::FrameOf(test::Filter(source), env);
  const auto ink = InkMask(kConvertNotice, w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const size_t i = size_t(y) * w * 2 + 2 * x;
      ASSERT_EQ(out[i], Expected(ink, w, x, y, in[i])) << x << "," << y;
      ASSERT_EQ(out[i + 1], in[i + 1]) << "chroma byte at " << x << "," << y;
    }
}

TEST(PluginNotice, RgbPixelsUnderTheTextTurnBlackOrWhiteWhole) {
  for (int type : {VideoInfo::CS_BGR24, VideoInfo::CS_BGR32}) {
    for (int w : {360, 322}) {  // 322 * 3 is not a multiple of 4
      Environment env(host::FrameLayout::kHostLike);
      const int h = 60, bpp = type == VideoInfo::CS_BGR24 ? 3 : 4;
      const PClip source = test::MemoryClip(MakeInfo(type, w, h));
      const auto in = test::FrameOf(source, env);
      const PVideoFrame frame = test::Filter(source)->GetFrame(0, &env);
      const auto out = test::Tight(frame);
      EXPECT_TRUE(host::OutsidePlanesIntact(*frame.get()));
      // RGB frames are stored bottom line first, like the canvas.
      const auto ink = InkMask(kConvertNotice, w, h);
      int black = 0, white = 0;
      for (int line = 0; line < h; ++line)
        for (int x = 0; x < w; ++x) {
          const int y = h - 1 - line;
          const size_t i = (size_t(line) * w + x) * bpp;
          for (int b = 0; b < bpp; ++b) {
            ASSERT_EQ(out[i + b], Expected(ink, w, x, y, in[i + b]))
                << "type " << type << " width " << w << " at " << x << "," << y;
          }
          const int first = Expected(ink, w, x, y, -1);
          black += first == 0;
          white += first == 255;
        }
      EXPECT_GT(black, 100);
      EXPECT_GT(white, 100);
    }
  }
}

TEST(PluginNotice, EveryFrameGetsTheSameNotice) {
  Environment env;
  const VideoInfo vi = MakeInfo(VideoInfo::CS_YV12, 200, 50, 3);
  const PClip source = test::MemoryClip(vi);
  const PClip filter = test::Filter(source);
  std::vector<std::vector<int>> marks;
  for (int n = 0; n < 3; ++n) {
    const auto in = test::FrameOf(source, env, n), out = test::FrameOf(filter, env, n);
    std::vector<int> m(out.size(), -1);
    for (size_t i = 0; i < out.size(); ++i)
      if (out[i] == 0 || out[i] == 255) m[i] = out[i] == in[i] ? -2 : out[i];
    marks.push_back(m);
  }
  EXPECT_EQ(marks[0], marks[1]);
  EXPECT_EQ(marks[1], marks[2]);
}

TEST(PluginNotice, ANarrowFrameCutsTheLineAtBothEdges) {
  Environment env;
  const int w = 48, h = 34;
  const PClip source = test::MemoryClip(MakeInfo(VideoInfo::CS_YV12, w, h));
  const auto in = test::FrameOf(source, env), out = test::FrameOf(test::Filter(source), env);
  // The 216-pixel first line is centred on 48 columns: its middle shows, and
  // marks reach into the first and the last two glyph cells.
  auto marks_in = [&](int x0, int x1) {
    int marks = 0;
    for (int y = 0; y < 18; ++y)
      for (int x = x0; x < x1; ++x) marks += out[size_t(y) * w + x] != in[size_t(y) * w + x];
    return marks;
  };
  EXPECT_GT(marks_in(0, 16), 0);
  EXPECT_GT(marks_in(w - 16, w), 0);
}

}  // namespace
}  // namespace vantrel
