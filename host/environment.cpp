// Registry, calls, strings, variables and the plain slots. The frame slots
// are in environment_frames.cpp.
#include "host/environment.h"

#include <cstdio>
#include <cstring>

#include "host/host_error.h"

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

}  // namespace

Environment::Environment(FrameLayout layout, FramePool::Limits limits) : pool_(layout, limits) {}

// Shutdown callbacks run newest first, while everything they might use is
// still here.
Environment::~Environment() {
  for (auto it = at_exit_.rbegin(); it != at_exit_.rend(); ++it) it->first(it->second, this);
}

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
AVSValue Environment::Call(const std::string& name, const std::vector<Arg>& args) {
  const Function function = Find(name);
  const std::vector<AVSValue> bound = MatchArgs(name, ParseParams(name, function.params), args);
  const AVSValue array(bound.data(), static_cast<int>(bound.size()));
  return function.apply(array, function.user_data, this);
}

AVSValue Environment::CallPositional(const std::string& name, const std::vector<AVSValue>& args) {
  std::vector<Arg> positional;
  for (const AVSValue& value : args) positional.push_back({value, {}});
  return Call(name, positional);
}

long Environment::GetCPUFlags() {
  long flags = 0;
#if defined(__x86_64__) || defined(__i386__)
  flags |= CPUF_FPU;
  if (__builtin_cpu_supports("mmx")) flags |= CPUF_MMX;
  if (__builtin_cpu_supports("sse")) flags |= CPUF_SSE | CPUF_INTEGER_SSE;
  if (__builtin_cpu_supports("sse2")) flags |= CPUF_SSE2;
#endif
  return flags;
}

char* Environment::SaveString(const char* s, int length) {
  if (!s) s = "";
  const size_t size = length < 0 ? std::strlen(s) : static_cast<size_t>(length);
  std::lock_guard<std::mutex> lock(mutex_);
  strings_.emplace_back(s, size);
  return &strings_.back()[0];
}

char* Environment::Sprintf(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  std::string text = FormatV(fmt, args);
  va_end(args);
  return SaveString(text.c_str(), static_cast<int>(text.size()));
}

char* Environment::VSprintf(const char* fmt, va_list val) {
  const std::string text = FormatV(fmt, val);
  return SaveString(text.c_str(), static_cast<int>(text.size()));
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

bool Environment::FunctionExists(const char* name) {
  const std::string wanted = NameOrEmpty(name);
  std::lock_guard<std::mutex> lock(mutex_);
  for (const Function& f : functions_) {
    if (f.name == wanted) return true;
  }
  return false;
}

// An array value is the argument list; any other value is a single argument.
AVSValue Environment::Invoke(const char* name, const AVSValue args, const char* const* arg_names) {
  std::vector<Arg> list;
  const int count = args.IsArray() ? args.ArraySize() : (args.Defined() ? 1 : 0);
  for (int i = 0; i < count; ++i) {
    const char* arg_name = arg_names ? arg_names[i] : nullptr;
    list.push_back({args[i], NameOrEmpty(arg_name)});
  }
  return Call(NameOrEmpty(name), list);
}

AVSValue Environment::GetVar(const char* name) {
  const std::string key = NameOrEmpty(name);
  std::lock_guard<std::mutex> lock(mutex_);
  if (!scopes_.empty()) {
    auto local = scopes_.back().find(key);
    if (local != scopes_.back().end()) return local->second;
  }
  auto global = globals_.find(key);
  if (global == globals_.end()) throw HostError("no variable named '" + key + "'");
  return global->second;
}

// Both setters answer whether the variable is new.
bool Environment::SetVar(const char* name, const AVSValue& val) {
  std::lock_guard<std::mutex> lock(mutex_);
  Scope& scope = scopes_.empty() ? globals_ : scopes_.back();
  return scope.insert_or_assign(NameOrEmpty(name), val).second;
}

bool Environment::SetGlobalVar(const char* name, const AVSValue& val) {
  std::lock_guard<std::mutex> lock(mutex_);
  return globals_.insert_or_assign(NameOrEmpty(name), val).second;
}

void Environment::PushContext(int) {
  std::lock_guard<std::mutex> lock(mutex_);
  scopes_.emplace_back();
}

void Environment::PopContext() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (scopes_.empty()) throw HostError("PopContext without a matching PushContext");
  scopes_.pop_back();
}

void Environment::AtExit(ShutdownFunc function, void* user_data) {
  if (!function) return;
  std::lock_guard<std::mutex> lock(mutex_);
  at_exit_.emplace_back(function, user_data);
}

void Environment::CheckVersion(int version) {
  if (version > AVISYNTH_INTERFACE_VERSION) {
    throw HostError("a plugin needs interface version " + std::to_string(version) +
                    "; this host provides version " + std::to_string(AVISYNTH_INTERFACE_VERSION));
  }
}

int Environment::SetMemoryMax(int mem) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (mem > 0) memory_max_mb_ = mem;
  return memory_max_mb_;
}

int Environment::SetWorkingDir(const char*) { return 1; }

void* Environment::ManageCache(int, void*) { return nullptr; }

// Test reports the setting; On and Off change it.
bool Environment::PlanarChromaAlignment(PlanarChromaAlignmentMode key) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (key == PlanarChromaAlignmentTest) return chroma_alignment_;
  chroma_alignment_ = key == PlanarChromaAlignmentOn;
  return true;
}

}  // namespace vantrel::host
