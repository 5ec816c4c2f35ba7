// Script arguments as the C interface hands them over, read as the 2.5 face
// reads them: a value of another type (or one left out) gives the default.
#pragma once

#include <cstdint>

#include "sdk/avisynth_c.h"

namespace vantrel::avs_c {

// An int; a 64-bit one (hosts send them to init2 plugins) saturated to 32
// bits, so that a value out of every range stays out of range.
int32_t IntArg(const AVS_Value& args, int index, int32_t fallback);
bool BoolArg(const AVS_Value& args, int index, bool fallback);
bool Given(const AVS_Value& args, int index);

// A refusal whose text outlives the call, as the host needs: kept by the
// host's environment, or `fallback` (static text) when even that fails.
AVS_Value Refusal(const AvsCApi& api, AVS_ScriptEnvironment* env, const char* message,
                  const char* fallback) noexcept;

}  // namespace vantrel::avs_c
