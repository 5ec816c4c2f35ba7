// The stand-in host's script environment: the registry of functions plugins
// add, positional calls by name, and new frames. It provides the slots the
// plugin and the tool use (AddFunction, ThrowError, NewVideoFrame, Invoke
// without argument names); every other slot of IScriptEnvironment reports
// that it is not provided.
//
// Failures are reported by throwing HostError (ThrowError too); only host code
// calls the slots that can fail, apart from NewVideoFrame, whose failure a
// filter passes on to its caller.
//
// Thread safety: NewVideoFrame, AddFunction and CallPositional may be used
// from several threads at once. Every frame and clip must be released before
// the environment is destroyed.
#ifndef VANTREL_HOST_ENVIRONMENT_H
#define VANTREL_HOST_ENVIRONMENT_H

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "avisynth/arg_matching.h"
#include "avisynth/frame_pool.h"

namespace vantrel::host {

// What the host does with a function's clip arguments after a call that
// returned: nothing more, or release each once more, as AviSynth+ 3.7.5 does
// on Linux for classic plugins (it balances a compiler where the callee
// destroys by-value arguments; here the caller already did).
enum class ClipArgRelease { kBalanced, kOnceMore };

class Environment final : public IScriptEnvironment {
 public:
  struct Function {
    std::string name;
    std::string params;
    ApplyFunc apply = nullptr;
    void* user_data = nullptr;
  };

  explicit Environment(FrameLayout layout = FrameLayout::kContiguous,
                       FramePool::Limits limits = {});
  explicit Environment(ClipArgRelease release, FrameLayout layout = FrameLayout::kContiguous);
  ~Environment() override;
  Environment(const Environment&) = delete;
  Environment& operator=(const Environment&) = delete;

  // Registered functions in registration order.
  std::vector<Function> Functions() const;
  // Calls the most recently registered function of that name with the
  // arguments matched against its parameter string (see arg_matching.h).
  // Invoke does the same with an array of arguments or a single one.
  AVSValue CallPositional(const std::string& name, const std::vector<AVSValue>& args);
  // How many clip references calls have taken back under kOnceMore.
  size_t ExtraClipReleases() const { return extra_clip_releases_.load(); }

  FramePool::Stats FrameStats() const { return pool_.GetStats(); }

  long GetCPUFlags() override;
  char* SaveString(const char* s, int length = -1) override;
  char* Sprintf(const char* fmt, ...) override;
  char* VSprintf(const char* fmt, va_list val) override;
  [[noreturn]] void ThrowError(const char* fmt, ...) override;
  void AddFunction(const char* name, const char* params, ApplyFunc apply, void* user_data) override;
  bool FunctionExists(const char* name) override;
  AVSValue Invoke(const char* name, const AVSValue args,
                  const char* const* arg_names = nullptr) override;
  AVSValue GetVar(const char* name) override;
  bool SetVar(const char* name, const AVSValue& val) override;
  bool SetGlobalVar(const char* name, const AVSValue& val) override;
  void PushContext(int level = 0) override;
  void PopContext() override;
  PVideoFrame NewVideoFrame(const VideoInfo& vi, int align = 16) override;
  bool MakeWritable(PVideoFrame* pvf) override;
  void BitBlt(BYTE* dstp, int dst_pitch, const BYTE* srcp, int src_pitch, int row_size,
              int height) override;
  void AtExit(ShutdownFunc function, void* user_data) override;
  void CheckVersion(int version = AVISYNTH_INTERFACE_VERSION) override;
  PVideoFrame Subframe(PVideoFrame src, int rel_offset, int new_pitch, int new_row_size,
                       int new_height) override;
  int SetMemoryMax(int mem) override;
  int SetWorkingDir(const char* newdir) override;
  void* ManageCache(int key, void* data) override;
  bool PlanarChromaAlignment(PlanarChromaAlignmentMode key) override;
  PVideoFrame SubframePlanar(PVideoFrame src, int rel_offset, int new_pitch, int new_row_size,
                             int new_height, int rel_offsetU, int rel_offsetV,
                             int new_pitchUV) override;

 private:
  Function Find(const std::string& name) const;

  FramePool pool_;
  const ClipArgRelease release_ = ClipArgRelease::kBalanced;
  std::atomic<size_t> extra_clip_releases_{0};
  mutable std::mutex mutex_;
  std::vector<Function> functions_;
};

}  // namespace vantrel::host

#endif  // VANTREL_HOST_ENVIRONMENT_H
