// An output file that reaches the process's file size limit: the tool used
// to be killed by SIGXFSZ with no word of its own. It must report the write
// error like a full disk, with the frames written before it.
#include <gtest/gtest.h>

#include "tool_harness.h"

namespace vantrel {
namespace {

constexpr size_t kFrame = 32 * 16 * 3 / 2;

TEST(CliFileSize, TheSizeLimitIsAWriteErrorWithAMessage) {
  std::string clip = "YUV4MPEG2 W32 H16 F25:1 It A1:1 C420jpeg\n";
  for (int f = 0; f < 200; ++f) {
    clip += "FRAME\n";
    for (size_t i = 0; i < kFrame; ++i) clip += char((i * 3 + f) & 0xFF);
  }
  const std::string in = test::TempPath("limit.y4m"), out = test::TempPath("limit_out.y4m");
  test::WriteFile(in, clip);
  // 64 blocks (32 or 64 KiB, by the shell's unit): far less than the output.
  const test::Run run =
      test::Shell("ulimit -f 64; " VANTREL_TOOL_PATH " --quiet " + in + " " + out);
  EXPECT_EQ(run.exit_code, 1) << run.err;
  EXPECT_NE(run.err.find(out + ": cannot write"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("ulimit -f"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("frames were written before it"), std::string::npos) << run.err;
  EXPECT_LT(test::ReadFile(out).size(), clip.size());
}

}  // namespace
}  // namespace vantrel
