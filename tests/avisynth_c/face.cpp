// The C-interface face on the stand-in host: the 2.5 face's functions,
// arguments, refusals, regions and frames, and every failure a script error,
// never a wrong frame.
#include <gtest/gtest.h>

#include "avisynth_c/face.h"
#include "avisynth_c/stand_in.h"
#include "avisynth_shared/pixel_types.h"
#include "avisynth_shared/regions.h"
#include "core/deinterlacer.h"

namespace vantrel {
namespace {

using namespace avsc_test;
using Bytes = std::vector<uint8_t>;

// As hosts hand values to init2 plugins: 64-bit ones as 'l'.
AVS_Value Int(int64_t v) {
  AVS_Value a = avs_new_value_int(int(v));
  if (v != int(v)) {
    a.type = 'l';
    a.d.longlong = v;
  }
  return a;
}

// The filter core's answer for a tight frame (Y, U, V), the core given the
// chroma plane the type stores first, V for every type but I420 (or, with
// as_stored false, the other).
Bytes CoreResult(const Bytes& tight, int pixel_type, int width, int height,
                 const RequestedParams& requested = {}, const RegionList& regions = {},
                 bool as_stored = true) {
  const PixelFormat format = *FormatOf(pixel_type);
  Bytes in = tight, out(tight.size());
  FrameView a = BlockView(format, in.data(), width, height);
  FrameView b = BlockView(format, out.data(), width, height);
  if ((pixel_type != AVS_CS_I420) == as_stored) {
    std::swap(a.planes[1], a.planes[2]);
    std::swap(b.planes[1], b.planes[2]);
  }
  EXPECT_EQ(Deinterlacer(requested).Process(a, b, regions), FrameResult::kDone);
  return out;
}

struct Face : ::testing::Test {
  Face() {
    link.api = StandInApi();
    EXPECT_TRUE(avs_c::AddScriptFunctions(&link, &env));
    ProcessRegionList().Clear();
  }
  ~Face() override { EXPECT_EQ(g_live_frames.load(), 0) << "frames not released"; }

  // VantrelDeinterlace(source, args...); frame n of it, or the error.
  Bytes Deinterlaced(const std::shared_ptr<Node>& source, std::vector<AVS_Value> args,
                     std::string* error, int n = 0) {
    args.insert(args.begin(), ClipValue(source));
    const AVS_Value clip = Call(&env, "VantrelDeinterlace", args, error);
    Free(args[0]);
    const Bytes frame = error->empty() ? FrameOf(clip, n, error) : Bytes{};
    Free(clip);
    return frame;
  }
  bool Region(const char* name, std::vector<AVS_Value> args, std::string* error) {
    return avs_as_bool(Call(&env, name, args, error));
  }

  avs_c::HostLink link;
  AVS_ScriptEnvironment env;
};

TEST_F(Face, AddsTheThreeFunctionsOfThe25Face) {
  ASSERT_EQ(env.functions.size(), 3u);
  const auto& f = env.functions;
  EXPECT_EQ(f[0].name + " " + f[0].params, "VantrelDeinterlace c[a]i[a]i[a]i[a]i[a]i[a]b[a]b");
  EXPECT_EQ(f[1].name + " " + f[1].params, "VTDeinterlace_AddRegion i[a]i[a]i[a]i");
  EXPECT_EQ(f[2].name + " " + f[2].params, "VTDeinterlace_SubRegion i[a]i[a]i[a]i");
}

TEST_F(Face, FramesAreTheCoresWithTheArgumentsGivenOrTheirDefaults) {
  struct Case {
    int pixel_type, width, height;
    std::vector<AVS_Value> args;
    RequestedParams expected;
  };
  std::vector<Case> cases = {
      {AVS_CS_YV12, 720, 576, {}, {}},
      {AVS_CS_I420, 96, 64, {Int(2)}, {2, 16, 48, 8192, 257, false, true}},
      {AVS_CS_YV12, 96, 64,
       {Int(3), Int(8), Int(60), Int(4000), Int(100), avs_new_value_bool(true),
        avs_new_value_bool(false)},
       {3, 8, 60, 4000, 100, true, false}},
      {AVS_CS_YV12, 96, 64, {Int(-1), Int(-5)}, {-1, -5, 48, 8192, 257, false, true}},
      // Beyond 32 bits: out of range, so the default, never the low bits (0).
      {AVS_CS_YV12, 96, 64, {Int(int64_t(1) << 32)}, {INT32_MAX, 16, 48, 8192, 257, false, true}},
      {AVS_CS_YV12, 40, 36, {}, {}},  // the size notice
      {AVS_CS_YV16, 64, 48, {}, {}},
      {AVS_CS_YV411, 76, 36, {}, {}},
      {AVS_CS_Y8, 70, 36, {}, {}},
      {AVS_CS_YUY2, 32, 32, {}, {}},
      {AVS_CS_BGR24, 32, 32, {}, {}},
      {AVS_CS_BGR32, 32, 32, {}, {}},
      {AVS_CS_GENERIC_YUV420 | AVS_CS_SAMPLE_BITS_16, 70, 36, {}, {}},
  };
  // Every planar type, the detector's last row from V (U for I420), and
  // YV12's, YV16's, YV24's and Y8's families at every depth.
  const RequestedParams mode3{3, 16, 48, 8192, 257, false, true};
  for (const int type : {AVS_CS_I420, AVS_CS_YV411}) {
    cases.push_back({type, 64, 48, {Int(3)}, mode3});
  }
  for (const int family : {AVS_CS_YV12, AVS_CS_YV16, AVS_CS_YV24, AVS_CS_Y8}) {
    for (const int bits : {AVS_CS_SAMPLE_BITS_8, AVS_CS_SAMPLE_BITS_10, AVS_CS_SAMPLE_BITS_12,
                           AVS_CS_SAMPLE_BITS_14, AVS_CS_SAMPLE_BITS_16}) {
      cases.push_back({family | bits, 64, 48, {Int(3)}, mode3});
    }
  }
  for (const Case& c : cases) {
    const auto source = SourceClip(c.pixel_type, c.width, c.height);
    const AVS_Value src = ClipValue(source);
    std::string error;
    const Bytes in = FrameOf(src, 2);
    const Bytes want = CoreResult(in, c.pixel_type, c.width, c.height, c.expected);
    const std::string where = PixelTypeName(c.pixel_type) + " " + std::to_string(c.width) +
                              "x" + std::to_string(c.height);
    EXPECT_EQ(Deinterlaced(source, c.args, &error, 2), want) << where;
    EXPECT_EQ(error, "");
    if (c.expected.mode == 3 && FormatOf(c.pixel_type)->PlaneCount() == 3) {
      EXPECT_NE(CoreResult(in, c.pixel_type, c.width, c.height, c.expected, {}, false), want)
          << where << ": the picture does not tell V's first lines from U's";
    }
    Free(src);
  }
}

TEST_F(Face, RegionsApplyToEveryFilterWhoeverAddedThemUpToTheListsEnd) {
  const AVS_Value src = ClipValue(SourceClip(AVS_CS_YV12, 96, 64));
  std::string error;
  const AVS_Value before = Call(&env, "VantrelDeinterlace", {src, Int(2)}, &error);
  // One filter per thread: a shared one would share the host's error slot.
  EXPECT_EQ(CacheHint(before, AVS_CACHE_GET_MTMODE), AVS_MT_MULTI_INSTANCE);
  EXPECT_TRUE(Region("VTDeinterlace_SubRegion", {Int(0), Int(0), Int(96), Int(64)}, &error));
  // y2 saturates, so this one is skipped rather than cut to 60.
  EXPECT_TRUE(Region("VTDeinterlace_AddRegion",
                     {Int(16), Int(8), Int(48), Int((int64_t(1) << 32) + 60)}, &error));
  EXPECT_TRUE(Region("VTDeinterlace_AddRegion", {Int(16), Int(8), Int(48), Int(40)}, &error));
  RegionList regions;
  AppendRegion(regions, kSubRegion, 0, 0, 96, 64);
  AppendRegion(regions, kAddRegion, 16, 8, 48, 40);
  const AVS_Value after = Call(&env, "VantrelDeinterlace", {src, Int(2)}, &error);
  const Bytes expected = CoreResult(FrameOf(src, 1), AVS_CS_YV12, 96, 64,
                                    {2, 16, 48, 8192, 257, false, true}, regions);
  EXPECT_EQ(FrameOf(before, 1), expected);
  EXPECT_EQ(FrameOf(after, 1), expected);
  while (ProcessRegionList().Count() < RegionList::kCapacity) {
    Region("VTDeinterlace_AddRegion", {Int(0), Int(0), Int(0), Int(1)}, &error);  // empty
  }
  EXPECT_TRUE(Region("VTDeinterlace_SubRegion", {Int(0), Int(0), Int(96), Int(64)}, &error));
  EXPECT_EQ(FrameOf(after, 1), expected) << "a full list changes nothing";
  for (const AVS_Value& v : {src, before, after}) Free(v);
}

// Refusals are script errors whose text outlives the call; a frame that
// cannot be made is the frame's error, never the source.
TEST_F(Face, RefusalsAndFailuresAreErrorsNeverWrongFrames) {
  std::string error;
  Call(&env, "VantrelDeinterlace", {Int(1)}, &error);
  EXPECT_EQ(error, "VantrelDeinterlace: the first argument must be a clip");
  const std::pair<int, const char*> refused[] = {
      {AVS_CS_GENERIC_YUVA422, "YUVA422 is not supported; convert with RemoveAlphaPlane()"},
      {AVS_CS_GENERIC_YUV420 | AVS_CS_SAMPLE_BITS_32,
       "YUV420PS is not supported; convert with ConvertBits(16)"},
      {AVS_CS_GENERIC_RGBP,
       "RGBP is not supported; convert with ConvertToYUV444(matrix=\"Rec709\")"},
  };
  for (const auto& [pixel_type, message] : refused) {
    Deinterlaced(SourceClip(pixel_type, 64, 48), {}, &error);
    EXPECT_EQ(error, std::string("VantrelDeinterlace: ") + message);
  }
  for (const char* name : {"VTDeinterlace_AddRegion", "VTDeinterlace_SubRegion"}) {
    EXPECT_FALSE(Region(name, {Int(0), Int(0), Int(32)}, &error));
    EXPECT_EQ(error, std::string(name) + ": needs four numbers x1, y1, x2, y2");
  }
  Deinterlaced(SourceClip(AVS_CS_YV12, 64, 48, 3, 1), {}, &error, 1);
  EXPECT_EQ(error, "source: frame 1 cannot be read");
  link.allocate = [](size_t) -> void* { return nullptr; };
  Deinterlaced(SourceClip(AVS_CS_YV12, 64, 48), {}, &error, 2);
  EXPECT_EQ(error, "VantrelDeinterlace: not enough memory to process frame 2");
  // Without MMX and SSE the host's new frame comes back unwritten.
  link.detect_cpu = [] { return CpuFeatures{}; };
  EXPECT_EQ(Deinterlaced(SourceClip(AVS_CS_YV12, 64, 48), {}, &error),
            Bytes(64 * 48 * 3 / 2, kGuard));
}

}  // namespace
}  // namespace vantrel
