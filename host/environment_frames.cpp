// The environment's frame slots: allocation, copy-on-write and sub-frames.
#include <climits>
#include <cstring>
#include <string>

#include "host/environment.h"
#include "host/host_error.h"

namespace vantrel::host {
namespace {

void CopyPlane(Environment& env, const VideoFrame& src, BYTE* dst, int dst_pitch, int plane) {
  env.BitBlt(dst, dst_pitch, src.GetReadPtr(plane), src.GetPitch(plane), src.GetRowSize(plane),
             src.GetHeight(plane));
}

int CheckedOffset(int64_t offset, const char* what) {
  if (offset < INT_MIN || offset > INT_MAX) {
    throw HostError(std::string("Subframe: ") + what + " offset is out of range");
  }
  return static_cast<int>(offset);
}

}  // namespace

PVideoFrame Environment::NewVideoFrame(const VideoInfo& vi, int align) {
  return pool_.NewFrame(ShapeOf(vi), NormalizeAlignment(align));
}

// A frame someone else also holds is replaced by a copy with the same planes.
bool Environment::MakeWritable(PVideoFrame* pvf) {
  if (!pvf || !*pvf || (*pvf)->IsWritable()) return false;
  const VideoFrame& src = **pvf;
  FrameShape shape;
  shape.row_size = src.GetRowSize();
  shape.height = src.GetHeight();
  shape.planar = src.GetPitch(PLANAR_U) != 0;
  shape.v_first = src.GetOffset(PLANAR_V) < src.GetOffset(PLANAR_U);
  PVideoFrame copy = pool_.NewFrame(shape, NormalizeAlignment(16));
  CopyPlane(*this, src, copy->GetWritePtr(), copy->GetPitch(), 0);
  if (shape.planar) {
    CopyPlane(*this, src, copy->GetWritePtr(PLANAR_U), copy->GetPitch(PLANAR_U), PLANAR_U);
    CopyPlane(*this, src, copy->GetWritePtr(PLANAR_V), copy->GetPitch(PLANAR_V), PLANAR_V);
  }
  *pvf = copy;
  return true;
}

void Environment::BitBlt(BYTE* dstp, int dst_pitch, const BYTE* srcp, int src_pitch, int row_size,
                         int height) {
  if (row_size <= 0 || height <= 0) return;
  if (!dstp || !srcp) throw HostError("BitBlt: a plane pointer is null");
  if (dst_pitch == row_size && src_pitch == row_size) {
    std::memcpy(dstp, srcp, static_cast<size_t>(row_size) * static_cast<size_t>(height));
    return;
  }
  for (int y = 0; y < height; ++y) {
    std::memcpy(dstp + static_cast<ptrdiff_t>(y) * dst_pitch,
                srcp + static_cast<ptrdiff_t>(y) * src_pitch, static_cast<size_t>(row_size));
  }
}

PVideoFrame Environment::Share(const PVideoFrame& src, int64_t offset, int new_pitch,
                               int new_row_size, int new_height, int64_t offset_u, int64_t offset_v,
                               int new_pitch_uv) {
  if (!src) throw HostError("Subframe: the source frame is null");
  AvsHostAccess::Planes planes{
      CheckedOffset(offset, "luma"), new_pitch, new_row_size, new_height, 0, 0, new_pitch_uv};
  if (new_pitch_uv != 0) {
    planes.offsetU = CheckedOffset(offset_u, "U");
    planes.offsetV = CheckedOffset(offset_v, "V");
  }
  return pool_.ShareBuffer(src, planes);
}

// A packed view: the result has no chroma planes, as the host's own does.
PVideoFrame Environment::Subframe(PVideoFrame src, int rel_offset, int new_pitch, int new_row_size,
                                  int new_height) {
  const int64_t base = src ? src->GetOffset() : 0;
  return Share(src, base + rel_offset, new_pitch, new_row_size, new_height, 0, 0, 0);
}

PVideoFrame Environment::SubframePlanar(PVideoFrame src, int rel_offset, int new_pitch,
                                        int new_row_size, int new_height, int rel_offsetU,
                                        int rel_offsetV, int new_pitchUV) {
  if (!src) throw HostError("Subframe: the source frame is null");
  return Share(src, int64_t{src->GetOffset()} + rel_offset, new_pitch, new_row_size, new_height,
               int64_t{src->GetOffset(PLANAR_U)} + rel_offsetU,
               int64_t{src->GetOffset(PLANAR_V)} + rel_offsetV, new_pitchUV);
}

}  // namespace vantrel::host
