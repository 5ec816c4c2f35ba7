// Parameter strings and matching a call's arguments against them.
//
// A parameter string is a sequence of type letters, each optionally preceded
// by a bracketed name: "c[a]i[a]b". Letters: c clip, i int, b bool, f float
// (an int is accepted and converted), s string, '.' any value. Unnamed
// parameters are required; named ones are optional and stay undefined when
// the call leaves them out, so AVSValue::AsInt(default) yields the default.
// Calls are positional: the tool and the tests name no argument.
#ifndef VANTREL_HOST_ARG_MATCHING_H
#define VANTREL_HOST_ARG_MATCHING_H

#include <string>
#include <vector>

#include "sdk/avisynth.h"

namespace vantrel::host {

struct Param {
  char type = '.';
  std::string name;  // empty for a required positional parameter
  bool optional() const { return !name.empty(); }
};

// Throws HostError naming the function, the position and the problem.
std::vector<Param> ParseParams(const std::string& function, const std::string& params);

// Arguments fill parameters in order; an undefined value counts as left out.
// Returns one value per parameter; throws HostError when there are too many
// arguments, a wrong type, or a required parameter left out.
std::vector<AVSValue> MatchArgs(const std::string& function, const std::vector<Param>& params,
                                const std::vector<AVSValue>& args);

}  // namespace vantrel::host

#endif  // VANTREL_HOST_ARG_MATCHING_H
