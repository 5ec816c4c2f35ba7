// The tool's facade end to end: a filter registered in the test wraps a fed
// source; frames go in through Feed and come out through GetFrame.
#include "host/script_host.h"

#include <gtest/gtest.h>

#include <memory>
#include <thread>

#include "host/environment.h"

namespace vantrel::host {
namespace {

// Inverts every sample, honouring each plane's pitch.
class Invert : public GenericVideoFilter {
 public:
  using GenericVideoFilter::GenericVideoFilter;
  PVideoFrame GetFrame(int n, IScriptEnvironment* env) override {
    PVideoFrame src = child->GetFrame(n, env);
    PVideoFrame dst = env->NewVideoFrame(vi);
    const bool planar = src->GetPitch(PLANAR_U) != 0;
    for (int plane :
         planar ? std::vector<int>{PLANAR_Y, PLANAR_U, PLANAR_V} : std::vector<int>{0}) {
      for (int y = 0; y < src->GetHeight(plane); ++y) {
        const BYTE* in = src->GetReadPtr(plane) + y * src->GetPitch(plane);
        BYTE* out = dst->GetWritePtr(plane) + y * dst->GetPitch(plane);
        for (int x = 0; x < src->GetRowSize(plane); ++x) out[x] = static_cast<BYTE>(255 - in[x]);
      }
    }
    return dst;
  }
};

AVSValue ApplyInvert(AVSValue args, void*, IScriptEnvironment*) {
  return AVSValue(new Invert(args[0].AsClip()));
}
AVSValue ApplyAnswer(AVSValue args, void*, IScriptEnvironment*) {
  return args[0].Defined() ? AVSValue(args[0].AsInt(0) * 2) : AVSValue(true);
}

void Register(ScriptHost& host) {
  host.environment().AddFunction("TestInvert", "c[a]i", ApplyInvert, nullptr);
  host.environment().AddFunction("TestAnswer", "[a]i", ApplyAnswer, nullptr);
}

VideoFormat Format(PixelType type, int width, int height) {
  VideoFormat format;
  format.pixel_type = type;
  format.width = width;
  format.height = height;
  format.fps_num = 30000;
  format.fps_den = 1001;
  format.frame_count = 50;
  return format;
}

uint8_t Sample(int n, int plane, int x, int y) {
  return static_cast<uint8_t>(n + 40 * plane + x + 7 * y);
}

// Feeds frame n of the pattern and checks the filter's output against it.
// Returns the number of wrong samples, or -1 when a step failed.
int RunFrame(ScriptHost& host, FedSource& fed, const Clip& filtered, const VideoFormat& format,
             int n, std::string* error) {
  WritableFrame in;
  if (!host.NewFrame(format, &in, error)) return -1;
  for (int p = 0; p < in.plane_count(); ++p) {
    const PlaneView v = in.plane(p);
    for (int y = 0; y < v.height; ++y) {
      for (int x = 0; x < v.row_size; ++x) v.data[y * v.pitch + x] = Sample(n, p, x, y);
    }
  }
  if (!fed.Feed(n, &in, error)) return -1;
  Frame out;
  if (!filtered.GetFrame(n, &out, error)) return -1;
  int wrong = 0;
  for (int p = 0; p < out.plane_count(); ++p) {
    const ConstPlaneView v = out.plane(p);
    for (int y = 0; y < v.height; ++y) {
      for (int x = 0; x < v.row_size; ++x)
        wrong += v.data[y * v.pitch + x] != 255 - Sample(n, p, x, y);
    }
  }
  return wrong;
}

TEST(HostScriptHost, FedFramesPassThroughARegisteredFilter) {
  for (FrameLayout layout : {FrameLayout::kContiguous, FrameLayout::kHostLike}) {
    for (PixelType type : {PixelType::kYV12, PixelType::kI420, PixelType::kYUY2, PixelType::kRGB24,
                           PixelType::kRGB32}) {
      SCOPED_TRACE(PixelTypeName(type));
      ScriptHost host(layout);
      Register(host);
      const VideoFormat format = Format(type, 48, 32);
      FedSource fed;
      std::string error;
      ASSERT_TRUE(host.NewFedSource(format, &fed, &error)) << error;
      Value result;
      ASSERT_TRUE(
          host.Call("TestInvert", {Value::Of(fed.clip()), Value::Omitted()}, &result, &error))
          << error;
      ASSERT_EQ(result.kind(), Value::Kind::kClip);
      const VideoFormat out = result.AsClip().format();
      EXPECT_EQ(out.pixel_type, type);
      EXPECT_EQ(out.width, 48);
      EXPECT_EQ(out.fps_den, 1001u);
      EXPECT_EQ(out.frame_count, 50);
      for (int n = 0; n < 3; ++n) {
        EXPECT_EQ(RunFrame(host, fed, result.AsClip(), format, n, &error), 0) << error;
      }
    }
  }
}

TEST(HostScriptHost, ClipsAndFramesOutliveTheirHost) {
  Clip filtered;
  FedSource fed;
  Frame frame;
  {
    auto host = std::make_unique<ScriptHost>();
    Register(*host);
    std::string error;
    ASSERT_TRUE(host->NewFedSource(Format(PixelType::kYV12, 16, 16), &fed, &error)) << error;
    Value result;
    ASSERT_TRUE(host->Call("TestInvert", {Value::Of(fed.clip())}, &result, &error)) << error;
    filtered = result.AsClip();
    WritableFrame in;
    ASSERT_TRUE(host->NewFrame(Format(PixelType::kYV12, 16, 16), &in, &error)) << error;
    in.plane(0).data[0] = 5;
    ASSERT_TRUE(fed.Feed(0, &in, &error)) << error;
    EXPECT_FALSE(in);  // handed over
  }
  std::string error;
  ASSERT_TRUE(filtered.GetFrame(0, &frame, &error)) << error;
  EXPECT_EQ(frame.plane(0).data[0], 250);
}

TEST(HostScriptHost, NonClipResultsComeBackAsValues) {
  ScriptHost host;
  Register(host);
  Value result;
  std::string error;
  ASSERT_TRUE(host.Call("TestAnswer", {Value::Int(21)}, &result, &error)) << error;
  EXPECT_EQ(result.kind(), Value::Kind::kInt);
  EXPECT_EQ(result.AsInt(), 42);
  ASSERT_TRUE(host.Call("TestAnswer", {}, &result, &error)) << error;
  EXPECT_EQ(result.kind(), Value::Kind::kBool);
  EXPECT_TRUE(result.AsBool());
  EXPECT_EQ(host.FunctionNames(), (std::vector<std::string>{"TestInvert", "TestAnswer"}));
}

TEST(HostScriptHost, FailuresComeBackAsMessages) {
  ScriptHost host;
  Register(host);
  std::string error;
  Value result;
  EXPECT_FALSE(host.Call("Missing", {}, &result, &error));
  EXPECT_NE(error.find("no function named 'Missing'"), std::string::npos) << error;
  EXPECT_FALSE(host.Call("TestInvert", {Value::Int(3)}, &result, &error));
  EXPECT_NE(error.find("must be a clip, not an int"), std::string::npos) << error;
  EXPECT_FALSE(host.Call("TestInvert", {Value::Of(Clip())}, &result, &error));
  EXPECT_NE(error.find("empty clip handle"), std::string::npos) << error;
  EXPECT_FALSE(host.LoadPlugin("/nonexistent/libvantrel.so", nullptr, &error));
  EXPECT_NE(error.find("does not exist"), std::string::npos) << error;

  FedSource fed;
  EXPECT_FALSE(host.NewFedSource(Format(PixelType::kYV12, 15, 16), &fed, &error));
  EXPECT_NE(error.find("even width"), std::string::npos) << error;
  EXPECT_FALSE(host.NewFedSource(Format(PixelType::kOther, 16, 16), &fed, &error));
  VideoFormat no_rate = Format(PixelType::kYV12, 16, 16);
  no_rate.fps_den = 0;
  EXPECT_FALSE(host.NewFedSource(no_rate, &fed, &error));
  EXPECT_FALSE(fed);

  ASSERT_TRUE(host.NewFedSource(Format(PixelType::kYV12, 16, 16), &fed, &error)) << error;
  Frame frame;
  EXPECT_FALSE(fed.clip().GetFrame(3, &frame, &error));
  EXPECT_NE(error.find("no frame was fed"), std::string::npos) << error;
  WritableFrame wrong;
  ASSERT_TRUE(host.NewFrame(Format(PixelType::kRGB32, 16, 16), &wrong, &error)) << error;
  EXPECT_FALSE(fed.Feed(0, &wrong, &error));
  EXPECT_TRUE(wrong);  // kept by the caller when refused
}

// The tool's pattern: one environment, one fed source and filter per thread.
TEST(HostScriptHost, OneChainPerThreadOnASharedHost) {
  ScriptHost host;
  Register(host);
  const VideoFormat format = Format(PixelType::kYV12, 64, 32);
  constexpr int kThreads = 3, kFrames = 40;
  std::vector<int> wrong(kThreads, 0);
  std::vector<std::string> errors(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      FedSource fed;
      Value filtered;
      if (!host.NewFedSource(format, &fed, &errors[t]) ||
          !host.Call("TestInvert", {Value::Of(fed.clip())}, &filtered, &errors[t])) {
        wrong[t] = -1;
        return;
      }
      for (int n = t; n < kFrames; n += kThreads) {
        const int result = RunFrame(host, fed, filtered.AsClip(), format, n, &errors[t]);
        wrong[t] = result < 0 ? -1 : wrong[t] + result;
        if (result < 0) return;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(wrong[t], 0) << "thread " << t << ": " << errors[t];
}

}  // namespace
}  // namespace vantrel::host
