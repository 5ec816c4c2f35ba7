// How an environment places planes in the frames it hands out. Kept apart from
// the interface header so the tool can choose a layout without including it.
#ifndef VANTREL_HOST_FRAME_LAYOUT_H
#define VANTREL_HOST_FRAME_LAYOUT_H

namespace vantrel::host {

enum class FrameLayout {
  // Pitch equal to row size, chroma planes directly behind luma in the order
  // the pixel type stores them (YV12: V then U; I420: U then V). The filter's
  // frame block and the tool's raw I/O both assume this.
  kContiguous,
  // Like a real host: pitches padded past the row size, a gap before, between
  // and after the planes, and every byte outside the planes set to kGuardByte,
  // so a filter that ignores a pitch or writes past a row is caught.
  kHostLike,
};

// Fill value of padding and gaps in host-like frames (and of their fresh planes).
constexpr unsigned char kGuardByte = 0xA5;

}  // namespace vantrel::host

#endif  // VANTREL_HOST_FRAME_LAYOUT_H
