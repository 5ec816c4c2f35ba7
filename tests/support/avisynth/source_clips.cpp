#include "avisynth/source_clips.h"

#include <algorithm>
#include <string>

#include "avisynth/frame_geometry.h"
#include "avisynth/frame_planes.h"
#include "avisynth/host_error.h"

namespace vantrel::host {
namespace {

size_t TightFrameSize(const VideoInfo& vi) {
  const FrameShape shape = ShapeOf(vi);
  return size_t(shape.row_size) * size_t(shape.height) +
         2 * size_t(shape.chroma_row_size) * size_t(shape.chroma_height);
}

void Fill(const PVideoFrame& frame, int n, const SampleGenerator& generator) {
  for (int plane : PlanesOf(*frame)) {
    BYTE* line = frame->GetWritePtr(plane);
    for (int y = 0; y < HeightOf(*frame, plane); ++y, line += frame->GetPitch(plane)) {
      for (int x = 0; x < RowSizeOf(*frame, plane); ++x) line[x] = generator(n, plane, x, y);
    }
  }
}

}  // namespace

MemorySourceClip::MemorySourceClip(const VideoInfo& vi, SampleGenerator generator)
    : SourceClipBase(vi), generator_(std::move(generator)) {
  if (!generator_) throw HostError("MemorySourceClip: no sample generator given");
}

MemorySourceClip::MemorySourceClip(const VideoInfo& vi, std::vector<std::vector<BYTE>> frames)
    : SourceClipBase(vi), frames_(std::move(frames)) {
  if (frames_.size() != static_cast<size_t>(std::max(vi.num_frames, 0))) {
    throw HostError("MemorySourceClip: " + std::to_string(frames_.size()) +
                    " frames given for a clip of " + std::to_string(vi.num_frames));
  }
  for (size_t i = 0; i < frames_.size(); ++i) {
    if (frames_[i].size() != TightFrameSize(vi)) {
      throw HostError("MemorySourceClip: frame " + std::to_string(i) + " has " +
                      std::to_string(frames_[i].size()) + " bytes, the format needs " +
                      std::to_string(TightFrameSize(vi)));
    }
  }
}

PVideoFrame MemorySourceClip::GetFrame(int n, IScriptEnvironment* env) {
  if (vi_.num_frames <= 0) throw HostError("MemorySourceClip: the clip has no frames");
  n = std::clamp(n, 0, vi_.num_frames - 1);
  PVideoFrame frame = env->NewVideoFrame(vi_);
  if (generator_) {
    Fill(frame, n, generator_);
  } else {
    CopyIn(frame, frames_[static_cast<size_t>(n)]);
  }
  return frame;
}

void FedSourceClip::Feed(int n, const PVideoFrame& frame) {
  if (n < 0) throw HostError("fed source: frame number " + std::to_string(n) + " is negative");
  if (!frame) throw HostError("fed source: no frame given for frame " + std::to_string(n));
  const FrameShape want = ShapeOf(vi_);
  const FrameShape got{frame->GetRowSize(), frame->GetHeight(), RowSizeOf(*frame, PLANAR_U),
                       HeightOf(*frame, PLANAR_U)};
  const auto text = [](const FrameShape& s) {
    return std::to_string(s.row_size) + " bytes x " + std::to_string(s.height) + " lines, chroma " +
           std::to_string(s.chroma_row_size) + " x " + std::to_string(s.chroma_height);
  };
  if (text(got) != text(want)) {
    throw HostError("fed source: frame " + std::to_string(n) + " is " + text(got) +
                    " but the clip's frames are " + text(want));
  }
  std::lock_guard<std::mutex> lock(mutex_);
  fed_n_ = n;
  frame_ = frame;
}

void FedSourceClip::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  fed_n_ = -1;
  frame_ = PVideoFrame();
}

PVideoFrame FedSourceClip::GetFrame(int n, IScriptEnvironment*) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!frame_ || fed_n_ != n) {
    throw HostError("fed source: frame " + std::to_string(n) + " was requested but " +
                    (frame_ ? "frame " + std::to_string(fed_n_) + " was fed"
                            : std::string("no frame was fed")) +
                    "; feed each frame before asking for it");
  }
  return frame_;
}

}  // namespace vantrel::host
