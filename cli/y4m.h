// YUV4MPEG2 streams (the colour tags in formats.h): the header, and frame
// readers and writers on a file or a pipe.
//
// Frames are numbered from 0 in every message. Besides the general limits in
// frame_io.h, the header line and each FRAME line may hold at most 64 KiB.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/frame_io.h"

namespace vantrel::cli {

inline constexpr size_t kMaxY4mLineBytes = 64 * 1024;

struct Y4mHeader {
  int32_t width = 0;
  int32_t height = 0;
  std::optional<Ratio> fps;
  char interlace = 0;  // 'p', 't', 'b', 'm' or '?'; 0 without an I tag
  std::optional<Ratio> aspect;
  std::optional<std::string> colorspace;  // the text after 'C' (formats.h)
  std::vector<std::string> extra_tags;    // X comments and unknown tags, verbatim, in order
};

// Parses a header line (without its '\n') and checks it with CheckY4mFormat.
// The message says what is wrong and what to do; the caller adds the file name.
bool ParseY4mHeader(std::string_view line, Y4mHeader* header, std::string* error);

// True when the size and colorspace are ones the tool can process.
bool CheckY4mFormat(const Y4mHeader& header, std::string* error);

// The header line with its '\n': W H F I A C, the ones present, then the
// extra tags in their order.
std::string FormatY4mHeader(const Y4mHeader& header);

// The frame layout (Y, U, V planes, or Y alone) of a header that passed
// CheckY4mFormat.
FrameFormat Y4mFrameFormat(const Y4mHeader& header);

// A frame's own interlacing tag, FRAME Ixy... (written in Im streams): x the
// field order (t or T top first, b or B bottom first, others unknown), y p for
// a progressive frame or i for an interlaced one; 0 where not given.
struct Y4mFrameTag {
  char order = 0;
  char sampling = 0;
};

class Y4mReader : public FrameReader {
 public:
  // Opens a path or "-" and reads the header; false with error() set if the
  // input cannot be read or is not a stream the tool can process.
  bool Open(const std::string& path);
  const Y4mHeader& header() const { return header_; }
  // The tag of the frame read last.
  const Y4mFrameTag& frame_tag() const { return frame_tag_; }

 protected:
  ReadStatus ReadMarker() override;

 private:
  bool ReadHeader();

  Y4mHeader header_;
  Y4mFrameTag frame_tag_;
};

class Y4mWriter : public FrameWriter {
 public:
  // Writes `header` as given, except that the frames are marked progressive.
  explicit Y4mWriter(const Y4mHeader& header);
  const Y4mHeader& header() const { return header_; }

  WriteStatus WriteHeader() override;

 protected:
  std::string_view FrameMarker() const override { return "FRAME\n"; }

 private:
  Y4mHeader header_;
  std::string invalid_;
};

}  // namespace vantrel::cli
