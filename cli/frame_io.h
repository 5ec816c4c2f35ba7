// Frame streams on files and pipes: the reader and writer bases shared by the
// YUV4MPEG2 and raw formats, and the byte-exact input and output under them.
//
// A path of "-" means standard input or standard output. Errors are reported
// as message strings that name the file; nothing here throws or prints.
// Writers report a closed pipe as WriteStatus::kBrokenPipe; on POSIX that only
// reaches the caller if SIGPIPE is ignored (platform::PrepareProcess).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "cli/platform.h"

namespace vantrel::cli {

// Largest width or height, and largest frame, any format accepts. They keep
// every size computation far from 64-bit overflow and stop a corrupt header
// from making the tool allocate gigabytes per frame.
inline constexpr int32_t kMaxDimension = 32768;
inline constexpr uint64_t kMaxFrameBytes = uint64_t{1} << 30;

enum class ReadStatus { kFrame, kEnd, kError };
enum class WriteStatus { kOk, kError, kBrokenPipe };

// A ratio as the stream states it; 0:0 means not stated.
struct Ratio {
  uint32_t num = 0;
  uint32_t den = 0;
};

struct PlaneShape {
  int32_t row_bytes = 0;
  int32_t rows = 0;
};

// What a reader delivers and a writer expects. Planes are in file order
// (for YV12 the second plane is V).
struct FrameFormat {
  int32_t width = 0;
  int32_t height = 0;
  uint64_t frame_bytes = 0;
  int plane_count = 0;
  PlaneShape planes[3];
  Ratio fps;
  int64_t frame_count = -1;  // -1 when the input cannot tell
};

// Frame memory given plane by plane. The pitch may exceed the row size and
// may be negative (data then points at the first row in file order, e.g. the
// bottom line of a bottom-up RGB frame).
struct PlaneOut {
  uint8_t* data = nullptr;
  ptrdiff_t pitch = 0;
};
struct PlaneIn {
  const uint8_t* data = nullptr;
  ptrdiff_t pitch = 0;
};

// Decimal digits only, at least one; values too large for 64 bits saturate
// so that they fail any limit check instead of wrapping.
bool ParseDecimal(std::string_view text, uint64_t* value);

// Up to max_len bytes of `bytes` for a message, with non-printables escaped.
std::string Printable(std::string_view bytes, size_t max_len);

// A file or standard input, read in large blocking pieces.
class InputStream {
 public:
  enum class LineStatus { kLine, kEnd, kTruncated, kTooLong, kError };

  InputStream() = default;
  ~InputStream();
  InputStream(const InputStream&) = delete;
  InputStream& operator=(const InputStream&) = delete;

  bool Open(const std::string& path, std::string* error);
  const std::string& name() const { return name_; }
  // Bytes consumed since Open.
  uint64_t offset() const { return offset_; }
  // Bytes still to come when the input is a regular file, else -1.
  int64_t RemainingSize() const;
  // True when output `path` (- for standard output) is this input's file or
  // device, under whatever name: writing there would destroy the input.
  bool IsSameFile(const std::string& path) const;

  // Reads up to a '\n' (not stored). kEnd: no byte before the end of input;
  // kTruncated: the input ended first; kTooLong: no '\n' in max_len bytes.
  // In each case *line holds what was read (at least the first max_len bytes).
  LineStatus ReadLine(size_t max_len, std::string* line, std::string* error);

  // Fills the planes' rows in order. *got is the number of bytes delivered,
  // less than the total only at the end of input. False on a read error.
  bool ReadPlanes(const PlaneOut* planes, const PlaneShape* shapes, int count,
                  uint64_t* got, std::string* error);

 private:
  bool Fill(std::string* error);
  std::string ReadError(int err) const;

  platform::FileHandle fd_ = platform::kNoFile;
  bool owns_fd_ = false;
  int64_t file_end_ = -1;  // size of a regular file, else -1
  bool has_id_ = false;    // a regular file or a disk: id_
  platform::FileId id_;
  int64_t start_ = 0;      // file position at Open
  std::string name_;
  std::vector<uint8_t> buffer_;
  size_t pos_ = 0;
  size_t end_ = 0;
  uint64_t offset_ = 0;
  bool eof_ = false;
};

// A file or standard output, written with as few system calls as the frame
// layout allows. After a failure every later write fails the same way.
class OutputStream {
 public:
  OutputStream() = default;
  ~OutputStream();
  OutputStream(const OutputStream&) = delete;
  OutputStream& operator=(const OutputStream&) = delete;

  // Claim, then Start.
  bool Open(const std::string& path, std::string* error);
  // Opens the output without changing it; Start empties a file, Withdraw
  // closes it and removes it if Claim made it. A run opens all its outputs
  // before it starts any, so one that cannot start changes none.
  bool Claim(const std::string& path, std::string* error);
  bool Start(std::string* error);
  void Withdraw();
  const std::string& name() const { return name_; }

  WriteStatus Write(std::string_view bytes, std::string* error);
  // Writes `prefix` and then the planes' rows, in one go where possible.
  WriteStatus WritePlanes(std::string_view prefix, const PlaneIn* planes,
                          const PlaneShape* shapes, int count, std::string* error);
  // Closes the file; reports errors the kernel kept until close.
  WriteStatus Close(std::string* error);

 private:
  WriteStatus Fail(int err, std::string* error);

  platform::FileHandle fd_ = platform::kNoFile;
  bool owns_fd_ = false;
  bool created_ = false;
  std::string name_;
  WriteStatus failed_ = WriteStatus::kOk;
  std::string failure_;
};

// Reads frames of a fixed format; the formats supply Open and the marker.
class FrameReader {
 public:
  virtual ~FrameReader() = default;

  const FrameFormat& format() const { return format_; }
  const std::string& name() const { return in_.name(); }
  bool IsSameFile(const std::string& path) const { return in_.IsSameFile(path); }

  // One frame of format().frame_bytes bytes, contiguous, into dst.
  ReadStatus Read(uint8_t* dst);
  // One frame into format().plane_count planes.
  ReadStatus Read(const PlaneOut* planes, int count);

  const std::string& error() const { return error_; }
  // Where the failing frame starts: its 0-based number and its byte offset
  // in the input; -1 when the error is not about a frame.
  int64_t error_frame() const { return error_frame_; }
  int64_t error_offset() const { return error_offset_; }
  int64_t frames_read() const { return frames_read_; }

 protected:
  // Consumes what precedes a frame's bytes. kEnd at a clean end of input.
  virtual ReadStatus ReadMarker() { return ReadStatus::kFrame; }
  ReadStatus FrameError(uint64_t frame_start, const std::string& what);
  ReadStatus Fail(const std::string& message);

  InputStream in_;
  FrameFormat format_;

 private:
  std::string error_;
  int64_t error_frame_ = -1;
  int64_t error_offset_ = -1;
  int64_t frames_read_ = 0;
  bool done_ = false;
};

// Writes frames of a fixed format; the formats supply the header and marker.
class FrameWriter {
 public:
  virtual ~FrameWriter() = default;

  // As OutputStream's.
  bool Open(const std::string& path);
  bool Claim(const std::string& path);
  bool Start();
  void Withdraw() { out_.Withdraw(); }
  const FrameFormat& format() const { return format_; }

  virtual WriteStatus WriteHeader() = 0;
  // One frame of format().frame_bytes contiguous bytes.
  WriteStatus WriteFrame(const uint8_t* frame);
  // One frame from format().plane_count planes.
  WriteStatus WriteFrame(const PlaneIn* planes, int count);
  WriteStatus Close();

  const std::string& error() const { return error_; }

 protected:
  virtual std::string_view FrameMarker() const { return {}; }
  WriteStatus Fail(const std::string& message);

  OutputStream out_;
  FrameFormat format_;
  std::string error_;
};

}  // namespace vantrel::cli
