// The classic (interface version 2) frame-server plugin interface, as the host
// lays it out on Linux x86-64 (LP64, Itanium C++ ABI).
//
// A plugin and the host meet only through the memory layouts and the virtual
// slot orders below, so every member function a plugin calls is inline here
// and the plugin links against nothing of the host. Field order, field types
// and virtual declaration order are load-bearing: the static_asserts at the
// end pin the layouts, and the host tests pin the slot indices.
//
// Reference counts are updated with atomic builtins so frames and clips may be
// released from several threads; the layout stays the plain `long` the host
// expects.
#ifndef VANTREL_SDK_AVISYNTH_H
#define VANTREL_SDK_AVISYNTH_H

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

enum { AVISYNTH_INTERFACE_VERSION = 2 };

typedef unsigned char BYTE;

class IClip;
class PClip;
class PVideoFrame;
class IScriptEnvironment;
class AVSValue;

// Host code that builds frames, and the layout checks, are the only code
// allowed to touch the private fields; a plugin reads and adds clip
// references only through AvsPluginAccess, to make up for a host's release.
struct AvsHostAccess;
struct AvsLayoutChecks;
struct AvsPluginAccess;

// Plane selectors for the per-plane frame accessors; 0 means "the first plane".
enum { PLANAR_Y = 1, PLANAR_U = 2, PLANAR_V = 4 };

// CPU flags as GetCPUFlags reports them.
enum {
  CPUF_FORCE = 0x01,
  CPUF_FPU = 0x02,
  CPUF_MMX = 0x04,
  CPUF_INTEGER_SSE = 0x08,
  CPUF_SSE = 0x10,
  CPUF_SSE2 = 0x20,
  CPUF_3DNOW = 0x40,
  CPUF_3DNOW_EXT = 0x80,
};

struct VideoInfo {
  int width;
  int height;
  unsigned fps_numerator;
  unsigned fps_denominator;
  int num_frames;
  int pixel_type;
  int audio_samples_per_second;
  int sample_type;
  int64_t num_audio_samples;
  int nchannels;
  int image_type;

  // Plain ints (not an enum) so mask tests stay in int arithmetic; bit 31 makes
  // the planar values negative, which is how the host stores them too.
  static constexpr int CS_BGR = 1 << 28;
  static constexpr int CS_YUV = 1 << 29;
  static constexpr int CS_INTERLEAVED = 1 << 30;
  static constexpr int CS_PLANAR = static_cast<int>(0x80000000u);
  static constexpr int CS_UNKNOWN = 0;
  static constexpr int CS_BGR24 = 1 | CS_BGR | CS_INTERLEAVED;
  static constexpr int CS_BGR32 = 2 | CS_BGR | CS_INTERLEAVED;
  static constexpr int CS_YUY2 = 4 | CS_YUV | CS_INTERLEAVED;
  static constexpr int CS_YV12 = 8 | CS_YUV | CS_PLANAR;
  static constexpr int CS_I420 = 16 | CS_YUV | CS_PLANAR;
  static constexpr int CS_IYUV = CS_I420;

  // Newer hosts spell further formats out in bit fields: family, chroma
  // subsampling, plane order and sample size. A plugin of this interface
  // meets them too, so it must be able to tell them from the five above.
  static constexpr int CS_YUVA = 1 << 27;
  static constexpr int CS_RGB_TYPE = 1;
  static constexpr int CS_RGBA_TYPE = 2;
  static constexpr int CS_VPlaneFirst = 1 << 3;
  static constexpr int CS_UPlaneFirst = 1 << 4;
  static constexpr int CS_Sub_Width_Mask = 7;
  static constexpr int CS_Sub_Width_1 = 3;
  static constexpr int CS_Sub_Width_2 = 0;
  static constexpr int CS_Sub_Width_4 = 1;
  static constexpr int CS_Sub_Height_Mask = 7 << 8;
  static constexpr int CS_Sub_Height_1 = 3 << 8;
  static constexpr int CS_Sub_Height_2 = 0 << 8;
  static constexpr int CS_Sub_Height_4 = 1 << 8;
  static constexpr int CS_Sample_Bits_Mask = 7 << 16;
  static constexpr int CS_Sample_Bits_8 = 0 << 16;
  static constexpr int CS_Sample_Bits_10 = 5 << 16;
  static constexpr int CS_Sample_Bits_12 = 6 << 16;
  static constexpr int CS_Sample_Bits_14 = 7 << 16;
  static constexpr int CS_Sample_Bits_16 = 1 << 16;
  static constexpr int CS_Sample_Bits_32 = 2 << 16;

  // Families without their sample size; OR in a CS_Sample_Bits_ value.
  static constexpr int CS_GENERIC_YUV444 =
      CS_PLANAR | CS_YUV | CS_VPlaneFirst | CS_Sub_Width_1 | CS_Sub_Height_1;
  static constexpr int CS_GENERIC_YUV422 =
      CS_PLANAR | CS_YUV | CS_VPlaneFirst | CS_Sub_Width_2 | CS_Sub_Height_1;
  static constexpr int CS_GENERIC_YUV420 =
      CS_PLANAR | CS_YUV | CS_VPlaneFirst | CS_Sub_Width_2 | CS_Sub_Height_2;
  static constexpr int CS_GENERIC_Y = CS_PLANAR | CS_INTERLEAVED | CS_YUV;
  static constexpr int CS_GENERIC_RGBP = CS_PLANAR | CS_BGR | CS_RGB_TYPE;
  static constexpr int CS_GENERIC_RGBAP = CS_PLANAR | CS_BGR | CS_RGBA_TYPE;
  static constexpr int CS_GENERIC_YUVA444 =
      CS_PLANAR | CS_YUVA | CS_VPlaneFirst | CS_Sub_Width_1 | CS_Sub_Height_1;
  static constexpr int CS_GENERIC_YUVA422 =
      CS_PLANAR | CS_YUVA | CS_VPlaneFirst | CS_Sub_Width_2 | CS_Sub_Height_1;
  static constexpr int CS_GENERIC_YUVA420 =
      CS_PLANAR | CS_YUVA | CS_VPlaneFirst | CS_Sub_Width_2 | CS_Sub_Height_2;

  static constexpr int CS_YV24 = CS_GENERIC_YUV444 | CS_Sample_Bits_8;
  static constexpr int CS_YV16 = CS_GENERIC_YUV422 | CS_Sample_Bits_8;
  static constexpr int CS_YV411 =
      CS_PLANAR | CS_YUV | CS_VPlaneFirst | CS_Sub_Width_4 | CS_Sub_Height_1;
  static constexpr int CS_YUV9 =
      CS_PLANAR | CS_YUV | CS_VPlaneFirst | CS_Sub_Width_4 | CS_Sub_Height_4;
  static constexpr int CS_Y8 = CS_GENERIC_Y | CS_Sample_Bits_8;
  static constexpr int CS_BGR48 = CS_BGR24 | CS_Sample_Bits_16;
  static constexpr int CS_BGR64 = CS_BGR32 | CS_Sample_Bits_16;

  static constexpr int IT_BFF = 1;
  static constexpr int IT_TFF = 2;
  static constexpr int IT_FIELDBASED = 4;

  bool HasVideo() const { return width != 0; }
  bool HasAudio() const { return audio_samples_per_second != 0; }
  bool IsColorSpace(int c) const { return (pixel_type & c) == c; }
  bool IsRGB() const { return (pixel_type & CS_BGR) != 0; }
  bool IsRGB24() const { return IsColorSpace(CS_BGR24); }
  bool IsRGB32() const { return IsColorSpace(CS_BGR32); }
  bool IsYUV() const { return (pixel_type & CS_YUV) != 0; }
  bool IsYUY2() const { return IsColorSpace(CS_YUY2); }
  // True for both 4:2:0 planar orders, as plugins expect.
  bool IsYV12() const { return IsColorSpace(CS_YV12) || IsColorSpace(CS_I420); }
  bool IsI420() const { return IsColorSpace(CS_I420); }
  bool IsPlanar() const { return (pixel_type & CS_PLANAR) != 0; }
  bool IsFieldBased() const { return (image_type & IT_FIELDBASED) != 0; }
  bool IsBFF() const { return (image_type & IT_BFF) != 0; }
  bool IsTFF() const { return (image_type & IT_TFF) != 0; }
  bool IsParityKnown() const { return IsFieldBased() && (IsBFF() || IsTFF()); }

  // Bytes per pixel of the first plane (luma for planar types).
  int BytesFromPixels(int pixels) const {
    if (IsPlanar()) return pixels;
    if (IsYUY2()) return pixels * 2;
    if (IsRGB32()) return pixels * 4;
    if (IsRGB24()) return pixels * 3;
    return 0;
  }
  int RowSize() const { return BytesFromPixels(width); }
  int BitsPerPixel() const {
    if (IsYV12()) return 12;
    return BytesFromPixels(1) * 8;
  }
};

class VideoFrameBuffer {
 public:
  VideoFrameBuffer() = default;
  VideoFrameBuffer(const VideoFrameBuffer&) = delete;
  VideoFrameBuffer& operator=(const VideoFrameBuffer&) = delete;

  const BYTE* GetReadPtr() const { return data; }
  BYTE* GetWritePtr() {
    ++sequence_number;
    return data;
  }
  int GetDataSize() const { return data_size; }
  long GetSequenceNumber() const { return sequence_number; }
  long GetRefcount() const { return __atomic_load_n(&refcount, __ATOMIC_ACQUIRE); }

 private:
  friend class VideoFrame;
  friend struct AvsHostAccess;
  friend struct AvsLayoutChecks;

  BYTE* data;
  int data_size;
  long sequence_number;
  long refcount;
};

class VideoFrame {
 public:
  VideoFrame() = default;
  VideoFrame(const VideoFrame&) = delete;
  VideoFrame& operator=(const VideoFrame&) = delete;

  int GetPitch(int plane = 0) const { return IsChroma(plane) ? pitchUV : pitch; }
  // A packed frame has pitchUV 0, and then no chroma planes.
  int GetRowSize(int plane = 0) const {
    if (IsChroma(plane)) return pitchUV ? row_size / 2 : 0;
    return row_size;
  }
  int GetHeight(int plane = 0) const {
    if (IsChroma(plane)) return pitchUV ? height / 2 : 0;
    return height;
  }
  int GetOffset(int plane = 0) const {
    if (plane == PLANAR_U) return offsetU;
    if (plane == PLANAR_V) return offsetV;
    return offset;
  }
  const BYTE* GetReadPtr(int plane = 0) const { return vfb->GetReadPtr() + GetOffset(plane); }
  // Only the luma (or packed) pointer is guarded: the host hands out chroma
  // pointers unchecked, and plugins rely on getting them.
  BYTE* GetWritePtr(int plane = 0) const {
    if (IsChroma(plane)) return vfb->data + GetOffset(plane);
    if (!IsWritable()) return nullptr;
    return vfb->GetWritePtr() + offset;
  }
  bool IsWritable() const {
    return __atomic_load_n(&refcount, __ATOMIC_ACQUIRE) == 1 && vfb->GetRefcount() == 1;
  }
  VideoFrameBuffer* GetFrameBuffer() const { return vfb; }

 private:
  friend class PVideoFrame;
  friend struct AvsHostAccess;
  friend struct AvsLayoutChecks;

  static bool IsChroma(int plane) { return plane == PLANAR_U || plane == PLANAR_V; }

  void AddRef() { __atomic_add_fetch(&refcount, 1, __ATOMIC_ACQ_REL); }
  // The host recycles a frame once its count is 0 and its buffer once the
  // buffer's count is 0, so the last holder drops the buffer first. The CAS
  // loop makes "am I the last holder" and the decrement one step, so two
  // threads releasing the last two references cannot both skip the buffer.
  void Release() {
    VideoFrameBuffer* buffer = vfb;
    long count = __atomic_load_n(&refcount, __ATOMIC_ACQUIRE);
    for (;;) {
      if (count == 1) {
        __atomic_sub_fetch(&buffer->refcount, 1, __ATOMIC_ACQ_REL);
        __atomic_store_n(&refcount, 0, __ATOMIC_RELEASE);
        return;
      }
      if (__atomic_compare_exchange_n(&refcount, &count, count - 1, false, __ATOMIC_ACQ_REL,
                                      __ATOMIC_ACQUIRE)) {
        return;
      }
    }
  }

  long refcount;
  VideoFrameBuffer* vfb;
  int offset;
  int pitch;
  int row_size;
  int height;
  int offsetU;
  int offsetV;
  int pitchUV;
};

class PVideoFrame {
 public:
  PVideoFrame() : p(nullptr) {}
  PVideoFrame(VideoFrame* frame) : p(frame) { Acquire(); }
  PVideoFrame(const PVideoFrame& other) : p(other.p) { Acquire(); }
  PVideoFrame& operator=(const PVideoFrame& other) {
    VideoFrame* old = p;
    p = other.p;
    Acquire();
    if (old) old->Release();
    return *this;
  }
  PVideoFrame& operator=(VideoFrame* frame) { return *this = PVideoFrame(frame); }
  ~PVideoFrame() {
    if (p) p->Release();
  }

  VideoFrame* operator->() const { return p; }
  VideoFrame& operator*() const { return *p; }
  VideoFrame* get() const { return p; }
  explicit operator bool() const { return p != nullptr; }
  bool operator!() const { return p == nullptr; }

 private:
  friend struct AvsLayoutChecks;
  void Acquire() {
    if (p) p->AddRef();
  }
  VideoFrame* p;
};

class IClip {
 public:
  IClip() : refcnt(0) {}
  IClip(const IClip&) = delete;
  IClip& operator=(const IClip&) = delete;

  // Declaration order is the host's slot order; the destructor comes last.
  virtual int GetVersion() { return AVISYNTH_INTERFACE_VERSION; }
  virtual PVideoFrame GetFrame(int n, IScriptEnvironment* env) = 0;
  virtual bool GetParity(int n) = 0;
  virtual void GetAudio(void* buf, int64_t start, int64_t count, IScriptEnvironment* env) = 0;
  virtual void SetCacheHints(int cachehints, int frame_range) = 0;
  virtual const VideoInfo& GetVideoInfo() = 0;
  virtual ~IClip() {}

 private:
  friend class PClip;
  friend class AVSValue;
  friend struct AvsHostAccess;
  friend struct AvsLayoutChecks;
  friend struct AvsPluginAccess;

  void AddRef() { __atomic_add_fetch(&refcnt, 1, __ATOMIC_ACQ_REL); }
  void Release() {
    if (__atomic_sub_fetch(&refcnt, 1, __ATOMIC_ACQ_REL) == 0) delete this;
  }

  long refcnt;
};

class PClip {
 public:
  PClip() : p(nullptr) {}
  PClip(IClip* clip) : p(clip) { Acquire(); }
  PClip(const PClip& other) : p(other.p) { Acquire(); }
  PClip& operator=(const PClip& other) {
    IClip* old = p;
    p = other.p;
    Acquire();
    if (old) old->Release();
    return *this;
  }
  PClip& operator=(IClip* clip) { return *this = PClip(clip); }
  ~PClip() {
    if (p) p->Release();
  }

  IClip* operator->() const { return p; }
  IClip& operator*() const { return *p; }
  IClip* get() const { return p; }
  explicit operator bool() const { return p != nullptr; }
  bool operator!() const { return p == nullptr; }

 private:
  friend struct AvsLayoutChecks;
  void Acquire() {
    if (p) p->AddRef();
  }
  IClip* p;
};

// A script value. The user-written copy constructor and destructor are part of
// the ABI: they make the value travel by hidden reference, as the host passes
// it. A value never owns strings or array elements; whoever built it keeps
// them alive (the host does so for argument arrays for the duration of a call).
class AVSValue {
 public:
  AVSValue() : type('v'), array_size(0) { u.integer = 0; }
  AVSValue(IClip* c) : type('c'), array_size(0) {
    u.clip = c;
    if (c) c->AddRef();
  }
  AVSValue(const PClip& c) : AVSValue(c.get()) {}
  AVSValue(bool b) : type('b'), array_size(0) {
    u.integer = 0;
    u.boolean = b;
  }
  AVSValue(int i) : type('i'), array_size(0) { u.integer = i; }
  AVSValue(float f) : type('f'), array_size(0) {
    u.integer = 0;
    u.floating_pt = f;
  }
  AVSValue(double f) : AVSValue(static_cast<float>(f)) {}
  AVSValue(const char* s) : type('s'), array_size(0) { u.string = s; }
  AVSValue(const AVSValue* elements, int size) : type('a'), array_size(static_cast<short>(size)) {
    u.array = elements;
  }
  AVSValue(const AVSValue& other) { CopyFrom(other); }
  AVSValue& operator=(const AVSValue& other) {
    if (this != &other) {
      AVSValue old(*this);  // released after the copy, in case other lives inside it
      ReleaseClip();
      CopyFrom(other);
    }
    return *this;
  }
  ~AVSValue() { ReleaseClip(); }

  bool Defined() const { return type != 'v'; }
  bool IsClip() const { return type == 'c'; }
  bool IsBool() const { return type == 'b'; }
  bool IsInt() const { return type == 'i'; }
  bool IsFloat() const { return type == 'f' || type == 'i'; }
  bool IsString() const { return type == 's'; }
  bool IsArray() const { return type == 'a'; }

  // Without a default these answer a neutral value on a type mismatch: a
  // plugin cannot let an error cross into the host.
  PClip AsClip() const { return IsClip() ? PClip(u.clip) : PClip(); }
  bool AsBool() const { return AsBool(false); }
  int AsInt() const { return AsInt(0); }
  float AsFloat() const { return AsFloat(0.0f); }
  const char* AsString() const { return AsString(nullptr); }
  bool AsBool(bool def) const { return IsBool() ? u.boolean : def; }
  int AsInt(int def) const { return IsInt() ? u.integer : def; }
  float AsFloat(float def) const {
    if (type == 'i') return static_cast<float>(u.integer);
    return type == 'f' ? u.floating_pt : def;
  }
  const char* AsString(const char* def) const { return IsString() ? u.string : def; }

  // A non-array value behaves as an array of one; out of range gives an
  // undefined value rather than a wild read.
  int ArraySize() const { return IsArray() ? array_size : 1; }
  const AVSValue& operator[](int index) const {
    if (!IsArray()) return index == 0 ? *this : Undefined();
    if (index < 0 || index >= array_size) return Undefined();
    return u.array[index];
  }

  char Type() const { return static_cast<char>(type); }

 private:
  friend struct AvsLayoutChecks;

  static const AVSValue& Undefined() {
    static const AVSValue undefined;
    return undefined;
  }
  void CopyFrom(const AVSValue& other) {
    type = other.type;
    array_size = other.array_size;
    std::memcpy(&u, &other.u, sizeof u);  // all eight bytes, whatever the member
    if (IsClip() && u.clip) u.clip->AddRef();
  }
  void ReleaseClip() {
    if (IsClip() && u.clip) u.clip->Release();
  }

  short type;
  short array_size;
  union Payload {
    IClip* clip;
    bool boolean;
    int integer;
    float floating_pt;
    const char* string;
    const AVSValue* array;
  } u;
};

// Passes everything but frames through to the child; filters override GetFrame.
class GenericVideoFilter : public IClip {
 public:
  explicit GenericVideoFilter(const PClip& c) : child(c) { vi = child->GetVideoInfo(); }

  PVideoFrame GetFrame(int n, IScriptEnvironment* env) override { return child->GetFrame(n, env); }
  bool GetParity(int n) override { return child->GetParity(n); }
  void GetAudio(void* buf, int64_t start, int64_t count, IScriptEnvironment* env) override {
    child->GetAudio(buf, start, count, env);
  }
  void SetCacheHints(int, int) override {}
  const VideoInfo& GetVideoInfo() override { return vi; }

 protected:
  PClip child;
  VideoInfo vi;

 private:
  friend struct AvsLayoutChecks;
};

enum PlanarChromaAlignmentMode {
  PlanarChromaAlignmentOff,
  PlanarChromaAlignmentOn,
  PlanarChromaAlignmentTest,
};

class IScriptEnvironment {
 public:
  typedef AVSValue (*ApplyFunc)(AVSValue args, void* user_data, IScriptEnvironment* env);
  typedef void (*ShutdownFunc)(void* user_data, IScriptEnvironment* env);

  // Declaration order is the host's slot order; the destructor comes first.
  virtual ~IScriptEnvironment() {}
  virtual long GetCPUFlags() = 0;
  virtual char* SaveString(const char* s, int length = -1) = 0;
  virtual char* Sprintf(const char* fmt, ...) = 0;
  virtual char* VSprintf(const char* fmt, va_list val) = 0;
  [[noreturn]] virtual void ThrowError(const char* fmt, ...) = 0;
  virtual void AddFunction(const char* name, const char* params, ApplyFunc apply,
                           void* user_data) = 0;
  virtual bool FunctionExists(const char* name) = 0;
  virtual AVSValue Invoke(const char* name, const AVSValue args,
                          const char* const* arg_names = 0) = 0;
  virtual AVSValue GetVar(const char* name) = 0;
  virtual bool SetVar(const char* name, const AVSValue& val) = 0;
  virtual bool SetGlobalVar(const char* name, const AVSValue& val) = 0;
  virtual void PushContext(int level = 0) = 0;
  virtual void PopContext() = 0;
  virtual PVideoFrame NewVideoFrame(const VideoInfo& vi, int align = 16) = 0;
  virtual bool MakeWritable(PVideoFrame* pvf) = 0;
  virtual void BitBlt(BYTE* dstp, int dst_pitch, const BYTE* srcp, int src_pitch, int row_size,
                      int height) = 0;
  virtual void AtExit(ShutdownFunc function, void* user_data) = 0;
  virtual void CheckVersion(int version = AVISYNTH_INTERFACE_VERSION) = 0;
  virtual PVideoFrame Subframe(PVideoFrame src, int rel_offset, int new_pitch, int new_row_size,
                               int new_height) = 0;
  virtual int SetMemoryMax(int mem) = 0;
  virtual int SetWorkingDir(const char* newdir) = 0;
  virtual void* ManageCache(int key, void* data) = 0;
  virtual bool PlanarChromaAlignment(PlanarChromaAlignmentMode key) = 0;
  virtual PVideoFrame SubframePlanar(PVideoFrame src, int rel_offset, int new_pitch,
                                     int new_row_size, int new_height, int rel_offsetU,
                                     int rel_offsetV, int new_pitchUV) = 0;
};

typedef AVSValue (*AvsApplyFunc)(AVSValue args, void* user_data, IScriptEnvironment* env);

// The plugin's only export; hidden visibility elsewhere must not hide it.
extern "C" __attribute__((visibility("default"))) const char* AvisynthPluginInit2(
    IScriptEnvironment* env);
typedef const char* (*AvisynthPluginInit2Func)(IScriptEnvironment* env);

// offsetof on the classes with virtuals is conditionally supported; g++ and
// clang compute it from the real layout, which is what we want to pin.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
struct AvsLayoutChecks {
  static_assert(sizeof(long) == 8 && sizeof(void*) == 8, "the layouts below are LP64");

  static_assert(sizeof(VideoInfo) == 48, "VideoInfo size");
  static_assert(offsetof(VideoInfo, width) == 0 && offsetof(VideoInfo, height) == 4, "");
  static_assert(offsetof(VideoInfo, fps_numerator) == 8, "VideoInfo fps_numerator");
  static_assert(offsetof(VideoInfo, fps_denominator) == 12, "VideoInfo fps_denominator");
  static_assert(offsetof(VideoInfo, num_frames) == 16, "VideoInfo num_frames");
  static_assert(offsetof(VideoInfo, pixel_type) == 20, "VideoInfo pixel_type");
  static_assert(offsetof(VideoInfo, audio_samples_per_second) == 24, "VideoInfo audio rate");
  static_assert(offsetof(VideoInfo, sample_type) == 28, "VideoInfo sample_type");
  static_assert(offsetof(VideoInfo, num_audio_samples) == 32, "VideoInfo num_audio_samples");
  static_assert(offsetof(VideoInfo, nchannels) == 40, "VideoInfo nchannels");
  static_assert(offsetof(VideoInfo, image_type) == 44, "VideoInfo image_type");

  static_assert(VideoInfo::CS_BGR24 == static_cast<int>(0x50000001u), "CS_BGR24");
  static_assert(VideoInfo::CS_BGR32 == static_cast<int>(0x50000002u), "CS_BGR32");
  static_assert(VideoInfo::CS_YUY2 == static_cast<int>(0x60000004u), "CS_YUY2");
  static_assert(VideoInfo::CS_YV12 == static_cast<int>(0xA0000008u), "CS_YV12");
  static_assert(VideoInfo::CS_I420 == static_cast<int>(0xA0000010u), "CS_I420");
  static_assert(VideoInfo::CS_YV12 == (VideoInfo::CS_GENERIC_YUV420 | VideoInfo::CS_Sample_Bits_8),
                "CS_YV12 is the 8-bit 4:2:0 family");
  static_assert(VideoInfo::CS_YV16 == static_cast<int>(0xA0000308u), "CS_YV16");
  static_assert(VideoInfo::CS_YV24 == static_cast<int>(0xA000030Bu), "CS_YV24");
  static_assert(VideoInfo::CS_Y8 == static_cast<int>(0xE0000000u), "CS_Y8");

  static_assert(sizeof(VideoFrameBuffer) == 32, "VideoFrameBuffer size");
  static_assert(offsetof(VideoFrameBuffer, data) == 0, "VideoFrameBuffer data");
  static_assert(offsetof(VideoFrameBuffer, data_size) == 8, "VideoFrameBuffer data_size");
  static_assert(offsetof(VideoFrameBuffer, sequence_number) == 16, "VideoFrameBuffer seq");
  static_assert(offsetof(VideoFrameBuffer, refcount) == 24, "VideoFrameBuffer refcount");

  static_assert(sizeof(VideoFrame) == 48, "VideoFrame size");
  static_assert(offsetof(VideoFrame, refcount) == 0, "VideoFrame refcount");
  static_assert(offsetof(VideoFrame, vfb) == 8, "VideoFrame vfb");
  static_assert(offsetof(VideoFrame, offset) == 16, "VideoFrame offset");
  static_assert(offsetof(VideoFrame, pitch) == 20, "VideoFrame pitch");
  static_assert(offsetof(VideoFrame, row_size) == 24, "VideoFrame row_size");
  static_assert(offsetof(VideoFrame, height) == 28, "VideoFrame height");
  static_assert(offsetof(VideoFrame, offsetU) == 32, "VideoFrame offsetU");
  static_assert(offsetof(VideoFrame, offsetV) == 36, "VideoFrame offsetV");
  static_assert(offsetof(VideoFrame, pitchUV) == 40, "VideoFrame pitchUV");

  static_assert(sizeof(PVideoFrame) == 8 && offsetof(PVideoFrame, p) == 0, "PVideoFrame");
  static_assert(sizeof(PClip) == 8 && offsetof(PClip, p) == 0, "PClip");

  static_assert(sizeof(IClip) == 16 && offsetof(IClip, refcnt) == 8, "IClip");
  static_assert(offsetof(GenericVideoFilter, child) == 16, "GenericVideoFilter child");
  static_assert(offsetof(GenericVideoFilter, vi) == 24, "GenericVideoFilter vi");
  static_assert(sizeof(GenericVideoFilter) == 72, "GenericVideoFilter size");

  static_assert(sizeof(AVSValue) == 16, "AVSValue size");
  static_assert(offsetof(AVSValue, type) == 0, "AVSValue type");
  static_assert(offsetof(AVSValue, array_size) == 2, "AVSValue array_size");
  static_assert(offsetof(AVSValue, u) == 8 && sizeof(AVSValue::u) == 8, "AVSValue payload");
  // A non-trivial copy makes the ABI pass and return these by hidden reference.
  static_assert(!std::is_trivially_copyable<AVSValue>::value, "AVSValue must travel by reference");
  static_assert(!std::is_trivially_copyable<PVideoFrame>::value, "PVideoFrame by reference");
  static_assert(!std::is_trivially_copyable<PClip>::value, "PClip by reference");
};
#pragma GCC diagnostic pop

#endif  // VANTREL_SDK_AVISYNTH_H
