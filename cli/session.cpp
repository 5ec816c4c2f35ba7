#include "cli/session.h"

#include <unistd.h>

#include <climits>
#include <thread>

#include "cli/padding.h"
#include "cli/raw_io.h"
#include "cli/y4m.h"

namespace vantrel::cli {

namespace {

std::string DefaultPluginPath(const char* argv0) {
  char buffer[4096];
  const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  std::string exe = n > 0 ? std::string(buffer, size_t(n)) : std::string(argv0);
  const size_t slash = exe.rfind('/');
  return (slash == std::string::npos ? std::string(".") : exe.substr(0, slash)) +
         "/libvantrel.so";
}

host::PixelType HostType(PixelType type) {
  switch (type) {
    case PixelType::kI420: return host::PixelType::kI420;
    case PixelType::kYV12: return host::PixelType::kYV12;
    case PixelType::kYUY2: return host::PixelType::kYUY2;
    case PixelType::kRGB24: return host::PixelType::kRGB24;
    case PixelType::kRGB32: return host::PixelType::kRGB32;
  }
  return host::PixelType::kOther;
}

bool OpenStreams(const Options& o, Session* s, PixelType* type, std::string* error) {
  if (o.raw) {
    FrameFormat format;
    if (!MakeRawFormat(o.raw_type, o.raw_width, o.raw_height, &format, error)) return false;
    auto reader = std::make_unique<RawReader>();
    if (!reader->Open(o.input, format)) {
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
  s->writer = std::make_unique<Y4mWriter>(reader->header());
  s->reader = std::move(reader);
  *type = PixelType::kI420;  // Y, then U, then V, as the file stores them
  return true;
}

bool IsPlanar(PixelType type) { return type == PixelType::kI420 || type == PixelType::kYV12; }

void ChooseFormat(const Options& o, const FrameFormat& file, PixelType type, Session* s) {
  host::VideoFormat& f = s->format;
  f.pixel_type = HostType(type);
  f.width = file.width;
  f.height = file.height;
  if (o.pad && IsPlanar(type)) {
    f.width = PadTo16(f.width);
    f.height = PadTo16(f.height);
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
  } else if (IsPlanar(type)) {
    s->plane_of_file_plane = {0, 1, 2};
  } else {
    s->plane_of_file_plane = {0};
  }
}

bool Call(host::ScriptHost& h, const std::string& name, const std::vector<host::Value>& args,
          host::Value* result, std::string* error) {
  if (h.Call(name, args, result, error)) return true;
  *error = "the plugin failed on " + name + ": " + *error;
  return false;
}

host::Value IntOrOmitted(const std::optional<int32_t>& v) {
  return v ? host::Value::Int(*v) : host::Value::Omitted();
}

bool BuildFilters(const Options& o, Session* s, std::string* error) {
  for (const RegionOption& r : o.regions) {
    host::Value ignored;
    const char* name = r.add ? "VTDeinterlace_AddRegion" : "VTDeinterlace_SubRegion";
    if (!Call(*s->host, name,
              {host::Value::Int(r.x1), host::Value::Int(r.y1), host::Value::Int(r.x2),
               host::Value::Int(r.y2)},
              &ignored, error)) {
      return false;
    }
  }
  for (int t = 0; t < s->threads; ++t) {
    FilterChain chain;
    if (!s->host->NewFedSource(s->format, &chain.source, error)) return false;
    host::Value result;
    const std::vector<host::Value> args = {
        host::Value::Of(chain.source.clip()), IntOrOmitted(o.mode), IntOrOmitted(o.search_range),
        IntOrOmitted(o.comb_threshold),       IntOrOmitted(o.match_threshold),
        IntOrOmitted(o.pixel_threshold),
        o.use_comb_mask ? host::Value::Bool(true) : host::Value::Omitted(),
        o.no_output_reference ? host::Value::Bool(false) : host::Value::Omitted()};
    if (!Call(*s->host, "VantrelDeinterlace", args, &result, error)) return false;
    if (result.kind() != host::Value::Kind::kClip) {
      *error = "the plugin's VantrelDeinterlace did not return a clip; is --plugin a Vantrel library?";
      return false;
    }
    chain.filter = result.AsClip();
    s->chains.push_back(std::move(chain));
  }
  return true;
}

}  // namespace

bool OpenSession(const Options& o, const char* argv0, Session* s, std::string* error) {
  PixelType type = PixelType::kI420;
  if (!OpenStreams(o, s, &type, error)) return false;
  ChooseFormat(o, s->reader->format(), type, s);

  const unsigned cores = std::thread::hardware_concurrency();
  s->threads = o.threads > 0 ? o.threads : int(cores ? cores : 1);

  const std::string plugin = o.plugin.empty() ? DefaultPluginPath(argv0) : o.plugin;
  s->host = std::make_unique<host::ScriptHost>(host::FrameLayout::kContiguous);
  std::string description;
  if (!s->host->LoadPlugin(plugin, &description, error)) {
    *error += " (build it with make, or name it with --plugin PATH)";
    return false;
  }
  if (!BuildFilters(o, s, error)) return false;
  if (!s->writer->Open(o.output) || s->writer->WriteHeader() != WriteStatus::kOk) {
    *error = s->writer->error();
    return false;
  }
  return true;
}

std::string NoticeWarning(const Session& s) {
  const host::VideoFormat& f = s.format;
  if (f.pixel_type == host::PixelType::kYUY2 || f.pixel_type == host::PixelType::kRGB24 ||
      f.pixel_type == host::PixelType::kRGB32) {
    return std::string("warning: ") + host::PixelTypeName(f.pixel_type) +
           " frames are not deinterlaced; every output frame carries a notice asking for YV12. "
           "Give 4:2:0 frames instead (ffmpeg -pix_fmt yuv420p, or --pixel-type i420/yv12)";
  }
  if (f.width % 16 == 0 && f.height % 16 == 0) return "";
  return "warning: " + std::to_string(f.width) + "x" + std::to_string(f.height) +
         " is not a multiple of 16, so the filter does not deinterlace it and every output "
         "frame carries its notice. Add --pad to extend each frame to " +
         std::to_string(PadTo16(f.width)) + "x" + std::to_string(PadTo16(f.height)) +
         " for processing and crop the result back, or resize the video";
}

}  // namespace vantrel::cli
