#include "core/text_canvas.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

#include "core/font8x16.h"

namespace vantrel {

const char TextCanvas::kOutOfMemory[] = "text canvas: not enough memory for the picture";

std::optional<TextCanvas> TextCanvas::Create(int32_t width, int32_t height, int32_t bits_per_pixel,
                                             const char** why_not) {
  const char* problem = nullptr;
  uint64_t stride = 0;
  if (width < 1 || width > kMaxSide || height < 1 || height > kMaxSide) {
    problem = "text canvas: width and height must each be 1 to 65536 pixels";
  } else if (bits_per_pixel != 24 && bits_per_pixel != 32) {
    problem = "text canvas: only 24 and 32 bits per pixel are supported";
  } else {
    // Lines are padded to whole 32-bit words, as the platform's bitmaps are.
    stride = (static_cast<uint64_t>(width) * static_cast<uint64_t>(bits_per_pixel / 8) + 3) &
             ~uint64_t{3};
    if (stride * static_cast<uint64_t>(height) > kMaxBytes) {
      problem = "text canvas: the picture would need more than 1 GiB";
    }
  }
  std::unique_ptr<uint8_t[]> bytes;
  if (problem == nullptr) {
    // Value-initialised, so the canvas starts black like a fresh bitmap.
    bytes.reset(new (std::nothrow) uint8_t[stride * static_cast<uint64_t>(height)]());
    if (!bytes) {
      problem = kOutOfMemory;
    }
  }
  if (problem != nullptr) {
    if (why_not != nullptr) {
      *why_not = problem;
    }
    return std::nullopt;
  }
  return TextCanvas(std::move(bytes), width, height, bits_per_pixel / 8,
                    static_cast<size_t>(stride));
}

TextCanvas::TextCanvas(std::unique_ptr<uint8_t[]> bytes, int32_t width, int32_t height,
                       int32_t bytes_per_pixel, size_t stride)
    : bytes_(std::move(bytes)),
      width_(width),
      height_(height),
      bytes_per_pixel_(bytes_per_pixel),
      stride_(stride) {}

const uint8_t* TextCanvas::PixelAt(int32_t x, int32_t y) const {
  if (x < 0 || x >= width_ || y < 0 || y >= height_) {
    return nullptr;
  }
  return const_cast<TextCanvas*>(this)->PixelPtr(x, y);
}

uint8_t* TextCanvas::PixelPtr(int64_t x, int64_t y) {
  const size_t stored_line = static_cast<size_t>(height_ - 1 - y);
  return bytes_.get() + stored_line * stride_ + static_cast<size_t>(x * bytes_per_pixel_);
}

TextCanvas::Clip TextCanvas::ClipTo(const TextRect& rect) const {
  return {std::max<int64_t>(rect.left, 0), std::max<int64_t>(rect.top, 0),
          std::min<int64_t>(rect.right, width_), std::min<int64_t>(rect.bottom, height_)};
}

void TextCanvas::FillWhite(const TextRect& rect) {
  const Clip clip = ClipTo(rect);
  if (clip.left >= clip.right) {
    return;
  }
  const size_t run = static_cast<size_t>((clip.right - clip.left) * bytes_per_pixel_);
  for (int64_t y = clip.top; y < clip.bottom; ++y) {
    std::memset(PixelPtr(clip.left, y), 255, run);
  }
}

void TextCanvas::DrawCentredText(const char* text, const TextRect& rect) {
  const Clip clip = ClipTo(rect);
  if (text == nullptr || clip.left >= clip.right || clip.top >= clip.bottom) {
    return;
  }
  const int64_t rect_width = int64_t{rect.right} - rect.left;
  int64_t top = rect.top;
  const char* line = text;
  while (top < clip.bottom) {
    const char* feed = std::strchr(line, '\n');
    const size_t length = feed != nullptr ? static_cast<size_t>(feed - line) : std::strlen(line);
    const int64_t line_width = static_cast<int64_t>(length) * kGlyphWidth;
    // C division truncates towards zero, which is how the platform centres a
    // line wider than its rectangle.
    DrawLine(line, length, rect.left + (rect_width - line_width) / 2, top, clip);
    if (feed == nullptr) {
      return;
    }
    line = feed + 1;
    top += kGlyphHeight;
  }
}

void TextCanvas::DrawLine(const char* line, size_t length, int64_t left, int64_t top,
                          const Clip& clip) {
  if (top + kGlyphHeight <= clip.top) {
    return;
  }
  for (size_t i = 0; i < length; ++i) {
    const int64_t cell_left = left + static_cast<int64_t>(i) * kGlyphWidth;
    if (cell_left >= clip.right) {
      return;
    }
    if (cell_left + kGlyphWidth > clip.left) {
      DrawGlyph(static_cast<unsigned char>(line[i]), cell_left, top, clip);
    }
  }
}

void TextCanvas::DrawGlyph(unsigned char c, int64_t cell_left, int64_t cell_top, const Clip& clip) {
  const GlyphRows& glyph = GlyphFor(c);
  const int64_t x_begin = std::max(clip.left, cell_left);
  const int64_t x_end = std::min(clip.right, cell_left + kGlyphWidth);
  const int64_t y_begin = std::max(clip.top, cell_top);
  const int64_t y_end = std::min(clip.bottom, cell_top + kGlyphHeight);
  for (int64_t y = y_begin; y < y_end; ++y) {
    const uint32_t bits = glyph[static_cast<size_t>(y - cell_top)];
    uint8_t* pixel = PixelPtr(x_begin, y);
    for (int64_t x = x_begin; x < x_end; ++x) {
      const bool ink = ((bits >> (kGlyphWidth - 1 - (x - cell_left))) & 1u) != 0;
      // Opaque background: the cell behind the glyph is painted white too.
      std::memset(pixel, ink ? 0 : 255, static_cast<size_t>(bytes_per_pixel_));
      pixel += bytes_per_pixel_;
    }
  }
}

}  // namespace vantrel
