#include "cli/frame_io.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "cli/platform.h"

namespace vantrel::cli {
namespace {

using platform::ErrorText;
using platform::FileFacts;
using platform::Slice;

// Text headers and small frames are read through this buffer; frames at
// least this large go straight from the file into the caller's memory.
constexpr size_t kBufferBytes = 64 * 1024;
constexpr int kMaxSlices = 1024;  // IOV_MAX on Linux and the BSDs

struct Rows {
  uint8_t* data;
  ptrdiff_t pitch;
  size_t row_bytes;
  size_t rows;
};

// Walks the bytes of up to four planes row by row, so that partial reads and
// writes can resume anywhere. Planes without padding count as one long row.
class RowCursor {
 public:
  void Add(uint8_t* data, ptrdiff_t pitch, size_t row_bytes, size_t rows) {
    if (row_bytes == 0 || rows == 0) return;
    if (pitch == static_cast<ptrdiff_t>(row_bytes)) {
      row_bytes *= rows;
      rows = 1;
    }
    planes_[count_++] = Rows{data, pitch, row_bytes, rows};
    remaining_ += static_cast<uint64_t>(row_bytes) * rows;
  }

  uint64_t remaining() const { return remaining_; }

  size_t CopyIn(const uint8_t* src, size_t n) {
    size_t copied = 0;
    while (copied < n && remaining_ > 0) {
      const size_t take = std::min(n - copied, Current().row_bytes - col_);
      std::memcpy(RowStart() + col_, src + copied, take);
      copied += take;
      Advance(take);
    }
    return copied;
  }

  int Gather(Slice* slices, int max) const {
    int n = 0;
    size_t col = col_;
    for (int p = plane_; p < count_ && n < max; ++p) {
      const Rows& r = planes_[p];
      for (size_t row = p == plane_ ? row_ : 0; row < r.rows && n < max; ++row) {
        slices[n].data = r.data + r.pitch * static_cast<ptrdiff_t>(row) + col;
        slices[n].size = r.row_bytes - col;
        ++n;
        col = 0;
      }
    }
    return n;
  }

  void Advance(size_t n) {
    while (n > 0 && remaining_ > 0) {
      const size_t take = std::min(n, Current().row_bytes - col_);
      col_ += take;
      n -= take;
      remaining_ -= take;
      if (col_ < Current().row_bytes) continue;
      col_ = 0;
      if (++row_ < Current().rows) continue;
      row_ = 0;
      ++plane_;
    }
  }

 private:
  const Rows& Current() const { return planes_[plane_]; }
  uint8_t* RowStart() const {
    return Current().data + Current().pitch * static_cast<ptrdiff_t>(row_);
  }

  Rows planes_[4] = {};
  int count_ = 0;
  int plane_ = 0;
  size_t row_ = 0;
  size_t col_ = 0;
  uint64_t remaining_ = 0;
};

}  // namespace

bool ParseDecimal(std::string_view text, uint64_t* value) {
  if (text.empty()) return false;
  uint64_t v = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    const auto digit = static_cast<uint64_t>(c - '0');
    v = v > (UINT64_MAX - digit) / 10 ? UINT64_MAX : v * 10 + digit;
  }
  *value = v;
  return true;
}

std::string Printable(std::string_view bytes, size_t max_len) {
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  for (size_t i = 0; i < bytes.size() && i < max_len; ++i) {
    const auto c = static_cast<unsigned char>(bytes[i]);
    if (c >= 0x20 && c < 0x7f && c != '\\') {
      out += static_cast<char>(c);
    } else {
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  if (bytes.size() > max_len) out += "...";
  return out;
}

// ---- InputStream ----

InputStream::~InputStream() {
  if (owns_fd_) platform::Close(fd_);
}

bool InputStream::Open(const std::string& path, std::string* error) {
  if (fd_ != platform::kNoFile) {
    *error = name_ + ": already open";
    return false;
  }
  if (path == "-") {
    fd_ = platform::StandardInput();
    name_ = "standard input";
  } else {
    name_ = path;
    fd_ = platform::OpenForReading(path);
    if (fd_ == platform::kNoFile) {
      *error = "cannot open " + path + ": " + ErrorText(errno);
      return false;
    }
    owns_fd_ = true;
  }
  FileFacts facts;
  if (platform::Describe(fd_, &facts)) {
    if (facts.kind == FileFacts::Kind::kDirectory) {
      *error = name_ + " is a directory, not a video file";
      return false;
    }
    if (facts.kind == FileFacts::Kind::kRegular) {
      file_end_ = facts.size;
      start_ = facts.position;
    }
    has_id_ = facts.has_id;
    id_ = facts.id;
  }
  platform::WidenPipe(fd_);
  buffer_.resize(kBufferBytes);
  return true;
}

int64_t InputStream::RemainingSize() const {
  if (file_end_ < 0) return -1;
  const int64_t left = file_end_ - start_ - static_cast<int64_t>(offset_);
  return std::max<int64_t>(0, left);
}

bool InputStream::IsSameFile(const std::string& path) const {
  FileFacts out;
  const bool known = path == "-" ? platform::Describe(platform::StandardOutput(), &out)
                                 : platform::DescribePath(path, &out);
  return has_id_ && known && out.id == id_;
}

std::string InputStream::ReadError(int err) const {
  if (err == ECANCELED) return "interrupted at byte " + std::to_string(offset_);
  return "read error at byte " + std::to_string(offset_) + ": " + ErrorText(err);
}

// Only called with the buffer used up.
bool InputStream::Fill(std::string* error) {
  pos_ = end_ = 0;
  if (eof_) return true;
  const Slice slice = {buffer_.data(), buffer_.size()};
  const int64_t r = platform::ReadSome(fd_, &slice, 1, file_end_ < 0);
  if (r < 0) {
    *error = ReadError(errno);
    return false;
  }
  eof_ = r == 0;
  end_ = static_cast<size_t>(r);
  return true;
}

InputStream::LineStatus InputStream::ReadLine(size_t max_len, std::string* line,
                                              std::string* error) {
  line->clear();
  for (;;) {
    if (pos_ == end_) {
      if (!Fill(error)) return LineStatus::kError;
      if (end_ == 0) return line->empty() ? LineStatus::kEnd : LineStatus::kTruncated;
    }
    const char* begin = reinterpret_cast<const char*>(buffer_.data() + pos_);
    const size_t avail = end_ - pos_;
    const auto* newline = static_cast<const char*>(std::memchr(begin, '\n', avail));
    const size_t take = newline ? static_cast<size_t>(newline - begin) : avail;
    const size_t room = max_len - std::min(max_len, line->size());
    if (take > room) {
      line->append(begin, room);
      pos_ += room;
      offset_ += room;
      return LineStatus::kTooLong;
    }
    line->append(begin, take);
    const size_t used = take + (newline ? 1 : 0);
    pos_ += used;
    offset_ += used;
    if (newline) return LineStatus::kLine;
  }
}

bool InputStream::ReadPlanes(const PlaneOut* planes, const PlaneShape* shapes, int count,
                             uint64_t* got, std::string* error) {
  RowCursor cursor;
  for (int i = 0; i < count; ++i) {
    cursor.Add(planes[i].data, planes[i].pitch, static_cast<size_t>(shapes[i].row_bytes),
               static_cast<size_t>(shapes[i].rows));
  }
  const uint64_t total = cursor.remaining();
  bool ok = true;
  while (ok && cursor.remaining() > 0) {
    if (pos_ < end_) {
      const size_t n = cursor.CopyIn(buffer_.data() + pos_, end_ - pos_);
      pos_ += n;
      offset_ += n;
    } else if (eof_) {
      break;
    } else if (cursor.remaining() < buffer_.size()) {
      // A small rest: one buffered read also brings the next markers and frames.
      ok = Fill(error);
    } else {
      Slice slices[kMaxSlices];
      const int64_t r =
          platform::ReadSome(fd_, slices, cursor.Gather(slices, kMaxSlices), file_end_ < 0);
      if (r < 0) {
        *error = ReadError(errno);
        ok = false;
      }
      eof_ = r == 0;
      if (r > 0) {
        cursor.Advance(static_cast<size_t>(r));
        offset_ += static_cast<uint64_t>(r);
      }
    }
  }
  *got = total - cursor.remaining();
  return ok;
}

// ---- OutputStream ----

OutputStream::~OutputStream() {
  if (owns_fd_) platform::Close(fd_);
}

bool OutputStream::Open(const std::string& path, std::string* error) {
  return Claim(path, error) && Start(error);
}

bool OutputStream::Claim(const std::string& path, std::string* error) {
  if (fd_ != platform::kNoFile) {
    *error = name_ + ": already open";
    return false;
  }
  if (path == "-") {
    fd_ = platform::StandardOutput();
    name_ = "standard output";
    return true;
  }
  name_ = path;
  fd_ = platform::OpenForWriting(path, &created_);
  if (fd_ == platform::kNoFile) {
    *error = "cannot open " + path + " for writing: " + ErrorText(errno);
    return false;
  }
  owns_fd_ = true;
  return true;
}

bool OutputStream::Start(std::string* error) {
  if (!owns_fd_ || platform::Truncate(fd_)) return true;
  *error = "cannot empty " + name_ + " to write it: " + ErrorText(errno);
  return false;
}

void OutputStream::Withdraw() {
  if (!owns_fd_) return;
  platform::Close(fd_);
  owns_fd_ = false;
  fd_ = platform::kNoFile;
  if (created_) platform::RemoveFile(name_);
}

WriteStatus OutputStream::Fail(int err, std::string* error) {
  if (err == EPIPE) {
    failed_ = WriteStatus::kBrokenPipe;
    failure_ = name_ + ": the reader of the output has gone away (broken pipe)";
  } else {
    failed_ = WriteStatus::kError;
    failure_ = name_ + ": cannot write: " + ErrorText(err);
    if (err == ENOSPC) failure_ += "; free some space or write elsewhere";
    if (err == EFBIG) failure_ += std::string("; ") + platform::kFileSizeLimitHint + "; write elsewhere";
  }
  *error = failure_;
  return failed_;
}

WriteStatus OutputStream::Write(std::string_view bytes, std::string* error) {
  return WritePlanes(bytes, nullptr, nullptr, 0, error);
}

WriteStatus OutputStream::WritePlanes(std::string_view prefix, const PlaneIn* planes,
                                      const PlaneShape* shapes, int count, std::string* error) {
  if (failed_ != WriteStatus::kOk) {
    *error = failure_;
    return failed_;
  }
  if (fd_ == platform::kNoFile) return Fail(EBADF, error);
  // Writes only read through these pointers.
  RowCursor cursor;
  cursor.Add(reinterpret_cast<uint8_t*>(const_cast<char*>(prefix.data())),
             static_cast<ptrdiff_t>(prefix.size()), prefix.size(), 1);
  for (int i = 0; i < count; ++i) {
    cursor.Add(const_cast<uint8_t*>(planes[i].data), planes[i].pitch,
               static_cast<size_t>(shapes[i].row_bytes), static_cast<size_t>(shapes[i].rows));
  }
  while (cursor.remaining() > 0) {
    Slice slices[kMaxSlices];
    const int64_t r = platform::WriteSome(fd_, slices, cursor.Gather(slices, kMaxSlices));
    if (r < 0) return Fail(errno, error);
    if (r == 0) return Fail(EIO, error);  // would loop forever otherwise
    cursor.Advance(static_cast<size_t>(r));
  }
  return WriteStatus::kOk;
}

WriteStatus OutputStream::Close(std::string* error) {
  if (owns_fd_) {
    owns_fd_ = false;
    const int err = platform::Close(fd_);
    fd_ = platform::kNoFile;
    if (err != 0 && failed_ == WriteStatus::kOk) return Fail(err, error);
  }
  if (failed_ != WriteStatus::kOk) *error = failure_;
  return failed_;
}

// ---- FrameReader ----

ReadStatus FrameReader::Read(uint8_t* dst) {
  PlaneOut planes[3];
  uint8_t* p = dst;
  for (int i = 0; i < format_.plane_count && dst; ++i) {
    planes[i] = PlaneOut{p, format_.planes[i].row_bytes};
    p += static_cast<size_t>(format_.planes[i].row_bytes) *
         static_cast<size_t>(format_.planes[i].rows);
  }
  return Read(planes, format_.plane_count);
}

ReadStatus FrameReader::Read(const PlaneOut* planes, int count) {
  if (!error_.empty()) return ReadStatus::kError;
  if (done_) return ReadStatus::kEnd;
  if (count != format_.plane_count || count == 0) {
    return Fail(name() + ": a frame needs " + std::to_string(format_.plane_count) +
                " planes, the caller gave " + std::to_string(count));
  }
  for (int i = 0; i < count; ++i) {
    if (!planes[i].data) return Fail(name() + ": no memory given for plane " + std::to_string(i));
  }
  const uint64_t start = in_.offset();
  const ReadStatus marker = ReadMarker();
  if (marker == ReadStatus::kEnd) done_ = true;
  if (marker != ReadStatus::kFrame) return marker;
  const bool had_marker = in_.offset() != start;

  uint64_t got = 0;
  std::string read_error;
  if (!in_.ReadPlanes(planes, format_.planes, count, &got, &read_error)) {
    return FrameError(start, read_error);
  }
  if (got == format_.frame_bytes) {
    ++frames_read_;
    return ReadStatus::kFrame;
  }
  if (got == 0 && !had_marker) {
    done_ = true;
    return ReadStatus::kEnd;
  }
  return FrameError(start, "the input ends after " + std::to_string(got) + " of the frame's " +
                               std::to_string(format_.frame_bytes) +
                               " bytes (the last frame is incomplete)");
}

ReadStatus FrameReader::FrameError(uint64_t frame_start, const std::string& what) {
  error_frame_ = frames_read_;
  error_offset_ = static_cast<int64_t>(frame_start);
  return Fail(name() + ": frame " + std::to_string(frames_read_) + " (counting from 0), at byte " +
              std::to_string(frame_start) + ": " + what);
}

ReadStatus FrameReader::Fail(const std::string& message) {
  error_ = message;
  return ReadStatus::kError;
}

// ---- FrameWriter ----

bool FrameWriter::Open(const std::string& path) { return out_.Open(path, &error_); }
bool FrameWriter::Claim(const std::string& path) { return out_.Claim(path, &error_); }
bool FrameWriter::Start() { return out_.Start(&error_); }

WriteStatus FrameWriter::WriteFrame(const uint8_t* frame) {
  PlaneIn planes[3];
  const uint8_t* p = frame;
  for (int i = 0; i < format_.plane_count && frame; ++i) {
    planes[i] = PlaneIn{p, format_.planes[i].row_bytes};
    p += static_cast<size_t>(format_.planes[i].row_bytes) *
         static_cast<size_t>(format_.planes[i].rows);
  }
  return WriteFrame(planes, format_.plane_count);
}

WriteStatus FrameWriter::WriteFrame(const PlaneIn* planes, int count) {
  if (count != format_.plane_count || count == 0) {
    return Fail(out_.name() + ": a frame needs " + std::to_string(format_.plane_count) +
                " planes, the caller gave " + std::to_string(count));
  }
  for (int i = 0; i < count; ++i) {
    if (!planes[i].data) {
      return Fail(out_.name() + ": no memory given for plane " + std::to_string(i));
    }
  }
  return out_.WritePlanes(FrameMarker(), planes, format_.planes, count, &error_);
}

WriteStatus FrameWriter::Close() { return out_.Close(&error_); }

WriteStatus FrameWriter::Fail(const std::string& message) {
  error_ = message;
  return WriteStatus::kError;
}

}  // namespace vantrel::cli
