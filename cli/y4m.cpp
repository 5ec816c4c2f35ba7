#include "cli/y4m.h"

#include "cli/formats.h"

namespace vantrel::cli {
namespace {

constexpr std::string_view kSignature = "YUV4MPEG2";
constexpr std::string_view kFrameMarker = "FRAME";
constexpr const char* kScaleDown = "; scale the video down first, e.g. ffmpeg -vf scale=1920:-2";

bool Refuse(std::string* error, const std::string& message) {
  *error = message;
  return false;
}

bool HasSignature(std::string_view line) {
  return line.substr(0, kSignature.size()) == kSignature &&
         (line.size() == kSignature.size() || line[kSignature.size()] == ' ');
}

bool ParseDimension(std::string_view tag, const char* what, int32_t* out, std::string* error) {
  const std::string quoted = std::string(what) + " " + Printable(tag, 32);
  const std::string_view value = tag.substr(1);
  const bool negative = !value.empty() && value[0] == '-';
  uint64_t v = 0;
  if (!ParseDecimal(negative ? value.substr(1) : value, &v)) {
    return Refuse(error, quoted + " is not a number");
  }
  if (negative && v != 0) return Refuse(error, quoted + " is negative");
  if (v == 0) return Refuse(error, quoted + " is zero");
  if (v > static_cast<uint64_t>(kMaxDimension)) {
    return Refuse(error,
                  quoted + " is above the limit of " + std::to_string(kMaxDimension) + kScaleDown);
  }
  *out = static_cast<int32_t>(v);
  return true;
}

bool ParseRatio(std::string_view tag, const char* what, std::optional<Ratio>* out,
                std::string* error) {
  const std::string_view value = tag.substr(1);
  const size_t colon = value.find(':');
  uint64_t num = 0;
  uint64_t den = 0;
  if (colon == std::string_view::npos || !ParseDecimal(value.substr(0, colon), &num) ||
      !ParseDecimal(value.substr(colon + 1), &den) || num > UINT32_MAX || den > UINT32_MAX) {
    return Refuse(error, std::string(what) + " " + Printable(tag, 32) + " is malformed; expected " +
                             tag[0] + "<number>:<number>");
  }
  *out = Ratio{static_cast<uint32_t>(num), static_cast<uint32_t>(den)};
  return true;
}

bool ParseInterlace(std::string_view tag, char* out, std::string* error) {
  if (tag.size() != 2 || std::string_view("ptbm?").find(tag[1]) == std::string_view::npos) {
    return Refuse(error, "interlacing tag " + Printable(tag, 32) +
                             " is unknown; expected Ip, It, Ib, Im or I?");
  }
  *out = tag[1];
  return true;
}

bool ParseTag(std::string_view tag, Y4mHeader* h, std::string* error) {
  switch (tag[0]) {
    case 'W': return ParseDimension(tag, "width", &h->width, error);
    case 'H': return ParseDimension(tag, "height", &h->height, error);
    case 'F': return ParseRatio(tag, "frame rate", &h->fps, error);
    case 'A': return ParseRatio(tag, "aspect ratio", &h->aspect, error);
    case 'I': return ParseInterlace(tag, &h->interlace, error);
    case 'C':
      h->colorspace = std::string(tag.substr(1));
      return true;
    default:
      h->extra_tags.emplace_back(tag);
      return true;
  }
}

void AppendRatio(std::string* out, char key, const std::optional<Ratio>& r) {
  if (!r) return;
  *out += ' ';
  *out += key;
  *out += std::to_string(r->num) + ":" + std::to_string(r->den);
}

// The I parameter among a FRAME line's parameters; other parameters and
// letters it does not know are left alone.
Y4mFrameTag FrameTag(std::string_view params) {
  Y4mFrameTag tag;
  size_t pos = 0;
  while (pos < params.size()) {
    const size_t space = params.find(' ', pos);
    const std::string_view p =
        params.substr(pos, space == std::string_view::npos ? std::string_view::npos : space - pos);
    if (p.size() >= 2 && p[0] == 'I') {
      tag.order = p[1];
      tag.sampling = p.size() >= 3 ? p[2] : 0;
    }
    if (space == std::string_view::npos) break;
    pos = space + 1;
  }
  return tag;
}

}  // namespace

bool ParseY4mHeader(std::string_view line, Y4mHeader* header, std::string* error) {
  if (!HasSignature(line)) {
    return Refuse(error, "not a YUV4MPEG2 stream: it starts with \"" + Printable(line, 16) +
                             "\"; make one with ffmpeg -f yuv4mpegpipe, or read raw frames");
  }
  Y4mHeader h;
  std::string seen;
  size_t pos = kSignature.size();
  while (pos < line.size()) {
    const size_t space = line.find(' ', pos);
    const size_t end = space == std::string_view::npos ? line.size() : space;
    const std::string_view tag = line.substr(pos, end - pos);
    pos = end + 1;
    if (tag.empty()) continue;  // tolerate doubled spaces
    if (std::string_view("WHFIAC").find(tag[0]) != std::string_view::npos) {
      if (seen.find(tag[0]) != std::string::npos) {
        return Refuse(error, std::string("the header holds two ") + tag[0] + " tags");
      }
      seen += tag[0];
    }
    if (!ParseTag(tag, &h, error)) return false;
  }
  if (h.width == 0) return Refuse(error, "the header has no width (W tag)");
  if (h.height == 0) return Refuse(error, "the header has no height (H tag)");
  if (!CheckY4mFormat(h, error)) return false;
  *header = std::move(h);
  return true;
}

bool CheckY4mFormat(const Y4mHeader& h, std::string* error) {
  const ToolFormat* row = FindY4mFormat(h.colorspace);
  if (!row) return Refuse(error, Y4mTagRefusal(*h.colorspace));
  if (const std::string why = SampleOrderRefusal(row->format); !why.empty()) {
    return Refuse(error, why);
  }
  if (h.width <= 0 || h.height <= 0 || h.width > kMaxDimension || h.height > kMaxDimension) {
    return Refuse(error, "frame size " + std::to_string(h.width) + "x" + std::to_string(h.height) +
                             " is out of range (1 to " + std::to_string(kMaxDimension) + ")");
  }
  if (!row->format.Fits(h.width, h.height)) {
    return Refuse(error, "frame size " + std::to_string(h.width) + "x" + std::to_string(h.height) +
                             " does not suit " + LayoutName(row->format) + ", which needs " +
                             SizeRule(row->format) + "; crop or scale the video, e.g. ffmpeg -vf " +
                             CropToFit(row->format));
  }
  const FrameFormat f = Y4mFrameFormat(h);
  if (f.frame_bytes > kMaxFrameBytes) {
    return Refuse(error, "a frame of " + std::to_string(h.width) + "x" + std::to_string(h.height) +
                             " takes " + std::to_string(f.frame_bytes) +
                             " bytes, above the limit of " + std::to_string(kMaxFrameBytes) +
                             kScaleDown);
  }
  for (const std::string& tag : h.extra_tags) {
    if (tag.empty() || tag.find_first_of(" \n") != std::string::npos) {
      return Refuse(error,
                    "header tag \"" + Printable(tag, 32) + "\" is empty or holds a separator");
    }
  }
  return true;
}

std::string FormatY4mHeader(const Y4mHeader& h) {
  std::string out(kSignature);
  out += " W" + std::to_string(h.width) + " H" + std::to_string(h.height);
  AppendRatio(&out, 'F', h.fps);
  if (h.interlace != 0) out += std::string(" I") + h.interlace;
  AppendRatio(&out, 'A', h.aspect);
  if (h.colorspace) out += " C" + *h.colorspace;
  for (const std::string& tag : h.extra_tags) out += " " + tag;
  out += '\n';
  return out;
}

FrameFormat Y4mFrameFormat(const Y4mHeader& h) {
  FrameFormat f = FileFrameFormat(FindY4mFormat(h.colorspace)->format, h.width, h.height);
  f.fps = h.fps.value_or(Ratio{});
  return f;
}

// ---- Y4mReader ----

bool Y4mReader::Open(const std::string& path) {
  std::string error;
  if (!in_.Open(path, &error)) {
    Fail(error);
    return false;
  }
  if (!ReadHeader()) return false;
  format_ = Y4mFrameFormat(header_);
  // Exact only when every frame carries a bare marker, as encoders write them.
  const int64_t rest = in_.RemainingSize();
  const auto per_frame = static_cast<int64_t>(kFrameMarker.size() + 1 + format_.frame_bytes);
  if (rest >= 0 && rest % per_frame == 0) format_.frame_count = rest / per_frame;
  return true;
}

bool Y4mReader::ReadHeader() {
  std::string line;
  std::string error;
  const auto status = in_.ReadLine(kMaxY4mLineBytes, &line, &error);
  const std::string prefix = name() + ": ";
  using LineStatus = InputStream::LineStatus;
  if (status == LineStatus::kError) {
    Fail(prefix + error);
  } else if (status == LineStatus::kEnd) {
    Fail(prefix + "the input is empty; expected a YUV4MPEG2 stream");
  } else if (status != LineStatus::kLine && HasSignature(line.substr(0, kSignature.size() + 1))) {
    Fail(prefix + (status == LineStatus::kTooLong
                       ? "the YUV4MPEG2 header line has no end within " +
                             std::to_string(kMaxY4mLineBytes) + " bytes"
                       : "the input ends inside the YUV4MPEG2 header"));
  } else if (!ParseY4mHeader(line, &header_, &error)) {
    Fail(prefix + error);
  } else {
    return true;
  }
  return false;
}

ReadStatus Y4mReader::ReadMarker() {
  const uint64_t start = in_.offset();
  std::string line;
  std::string error;
  using LineStatus = InputStream::LineStatus;
  switch (in_.ReadLine(kMaxY4mLineBytes, &line, &error)) {
    case LineStatus::kEnd:
      return ReadStatus::kEnd;
    case LineStatus::kError:
      return FrameError(start, error);
    case LineStatus::kTruncated:
      return FrameError(start, "the input ends inside the frame marker \"" +
                                   Printable(line, 32) + "\"");
    case LineStatus::kTooLong:
      return FrameError(start, "the frame marker line has no end within " +
                                   std::to_string(kMaxY4mLineBytes) + " bytes");
    case LineStatus::kLine:
      break;
  }
  if (line.compare(0, kFrameMarker.size(), kFrameMarker) != 0 ||
      (line.size() > kFrameMarker.size() && line[kFrameMarker.size()] != ' ')) {
    return FrameError(start, "expected a FRAME marker, found \"" + Printable(line, 32) +
                                 "\"; the stream is damaged or its frames do not match the "
                                 "header's size and colorspace");
  }
  frame_tag_ = FrameTag(std::string_view(line).substr(kFrameMarker.size()));
  // The count taken at Open assumed bare markers.
  if (line.size() > kFrameMarker.size()) format_.frame_count = -1;
  return ReadStatus::kFrame;
}

// ---- Y4mWriter ----

Y4mWriter::Y4mWriter(const Y4mHeader& header) : header_(header) {
  header_.interlace = 'p';
  if (CheckY4mFormat(header_, &invalid_)) format_ = Y4mFrameFormat(header_);
}

WriteStatus Y4mWriter::WriteHeader() {
  if (!invalid_.empty()) return Fail(out_.name() + ": cannot write this header: " + invalid_);
  return out_.Write(FormatY4mHeader(header_), &error_);
}

}  // namespace vantrel::cli
