#include "avisynth_c/filter.h"

#include <new>
#include <string>

#include "avisynth_c/arguments.h"
#include "avisynth_c/face.h"
#include "avisynth_c/host_frames.h"
#include "avisynth_shared/frame_flow.h"

namespace vantrel::avs_c {
namespace {

// Said when even the message of a failure cannot be made.
const char kFrameFailed[] = "VantrelDeinterlace: not enough memory to process a frame";
const char kCreateFailed[] = "VantrelDeinterlace: the filter could not be created";

struct Filter {
  Filter(const HostLink& link, int pixel_type, const RequestedParams& requested)
      : api(link.api), flow(pixel_type, requested, link.detect_cpu(), link.allocate) {}
  const AvsCApi& api;
  FrameFlow flow;
};

// The frame flow's trait for the C interface: a failure is a null frame with
// the error in the host's slot, which the host throws once get_frame returns.
struct CFace {
  using Frame = FrameRef;
  using Result = AVS_VideoFrame*;

  FrameRef Source(int n) { return FrameRef(api, api.avs_get_frame(fi->child, n)); }
  FrameRef NewFrame(int n) {
    FrameRef frame(api, api.avs_new_video_frame_a(fi->env, &fi->vi, 16));
    if (!frame) {
      const char* why = api.avs_get_error(fi->env);
      Raise(why ? why : NoFrameMemoryMessage(n));
    }
    return frame;
  }
  FrameView ReadView(const FrameRef& f, PixelFormat format, int pixel_type) {
    return avs_c::ReadView(api, f.get(), format, pixel_type);
  }
  FrameView WriteView(const FrameRef& f, PixelFormat format, int pixel_type) {
    return avs_c::WriteView(api, f.get(), format, pixel_type);
  }
  AVS_VideoFrame* Deliver(FrameRef& f) { return f.Release(); }
  // The text must outlive the call: the host reads it after get_frame returns.
  AVS_VideoFrame* Raise(const std::string& message) {
    const char* kept = api.avs_save_string(fi->env, message.c_str(), -1);
    fi->error = kept ? kept : kFrameFailed;
    return nullptr;
  }

  const AvsCApi& api;
  AVS_FilterInfo* fi;
};

AVS_VideoFrame* GetFrame(AVS_FilterInfo* fi, int n) noexcept {
  try {
    Filter& filter = *static_cast<Filter*>(fi->user_data);
    CFace face{filter.api, fi};
    return filter.flow.Serve(face, n);
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
  auto* filter = new (std::nothrow) Filter(link, pixel_type, requested);
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
