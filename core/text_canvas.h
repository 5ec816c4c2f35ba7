// The raster the in-frame notices are drawn into before they reach a frame.
// Its memory is laid out like a bottom-up device-independent bitmap (lines
// stored bottom line first, each padded to a multiple of 4 bytes) so that the
// notice code can walk it next to a frame byte for byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

namespace vantrel {

// A rectangle in picture coordinates, y counted down from the top; right and
// bottom are exclusive. It may reach beyond the canvas.
struct TextRect {
  int32_t left;
  int32_t top;
  int32_t right;
  int32_t bottom;
};

class TextCanvas {
 public:
  // Large enough for any real frame, small enough that a corrupt size never
  // turns into a giant allocation.
  static constexpr int32_t kMaxSide = 1 << 16;
  static constexpr uint64_t kMaxBytes = uint64_t{1} << 30;

  // A canvas of width x height pixels at 24 or 32 bits per pixel with every
  // byte 0, as a fresh bitmap from the platform would be. Returns nothing when
  // a side is outside 1..kMaxSide, the depth is neither 24 nor 32, the bytes
  // would exceed kMaxBytes or the memory is not available; if why_not is
  // given it then points at a sentence saying which.
  static const char kOutOfMemory[];  // why_not when only memory was missing
  static std::optional<TextCanvas> Create(int32_t width, int32_t height, int32_t bits_per_pixel,
                                          const char** why_not = nullptr);

  int32_t width() const { return width_; }
  int32_t height() const { return height_; }
  int32_t bytes_per_pixel() const { return bytes_per_pixel_; }
  // Bytes from one stored line to the next, a multiple of 4.
  size_t stride() const { return stride_; }
  // stride() * height(): every byte of the canvas, padding included.
  size_t size() const { return stride_ * static_cast<size_t>(height_); }
  // The canvas's first stored line is the bottom line of the picture.
  const uint8_t* bytes() const { return bytes_.get(); }
  // First byte of pixel (x, y), y counted from the top; nullptr outside.
  const uint8_t* PixelAt(int32_t x, int32_t y) const;

  // Sets every byte of each pixel inside rect (clipped to the canvas) to 255;
  // in a 32-bit canvas that includes the fourth byte. Padding is never touched.
  void FillWhite(const TextRect& rect);

  // Draws a zero-terminated text in black, centred in rect the way the
  // platform's DrawTextA(..., DT_CENTER) does: lines split at each line feed,
  // line i starts 16 * i pixels below rect.top, each line starts at
  // rect.left + (rect width - 8 * characters) / 2 (truncating division; a line
  // wider than rect is cut at both edges), no wrapping. Every 8 x 16 cell is
  // painted opaque: ink pixels get all bytes 0 (the fourth byte too), the rest
  // of the cell all bytes 255. Nothing is written outside rect or the canvas.
  // Characters without a glyph, carriage returns included, draw as blank cells.
  void DrawCentredText(const char* text, const TextRect& rect);

 private:
  // Signed 64-bit bounds so that rectangles anywhere in the 32-bit plane clip
  // without overflow.
  struct Clip {
    int64_t left;
    int64_t top;
    int64_t right;
    int64_t bottom;
  };

  TextCanvas(std::unique_ptr<uint8_t[]> bytes, int32_t width, int32_t height,
             int32_t bytes_per_pixel, size_t stride);

  Clip ClipTo(const TextRect& rect) const;
  uint8_t* PixelPtr(int64_t x, int64_t y);
  void DrawLine(const char* line, size_t length, int64_t left, int64_t top, const Clip& clip);
  void DrawGlyph(unsigned char c, int64_t cell_left, int64_t cell_top, const Clip& clip);

  std::unique_ptr<uint8_t[]> bytes_;
  int32_t width_;
  int32_t height_;
  int32_t bytes_per_pixel_;
  size_t stride_;
};

}  // namespace vantrel
