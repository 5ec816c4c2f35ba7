#include "cli/y4m.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "temp_dir.h"

namespace vantrel::cli {
namespace {

// Distinct bytes per frame, so a frame delivered out of place shows.
std::string FrameBytes(size_t size, int frame) {
  std::string s(size, '\0');
  for (size_t i = 0; i < size; ++i) s[i] = static_cast<char>((i * 7 + frame * 31 + 3) & 0xff);
  return s;
}

std::string Stream(const std::string& header, size_t frame_size, int frames,
                   const std::string& marker = "FRAME\n") {
  std::string s = header;
  for (int f = 0; f < frames; ++f) s += marker + FrameBytes(frame_size, f);
  return s;
}

std::string AsString(const std::vector<uint8_t>& v) { return std::string(v.begin(), v.end()); }

const char kHeader6x4[] = "YUV4MPEG2 W6 H4 F25:1 It C420jpeg\n";
constexpr size_t kFrame6x4 = 6 * 4 + 2 * 3 * 2;

// ---- Header ----

TEST(CliY4mHeader, RoundTripKeepsTagsAndMarksProgressive) {
  TempDir dir("vantrel-y4m");
  const std::string in = dir.File(
      "in.y4m", Stream("YUV4MPEG2 W6 H4 F30000:1001 It A128:117 C420mpeg2 XYSCSS=420MPEG2 "
                       "XCOLORRANGE=LIMITED Zfuture\n",
                       kFrame6x4, 1));
  Y4mReader reader;
  ASSERT_TRUE(reader.Open(in)) << reader.error();
  const Y4mHeader& h = reader.header();
  EXPECT_EQ(h.width, 6);
  EXPECT_EQ(h.height, 4);
  ASSERT_TRUE(h.fps && h.aspect && h.colorspace);
  EXPECT_EQ(h.fps->num, 30000u);
  EXPECT_EQ(h.fps->den, 1001u);
  EXPECT_EQ(h.interlace, 't');
  EXPECT_EQ(reader.format().fps.num, 30000u);

  std::vector<uint8_t> frame(reader.format().frame_bytes);
  ASSERT_EQ(reader.Read(frame.data()), ReadStatus::kFrame);
  Y4mWriter writer(h);
  const std::string out = dir.Path("out.y4m");
  ASSERT_TRUE(writer.Open(out)) << writer.error();
  ASSERT_EQ(writer.WriteHeader(), WriteStatus::kOk);
  ASSERT_EQ(writer.WriteFrame(frame.data()), WriteStatus::kOk);
  ASSERT_EQ(writer.Close(), WriteStatus::kOk);
  EXPECT_EQ(ReadAll(out),
            "YUV4MPEG2 W6 H4 F30000:1001 Ip A128:117 C420mpeg2 XYSCSS=420MPEG2 "
            "XCOLORRANGE=LIMITED Zfuture\nFRAME\n" +
                FrameBytes(kFrame6x4, 0));
}

TEST(CliY4mHeader, OutputPutsKnownTagsFirstAndKeepsOthersInOrder) {
  Y4mHeader h;
  std::string error;
  ASSERT_TRUE(ParseY4mHeader("YUV4MPEG2 XB=2 C420  Zq W4 H2 XA=1 Ib", &h, &error)) << error;
  EXPECT_EQ(FormatY4mHeader(Y4mWriter(h).header()), "YUV4MPEG2 W4 H2 Ip C420 XB=2 Zq XA=1\n");
}

TEST(CliY4mHeader, AbsentTagsStayAbsent) {
  Y4mHeader h;
  std::string error;
  ASSERT_TRUE(ParseY4mHeader("YUV4MPEG2 W4 H2 F24:1", &h, &error)) << error;
  EXPECT_FALSE(h.colorspace.has_value());
  EXPECT_FALSE(h.aspect.has_value());
  EXPECT_EQ(h.interlace, 0);
  EXPECT_EQ(FormatY4mHeader(Y4mWriter(h).header()), "YUV4MPEG2 W4 H2 F24:1 Ip\n");
}

// The size of an 8x4 frame of each colorspace (its planes, in every layout
// and depth, are checked end to end in tool.cpp).
TEST(CliY4mHeader, AcceptsEachColorspace) {
  TempDir dir("vantrel-y4m");
  const std::pair<const char*, size_t> cases[] = {
      {" C420jpeg", 48}, {" C420paldv", 48}, {" C420mpeg2", 48}, {" C420", 48},
      {"", 48},          {" C422", 64},      {" C444", 96},      {" C411", 48},
      {" Cmono", 32},    {" C420p10", 96},   {" C422p9", 128},   {" C444p16", 192},
      {" Cmono12", 64}};
  for (const auto& [tag, bytes] : cases) {
    SCOPED_TRACE(std::string("colorspace tag \"") + tag + "\"");
    const std::string in =
        dir.File("in.y4m", Stream(std::string("YUV4MPEG2 W8 H4") + tag + "\n", bytes, 1));
    Y4mReader reader;
    ASSERT_TRUE(reader.Open(in)) << reader.error();
    EXPECT_EQ(reader.format().frame_bytes, bytes);
    EXPECT_EQ(reader.format().frame_count, 1);
    std::vector<uint8_t> frame(bytes);
    ASSERT_EQ(reader.Read(frame.data()), ReadStatus::kFrame);
    EXPECT_EQ(AsString(frame), FrameBytes(bytes, 0));
    EXPECT_EQ(reader.Read(frame.data()), ReadStatus::kEnd);
  }
}

TEST(CliY4mHeader, RefusedColorspaceIsNamedWithTheFix) {
  TempDir dir("vantrel-y4m");
  const struct {
    const char* tag;
    const char* what;  // what the tag holds; "" when it names nothing known
    const char* fix;
  } cases[] = {
      // Depths FFmpeg does not write: the nearest that holds every bit.
      {"420p11", "11-bit 4:2:0; ", ": ffmpeg ... -pix_fmt yuv420p12le"},
      {"422p32", "32-bit 4:2:2; ", ": ffmpeg ... -pix_fmt yuv422p16le"},
      {"mono14", "14-bit grey; ", ": ffmpeg ... -pix_fmt gray16le"},
      {"411p10", "10-bit 4:1:1; ", ": ffmpeg ... -pix_fmt yuv411p"},
      {"444alpha", "4:4:4 with alpha; ", ": ffmpeg ... -pix_fmt yuv444p"},
      // The vertical chroma resolution changes: interlace-aware, so the two
      // fields' chroma stays apart.
      {"410", "4:1:0; ", " keeping the fields apart: ffmpeg ... -vf scale=interl=1,format=yuv420p"},
      {"yuv420p", "", " keeping the fields apart: ffmpeg ... -vf scale=interl=1,format=yuv420p"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.tag);
    const std::string in =
        dir.File("odd.y4m", Stream(std::string("YUV4MPEG2 W6 H4 C") + c.tag + "\n", 72, 1));
    Y4mReader reader;
    EXPECT_FALSE(reader.Open(in));
    // The list of tags comes from the table that the raw names' test checks.
    const std::string& e = reader.error();
    EXPECT_NE(e.find(in + ": colorspace C" + c.tag + " is not supported (" + c.what), e.npos) << e;
    EXPECT_NE(e.find("C444p{9,10,12,14,16} or Cmono{9,10,12,16}); convert it" + std::string(c.fix)),
              e.npos)
        << e;
  }
}

TEST(CliY4mHeader, RefusesWhatIsNotAYuv4mpeg2Header) {
  TempDir dir("vantrel-y4m");
  const std::string matroska = std::string("\x1a\x45\xdf\xa3", 4) + std::string(100000, 'm');
  const struct {
    std::string bytes;
    std::string message;
  } cases[] = {
      {"", "the input is empty"},
      {"YUV4MPEG W4 H2\n", "not a YUV4MPEG2 stream"},
      {"YUV4MPEG2W4 H2\n", "not a YUV4MPEG2 stream"},
      {"yuv4mpeg2 W4 H2\n", "not a YUV4MPEG2 stream"},
      {"YUV4", "not a YUV4MPEG2 stream"},
      {matroska, "starts with \"\\x1aE\\xdf\\xa3mmm"},
      {"YUV4MPEG2 W4 H2", "the input ends inside the YUV4MPEG2 header"},
      {"YUV4MPEG2 W4 H2 X" + std::string(70000, 'a') + "\n", "has no end within 65536 bytes"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    Y4mReader reader;
    EXPECT_FALSE(reader.Open(dir.File("bad.y4m", c.bytes)));
    EXPECT_NE(reader.error().find("bad.y4m: "), std::string::npos) << reader.error();
    EXPECT_NE(reader.error().find(c.message), std::string::npos) << reader.error();
  }
}

TEST(CliY4mHeader, RefusesBadSizesAndTags) {
  const struct {
    const char* tags;
    const char* message;
  } cases[] = {
      {"H2", "no width"},
      {"W4", "no height"},
      {"W0 H2", "width W0 is zero"},
      {"W4 H-2", "height H-2 is negative"},
      {"Wabc H2", "width Wabc is not a number"},
      {"W H2", "width W is not a number"},
      {"W5 H2", "5x2 does not suit 4:2:0, which needs an even width and height; crop or scale "
                "the video, e.g. ffmpeg -vf crop=2*trunc(iw/2):2*trunc(ih/2)"},
      {"W4 H3 C420mpeg2", "4x3 does not suit 4:2:0"},
      {"W5 H3 C422", "5x3 does not suit 4:2:2, which needs an even width; crop or scale the "
                     "video, e.g. ffmpeg -vf crop=2*trunc(iw/2):ih"},
      {"W6 H3 C411", "6x3 does not suit 4:1:1, which needs a width that is a multiple of 4"},
      {"W32770 H2", "above the limit of 32768"},
      {"W2000000000 H2000000000", "width W2000000000 is above the limit"},
      {"W4 H99999999999999999999999", "above the limit"},
      {"W30000 H30000", "takes 1350000000 bytes, above the limit of 1073741824"},
      {"W4 W4 H2", "two W tags"},
      {"W4 H2 F25", "frame rate F25 is malformed"},
      {"W4 H2 F25:x", "frame rate F25:x is malformed"},
      {"W4 H2 F4294967296:1", "frame rate F4294967296:1 is malformed"},
      {"W4 H2 A:1", "aspect ratio A:1 is malformed"},
      {"W4 H2 Iq", "interlacing tag Iq is unknown"},
      {"W4 H2 C420 C420jpeg", "two C tags"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.tags);
    Y4mHeader h;
    std::string error;
    EXPECT_FALSE(ParseY4mHeader(std::string("YUV4MPEG2 ") + c.tags, &h, &error));
    EXPECT_NE(error.find(c.message), std::string::npos) << error;
  }
}

TEST(CliY4mHeader, LargestAcceptedFrameIsAtTheLimit) {
  // 26754 x 26754 x 3 / 2 = 1073664774 bytes, just under 1 GiB; the next even
  // square, 26756 x 26756, takes 1073825304.
  Y4mHeader h;
  std::string error;
  ASSERT_TRUE(ParseY4mHeader("YUV4MPEG2 W26754 H26754", &h, &error)) << error;
  EXPECT_EQ(Y4mFrameFormat(h).frame_bytes, 1073664774u);
  EXPECT_FALSE(ParseY4mHeader("YUV4MPEG2 W26756 H26756", &h, &error));
  EXPECT_NE(error.find("takes 1073825304 bytes"), std::string::npos) << error;
}

// ---- Frames ----

TEST(CliY4mFrames, PerFrameParametersAreSkipped) {
  TempDir dir("vantrel-y4m");
  const std::string in =
      dir.File("in.y4m", Stream(kHeader6x4, kFrame6x4, 3, "FRAME Ib XFRAME=1\n"));
  Y4mReader reader;
  ASSERT_TRUE(reader.Open(in)) << reader.error();
  EXPECT_EQ(reader.format().frame_count, -1);
  std::vector<uint8_t> frame(kFrame6x4);
  for (int f = 0; f < 3; ++f) {
    ASSERT_EQ(reader.Read(frame.data()), ReadStatus::kFrame) << reader.error();
    EXPECT_EQ(AsString(frame), FrameBytes(kFrame6x4, f));
  }
  EXPECT_EQ(reader.Read(frame.data()), ReadStatus::kEnd);
  EXPECT_EQ(reader.Read(frame.data()), ReadStatus::kEnd);
  EXPECT_EQ(reader.frames_read(), 3);
}

// Two good frames, then `tail` where frame 2 should start.
void ExpectFrameTwoFails(const std::string& tail, const std::string& message) {
  SCOPED_TRACE(message);
  TempDir dir("vantrel-y4m");
  const std::string in = dir.File("cut.y4m", Stream(kHeader6x4, kFrame6x4, 2) + tail);
  Y4mReader reader;
  ASSERT_TRUE(reader.Open(in)) << reader.error();
  std::vector<uint8_t> frame(kFrame6x4);
  for (int f = 0; f < 2; ++f) {
    ASSERT_EQ(reader.Read(frame.data()), ReadStatus::kFrame) << reader.error();
    EXPECT_EQ(AsString(frame), FrameBytes(kFrame6x4, f));
  }
  EXPECT_EQ(reader.Read(frame.data()), ReadStatus::kError);
  const size_t offset = sizeof kHeader6x4 - 1 + 2 * (6 + kFrame6x4);
  EXPECT_EQ(reader.error_frame(), 2);
  EXPECT_EQ(reader.error_offset(), static_cast<int64_t>(offset));
  EXPECT_NE(reader.error().find(in + ": frame 2 (counting from 0), at byte " +
                                std::to_string(offset) + ": "),
            std::string::npos)
      << reader.error();
  EXPECT_NE(reader.error().find(message), std::string::npos) << reader.error();
  EXPECT_EQ(reader.Read(frame.data()), ReadStatus::kError);  // stays failed
}

TEST(CliY4mFrames, MalformedMarkerNamesFrameAndOffset) {
  ExpectFrameTwoFails("FRAMX\n" + FrameBytes(kFrame6x4, 2), "found \"FRAMX\"");
  ExpectFrameTwoFails("FRAMES\n", "found \"FRAMES\"");
  ExpectFrameTwoFails("frame\n", "found \"frame\"");
  ExpectFrameTwoFails("\n", "found \"\"");
  ExpectFrameTwoFails("FRAME " + std::string(70000, 'p') + "\n", "no end within 65536 bytes");
}

TEST(CliY4mFrames, TruncatedLastFrameNamesFrameAndOffset) {
  ExpectFrameTwoFails("FRAME\n" + FrameBytes(10, 2), "ends after 10 of the frame's 36 bytes");
  ExpectFrameTwoFails("FRAME\n", "ends after 0 of the frame's 36 bytes");
  ExpectFrameTwoFails("FRA", "ends inside the frame marker \"FRA\"");
  ExpectFrameTwoFails("FRAME Ip", "ends inside the frame marker");
}

TEST(CliY4mFrames, PlaneReadsHonourPitchAndLeavePaddingAlone) {
  TempDir dir("vantrel-y4m");
  const std::string in = dir.File("in.y4m", Stream(kHeader6x4, kFrame6x4, 2));
  Y4mReader reader;
  ASSERT_TRUE(reader.Open(in)) << reader.error();
  for (int f = 0; f < 2; ++f) {
    std::vector<uint8_t> y(10 * 4, 0xEE), u(5 * 2, 0xEE), v(5 * 2, 0xEE);
    const PlaneOut planes[3] = {{y.data(), 10}, {u.data(), 5}, {v.data(), 5}};
    ASSERT_EQ(reader.Read(planes, 3), ReadStatus::kFrame) << reader.error();
    const std::string want = FrameBytes(kFrame6x4, f);
    std::string got;
    for (int r = 0; r < 4; ++r) got.append(reinterpret_cast<char*>(&y[r * 10]), 6);
    for (int r = 0; r < 2; ++r) got.append(reinterpret_cast<char*>(&u[r * 5]), 3);
    for (int r = 0; r < 2; ++r) got.append(reinterpret_cast<char*>(&v[r * 5]), 3);
    EXPECT_EQ(got, want);
    for (int r = 0; r < 4; ++r) EXPECT_EQ(y[r * 10 + 6], 0xEE) << "luma padding, row " << r;
    for (int r = 0; r < 2; ++r) EXPECT_EQ(v[r * 5 + 4], 0xEE) << "chroma padding, row " << r;
  }
  const PlaneOut two[2] = {};
  EXPECT_EQ(reader.Read(two, 2), ReadStatus::kError);
  EXPECT_NE(reader.error().find("needs 3 planes"), std::string::npos) << reader.error();
}

// Restores standard input when the test ends.
class StdinFrom {
 public:
  explicit StdinFrom(int fd) : saved_(dup(STDIN_FILENO)) { dup2(fd, STDIN_FILENO); }
  ~StdinFrom() {
    dup2(saved_, STDIN_FILENO);
    close(saved_);
  }

 private:
  int saved_;
};

TEST(CliY4mFrames, StandardInputPipeFedInOddPieces) {
  // Frames larger than the read buffer, fed in pieces that split markers and
  // frames anywhere: every short read must resume in the right place. The pipe
  // is non-blocking, as an inherited descriptor may be: the reader must wait
  // for data rather than fail on EAGAIN.
  const std::string header = "YUV4MPEG2 W256 H192 F25:1\n";
  const size_t frame_size = 256 * 192 * 3 / 2;
  const std::string stream = Stream(header, frame_size, 6);
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  ASSERT_EQ(fcntl(fds[0], F_SETFL, O_NONBLOCK), 0);
  std::thread feeder([&] {
    for (size_t pos = 0; pos < stream.size();) {
      const size_t piece = std::min<size_t>(4099, stream.size() - pos);
      const ssize_t n = write(fds[1], stream.data() + pos, piece);
      if (n <= 0) break;
      pos += static_cast<size_t>(n);
    }
    close(fds[1]);
  });
  {
    StdinFrom redirect(fds[0]);
    Y4mReader reader;
    EXPECT_TRUE(reader.Open("-")) << reader.error();
    EXPECT_EQ(reader.name(), "standard input");
    EXPECT_EQ(reader.format().frame_count, -1);
    std::vector<uint8_t> frame(frame_size);
    for (int f = 0; f < 6; ++f) {
      if (reader.Read(frame.data()) != ReadStatus::kFrame) {
        ADD_FAILURE() << "frame " << f << ": " << reader.error();
        break;
      }
      EXPECT_EQ(AsString(frame), FrameBytes(frame_size, f)) << "frame " << f;
    }
    EXPECT_EQ(reader.Read(frame.data()), ReadStatus::kEnd);
  }
  // After a failure the feeder may still be writing: drain the pipe so it ends.
  fcntl(fds[0], F_SETFL, 0);
  char sink[4096];
  while (read(fds[0], sink, sizeof sink) > 0) {
  }
  feeder.join();
  close(fds[0]);
}

// ---- Writer ----

TEST(CliY4mWriter, PlaneWritesMatchContiguousFrames) {
  TempDir dir("vantrel-y4m");
  Y4mHeader h;
  std::string error;
  ASSERT_TRUE(ParseY4mHeader("YUV4MPEG2 W6 H4 It", &h, &error)) << error;
  Y4mWriter writer(h);
  const std::string out = dir.Path("out.y4m");
  ASSERT_TRUE(writer.Open(out)) << writer.error();
  ASSERT_EQ(writer.WriteHeader(), WriteStatus::kOk);
  std::string want = "YUV4MPEG2 W6 H4 Ip\n";
  for (int f = 0; f < 2; ++f) {
    const std::string bytes = FrameBytes(kFrame6x4, f);
    // Spread the frame over padded planes: luma pitch 9, chroma pitch 4.
    std::vector<uint8_t> y(9 * 4, 0xAA), u(4 * 2, 0xAA), v(4 * 2, 0xAA);
    for (int r = 0; r < 4; ++r) std::copy_n(&bytes[r * 6], 6, &y[r * 9]);
    for (int r = 0; r < 2; ++r) std::copy_n(&bytes[24 + r * 3], 3, &u[r * 4]);
    for (int r = 0; r < 2; ++r) std::copy_n(&bytes[30 + r * 3], 3, &v[r * 4]);
    const PlaneIn planes[3] = {{y.data(), 9}, {u.data(), 4}, {v.data(), 4}};
    ASSERT_EQ(writer.WriteFrame(planes, 3), WriteStatus::kOk) << writer.error();
    want += "FRAME\n" + bytes;
  }
  ASSERT_EQ(writer.Close(), WriteStatus::kOk) << writer.error();
  EXPECT_EQ(ReadAll(out), want);
}

TEST(CliY4mWriter, RefusesAHeaderItCouldNotReadBack) {
  TempDir dir("vantrel-y4m");
  Y4mHeader h;
  h.width = 6;
  h.height = 4;
  h.colorspace = "444alpha";
  Y4mWriter writer(h);
  ASSERT_TRUE(writer.Open(dir.Path("out.y4m"))) << writer.error();
  EXPECT_EQ(writer.WriteHeader(), WriteStatus::kError);
  EXPECT_NE(writer.error().find("colorspace C444alpha"), std::string::npos) << writer.error();

  h.colorspace.reset();
  h.extra_tags = {"XA B"};
  Y4mWriter spaced(h);
  ASSERT_TRUE(spaced.Open(dir.Path("out2.y4m"))) << spaced.error();
  EXPECT_EQ(spaced.WriteHeader(), WriteStatus::kError);
}

}  // namespace
}  // namespace vantrel::cli
