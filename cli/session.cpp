#include "cli/session.h"

#include <unistd.h>

#include <climits>
#include <thread>

#include "cli/raw_io.h"
#include "cli/y4m.h"
#include "frontend/filter_limits.h"
#include "frontend/plugin_copy.h"

namespace vantrel::cli {

namespace {

using frontend::Field;

constexpr int kMaxRegions = 100;  // the filter ignores any further ones

std::string SizeText(int width, int height) {
  return std::to_string(width) + "x" + std::to_string(height);
}

// Next to the executable, else where an install puts it.
std::string DefaultPluginPath(const char* argv0) {
  char buffer[4096];
  const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  std::string exe = n > 0 ? std::string(buffer, size_t(n)) : std::string(argv0);
  const size_t slash = exe.rfind('/');
  const std::string dir = slash == std::string::npos ? std::string(".") : exe.substr(0, slash);
  const std::string beside = dir + "/libvantrel.so";
  const std::string installed = dir + "/../lib/avisynth/libvantrel.so";
  return access(beside.c_str(), F_OK) != 0 && access(installed.c_str(), F_OK) == 0 ? installed
                                                                                   : beside;
}

// Twice the rate; false if the header cannot hold it.
bool DoubleRate(Ratio* fps) {
  if (fps->num == 0 || fps->den == 0) return true;  // unknown stays unknown
  if (fps->num <= UINT32_MAX / 2) {
    fps->num *= 2;
  } else if (fps->den % 2 == 0) {
    fps->den /= 2;
  } else {
    return false;
  }
  return true;
}

bool OpenStreams(const Options& o, Session* s, PixelType* type, char* interlace,
                 std::string* error) {
  if (o.raw) {
    auto reader = std::make_unique<RawReader>();
    if (!reader->Open(o.input, o.raw_format)) {
      *error = reader->error();
      return false;
    }
    s->writer = std::make_unique<RawWriter>(reader->format());
    s->reader = std::move(reader);
    *type = o.raw_type;
    return true;
  }
  auto reader = std::make_unique<Y4mReader>();
  if (!reader->Open(o.input)) {
    *error = reader->error();
    return false;
  }
  Y4mHeader header = reader->header();
  if (o.double_rate && header.fps && !DoubleRate(&*header.fps)) {
    *error = reader->name() + ": the frame rate F" + std::to_string(header.fps->num) + ":" +
             std::to_string(header.fps->den) +
             " cannot be doubled in a YUV4MPEG2 header; leave out --double-rate";
    return false;
  }
  *interlace = header.interlace;
  s->writer = std::make_unique<Y4mWriter>(header);
  s->reader = std::move(reader);
  *type = PixelType::kI420;  // Y, then U, then V, as the file stores them
  return true;
}

void ChooseFormat(const Options& o, const FrameFormat& file, PixelType type, Session* s) {
  host::VideoFormat& f = s->format;
  f.pixel_type = type;
  f.width = file.width;
  f.height = file.height;
  if (o.pad && host::IsPlanar(type)) {
    f.width = frontend::PadTo16(f.width);
    f.height = frontend::PadTo16(f.height);
  }
  if (file.fps.num && file.fps.den) {
    f.fps_num = file.fps.num;
    f.fps_den = file.fps.den;
  }
  // The filter never looks at the count; a pipe's is unknown.
  f.frame_count = file.frame_count >= 0 && file.frame_count < INT_MAX ? int(file.frame_count)
                                                                      : INT_MAX;
  if (type == PixelType::kYV12) {
    s->plane_of_file_plane = {0, 2, 1};
  } else if (host::IsPlanar(type)) {
    s->plane_of_file_plane = {0, 1, 2};
  } else {
    s->plane_of_file_plane = {0};
  }
}

void ChooseFields(const Options& o, char interlace, Session* s) {
  std::vector<Field> keep = {o.keep};
  if (o.double_rate) {
    const frontend::FieldOrder order =
        o.field_order ? *o.field_order
                      : (interlace == 'b' ? frontend::FieldOrder::kBottomFirst
                                          : frontend::FieldOrder::kTopFirst);
    const auto in_time = frontend::FieldsInTimeOrder(order);
    keep.assign(in_time.begin(), in_time.end());
  }
  for (const Field field : keep) {
    s->fields.emplace_back();
    s->fields.back().keep = field;
  }
}

// Why the filter will not deinterlace these frames and what to do, or "".
std::string NotDeinterlaced(const Options& o, const host::VideoFormat& f) {
  if (frontend::Deinterlaces(f.pixel_type, f.width, f.height)) return "";
  if (!host::IsPlanar(f.pixel_type)) {
    return std::string("the filter does not deinterlace ") + RawTypeName(f.pixel_type) +
           " frames, only 4:2:0; convert them first, keeping the fields apart (ffmpeg ... -vf "
           "scale=interl=1,format=yuv420p), and give --pixel-type i420";
  }
  return "the filter does not deinterlace " + SizeText(f.width, f.height) +
         " frames (width and height must be multiples of 16)" +
         (o.pad ? "; resize the video" : " and --no-pad leaves them so; leave out --no-pad");
}

std::string RegionText(const RegionOption& r) {
  return std::string(r.add ? "--add-region " : "--sub-region ") + std::to_string(r.x1) + "," +
         std::to_string(r.y1) + "," + std::to_string(r.x2) + "," + std::to_string(r.y2);
}

std::string RegionWarning(const RegionOption& r, const FrameFormat& file,
                          const host::VideoFormat& f) {
  const std::string frame = "the " + SizeText(file.width, file.height) + " frame" +
                            (f.height != file.height || f.width != file.width
                                 ? " (" + SizeText(f.width, f.height) + " padded)"
                                 : "");
  switch (frontend::FitOf({r.x1, r.y1, r.x2, r.y2}, file.width, file.height, f.width, f.height)) {
    case frontend::RectFit::kInside: return "";
    case frontend::RectFit::kPartlyOutside:
      return RegionText(r) + " reaches past " + frame + "; only the part inside counts";
    case frontend::RectFit::kPaddingOnly:
      return RegionText(r) + " lies past " + frame + ", in its padding; it changes nothing";
    case frontend::RectFit::kOutside:
      return RegionText(r) + " is not inside " + frame + "; the filter skips it";
    case frontend::RectFit::kEmpty:
      return RegionText(r) + " is empty (X2 must be above X1 and Y2 above Y1); it changes nothing";
  }
  return "";
}

bool Call(host::ScriptHost& h, const std::string& name, const std::vector<host::Value>& args,
          host::Value* result, std::string* error) {
  if (h.Call(name, args, result, error)) return true;
  *error = "the plugin failed on " + name + ": " + *error;
  return false;
}

bool AddRegions(const Options& o, const Session& s, FieldFilters* field, std::string* error) {
  for (const RegionOption& r : o.regions) {
    frontend::Rect rect{r.x1, r.y1, r.x2, r.y2};
    if (field->keep == Field::kTop) rect = frontend::Flipped(rect, s.format.height);
    host::Value ignored;
    const char* name = r.add ? "VTDeinterlace_AddRegion" : "VTDeinterlace_SubRegion";
    if (!Call(*field->host, name,
              {host::Value::Int(rect.x1), host::Value::Int(rect.y1), host::Value::Int(rect.x2),
               host::Value::Int(rect.y2)},
              &ignored, error)) {
      return false;
    }
  }
  return true;
}

bool BuildFilters(const Options& o, const Session& s, FieldFilters* field, std::string* error) {
  if (!AddRegions(o, s, field, error)) return false;
  using frontend::IntOrOmitted;
  const std::vector<host::Value> args = {
      IntOrOmitted(o.mode),           IntOrOmitted(o.search_range),
      IntOrOmitted(o.comb_threshold), IntOrOmitted(o.match_threshold),
      IntOrOmitted(o.pixel_threshold),
      o.use_comb_mask ? host::Value::Bool(true) : host::Value::Omitted(),
      o.no_output_reference ? host::Value::Bool(false) : host::Value::Omitted()};
  for (int t = 0; t < s.threads; ++t) {
    frontend::FilterChain chain;
    if (!frontend::NewFilterChain(*field->host, s.format, args, &chain, error)) return false;
    field->chains.push_back(std::move(chain));
  }
  return true;
}

}  // namespace

bool OpenInput(const Options& o, Session* s, std::string* error) {
  PixelType type = PixelType::kI420;
  char interlace = 0;
  if (!OpenStreams(o, s, &type, &interlace, error)) return false;
  ChooseFormat(o, s->reader->format(), type, s);
  ChooseFields(o, interlace, s);
  return true;
}

bool CheckRun(const Options& o, const Session& s, std::string* error) {
  if (s.reader->IsSameFile(o.output)) {
    *error = s.reader->name() + " and " + (o.output == "-" ? "standard output" : o.output) +
             " are the same file, so writing would destroy the input; write to another file";
    return false;
  }
  const std::string why = NotDeinterlaced(o, s.format);
  if (why.empty()) return true;
  const std::string reason = s.reader->name() + ": " + why;
  if (!o.show_notices) {
    *error = reason + " (or add --show-notices to get the filter's notice frames)";
    return false;
  }
  if (o.keep == Field::kTop || o.double_rate) {
    *error = reason + " (--show-notices gives the notice frames, but not with --keep top or "
                      "--double-rate)";
    return false;
  }
  return true;
}

std::vector<std::string> Warnings(const Options& o, const Session& s) {
  std::vector<std::string> lines;
  const struct {
    const char* name;
    const std::optional<int32_t>& value;
    frontend::Argument argument;
  } arguments[] = {
      {"--mode", o.mode, frontend::Argument::kMode},
      {"--search-range", o.search_range, frontend::Argument::kSearchRange},
      {"--comb-threshold", o.comb_threshold, frontend::Argument::kCombThreshold},
      {"--match-threshold", o.match_threshold, frontend::Argument::kMatchThreshold},
  };
  for (const auto& a : arguments) {
    const frontend::ArgumentRange range = frontend::RangeOf(a.argument, s.format.width,
                                                            s.format.height);
    if (!a.value || frontend::InRange(range, *a.value)) continue;
    lines.push_back(std::string(a.name) + " " + std::to_string(*a.value) + " is outside " +
                    std::to_string(range.low) + "-" + std::to_string(range.high) +
                    "; the filter uses " + std::to_string(range.fallback));
  }
  const FrameFormat& file = s.reader->format();
  for (size_t i = 0; i < o.regions.size() && i < size_t(kMaxRegions); ++i) {
    const std::string line = RegionWarning(o.regions[i], file, s.format);
    if (!line.empty()) lines.push_back(line);
  }
  if (o.regions.size() > size_t(kMaxRegions)) {
    lines.push_back("only the first " + std::to_string(kMaxRegions) +
                    " regions count; the filter ignores the other " +
                    std::to_string(o.regions.size() - size_t(kMaxRegions)));
  }
  return lines;
}

bool StartRun(const Options& o, const char* argv0, Session* s, std::string* error) {
  const unsigned cores = std::thread::hardware_concurrency();
  s->threads = o.threads > 0 ? o.threads : int(cores ? cores : 1);

  const std::string plugin = o.plugin.empty() ? DefaultPluginPath(argv0) : o.plugin;
  for (size_t i = 0; i < s->fields.size(); ++i) {
    FieldFilters& field = s->fields[i];
    field.host = std::make_unique<host::ScriptHost>(host::FrameLayout::kContiguous);
    std::string description;
    const bool loaded = i == 0 ? field.host->LoadPlugin(plugin, &description, error)
                               : frontend::LoadPluginCopy(*field.host, plugin, error);
    if (!loaded) {
      *error += " (build it with make, or name it with --plugin PATH)";
      return false;
    }
    if (!BuildFilters(o, *s, &field, error)) return false;
  }
  if (!s->writer->Open(o.output) || s->writer->WriteHeader() != WriteStatus::kOk) {
    *error = s->writer->error();
    return false;
  }
  return true;
}

}  // namespace vantrel::cli
