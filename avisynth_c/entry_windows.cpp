// The DLL's two exports. AviSynth+ hands a C plugin no table of its
// functions: they are exports of the host's own module, which is the module
// the entry point is called from, whatever its file name. Resolving them at
// run time keeps the DLL's imports to KERNEL32 and msvcrt.
#include <windows.h>

#include "avisynth_c/face.h"
#include "avisynth_shared/script_functions.h"

namespace {

HMODULE HostModule(void* caller) {
  HMODULE module = nullptr;
  if (GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                             GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         static_cast<LPCWSTR>(caller), &module)) {
    return module;
  }
  return GetModuleHandleW(L"AviSynth.dll");
}

void* Find(const char* name, void* module) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}

// A process has one host: the table is filled once, by the first call.
const vantrel::avs_c::HostLink* Host(void* caller) {
  static vantrel::avs_c::HostLink link;
  static const bool resolved = AvsCResolve(&link.api, Find, HostModule(caller)) == nullptr;
  return resolved ? &link : nullptr;
}

// The entry point's string is not shown anywhere; a host that lacks a
// function gets no script functions at all rather than a face that fails
// later.
const char* Init(AVS_ScriptEnvironment* env, void* caller) noexcept {
  const vantrel::avs_c::HostLink* link = Host(caller);
  if (!link || !vantrel::avs_c::AddScriptFunctions(link, env)) return nullptr;
  return vantrel::kPluginDescription;
}

}  // namespace

// Not inlined, so that the return address is the host's call.
extern "C" __attribute__((noinline)) const char* avisynth_c_plugin_init2(
    AVS_ScriptEnvironment* env) {
  return Init(env, __builtin_return_address(0));
}

extern "C" __attribute__((noinline)) const char* avisynth_c_plugin_init(
    AVS_ScriptEnvironment* env) {
  return Init(env, __builtin_return_address(0));
}
