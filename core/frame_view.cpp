#include "core/frame_view.h"

#include <cstring>

namespace vantrel {

const char* LayoutName(PixelFormat f) {
  switch (f.family) {
    case Family::kGrey: return "grey";
    case Family::kYuy2: return "YUY2";
    case Family::kRgb24: return "RGB24";
    case Family::kRgb32: return "RGB32";
    case Family::kYuv: break;
  }
  const int key = f.shift_w * 4 + f.shift_h;
  switch (key) {
    case 1 * 4 + 1: return "4:2:0";
    case 1 * 4 + 0: return "4:2:2";
    case 0 * 4 + 0: return "4:4:4";
    case 2 * 4 + 0: return "4:1:1";
    case 2 * 4 + 2: return "4:1:0";
    default: return "another chroma subsampling";
  }
}

FrameView PlaneShapes(PixelFormat format, int32_t width, int32_t height) {
  FrameView view;
  view.format = format;
  for (int i = 0; i < view.plane_count(); ++i) {
    view.planes[i] = {nullptr, 0, format.PlaneWidth(i, width), format.PlaneHeight(i, height),
                      format.SampleBytes()};
    view.planes[i].pitch = ptrdiff_t(view.planes[i].row_bytes());
  }
  return view;
}

size_t BlockBytes(PixelFormat format, int32_t width, int32_t height) {
  const FrameView shapes = PlaneShapes(format, width, height);
  size_t bytes = 0;
  for (int i = 0; i < shapes.plane_count(); ++i) bytes += shapes.planes[i].bytes();
  return bytes;
}

FrameView BlockView(PixelFormat format, uint8_t* block, int32_t width, int32_t height) {
  FrameView view = PlaneShapes(format, width, height);
  for (int i = 0; i < view.plane_count(); ++i) {
    view.planes[i].data = block;
    block += view.planes[i].bytes();
  }
  return view;
}

PlaneView UpsideDown(const PlaneView& p) {
  PlaneView turned = p;
  turned.data = p.data + ptrdiff_t(p.height - 1) * p.pitch;
  turned.pitch = -p.pitch;
  return turned;
}

FrameView UpsideDown(const FrameView& frame) {
  FrameView view = frame;
  for (int i = 0; i < frame.plane_count(); ++i) view.planes[i] = UpsideDown(frame.planes[i]);
  return view;
}

FrameView Cropped(const FrameView& frame, int32_t width, int32_t height) {
  FrameView view = frame;
  for (int i = 0; i < frame.plane_count(); ++i) {
    view.planes[i].width = frame.format.PlaneWidth(i, width);
    view.planes[i].height = frame.format.PlaneHeight(i, height);
  }
  return view;
}

void CopyPlane(const PlaneView& from, const PlaneView& to) {
  const size_t row = from.row_bytes();
  if (from.pitch == to.pitch && ptrdiff_t(row) == from.pitch) {
    std::memcpy(to.data, from.data, from.bytes());
    return;
  }
  for (int32_t y = 0; y < from.height; ++y) std::memcpy(to.Line(y), from.Line(y), row);
}

void CopyFrame(const FrameView& from, const FrameView& to) {
  for (int i = 0; i < from.plane_count(); ++i) CopyPlane(from.planes[i], to.planes[i]);
}

FramePlanes EnginePlanes(const FrameView& frame) {
  const auto plane = [&](int i) {
    return i < frame.plane_count() ? Plane{frame.planes[i].data, frame.planes[i].pitch} : Plane{};
  };
  return FramePlanes{plane(0), plane(1), plane(2)};
}

ChromaSize EngineChroma(const FrameView& frame) {
  if (frame.plane_count() < 3) return ChromaSize{0, 0};
  return ChromaSize{uint32_t(frame.planes[1].width), uint32_t(frame.planes[1].height)};
}

}  // namespace vantrel
