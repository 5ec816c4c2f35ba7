// The tool's view of the stand-in host, free of the interface header: an
// environment, plugins, calls by name, fed source clips and frames.
//
// Errors come back as messages (a false result and *error set); nothing here
// throws except std::bad_alloc. Handles are reference counted and keep the
// environment alive, so they may be dropped in any order. One ScriptHost may
// serve several threads at once as long as each clip chain (a fed source and
// the filters built on it) is driven by one thread at a time.
#ifndef VANTREL_HOST_SCRIPT_HOST_H
#define VANTREL_HOST_SCRIPT_HOST_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/frame_layout.h"
#include "host/pixel_type.h"

class IScriptEnvironment;

namespace vantrel::host {

// A plugin's AvisynthPluginInit2, for a plugin linked into the program.
using PluginEntry = const char* (*)(::IScriptEnvironment* env);

class Environment;

struct VideoFormat {
  PixelType pixel_type = PixelType::kYV12;
  int width = 0;
  int height = 0;
  unsigned fps_num = 25;
  unsigned fps_den = 1;
  int frame_count = 0;
};

// Planes are addressed by identity: 0 is Y (or the only plane of a packed
// frame), 1 is U, 2 is V, whatever their order in memory.
struct PlaneView {
  uint8_t* data = nullptr;
  int pitch = 0;
  int row_size = 0;  // bytes
  int height = 0;
};
struct ConstPlaneView {
  const uint8_t* data = nullptr;
  int pitch = 0;
  int row_size = 0;
  int height = 0;
};

// A frame obtained from a clip; read only.
class Frame {
 public:
  Frame();
  ~Frame();
  Frame(Frame&&) noexcept;
  Frame& operator=(Frame&&) noexcept;

  explicit operator bool() const { return impl_ != nullptr; }
  int plane_count() const;  // 3 planar, 1 packed, 0 empty
  ConstPlaneView plane(int index) const;

 private:
  friend class Clip;
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// A new frame that only this handle holds, to be filled and fed.
class WritableFrame {
 public:
  WritableFrame();
  ~WritableFrame();
  WritableFrame(WritableFrame&&) noexcept;
  WritableFrame& operator=(WritableFrame&&) noexcept;

  explicit operator bool() const { return impl_ != nullptr; }
  int plane_count() const;
  PlaneView plane(int index) const;

 private:
  friend class ScriptHost;
  friend class FedSource;
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

class Clip {
 public:
  Clip();
  ~Clip();
  Clip(const Clip&);
  Clip& operator=(const Clip&);

  explicit operator bool() const { return impl_ != nullptr; }
  VideoFormat format() const;
  // Frame n of the clip; false with *error set when the clip (or a clip it
  // reads from) fails.
  bool GetFrame(int n, Frame* frame, std::string* error) const;

 private:
  friend class ScriptHost;
  friend class FedSource;
  struct Impl;
  std::shared_ptr<Impl> impl_;
};

// A source clip answering each request with the frame fed for it.
class FedSource {
 public:
  FedSource();
  ~FedSource();
  FedSource(const FedSource&);
  FedSource& operator=(const FedSource&);

  explicit operator bool() const { return impl_ != nullptr; }
  Clip clip() const;
  // Hands over the frame for request n; on success *frame is left empty.
  // Fails on a frame of another format or a negative n.
  bool Feed(int n, WritableFrame* frame, std::string* error);

 private:
  friend class ScriptHost;
  struct Impl;
  std::shared_ptr<Impl> impl_;
};

// An argument or result of a script function.
class Value {
 public:
  enum class Kind { kOmitted, kInt, kBool, kClip };

  Value() = default;  // omitted: an optional parameter takes its default
  static Value Omitted() { return Value(); }
  static Value Int(int value);
  static Value Bool(bool value);
  static Value Of(const Clip& clip);

  Kind kind() const { return kind_; }
  int AsInt() const { return int_; }
  bool AsBool() const { return bool_; }
  const Clip& AsClip() const { return clip_; }

 private:
  Kind kind_ = Kind::kOmitted;
  int int_ = 0;
  bool bool_ = false;
  Clip clip_;
};

class ScriptHost {
 public:
  explicit ScriptHost(FrameLayout layout = FrameLayout::kContiguous);
  ~ScriptHost();
  ScriptHost(const ScriptHost&) = delete;
  ScriptHost& operator=(const ScriptHost&) = delete;

  // Loads the library at path and runs its entry; *description gets what the
  // entry returned.
  bool LoadPlugin(const std::string& path, std::string* description, std::string* error);
  // Runs the entry of a plugin linked in; name stands for it in messages.
  bool LoadPlugin(PluginEntry entry, const std::string& name, std::string* description,
                  std::string* error);

  // Registered function names, in registration order.
  std::vector<std::string> FunctionNames() const;

  // Calls a registered function with positional arguments. A result other
  // than a clip, int, bool or nothing is reported as an error.
  bool Call(const std::string& function, const std::vector<Value>& args, Value* result,
            std::string* error);

  // Fails with a message on a format this host cannot make frames for
  // (non-positive or, for 4:2:0 and YUY2, odd sizes; kOther; zero fps_den;
  // negative frame_count).
  bool NewFedSource(const VideoFormat& format, FedSource* source, std::string* error);
  bool NewFrame(const VideoFormat& format, WritableFrame* frame, std::string* error);

  // The environment underneath, for code that speaks the interface header.
  Environment& environment();

 private:
  std::shared_ptr<Environment> env_;
};

}  // namespace vantrel::host

#endif  // VANTREL_HOST_SCRIPT_HOST_H
