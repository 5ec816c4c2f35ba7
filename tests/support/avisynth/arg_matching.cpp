#include "avisynth/arg_matching.h"

#include <cstring>

#include "avisynth/host_error.h"

namespace vantrel::host {
namespace {

const char* TypeName(char type) {
  switch (type) {
    case 'c': return "a clip";
    case 'i': return "an int";
    case 'b': return "a bool";
    case 'f': return "a float";
    case 's': return "a string";
    case 'a': return "an array";
    case 'v': return "nothing";
    default: return "any value";
  }
}

std::string Describe(const std::string& function, const std::vector<Param>& params, size_t i) {
  std::string text = function + ": argument " + std::to_string(i + 1);
  if (params[i].optional()) text += " (" + params[i].name + ")";
  return text;
}

// The value as the parameter wants it, or an undefined value on a mismatch.
AVSValue Coerce(const AVSValue& value, char type) {
  switch (type) {
    case 'c': return value.IsClip() ? value : AVSValue();
    case 'i': return value.IsInt() ? value : AVSValue();
    case 'b': return value.IsBool() ? value : AVSValue();
    case 'f': return value.IsFloat() ? AVSValue(value.AsFloat()) : AVSValue();
    case 's': return value.IsString() ? value : AVSValue();
    default: return value;
  }
}

void Bind(const std::string& function, const std::vector<Param>& params, size_t i,
          const AVSValue& value, std::vector<AVSValue>& bound) {
  if (!value.Defined()) return;
  AVSValue converted = Coerce(value, params[i].type);
  if (!converted.Defined()) {
    throw HostError(Describe(function, params, i) + " must be " + TypeName(params[i].type) +
                    ", not " + TypeName(value.Type()));
  }
  bound[i] = converted;
}

}  // namespace

std::vector<Param> ParseParams(const std::string& function, const std::string& params) {
  std::vector<Param> result;
  for (size_t pos = 0; pos < params.size(); ++pos) {
    Param param;
    if (params[pos] == '[') {
      const size_t close = params.find(']', pos);
      if (close == std::string::npos || close == pos + 1) {
        throw HostError(function + ": parameter string \"" + params + "\" has a bad name at " +
                        std::to_string(pos));
      }
      param.name = params.substr(pos + 1, close - pos - 1);
      pos = close + 1;
    }
    if (pos >= params.size() || !std::strchr("cibfs.", params[pos])) {
      throw HostError(function + ": parameter string \"" + params +
                      "\" needs a type letter (c, i, b, f, s or .) at " + std::to_string(pos));
    }
    param.type = params[pos];
    result.push_back(param);
  }
  return result;
}

std::vector<AVSValue> MatchArgs(const std::string& function, const std::vector<Param>& params,
                                const std::vector<AVSValue>& args) {
  if (args.size() > params.size()) {
    throw HostError(function + ": too many arguments (it takes at most " +
                    std::to_string(params.size()) + ")");
  }
  std::vector<AVSValue> bound(params.size());
  for (size_t i = 0; i < args.size(); ++i) Bind(function, params, i, args[i], bound);
  for (size_t i = 0; i < params.size(); ++i) {
    if (!params[i].optional() && !bound[i].Defined()) {
      throw HostError(Describe(function, params, i) + " (" + TypeName(params[i].type) +
                      ") is required but missing");
    }
  }
  return bound;
}

}  // namespace vantrel::host
