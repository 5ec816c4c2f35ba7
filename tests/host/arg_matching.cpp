// Matching call arguments against parameter strings.
#include "avisynth/arg_matching.h"

#include <gtest/gtest.h>

#include "avisynth/host_error.h"

namespace vantrel::host {
namespace {

class FakeClip : public IClip {
 public:
  PVideoFrame GetFrame(int, IScriptEnvironment*) override { return {}; }
  bool GetParity(int) override { return false; }
  void GetAudio(void*, int64_t, int64_t, IScriptEnvironment*) override {}
  void SetCacheHints(int, int) override {}
  const VideoInfo& GetVideoInfo() override { return vi_; }

 private:
  VideoInfo vi_{};
};

// The message of the HostError that fn throws, or "" when it does not throw.
template <typename Fn>
std::string ErrorOf(Fn fn) {
  try {
    fn();
  } catch (const HostError& e) {
    return e.what();
  }
  return "";
}

const char kDeinterlaceParams[] = "c[a]i[a]i[a]i[a]i[a]i[a]b[a]b";

TEST(HostArgMatching, ParsesRequiredAndNamedOptionalParameters) {
  const std::vector<Param> params = ParseParams("F", "i[x]i[long_name]bfs.");
  ASSERT_EQ(params.size(), 6u);
  EXPECT_FALSE(params[0].optional());
  EXPECT_EQ(params[1].name, "x");
  EXPECT_EQ(params[2].name, "long_name");
  EXPECT_EQ(params[2].type, 'b');
  EXPECT_EQ(params[5].type, '.');
  EXPECT_TRUE(ParseParams("F", "").empty());
}

TEST(HostArgMatching, RejectsMalformedParameterStrings) {
  EXPECT_NE(ErrorOf([] { ParseParams("F", "[a"); }).find("bad name"), std::string::npos);
  EXPECT_NE(ErrorOf([] { ParseParams("F", "[]i"); }), "");
  EXPECT_NE(ErrorOf([] { ParseParams("F", "[a]"); }).find("type letter"), std::string::npos);
  EXPECT_NE(ErrorOf([] { ParseParams("F", "ix"); }).find("at 1"), std::string::npos);
}

TEST(HostArgMatching, LeftOutOptionalsStayUndefinedSoDefaultsApply) {
  const auto params = ParseParams("VantrelDeinterlace", kDeinterlaceParams);
  PClip clip(new FakeClip);
  const auto bound = MatchArgs("VantrelDeinterlace", params, {clip, 2});
  ASSERT_EQ(bound.size(), 8u);
  EXPECT_EQ(bound[0].AsClip().get(), clip.get());
  EXPECT_EQ(bound[1].AsInt(4), 2);
  for (int i = 2; i < 6; ++i) EXPECT_FALSE(bound[i].Defined()) << i;
  EXPECT_TRUE(bound[7].AsBool(true));
}

TEST(HostArgMatching, OmittedPositionalSkipsToLaterOptionals) {
  const auto params = ParseParams("F", "i[a]i[a]i[a]b");
  const auto bound = MatchArgs("F", params, {1, AVSValue(), 3, false});
  EXPECT_FALSE(bound[1].Defined());
  EXPECT_EQ(bound[2].AsInt(0), 3);
  EXPECT_FALSE(bound[3].AsBool(true));
}

TEST(HostArgMatching, IntIsAcceptedWhereAFloatIsExpected) {
  const auto bound = MatchArgs("F", ParseParams("F", "f"), {3});
  EXPECT_TRUE(bound[0].IsFloat());
  EXPECT_FALSE(bound[0].IsInt());
  EXPECT_FLOAT_EQ(bound[0].AsFloat(0), 3.0f);
}

TEST(HostArgMatching, WrongCallsAreRejectedWithTheFunctionAndPosition) {
  const auto params = ParseParams("VantrelDeinterlace", kDeinterlaceParams);
  PClip clip(new FakeClip);
  const std::string wrong_type = ErrorOf([&] {
    MatchArgs("VantrelDeinterlace", params, {clip, true});
  });
  EXPECT_EQ(wrong_type, "VantrelDeinterlace: argument 2 (a) must be an int, not a bool");

  std::vector<AVSValue> nine = {clip, 1, 2, 3, 4, 5, true, false, 9};
  EXPECT_NE(ErrorOf([&] {
              MatchArgs("VantrelDeinterlace", params, nine);
            }).find("too many arguments (it takes at most 8)"),
            std::string::npos);

  EXPECT_NE(ErrorOf([&] {
              MatchArgs("VantrelDeinterlace", params, {});
            }).find("argument 1 (a clip) is required but missing"),
            std::string::npos);
  EXPECT_NE(ErrorOf([&] { MatchArgs("VantrelDeinterlace", params, {AVSValue()}); }),
            "");
  EXPECT_NE(ErrorOf([&] {
              MatchArgs("VantrelDeinterlace", params, {4});
            }).find("must be a clip, not an int"),
            std::string::npos);
}

TEST(HostArgMatching, RegionFunctionsNeedOnlyTheirFirstInteger) {
  const auto params = ParseParams("VTDeinterlace_AddRegion", "i[a]i[a]i[a]i");
  const auto bound = MatchArgs("VTDeinterlace_AddRegion", params, {10});
  EXPECT_EQ(bound[0].AsInt(0), 10);
  EXPECT_EQ(bound[3].AsInt(-7), -7);
  EXPECT_NE(ErrorOf([&] { MatchArgs("VTDeinterlace_AddRegion", params, {}); }), "");
}

}  // namespace
}  // namespace vantrel::host
