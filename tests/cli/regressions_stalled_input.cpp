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

// A regular input file cut at a frame boundary while it is read used to end
// the run with exit 0 and fewer frames than the file held at the start.
TEST(CliStalledInput, AnInputFileCutWhileItIsReadEndsAsACutFrameDoes) {
  constexpr size_t kFrame = size_t(720) * 576 * 3 / 2;
  const std::string header = "YUV4MPEG2 W720 H576 F25:1 Ip\n";
  const std::string path = test::TempPath("cut.y4m");
  std::string clip = header;
  for (int f = 0; f < 30; ++f) clip += "FRAME\n" + std::string(kFrame, char(f));
  test::WriteFile(path, clip);
  // One thread holds at most four frames: with its output unread the tool
  // cannot have read past frame 12 when the file is cut there.
  test::StalledTool tool({"--threads", "1", path, "-"});
  ASSERT_EQ(tool.Read(header.size()), header) << "the tool counted the frames and started";
  ASSERT_EQ(truncate(path.c_str(), off_t(header.size() + 12 * (6 + kFrame))), 0);
  const std::string written = tool.Read(size_t(1) << 30);
  EXPECT_EQ(written.size(), 12 * (6 + kFrame));
  EXPECT_EQ(tool.Wait(), 1);
  const std::string errors = tool.Errors();
  EXPECT_NE(errors.find("ended early, after 12 of the 30 frames"), std::string::npos) << errors;
  EXPECT_NE(errors.find("(12 frames were written before it)"), std::string::npos) << errors;
}

}  // namespace
}  // namespace vantrel
