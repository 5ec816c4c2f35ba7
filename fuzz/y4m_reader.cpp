// YUV4MPEG2 reader and writer. The first byte picks how the stream arrives
// (file or pipe), the frame memory layout and whether to write the frames
// back out; the rest is the stream. A plain reading of the format says where
// every frame lies, and the reader must agree with it byte for byte, fail
// with the right frame and offset, and write out what reads back the same.
#include <cstring>
#include <optional>
#include <vector>

#include "cli/y4m.h"
#include "fuzz/fuzz_input.h"
#include "fuzz/plane_buffers.h"
#include "fuzz/reader_checks.h"
#include "fuzz/stream_source.h"

namespace vantrel::fuzz {
namespace {

constexpr const char* kTarget = "y4m_reader";
// Larger frames are only parsed, not read: a few bytes of header must not
// make each run allocate a gigabyte.
constexpr uint64_t kMaxReadFrameBytes = 4u << 20;
constexpr int kMaxFrames = 64;

// Where the next frame lies by the letter of the format, or why it cannot.
struct NextFrame {
  enum { kFrame, kEnd, kBad } what;
  size_t data_at = 0;  // first byte of the frame's data
  bool bare_marker = false;
};

NextFrame Locate(const std::string& s, size_t pos, uint64_t frame_bytes) {
  if (pos == s.size()) return {NextFrame::kEnd};
  const size_t search = std::min(s.size() - pos, cli::kMaxY4mLineBytes + 1);
  const void* nl = std::memchr(s.data() + pos, '\n', search);
  if (!nl) return {NextFrame::kBad};
  const size_t end = size_t(static_cast<const char*>(nl) - s.data());
  const std::string marker = s.substr(pos, end - pos);
  if (marker.compare(0, 5, "FRAME") != 0 || (marker.size() > 5 && marker[5] != ' ')) {
    return {NextFrame::kBad};
  }
  if (s.size() - (end + 1) < frame_bytes) return {NextFrame::kBad};
  return {NextFrame::kFrame, end + 1, marker.size() == 5};
}

void CheckHeaderRoundTrip(const cli::Y4mHeader& h) {
  const std::string text = cli::FormatY4mHeader(h);
  cli::Y4mHeader again;
  std::string error;
  FUZZ_CHECK(kTarget, cli::ParseY4mHeader(text.substr(0, text.size() - 1), &again, &error),
             "a header the reader accepted does not parse once written: " + error);
  FUZZ_CHECK(kTarget, cli::FormatY4mHeader(again) == text, "header changes when written twice");
}

// Reads back what the writer made: the same header, marked progressive, and
// the same frames, ending cleanly.
void CheckWritten(const std::string& written, const cli::Y4mHeader& header,
                  const std::vector<std::string>& frames) {
  StreamSource file;
  if (!file.Make(StreamSource::Kind::kFile, reinterpret_cast<const uint8_t*>(written.data()),
                 written.size())) {
    return;
  }
  cli::Y4mReader reader;
  FUZZ_CHECK(kTarget, reader.Open(file.path()), "written stream does not open: " + reader.error());
  cli::Y4mHeader expected = header;
  expected.interlace = 'p';
  FUZZ_CHECK(kTarget, cli::FormatY4mHeader(reader.header()) == cli::FormatY4mHeader(expected),
             "written header differs");
  std::vector<uint8_t> frame(reader.format().frame_bytes);
  for (const std::string& want : frames) {
    FUZZ_CHECK(kTarget, reader.Read(frame.data()) == cli::ReadStatus::kFrame,
               "written frame does not read back: " + reader.error());
    FUZZ_CHECK(kTarget, std::memcmp(frame.data(), want.data(), want.size()) == 0,
               "written frame differs");
  }
  FUZZ_CHECK(kTarget, reader.Read(frame.data()) == cli::ReadStatus::kEnd,
             "written stream does not end after its frames: " + reader.error());
}

void Run(const uint8_t* data, size_t size) {
  FuzzInput in(data, size);
  const uint8_t config = in.Byte();
  const auto kind = (config & 1) ? StreamSource::Kind::kPipe : StreamSource::Kind::kFile;
  const auto layout = PlaneLayout((config >> 1) & 3);
  const bool write_back = (config & 8) != 0;
  const int padding = 1 + (config >> 4);
  const std::string stream(reinterpret_cast<const char*>(in.rest()), in.rest_size());

  StreamSource source;
  if (!source.Make(kind, in.rest(), in.rest_size())) return;
  cli::Y4mReader reader;
  if (!reader.Open(source.path())) {
    FUZZ_CHECK(kTarget, IsClearMessage(reader.error(), reader.name()),
               "unclear message: " + reader.error());
    return;
  }
  CheckHeaderRoundTrip(reader.header());
  const cli::FrameFormat& format = reader.format();
  if (format.frame_bytes > kMaxReadFrameBytes) return;

  StreamSource out_file;
  std::optional<cli::Y4mWriter> writer;
  if (write_back && out_file.MakeEmptyFile()) {
    writer.emplace(reader.header());
    FUZZ_CHECK(kTarget, writer->Open(out_file.path()), writer->error());
    FUZZ_CHECK(kTarget, writer->WriteHeader() == cli::WriteStatus::kOk, writer->error());
  }

  PlaneBuffers buffers(format, layout, padding);
  std::vector<std::string> frames;
  size_t pos = stream.find('\n') + 1;
  bool all_bare = true;
  for (int64_t n = 0; n < kMaxFrames; ++n) {
    const NextFrame next = Locate(stream, pos, format.frame_bytes);
    const cli::ReadStatus status = buffers.ReadFrom(reader);
    FUZZ_CHECK(kTarget, buffers.PaddingIntact(), "reader wrote between lines");
    if (next.what == NextFrame::kEnd) {
      FUZZ_CHECK(kTarget, status == cli::ReadStatus::kEnd,
                 "frame " + std::to_string(n) + ": expected the end: " + reader.error());
      FUZZ_CHECK(kTarget, reader.Read(nullptr, 0) == cli::ReadStatus::kEnd, "end is not final");
      if (kind == StreamSource::Kind::kFile && all_bare) {
        FUZZ_CHECK(kTarget, format.frame_count == n, "frame count of a plain file is wrong");
      }
      break;
    }
    if (next.what == NextFrame::kBad) {
      FUZZ_CHECK(kTarget, status == cli::ReadStatus::kError,
                 "frame " + std::to_string(n) + " should fail");
      CheckFrameError(kTarget, reader, n, pos);
      FUZZ_CHECK(kTarget, buffers.ReadFrom(reader) == cli::ReadStatus::kError,
                 "an error is not final");
      break;
    }
    FUZZ_CHECK(kTarget, status == cli::ReadStatus::kFrame,
               "frame " + std::to_string(n) + " should read: " + reader.error());
    const std::string got = buffers.FileBytes();
    FUZZ_CHECK(kTarget, got == stream.substr(next.data_at, format.frame_bytes),
               "frame " + std::to_string(n) + " differs from the stream");
    all_bare = all_bare && next.bare_marker;
    pos = next.data_at + format.frame_bytes;
    frames.push_back(got);
    if (writer) {
      FUZZ_CHECK(kTarget, buffers.WriteTo(*writer) == cli::WriteStatus::kOk, writer->error());
    }
  }
  if (writer) {
    FUZZ_CHECK(kTarget, writer->Close() == cli::WriteStatus::kOk, writer->error());
    CheckWritten(out_file.Contents(), reader.header(), frames);
  }
}

std::string Frames(int count, size_t frame_bytes, const std::string& marker) {
  std::string s;
  for (int f = 0; f < count; ++f) {
    s += marker;
    for (size_t i = 0; i < frame_bytes; ++i) s += char((i * 31 + f * 7) & 0xFF);
  }
  return s;
}

}  // namespace

std::vector<std::string> Seeds() {
  const std::string plain = "YUV4MPEG2 W16 H16 F25:1 It A1:1 C420jpeg XYSCSS=420JPEG\n";
  return {
      std::string(1, '\0') + plain + Frames(2, 384, "FRAME\n"),
      std::string(1, '\x01') + plain + Frames(3, 384, "FRAME\n"),
      std::string(1, '\x0e') + "YUV4MPEG2 W2 H2\n" + Frames(4, 6, "FRAME Ixyz\n"),
      std::string(1, '\x0b') + "YUV4MPEG2 W32 H16 F30000:1001 Ib C420mpeg2\n" +
          Frames(2, 768, "FRAME\n"),
      std::string(1, '\x0c') + "YUV4MPEG2 W16 H16 C420\n" + Frames(1, 384, "FRAME\n") + "FRA",
      std::string(1, '\x04') + "YUV4MPEG2 W6 H4 C422\n" + Frames(1, 36, "FRAME\n"),
      std::string(1, '\x0a') + "YUV4MPEG2 W6 H3 C444 XYSCSS=444\n" + Frames(2, 54, "FRAME\n"),
      std::string(1, '\x03') + "YUV4MPEG2 W8 H2 It C411\n" + Frames(3, 24, "FRAME Ibi\n"),
      std::string(1, '\x0e') + "YUV4MPEG2 W5 H3 Cmono\n" + Frames(2, 15, "FRAME\n") + "FR",
      std::string(1, '\x00') + "YUV4MPEG2 W16 H16 C420p10 XYSCSS=420P10\n" +
          Frames(1, 768, "FRAME\n"),
      std::string(1, '\x08') + "YUV4MPEG2  W4  H2 F0:0 A0:0 I?\n" + Frames(2, 12, "FRAME\n"),
  };
}

}  // namespace vantrel::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vantrel::fuzz::Run(data, size);
  return 0;
}
