// Raw frame reader and writer. The first byte picks how the stream arrives,
// the frame memory layout and whether to write the frames back; then comes a
// line "WIDTHxHEIGHT TYPE" as the user would type it after --raw and
// --pixel-type; the rest is the stream. Frame k is bytes k * size onwards;
// an incomplete last frame must be reported with its number and offset.
#include <optional>
#include <vector>

#include "cli/raw_io.h"
#include "fuzz/fuzz_input.h"
#include "fuzz/plane_buffers.h"
#include "fuzz/reader_checks.h"
#include "fuzz/stream_source.h"

namespace vantrel::fuzz {
namespace {

constexpr const char* kTarget = "raw_reader";
constexpr uint64_t kMaxReadFrameBytes = 4u << 20;
constexpr int kMaxFrames = 64;

bool OneLine(const std::string& message) {
  for (const char c : message) {
    if (c < 0x20 || c > 0x7e) return false;
  }
  return !message.empty();
}

// The size and type the line names, or nothing (after checking the message).
std::optional<cli::FrameFormat> ParseFormatLine(const std::string& line) {
  const size_t space = line.find(' ');
  const std::string size = line.substr(0, space);
  const std::string type = space == std::string::npos ? "" : line.substr(space + 1);
  int32_t width = 0, height = 0;
  cli::RawType pixel_type;
  cli::FrameFormat format;
  std::string error;
  if (!cli::ParseFrameSize(size, &width, &height, &error) ||
      !cli::ParsePixelType(type, &pixel_type, &error) ||
      !cli::MakeRawFormat(pixel_type, width, height, &format, &error)) {
    FUZZ_CHECK(kTarget, OneLine(error), "unclear message: " + error);
    return std::nullopt;
  }
  uint64_t bytes = 0;
  for (int i = 0; i < format.plane_count; ++i) {
    FUZZ_CHECK(kTarget, format.planes[i].row_bytes > 0 && format.planes[i].rows > 0,
               "empty plane in " + line);
    bytes += uint64_t(format.planes[i].row_bytes) * uint64_t(format.planes[i].rows);
  }
  FUZZ_CHECK(kTarget, bytes == format.frame_bytes && bytes <= cli::kMaxFrameBytes,
             "frame size does not add up for " + line);
  return format;
}

void CheckWritten(const std::string& written, const std::string& stream, size_t frame_bytes,
                  size_t frames) {
  FUZZ_CHECK(kTarget, written == stream.substr(0, frames * frame_bytes),
             "written frames differ from the frames read");
}

void Run(const uint8_t* data, size_t size) {
  FuzzInput in(data, size);
  const uint8_t config = in.Byte();
  const auto kind = (config & 1) ? StreamSource::Kind::kPipe : StreamSource::Kind::kFile;
  const auto layout = PlaneLayout((config >> 1) & 3);
  const bool write_back = (config & 8) != 0;
  const int padding = 1 + (config >> 4);
  const std::string rest(reinterpret_cast<const char*>(in.rest()), in.rest_size());
  const size_t nl = rest.find('\n');
  if (nl == std::string::npos || nl > 64) return;
  const std::optional<cli::FrameFormat> format = ParseFormatLine(rest.substr(0, nl));
  if (!format || format->frame_bytes > kMaxReadFrameBytes) return;
  const std::string stream = rest.substr(nl + 1);

  StreamSource source;
  if (!source.Make(kind, reinterpret_cast<const uint8_t*>(stream.data()), stream.size())) return;
  cli::RawReader reader;
  FUZZ_CHECK(kTarget, reader.Open(source.path(), *format), reader.error());
  const size_t frame_bytes = format->frame_bytes;
  const size_t whole = stream.size() / frame_bytes;
  if (kind == StreamSource::Kind::kFile) {
    const int64_t expected = stream.size() % frame_bytes == 0 ? int64_t(whole) : -1;
    FUZZ_CHECK(kTarget, reader.format().frame_count == expected, "frame count of a file");
  }

  StreamSource out_file;
  std::optional<cli::RawWriter> writer;
  if (write_back && out_file.MakeEmptyFile()) {
    writer.emplace(reader.format());
    FUZZ_CHECK(kTarget, writer->Open(out_file.path()), writer->error());
  }

  PlaneBuffers buffers(*format, layout, padding);
  size_t n = 0;
  for (; n < size_t(kMaxFrames); ++n) {
    const cli::ReadStatus status = buffers.ReadFrom(reader);
    FUZZ_CHECK(kTarget, buffers.PaddingIntact(), "reader wrote between lines");
    if (n < whole) {
      FUZZ_CHECK(kTarget, status == cli::ReadStatus::kFrame, "frame should read: " + reader.error());
      FUZZ_CHECK(kTarget, buffers.FileBytes() == stream.substr(n * frame_bytes, frame_bytes),
                 "frame " + std::to_string(n) + " differs from the stream");
      if (writer) {
        FUZZ_CHECK(kTarget, buffers.WriteTo(*writer) == cli::WriteStatus::kOk, writer->error());
      }
      continue;
    }
    if (stream.size() == n * frame_bytes) {
      FUZZ_CHECK(kTarget, status == cli::ReadStatus::kEnd, "expected the end: " + reader.error());
    } else {
      FUZZ_CHECK(kTarget, status == cli::ReadStatus::kError, "an incomplete frame was accepted");
      CheckFrameError(kTarget, reader, int64_t(n), n * frame_bytes);
    }
    break;
  }
  if (writer) {
    FUZZ_CHECK(kTarget, writer->Close() == cli::WriteStatus::kOk, writer->error());
    CheckWritten(out_file.Contents(), stream, frame_bytes, std::min(n, whole));
  }
}

std::string Seed(uint8_t config, const std::string& line, size_t bytes) {
  std::string s(1, char(config));
  s += line + "\n";
  for (size_t i = 0; i < bytes; ++i) s += char((i * 13) & 0xFF);
  return s;
}

}  // namespace

std::vector<std::string> Seeds() {
  return {
      Seed(0x00, "16x16 i420", 3 * 384),      Seed(0x03, "16x8 yv12", 2 * 192 + 17),
      Seed(0x0d, "7x3 rgb24", 4 * 63),        Seed(0x06, "5x2 rgb32", 3 * 40),
      Seed(0x0a, "6x5 yuy2", 2 * 60 + 59),    Seed(0x08, "2x2 I420", 6 * 6),
      Seed(0x00, "32768x32768 rgb32", 0),     Seed(0x00, "0x5 yuy2", 0),
      Seed(0x01, "3x3 yv12", 9),              Seed(0x00, "720X576 YV12", 0),
      Seed(0x02, "6x3 i422", 2 * 36 + 5),     Seed(0x0c, "8x2 yv411", 3 * 24),
      Seed(0x05, "5x3 i444", 2 * 45),         Seed(0x08, "7x5 gray", 3 * 35 + 1),
      Seed(0x00, "6x4 i411", 0),              Seed(0x00, "16x16 yuv420p10le", 0),
  };
}

}  // namespace vantrel::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vantrel::fuzz::Run(data, size);
  return 0;
}
