#include "host/script_host.h"

#include <exception>

#include "host/environment.h"
#include "host/host_error.h"
#include "host/plugin_loader.h"
#include "host/source_clips.h"

namespace vantrel::host {
namespace {

using EnvPtr = std::shared_ptr<Environment>;

struct FormatTypes {
  PixelType type;
  int pixel_type;
};
constexpr FormatTypes kTypes[] = {
    {PixelType::kI420, VideoInfo::CS_I420},   {PixelType::kYV12, VideoInfo::CS_YV12},
    {PixelType::kYUY2, VideoInfo::CS_YUY2},   {PixelType::kRGB24, VideoInfo::CS_BGR24},
    {PixelType::kRGB32, VideoInfo::CS_BGR32},
};

// Runs fn, turning any failure into *error.
template <typename Fn>
bool Guarded(std::string* error, Fn&& fn) {
  try {
    fn();
    return true;
  } catch (const std::exception& e) {
    if (error) *error = e.what();
  } catch (...) {
    if (error) *error = "unknown failure in the host";
  }
  return false;
}

bool Fail(std::string* error, const std::string& message) {
  if (error) *error = message;
  return false;
}

// Throws HostError when the format cannot be made.
VideoInfo ToVideoInfo(const VideoFormat& format) {
  VideoInfo vi{};
  for (const FormatTypes& t : kTypes) {
    if (t.type == format.pixel_type) vi.pixel_type = t.pixel_type;
  }
  if (vi.pixel_type == 0) {
    throw HostError("the pixel type must be I420, YV12, YUY2, RGB24 or RGB32");
  }
  if (format.fps_den == 0) throw HostError("the frame rate's denominator is 0");
  if (format.frame_count < 0) {
    throw HostError("the frame count " + std::to_string(format.frame_count) + " is negative");
  }
  vi.width = format.width;
  vi.height = format.height;
  vi.fps_numerator = format.fps_num;
  vi.fps_denominator = format.fps_den;
  vi.num_frames = format.frame_count;
  ShapeOf(vi);  // the same checks NewVideoFrame makes, before any clip exists
  return vi;
}

bool Loaded(const PluginLoad& load, std::string* description, std::string* error) {
  if (!load.ok) return Fail(error, load.error);
  if (description) *description = load.description;
  return true;
}

int PlaneId(bool planar, int index) {
  static constexpr int kPlanar[] = {PLANAR_Y, PLANAR_U, PLANAR_V};
  if (planar) return index >= 0 && index < 3 ? kPlanar[index] : -1;
  return index == 0 ? 0 : -1;
}

int PlaneCount(const PVideoFrame& frame) {
  if (!frame) return 0;
  return frame->GetPitch(PLANAR_U) ? 3 : 1;
}

}  // namespace

const char* PixelTypeName(PixelType type) {
  switch (type) {
    case PixelType::kI420: return "I420";
    case PixelType::kYV12: return "YV12";
    case PixelType::kYUY2: return "YUY2";
    case PixelType::kRGB24: return "RGB24";
    case PixelType::kRGB32: return "RGB32";
    default: return "other";
  }
}

// Members in this order so the frame or clip goes before the environment.
struct Frame::Impl {
  EnvPtr env;
  PVideoFrame frame;
};
struct WritableFrame::Impl {
  EnvPtr env;
  PVideoFrame frame;
};
struct Clip::Impl {
  EnvPtr env;
  PClip clip;
};
struct FedSource::Impl {
  EnvPtr env;
  PClip clip;
  FedSourceClip* fed;  // the object clip holds
};

Frame::Frame() = default;
Frame::~Frame() = default;
Frame::Frame(Frame&&) noexcept = default;
Frame& Frame::operator=(Frame&&) noexcept = default;

int Frame::plane_count() const { return impl_ ? PlaneCount(impl_->frame) : 0; }

ConstPlaneView Frame::plane(int index) const {
  const int id = PlaneId(plane_count() == 3, index);
  if (!impl_ || id < 0) return {};
  const VideoFrame& f = *impl_->frame;
  return {f.GetReadPtr(id), f.GetPitch(id), f.GetRowSize(id), f.GetHeight(id)};
}

WritableFrame::WritableFrame() = default;
WritableFrame::~WritableFrame() = default;
WritableFrame::WritableFrame(WritableFrame&&) noexcept = default;
WritableFrame& WritableFrame::operator=(WritableFrame&&) noexcept = default;

int WritableFrame::plane_count() const { return impl_ ? PlaneCount(impl_->frame) : 0; }

PlaneView WritableFrame::plane(int index) const {
  const int id = PlaneId(plane_count() == 3, index);
  if (!impl_ || id < 0) return {};
  const VideoFrame& f = *impl_->frame;
  return {f.GetWritePtr(id), f.GetPitch(id), f.GetRowSize(id), f.GetHeight(id)};
}

Clip::Clip() = default;
Clip::~Clip() = default;
Clip::Clip(const Clip&) = default;
Clip& Clip::operator=(const Clip&) = default;

VideoFormat Clip::format() const {
  VideoFormat format;
  if (!impl_) return format;
  const VideoInfo& vi = impl_->clip->GetVideoInfo();
  format.pixel_type = PixelType::kOther;
  for (const FormatTypes& t : kTypes) {
    if (t.pixel_type == vi.pixel_type) format.pixel_type = t.type;
  }
  format.width = vi.width;
  format.height = vi.height;
  format.fps_num = vi.fps_numerator;
  format.fps_den = vi.fps_denominator;
  format.frame_count = vi.num_frames;
  return format;
}

bool Clip::GetFrame(int n, Frame* frame, std::string* error) const {
  if (!impl_) return Fail(error, "GetFrame: the clip handle is empty");
  if (!frame) return Fail(error, "GetFrame: no frame handle to fill");
  return Guarded(error, [&] {
    PVideoFrame result = impl_->clip->GetFrame(n, impl_->env.get());
    if (!result) throw HostError("the clip returned no frame for frame " + std::to_string(n));
    frame->impl_.reset(new Frame::Impl{impl_->env, result});
  });
}

FedSource::FedSource() = default;
FedSource::~FedSource() = default;
FedSource::FedSource(const FedSource&) = default;
FedSource& FedSource::operator=(const FedSource&) = default;

Clip FedSource::clip() const {
  Clip clip;
  if (impl_) clip.impl_.reset(new Clip::Impl{impl_->env, impl_->clip});
  return clip;
}

bool FedSource::Feed(int n, WritableFrame* frame, std::string* error) {
  if (!impl_) return Fail(error, "Feed: the source handle is empty");
  if (!frame || !*frame) return Fail(error, "Feed: no frame given for frame " + std::to_string(n));
  return Guarded(error, [&] {
    impl_->fed->Feed(n, frame->impl_->frame);
    frame->impl_.reset();
  });
}

Value Value::Int(int value) {
  Value v;
  v.kind_ = Kind::kInt;
  v.int_ = value;
  return v;
}

Value Value::Bool(bool value) {
  Value v;
  v.kind_ = Kind::kBool;
  v.bool_ = value;
  return v;
}

Value Value::Of(const Clip& clip) {
  Value v;
  v.kind_ = Kind::kClip;
  v.clip_ = clip;
  return v;
}

ScriptHost::ScriptHost(FrameLayout layout) : env_(std::make_shared<Environment>(layout)) {}
ScriptHost::~ScriptHost() = default;

Environment& ScriptHost::environment() { return *env_; }

bool ScriptHost::LoadPlugin(const std::string& path, std::string* description, std::string* error) {
  return Loaded(host::LoadPlugin(env_.get(), path), description, error);
}

bool ScriptHost::LoadPlugin(PluginEntry entry, const std::string& name, std::string* description,
                            std::string* error) {
  return Loaded(host::LoadPlugin(env_.get(), entry, name), description, error);
}

std::vector<std::string> ScriptHost::FunctionNames() const {
  std::vector<std::string> names;
  for (const Environment::Function& f : env_->Functions()) names.push_back(f.name);
  return names;
}

bool ScriptHost::Call(const std::string& function, const std::vector<Value>& args, Value* result,
                      std::string* error) {
  std::vector<AVSValue> values;
  for (size_t i = 0; i < args.size(); ++i) {
    switch (args[i].kind()) {
      case Value::Kind::kOmitted: values.emplace_back(); break;
      case Value::Kind::kInt: values.emplace_back(args[i].AsInt()); break;
      case Value::Kind::kBool: values.emplace_back(args[i].AsBool()); break;
      case Value::Kind::kClip:
        if (!args[i].AsClip()) {
          return Fail(
              error, function + ": argument " + std::to_string(i + 1) + " is an empty clip handle");
        }
        values.emplace_back(args[i].AsClip().impl_->clip);
        break;
    }
  }
  return Guarded(error, [&] {
    const AVSValue answer = env_->CallPositional(function, values);
    Value out;
    if (answer.IsClip() && answer.AsClip()) {
      Clip clip;
      clip.impl_.reset(new Clip::Impl{env_, answer.AsClip()});
      out = Value::Of(clip);
    } else if (answer.IsInt()) {
      out = Value::Int(answer.AsInt());
    } else if (answer.IsBool()) {
      out = Value::Bool(answer.AsBool());
    } else if (answer.Defined()) {
      throw HostError(function + " returned a value of type '" + std::string(1, answer.Type()) +
                      "', which this host does not pass on");
    }
    if (result) *result = out;
  });
}

bool ScriptHost::NewFedSource(const VideoFormat& format, FedSource* source, std::string* error) {
  if (!source) return Fail(error, "NewFedSource: no source handle to fill");
  return Guarded(error, [&] {
    const VideoInfo vi = ToVideoInfo(format);
    auto* fed = new FedSourceClip(vi);
    PClip clip(fed);
    source->impl_.reset(new FedSource::Impl{env_, clip, fed});
  });
}

bool ScriptHost::NewFrame(const VideoFormat& format, WritableFrame* frame, std::string* error) {
  if (!frame) return Fail(error, "NewFrame: no frame handle to fill");
  return Guarded(error, [&] {
    PVideoFrame fresh = env_->NewVideoFrame(ToVideoInfo(format));
    frame->impl_.reset(new WritableFrame::Impl{env_, fresh});
  });
}

}  // namespace vantrel::host
