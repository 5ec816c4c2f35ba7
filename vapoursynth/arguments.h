// What a script gives vantrel.Deinterlace, checked before any filter exists:
// VapourSynth users expect a script error, not a silent default.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "core/format.h"
#include "core/params.h"
#include "sdk/vapoursynth4.h"

namespace vantrel::vs {

struct Arguments {
  RequestedParams filter;  // its defaults where none was given
  int field = -1;  // -1: from each frame's _FieldBased; 0: bottom; 1: top
  bool double_rate = false;
};

// Empty, with *format set to the core's format of the clip's, when the
// filter can take the clip; otherwise why not and how to convert it.
std::string ClipError(const VSVideoInfo& vi, const VSAPI* vsapi, PixelFormat* format);

// Reads the optional arguments for frames of width x height (before padding).
// False with a message naming the argument and its range.
bool ReadArguments(const VSMap* in, const VSAPI* vsapi, int width, int height,
                   Arguments* arguments, std::string* error);

}  // namespace vantrel::vs
