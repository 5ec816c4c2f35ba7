// Bad input and faults around the tool: one clear line, a non-zero exit, and
// every complete frame before the fault written first.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include "tool_harness.h"

namespace vantrel {
namespace {

using test::ReadFile;
using test::TempPath;
using test::Tool;


bool Exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

// The tool run with its standard output on out_fd.
test::Run ToolWritingTo(int out_fd, const std::vector<std::string>& args) {
  const std::string err = TempPath("fd_err.txt");
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(out_fd, STDOUT_FILENO);
    dup2(open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), STDERR_FILENO);
    std::vector<char*> argv = {const_cast<char*>(VANTREL_TOOL_PATH)};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(VANTREL_TOOL_PATH, argv.data());
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), ReadFile(err)};
}

struct Case {
  const char* name;
  std::string input;
  size_t good_frames;      // written before the fault
  std::vector<const char*> message;  // each must appear
};

TEST(CliToolErrors, BadStreamsAreNamedWithGoodFramesWrittenFirst) {
  const Case cases[] = {
      {"signature", "YUV4MPEG3 W32 H16\n" + test::SmallFrames(1), 0, {"YUV4MPEG2"}},
      {"no width", "YUV4MPEG2 H16 F25:1\n" + test::SmallFrames(1), 0, {"width"}},
      {"zero height", "YUV4MPEG2 W32 H0\n", 0, {"height"}},
      {"odd width", "YUV4MPEG2 W31 H16\n", 0, {"31"}},
      {"huge", "YUV4MPEG2 W2000000000 H2000000000\n", 0, {"2000000000"}},
      {"11-bit", "YUV4MPEG2 W32 H16 C420p11\n", 0, {"C420p11", "-pix_fmt yuv420p12le"}},
      {"4:1:0", "YUV4MPEG2 W32 H16 C410\n", 0, {"C410", "scale=interl=1,format=yuv420p"}},
      {"4:1:1 size", "YUV4MPEG2 W30 H16 C411\n", 0, {"30x16", "crop=4*trunc(iw/4):ih"}},
      {"marker", test::kSmallHeader + test::SmallFrames(2) + "FRAMX\n" + test::SmallFrames(1), 2,
       {"frame 2", "byte"}},
      {"truncated",
       test::kSmallHeader + test::SmallFrames(3).substr(0, 3 * (test::kSmallFrame + 6) - 100), 2,
       {"frame 2", "(2 frames were written before it)"}},
      {"one good", test::kSmallHeader + test::SmallFrames(1) + "FRAME\n", 1,
       {"frame 1", "(1 frame was written before it)"}},
  };
  for (const Case& c : cases) {
    const std::string in = TempPath("bad.y4m"), out = TempPath("bad_out.y4m");
    test::WriteFile(in, c.input);
    test::WriteFile(out, "keep\n");
    const test::Run run = Tool("--quiet " + in + " " + out);
    // The cases without a good frame are refused at the header: the run
    // does not start, and OUTPUT is left as it was.
    EXPECT_EQ(run.exit_code, c.good_frames == 0 ? 2 : 1) << c.name;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << c.name << ": " << run.err;
    EXPECT_NE(run.err.find(in), std::string::npos) << c.name << ": " << run.err;
    for (const char* m : c.message) EXPECT_NE(run.err.find(m), std::string::npos) << run.err;
    if (c.good_frames == 0) {
      EXPECT_EQ(ReadFile(out), "keep\n") << c.name;
      continue;
    }
    const test::Y4m y = test::ParseY4m(ReadFile(out), test::kSmallFrame);
    EXPECT_EQ(y.frames.size(), c.good_frames) << c.name;
    const std::string ok_out = TempPath("ok_out.y4m");
    test::WriteFile(TempPath("ok.y4m"),
                    test::kSmallHeader + test::SmallFrames(int(c.good_frames)));
    ASSERT_EQ(Tool(TempPath("ok.y4m") + " " + ok_out).exit_code, 0);
    EXPECT_EQ(ReadFile(out), ReadFile(ok_out)) << c.name << ": the good frames, whole";
  }
}

// A --map that could not be opened once left OUTPUT emptied to a header:
// every output is opened before any is changed, and one made for the run
// goes again.
TEST(CliToolErrors, FilesThatCannotBeUsedLeaveEveryOutputAsItWas) {
  const std::string good = TempPath("good.y4m"), kept = TempPath("kept.y4m");
  const std::string fresh = TempPath("fresh.y4m");
  test::WriteFile(good, test::kSmallHeader + test::SmallFrames(2));
  struct Fault {
    std::string args;
    const char* mentions;
  };
  const Fault faults[] = {
      {TempPath("missing.y4m") + " " + kept, "missing.y4m"},
      {"--map /nonexistent-dir/m.y4m " + good + " " + kept, "/nonexistent-dir/m.y4m"},
      {"--map " + kept + " " + good + " /nonexistent-dir/out.y4m", "/nonexistent-dir/out.y4m"},
      {"--map /nonexistent-dir/m.y4m " + good + " " + fresh, "/nonexistent-dir/m.y4m"},
  };
  for (const Fault& f : faults) {
    test::WriteFile(kept, "keep\n");
    std::remove(fresh.c_str());
    const test::Run run = Tool(f.args);
    EXPECT_EQ(run.exit_code, 2) << f.args;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_NE(run.err.find(f.mentions), std::string::npos) << f.args << ": " << run.err;
    EXPECT_EQ(ReadFile(kept), "keep\n") << f.args;
    EXPECT_FALSE(Exists(fresh)) << f.args;
  }
}

TEST(CliToolErrors, UsageErrorsReadNoFrame) {
  const std::string good = TempPath("good2.y4m"), out = TempPath("never.y4m");
  test::WriteFile(good, test::kSmallHeader + test::SmallFrames(1));
  std::remove(out.c_str());
  for (const char* args : {"--mode x", "--add-region 1,2,3", "--bogus", "--threads",
                           "--raw 721x576 --pixel-type i420", "--plugin libvantrel.so"}) {
    const test::Run run = Tool(std::string(args) + " " + good + " " + out);
    EXPECT_EQ(run.exit_code, 2) << args;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_FALSE(Exists(out)) << args;
  }
}

// The output named the input once truncated it before the run failed.
TEST(CliToolErrors, AnOutputThatIsTheInputIsRefusedUntouched) {
  const std::string in = TempPath("same.y4m"), link = TempPath("same_link.y4m");
  const std::string bytes = test::kSmallHeader + test::SmallFrames(2);
  test::WriteFile(in, bytes);
  std::remove(link.c_str());
  ASSERT_EQ(::link(in.c_str(), link.c_str()), 0);
  const std::string dir = in.substr(0, in.rfind('/'));
  const std::string dotted = dir + "/./" + in.substr(in.rfind('/') + 1);
  for (const std::string& args : {in + " " + in, in + " " + link, in + " " + dotted,
                                  "- " + in + " < " + in, in + " - >> " + in}) {
    const test::Run run = Tool(args);
    EXPECT_EQ(run.exit_code, 2) << args;
    EXPECT_NE(run.err.find("same file"), std::string::npos) << run.err;
    EXPECT_EQ(ReadFile(in), bytes) << args;
  }
}

// Values the filter replaces, and regions it skips or clips, are each named
// once; the filter still gets them as given.
TEST(CliToolErrors, ValuesTheFilterWillNotUseAreWarnedAbout) {
  const std::string in = TempPath("warn.y4m");
  test::WriteFile(in, test::kSmallHeader + test::SmallFrames(2));
  const std::string out = TempPath("warn_out.y4m"), plain = TempPath("plain_out.y4m");
  const test::Run run =
      Tool("--mode 7 --search-range 99999 --comb-threshold 300 --match-threshold 70000 "
           "--sub-region 0,0,33,16 --add-region 4,4,4,8 --sub-region 0,0,32,16 " + in + " " + out);
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.err,
            "vantrel: warning: --mode 7 is outside 0-4; the filter uses 4\n"
            "vantrel: warning: --search-range 99999 is outside 0-16; the filter uses 16\n"
            "vantrel: warning: --comb-threshold 300 is outside 0-255; the filter uses 48\n"
            "vantrel: warning: --match-threshold 70000 is outside 0-65535; the filter uses 8192\n"
            "vantrel: warning: --sub-region 0,0,33,16 is not inside the 32x16 frame; the filter "
            "skips it\n"
            "vantrel: warning: --add-region 4,4,4,8 is empty (X2 must be above X1 and Y2 above "
            "Y1); it changes nothing\n");
  ASSERT_EQ(Tool("--sub-region 0,0,32,16 " + in + " " + plain).exit_code, 0);
  EXPECT_EQ(ReadFile(out), ReadFile(plain));
  EXPECT_EQ(Tool("--quiet --mode 7 " + in + " " + out).err, "");
}

TEST(CliToolErrors, AReaderThatLeavesEarlyEndsTheToolQuietly) {
  const std::string clip = TempPath("long.y4m");
  test::WriteFile(clip, test::kSmallHeader + test::SmallFrames(200));
  const std::string code = TempPath("code.txt");
  const test::Run run = test::Shell("(" VANTREL_TOOL_PATH " " + clip + " -; echo $? > " + code +
                                    ") | head -c 1000 > /dev/null");
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(ReadFile(code), "0\n");
  EXPECT_EQ(run.err, "");
}

// A reader that leaves before the header is written used to give exit 1.
TEST(CliToolErrors, AReaderGoneBeforeTheHeaderEndsTheToolQuietly) {
  const std::string clip = TempPath("gone.y4m");
  test::WriteFile(clip, test::kSmallHeader + test::SmallFrames(2));
  int p[2];
  ASSERT_EQ(pipe(p), 0);
  close(p[0]);
  const test::Run run = ToolWritingTo(p[1], {clip, "-"});
  close(p[1]);
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.err, "");
}

// Frames written to a terminal flooded it; refused as compressors do.
TEST(CliToolErrors, FramesAreNotWrittenToATerminal) {
  const std::string clip = TempPath("tty.y4m");
  test::WriteFile(clip, test::kSmallHeader + test::SmallFrames(2));
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(grantpt(master), 0);
  ASSERT_EQ(unlockpt(master), 0);
  const int terminal = open(ptsname(master), O_RDWR | O_NOCTTY);
  ASSERT_GE(terminal, 0);
  const test::Run run = ToolWritingTo(terminal, {clip, "-"});
  EXPECT_EQ(run.exit_code, 2);
  EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
  EXPECT_NE(run.err.find("terminal"), std::string::npos) << run.err;
  close(terminal);
  close(master);
}

// With standard input closed, `-` used to read the tool's own interrupt pipe,
// which took descriptor 0, and hang for ever.
TEST(CliToolErrors, AClosedStandardStreamGivenAsDashIsRefused) {
  const std::string clip = TempPath("closed.y4m"), out = TempPath("closed_out.y4m");
  test::WriteFile(clip, test::kSmallHeader + test::SmallFrames(2));
  for (const std::string& args : {"- " + out + " <&-", clip + " - >&-"}) {
    const test::Run run = test::Shell("timeout 10 " VANTREL_TOOL_PATH " " + args);
    EXPECT_EQ(run.exit_code, 2) << args;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_NE(run.err.find("closed"), std::string::npos) << run.err;
  }
}

// The bare tool's usage used to go to standard output, down a pipeline.
TEST(CliToolErrors, TheBareToolShowsTheUsageOnErrorsAndHelpTheExitStatuses) {
  const std::string usage = TempPath("usage.txt"), help = TempPath("help.txt");
  const test::Run bare = test::Shell(VANTREL_TOOL_PATH " > " + usage);
  EXPECT_EQ(bare.exit_code, 2);
  ASSERT_EQ(Tool("--help > " + help).exit_code, 0);
  const std::string text = ReadFile(help);
  EXPECT_EQ(ReadFile(usage), "");
  EXPECT_EQ(bare.err, text);
  // The options no mode reads stand apart, after the ones that count.
  const size_t apart = text.find("no mode reads them:\n  --pixel-threshold");
  EXPECT_TRUE(apart != std::string::npos && apart > text.find("--match-threshold"));
  for (const char* name : {"C420paldv", "Cmono", "C422p{9,10,12,14,16}", "i420", "yv411", "gray",
                           "gray{9,10,12,16}le", "rgb32", "only with --show-notices"})
    EXPECT_NE(text.find(name), std::string::npos) << name;
  const size_t statuses = text.find("Exit status:\n  0 ");
  ASSERT_NE(statuses, std::string::npos);
  for (const char* code : {"\n  1 ", "\n  2 ", "\n  130 ", "\n  143 "})
    EXPECT_NE(text.find(code, statuses), std::string::npos) << code;
}

}  // namespace
}  // namespace vantrel
