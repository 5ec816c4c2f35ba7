// Ctrl-C and SIGTERM while the input pipe is stalled: the tool used to die
// by the signal wherever it was. It must wake from the stalled read, write
// every frame it has read, and exit with 128 + the signal and a message.
#include <gtest/gtest.h>

#include <csignal>
#include <string>

#include <unistd.h>

#include "stalled_tool.h"

namespace vantrel {
namespace {


TEST(CliInterrupt, AStalledPipeEndsWithTheFramesReadAndTheSignalsCode) {
  for (const int sig : {SIGINT, SIGTERM}) {
    test::StalledTool tool;
    // Two whole frames, then part of the third's marker; the writer stays open.
    tool.Feed(test::kSmallHeader + test::SmallFrames(2) + "FRA");
    const std::string header = "YUV4MPEG2 W32 H16 F25:1 Ip A1:1 C420jpeg\n";
    const std::string written = tool.Read(header.size() + 2 * (6 + test::kSmallFrame));
    ASSERT_EQ(written.size(), header.size() + 2 * (6 + test::kSmallFrame))
        << "the frames read were not written";
    EXPECT_EQ(written.substr(0, header.size()), header);
    ASSERT_EQ(kill(tool.pid(), sig), 0);
    EXPECT_EQ(tool.Read(1), "") << "nothing follows the frames read before the signal";
    const int code = tool.Wait();
    EXPECT_EQ(code, 128 + sig) << tool.Errors();
    const std::string errors = tool.Errors();
    EXPECT_NE(errors.find("interrupted"), std::string::npos) << errors;
    EXPECT_NE(errors.find("2 frames were written"), std::string::npos) << errors;
  }
}

// With the output stalled the run cannot end soon: the first Ctrl-C used to
// print nothing until then. An echo of it (`timeout -s INT` signals the
// process, then its group) used to kill the tool before it wrote its frames.
TEST(CliInterrupt, AStalledOutputSaysAtOnceWhatHappensAndCountsAnEchoOnce) {
  test::StalledTool tool;
  // Frames far larger than the output pipe holds, but few enough to be read.
  std::string input = "YUV4MPEG2 W720 H576 F25:1 It\n";
  for (int f = 0; f < 3; ++f) input += "FRAME\n" + std::string(size_t(720) * 576 * 3 / 2, char(f));
  // Feeding more than a pipe holds returns once the tool reads, so its
  // handlers are in place; nothing is read from the output, so it is stuck writing.
  tool.Feed(input);
  tool.CloseInput();
  ASSERT_EQ(kill(tool.pid(), SIGINT), 0);
  std::string said;
  for (int i = 0; i < 600 && said.find('\n') == std::string::npos; ++i) {
    usleep(10 * 1000);
    said = tool.Errors();
  }
  EXPECT_NE(said.find("Ctrl-C: no more frames are read; those read are still written"),
            std::string::npos)
      << said;
  ASSERT_EQ(kill(tool.pid(), SIGINT), 0);
  tool.Read(size_t(1) << 30);  // drain: the frames it had are written, then it ends
  EXPECT_EQ(tool.Wait(), 128 + SIGINT);
  EXPECT_NE(tool.Errors().find("interrupted by Ctrl-C"), std::string::npos) << tool.Errors();
}

TEST(CliInterrupt, AStalledHeaderEndsWithoutOutput) {
  test::StalledTool tool;
  tool.Feed("YUV4MPEG2 W32");
  // The tool reads only once it is ready for signals.
  tool.AwaitConsumed();
  ASSERT_EQ(kill(tool.pid(), SIGINT), 0);
  EXPECT_EQ(tool.Read(1), "");
  EXPECT_EQ(tool.Wait(), 128 + SIGINT);
}

}  // namespace
}  // namespace vantrel
