#include "avisynth/plugin_loader.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <exception>

namespace vantrel::host {
namespace {

PluginLoad Failure(std::string error) {
  PluginLoad result;
  result.error = std::move(error);
  return result;
}

bool NamesAFile(const std::string& path) { return path.find('/') != std::string::npos; }

std::string OpenError(const std::string& path) {
  const char* detail = dlerror();
  struct stat info;
  if (NamesAFile(path) && stat(path.c_str(), &info) != 0) {
    return "plugin '" + path + "' does not exist; check the path (build the plugin first?)";
  }
  if (NamesAFile(path) && S_ISDIR(info.st_mode)) {
    return "plugin '" + path + "' is a directory; give the path of the library file";
  }
  return "plugin '" + path +
         "' could not be loaded as a shared library: " + (detail ? detail : "unknown reason");
}

}  // namespace

PluginLoad LoadPlugin(IScriptEnvironment* env, const std::string& path) {
  if (!env) return Failure("LoadPlugin: no environment to load '" + path + "' into");
  if (path.empty()) return Failure("LoadPlugin: the plugin path is empty");
  dlerror();
  // Never closed: clips and functions the plugin registers point into it.
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!library) return Failure(OpenError(path));
  dlerror();
  void* symbol = dlsym(library, "AvisynthPluginInit2");
  if (!symbol) {
    return Failure("'" + path +
                   "' is a shared library but has no AvisynthPluginInit2 entry; is it a "
                   "Vantrel (AviSynth 2.5 interface) plugin?");
  }
  return LoadPlugin(env, reinterpret_cast<AvisynthPluginInit2Func>(symbol), "'" + path + "'");
}

PluginLoad LoadPlugin(IScriptEnvironment* env, AvisynthPluginInit2Func init,
                      const std::string& name) {
  if (!env) return Failure("LoadPlugin: no environment to load " + name + " into");
  if (!init) return Failure("LoadPlugin: " + name + " has no entry function");
  try {
    const char* description = init(env);
    PluginLoad result;
    result.ok = true;
    result.description = description ? description : "";
    return result;
  } catch (const std::exception& e) {
    return Failure("AvisynthPluginInit2 of " + name + " failed: " + e.what());
  } catch (...) {
    return Failure("AvisynthPluginInit2 of " + name + " failed with an unknown exception");
  }
}

}  // namespace vantrel::host
