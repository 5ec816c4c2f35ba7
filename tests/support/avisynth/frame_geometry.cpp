#include "avisynth/frame_geometry.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <string>

#include "avisynth/host_error.h"

namespace vantrel::host {
namespace {

// The planar types of AviSynth+: chroma planes of width >> shift_w and
// height >> shift_h, or none. Its families (the 8-bit member first) come at
// every integer depth, a sample of more than 8 bits in 2 bytes.
struct PlanarType {
  int pixel_type;  // of the family's 8-bit member
  const char* name;
  int shift_w, shift_h;
  bool chroma;
  const char* deep_name;  // of the family at 10 to 16 bits, without them; none: 8 bits only
};
constexpr PlanarType kPlanarTypes[] = {
    {VideoInfo::CS_YV12, "YV12", 1, 1, true, "YUV420P"},
    {VideoInfo::CS_I420, "I420", 1, 1, true, nullptr},
    {VideoInfo::CS_YV16, "YV16", 1, 0, true, "YUV422P"},
    {VideoInfo::CS_YV24, "YV24", 0, 0, true, "YUV444P"},
    {VideoInfo::CS_YV411, "YV411", 2, 0, true, nullptr},
    {VideoInfo::CS_Y8, "Y8", 0, 0, false, "Y"},
};

struct Depth {
  int sample_bits;
  const char* name;
};
constexpr Depth kDeepSamples[] = {
    {VideoInfo::CS_Sample_Bits_10, "10"},
    {VideoInfo::CS_Sample_Bits_12, "12"},
    {VideoInfo::CS_Sample_Bits_14, "14"},
    {VideoInfo::CS_Sample_Bits_16, "16"},
};

struct Planar {
  const PlanarType* type = nullptr;  // none: not a planar type
  int sample_bytes = 1;
  std::string name;
};

Planar FindPlanar(int pixel_type) {
  for (const PlanarType& p : kPlanarTypes) {
    if (pixel_type == p.pixel_type) return {&p, 1, p.name};
    for (const Depth& d : kDeepSamples) {
      if (p.deep_name && pixel_type == (p.pixel_type | d.sample_bits)) {
        return {&p, 2, std::string(p.deep_name) + d.name};
      }
    }
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
