#include "frontend/filter_chain.h"

namespace vantrel::frontend {

host::Value IntOrOmitted(const std::optional<int32_t>& value) {
  return value ? host::Value::Int(*value) : host::Value::Omitted();
}

bool NewFilterChain(host::ScriptHost& host, const host::VideoFormat& format,
                    const std::vector<host::Value>& filter_args, FilterChain* chain,
                    std::string* error) {
  FilterChain made;
  if (!host.NewFedSource(format, &made.source, error)) return false;
  std::vector<host::Value> args = {host::Value::Of(made.source.clip())};
  args.insert(args.end(), filter_args.begin(), filter_args.end());
  host::Value result;
  if (!host.Call("VantrelDeinterlace", args, &result, error)) {
    *error = "the plugin failed on VantrelDeinterlace: " + *error;
    return false;
  }
  if (result.kind() != host::Value::Kind::kClip) {
    *error = "the plugin's VantrelDeinterlace returned no clip";
    return false;
  }
  made.filter = result.AsClip();
  *chain = std::move(made);
  return true;
}

}  // namespace vantrel::frontend
