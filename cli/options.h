// The tool's command line: what to read and write, the filter's arguments,
// regions, and how to run.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/raw_io.h"
#include "core/params.h"
#include "core/placement.h"

namespace vantrel::cli {

struct RegionOption {
  bool add;  // --add-region; otherwise --sub-region
  int32_t x1, y1, x2, y2;
};

struct Options {
  std::string input;
  std::string output;

  // The filter's arguments as given (its defaults where none was).
  RequestedParams filter;
  std::vector<RegionOption> regions;

  // Raw frames instead of YUV4MPEG2: their type and layout.
  bool raw = false;
  int32_t raw_width = 0, raw_height = 0;
  RawType raw_type;
  FrameFormat raw_format;

  bool pad = true;  // planar sizes that are not multiples of 16
  bool show_notices = false;
  std::optional<Field> keep;  // else the stream's field order (y4m.h)
  bool double_rate = false;
  std::optional<FieldOrder> field_order;  // else the stream's, else top first
  std::string map;         // --map FILE, "" for none
  int threads = 0;         // 0: one per core
  int64_t max_frames = -1; // -1: all
  enum class Progress { kAuto, kOn, kQuiet } progress = Progress::kAuto;

  bool help = false;
  bool version = false;
  bool no_arguments = false;  // the tool was run bare: it shows the usage
};

// Parses argv; false with a message (naming the option and what to do).
bool ParseOptions(int argc, const char* const* argv, Options* options, std::string* error);

// "--search-range" for the search range, and so on.
std::string OptionName(const ParamInfo& info);

// Strict decimal integer in the int32 range, sign allowed.
bool ParseInt32(const std::string& text, int32_t* value);

const char* UsageText();

}  // namespace vantrel::cli
