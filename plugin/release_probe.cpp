#include "plugin/release_probe.h"

#include <cstring>
#include <new>

// The clip's own count and reference, which the interface keeps private.
struct AvsPluginAccess {
  static long Count(const IClip& clip) { return __atomic_load_n(&clip.refcnt, __ATOMIC_ACQUIRE); }
  static void AddRef(IClip& clip) { clip.AddRef(); }
};

namespace vantrel {
namespace {

// An int, not a clip: the host neither wraps it nor takes its threading mode
// into the filter being built, and another plugin's function of the same name
// would not answer it.
constexpr int kProbeAnswer = 0x56545250;

// A clip only the probe holds; it has no video and serves nothing.
class ProbeClip final : public IClip {
 public:
  PVideoFrame GetFrame(int, IScriptEnvironment*) override { return PVideoFrame(); }
  bool GetParity(int) override { return false; }
  void GetAudio(void*, int64_t, int64_t, IScriptEnvironment*) override {}
  void SetCacheHints(int, int) override {}
  const VideoInfo& GetVideoInfo() override { return vi_; }

 private:
  VideoInfo vi_{};
};

// A clip's first word is its vtable pointer: the same in every probe clip and
// in no clip of the host, so the nested call needs no shared state.
const void* VtableOf(const IClip& clip) {
  const void* vtable;
  std::memcpy(&vtable, static_cast<const void*>(&clip), sizeof vtable);
  return vtable;
}

}  // namespace

bool IsReleaseProbe(const AVSValue& first_argument) {
  const PClip clip = first_argument.AsClip();
  const ProbeClip sample;
  return clip && VtableOf(*clip) == VtableOf(sample);
}

AVSValue ReleaseProbeAnswer() { return AVSValue(kProbeAnswer); }

bool HostReleasesClipArgumentOnceMore(IScriptEnvironment* env, const char* name) {
  auto* probe = new (std::nothrow) ProbeClip;
  if (!probe) return false;  // the filter's own allocation then fails and says so
  // Two holders, so that a reference taken too many cannot free it mid-call.
  const PClip holder(probe), spare(probe);
  const long before = AvsPluginAccess::Count(*probe);
  bool answered = false;
  try {
    const AVSValue answer = env->Invoke(name, AVSValue(holder));
    answered = answer.IsInt() && answer.AsInt() == kProbeAnswer;
  } catch (...) {
    // A call the host cannot make tells nothing: hold none.
  }
  // Every value that pointed at the probe, the host's too, is gone by now.
  const long after = AvsPluginAccess::Count(*probe);
  for (long i = after; i < before; ++i) AvsPluginAccess::AddRef(*probe);  // the holders free it
  return answered && after == before - 1;
}

void HoldForHostRelease(const PClip& clip) { AvsPluginAccess::AddRef(*clip); }

}  // namespace vantrel
