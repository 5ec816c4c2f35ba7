// Registry, calls and the slots the plugin and the tool use; every other slot
// says it is not provided.
#include "avisynth/environment.h"

#include <cstdio>

#include "avisynth/host_access.h"
#include "avisynth/host_error.h"

namespace vantrel::host {
namespace {

std::string FormatV(const char* fmt, va_list args) {
  if (!fmt) return {};
  va_list copy;
  va_copy(copy, args);
  const int length = std::vsnprintf(nullptr, 0, fmt, copy);
  va_end(copy);
  if (length <= 0) return {};
  std::string text(static_cast<size_t>(length) + 1, '\0');
  std::vsnprintf(&text[0], text.size(), fmt, args);
  text.pop_back();
  return text;
}

std::string NameOrEmpty(const char* name) { return name ? name : ""; }

[[noreturn]] void NotProvided(const char* slot) {
  throw HostError(std::string(slot) + " is not provided by this host");
}

}  // namespace

Environment::Environment(FrameLayout layout, FramePool::Limits limits) : pool_(layout, limits) {}

Environment::Environment(ClipArgRelease release, FrameLayout layout)
    : pool_(layout, {}), release_(release) {}

Environment::~Environment() = default;

std::vector<Environment::Function> Environment::Functions() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return functions_;
}

Environment::Function Environment::Find(const std::string& name) const {
  std::lock_guard<std::mutex> lock(mutex_);
  for (auto it = functions_.rbegin(); it != functions_.rend(); ++it) {
    if (it->name == name) return *it;
  }
  std::string known;
  for (const Function& f : functions_) known += (known.empty() ? "" : ", ") + f.name;
  throw HostError("no function named '" + name + "' is registered (known: " +
                  (known.empty() ? "none; load a plugin first" : known) + ")");
}

// The apply function may run for a long time and may call back into the
// environment, so no lock is held during the call.
AVSValue Environment::CallPositional(const std::string& name, const std::vector<AVSValue>& args) {
  const Function function = Find(name);
  const std::vector<AVSValue> bound = MatchArgs(name, ParseParams(name, function.params), args);
  const AVSValue array(bound.data(), static_cast<int>(bound.size()));
  AVSValue result = function.apply(array, function.user_data, this);
  if (release_ == ClipArgRelease::kOnceMore) {
    for (const AVSValue& arg : bound) {
      if (!arg.IsClip()) continue;
      AvsHostAccess::ReleaseClip(*arg.AsClip().get());
      ++extra_clip_releases_;
    }
  }
  return result;
}

void Environment::ThrowError(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  std::string text = FormatV(fmt, args);
  va_end(args);
  throw HostError(text);
}

void Environment::AddFunction(const char* name, const char* params, ApplyFunc apply,
                              void* user_data) {
  std::lock_guard<std::mutex> lock(mutex_);
  functions_.push_back({NameOrEmpty(name), NameOrEmpty(params), apply, user_data});
}

AVSValue Environment::Invoke(const char* name, const AVSValue args, const char* const* arg_names) {
  if (arg_names) NotProvided("Invoke with argument names");
  std::vector<AVSValue> values;
  for (int i = 0; i < args.ArraySize(); ++i) values.push_back(args[i]);
  return CallPositional(NameOrEmpty(name), values);
}

PVideoFrame Environment::NewVideoFrame(const VideoInfo& vi, int align) {
  return pool_.NewFrame(ShapeOf(vi), NormalizeAlignment(align));
}

long Environment::GetCPUFlags() { NotProvided("GetCPUFlags"); }
char* Environment::SaveString(const char*, int) { NotProvided("SaveString"); }
char* Environment::Sprintf(const char*, ...) { NotProvided("Sprintf"); }
char* Environment::VSprintf(const char*, va_list) { NotProvided("VSprintf"); }
bool Environment::FunctionExists(const char*) { NotProvided("FunctionExists"); }
AVSValue Environment::GetVar(const char*) { NotProvided("GetVar"); }
bool Environment::SetVar(const char*, const AVSValue&) { NotProvided("SetVar"); }
bool Environment::SetGlobalVar(const char*, const AVSValue&) { NotProvided("SetGlobalVar"); }
void Environment::PushContext(int) { NotProvided("PushContext"); }
void Environment::PopContext() { NotProvided("PopContext"); }
bool Environment::MakeWritable(PVideoFrame*) { NotProvided("MakeWritable"); }
void Environment::BitBlt(BYTE*, int, const BYTE*, int, int, int) { NotProvided("BitBlt"); }
void Environment::AtExit(ShutdownFunc, void*) { NotProvided("AtExit"); }
void Environment::CheckVersion(int) { NotProvided("CheckVersion"); }
PVideoFrame Environment::Subframe(PVideoFrame, int, int, int, int) { NotProvided("Subframe"); }
int Environment::SetMemoryMax(int) { NotProvided("SetMemoryMax"); }
int Environment::SetWorkingDir(const char*) { NotProvided("SetWorkingDir"); }
void* Environment::ManageCache(int, void*) { NotProvided("ManageCache"); }
bool Environment::PlanarChromaAlignment(PlanarChromaAlignmentMode) {
  NotProvided("PlanarChromaAlignment");
}
PVideoFrame Environment::SubframePlanar(PVideoFrame, int, int, int, int, int, int, int) {
  NotProvided("SubframePlanar");
}

}  // namespace vantrel::host
