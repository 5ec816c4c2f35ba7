#include "core/text_canvas.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "core/font8x16.h"

namespace vantrel {
namespace {

TextCanvas MakeCanvas(int32_t width, int32_t height, int32_t bits_per_pixel) {
  std::optional<TextCanvas> canvas = TextCanvas::Create(width, height, bits_per_pixel);
  if (!canvas) {
    ADD_FAILURE() << "could not create a " << width << "x" << height << " canvas";
    std::abort();
  }
  return std::move(*canvas);
}

bool IsInk(const TextCanvas& canvas, int32_t x, int32_t y) {
  const uint8_t* p = canvas.PixelAt(x, y);
  return std::all_of(p, p + canvas.bytes_per_pixel(), [](uint8_t b) { return b == 0; });
}

bool GlyphBit(char c, int32_t row, int32_t col) {
  return (GlyphFor(static_cast<unsigned char>(c))[row] >> (7 - col) & 1) != 0;
}

struct Box {
  int32_t left = INT32_MAX, top = INT32_MAX, right = INT32_MIN, bottom = INT32_MIN;  // inclusive
  void Add(int32_t x, int32_t y) {
    left = std::min(left, x), right = std::max(right, x);
    top = std::min(top, y), bottom = std::max(bottom, y);
  }
  bool empty() const { return left > right; }
};

// Ink bounding box of the canvas rows [top, bottom), read through PixelAt.
Box InkBox(const TextCanvas& canvas, int32_t top, int32_t bottom) {
  Box box;
  for (int32_t y = top; y < bottom; ++y) {
    for (int32_t x = 0; x < canvas.width(); ++x) {
      if (IsInk(canvas, x, y)) box.Add(x, y);
    }
  }
  return box;
}

Box GlyphInkBox(char c) {
  Box box;
  for (int32_t row = 0; row < kGlyphHeight; ++row) {
    for (int32_t col = 0; col < kGlyphWidth; ++col) {
      if (GlyphBit(c, row, col)) box.Add(col, row);
    }
  }
  return box;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines(1);
  for (char c : text) {
    if (c == '\n') {
      lines.emplace_back();
    } else {
      lines.back() += c;
    }
  }
  return lines;
}

// What one pixel of an all-zero canvas holds after drawing: found by walking
// back from the pixel to the line and cell covering it, the opposite way to
// the renderer. 0 = untouched or ink, 255 = cell background.
uint8_t ModelPixel(const std::string& text, const TextRect& rect, const TextCanvas& canvas,
                   int64_t x, int64_t y) {
  const bool in_clip = x >= rect.left && x < rect.right && y >= rect.top && y < rect.bottom &&
                       x < canvas.width() && y < canvas.height();
  if (!in_clip) return 0;
  const std::vector<std::string> lines = SplitLines(text);
  const int64_t line = (y - rect.top) / 16;
  if (line >= static_cast<int64_t>(lines.size())) return 0;
  const int64_t chars = static_cast<int64_t>(lines[line].size());
  const int64_t start = rect.left + (int64_t{rect.right} - rect.left - 8 * chars) / 2;
  if (x < start || x >= start + 8 * chars) return 0;
  const char c = lines[line][(x - start) / 8];
  const bool ink =
      GlyphBit(c, static_cast<int32_t>((y - rect.top) % 16), static_cast<int32_t>((x - start) % 8));
  return ink ? 0 : 255;
}

// Draws onto a fresh canvas and compares every byte, padding included, to the model.
void ExpectDrawMatchesModel(int32_t width, int32_t height, int32_t bpp, const std::string& text,
                            const TextRect& rect) {
  TextCanvas canvas = MakeCanvas(width, height, bpp);
  canvas.DrawCentredText(text.c_str(), rect);
  const size_t row_bytes = static_cast<size_t>(width) * static_cast<size_t>(bpp / 8);
  for (int32_t line = 0; line < height; ++line) {
    const uint8_t* stored = canvas.bytes() + static_cast<size_t>(line) * canvas.stride();
    for (size_t i = row_bytes; i < canvas.stride(); ++i) {
      ASSERT_EQ(stored[i], 0) << "padding written on stored line " << line;
    }
  }
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      const uint8_t want = ModelPixel(text, rect, canvas, x, y);
      const uint8_t* p = canvas.PixelAt(x, y);
      for (int32_t b = 0; b < bpp / 8; ++b) {
        ASSERT_EQ(p[b], want) << "pixel (" << x << ", " << y << ") byte " << b;
      }
    }
  }
}

TEST(CoreTextCanvas, StoresLinesBottomUpWithPaddedStride) {
  TextCanvas rgb = MakeCanvas(13, 5, 24);
  EXPECT_EQ(rgb.stride(), 40u);  // 39 bytes of pixels, padded to a word
  EXPECT_EQ(rgb.size(), 200u);
  EXPECT_EQ(rgb.PixelAt(0, 4), rgb.bytes());  // the bottom line is stored first
  EXPECT_EQ(rgb.PixelAt(12, 0), rgb.bytes() + 4 * 40 + 36);
  EXPECT_EQ(rgb.PixelAt(13, 0), nullptr);
  EXPECT_EQ(rgb.PixelAt(0, 5), nullptr);
  EXPECT_EQ(rgb.PixelAt(-1, 0), nullptr);
  EXPECT_EQ(MakeCanvas(13, 5, 32).stride(), 52u);
  EXPECT_EQ(MakeCanvas(1, 1, 24).stride(), 4u);

  // One white pixel at (3, 1) from the top is stored on line 5 - 1 - 1 = 3.
  rgb.FillWhite({3, 1, 4, 2});
  for (size_t i = 0; i < rgb.size(); ++i) {
    const bool in_pixel = i >= 3 * 40 + 9 && i < 3 * 40 + 12;
    ASSERT_EQ(rgb.bytes()[i], in_pixel ? 255 : 0) << "byte " << i;
  }
}

TEST(CoreTextCanvas, RefusesBadSizesWithAReason) {
  const int32_t bad[][3] = {{0, 10, 24},    {10, 0, 32},        {-4, 10, 24},
                            {10, 10, 16},   {10, 10, 0},        {65537, 1, 32},
                            {1, 65537, 24}, {65536, 65536, 32}, {INT32_MAX, INT32_MAX, 32}};
  for (const auto& size : bad) {
    const char* why = nullptr;
    EXPECT_FALSE(TextCanvas::Create(size[0], size[1], size[2], &why).has_value())
        << size[0] << "x" << size[1] << " at " << size[2];
    ASSERT_NE(why, nullptr);
    EXPECT_NE(std::string(why).find("text canvas"), std::string::npos);
  }
  const std::optional<TextCanvas> widest = TextCanvas::Create(65536, 1, 32);
  ASSERT_TRUE(widest.has_value());
  EXPECT_EQ(widest->size(), 65536u * 4u);
  EXPECT_TRUE(std::all_of(widest->bytes(), widest->bytes() + widest->size(),
                          [](uint8_t b) { return b == 0; }));
}

TEST(CoreTextCanvas, FillIsClippedToTheCanvas) {
  TextCanvas canvas = MakeCanvas(13, 6, 24);
  canvas.FillWhite({-5, -5, 3, 2});
  canvas.FillWhite({11, 4, 100, 100});
  canvas.FillWhite({8, 3, 5, 5});  // inverted: nothing
  for (int32_t y = 0; y < 6; ++y) {
    for (int32_t x = 0; x < 13; ++x) {
      const bool white = (x < 3 && y < 2) || (x >= 11 && y >= 4);
      const uint8_t* p = canvas.PixelAt(x, y);
      for (int32_t b = 0; b < 3; ++b) ASSERT_EQ(p[b], white ? 255 : 0) << x << "," << y;
    }
  }
  for (int32_t line = 0; line < 6; ++line) {
    EXPECT_EQ(canvas.bytes()[static_cast<size_t>(line) * 40 + 39], 0) << "padding, line " << line;
  }

  TextCanvas rgba = MakeCanvas(5, 3, 32);
  rgba.FillWhite({INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX});
  EXPECT_TRUE(std::all_of(rgba.bytes(), rgba.bytes() + rgba.size(),
                          [](uint8_t b) { return b == 255; }));  // fourth byte included
}

TEST(CoreTextCanvas, GlyphLandsWhereCentringPutsIt) {
  TextCanvas canvas = MakeCanvas(101, 40, 32);
  canvas.FillWhite({0, 0, 101, 40});
  canvas.DrawCentredText("H", {7, 3, 68, 40});  // cell at 7 + (61 - 8) / 2 = 33
  const Box glyph = GlyphInkBox('H');
  const Box ink = InkBox(canvas, 0, 40);
  ASSERT_FALSE(ink.empty());
  EXPECT_EQ(ink.left, 33 + glyph.left);
  EXPECT_EQ(ink.right, 33 + glyph.right);
  EXPECT_EQ(ink.top, 3 + glyph.top);
  EXPECT_EQ(ink.bottom, 3 + glyph.bottom);

  // Spaces count: "  H" is 24 wide, so H's cell is at 7 + (61 - 24) / 2 + 16 = 41.
  canvas.FillWhite({0, 0, 101, 40});
  canvas.DrawCentredText("  H", {7, 3, 68, 40});
  EXPECT_EQ(InkBox(canvas, 0, 40).left, 41 + glyph.left);
}

TEST(CoreTextCanvas, LinesStackOneCellApart) {
  TextCanvas canvas = MakeCanvas(64, 100, 24);
  canvas.FillWhite({0, 0, 64, 100});
  canvas.DrawCentredText("A\n\nBB\n", {0, 5, 64, 100});
  const Box a = InkBox(canvas, 5, 21);
  ASSERT_FALSE(a.empty());
  EXPECT_EQ(a.top, 5 + GlyphInkBox('A').top);
  EXPECT_EQ(a.left, 28 + GlyphInkBox('A').left);
  EXPECT_TRUE(InkBox(canvas, 0, 5).empty());
  EXPECT_TRUE(InkBox(canvas, 21, 37).empty());  // the empty second line
  const Box b = InkBox(canvas, 37, 53);
  ASSERT_FALSE(b.empty());
  EXPECT_EQ(b.top, 37 + GlyphInkBox('B').top);
  EXPECT_EQ(b.left, 24 + GlyphInkBox('B').left);
  EXPECT_TRUE(InkBox(canvas, 53, 100).empty());

  ExpectDrawMatchesModel(64, 100, 24, "A\n\nBB\n", {0, 5, 64, 100});
  ExpectDrawMatchesModel(40, 70, 32, "Please use command: \n ConvertToYV12( ) ", {3, 9, 37, 41});
}

TEST(CoreTextCanvas, WideLineIsCutAtBothEdges) {
  TextCanvas canvas = MakeCanvas(40, 16, 32);
  canvas.DrawCentredText("ABCDEFGHIJ", {0, 0, 40, 16});  // starts at (40 - 80) / 2 = -20
  for (int32_t row = 0; row < 16; ++row) {
    for (int32_t col = 0; col < 8; ++col) {
      EXPECT_EQ(IsInk(canvas, 4 + col, row), GlyphBit('D', row, col)) << row << "," << col;
    }
    for (int32_t col = 0; col < 4; ++col) {
      EXPECT_EQ(IsInk(canvas, col, row), GlyphBit('C', row, 4 + col)) << row << "," << col;
      EXPECT_EQ(IsInk(canvas, 36 + col, row), GlyphBit('H', row, col)) << row << "," << col;
    }
  }
  // An odd overhang truncates towards zero: (21 - 80) / 2 = -29, so 'E' starts at 3.
  TextCanvas odd = MakeCanvas(40, 16, 32);
  odd.DrawCentredText("ABCDEFGHIJ", {0, 0, 21, 16});
  for (int32_t row = 0; row < 16; ++row) {
    for (int32_t col = 0; col < 8; ++col) {
      EXPECT_EQ(IsInk(odd, 3 + col, row), GlyphBit('E', row, col)) << row << "," << col;
    }
    EXPECT_EQ(odd.PixelAt(21, row)[0], 0);  // right of the rectangle: untouched
  }
  ExpectDrawMatchesModel(40, 16, 32, "ABCDEFGHIJ", {0, 0, 21, 16});
}

TEST(CoreTextCanvas, RectangleBeyondTheCanvasWritesOnlyInside) {
  // 13 pixels of 24 bits leave one padding byte per line to catch overruns.
  ExpectDrawMatchesModel(13, 20, 24, "WIDE LINE\nXy\nZ", {2, 2, 15, 22});
  ExpectDrawMatchesModel(13, 20, 24, "Q|g", {-30, -7, 9, 11});
  ExpectDrawMatchesModel(13, 20, 32, "far\naway", {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX});
  ExpectDrawMatchesModel(13, 20, 24, "off", {13, 0, 40, 20});
  ExpectDrawMatchesModel(13, 20, 24, "off", {0, 20, 13, 40});
  TextCanvas canvas = MakeCanvas(13, 20, 24);
  canvas.DrawCentredText(nullptr, {0, 0, 13, 20});
  EXPECT_TRUE(std::all_of(canvas.bytes(), canvas.bytes() + canvas.size(),
                          [](uint8_t b) { return b == 0; }));
}

TEST(CoreTextCanvas, CharactersWithoutGlyphDrawBlankCells) {
  TextCanvas canvas = MakeCanvas(40, 16, 24);
  canvas.DrawCentredText("\t\x7F\xFF", {0, 0, 40, 16});  // 24 wide: cells at 8..31
  for (int32_t y = 0; y < 16; ++y) {
    for (int32_t x = 0; x < 40; ++x) {
      ASSERT_EQ(canvas.PixelAt(x, y)[0], x >= 8 && x < 32 ? 255 : 0) << x << "," << y;
    }
  }
}

TEST(CoreFont8x16, EveryPrintableGlyphButSpaceHasInk) {
  for (int c = kFirstGlyph; c <= kLastGlyph; ++c) {
    const GlyphRows& g = GlyphFor(static_cast<unsigned char>(c));
    const bool inked = std::any_of(g.begin(), g.end(), [](uint8_t row) { return row != 0; });
    EXPECT_EQ(inked, c != ' ') << "character 0x" << std::hex << c;
  }
}

TEST(CoreFont8x16, NoTwoPrintableGlyphsAreAlike) {
  std::set<GlyphRows> seen;
  for (int c = kFirstGlyph; c <= kLastGlyph; ++c) {
    EXPECT_TRUE(seen.insert(GlyphFor(static_cast<unsigned char>(c))).second)
        << "character 0x" << std::hex << c << " repeats an earlier glyph";
  }
}

TEST(CoreFont8x16, GlyphsLeaveLastRowAndColumnClear) {
  // Keeps neighbouring cells and lines from running into each other.
  for (int c = kFirstGlyph; c <= kLastGlyph; ++c) {
    const GlyphRows& g = GlyphFor(static_cast<unsigned char>(c));
    EXPECT_EQ(g[15], 0) << "character 0x" << std::hex << c;
    for (uint8_t row : g) EXPECT_EQ(row & 1, 0) << "character 0x" << std::hex << c;
  }
}

TEST(CoreFont8x16, CharactersOutsideTheRangeAreBlank) {
  for (unsigned char c : {0x00, 0x09, 0x0A, 0x0D, 0x1F, 0x7F, 0x80, 0xC4, 0xFF}) {
    const GlyphRows& g = GlyphFor(c);
    EXPECT_TRUE(std::all_of(g.begin(), g.end(), [](uint8_t row) { return row == 0; }))
        << "character 0x" << std::hex << int{c};
  }
}

// Renders both notices and leaves notice_preview.pgm in the working directory
// for a look by eye (ffmpeg -i notice_preview.pgm notice_preview.png).
TEST(CoreNoticePreview, BothNoticesRenderCentredLineByLine) {
  const char* notices[] = {
      "Please use command: \n ConvertToYV12( ) \n before using VantrelDeinterlace( )",
      "FrameWidth and FrameHeight \nmust be able to be devided by 16\nPlease resize the clip"};
  TextCanvas canvas = MakeCanvas(720, 96, 32);
  canvas.FillWhite({0, 0, 720, 96});
  canvas.DrawCentredText(notices[0], {0, 0, 720, 96});
  canvas.DrawCentredText(notices[1], {0, 48, 720, 96});

  std::vector<std::string> lines = SplitLines(notices[0]);
  for (const std::string& line : SplitLines(notices[1])) lines.push_back(line);
  ASSERT_EQ(lines.size(), 6u);
  for (int32_t i = 0; i < 6; ++i) {
    const Box ink = InkBox(canvas, 16 * i, 16 * i + 16);
    ASSERT_FALSE(ink.empty()) << "line " << i;
    const int32_t width = 8 * static_cast<int32_t>(lines[i].size());
    const int32_t start = (720 - width) / 2;
    EXPECT_GE(ink.left, start) << "line " << i;
    EXPECT_LT(ink.right, start + width) << "line " << i;
    const int32_t leading_spaces = static_cast<int32_t>(lines[i].find_first_not_of(' '));
    EXPECT_LT(ink.left - start - 8 * leading_spaces, 8) << "line " << i;
  }

  std::ofstream pgm("notice_preview.pgm", std::ios::binary);
  pgm << "P5\n720 96\n255\n";
  for (int32_t y = 0; y < 96; ++y) {
    for (int32_t x = 0; x < 720; ++x) pgm.put(static_cast<char>(canvas.PixelAt(x, y)[0]));
  }
  EXPECT_TRUE(pgm.good());
}

}  // namespace
}  // namespace vantrel
