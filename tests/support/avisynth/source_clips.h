// Source clips: an in-memory one for tests, and a fed one for the tool, whose
// caller hands it the frame to answer for each request.
#ifndef VANTREL_HOST_SOURCE_CLIPS_H
#define VANTREL_HOST_SOURCE_CLIPS_H

#include <functional>
#include <mutex>
#include <vector>

#include "sdk/avisynth.h"

namespace vantrel::host {

// Neither source has audio or known field parity.
class SourceClipBase : public IClip {
 public:
  explicit SourceClipBase(const VideoInfo& vi) : vi_(vi) {}
  bool GetParity(int) override { return vi_.IsTFF(); }
  void GetAudio(void*, int64_t, int64_t, IScriptEnvironment*) override {}
  void SetCacheHints(int, int) override {}
  const VideoInfo& GetVideoInfo() override { return vi_; }

 protected:
  const VideoInfo vi_;
};

// Sample of frame n at column x (in bytes) and line y of plane (PLANAR_Y/U/V,
// or 0 for a packed frame).
using SampleGenerator = std::function<BYTE(int n, int plane, int x, int y)>;

// Makes each requested frame afresh with env->NewVideoFrame, so its frames
// have the environment's layout. Requests outside 0..num_frames-1 are clamped
// into it, as hosts do.
class MemorySourceClip : public SourceClipBase {
 public:
  MemorySourceClip(const VideoInfo& vi, SampleGenerator generator);
  // One entry per frame, each the tight planes Y, U, V. Throws HostError on a
  // wrong count or size.
  MemorySourceClip(const VideoInfo& vi, std::vector<std::vector<BYTE>> frames);

  PVideoFrame GetFrame(int n, IScriptEnvironment* env) override;

 private:
  SampleGenerator generator_;
  std::vector<std::vector<BYTE>> frames_;
};

// Answers a request for frame n with the frame last fed for n. The frame stays
// held until the next Feed or Clear, so asking again for the same n works.
class FedSourceClip : public SourceClipBase {
 public:
  explicit FedSourceClip(const VideoInfo& vi) : SourceClipBase(vi) {}

  // Throws HostError when n is negative or the frame's size or plane structure
  // does not match the clip's format.
  void Feed(int n, const PVideoFrame& frame);
  void Clear();

  // Throws HostError when frame n was not the one fed.
  PVideoFrame GetFrame(int n, IScriptEnvironment* env) override;

 private:
  std::mutex mutex_;
  int fed_n_ = -1;
  PVideoFrame frame_;
};

}  // namespace vantrel::host

#endif  // VANTREL_HOST_SOURCE_CLIPS_H
