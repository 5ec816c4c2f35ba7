// A small stand-in of the VapourSynth core: the API table with only the calls
// the plugin makes (any other slot is null, so a new call shows at once),
// source clips made from byte vectors, and frame requests run the way the
// core runs them (arInitial, then arAllFramesReady with the requested frames).
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "sdk/vapoursynth4.h"

namespace vantrel::test {

// One tight frame: Y, then U, then V, lines without padding.
using FrameBytes = std::vector<uint8_t>;

struct PluginInfo {
  std::string identifier, name_space, name;
  int version = 0, api_version = 0;
  std::string function, args, return_type;
  VSPublicFunction create = nullptr;
};

class StandInCore {
 public:
  // Loads the library at path and runs its VapourSynthPluginInit2.
  explicit StandInCore(const std::string& plugin_path);
  ~StandInCore();
  StandInCore(const StandInCore&) = delete;
  StandInCore& operator=(const StandInCore&) = delete;

  const PluginInfo& plugin() const { return plugin_; }
  const VSAPI* api() const;

  // A source clip of the given format answering with frames[n]; each frame
  // carries _FieldBased field_based[n] when given (-1: not set) and a
  // duration of 1/25.
  VSNode* Source(uint32_t format_id, int width, int height, std::vector<FrameBytes> frames,
                 std::vector<int> field_based = {});

  // Calls the registered function with the clip (consumed) and the integer
  // arguments; the new clip, or null with *error set.
  VSNode* Invoke(VSNode* clip, const std::map<std::string, int64_t>& args, std::string* error);

  // Frame n of a clip, tight; nullopt with *error set when the clip fails.
  std::optional<FrameBytes> GetFrame(VSNode* node, int n, std::string* error,
                                     std::map<std::string, int64_t>* props = nullptr);

  static const VSVideoInfo& Info(VSNode* node);
  static int Mode(VSNode* node);  // the VSFilterMode a filter was created with
  static void Free(VSNode* node);

 private:
  void* library_ = nullptr;
  PluginInfo plugin_;
};

}  // namespace vantrel::test
