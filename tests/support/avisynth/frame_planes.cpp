#include "avisynth/frame_planes.h"

#include <cstring>
#include <string>

#include "avisynth/frame_layout.h"
#include "avisynth/host_access.h"
#include "avisynth/host_error.h"

namespace vantrel::host {

std::vector<int> PlanesOf(const VideoFrame& frame) {
  if (frame.GetPitch(PLANAR_U) == 0) return {0};
  return {PLANAR_Y, PLANAR_U, PLANAR_V};
}

static bool IsChroma(int plane) { return plane == PLANAR_U || plane == PLANAR_V; }

int RowSizeOf(const VideoFrame& frame, int plane) {
  return IsChroma(plane) ? AvsHostAccess::Frame::Of(frame).row_size_uv : frame.GetRowSize(plane);
}

int HeightOf(const VideoFrame& frame, int plane) {
  return IsChroma(plane) ? AvsHostAccess::Frame::Of(frame).height_uv : frame.GetHeight(plane);
}

size_t TightSize(const VideoFrame& frame) {
  size_t size = 0;
  for (int plane : PlanesOf(frame)) {
    size +=
        static_cast<size_t>(RowSizeOf(frame, plane)) * static_cast<size_t>(HeightOf(frame, plane));
  }
  return size;
}

std::vector<BYTE> CopyOut(const VideoFrame& frame) {
  std::vector<BYTE> tight;
  tight.reserve(TightSize(frame));
  for (int plane : PlanesOf(frame)) {
    const BYTE* line = frame.GetReadPtr(plane);
    for (int y = 0; y < HeightOf(frame, plane); ++y, line += frame.GetPitch(plane)) {
      tight.insert(tight.end(), line, line + RowSizeOf(frame, plane));
    }
  }
  return tight;
}

void CopyIn(const PVideoFrame& frame, const std::vector<BYTE>& tight) {
  if (tight.size() != TightSize(*frame)) {
    throw HostError("CopyIn: " + std::to_string(tight.size()) + " bytes given for a frame of " +
                    std::to_string(TightSize(*frame)));
  }
  if (!frame->GetWritePtr()) throw HostError("CopyIn: the frame is shared, not writable");
  const BYTE* from = tight.data();
  for (int plane : PlanesOf(*frame)) {
    BYTE* line = frame->GetWritePtr(plane);
    const size_t row = static_cast<size_t>(RowSizeOf(*frame, plane));
    for (int y = 0; y < HeightOf(*frame, plane); ++y, line += frame->GetPitch(plane)) {
      std::memcpy(line, from, row);
      from += row;
    }
  }
}

bool OutsidePlanesIntact(const VideoFrame& frame) {
  const VideoFrameBuffer& buffer = *frame.GetFrameBuffer();
  const BYTE* base = buffer.GetReadPtr();
  std::vector<bool> inside(static_cast<size_t>(buffer.GetDataSize()), false);
  for (int plane : PlanesOf(frame)) {
    const size_t offset = static_cast<size_t>(frame.GetOffset(plane));
    for (int y = 0; y < HeightOf(frame, plane); ++y) {
      const size_t start =
          offset + static_cast<size_t>(y) * static_cast<size_t>(frame.GetPitch(plane));
      for (int x = 0; x < RowSizeOf(frame, plane); ++x)
        inside[start + static_cast<size_t>(x)] = true;
    }
  }
  for (size_t i = 0; i < inside.size(); ++i) {
    if (!inside[i] && base[i] != kGuardByte) return false;
  }
  return true;
}

}  // namespace vantrel::host
