// Loads a plugin library, or takes one linked in, and runs its
// AvisynthPluginInit2 with an environment.
#ifndef VANTREL_HOST_PLUGIN_LOADER_H
#define VANTREL_HOST_PLUGIN_LOADER_H

#include <string>

#include "sdk/avisynth.h"

namespace vantrel::host {

struct PluginLoad {
  bool ok = false;
  std::string description;  // what the entry returned ("" if it returned null)
  std::string error;        // set when !ok: what failed, for which path, and what to do
};

// The library stays loaded for the life of the process: the clips and
// functions it registers point into it. A path without '/' is searched for as
// dlopen does. Never throws.
PluginLoad LoadPlugin(IScriptEnvironment* env, const std::string& path);

// Runs an entry linked into this program; name says which plugin it is in
// messages.
PluginLoad LoadPlugin(IScriptEnvironment* env, AvisynthPluginInit2Func init,
                      const std::string& name);

}  // namespace vantrel::host

#endif  // VANTREL_HOST_PLUGIN_LOADER_H
