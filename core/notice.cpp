#include "core/notice.h"

#include "core/text_canvas.h"

namespace vantrel {

const char kConvertNotice[] =
    "Please use command: \n ConvertToYV12( ) \n before using VantrelDeinterlace( )";
const char kSizeNotice[] =
    "FrameWidth and FrameHeight \nmust be able to be devided by 16\nPlease resize the clip";

namespace {

struct CanvasShape {
  int32_t width;
  int32_t bits_per_pixel;
};

CanvasShape ShapeFor(NoticeVariant variant, int row_size) {
  switch (variant) {
    case NoticeVariant::kRgb24: return {row_size / 3, 24};
    case NoticeVariant::kRgb32: return {row_size / 4, 32};
    case NoticeVariant::kYuy2: return {row_size / 2, 32};
    case NoticeVariant::kPlanar: break;
  }
  return {row_size, 32};
}

// Sets every frame byte under canvas ink to `value`.
void TransferInk(NoticeVariant variant, const TextCanvas& canvas, const PlaneView& out,
                 uint8_t value) {
  const int height = out.height;
  if (variant == NoticeVariant::kRgb24 || variant == NoticeVariant::kRgb32) {
    // Both are stored bottom line first; canvas lines are padded to 4 bytes,
    // so pair them line by line rather than byte i with byte i.
    for (int line = 0; line < height; ++line) {
      const uint8_t* from = canvas.bytes() + size_t(line) * canvas.stride();
      uint8_t* to = out.data + line * out.pitch;
      const int bytes = canvas.width() * canvas.bytes_per_pixel();
      for (int i = 0; i < bytes; ++i) {
        if (from[i] == 0) to[i] = value;
      }
    }
    return;
  }
  const int step = variant == NoticeVariant::kYuy2 ? 2 : 1;
  for (int y = 0; y < height; ++y) {
    uint8_t* to = out.data + y * out.pitch;
    for (int x = 0; x < canvas.width(); ++x) {
      if (*canvas.PixelAt(x, y) == 0) to[step * x] = value;
    }
  }
}

}  // namespace

bool DrawNotice(NoticeVariant variant, const FrameView& src, const FrameView& dst) {
  CopyFrame(src, dst);
  const PlaneView& out = dst.planes[0];
  const CanvasShape shape = ShapeFor(variant, out.row_size);
  const char* why_not = nullptr;
  std::optional<TextCanvas> canvas =
      TextCanvas::Create(shape.width, out.height, shape.bits_per_pixel, &why_not);
  if (!canvas) return why_not != TextCanvas::kOutOfMemory;
  const char* text = variant == NoticeVariant::kPlanar ? kSizeNotice : kConvertNotice;
  const TextRect whole{0, 0, shape.width, out.height};
  canvas->FillWhite(whole);
  canvas->DrawCentredText(text, whole);
  TransferInk(variant, *canvas, out, 0);
  canvas->FillWhite(whole);
  canvas->DrawCentredText(text, {2, 2, shape.width + 2, out.height + 2});
  TransferInk(variant, *canvas, out, 255);
  return true;
}

}  // namespace vantrel
