// The system seam on files, wherever the tool is built: sizes past 4 GiB are
// exact, also for a file whose UTF-8 name goes beyond ASCII; an output a
// run withdraws is as it was.
#include "cli/platform.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "cli/frame_io.h"

namespace vantrel::cli {
namespace {

namespace fs = std::filesystem;

TEST(CliPlatform, SizesPast4GiBAreExactUnderNamesBeyondAscii) {
  const fs::path dir =
      fs::temp_directory_path() /
      fs::u8path("vantrel-\xc3\xbcn\xc3\xaf-\xe6\x97\xa5-" +
                 std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
  fs::create_directories(dir);
  struct Cleanup {
    fs::path path;
    ~Cleanup() { std::error_code ignored; fs::remove_all(path, ignored); }
  } cleanup{dir};
  const fs::path file = dir / fs::u8path("\xc3\xa7\xc3\xa0-\xd0\xb6.y4m");
  std::ofstream(file, std::ios::binary) << "YUV4MPEG2 W32 H16\n";
  const uint64_t size = (uint64_t(5) << 30) + 768;
  fs::resize_file(file, size);  // sparse where the file system can
  platform::FileFacts facts;
  ASSERT_TRUE(platform::DescribePath(file.u8string(), &facts));
  EXPECT_EQ(uint64_t(facts.size), size);
  InputStream in;
  std::string error, line;
  ASSERT_TRUE(in.Open(file.u8string(), &error)) << error;
  EXPECT_EQ(in.ReadLine(64, &line, &error), InputStream::LineStatus::kLine);
  EXPECT_EQ(line, "YUV4MPEG2 W32 H16");
  EXPECT_EQ(uint64_t(in.RemainingSize()), size - line.size() - 1);
}

// A run that cannot start withdraws the outputs it opened: a file that was
// there keeps its bytes, one made for the run goes again.
TEST(CliPlatform, AWithdrawnOutputIsAsItWas) {
  const fs::path dir = fs::temp_directory_path() /
                       ("vantrel-out-" + std::to_string(std::chrono::steady_clock::now()
                                                            .time_since_epoch().count()));
  fs::create_directories(dir);
  const std::string there = (dir / "there.y4m").string(), fresh = (dir / "fresh.y4m").string();
  std::ofstream(there, std::ios::binary) << "keep";
  OutputStream old_file, new_file;
  std::string error;
  ASSERT_TRUE(old_file.Claim(there, &error)) << error;
  ASSERT_TRUE(new_file.Claim(fresh, &error)) << error;
  old_file.Withdraw();
  new_file.Withdraw();
  EXPECT_EQ(fs::file_size(there), 4u);
  EXPECT_FALSE(fs::exists(fresh));
  fs::remove_all(dir);
}

}  // namespace
}  // namespace vantrel::cli
