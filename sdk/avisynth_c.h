// The AviSynth C plugin interface (interface version 11, the one AviSynth+
// 3.7.5 speaks) as the host lays it out on 64-bit Windows (LLP64) and on
// Linux x86-64 (LP64).
//
// There are no virtual slots here: the host exports plain C functions by name
// (avs_new_c_filter, avs_get_frame, ...) and passes opaque pointers. A plugin
// built without the host's import library looks the functions up when its
// entry point runs and keeps them in the AvsCApi table below; a test stand-in
// fills the same table with its own functions. Every host type a plugin
// touches is either opaque or made of fixed-size fields (int, int64_t,
// pointers), so the layouts are the same under LP64 and LLP64; frames stay
// opaque because the host's frame structures hold `long` counters, 4 bytes on
// Windows. x86-64 Windows has one calling convention, so the host's __cdecl
// and __stdcall markings change nothing; AVS_Value (16 bytes) travels by
// hidden reference there, as parameter and as result, for GCC and MSVC alike.
//
// The static_asserts at the end pin the layouts and the constants.
#ifndef VANTREL_SDK_AVISYNTH_C_H
#define VANTREL_SDK_AVISYNTH_C_H

#include <cstddef>
#include <cstdint>
#include <type_traits>

enum { AVS_C_INTERFACE_VERSION = 11 };

typedef unsigned char BYTE;

// Opaque: only the host knows what is behind these.
struct AVS_Clip;
struct AVS_ScriptEnvironment;
struct AVS_VideoFrame;

// Plane selectors for the per-plane frame calls; 0 is the first plane.
enum {
  AVS_DEFAULT_PLANE = 0,
  AVS_PLANAR_Y = 1 << 0,
  AVS_PLANAR_U = 1 << 1,
  AVS_PLANAR_V = 1 << 2,
  AVS_PLANAR_ALIGNED = 1 << 3,
  AVS_PLANAR_A = 1 << 4,
  AVS_PLANAR_R = 1 << 5,
  AVS_PLANAR_G = 1 << 6,
  AVS_PLANAR_B = 1 << 7,
};

// Pixel types: bit fields for family, chroma subsampling, plane order and
// sample size. Plain ints so mask tests stay in int arithmetic; bit 31 makes
// the planar values negative, as the host stores them.
constexpr int AVS_CS_YUVA = 1 << 27;
constexpr int AVS_CS_BGR = 1 << 28;
constexpr int AVS_CS_YUV = 1 << 29;
constexpr int AVS_CS_INTERLEAVED = 1 << 30;
constexpr int AVS_CS_PLANAR = static_cast<int>(0x80000000u);

constexpr int AVS_CS_SUB_WIDTH_MASK = 7;
constexpr int AVS_CS_SUB_WIDTH_1 = 3;
constexpr int AVS_CS_SUB_WIDTH_2 = 0;
constexpr int AVS_CS_SUB_WIDTH_4 = 1;
constexpr int AVS_CS_VPLANEFIRST = 1 << 3;
constexpr int AVS_CS_UPLANEFIRST = 1 << 4;
constexpr int AVS_CS_SUB_HEIGHT_MASK = 7 << 8;
constexpr int AVS_CS_SUB_HEIGHT_1 = 3 << 8;
constexpr int AVS_CS_SUB_HEIGHT_2 = 0 << 8;
constexpr int AVS_CS_SUB_HEIGHT_4 = 1 << 8;
constexpr int AVS_CS_SAMPLE_BITS_MASK = 7 << 16;
constexpr int AVS_CS_SAMPLE_BITS_8 = 0 << 16;
constexpr int AVS_CS_SAMPLE_BITS_10 = 5 << 16;
constexpr int AVS_CS_SAMPLE_BITS_12 = 6 << 16;
constexpr int AVS_CS_SAMPLE_BITS_14 = 7 << 16;
constexpr int AVS_CS_SAMPLE_BITS_16 = 1 << 16;
constexpr int AVS_CS_SAMPLE_BITS_32 = 2 << 16;
constexpr int AVS_CS_RGB_TYPE = 1;
constexpr int AVS_CS_RGBA_TYPE = 2;

// Families without their sample size; OR in an AVS_CS_SAMPLE_BITS_ value.
constexpr int AVS_CS_GENERIC_YUV444 =
    AVS_CS_PLANAR | AVS_CS_YUV | AVS_CS_VPLANEFIRST | AVS_CS_SUB_WIDTH_1 | AVS_CS_SUB_HEIGHT_1;
constexpr int AVS_CS_GENERIC_YUV422 =
    AVS_CS_PLANAR | AVS_CS_YUV | AVS_CS_VPLANEFIRST | AVS_CS_SUB_WIDTH_2 | AVS_CS_SUB_HEIGHT_1;
constexpr int AVS_CS_GENERIC_YUV420 =
    AVS_CS_PLANAR | AVS_CS_YUV | AVS_CS_VPLANEFIRST | AVS_CS_SUB_WIDTH_2 | AVS_CS_SUB_HEIGHT_2;
constexpr int AVS_CS_GENERIC_Y = AVS_CS_PLANAR | AVS_CS_INTERLEAVED | AVS_CS_YUV;
constexpr int AVS_CS_GENERIC_RGBP = AVS_CS_PLANAR | AVS_CS_BGR | AVS_CS_RGB_TYPE;
constexpr int AVS_CS_GENERIC_RGBAP = AVS_CS_PLANAR | AVS_CS_BGR | AVS_CS_RGBA_TYPE;
constexpr int AVS_CS_GENERIC_YUVA444 =
    AVS_CS_PLANAR | AVS_CS_YUVA | AVS_CS_VPLANEFIRST | AVS_CS_SUB_WIDTH_1 | AVS_CS_SUB_HEIGHT_1;
constexpr int AVS_CS_GENERIC_YUVA422 =
    AVS_CS_PLANAR | AVS_CS_YUVA | AVS_CS_VPLANEFIRST | AVS_CS_SUB_WIDTH_2 | AVS_CS_SUB_HEIGHT_1;
constexpr int AVS_CS_GENERIC_YUVA420 =
    AVS_CS_PLANAR | AVS_CS_YUVA | AVS_CS_VPLANEFIRST | AVS_CS_SUB_WIDTH_2 | AVS_CS_SUB_HEIGHT_2;

constexpr int AVS_CS_UNKNOWN = 0;
constexpr int AVS_CS_BGR24 = AVS_CS_RGB_TYPE | AVS_CS_BGR | AVS_CS_INTERLEAVED;
constexpr int AVS_CS_BGR32 = AVS_CS_RGBA_TYPE | AVS_CS_BGR | AVS_CS_INTERLEAVED;
constexpr int AVS_CS_YUY2 = (1 << 2) | AVS_CS_YUV | AVS_CS_INTERLEAVED;
constexpr int AVS_CS_BGR48 = AVS_CS_BGR24 | AVS_CS_SAMPLE_BITS_16;
constexpr int AVS_CS_BGR64 = AVS_CS_BGR32 | AVS_CS_SAMPLE_BITS_16;
constexpr int AVS_CS_YV24 = AVS_CS_GENERIC_YUV444 | AVS_CS_SAMPLE_BITS_8;
constexpr int AVS_CS_YV16 = AVS_CS_GENERIC_YUV422 | AVS_CS_SAMPLE_BITS_8;
constexpr int AVS_CS_YV12 = AVS_CS_GENERIC_YUV420 | AVS_CS_SAMPLE_BITS_8;
// 4:2:0 with U stored before V; frames still hand planes out by selector.
constexpr int AVS_CS_I420 = AVS_CS_PLANAR | AVS_CS_YUV | AVS_CS_SAMPLE_BITS_8 |
                            AVS_CS_UPLANEFIRST | AVS_CS_SUB_WIDTH_2 | AVS_CS_SUB_HEIGHT_2;
constexpr int AVS_CS_YV411 = AVS_CS_PLANAR | AVS_CS_YUV | AVS_CS_SAMPLE_BITS_8 |
                             AVS_CS_VPLANEFIRST | AVS_CS_SUB_WIDTH_4 | AVS_CS_SUB_HEIGHT_1;
constexpr int AVS_CS_YUV9 = AVS_CS_PLANAR | AVS_CS_YUV | AVS_CS_SAMPLE_BITS_8 |
                            AVS_CS_VPLANEFIRST | AVS_CS_SUB_WIDTH_4 | AVS_CS_SUB_HEIGHT_4;
constexpr int AVS_CS_Y8 = AVS_CS_GENERIC_Y | AVS_CS_SAMPLE_BITS_8;

// Field flags in AVS_VideoInfo::image_type.
enum { AVS_IT_BFF = 1 << 0, AVS_IT_TFF = 1 << 1, AVS_IT_FIELDBASED = 1 << 2 };

// Queries the host sends through AVS_FilterInfo::set_cache_hints; a filter
// answers AVS_CACHE_GET_MTMODE with an AVS_MT_ value, or 0 to take the
// host's default (multi-instance: one filter per prefetch thread).
enum { AVS_CACHE_GET_MTMODE = 509 };
enum { AVS_MT_NICE_FILTER = 1, AVS_MT_MULTI_INSTANCE = 2, AVS_MT_SERIALIZED = 3 };

// Laid out as the C++ interface's VideoInfo.
struct AVS_VideoInfo {
  int width;  // 0: no video
  int height;
  unsigned fps_numerator;
  unsigned fps_denominator;
  int num_frames;
  int pixel_type;
  int audio_samples_per_second;  // 0: no audio
  int sample_type;
  int64_t num_audio_samples;
  int nchannels;
  int image_type;  // AVS_IT_ flags; the host also keeps an audio channel mask here
};

// A script value, laid out as the C++ interface's AVSValue: a type letter, an
// array length and an 8-byte payload. A clip held in one is a counted
// reference of the host's; a plugin makes one with avs_set_to_clip and hands
// it over as its result.
struct AVS_Value {
  // 'v'oid, 'c'lip, 'b'ool, 'i'nt, 'l'ong (64-bit int), 'f'loat, 'd'ouble,
  // 's'tring, 'a'rray; 'e'rror only as an apply function's result.
  short type;
  short array_size;
  union {
    void* clip;  // opaque to the plugin
    char boolean;
    int integer;
    int64_t longlong;
    float floating_pt;
    double double_pt;
    const char* string;
    const AVS_Value* array;
  } d;
};

// A plugin entered through avisynth_c_plugin_init2 is told about 64-bit
// values: an "i" argument may arrive as 'l' (an "f" one as 'i', 'l' or 'd').
inline bool avs_defined(const AVS_Value& v) { return v.type != 'v'; }
inline bool avs_is_clip(const AVS_Value& v) { return v.type == 'c'; }
inline bool avs_is_bool(const AVS_Value& v) { return v.type == 'b'; }
inline bool avs_is_int(const AVS_Value& v) { return v.type == 'i' || v.type == 'l'; }
inline bool avs_is_array(const AVS_Value& v) { return v.type == 'a'; }
inline bool avs_is_error(const AVS_Value& v) { return v.type == 'e'; }
inline bool avs_as_bool(const AVS_Value& v) { return v.d.boolean != 0; }
inline int64_t avs_as_long(const AVS_Value& v) {
  return v.type == 'l' ? v.d.longlong : v.d.integer;
}
// A non-array counts as an array of one.
inline int avs_array_size(const AVS_Value& v) { return avs_is_array(v) ? v.array_size : 1; }
inline AVS_Value avs_array_elt(const AVS_Value& v, int index) {
  return avs_is_array(v) ? v.d.array[index] : v;
}

// Values that hold nothing counted.
inline AVS_Value avs_new_value_void() {
  AVS_Value v{};
  v.type = 'v';
  return v;
}
inline AVS_Value avs_new_value_bool(bool b) {
  AVS_Value v{};
  v.type = 'b';
  v.d.boolean = b ? 1 : 0;
  return v;
}
inline AVS_Value avs_new_value_int(int i) {
  AVS_Value v{};
  v.type = 'i';
  v.d.integer = i;
  return v;
}
// The array is the caller's; the host only reads it during the call.
inline AVS_Value avs_new_value_array(const AVS_Value* elements, int size) {
  AVS_Value v{};
  v.type = 'a';
  v.array_size = static_cast<short>(size);
  v.d.array = elements;
  return v;
}
// An apply function's refusal. The host throws it as a script error holding
// the pointer itself, after the call returns: keep the text with
// avs_save_string (or in static storage), never in a local buffer.
inline AVS_Value avs_new_value_error(const char* message) {
  AVS_Value v{};
  v.type = 'e';
  v.d.string = message;
  return v;
}

struct AVS_FilterInfo;

// The host calls these; none may let a C++ exception out. A refusal goes back
// as an error value (apply) or through AVS_FilterInfo::error (filter calls).
typedef AVS_Value (*AVS_ApplyFunc)(AVS_ScriptEnvironment* env, AVS_Value args,
                                   void* user_data) noexcept;

// A filter made by avs_new_c_filter. The host owns it; the plugin fills the
// call slots and user_data inside its apply function and may change vi there.
// A null get_frame, get_parity or get_audio hands the call to the child; a
// null set_cache_hints answers 0. Every call gets this one env, whichever
// thread makes it.
struct AVS_FilterInfo {
  AVS_Clip* child;  // null unless made with store_child
  AVS_VideoInfo vi;  // starts as the child's
  AVS_ScriptEnvironment* env;  // lives as long as the filter
  // Returns a frame reference the host takes over, or null with error set
  // (or after avs_get_frame on child failed: the host throws the child's error).
  AVS_VideoFrame* (*get_frame)(AVS_FilterInfo* fi, int n) noexcept;
  int (*get_parity)(AVS_FilterInfo* fi, int n) noexcept;
  int (*get_audio)(AVS_FilterInfo* fi, void* buf, int64_t start, int64_t count) noexcept;
  int (*set_cache_hints)(AVS_FilterInfo* fi, int cache_hints, int frame_range) noexcept;
  // Called once when the host drops the filter.
  void (*free_filter)(AVS_FilterInfo* fi) noexcept;
  // Set with a message that outlives the call (avs_save_string on env) to
  // refuse a call; the host clears it before each call, then throws it. It is
  // one field per filter: threads of a shared (AVS_MT_NICE_FILTER) filter race
  // on it.
  const char* error;
  void* user_data;  // the plugin's
};

// The host functions the plugin calls, by their exported names: the ones a
// filter needs, all exported by AviSynth+ 3.4 and every later version.
// Functions on a clip report a failure through the clip's own error slot,
// functions on an environment through avs_get_error.
// An AVS_ScriptEnvironment* handed to an entry point or apply function lives
// only for that call; AVS_FilterInfo::env lives with the filter.
#define VANTREL_AVS_C_FUNCTIONS(X)                                                         \
  /* A new value holding its own reference to the clip. */                                 \
  X(void, avs_set_to_clip, (AVS_Value * dest, AVS_Clip * clip))                            \
  /* Clips: each AVS_Clip* holds its own reference, dropped by avs_release_clip. */        \
  X(void, avs_release_clip, (AVS_Clip * clip))                                             \
  /* A new frame reference, or null with the clip's error set. */                          \
  X(AVS_VideoFrame*, avs_get_frame, (AVS_Clip * clip, int n))                              \
  /* The filter (its FilterInfo zeroed but for child, vi and env) and a clip of it. */     \
  X(AVS_Clip*, avs_new_c_filter,                                                           \
    (AVS_ScriptEnvironment * env, AVS_FilterInfo** fi, AVS_Value child, int store_child))  \
  /* Frames: plane is an AVS_PLANAR_ selector or AVS_DEFAULT_PLANE. */                     \
  X(int, avs_get_pitch_p, (const AVS_VideoFrame* frame, int plane))                        \
  X(int, avs_get_row_size_p, (const AVS_VideoFrame* frame, int plane))                     \
  X(int, avs_get_height_p, (const AVS_VideoFrame* frame, int plane))                       \
  X(const BYTE*, avs_get_read_ptr_p, (const AVS_VideoFrame* frame, int plane))             \
  /* Null for the first plane unless the frame is writable. */                             \
  X(BYTE*, avs_get_write_ptr_p, (const AVS_VideoFrame* frame, int plane))                  \
  X(void, avs_release_video_frame, (AVS_VideoFrame * frame))                               \
  /* Environment. */                                                                       \
  X(const char*, avs_get_error, (AVS_ScriptEnvironment * env))                             \
  /* A copy kept until the environment goes; length -1: up to the NUL. */                  \
  X(char*, avs_save_string, (AVS_ScriptEnvironment * env, const char* s, int length))      \
  /* -1, with the env's error, on a bad parameter string. */                               \
  X(int, avs_add_function,                                                                 \
    (AVS_ScriptEnvironment * env, const char* name, const char* params,                    \
     AVS_ApplyFunc apply, void* user_data))                                                \
  /* A new frame for vi, or null with the env's error set. */                              \
  X(AVS_VideoFrame*, avs_new_video_frame_a,                                                \
    (AVS_ScriptEnvironment * env, const AVS_VideoInfo* vi, int align))

#define VANTREL_AVS_C_SLOT(ret, name, params) ret(*name) params noexcept;
struct AvsCApi {
  VANTREL_AVS_C_FUNCTIONS(VANTREL_AVS_C_SLOT)
};
#undef VANTREL_AVS_C_SLOT

// Looks a host function up by name; null when the host lacks it.
typedef void* (*AvsCFind)(const char* name, void* context);

// Fills every slot through find. Returns the name of the first function the
// host lacks (the table is then unusable), or null.
#define VANTREL_AVS_C_RESOLVE(ret, name, params)                                 \
  table->name = reinterpret_cast<decltype(table->name)>(find(#name, context)); \
  if (!table->name) return #name;
inline const char* AvsCResolve(AvsCApi* table, AvsCFind find, void* context) {
  VANTREL_AVS_C_FUNCTIONS(VANTREL_AVS_C_RESOLVE)
  return nullptr;
}
#undef VANTREL_AVS_C_RESOLVE

// The entry points the host looks for by these undecorated names (list them in
// the .def file on Windows). A host of interface version 11 tries the first
// one before the second and then hands the plugin 64-bit values; both get an
// environment that lives only for the call and return a description or null.
#if defined(_WIN32)
#define VANTREL_AVS_C_EXPORT
#else
#define VANTREL_AVS_C_EXPORT __attribute__((visibility("default")))
#endif
extern "C" VANTREL_AVS_C_EXPORT const char* avisynth_c_plugin_init2(AVS_ScriptEnvironment* env);
extern "C" VANTREL_AVS_C_EXPORT const char* avisynth_c_plugin_init(AVS_ScriptEnvironment* env);
typedef const char* (*AvsCPluginInit)(AVS_ScriptEnvironment* env);

// Where the host expects things; checked against the host's own header.
static_assert(sizeof(void*) == 8, "the layouts below are 64-bit");
static_assert(sizeof(int) == 4 && sizeof(short) == 2, "int and short sizes");

static_assert(sizeof(AVS_VideoInfo) == 48, "AVS_VideoInfo size");
static_assert(offsetof(AVS_VideoInfo, fps_numerator) == 8, "AVS_VideoInfo fps_numerator");
static_assert(offsetof(AVS_VideoInfo, num_frames) == 16, "AVS_VideoInfo num_frames");
static_assert(offsetof(AVS_VideoInfo, pixel_type) == 20, "AVS_VideoInfo pixel_type");
static_assert(offsetof(AVS_VideoInfo, audio_samples_per_second) == 24, "AVS_VideoInfo audio");
static_assert(offsetof(AVS_VideoInfo, num_audio_samples) == 32, "AVS_VideoInfo samples");
static_assert(offsetof(AVS_VideoInfo, nchannels) == 40, "AVS_VideoInfo nchannels");
static_assert(offsetof(AVS_VideoInfo, image_type) == 44, "AVS_VideoInfo image_type");

static_assert(sizeof(AVS_Value) == 16, "AVS_Value size");
static_assert(offsetof(AVS_Value, type) == 0, "AVS_Value type");
static_assert(offsetof(AVS_Value, array_size) == 2, "AVS_Value array_size");
static_assert(offsetof(AVS_Value, d) == 8 && sizeof(AVS_Value::d) == 8, "AVS_Value payload");
// A plain C struct: passed and returned as the C ABI passes a 16-byte struct.
static_assert(std::is_trivially_copyable<AVS_Value>::value, "AVS_Value is plain data");

static_assert(sizeof(AVS_FilterInfo) == 120, "AVS_FilterInfo size");
static_assert(offsetof(AVS_FilterInfo, child) == 0, "AVS_FilterInfo child");
static_assert(offsetof(AVS_FilterInfo, vi) == 8, "AVS_FilterInfo vi");
static_assert(offsetof(AVS_FilterInfo, env) == 56, "AVS_FilterInfo env");
static_assert(offsetof(AVS_FilterInfo, get_frame) == 64, "AVS_FilterInfo get_frame");
static_assert(offsetof(AVS_FilterInfo, get_parity) == 72, "AVS_FilterInfo get_parity");
static_assert(offsetof(AVS_FilterInfo, get_audio) == 80, "AVS_FilterInfo get_audio");
static_assert(offsetof(AVS_FilterInfo, set_cache_hints) == 88, "AVS_FilterInfo cache hints");
static_assert(offsetof(AVS_FilterInfo, free_filter) == 96, "AVS_FilterInfo free_filter");
static_assert(offsetof(AVS_FilterInfo, error) == 104, "AVS_FilterInfo error");
static_assert(offsetof(AVS_FilterInfo, user_data) == 112, "AVS_FilterInfo user_data");

static_assert(AVS_CS_BGR24 == static_cast<int>(0x50000001u), "AVS_CS_BGR24");
static_assert(AVS_CS_BGR32 == static_cast<int>(0x50000002u), "AVS_CS_BGR32");
static_assert(AVS_CS_YUY2 == static_cast<int>(0x60000004u), "AVS_CS_YUY2");
static_assert(AVS_CS_YV12 == static_cast<int>(0xA0000008u), "AVS_CS_YV12");
static_assert(AVS_CS_I420 == static_cast<int>(0xA0000010u), "AVS_CS_I420");
static_assert(AVS_CS_YV16 == static_cast<int>(0xA0000308u), "AVS_CS_YV16");
static_assert(AVS_CS_YV24 == static_cast<int>(0xA000030Bu), "AVS_CS_YV24");
static_assert(AVS_CS_YV411 == static_cast<int>(0xA0000309u), "AVS_CS_YV411");
static_assert(AVS_CS_YUV9 == static_cast<int>(0xA0000109u), "AVS_CS_YUV9");
static_assert(AVS_CS_Y8 == static_cast<int>(0xE0000000u), "AVS_CS_Y8");
static_assert(AVS_CS_BGR48 == static_cast<int>(0x50010001u), "AVS_CS_BGR48");

#endif  // VANTREL_SDK_AVISYNTH_C_H
