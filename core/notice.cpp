#include "core/notice.h"

#include <cstring>

#include "core/text_canvas.h"

namespace vantrel {

const char kConvertNotice[] =
    "Please use command: \n ConvertToYV12( ) \n before using VantrelDeinterlace( )";
const char kSizeNotice[] =
    "FrameWidth and FrameHeight \nmust be able to be devided by 16\nPlease resize the clip";

namespace {

bool IsRgb(Family family) { return family == Family::kRgb24 || family == Family::kRgb32; }

// Sets every frame sample under canvas ink to black (dark) or white: full
// scale for the frame's depth in planar frames, 0 or 255 in packed ones.
void TransferInk(const TextCanvas& canvas, const FrameView& frame, bool white) {
  const PlaneView& out = frame.planes[0];
  const int height = out.height;
  if (IsRgb(frame.format.family)) {
    // Both are stored bottom line first; canvas lines are padded to 4 bytes,
    // so pair them line by line rather than byte i with byte i.
    const uint8_t value = white ? 255 : 0;
    for (int line = 0; line < height; ++line) {
      const uint8_t* from = canvas.bytes() + size_t(line) * canvas.stride();
      uint8_t* to = out.Line(line);
      const int bytes = canvas.width() * canvas.bytes_per_pixel();
      for (int i = 0; i < bytes; ++i) {
        if (from[i] == 0) to[i] = value;
      }
    }
    return;
  }
  // YUY2: the luma byte of each pixel; planar: the luma sample.
  const bool wide = frame.format.Planar() && frame.format.SampleBytes() == 2;
  const int step = frame.format.family == Family::kYuy2 ? 2 : 1;
  const uint16_t full = uint16_t(frame.format.Planar() ? frame.format.MaxSample() : 255);
  const uint16_t value = white ? full : 0;
  for (int y = 0; y < height; ++y) {
    uint8_t* to = out.Line(y);
    for (int x = 0; x < canvas.width(); ++x) {
      if (*canvas.PixelAt(x, y) != 0) continue;
      if (wide) {
        std::memcpy(to + 2 * x, &value, 2);
      } else {
        to[step * x] = uint8_t(value);
      }
    }
  }
}

}  // namespace

bool DrawNotice(const FrameView& src, const FrameView& dst) {
  CopyFrame(src, dst);
  const PlaneView& out = dst.planes[0];
  const int32_t width = out.width;
  const int32_t bits_per_pixel = dst.format.family == Family::kRgb24 ? 24 : 32;
  const char* why_not = nullptr;
  std::optional<TextCanvas> canvas = TextCanvas::Create(width, out.height, bits_per_pixel, &why_not);
  if (!canvas) return why_not != TextCanvas::kOutOfMemory;
  const char* text = dst.format.Planar() ? kSizeNotice : kConvertNotice;
  const TextRect whole{0, 0, width, out.height};
  canvas->FillWhite(whole);
  canvas->DrawCentredText(text, whole);
  TransferInk(*canvas, dst, false);
  canvas->FillWhite(whole);
  canvas->DrawCentredText(text, {2, 2, width + 2, out.height + 2});
  TransferInk(*canvas, dst, true);
  return true;
}

}  // namespace vantrel
