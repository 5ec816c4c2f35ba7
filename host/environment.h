// The stand-in host's script environment: every slot of IScriptEnvironment,
// the registry of functions plugins add, and calls by name.
//
// Failures are reported by throwing HostError (ThrowError too); only host code
// calls the slots that can fail, apart from NewVideoFrame, whose failure a
// filter passes on to its caller.
//
// Thread safety: NewVideoFrame, MakeWritable, Subframe*, SaveString, Sprintf,
// AddFunction, Call/Invoke and the variable slots may be used from several
// threads at once. Every frame and clip must be released before the
// environment is destroyed.
#ifndef VANTREL_HOST_ENVIRONMENT_H
#define VANTREL_HOST_ENVIRONMENT_H

#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "host/arg_matching.h"
#include "host/frame_pool.h"

namespace vantrel::host {

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
  ~Environment() override;
  Environment(const Environment&) = delete;
  Environment& operator=(const Environment&) = delete;

  // Registered functions in registration order.
  std::vector<Function> Functions() const;
  // Calls the most recently registered function of that name with the
  // arguments matched against its parameter string (see arg_matching.h).
  AVSValue Call(const std::string& name, const std::vector<Arg>& args);
  // Shorthand for positional arguments.
  AVSValue CallPositional(const std::string& name, const std::vector<AVSValue>& args);

  FrameLayout layout() const { return pool_.layout(); }
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
  // Reports the limit in MB; the pool bounds its own idle memory regardless.
  int SetMemoryMax(int mem) override;
  // Changing the process's directory from one of several threads would
  // surprise the others: refused with 1, nothing changed.
  int SetWorkingDir(const char* newdir) override;
  void* ManageCache(int key, void* data) override;
  bool PlanarChromaAlignment(PlanarChromaAlignmentMode key) override;
  PVideoFrame SubframePlanar(PVideoFrame src, int rel_offset, int new_pitch, int new_row_size,
                             int new_height, int rel_offsetU, int rel_offsetV,
                             int new_pitchUV) override;

 private:
  using Scope = std::map<std::string, AVSValue>;

  Function Find(const std::string& name) const;
  PVideoFrame Share(const PVideoFrame& src, int64_t offset, int new_pitch, int new_row_size,
                    int new_height, int64_t offset_u, int64_t offset_v, int new_pitch_uv);

  // Declared first so it goes last: values and clips below may hold frames.
  FramePool pool_;
  mutable std::mutex mutex_;
  std::vector<Function> functions_;
  std::deque<std::string> strings_;
  Scope globals_;
  std::vector<Scope> scopes_;
  std::vector<std::pair<ShutdownFunc, void*>> at_exit_;
  int memory_max_mb_ = 1024;
  bool chroma_alignment_ = true;
};

}  // namespace vantrel::host

#endif  // VANTREL_HOST_ENVIRONMENT_H
