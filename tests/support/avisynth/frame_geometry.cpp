#include "avisynth/frame_geometry.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <string>

#include "avisynth/host_error.h"

namespace vantrel::host {
namespace {

// The planar types of AviSynth+: chroma planes of width >> shift_w and
// height >> shift_h, or none; the families with a deep name also at 10 to
// 16 bits, a sample in 2 bytes.
struct PlanarType {
  int pixel_type;                // the family's 8-bit member
  const char *name, *deep_name;  // deep_name + the depth; none: 8 bits only
  int shift_w, shift_h;
  bool chroma;
};
constexpr PlanarType kPlanarTypes[] = {
    {VideoInfo::CS_YV12, "YV12", "YUV420P", 1, 1, true},
    {VideoInfo::CS_I420, "I420", nullptr, 1, 1, true},
    {VideoInfo::CS_YV16, "YV16", "YUV422P", 1, 0, true},
    {VideoInfo::CS_YV24, "YV24", "YUV444P", 0, 0, true},
    {VideoInfo::CS_YV411, "YV411", nullptr, 2, 0, true},
    {VideoInfo::CS_Y8, "Y8", "Y", 0, 0, false},
};

struct Planar {
  const PlanarType* type = nullptr;  // none: not a planar type
  int sample_bytes = 1;
  std::string name;
};

Planar FindPlanar(int pixel_type) {
  constexpr int kBits[] = {8, 16, 32, 0, 0, 10, 12, 14};  // by the sample bits field
  const int mask = VideoInfo::CS_Sample_Bits_Mask, bits = kBits[(pixel_type & mask) >> 16];
  for (const PlanarType& p : kPlanarTypes) {
    if ((pixel_type & ~mask) != p.pixel_type) continue;
    if (bits == 8) return {&p, 1, p.name};
    if (p.deep_name && bits <= 16) return {&p, 2, p.deep_name + std::to_string(bits)};
  }
  return {};
}

int64_t RoundUp(int64_t value, int64_t step) { return (value + step - 1) / step * step; }

std::string Hex(int value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(value));
  return text;
}

void CheckSize(const VideoInfo& vi) {
  if (vi.width <= 0 || vi.height <= 0) {
    throw HostError("NewVideoFrame: frame size " + std::to_string(vi.width) + "x" +
                    std::to_string(vi.height) + " is not positive");
  }
}

int64_t CheckedInt(int64_t bytes, const FrameShape& shape) {
  if (bytes > INT_MAX) {
    throw HostError("NewVideoFrame: a frame of " + std::to_string(shape.row_size) + " bytes x " +
                    std::to_string(shape.height) + " lines needs " + std::to_string(bytes) +
                    " bytes, more than one frame buffer can hold (" + std::to_string(INT_MAX) +
                    ")");
  }
  return bytes;
}

void SetChroma(FrameGeometry& g, const FrameShape& shape, int64_t first, int64_t second) {
  g.offset_u = static_cast<int>(shape.v_first ? second : first);
  g.offset_v = static_cast<int>(shape.v_first ? first : second);
  g.chroma_row_size = shape.chroma_row_size;
  g.chroma_height = shape.chroma_height;
}

FrameGeometry Contiguous(const FrameShape& shape) {
  FrameGeometry g;
  g.pitch = g.row_size = shape.row_size;
  g.height = shape.height;
  const int64_t luma = int64_t{shape.row_size} * shape.height;
  int64_t size = luma;
  if (shape.chroma_row_size) {
    const int64_t chroma = int64_t{shape.chroma_row_size} * shape.chroma_height;
    g.pitch_uv = shape.chroma_row_size;
    SetChroma(g, shape, luma, luma + chroma);
    size = luma + 2 * chroma;
  }
  g.size = static_cast<int>(CheckedInt(size, shape));
  return g;
}

// Every plane starts on a step boundary after a gap of one step, and every
// pitch is rounded up to a step and then grown by one more, so no plane is
// adjacent to another and no pitch equals its row size.
FrameGeometry HostLike(const FrameShape& shape, int alignment) {
  const int64_t step = std::max(64, alignment);
  FrameGeometry g;
  g.row_size = shape.row_size;
  g.height = shape.height;
  const int64_t pitch = RoundUp(shape.row_size, step) + step;
  int64_t end = step + pitch * shape.height;
  CheckedInt(end, shape);
  g.offset = static_cast<int>(step);
  g.pitch = static_cast<int>(pitch);
  if (shape.chroma_row_size) {
    const int64_t pitch_uv = RoundUp(shape.chroma_row_size, step) + step;
    const int64_t first = RoundUp(end, step) + step;
    const int64_t second = RoundUp(first + pitch_uv * shape.chroma_height, step) + step;
    end = CheckedInt(second + pitch_uv * shape.chroma_height, shape);
    g.pitch_uv = static_cast<int>(pitch_uv);
    SetChroma(g, shape, first, second);
  }
  g.size = static_cast<int>(CheckedInt(end + step, shape));
  return g;
}

}  // namespace

FrameShape ShapeOf(const VideoInfo& vi) {
  CheckSize(vi);
  const int type = vi.pixel_type;
  FrameShape shape;
  shape.height = vi.height;
  const Planar planar = FindPlanar(type);
  if (planar.type) {
    const int w = 1 << planar.type->shift_w, h = 1 << planar.type->shift_h;
    if (vi.width % w != 0 || vi.height % h != 0) {
      throw HostError("NewVideoFrame: " + planar.name + " frames need a width a multiple of " +
                      std::to_string(w) + " and a height a multiple of " + std::to_string(h) +
                      ", got " + std::to_string(vi.width) + "x" + std::to_string(vi.height));
    }
  } else if (type == VideoInfo::CS_YUY2) {
    if (vi.width % 2 != 0) {
      throw HostError("NewVideoFrame: YUY2 frames need an even width, got " +
                      std::to_string(vi.width));
    }
  } else if (type != VideoInfo::CS_BGR24 && type != VideoInfo::CS_BGR32) {
    throw HostError("NewVideoFrame: unsupported pixel type " + Hex(type) +
                    " (this host makes I420, YV12, YV16, YV24, YV411, Y8, YUY2, RGB24 and "
                    "RGB32 frames, and YUV420P, YUV422P, YUV444P and Y at 10 to 16 bits)");
  }
  // The host's rows are bytes; the interface's BytesFromPixels counts one a
  // planar sample.
  const int64_t row = int64_t{planar.type ? planar.sample_bytes : vi.BytesFromPixels(1)} * vi.width;
  if (row > INT_MAX) {
    throw HostError("NewVideoFrame: width " + std::to_string(vi.width) + " is too large");
  }
  shape.row_size = static_cast<int>(row);
  if (planar.type && planar.type->chroma) {
    shape.chroma_row_size = (vi.width >> planar.type->shift_w) * planar.sample_bytes;
    shape.chroma_height = vi.height >> planar.type->shift_h;
    shape.v_first = type != VideoInfo::CS_I420;
  }
  return shape;
}

int NormalizeAlignment(int align) {
  const int64_t magnitude = align < 0 ? -int64_t{align} : align;
  if (magnitude == 0) return 1;
  if (magnitude > 4096 || (magnitude & (magnitude - 1)) != 0) {
    throw HostError("NewVideoFrame: alignment " + std::to_string(align) +
                    " is not a power of two up to 4096");
  }
  return static_cast<int>(magnitude);
}

FrameGeometry LayOut(const FrameShape& shape, FrameLayout layout, int alignment) {
  return layout == FrameLayout::kHostLike ? HostLike(shape, alignment) : Contiguous(shape);
}

}  // namespace vantrel::host
