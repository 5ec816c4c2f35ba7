#include "cli/options.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace vantrel::cli {

std::string OptionName(const ParamInfo& info) {
  std::string name = std::string("--") + info.name;
  for (char& c : name) c = c == '_' ? '-' : c;
  return name;
}

bool ParseInt32(const std::string& text, int32_t* value) {
  if (text.empty() || std::isspace(static_cast<unsigned char>(text[0]))) return false;
  errno = 0;
  char* end = nullptr;
  const long long v = std::strtoll(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || v < INT32_MIN || v > INT32_MAX) return false;
  *value = int32_t(v);
  return true;
}

static bool ParseRegion(const std::string& text, RegionOption* region) {
  int32_t v[4];
  size_t start = 0;
  for (int i = 0; i < 4; ++i) {
    const size_t comma = text.find(',', start);
    const bool last = i == 3;
    if (last != (comma == std::string::npos)) return false;
    const std::string part = text.substr(start, last ? std::string::npos : comma - start);
    if (!ParseInt32(part, &v[i])) return false;
    start = comma + 1;
  }
  region->x1 = v[0];
  region->y1 = v[1];
  region->x2 = v[2];
  region->y2 = v[3];
  return true;
}

namespace {

enum class Kind { kFlag, kValue };

struct Spec {
  const char* name;
  Kind kind;
};

// The filter's integer arguments are named after the parameter table.
const Spec kSpecs[] = {
    {"--use-comb-mask", Kind::kFlag},
    {"--no-output-reference", Kind::kFlag}, {"--add-region", Kind::kValue},
    {"--sub-region", Kind::kValue},     {"--raw", Kind::kValue},
    {"--pixel-type", Kind::kValue},     {"--pad", Kind::kFlag},
    {"--no-pad", Kind::kFlag},          {"--show-notices", Kind::kFlag},
    {"--keep", Kind::kValue},           {"--double-rate", Kind::kFlag},
    {"--field-order", Kind::kValue},    {"--map", Kind::kValue},
    {"--threads", Kind::kValue},        {"--frames", Kind::kValue},
    {"--progress", Kind::kFlag},        {"--quiet", Kind::kFlag},
    {"--help", Kind::kFlag},
    {"-h", Kind::kFlag},                {"--version", Kind::kFlag},
};

// The filter argument an option names, or null.
const ParamInfo* FilterArgument(const std::string& name) {
  for (const ParamInfo& info : kParams) {
    if (name == OptionName(info)) return &info;
  }
  return nullptr;
}

const Spec* FindSpec(const std::string& name) {
  static const Spec kFilterValue{"", Kind::kValue};
  if (FilterArgument(name)) return &kFilterValue;
  for (const Spec& s : kSpecs)
    if (name == s.name) return &s;
  return nullptr;
}

std::string BadValue(const std::string& name, const std::string& value, const char* want) {
  return "option " + name + ": '" + value + "' is not " + want;
}

// Which flags were given, for the checks that need the whole command line.
struct Given {
  bool pixel_type = false;
};

bool Apply(const std::string& name, const std::string& value, Options* o, std::string* error,
           Given* given) {
  int32_t v = 0;
  if (const ParamInfo* argument = FilterArgument(name)) {
    if (!ParseInt32(value, &(o->filter.*argument->field))) {
      *error = BadValue(name, value, "an integer");
      return false;
    }
    return true;
  }
  if (name == "--use-comb-mask") return o->filter.use_comb_mask = true;
  if (name == "--no-output-reference") {
    o->filter.use_output_reference = false;
    return true;
  }
  if (name == "--add-region" || name == "--sub-region") {
    RegionOption r{name == "--add-region", 0, 0, 0, 0};
    if (!ParseRegion(value, &r)) {
      *error = BadValue(name, value, "four integers X1,Y1,X2,Y2 (for example 0,0,720,288)");
      return false;
    }
    o->regions.push_back(r);
    return true;
  }
  if (name == "--raw") {
    o->raw = true;
    return ParseFrameSize(value, &o->raw_width, &o->raw_height, error) ||
           (*error = "option --raw: " + *error, false);
  }
  if (name == "--pixel-type") {
    given->pixel_type = true;
    return ParsePixelType(value, &o->raw_type, error) ||
           (*error = "option --pixel-type: " + *error, false);
  }
  if (name == "--pad" || name == "--no-pad") {
    o->pad = name == "--pad";
    return true;
  }
  if (name == "--show-notices") return o->show_notices = true;
  if (name == "--keep") {
    if (value == "top" || value == "bottom") {
      o->keep = value == "top" ? Field::kTop : Field::kBottom;
      return true;
    }
    *error = BadValue(name, value, "top or bottom (the even or the odd lines)");
    return false;
  }
  if (name == "--double-rate") return o->double_rate = true;
  if (name == "--field-order") {
    if (value == "tff" || value == "bff") {
      o->field_order = value == "tff" ? FieldOrder::kTopFirst : FieldOrder::kBottomFirst;
      return true;
    }
    *error = BadValue(name, value, "tff or bff (top or bottom field first)");
    return false;
  }
  if (name == "--map") {
    if (value.empty()) {
      *error = "option --map needs a file name (or - for standard output)";
      return false;
    }
    o->map = value;
    return true;
  }
  if (name == "--threads") {
    if (!ParseInt32(value, &v) || v < 0 || v > 256) {
      *error = BadValue(name, value, "a thread count from 1 to 256 (0 for one per core)");
      return false;
    }
    o->threads = v;
    return true;
  }
  if (name == "--frames") {
    if (!ParseInt32(value, &v) || v < 0) {
      *error = BadValue(name, value, "a frame count of 0 or more");
      return false;
    }
    o->max_frames = v;
    return true;
  }
  if (name == "--progress") {
    o->progress = Options::Progress::kOn;
    return true;
  }
  if (name == "--quiet") {
    o->progress = Options::Progress::kQuiet;
    return true;
  }
  if (name == "--help" || name == "-h") return o->help = true;
  if (name == "--version") return o->version = true;
  *error = "internal: unhandled option " + name;
  return false;
}

}  // namespace

bool ParseOptions(int argc, const char* const* argv, Options* o, std::string* error) {
  if (argc <= 1) return o->no_arguments = true;
  std::vector<std::string> positional;
  Given given;
  bool only_positional = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (only_positional || arg == "-" || arg.size() < 2 || arg[0] != '-') {
      positional.push_back(arg);
      continue;
    }
    if (arg == "--") {
      only_positional = true;
      continue;
    }
    const size_t eq = arg.find('=');
    const std::string name = arg.substr(0, eq);
    const Spec* spec = FindSpec(name);
    if (!spec) {
      *error = "unknown option '" + name + "' (see vantrel --help)";
      return false;
    }
    std::string value;
    if (spec->kind == Kind::kValue) {
      if (eq != std::string::npos) {
        value = arg.substr(eq + 1);
      } else if (i + 1 < argc) {
        value = argv[++i];  // taken as given, so negative numbers are values
      } else {
        *error = "option " + name + " needs a value";
        return false;
      }
    } else if (eq != std::string::npos) {
      *error = "option " + name + " takes no value";
      return false;
    }
    if (!Apply(name, value, o, error, &given)) return false;
  }
  if (o->help || o->version) return true;
  if (given.pixel_type && !o->raw) {
    *error = "option --pixel-type needs --raw WIDTHxHEIGHT";
    return false;
  }
  if (o->keep && o->double_rate) {
    *error = "--double-rate keeps each field in turn; leave out --keep";
    return false;
  }
  if (o->field_order && !o->double_rate) {
    *error = "--field-order orders the frames of --double-rate; add --double-rate or leave it out";
    return false;
  }
  if (positional.size() != 2) {
    *error = positional.size() < 2 ? "give an INPUT and an OUTPUT (a file or - for each)"
                                   : "too many arguments: '" + positional[2] +
                                         "' (give only INPUT and OUTPUT)";
    return false;
  }
  o->input = positional[0];
  o->output = positional[1];
  if (!o->map.empty() && o->map == o->output) {
    *error = "--map " + o->map + " is also the OUTPUT; give the map a file of its own";
    return false;
  }
  if (o->raw && !given.pixel_type) {
    *error = "option --raw needs --pixel-type " + NameList(NameKind::kRawTypes, "|", "|");
    return false;
  }
  if (o->raw && !MakeRawFormat(o->raw_type, o->raw_width, o->raw_height, &o->raw_format, error)) {
    *error = "option --raw: " + *error;
    return false;
  }
  return true;
}

namespace {

// The usage with each {name} list from formats.h filled in; a line that
// grows too long goes on at its own indentation.
std::string FilledUsage(std::string text) {
  constexpr size_t kWidth = 79;
  const std::pair<std::string, NameKind> lists[] = {{"{layouts}", NameKind::kLayouts},
                                                    {"{deep-layouts}", NameKind::kDeepLayouts},
                                                    {"{y4m-tags}", NameKind::kY4mTags},
                                                    {"{planar-types}", NameKind::kPlanarRawTypes},
                                                    {"{packed-types}", NameKind::kPackedRawTypes}};
  for (const auto& [key, kind] : lists) {
    const size_t at = text.find(key);
    if (at != std::string::npos) text.replace(at, key.size(), NameList(kind, ", ", " or "));
  }
  for (size_t line = 0; line < text.size();) {
    size_t end = std::min(text.find('\n', line), text.size());
    if (end - line > kWidth) {
      const size_t indent = text.find_first_not_of(' ', line) - line;
      const size_t space = text.rfind(' ', line + kWidth);
      text.replace(space, 1, "\n" + std::string(indent, ' '));
      end = space;
    }
    line = end + 1;
  }
  return text;
}

}  // namespace

const char* UsageText() {
  static const std::string text = FilledUsage(R"(Usage: vantrel [options] INPUT OUTPUT

Deinterlaces video with the Vantrel filter. INPUT and OUTPUT are files or -
for standard input and output, YUV4MPEG2 unless --raw is given.
Layouts: 8-bit {layouts}; 9- to 16-bit {deep-layouts} at the depths below, samples little-endian as FFmpeg stores them.
Example:
  ffmpeg -i in.mkv -f yuv4mpegpipe - | vantrel - - | ffmpeg -i - out.mkv

Filter:
  --mode N               0 pass-through, 1 line doubling, 2 interpolate
                         everywhere, 3 interpolate where combed, 4 as 3 plus
                         motion repair (default 4)
  --search-range N       motion search range in samples, 0 .. min(width,
                         height) (16)
  --comb-threshold N     comb detector threshold, 0 .. 255 (48)
  --match-threshold N    largest accepted match cost, 0 .. 65535 (8192)
  --add-region X1,Y1,X2,Y2   keep the deinterlaced luma in this rectangle
  --sub-region X1,Y1,X2,Y2   keep the source luma in this rectangle
                         (repeatable; applied in command-line order; at most
                         100 count)
Values reach the filter as given: it uses its default instead of one out of
range, and the tool warns.

Accepted for scripts' sake; no mode reads them:
  --pixel-threshold N    (default 257)
  --use-comb-mask        (default off)
  --no-output-reference  (the reference is on by default)

Fields:
  --keep top|bottom      the field passed through: top, the even lines, or
                         bottom, the odd lines (default: the stream's order,
                         top for It, bottom for Ib, Ip or no tag)
  --double-rate          two frames per frame, one keeping each field, at twice
                         the frame rate (50i becomes 50p)
  --field-order tff|bff  the field shown first, for --double-rate (default: the
                         stream's It or Ib tag, else tff)
An Im stream is followed frame by frame: FRAME Ixy gives the order in x (t or
b) and, with y = p, marks a frame progressive, which passes through as it is
(twice with --double-rate).

Input and output:
  YUV4MPEG2 colour tags (none: 4:2:0), kept in the output:
                         {y4m-tags}
  --raw WxH --pixel-type T
                         raw frames of that size and type in, the same out.
                         T: {planar-types} (I names and FFmpeg's store U before V, YV names V before U); {packed-types} only with --show-notices
  --no-pad               leave sizes that are not multiples of 16 as they
                         are; by default they are extended (1080 lines to 1088)
                         and cropped back after deinterlacing (--pad)
  --show-notices         let frames the filter does not deinterlace through
                         with its notice drawn in; without it such a run is
                         refused
  --map FILE             also write, as YUV4MPEG2, a map of what the filter did
                         to each output frame: the picture dimmed in grey,
                         lines rebuilt by interpolation in yellow, blocks
                         repaired by the motion search in cyan, a red border
                         round a frame combed throughout, in the output's
                         layout
  --frames N             stop after N input frames

Running:
  --threads N            frames processed in parallel (default: one per core)
  --progress / --quiet   force the progress line on / print nothing but errors
  --help, --version

Exit status:
  0    done; also when the reader of OUTPUT leaves early (as | head does)
  1    the run started, then an input, output or system error stopped it (a
       damaged frame, a full disk, memory or threads that run out); the
       frames before it are written
  2    the run could not start, and every output is as it was: no arguments,
       a bad option, an input that cannot be read or whose header or frames
       the filter would not take, an OUTPUT or --map that cannot be opened, is
       the input file or a terminal, a closed standard stream given as -
  130  Ctrl-C (SIGINT) stopped the reading; the frames read before it are
       written (interrupts within a second are one)
  143  the same after SIGTERM
)");
  return text.c_str();
}

}  // namespace vantrel::cli
