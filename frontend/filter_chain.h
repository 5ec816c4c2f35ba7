// The plugin's filter on a source the caller feeds, as every face runs it.
// The filter serves several threads at once, but a fed source answers for
// one frame at a time, so each thread drives a chain of its own.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "host/script_host.h"

namespace vantrel::frontend {

struct FilterChain {
  host::FedSource source;
  host::Clip filter;
};

// Left out unless given, so that the filter's own default applies.
host::Value IntOrOmitted(const std::optional<int32_t>& value);

// A fed source of `format` in host, and the plugin's VantrelDeinterlace
// called on it with filter_args after the clip; false with a message saying
// what failed.
bool NewFilterChain(host::ScriptHost& host, const host::VideoFormat& format,
                    const std::vector<host::Value>& filter_args, FilterChain* chain,
                    std::string* error);

}  // namespace vantrel::frontend
