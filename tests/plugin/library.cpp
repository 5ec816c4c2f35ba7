// The plugin as a host sees it: the shared library loaded with dlopen. Each
// test loads its own copy of the file so it starts with an empty region list.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <string>

#include "harness.h"
#include "host/plugin_loader.h"

namespace vantrel {
namespace {

using host::Environment;
using test::MakeInfo;

std::string FreshLibraryCopy() {
  static std::atomic<int> serial{0};
  const std::string path = ::testing::TempDir() + "vantrel_copy_" + std::to_string(getpid()) +
                           "_" + std::to_string(serial++) + ".so";
  std::ifstream in(VANTREL_PLUGIN_PATH, std::ios::binary);
  std::ofstream out(path, std::ios::binary);
  out << in.rdbuf();
  return path;
}

struct Loaded {
  Loaded() : load(host::LoadPlugin(&env, FreshLibraryCopy())) {}
  AVSValue Region(const char* name, std::vector<AVSValue> args) {
    return env.CallPositional(name, args);
  }
  PClip Deinterlace(const PClip& source, std::vector<AVSValue> extra = {}) {
    std::vector<AVSValue> args{AVSValue(source)};
    args.insert(args.end(), extra.begin(), extra.end());
    return env.CallPositional("VantrelDeinterlace", args).AsClip();
  }
  Environment env;
  host::PluginLoad load;
};

TEST(PluginLibrary, RegistersThreeFunctionsInOrder) {
  Loaded lib;
  ASSERT_TRUE(lib.load.ok) << lib.load.error;
  EXPECT_EQ(lib.load.description, "`Vantrel' Vantrel plugin");
  const auto functions = lib.env.Functions();
  ASSERT_EQ(functions.size(), 3u);
  EXPECT_EQ(functions[0].name, "VantrelDeinterlace");
  EXPECT_EQ(functions[0].params, "c[a]i[a]i[a]i[a]i[a]i[a]b[a]b");
  EXPECT_EQ(functions[1].name, "VTDeinterlace_AddRegion");
  EXPECT_EQ(functions[1].params, "i[a]i[a]i[a]i");
  EXPECT_EQ(functions[2].name, "VTDeinterlace_SubRegion");
  EXPECT_EQ(functions[2].params, "i[a]i[a]i[a]i");
  for (const auto& f : functions) EXPECT_EQ(f.user_data, nullptr);
}

TEST(PluginLibrary, ArgumentsAndDefaultsReachTheFilter) {
  // The filter class compiled into this test is the one in the library, so
  // the entry linked here shows what the script's arguments become.
  Environment env;
  AvisynthPluginInit2(&env);
  const PClip source = test::MemoryClip(MakeInfo(VideoInfo::CS_YV12, 32, 32));
  auto requested = [&](std::vector<AVSValue> extra) {
    std::vector<AVSValue> args{AVSValue(source)};
    args.insert(args.end(), extra.begin(), extra.end());
    const PClip clip = env.CallPositional("VantrelDeinterlace", args).AsClip();
    return static_cast<DeinterlaceFilter*>(clip.get())->GetRequestedParams();
  };
  RequestedParams r = requested({});
  EXPECT_EQ(r.mode, 4);
  EXPECT_EQ(r.search_range, 16);
  EXPECT_EQ(r.comb_threshold, 48);
  EXPECT_EQ(r.match_threshold, 8192);
  EXPECT_EQ(r.pixel_threshold, 257);
  EXPECT_FALSE(r.use_comb_mask);
  EXPECT_TRUE(r.use_output_reference);
  r = requested({AVSValue(2)});
  EXPECT_EQ(r.mode, 2);
  EXPECT_EQ(r.search_range, 16);
  r = requested({AVSValue(3), AVSValue(8), AVSValue(60), AVSValue(4000), AVSValue(100),
                 AVSValue(true), AVSValue(false)});
  EXPECT_EQ(r.search_range, 8);
  EXPECT_EQ(r.comb_threshold, 60);
  EXPECT_EQ(r.match_threshold, 4000);
  EXPECT_EQ(r.pixel_threshold, 100);
  EXPECT_TRUE(r.use_comb_mask);
  EXPECT_FALSE(r.use_output_reference);
  r = requested({AVSValue(-1), AVSValue(-5)});
  EXPECT_EQ(r.mode, -1);
  EXPECT_EQ(r.search_range, -5);
}

TEST(PluginLibrary, OutOfRangeArgumentsRunAsDefaults) {
  Loaded lib;
  ASSERT_TRUE(lib.load.ok) << lib.load.error;
  const PClip source = test::MemoryClip(MakeInfo(VideoInfo::CS_YV12, 64, 48));
  const auto odd = test::FrameOf(lib.Deinterlace(source, {AVSValue(-1), AVSValue(-5)}), lib.env);
  const auto plain = test::FrameOf(lib.Deinterlace(source), lib.env);
  EXPECT_EQ(odd, plain);
  EXPECT_EQ(plain, test::EngineResult(test::FrameOf(source, lib.env), 64, 48, EngineParams{}));
}

TEST(PluginLibrary, RegionsApplyToEveryFilterWhoeverAddedThem) {
  Loaded lib;
  ASSERT_TRUE(lib.load.ok) << lib.load.error;
  const VideoInfo vi = MakeInfo(VideoInfo::CS_YV12, 64, 48);
  const PClip source = test::MemoryClip(vi);
  const PClip before = lib.Deinterlace(source);  // built before the regions exist
  const auto processed = test::FrameOf(before, lib.env);
  const auto in = test::FrameOf(source, lib.env);
  EXPECT_TRUE(lib.Region("VTDeinterlace_SubRegion", {AVSValue(0), AVSValue(0), AVSValue(64),
                                                     AVSValue(48)}).AsBool(false));
  EXPECT_TRUE(lib.Region("VTDeinterlace_AddRegion", {AVSValue(16), AVSValue(8), AVSValue(32),
                                                     AVSValue(24)}).AsBool(false));
  const PClip after = lib.Deinterlace(source, {AVSValue(2)});
  const auto mode2 = test::EngineResult(in, 64, 48, [] {
    EngineParams p;
    p.mode = 2;
    return p;
  }());
  const auto out_before = test::FrameOf(before, lib.env);
  const auto out_after = test::FrameOf(after, lib.env);
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 64; ++x) {
      const size_t i = size_t(y) * 64 + x;
      const bool square = x >= 16 && x < 32 && y >= 8 && y < 24;
      ASSERT_EQ(out_before[i], square ? processed[i] : in[i]) << x << "," << y;
      ASSERT_EQ(out_after[i], square ? mode2[i] : in[i]) << x << "," << y;
    }
  EXPECT_TRUE(std::equal(out_before.begin() + 64 * 48, out_before.end(),
                         processed.begin() + 64 * 48))
      << "chroma stays processed";
}

TEST(PluginLibrary, FullListAndIncompleteCallsChangeNothing) {
  Loaded lib;
  ASSERT_TRUE(lib.load.ok) << lib.load.error;
  const PClip source = test::MemoryClip(MakeInfo(VideoInfo::CS_YV12, 32, 32));
  // Omitted corners describe no rectangle.
  EXPECT_TRUE(lib.Region("VTDeinterlace_SubRegion", {AVSValue(0), AVSValue(0), AVSValue(32)})
                  .AsBool(false));
  EXPECT_TRUE(lib.Region("VTDeinterlace_SubRegion", {AVSValue(0)}).AsBool(false));
  const auto untouched = test::FrameOf(lib.Deinterlace(source), lib.env);
  EXPECT_NE(untouched, test::FrameOf(source, lib.env));
  for (int i = 0; i < 100; ++i)
    lib.Region("VTDeinterlace_AddRegion", {AVSValue(0), AVSValue(0), AVSValue(1), AVSValue(1)});
  EXPECT_TRUE(lib.Region("VTDeinterlace_SubRegion",
                         {AVSValue(0), AVSValue(0), AVSValue(32), AVSValue(32)})
                  .AsBool(false));
  EXPECT_EQ(test::FrameOf(lib.Deinterlace(source), lib.env), untouched);
}

TEST(PluginLibrary, SubRegionShowsTheSourceOverANoticeButPackedFramesIgnoreIt) {
  Loaded lib;
  ASSERT_TRUE(lib.load.ok) << lib.load.error;
  lib.Region("VTDeinterlace_SubRegion", {AVSValue(0), AVSValue(0), AVSValue(16), AVSValue(16)});
  const PClip planar = test::MemoryClip(MakeInfo(VideoInfo::CS_YV12, 40, 36));
  const auto in = test::FrameOf(planar, lib.env);
  const auto out = test::FrameOf(lib.Deinterlace(planar), lib.env);
  for (int y = 0; y < 36; ++y)
    for (int x = 0; x < 40; ++x)
      if (x < 16 && y < 16) {
        ASSERT_EQ(out[y * 40 + x], in[y * 40 + x]);
      }
  EXPECT_NE(out, in) << "the rest carries the notice";

  for (int type : {VideoInfo::CS_YUY2, VideoInfo::CS_BGR32}) {
    const PClip packed = test::MemoryClip(MakeInfo(type, 32, 32));
    Environment env;
    const auto noticed = test::FrameOf(test::Filter(packed), env);
    EXPECT_EQ(test::FrameOf(lib.Deinterlace(packed), lib.env), noticed) << type;
  }
}

}  // namespace
}  // namespace vantrel
