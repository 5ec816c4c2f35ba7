// vantrel.Deinterlace as VapourSynth runs it: libvantrel-vs.so loaded into a
// stand-in core, its frames against the tool's or the core's on the same
// pictures.
#include <gtest/gtest.h>

#include <cstdio>
#include <utility>
#include <thread>

#include "cli/tool_harness.h"
#include "core/deinterlacer.h"
#include "core/guarded_frame.h"
#include "stand_in_core.h"
#include "woven_picture.h"

namespace vantrel {
namespace {

using test::FrameBytes;
using test::StandInCore;
using Args = std::map<std::string, int64_t>;

StandInCore& Core() {
  static StandInCore core(VANTREL_VS_PLUGIN_PATH);
  return core;
}

struct Clip {
  std::string path;
  int width, height;
  std::vector<FrameBytes> frames;
  PixelFormat format = kYuv420;
};

uint32_t VsFormat(PixelFormat f) {
  return VSVideoFormatId(f.family == Family::kGrey ? cfGray : cfYUV, stInteger, f.bits, f.shift_w,
                         f.shift_h);
}

Clip MakeClip(const std::string& name, int width, int height, int count) {
  Clip c{test::MakeClip(name, width, height, count), width, height, {}};
  const size_t bytes = BlockBytes(kYuv420, width, height);
  for (const std::string& f : test::ParseY4m(test::ReadFile(c.path), bytes).frames) {
    c.frames.emplace_back(f.begin(), f.end());
  }
  EXPECT_EQ(c.frames.size(), size_t(count));
  return c;
}

const Clip& Sd() {
  static const Clip clip = MakeClip("vs_sd.y4m", 720, 576, 3);
  return clip;
}

// Neither side a multiple of 16: the frames are padded inside.
const Clip& Odd() {
  static const Clip clip = MakeClip("vs_odd.y4m", 200, 142, 4);
  return clip;
}

// format 0: the clip's own.
VSNode* Deinterlace(const Clip& clip, const Args& args, std::string* error,
                    std::vector<int> field_based = {}, uint32_t format = 0) {
  VSNode* source = Core().Source(format ? format : VsFormat(clip.format), clip.width, clip.height,
                                 clip.frames, std::move(field_based));
  return Core().Invoke(source, args, error);
}

std::vector<FrameBytes> AllFrames(VSNode* node) {
  std::vector<FrameBytes> frames;
  for (int n = 0; n < StandInCore::Info(node).numFrames; ++n) {
    std::string error;
    auto f = Core().GetFrame(node, n, &error);
    EXPECT_TRUE(f) << "frame " << n << ": " << error;
    frames.push_back(f ? *f : FrameBytes{});
  }
  return frames;
}

std::vector<FrameBytes> Frames(const Clip& clip, const Args& args,
                               std::vector<int> field_based = {}) {
  std::string error;
  VSNode* node = Deinterlace(clip, args, &error, std::move(field_based));
  EXPECT_TRUE(node) << error;
  if (!node) return {};
  auto frames = AllFrames(node);
  StandInCore::Free(node);
  return frames;
}

// The core's frame for a picture in VapourSynth's plane order (Y, U, V),
// given V before U as the face must, or U first.
FrameBytes CoreFrame(PixelFormat format, int w, int h, const FrameBytes& picture, int mode,
                     int field, bool v_first = true) {
  RequestedParams requested;
  requested.mode = mode;
  test::GuardedFrame in(format, w, h), out(format, w, h);
  in.Fill(picture);
  FrameView a = in.view(), b = out.view();
  if (v_first) {
    std::swap(a.planes[1], a.planes[2]);
    std::swap(b.planes[1], b.planes[2]);
  }
  const Field keep = field ? Field::kTop : Field::kBottom;
  EXPECT_EQ(Deinterlacer(requested).ProcessPicture(a, b, keep, RegionList{}), FrameResult::kDone);
  return out.Tight();
}

FrameBytes PluginFrame(PixelFormat f, int w, int h, const FrameBytes& picture, int mode,
                       int field) {
  const auto frames = Frames(Clip{"", w, h, {picture}, f}, {{"mode", mode}, {"field", field}});
  return frames.empty() ? FrameBytes{} : frames[0];
}

TEST(VapourSynth, RegistersDeinterlaceWithTheToolsVersion) {
  const test::PluginInfo& p = Core().plugin();
  EXPECT_EQ(p.name_space, "vantrel");
  EXPECT_EQ(p.function, "Deinterlace");
  EXPECT_EQ(p.return_type, "clip:vnode;");
  EXPECT_EQ(p.api_version, kVSApiVersion);
  EXPECT_NE(p.identifier.find('.'), std::string::npos) << p.identifier;

  const std::string out = test::TempPath("version.txt");
  ASSERT_EQ(test::Tool("--version > " + out).exit_code, 0);
  int major = -1, minor = -1;
  ASSERT_EQ(std::sscanf(test::ReadFile(out).c_str(), "vantrel %d.%d", &major, &minor), 2);
  EXPECT_EQ(p.version, VSMakeVersion(major, minor));
}

TEST(VapourSynth, FramesEqualTheToolsWithTheSameOptions) {
  struct Case {
    const Clip& clip;
    Args args;
    std::string tool_args;
  };
  const Case cases[] = {
      {Sd(), {}, ""},
      {Sd(), {{"mode", 3}, {"comb_threshold", 24}}, "--mode 3 --comb-threshold 24"},
      {Sd(), {{"mode", 2}, {"field", 1}}, "--mode 2 --keep top"},
      {Odd(), {}, ""},
      {Odd(), {{"search_range", 8}, {"match_threshold", 2048}},
       "--search-range 8 --match-threshold 2048"},
      {Odd(), {{"mode", 1}, {"field", 1}}, "--mode 1 --keep top"},
      {Odd(), {{"double_rate", 1}, {"field", 1}}, "--double-rate --field-order tff"},
      {Odd(),
       {{"double_rate", 1}, {"field", 0}, {"mode", 3}},
       "--double-rate --field-order bff --mode 3"},
  };
  for (const Case& c : cases) {
    const std::string out = test::TempPath("vs_tool.y4m");
    const test::Run run = test::Tool("--quiet " + c.tool_args + " " + c.clip.path + " " + out);
    EXPECT_EQ(run.exit_code, 0) << c.tool_args << ": " << run.err;
    if (run.exit_code) continue;
    const auto tool = test::ParseY4m(test::ReadFile(out), c.clip.frames[0].size()).frames;
    // The clips are tagged It; a VapourSynth source marks such frames top field first.
    const auto frames = Frames(c.clip, c.args, std::vector<int>(c.clip.frames.size(), 2));
    ASSERT_EQ(frames.size(), tool.size()) << c.tool_args;
    for (size_t n = 0; n < frames.size(); ++n) {
      EXPECT_TRUE(frames[n] == FrameBytes(tool[n].begin(), tool[n].end()))
          << c.clip.width << "x" << c.clip.height << " '" << c.tool_args << "' frame " << n;
    }
  }
}

// Every layout and depth, with padding inside (188 x 142 to 192 x 144, 4:1:1
// chroma 48 wide) or without: the core's frames, V given first, the field
// kept. The picture's first chroma lines decide a comb mark
// (woven_picture.h), so the core given U first makes other bytes.
TEST(VapourSynth, FramesEqualTheCoresInEveryLayoutAndDepthVFirst) {
  for (const auto& [w, h] : {std::pair{64, 48}, std::pair{188, 142}}) {
    for (const PixelFormat layout : kPlanarLayouts) {
      for (const int bits : {8, 10, 16}) {
        const PixelFormat format = WithBits(layout, bits);
        const FrameBytes picture = test::FaceFrame(format, w, h);
        for (int mode = 2; mode <= 4; ++mode) {
          for (int field = 0; field <= 1; ++field) {
            const std::string where = std::string(LayoutName(layout)) + " " + std::to_string(w) +
                                      " wide, " + std::to_string(bits) + " bits, mode " +
                                      std::to_string(mode) + ", field " + std::to_string(field);
            const FrameBytes want = CoreFrame(format, w, h, picture, mode, field);
            EXPECT_TRUE(PluginFrame(format, w, h, picture, mode, field) == want) << where;
            if (w == 64 && mode == 3 && field == 0 && layout.PlaneCount() == 3) {
              EXPECT_FALSE(CoreFrame(format, w, h, picture, mode, field, false) == want)
                  << where << ": the picture does not tell V's first lines from U's";
            }
          }
        }
      }
    }
  }
}

TEST(VapourSynth, FieldComesFromEachFramesFieldBasedAndDoubleRateHalvesDurations) {
  const std::vector<int> field_based = {2, 1, 0, -1};  // TFF, BFF, progressive, not set
  const auto top = Frames(Odd(), {{"field", 1}});
  const auto bottom = Frames(Odd(), {{"field", 0}});
  ASSERT_EQ(top.size(), 4u);
  ASSERT_NE(top[0], bottom[0]);

  const auto single = Frames(Odd(), {}, field_based);
  ASSERT_EQ(single.size(), 4u);
  EXPECT_EQ(single[0], top[0]);
  for (size_t n = 1; n < 4; ++n) EXPECT_EQ(single[n], bottom[n]) << n;

  std::string error;
  VSNode* node = Deinterlace(Odd(), {{"double_rate", 1}}, &error, field_based);
  ASSERT_TRUE(node) << error;
  const VSVideoInfo& vi = StandInCore::Info(node);
  EXPECT_EQ(vi.numFrames, 8);
  EXPECT_EQ(vi.fpsNum, 50);
  EXPECT_EQ(vi.fpsDen, 1);
  for (int n = 0; n < 8; ++n) {
    std::map<std::string, int64_t> props;
    const auto f = Core().GetFrame(node, n, &error, &props);
    ASSERT_TRUE(f) << error;
    // Frame 0 is top field first: top, then bottom; the others the reverse.
    const bool keeps_top = (n / 2 == 0) == (n % 2 == 0);
    EXPECT_EQ(*f, keeps_top ? top[size_t(n / 2)] : bottom[size_t(n / 2)]) << n;
    // Set on every frame, also where the source frame had no _FieldBased.
    const std::map<std::string, int64_t> want = {
        {"_FieldBased", 0}, {"_DurationNum", 1}, {"_DurationDen", 50}};
    for (const auto& [key, value] : want) {
      EXPECT_TRUE(props.count(key) && props[key] == value) << key << " of frame " << n;
    }
  }
  StandInCore::Free(node);
}

TEST(VapourSynth, ScriptErrorsNameTheArgumentOrFormatAndWhatToDo) {
  struct Case {
    Args args;
    uint32_t format;
    std::vector<std::string> expected;
  };
  const uint32_t yuv410 = VSVideoFormatId(cfYUV, stInteger, 8, 2, 2);
  const uint32_t yuv440 = VSVideoFormatId(cfYUV, stInteger, 8, 0, 1);
  const uint32_t yuv422ps = VSVideoFormatId(cfYUV, stFloat, 32, 1, 0);
  const uint32_t grays = VSVideoFormatId(cfGray, stFloat, 32, 0, 0);
  const uint32_t rgb24 = VSVideoFormatId(cfRGB, stInteger, 8, 0, 0);
  const uint32_t yuv420p32 = VSVideoFormatId(cfYUV, stInteger, 32, 1, 1);
  // 200 x 142 is padded to 208 x 144, so search_range reaches 144.
  const Case cases[] = {
      {{{"mode", -1}}, pfYUV420P8, {"mode=-1", "0 to 4"}},
      {{{"mode", 5}}, pfYUV420P8, {"mode=5", "0 to 4"}},
      {{{"search_range", 145}}, pfYUV420P8, {"search_range=145", "0 to 144"}},
      {{{"search_range", -1}}, pfYUV420P8, {"search_range=-1", "0 to 144"}},
      {{{"comb_threshold", 256}}, pfYUV420P8, {"comb_threshold=256", "0 to 255"}},
      {{{"match_threshold", 65536}}, pfYUV420P8, {"match_threshold=65536", "0 to 65535"}},
      {{{"match_threshold", int64_t(1) << 32}}, pfYUV420P8, {"match_threshold=4294967296"}},
      {{{"field", 2}}, pfYUV420P8, {"field=2", "-1 to 1"}},
      {{{"double_rate", 2}}, pfYUV420P8, {"double_rate=2", "0 to 1"}},
      {{}, yuv410, {"YUV410P8", "4:2:0, 4:2:2, 4:4:4, 4:1:1 only",
                    "SeparateFields(clip, tff=True).resize.Bicubic(format=vs.YUV420P8)"}},
      {{}, yuv440, {"YUV440P8", "SeparateFields", "resize.Bicubic(format=vs.YUV444P8)"}},
      {{}, yuv422ps, {"YUV422PS", "integer", "core.resize.Bicubic(clip, format=vs.YUV422P16)"}},
      {{}, grays, {"GrayS", "core.resize.Bicubic(clip, format=vs.GRAY16)"}},
      {{}, yuv420p32, {"YUV420P32", "up to 16 bits", "(clip, format=vs.YUV420P16)"}},
      {{}, rgb24, {"RGB24", "YUV and grey", "(clip, format=vs.YUV444P8, matrix_s"}},
  };
  for (const Case& c : cases) {
    std::string error;
    VSNode* node = Deinterlace(Odd(), c.args, &error, {}, c.format);
    EXPECT_EQ(node, nullptr);
    StandInCore::Free(node);
    EXPECT_EQ(error.rfind("Deinterlace: ", 0), 0u) << error;
    for (const std::string& e : c.expected) EXPECT_NE(error.find(e), std::string::npos) << error;
  }
  std::string error;
  VSNode* node = Deinterlace(Odd(), {{"search_range", 144}, {"mode", 0}}, &error);
  EXPECT_TRUE(node) << error;
  StandInCore::Free(node);
}

TEST(VapourSynth, FramesAreTheSameWhenThreadsRequestThemAtOnce) {
  std::string error;
  VSNode* node = Deinterlace(Odd(), {{"double_rate", 1}}, &error, {2, 1, 2, 1});
  ASSERT_TRUE(node) << error;
  const int mode = StandInCore::Mode(node);
  EXPECT_TRUE(mode == fmParallel || mode == fmParallelRequests) << mode;
  const auto expected = AllFrames(node);
  const int count = int(expected.size());
  std::vector<std::vector<FrameBytes>> seen(4, std::vector<FrameBytes>(expected.size()));
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 2 * count; ++i) {
        const int n = (i + t * 3) % count;
        std::string e;
        auto f = Core().GetFrame(node, n, &e);
        if (f) seen[size_t(t)][size_t(n)] = std::move(*f);
      }
    });
  }
  for (std::thread& t : threads) t.join();
  for (int t = 0; t < 4; ++t) EXPECT_EQ(seen[size_t(t)], expected) << "thread " << t;
  StandInCore::Free(node);
}

}  // namespace
}  // namespace vantrel
