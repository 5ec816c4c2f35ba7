#include "cli/raw_io.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "cli/y4m.h"
#include "temp_dir.h"

namespace vantrel::cli {
namespace {

std::string FrameBytes(size_t size, int frame) {
  std::string s(size, '\0');
  for (size_t i = 0; i < size; ++i) s[i] = static_cast<char>((i * 5 + frame * 17 + 1) & 0xff);
  return s;
}

RawType Type(const char* name) {
  RawType type;
  std::string error;
  EXPECT_TRUE(ParsePixelType(name, &type, &error)) << error;
  return type;
}

FrameFormat Format(const char* type, int32_t width, int32_t height) {
  FrameFormat f;
  std::string error;
  EXPECT_TRUE(MakeRawFormat(Type(type), width, height, &f, &error)) << error;
  return f;
}

// ---- Options ----

TEST(CliRawFormat, ParsesPixelTypeNamesInAnyCase) {
  for (const char* name : {"I420", "yv12", "I422", "Yv16", "i444", "YV24", "I411", "yv411", "Y8",
                           "GRAY", "Yuy2", "rgb24", "RGB32", "YUV420P10LE", "gray16le"}) {
    std::string lower = name;
    for (char& c : lower) c = char(std::tolower(c));
    EXPECT_EQ(Type(name).name, lower);
  }
}

TEST(CliRawFormat, RefusesUnknownPixelTypeListingTheKnownOnes) {
  for (const char* name : {"nv12", "", "rgb", "i4200", "yuv420p", "yuv420p11le", "gray14le", "y16"}) {
    RawType type;
    std::string error;
    EXPECT_FALSE(ParsePixelType(name, &type, &error)) << name;
    EXPECT_NE(error.find(std::string("\"") + name + "\""), std::string::npos) << error;
    EXPECT_NE(error.find("use i420, yv12, i422, yv16, i444, yv24, i411, yv411, y8, gray, "
                         "yuv420p{9,10,12,14,16}le, yuv422p{9,10,12,14,16}le, "
                         "yuv444p{9,10,12,14,16}le, gray{9,10,12,16}le, yuy2, rgb24 or rgb32"),
              std::string::npos)
        << error;
  }
  RawType type;
  std::string error;  // big-endian samples: the little-endian twin to convert to
  EXPECT_FALSE(ParsePixelType("yuv422p12BE", &type, &error));
  EXPECT_NE(error.find("-pix_fmt yuv422p12le, and give --pixel-type yuv422p12le"), std::string::npos);
}

TEST(CliRawFormat, ParsesFrameSize) {
  int32_t w = 0, h = 0;
  std::string error;
  ASSERT_TRUE(ParseFrameSize("720x576", &w, &h, &error)) << error;
  EXPECT_EQ(w, 720);
  EXPECT_EQ(h, 576);
  ASSERT_TRUE(ParseFrameSize("1X32768", &w, &h, &error)) << error;
  EXPECT_EQ(w, 1);
  EXPECT_EQ(h, 32768);
}

TEST(CliRawFormat, RefusesMalformedFrameSize) {
  const struct {
    const char* text;
    const char* message;
  } cases[] = {
      {"720", "not WIDTHxHEIGHT"},      {"x576", "not WIDTHxHEIGHT"},
      {"720x", "not WIDTHxHEIGHT"},     {"-720x576", "not WIDTHxHEIGHT"},
      {" 720x576", "not WIDTHxHEIGHT"}, {"720x576x2", "not WIDTHxHEIGHT"},
      {"7.2x5", "not WIDTHxHEIGHT"},    {"0x576", "width 0 is out of range"},
      {"720x0", "height 0 is out of range"}, {"32769x2", "width 32769 is out of range"},
      {"99999999999999999999999x2", "out of range"},
  };
  for (const auto& c : cases) {
    int32_t w, h;
    std::string error;
    EXPECT_FALSE(ParseFrameSize(c.text, &w, &h, &error)) << c.text;
    EXPECT_NE(error.find(c.message), std::string::npos) << c.text << ": " << error;
  }
}

// The chroma planes of each type are checked end to end (tool.cpp).
TEST(CliRawFormat, FrameSizeOfEachPixelType) {
  const struct {
    const char* type;
    uint64_t bytes;
    PlaneShape first;
    int planes;
  } cases[] = {
      {"i420", 622080, {720, 576}, 3},         {"yv12", 622080, {720, 576}, 3},
      {"yv16", 829440, {720, 576}, 3},         {"i444", 1244160, {720, 576}, 3},
      {"i411", 622080, {720, 576}, 3},         {"y8", 414720, {720, 576}, 1},
      {"yuy2", 829440, {1440, 576}, 1},        {"rgb24", 1244160, {2160, 576}, 1},
      {"rgb32", 1658880, {2880, 576}, 1},      {"yuv420p10le", 1244160, {1440, 576}, 3},
      {"yuv444p16le", 2488320, {1440, 576}, 3}, {"gray12le", 829440, {1440, 576}, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.type);
    const FrameFormat f = Format(c.type, 720, 576);
    EXPECT_EQ(f.frame_bytes, c.bytes);
    EXPECT_EQ(f.plane_count, c.planes);
    EXPECT_EQ(f.planes[0].row_bytes, c.first.row_bytes);
    EXPECT_EQ(f.planes[0].rows, c.first.rows);
  }
}

TEST(CliRawFormat, OddSizesOnlyWhereThePixelTypeAllows) {
  const struct {
    const char* type;
    int32_t w, h;
    uint64_t bytes;
  } accepted[] = {{"rgb24", 7, 5, 105}, {"rgb32", 7, 5, 140}, {"yuy2", 6, 5, 60}, {"i422", 6, 5, 60},
                  {"yv24", 7, 5, 105},  {"i411", 8, 3, 36},   {"y8", 7, 5, 35}};
  for (const auto& c : accepted) EXPECT_EQ(Format(c.type, c.w, c.h).frame_bytes, c.bytes) << c.type;
  const struct {
    const char* type;
    int32_t w, h;
    const char* message;
  } refused[] = {
      {"yuy2", 7, 4, "yuy2 needs an even width, and 7x4 is not"},
      {"i420", 6, 5, "i420 needs an even width and height, and 6x5 is not; crop or scale the "
                     "video, e.g. ffmpeg -vf crop=2*trunc(iw/2):2*trunc(ih/2)"},
      {"yv12", 7, 6, "yv12 needs an even width and height"},
      {"yv16", 7, 6, "yv16 needs an even width, and 7x6 is not; crop or scale the video, e.g. "
                     "ffmpeg -vf crop=2*trunc(iw/2):ih"},
      {"i411", 6, 4, "i411 needs a width that is a multiple of 4, and 6x4 is not; crop or scale "
                     "the video, e.g. ffmpeg -vf crop=4*trunc(iw/4):ih"},
      {"rgb24", 0, 6, "out of range"},
      {"y8", 6, 32769, "out of range"},
  };
  for (const auto& c : refused) {
    FrameFormat f;
    std::string error;
    EXPECT_FALSE(MakeRawFormat(Type(c.type), c.w, c.h, &f, &error)) << c.message;
    EXPECT_NE(error.find(c.message), std::string::npos) << error;
  }
}

TEST(CliRawFormat, FrameLimitIsOneGibibyte) {
  EXPECT_EQ(Format("rgb32", 16384, 16384).frame_bytes, uint64_t{1} << 30);
  FrameFormat f;
  std::string error;
  EXPECT_FALSE(MakeRawFormat(Type("rgb32"), 16384, 16386, &f, &error));
  EXPECT_FALSE(MakeRawFormat(Type("rgb32"), 32768, 32768, &f, &error));
  EXPECT_NE(error.find("takes 4294967296 bytes, above the limit of 1073741824"), std::string::npos)
      << error;
}

// ---- Frames ----

TEST(CliRawFrames, ReadsWholeFramesUntilTheEnd) {
  TempDir dir("vantrel-raw");
  const FrameFormat format = Format("yuy2", 6, 4);
  const std::string in = dir.File(
      "in.yuv", FrameBytes(48, 0) + FrameBytes(48, 1) + FrameBytes(48, 2));
  RawReader reader;
  ASSERT_TRUE(reader.Open(in, format)) << reader.error();
  EXPECT_EQ(reader.format().frame_count, 3);
  std::vector<uint8_t> frame(48);
  for (int f = 0; f < 3; ++f) {
    ASSERT_EQ(reader.Read(frame.data()), ReadStatus::kFrame) << reader.error();
    EXPECT_EQ(std::string(frame.begin(), frame.end()), FrameBytes(48, f));
  }
  EXPECT_EQ(reader.Read(frame.data()), ReadStatus::kEnd);
}

TEST(CliRawFrames, TruncatedLastFrameNamesFrameAndOffset) {
  TempDir dir("vantrel-raw");
  const FrameFormat format = Format("rgb24", 5, 3);  // 45 bytes
  const std::string in = dir.File(
      "cut.rgb", FrameBytes(45, 0) + FrameBytes(45, 1) + FrameBytes(45, 2) + FrameBytes(20, 3));
  RawReader reader;
  ASSERT_TRUE(reader.Open(in, format)) << reader.error();
  EXPECT_EQ(reader.format().frame_count, -1);
  std::vector<uint8_t> frame(45);
  for (int f = 0; f < 3; ++f) {
    ASSERT_EQ(reader.Read(frame.data()), ReadStatus::kFrame) << reader.error();
    EXPECT_EQ(std::string(frame.begin(), frame.end()), FrameBytes(45, f));
  }
  EXPECT_EQ(reader.Read(frame.data()), ReadStatus::kError);
  EXPECT_EQ(reader.error_frame(), 3);
  EXPECT_EQ(reader.error_offset(), 135);
  EXPECT_NE(reader.error().find(in + ": frame 3 (counting from 0), at byte 135: the input ends "
                                     "after 20 of the frame's 45 bytes"),
            std::string::npos)
      << reader.error();
}

TEST(CliRawFrames, Yv12PlanesRoundTripWithPadding) {
  TempDir dir("vantrel-raw");
  const FrameFormat format = Format("yv12", 4, 4);  // 16 + 4 + 4 bytes
  RawWriter writer(format);
  const std::string out = dir.Path("out.yuv");
  ASSERT_TRUE(writer.Open(out)) << writer.error();
  ASSERT_EQ(writer.WriteHeader(), WriteStatus::kOk);
  // Padding bytes (99) must not reach the file; V comes second for yv12.
  const uint8_t y[] = {1, 2, 3, 4, 99, 5, 6, 7, 8, 99, 9, 10, 11, 12, 99, 13, 14, 15, 16, 99};
  const uint8_t v[] = {21, 22, 99, 23, 24, 99};
  const uint8_t u[] = {31, 32, 99, 33, 34, 99};
  const PlaneIn planes[3] = {{y, 5}, {v, 3}, {u, 3}};
  ASSERT_EQ(writer.WriteFrame(planes, 3), WriteStatus::kOk) << writer.error();
  ASSERT_EQ(writer.Close(), WriteStatus::kOk) << writer.error();
  const std::vector<uint8_t> want = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12,
                                     13, 14, 15, 16, 21, 22, 23, 24, 31, 32, 33, 34};
  const std::string file = ReadAll(out);
  EXPECT_EQ(std::vector<uint8_t>(file.begin(), file.end()), want);

  RawReader reader;
  ASSERT_TRUE(reader.Open(out, format)) << reader.error();
  std::vector<uint8_t> frame(24);
  ASSERT_EQ(reader.Read(frame.data()), ReadStatus::kFrame) << reader.error();
  EXPECT_EQ(frame, want);
  EXPECT_EQ(reader.Read(frame.data()), ReadStatus::kEnd);
}

TEST(CliRawFrames, NegativePitchFlipsBottomUpFrames) {
  TempDir dir("vantrel-raw");
  const FrameFormat format = Format("rgb32", 1, 3);  // rows of 4 bytes
  // Bottom-up memory, as packed host frames lie: the first row on file is last in memory.
  std::vector<uint8_t> memory = {30, 31, 32, 33, 20, 21, 22, 23, 10, 11, 12, 13};
  RawWriter writer(format);
  const std::string out = dir.Path("out.rgb");
  ASSERT_TRUE(writer.Open(out)) << writer.error();
  const PlaneIn flipped = {memory.data() + 8, -4};
  ASSERT_EQ(writer.WriteFrame(&flipped, 1), WriteStatus::kOk) << writer.error();
  ASSERT_EQ(writer.Close(), WriteStatus::kOk);
  EXPECT_EQ(ReadAll(out), std::string("\12\13\14\15\24\25\26\27\36\37\40\41", 12));

  RawReader reader;
  ASSERT_TRUE(reader.Open(out, format)) << reader.error();
  std::vector<uint8_t> back(12, 0);
  const PlaneOut bottom_up = {back.data() + 8, -4};
  ASSERT_EQ(reader.Read(&bottom_up, 1), ReadStatus::kFrame) << reader.error();
  EXPECT_EQ(back, memory);
}

// ---- Files and pipes ----

TEST(CliFrameStreams, MissingOrUnreadableInputNamesThePath) {
  TempDir dir("vantrel-raw");
  RawReader missing;
  EXPECT_FALSE(missing.Open(dir.Path("none.yuv"), Format("i420", 2, 2)));
  EXPECT_NE(missing.error().find("cannot open " + dir.Path("none.yuv") + ": No such file"),
            std::string::npos)
      << missing.error();
  Y4mReader directory;
  EXPECT_FALSE(directory.Open(dir.Path("")));
  EXPECT_NE(directory.error().find("is a directory"), std::string::npos) << directory.error();
}

TEST(CliFrameStreams, UnwritableOutputNamesThePath) {
  TempDir dir("vantrel-raw");
  RawWriter writer(Format("i420", 2, 2));
  const std::string out = dir.Path("no/such/dir/out.yuv");
  EXPECT_FALSE(writer.Open(out));
  EXPECT_NE(writer.error().find("cannot open " + out + " for writing: No such file"),
            std::string::npos)
      << writer.error();
}

TEST(CliFrameStreams, FullDiskReportsNoSpace) {
  if (access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no writable /dev/full";
  Y4mHeader h;
  std::string error;
  ASSERT_TRUE(ParseY4mHeader("YUV4MPEG2 W2 H2", &h, &error)) << error;
  Y4mWriter writer(h);
  ASSERT_TRUE(writer.Open("/dev/full")) << writer.error();
  EXPECT_EQ(writer.WriteHeader(), WriteStatus::kError);
  EXPECT_NE(writer.error().find("/dev/full: cannot write: No space left on device"),
            std::string::npos)
      << writer.error();
  const uint8_t frame[6] = {};
  EXPECT_EQ(writer.WriteFrame(frame), WriteStatus::kError);
}

// Ignores SIGPIPE for the test's lifetime, as the tool does.
class IgnoreSigpipe {
 public:
  IgnoreSigpipe() {
    struct sigaction ignore = {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGPIPE, &ignore, &saved_);
  }
  ~IgnoreSigpipe() { sigaction(SIGPIPE, &saved_, nullptr); }

 private:
  struct sigaction saved_ = {};
};

TEST(CliFrameStreams, ClosedPipeIsReportedAsBrokenPipe) {
  IgnoreSigpipe ignore;
  TempDir dir("vantrel-raw");
  const std::string fifo = dir.Path("fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  // A reader must exist for the writer's open not to block; then it leaves.
  const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  RawWriter writer(Format("i420", 2, 2));
  ASSERT_TRUE(writer.Open(fifo)) << writer.error();
  close(reader);
  const uint8_t frame[6] = {};
  EXPECT_EQ(writer.WriteFrame(frame), WriteStatus::kBrokenPipe);
  EXPECT_NE(writer.error().find("broken pipe"), std::string::npos) << writer.error();
  EXPECT_EQ(writer.WriteFrame(frame), WriteStatus::kBrokenPipe);
  EXPECT_EQ(writer.Close(), WriteStatus::kBrokenPipe);
}

}  // namespace
}  // namespace vantrel::cli
