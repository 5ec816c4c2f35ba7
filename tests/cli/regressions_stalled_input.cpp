// The output's reader leaves (as `| head` does) while the input is stalled:
// the tool used to wait for more input before noticing, for ever if the
// source stays silent. It must end at once, quietly, with exit 0.
#include <gtest/gtest.h>

#include <string>

#include "stalled_tool.h"

namespace vantrel {
namespace {

TEST(CliStalledInput, AReaderThatLeavesEndsTheToolWithoutMoreInput) {
  // Frames far larger than a pipe holds, so the tool is still writing.
  constexpr int kWidth = 720, kHeight = 576;
  constexpr size_t kFrame = size_t(kWidth) * kHeight * 3 / 2;
  std::string input = "YUV4MPEG2 W720 H576 F25:1 It\n";
  for (int f = 0; f < 2; ++f) {
    input += "FRAME\n";
    for (size_t i = 0; i < kFrame; ++i) input += char((i * 7 + f) & 0xFF);
  }
  test::StalledTool tool;
  tool.Feed(input);
  tool.AwaitConsumed();
  EXPECT_EQ(tool.Read(9), "YUV4MPEG2");
  tool.CloseOutput();
  EXPECT_EQ(tool.WaitUnlessHung(), 0) << "the tool hung on its stalled input";
  EXPECT_EQ(tool.Errors(), "");
}

}  // namespace
}  // namespace vantrel
