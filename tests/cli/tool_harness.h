// Driving the built `vantrel` tool and ffmpeg from tests, and reading back
// what they write.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace vantrel::test {

struct Run {
  int exit_code;
  std::string err;
};

inline std::string TempPath(const std::string& name) {
  return ::testing::TempDir() + "vantrel_" + std::to_string(getpid()) + "_" + name;
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// Runs a shell command line; standard error is captured.
inline Run Shell(const std::string& command) {
  const std::string err = TempPath("stderr.txt");
  const int status = std::system((command + " 2>" + err).c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), ReadFile(err)};
}

inline Run Tool(const std::string& args) {
  return Shell(std::string(VANTREL_TOOL_PATH) + " " + args);
}

// An interlaced clip as cameras make them: fields from two moments. (FFmpeg
// writes deeper formats to YUV4MPEG2 only with -strict -1.)
inline std::string MakeClip(const std::string& name, int w, int h, int frames,
                            const std::string& pix_fmt = "yuv420p") {
  const std::string path = TempPath(name);
  const std::string cmd = "ffmpeg -loglevel error -y -f lavfi -i \"testsrc2=size=" +
                          std::to_string(w) + "x" + std::to_string(h) +
                          ":rate=50,scroll=h=0.004:v=0.002\" -vf "
                          "\"interlace=scan=tff:lowpass=off,format=" + pix_fmt + "\" -frames:v " +
                          std::to_string(frames) + " -strict -1 -f yuv4mpegpipe " + path;
  EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
  return path;
}

struct Y4m {
  std::string header;
  std::vector<std::string> frames;
};

// Splits a stream whose frames carry plain FRAME markers.
inline Y4m ParseY4m(const std::string& bytes, size_t frame_bytes) {
  Y4m y;
  size_t pos = bytes.find('\n');
  if (pos == std::string::npos) return y;
  y.header = bytes.substr(0, pos);
  ++pos;
  while (pos + 6 + frame_bytes <= bytes.size() && bytes.compare(pos, 6, "FRAME\n") == 0) {
    y.frames.push_back(bytes.substr(pos + 6, frame_bytes));
    pos += 6 + frame_bytes;
  }
  return y;
}

// A small stream of 32 x 16 frames with distinct bytes, for the fault tests.
constexpr size_t kSmallFrame = 32 * 16 * 3 / 2;
inline const std::string kSmallHeader = "YUV4MPEG2 W32 H16 F25:1 It A1:1 C420jpeg\n";

inline std::string SmallFrames(int count) {
  std::string s;
  for (int f = 0; f < count; ++f) {
    s += "FRAME\n";
    for (size_t i = 0; i < kSmallFrame; ++i) s += char((i * 7 + f * 13) & 0xFF);
  }
  return s;
}

}  // namespace vantrel::test
