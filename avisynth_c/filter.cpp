#include "avisynth_c/filter.h"

#include <new>
#include <optional>
#include <string>

#include "avisynth_c/arguments.h"
#include "avisynth_c/face.h"
#include "avisynth_c/host_frames.h"
#include "avisynth_c/regions.h"
#include "avisynth_shared/pixel_types.h"
#include "avisynth_shared/script_functions.h"
#include "core/deinterlacer.h"

namespace vantrel::avs_c {
namespace {

// Said when even the message of a failure cannot be made.
const char kFrameFailed[] = "VantrelDeinterlace: not enough memory to process a frame";
const char kCreateFailed[] = "VantrelDeinterlace: the filter could not be created";

struct Filter {
  Filter(const HostLink& link, const RequestedParams& requested)
      : api(link.api), core(requested, link.allocate),
        processes(PassesProcessorGate(link.detect_cpu())) {}
  const AvsCApi& api;
  Deinterlacer core;
  const bool processes;  // the processor gate, probed once
};

Filter& FilterOf(AVS_FilterInfo* fi) { return *static_cast<Filter*>(fi->user_data); }

// The host throws fi->error once get_frame returns; the text must outlive it.
AVS_VideoFrame* Refuse(AVS_FilterInfo* fi, const std::string& message) {
  const char* kept = FilterOf(fi).api.avs_save_string(fi->env, message.c_str(), -1);
  fi->error = kept ? kept : kFrameFailed;
  return nullptr;
}

bool SameShape(const FrameView& a, const FrameView& b) {
  for (int i = 0; i < a.plane_count(); ++i) {
    if (a.planes[i].width != b.planes[i].width || a.planes[i].height != b.planes[i].height ||
        !a.planes[i].data || !b.planes[i].data) {
      return false;
    }
  }
  return true;
}

AVS_VideoFrame* ProcessFrame(AVS_FilterInfo* fi, int n) {
  Filter& filter = FilterOf(fi);
  const AvsCApi& api = filter.api;
  FrameRef src(api, api.avs_get_frame(fi->child, n));
  if (!src.get()) return nullptr;  // the host throws the child's error
  // VantrelDeinterlace refuses other clips; a filter built around that check
  // passes their frames on rather than guess at their layout.
  const std::optional<PixelFormat> format = FormatOf(fi->vi.pixel_type);
  if (!format) return src.Release();
  FrameRef dst(api, api.avs_new_video_frame_a(fi->env, &fi->vi, 16));
  if (!dst.get()) {
    const char* why = api.avs_get_error(fi->env);
    return Refuse(fi, why ? why : NoFrameMemoryMessage(n));
  }
  if (!filter.processes) return dst.Release();

  const FrameView in = ReadView(api, src.get(), *format, fi->vi.pixel_type);
  const FrameView out = WriteView(api, dst.get(), *format, fi->vi.pixel_type);
  // A child whose frames do not match the clip's format cannot be read safely.
  if (!SameShape(in, out)) return src.Release();
  const FrameResult result = filter.core.Process(in, out, ProcessRegionList());
  if (result != FrameResult::kDone) {
    // The new frame holds no picture: better the host's error than a frame
    // that only looks processed.
    return Refuse(fi, FrameFailedMessage(n, result));
  }
  return dst.Release();
}

AVS_VideoFrame* GetFrame(AVS_FilterInfo* fi, int n) noexcept {
  try {
    return ProcessFrame(fi, n);
  } catch (...) {
    // Only memory can run out here (messages, the working sets' lock).
    fi->error = kFrameFailed;
    return nullptr;
  }
}

// One filter per prefetch thread, said outright: a filter that several
// threads share would also share the host's one error slot per filter.
int SetCacheHints(AVS_FilterInfo*, int cache_hints, int) noexcept {
  return cache_hints == AVS_CACHE_GET_MTMODE ? AVS_MT_MULTI_INSTANCE : 0;
}

void FreeFilter(AVS_FilterInfo* fi) noexcept {
  delete static_cast<Filter*>(fi->user_data);
  fi->user_data = nullptr;
}

// Drops the face's own reference to the new filter once the result holds one.
class ClipRef {
 public:
  ClipRef(const AvsCApi& api, AVS_Clip* clip) : api_(api), clip_(clip) {}
  ~ClipRef() {
    if (clip_) api_.avs_release_clip(clip_);
  }
  ClipRef(const ClipRef&) = delete;
  ClipRef& operator=(const ClipRef&) = delete;
  AVS_Clip* get() const { return clip_; }

 private:
  const AvsCApi& api_;
  AVS_Clip* clip_;
};

AVS_Value Apply(const HostLink& link, AVS_ScriptEnvironment* env, const AVS_Value& args) {
  const AvsCApi& api = link.api;
  const AVS_Value child = avs_array_elt(args, 0);
  if (!avs_is_clip(child)) return avs_new_value_error(kNotAClipMessage);
  const RequestedParams requested =
      ScriptArguments([&](int i, int32_t fallback) { return IntArg(args, i, fallback); },
                      [&](int i, bool fallback) { return BoolArg(args, i, fallback); });

  AVS_FilterInfo* fi = nullptr;
  const ClipRef clip(api, api.avs_new_c_filter(env, &fi, child, 1));
  if (!clip.get() || !fi) {
    const char* why = api.avs_get_error(env);
    return Refusal(api, env, why ? why : kCreateFailed, kCreateFailed);
  }
  const int pixel_type = fi->vi.pixel_type;
  if (!FormatOf(pixel_type)) {
    return Refusal(api, env, UnsupportedPixelTypeMessage(pixel_type).c_str(), kCreateFailed);
  }
  auto* filter = new (std::nothrow) Filter(link, requested);
  if (!filter) return avs_new_value_error(kNoFilterMemoryMessage);
  fi->user_data = filter;
  fi->get_frame = GetFrame;
  fi->set_cache_hints = SetCacheHints;
  fi->free_filter = FreeFilter;
  AVS_Value result = avs_new_value_void();
  api.avs_set_to_clip(&result, clip.get());
  return result;
}

}  // namespace

AVS_Value ApplyDeinterlace(AVS_ScriptEnvironment* env, AVS_Value args, void* user_data) noexcept {
  try {
    return Apply(*static_cast<const HostLink*>(user_data), env, args);
  } catch (const std::bad_alloc&) {
    return avs_new_value_error(kNoFilterMemoryMessage);
  } catch (...) {
    return avs_new_value_error(kCreateFailed);
  }
}

}  // namespace vantrel::avs_c
