// A small stand-in of AviSynth+'s C interface: a function table, kept
// strings, a short-lived environment per apply call, clips made in memory, C
// filters driven as the host drives them (the filter's, then the child's error
// read after get_frame), frames with pitches past their rows, a guard byte
// elsewhere and reference counts. The avs_* functions carry the host's names;
// on Windows the test program exports them, and the plugin DLL's entry point
// finds them there as it finds the host's.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "sdk/avisynth_c.h"

namespace vantrel::avsc_test {

constexpr uint8_t kGuard = 0xA5;

// What a clip is to the stand-in: a source or a C filter.
struct Node {
  virtual ~Node() = default;
  // A new frame reference, or null with *error set.
  virtual AVS_VideoFrame* Frame(int n, std::string* error) = 0;
  virtual const AVS_VideoInfo& Info() const = 0;
};

}  // namespace vantrel::avsc_test

struct AVS_ScriptEnvironment {
  struct Function {
    std::string name, params;
    AVS_ApplyFunc apply;
    void* user_data;
  };
  AVS_ScriptEnvironment* root = this;  // where kept strings and functions live
  std::vector<Function> functions;
  std::deque<std::string> kept;
  std::mutex mutex;
  const char* error = nullptr;
};

struct AVS_Clip {
  explicit AVS_Clip(std::shared_ptr<vantrel::avsc_test::Node> n) : node(std::move(n)) {}
  std::shared_ptr<vantrel::avsc_test::Node> node;
  const char* error = nullptr;
  std::string error_text;
};

struct AVS_VideoFrame {
  struct Plane {
    size_t offset;
    int pitch, row_size, height;
  };
  std::atomic<int> refs{1};
  Plane planes[3] = {};  // Y (or the packed plane), U, V
  int plane_count = 0;
  std::vector<uint8_t> bytes;
};

namespace vantrel::avsc_test {

// Frames alive, the test's and the plugin's: zero once all are released.
extern std::atomic<int> g_live_frames;

// The stand-in's functions, for a face linked into the test.
AvsCApi StandInApi();

// Frame n: the faces' test picture (test::FaceSample); frame `failing` fails
// with an error.
std::shared_ptr<Node> SourceClip(int pixel_type, int width, int height, int frames = 3,
                                 int failing = -1);

// A value holding a clip of the node; Free it (and every clip a call gives).
AVS_Value ClipValue(const std::shared_ptr<Node>& node);
void Free(const AVS_Value& value);

// A script's call of a registered function: its value, or its error.
AVS_Value Call(AVS_ScriptEnvironment* env, const std::string& name, std::vector<AVS_Value> args,
               std::string* error);

// Frame n of a clip as its consumer gets it, tight Y, U, V; or the error.
std::vector<uint8_t> FrameOf(const AVS_Value& clip, int n, std::string* error = nullptr);

// The filter's answer to one of the host's cache hint queries.
int CacheHint(const AVS_Value& clip, int hint);

}  // namespace vantrel::avsc_test
