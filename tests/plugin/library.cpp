// The plugin as a host sees it: the shared library loaded with dlopen. Each
// test loads its own copy of the file so it starts with an empty region list.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <string>

#include "harness.h"
#include "avisynth/host_error.h"
#include "avisynth/plugin_loader.h"

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
  explicit Loaded(host::ClipArgRelease release = host::ClipArgRelease::kBalanced)
      : env(release), load(host::LoadPlugin(&env, FreshLibraryCopy())) {}
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
  EXPECT_EQ(plain, test::CoreResult(test::FrameOf(source, lib.env), source->GetVideoInfo()));
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
  RequestedParams mode_two;
  mode_two.mode = 2;
  const auto mode2 = test::CoreResult(in, vi, mode_two);
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

// The message of the script error a call raises, or "" when it raises none.
template <typename Call>
std::string ScriptError(Call call) {
  try {
    call();
  } catch (const host::HostError& e) {
    return e.what();
  }
  return "";
}

TEST(PluginLibrary, IncompleteCallsAreScriptErrorsAndAFullListChangesNothing) {
  Loaded lib;
  ASSERT_TRUE(lib.load.ok) << lib.load.error;
  const PClip source = test::MemoryClip(MakeInfo(VideoInfo::CS_YV12, 32, 32));
  for (const char* name : {"VTDeinterlace_SubRegion", "VTDeinterlace_AddRegion"}) {
    for (size_t given : {1, 3}) {
      std::vector<AVSValue> args{AVSValue(0), AVSValue(0), AVSValue(32)};
      args.resize(given);
      EXPECT_EQ(ScriptError([&] { lib.Region(name, args); }),
                std::string(name) + ": needs four numbers x1, y1, x2, y2");
    }
  }
  const auto untouched = test::FrameOf(lib.Deinterlace(source), lib.env);
  EXPECT_NE(untouched, test::FrameOf(source, lib.env)) << "no region was added";
  for (int i = 0; i < 100; ++i)
    lib.Region("VTDeinterlace_AddRegion", {AVSValue(0), AVSValue(0), AVSValue(1), AVSValue(1)});
  EXPECT_TRUE(lib.Region("VTDeinterlace_SubRegion",
                         {AVSValue(0), AVSValue(0), AVSValue(32), AVSValue(32)})
                  .AsBool(false));
  EXPECT_EQ(test::FrameOf(lib.Deinterlace(source), lib.env), untouched);
}

TEST(PluginLibrary, OtherPixelTypesAreRefusedNamingFormatAndConversion) {
  Environment env;
  AvisynthPluginInit2(&env);
  auto refusal = [&](int pixel_type) {
    const PClip source = test::MemoryClip(MakeInfo(pixel_type, 64, 48));
    return ScriptError([&] { env.CallPositional("VantrelDeinterlace", {AVSValue(source)}); });
  };
  const std::string to_yuv444 = "ConvertToYUV444(matrix=\"Rec709\")";
  struct Case {
    uint32_t pixel_type;
    const char* name;
    std::string conversion;  // to the nearest layout the filter deinterlaces
  };
  const Case cases[] = {
      {0xA0000109, "YUV9", "ConvertToYV411()"},
      {0x88000008, "YUVA420", "RemoveAlphaPlane()"},
      {0x8800030B, "YUVA444", "RemoveAlphaPlane()"},
      {0x90000001, "RGBP", to_yuv444},
      {0x90000002, "RGBAP", "RemoveAlphaPlane()." + to_yuv444},
      {0xA0020008, "YUV420PS", "ConvertBits(16)"},
      {0xA002030B, "YUV444PS", "ConvertBits(16)"},
      {0x50010001, "RGB48", to_yuv444},
      {0x90060001, "RGBP12", to_yuv444},
      {0x90020002, "RGBAPS", "RemoveAlphaPlane()." + to_yuv444 + ".ConvertBits(16)"},
      {0xE0020000, "Y32", "ConvertBits(16)"},
      {0x88060308, "YUVA422P12", "RemoveAlphaPlane()"},
      {0x88020008, "YUVA420PS", "RemoveAlphaPlane().ConvertBits(16)"},
      {0x12345678, "pixel type 0x12345678", "ConvertToYV12(interlaced=true)"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(refusal(int(c.pixel_type)),
              std::string("VantrelDeinterlace: ") + c.name + " is not supported; convert with " +
                  c.conversion);
  }
  // Every format of the newer hosts is refused by its name, whatever its bits
  // share with the ones taken.
  using VI = VideoInfo;
  for (int family : {VI::CS_GENERIC_YUV420, VI::CS_GENERIC_YUV422, VI::CS_GENERIC_YUV444,
                     VI::CS_GENERIC_Y, VI::CS_GENERIC_RGBP, VI::CS_GENERIC_RGBAP,
                     VI::CS_GENERIC_YUVA420, VI::CS_GENERIC_YUVA422, VI::CS_GENERIC_YUVA444,
                     VI::CS_BGR24, VI::CS_BGR32}) {
    for (int bits : {VI::CS_Sample_Bits_8, VI::CS_Sample_Bits_10, VI::CS_Sample_Bits_12,
                     VI::CS_Sample_Bits_14, VI::CS_Sample_Bits_16, VI::CS_Sample_Bits_32}) {
      const int pixel_type = family | bits;
      if ((family == VI::CS_BGR24 || family == VI::CS_BGR32) && bits != VI::CS_Sample_Bits_16 &&
          bits != VI::CS_Sample_Bits_8) {
        continue;  // packed RGB exists at 8 and 16 bits only
      }
      const bool packed = family == VI::CS_BGR24 || family == VI::CS_BGR32;
      const bool known =
          packed ? bits == VI::CS_Sample_Bits_8
                 : bits != VI::CS_Sample_Bits_32 &&
                       (family == VI::CS_GENERIC_YUV420 || family == VI::CS_GENERIC_YUV422 ||
                        family == VI::CS_GENERIC_YUV444 || family == VI::CS_GENERIC_Y);
      const std::string error = refusal(pixel_type);
      if (known) {
        EXPECT_EQ(error, "") << std::hex << pixel_type;
      } else {
        EXPECT_NE(error.find(" is not supported; convert with "), std::string::npos) << error;
        EXPECT_EQ(error.find("0x"), std::string::npos) << error;
      }
    }
  }
  for (int taken : {VI::CS_YUY2, VI::CS_I420, VI::CS_YV411}) EXPECT_EQ(refusal(taken), "");
}

// A source the test owns, counting its deletions.
struct CountedSource : host::MemorySourceClip {
  CountedSource(const VideoInfo& vi, int* count)
      : MemorySourceClip(vi, test::PictureOf(vi)), deletions(count) {}
  ~CountedSource() override { ++*deletions; }
  int* deletions;
};

// Sources passed inline, with no other holder, in a host that takes a clip
// argument back after the call and in one that does not; a sanitizer build
// also catches a probe clip left behind or freed twice.
TEST(PluginLibrary, AnInlineSourceLivesExactlyAsLongAsItsFilterInEitherHost) {
  for (const auto release : {host::ClipArgRelease::kBalanced, host::ClipArgRelease::kOnceMore}) {
    SCOPED_TRACE(release == host::ClipArgRelease::kOnceMore ? "releases once more" : "balanced");
    Loaded lib(release);
    ASSERT_TRUE(lib.load.ok) << lib.load.error;
    const VideoInfo vi = MakeInfo(VideoInfo::CS_YV12, 32, 32);
    int deletions = 0;
    PClip once = lib.Deinterlace(new CountedSource(vi, &deletions));
    PClip twice = lib.Deinterlace(lib.Deinterlace(new CountedSource(vi, &deletions)));
    EXPECT_THROW(lib.Deinterlace(new CountedSource(
                     MakeInfo(VideoInfo::CS_GENERIC_YUVA444, 32, 32), &deletions)),
                 host::HostError);
    ASSERT_EQ(deletions, 1) << "only the refused source is gone";
    // Taken back after each filter built and after each one's nested probe.
    EXPECT_EQ(lib.env.ExtraClipReleases(),
              release == host::ClipArgRelease::kOnceMore ? 2u * 3 : 0u);
    const auto in = test::FrameOf(test::MemoryClip(vi), lib.env);
    EXPECT_EQ(test::FrameOf(once, lib.env), test::CoreResult(in, vi));
    EXPECT_EQ(test::FrameOf(twice, lib.env), test::CoreResult(test::CoreResult(in, vi), vi));
    once = PClip();
    EXPECT_EQ(deletions, 2);
    twice = PClip();
    EXPECT_EQ(deletions, 3);
  }
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
