// Where the planes of a frame go inside its buffer, for each frame layout.
#ifndef VANTREL_HOST_FRAME_GEOMETRY_H
#define VANTREL_HOST_FRAME_GEOMETRY_H

#include <cstdint>

#include "avisynth/frame_layout.h"
#include "sdk/avisynth.h"

namespace vantrel::host {

// What a frame must hold, independent of where things go.
struct FrameShape {
  int row_size = 0;  // bytes of one luma (or packed) line
  int height = 0;
  int chroma_row_size = 0;  // of each of the two chroma planes; 0: none
  int chroma_height = 0;
  bool v_first = false;  // chroma order in memory (every planar type but I420 stores V first)
};

// Offsets are from the buffer's base, which is aligned to at least the
// requested alignment. Chroma fields are 0 for packed frames.
struct FrameGeometry {
  int offset = 0, pitch = 0, row_size = 0, height = 0;
  int offset_u = 0, offset_v = 0, pitch_uv = 0, chroma_row_size = 0, chroma_height = 0;
  int size = 0;  // bytes of buffer the frame needs
};

// Throws HostError naming what is wrong with vi (pixel type, size, parity).
FrameShape ShapeOf(const VideoInfo& vi);

// Accepts the alignment a plugin passes to NewVideoFrame: its magnitude must be
// a power of two up to 4096 (0 means none). Throws HostError otherwise.
int NormalizeAlignment(int align);

// Throws HostError when the frame would not fit an int-sized buffer.
FrameGeometry LayOut(const FrameShape& shape, FrameLayout layout, int alignment);

}  // namespace vantrel::host

#endif  // VANTREL_HOST_FRAME_GEOMETRY_H
