// The bitmap font the notice renderer draws with: printable ASCII, one fixed
// 8 x 16 cell per character.
#pragma once

#include <array>
#include <cstdint>

namespace vantrel {

constexpr int32_t kGlyphWidth = 8;
constexpr int32_t kGlyphHeight = 16;
constexpr unsigned char kFirstGlyph = 0x20;
constexpr unsigned char kLastGlyph = 0x7E;
constexpr int32_t kGlyphCount = kLastGlyph - kFirstGlyph + 1;

// Rows from the top; bit 7 is the leftmost pixel and a set bit is ink.
using GlyphRows = std::array<uint8_t, kGlyphHeight>;

// The glyph for a character. Characters outside 0x20-0x7E (line feeds are
// handled by the caller) get the blank glyph of a space.
const GlyphRows& GlyphFor(unsigned char c);

}  // namespace vantrel
