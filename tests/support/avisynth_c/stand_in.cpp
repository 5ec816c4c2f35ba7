#include "stand_in.h"

#include <cstring>

#include "woven_picture.h"

#if defined(_WIN32)
#define STAND_IN extern "C" __declspec(dllexport)
#else
#define STAND_IN extern "C"
#endif

#define STAND_IN_DECLARE(ret, name, params) STAND_IN ret name params noexcept;
VANTREL_AVS_C_FUNCTIONS(STAND_IN_DECLARE)

namespace vantrel::avsc_test {

std::atomic<int> g_live_frames{0};

namespace {

// The planar types: chroma planes of width >> shift_w and height >> shift_h
// (none for Y8), V stored before U but for I420, as the host does; YV12's,
// YV16's, YV24's and Y8's families also at 10 to 16 bits, 2 bytes a sample.
struct PlanarType {
  int pixel_type, shift_w, shift_h, planes;
  bool deep;
};
constexpr PlanarType kPlanarTypes[] = {
    {AVS_CS_YV12, 1, 1, 3, true}, {AVS_CS_I420, 1, 1, 3, false},  {AVS_CS_YV16, 1, 0, 3, true},
    {AVS_CS_YV24, 0, 0, 3, true}, {AVS_CS_YV411, 2, 0, 3, false}, {AVS_CS_Y8, 0, 0, 1, true},
};

struct Planar {
  const PlanarType* type = nullptr;  // none: a packed type
  int bits = 8;
};
Planar PlanarOf(int pixel_type) {
  constexpr int kBits[] = {8, 16, 32, 0, 0, 10, 12, 14};  // by the sample bits field
  const int bits = kBits[(pixel_type & AVS_CS_SAMPLE_BITS_MASK) >> 16];
  for (const PlanarType& p : kPlanarTypes) {
    if ((pixel_type & ~AVS_CS_SAMPLE_BITS_MASK) == p.pixel_type &&
        (bits == 8 || (p.deep && bits <= 16))) {
      return {&p, bits};
    }
  }
  return {};
}

AVS_VideoFrame* NewFrame(const AVS_VideoInfo& vi) {
  auto* f = new AVS_VideoFrame;
  const Planar planar = PlanarOf(vi.pixel_type);
  int pixel = vi.pixel_type == AVS_CS_YUY2 ? 2 : vi.pixel_type == AVS_CS_BGR24 ? 3 : 4;
  if (planar.type) pixel = planar.bits > 8 ? 2 : 1;
  f->plane_count = planar.type ? planar.type->planes : 1;
  // Planes by identity (Y, U, V), laid out in memory in the host's order.
  const int in_memory[] = {0, vi.pixel_type == AVS_CS_I420 ? 1 : 2,
                           vi.pixel_type == AVS_CS_I420 ? 2 : 1};
  size_t at = 64;
  for (int k = 0; k < f->plane_count; ++k) {
    const int i = in_memory[k];
    const int row = (i ? vi.width >> planar.type->shift_w : vi.width) * pixel;
    const int height = i ? vi.height >> planar.type->shift_h : vi.height;
    f->planes[i] = {at, row + 40, row, height};
    at += size_t(row + 40) * size_t(height) + 48;
  }
  f->bytes.assign(at + 64, kGuard);
  ++g_live_frames;
  return f;
}

AVS_VideoFrame::Plane PlaneOf(const AVS_VideoFrame* f, int selector) {
  const int i = selector == AVS_PLANAR_U ? 1 : selector == AVS_PLANAR_V ? 2 : 0;
  return i < f->plane_count ? f->planes[i] : AVS_VideoFrame::Plane{};
}

AVS_Clip* ClipOf(const AVS_Value& v) { return static_cast<AVS_Clip*>(v.d.clip); }

class Source : public Node {
 public:
  Source(const AVS_VideoInfo& vi, int failing)
      : vi_(vi), failing_(failing), bits_(PlanarOf(vi.pixel_type).bits) {}
  const AVS_VideoInfo& Info() const override { return vi_; }
  AVS_VideoFrame* Frame(int n, std::string* error) override {
    if (n == failing_) {
      *error = "source: frame " + std::to_string(n) + " cannot be read";
      return nullptr;
    }
    AVS_VideoFrame* f = NewFrame(vi_);
    const AVS_VideoFrame::Plane& luma = f->planes[0];
    for (int i = 0; i < f->plane_count; ++i) {
      const AVS_VideoFrame::Plane& p = f->planes[i];
      for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.row_size; ++x) {
          f->bytes[p.offset + size_t(y) * p.pitch + x] =
              test::FaceByte(n, i, x, y, luma.row_size, luma.height, bits_);
        }
    }
    return f;
  }

 private:
  AVS_VideoInfo vi_;
  int failing_;
  int bits_;
};

class Filter : public Node {
 public:
  explicit Filter(AVS_ScriptEnvironment* root) {
    env_.root = root;
    fi.env = &env_;
  }
  ~Filter() override {
    if (fi.free_filter) fi.free_filter(&fi);
    delete fi.child;
  }
  const AVS_VideoInfo& Info() const override { return fi.vi; }
  AVS_VideoFrame* Frame(int n, std::string* error) override {
    if (!fi.get_frame) return fi.child->node->Frame(n, error);
    fi.error = nullptr;
    AVS_VideoFrame* f = fi.get_frame(&fi, n);
    const char* why = fi.error ? fi.error : fi.child && fi.child->error ? fi.child->error : nullptr;
    if (!why && f) return f;
    // A null frame without an error would crash the real host.
    *error = why ? why : "get_frame gave neither a frame nor an error";
    if (f) avs_release_video_frame(f);
    return nullptr;
  }
  AVS_FilterInfo fi = {};

 private:
  AVS_ScriptEnvironment env_;  // lives with the filter
};

}  // namespace

AvsCApi StandInApi() {
  AvsCApi api;
#define VANTREL_STAND_IN_SLOT(ret, name, params) api.name = ::name;
  VANTREL_AVS_C_FUNCTIONS(VANTREL_STAND_IN_SLOT)
#undef VANTREL_STAND_IN_SLOT
  return api;
}

std::shared_ptr<Node> SourceClip(int pixel_type, int width, int height, int frames,
                                 int failing) {
  const AVS_VideoInfo vi = {width, height, 25, 1, frames, pixel_type, 0, 0, 0, 0, 0};
  return std::make_shared<Source>(vi, failing);
}

AVS_Value ClipValue(const std::shared_ptr<Node>& node) {
  AVS_Value v = avs_new_value_void();
  v.type = 'c';
  v.d.clip = new AVS_Clip(node);
  return v;
}

void Free(const AVS_Value& value) {
  if (avs_is_clip(value)) delete ClipOf(value);
}

AVS_Value Call(AVS_ScriptEnvironment* env, const std::string& name, std::vector<AVS_Value> args,
               std::string* error) {
  for (const AVS_ScriptEnvironment::Function& f : env->functions) {
    if (f.name != name) continue;
    auto call_env = std::make_unique<AVS_ScriptEnvironment>();  // gone after the call
    call_env->root = env;
    const AVS_Value result =
        f.apply(call_env.get(), avs_new_value_array(args.data(), int(args.size())), f.user_data);
    *error = avs_is_error(result) ? result.d.string : "";
    return avs_is_error(result) ? avs_new_value_void() : result;
  }
  *error = "no function " + name;
  return avs_new_value_void();
}

std::vector<uint8_t> FrameOf(const AVS_Value& clip, int n, std::string* error) {
  std::string why;
  AVS_VideoFrame* f = ClipOf(clip)->node->Frame(n, &why);
  if (error) *error = why;
  std::vector<uint8_t> tight;
  for (int i = 0; f && i < f->plane_count; ++i) {
    const AVS_VideoFrame::Plane& p = f->planes[i];
    for (int y = 0; y < p.height; ++y) {
      const uint8_t* line = f->bytes.data() + p.offset + size_t(y) * p.pitch;
      tight.insert(tight.end(), line, line + p.row_size);
    }
  }
  if (f) avs_release_video_frame(f);
  return tight;
}

int CacheHint(const AVS_Value& clip, int hint) {
  auto* filter = dynamic_cast<Filter*>(ClipOf(clip)->node.get());
  return filter && filter->fi.set_cache_hints ? filter->fi.set_cache_hints(&filter->fi, hint, 0)
                                              : 0;
}

}  // namespace vantrel::avsc_test

using vantrel::avsc_test::ClipOf;
using vantrel::avsc_test::PlaneOf;

STAND_IN void avs_set_to_clip(AVS_Value* dest, AVS_Clip* clip) noexcept {
  *dest = vantrel::avsc_test::ClipValue(clip->node);
}

STAND_IN void avs_release_clip(AVS_Clip* clip) noexcept { delete clip; }

STAND_IN AVS_VideoFrame* avs_get_frame(AVS_Clip* clip, int n) noexcept {
  clip->error = nullptr;
  AVS_VideoFrame* f = clip->node->Frame(n, &clip->error_text);
  if (!f) clip->error = clip->error_text.c_str();
  return f;
}

STAND_IN AVS_Clip* avs_new_c_filter(AVS_ScriptEnvironment* env, AVS_FilterInfo** fi,
                                    AVS_Value child, int store_child) noexcept {
  auto filter = std::make_shared<vantrel::avsc_test::Filter>(env->root);
  if (store_child) filter->fi.child = new AVS_Clip(ClipOf(child)->node);
  filter->fi.vi = ClipOf(child)->node->Info();
  *fi = &filter->fi;
  return new AVS_Clip(filter);
}

STAND_IN int avs_get_pitch_p(const AVS_VideoFrame* f, int p) noexcept {
  return PlaneOf(f, p).pitch;
}
STAND_IN int avs_get_row_size_p(const AVS_VideoFrame* f, int p) noexcept {
  return PlaneOf(f, p).row_size;
}
STAND_IN int avs_get_height_p(const AVS_VideoFrame* f, int p) noexcept {
  return PlaneOf(f, p).height;
}
STAND_IN const BYTE* avs_get_read_ptr_p(const AVS_VideoFrame* f, int p) noexcept {
  return f->bytes.data() + PlaneOf(f, p).offset;
}
STAND_IN BYTE* avs_get_write_ptr_p(const AVS_VideoFrame* f, int plane) noexcept {
  // As the host: the first plane of a shared frame is not writable.
  if ((plane == AVS_DEFAULT_PLANE || plane == AVS_PLANAR_Y) && f->refs != 1) return nullptr;
  return const_cast<BYTE*>(f->bytes.data()) + PlaneOf(f, plane).offset;
}

STAND_IN void avs_release_video_frame(AVS_VideoFrame* f) noexcept {
  if (--f->refs > 0) return;
  delete f;
  --vantrel::avsc_test::g_live_frames;
}

STAND_IN const char* avs_get_error(AVS_ScriptEnvironment* env) noexcept { return env->error; }

STAND_IN char* avs_save_string(AVS_ScriptEnvironment* env, const char* s, int length) noexcept {
  std::lock_guard<std::mutex> lock(env->root->mutex);
  env->root->kept.emplace_back(s, length < 0 ? std::strlen(s) : size_t(length));
  return env->root->kept.back().data();
}

STAND_IN int avs_add_function(AVS_ScriptEnvironment* env, const char* name, const char* params,
                              AVS_ApplyFunc apply, void* user_data) noexcept {
  env->root->functions.push_back({name, params, apply, user_data});
  return 0;
}

STAND_IN AVS_VideoFrame* avs_new_video_frame_a(AVS_ScriptEnvironment*, const AVS_VideoInfo* vi,
                                               int) noexcept {
  return vantrel::avsc_test::NewFrame(*vi);
}
