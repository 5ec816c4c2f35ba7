// A plugin instance of its own. The filter's region list belongs to the
// loaded library, one list per process; filters that need different lists
// (a double-rate run keeps one field upside down) each load a private copy.
#pragma once

#include <string>

#include "host/script_host.h"

namespace vantrel::frontend {

// Loads a copy of the library at path into host, apart from any instance
// already loaded; false with a message naming path.
bool LoadPluginCopy(host::ScriptHost& host, const std::string& path, std::string* error);

}  // namespace vantrel::frontend
