// Frame size limits. The engine's geometry is 32-bit, so the readers' limits
// must keep every frame they accept (also once --pad grows it) within it;
// and a size beyond the limits must be refused with what to do about it,
// which the messages used to leave out.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "cli/raw_io.h"
#include "cli/y4m.h"
#include "engine/engine.h"
#include "core/frame_view.h"
#include "core/params.h"
#include "tool_harness.h"

namespace vantrel {
namespace {

using cli::FrameFormat;
cli::RawType Type(const char* name) {
  cli::RawType type;
  std::string error;
  EXPECT_TRUE(cli::ParsePixelType(name, &type, &error)) << error;
  return type;
}

// The tallest even frame height of this width and pixel type the raw reader
// accepts.
int32_t TallestAccepted(const char* type, int32_t width) {
  int32_t lo = 0, hi = cli::kMaxDimension + 2;  // lo accepted (or 0), hi refused
  while (hi - lo > 2) {
    const int32_t mid = (lo + hi) / 2 & ~1;
    FrameFormat f;
    std::string error;
    (cli::MakeRawFormat(Type(type), width, mid, &f, &error) ? lo : hi) = mid;
  }
  return lo;
}

TEST(CliLimits, EveryAcceptedFrameFitsTheEngineEvenWhenPadded) {
  for (const char* type : {"i420", "i422", "i444", "i411", "y8", "yuv444p16le", "gray16le"}) {
    for (const int32_t width : {16, 720, 1920, 4096, 16384, 32764, 32768}) {
      const int32_t height = TallestAccepted(type, width);
      ASSERT_GT(height, 0) << type << " " << width;
      const int32_t padded_width = PadToMultiple(width), padded_height = PadToMultiple(height);
      EXPECT_LE(uint64_t(padded_width) * uint64_t(padded_height), kMaxLumaSize) << type << width;
      // The whole frame block, chroma included, is addressed with 32-bit offsets.
      EXPECT_LE(BlockBytes(Type(type).row->format, padded_width, padded_height), 0xFFFFFFFFu)
          << type << " " << width;
    }
  }
}

TEST(CliLimits, SizesBeyondTheLimitsSayWhatToDo) {
  std::string error;
  int32_t w = 0, h = 0;
  EXPECT_FALSE(cli::ParseFrameSize("40000x16", &w, &h, &error));
  EXPECT_NE(error.find("scale the video down"), std::string::npos) << error;
  FrameFormat f;
  EXPECT_FALSE(cli::MakeRawFormat(Type("rgb32"), 32768, 32768, &f, &error));
  EXPECT_NE(error.find("scale the video down"), std::string::npos) << error;
  cli::Y4mHeader header;
  for (const char* line : {"YUV4MPEG2 W40000 H16", "YUV4MPEG2 W32768 H32768"}) {
    EXPECT_FALSE(cli::ParseY4mHeader(line, &header, &error)) << line;
    EXPECT_NE(error.find("scale the video down"), std::string::npos) << error;
  }
  // A zero size is a broken stream, not a large one.
  EXPECT_FALSE(cli::ParseFrameSize("0x16", &w, &h, &error));
  EXPECT_EQ(error.find("scale"), std::string::npos) << error;
}

TEST(CliLimits, TheToolRefusesAHugeFrameBeforeReadingIt) {
  const std::string in = test::TempPath("huge.y4m"), out = test::TempPath("huge_out.y4m");
  // Only the header: a tool that tried to read (or allocate for) the frame
  // would report the missing frame data instead.
  test::WriteFile(in, "YUV4MPEG2 W32768 H32768 F25:1\n");
  const test::Run run = test::Tool("--quiet " + in + " " + out);
  EXPECT_EQ(run.exit_code, 2);
  EXPECT_NE(run.err.find("32768x32768"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("above the limit"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("scale the video down"), std::string::npos) << run.err;
}

// Threads the system cannot give used to abort the tool (std::system_error,
// exit 134) after its header was written.
TEST(CliLimits, ThreadsThatCannotStartEndTheRunWithAMessage) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "AddressSanitizer cannot run under an address space limit";
#else
  const std::string in = test::TempPath("threads.y4m"), out = test::TempPath("threads_out.y4m");
  test::WriteFile(in, test::kSmallHeader + test::SmallFrames(2));
  // 200 MB of address space: far less than the stacks of 256 threads.
  const test::Run run =
      test::Shell("ulimit -v 200000; " VANTREL_TOOL_PATH " --threads 256 " + in + " " + out);
  EXPECT_EQ(run.exit_code, 1) << run.err;
  EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
  EXPECT_NE(run.err.find("could not start thread"), std::string::npos) << run.err;
#endif
}

}  // namespace
}  // namespace vantrel
