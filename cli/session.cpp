#include "cli/session.h"

#include <climits>
#include <new>
#include <thread>

#include "cli/raw_io.h"
#include "cli/y4m.h"

namespace vantrel::cli {

namespace {

std::string SizeText(int width, int height) {
  return std::to_string(width) + "x" + std::to_string(height);
}

// Twice the rate; false if the header cannot hold it.
bool DoubleRate(Ratio* fps) {
  if (fps->num == 0 || fps->den == 0) return true;  // unknown stays unknown
  if (fps->num <= UINT32_MAX / 2) {
    fps->num *= 2;
  } else if (fps->den % 2 == 0) {
    fps->den /= 2;
  } else {
    return false;
  }
  return true;
}

bool OpenStreams(const Options& o, Session* s, const ToolFormat** format, char* interlace,
                 std::string* error) {
  if (o.raw) {
    auto reader = std::make_unique<RawReader>();
    if (!reader->Open(o.input, o.raw_format)) {
      *error = reader->error();
      return false;
    }
    s->writer = std::make_unique<RawWriter>(reader->format());
    s->reader = std::move(reader);
    *format = o.raw_type.row;
    return true;
  }
  auto reader = std::make_unique<Y4mReader>();
  if (!reader->Open(o.input)) {
    *error = reader->error();
    return false;
  }
  Y4mHeader header = reader->header();
  if (o.double_rate && header.fps && !DoubleRate(&*header.fps)) {
    *error = reader->name() + ": the frame rate F" + std::to_string(header.fps->num) + ":" +
             std::to_string(header.fps->den) +
             " cannot be doubled in a YUV4MPEG2 header; leave out --double-rate";
    return false;
  }
  *interlace = header.interlace;
  s->writer = std::make_unique<Y4mWriter>(header);
  s->y4m = reader.get();
  s->reader = std::move(reader);
  *format = FindY4mFormat(header.colorspace);
  return true;
}

// What a tag says of a frame's fields: 't' or 'b' for the field first in
// time, 0 when unknown.
struct FieldTag {
  char order = 0;
  bool progressive = false;
};

FieldTag FieldsOf(char interlace, const Y4mFrameTag& frame) {
  if (interlace != 'm') return {interlace == 't' || interlace == 'b' ? interlace : char(0), false};
  const char order = frame.order == 'T' ? 't' : frame.order == 'B' ? 'b' : frame.order;
  return {order == 't' || order == 'b' ? order : char(0), frame.sampling == 'p'};
}

// Why the filter will not deinterlace these frames and what to do, or "".
std::string NotDeinterlaced(const Options& o, const Session& s) {
  if (!s.format.Planar()) {
    const Conversion conversion = ConversionFrom(s.format);
    return std::string("the filter does not deinterlace ") + o.raw_type.name +
           " frames, only planar ones; convert them first" + conversion.advice +
           ", and give --pixel-type " + conversion.raw_name;
  }
  if (IsDeinterlacedSize(s.width, s.height)) return "";
  return "the filter does not deinterlace " + SizeText(s.width, s.height) +
         " frames (width and height must be multiples of 16)" +
         (o.pad ? "; resize the video" : " and --no-pad leaves them so; leave out --no-pad");
}

std::string RegionText(const RegionOption& r) {
  return std::string(r.add ? "--add-region " : "--sub-region ") + std::to_string(r.x1) + "," +
         std::to_string(r.y1) + "," + std::to_string(r.x2) + "," + std::to_string(r.y2);
}

Region RegionOf(const RegionOption& r) {
  return {r.x1, r.y1, r.x2, r.y2, r.add ? kAddRegion : kSubRegion};
}

std::string RegionWarning(const RegionOption& r, const FrameFormat& file, const Session& s) {
  const std::string frame = "the " + SizeText(file.width, file.height) + " frame" +
                            (s.height != file.height || s.width != file.width
                                 ? " (" + SizeText(s.width, s.height) + " padded)"
                                 : "");
  switch (FitOf(RegionOf(r), file.width, file.height, s.width, s.height)) {
    case RectFit::kInside: return "";
    case RectFit::kPartlyOutside:
      return RegionText(r) + " reaches past " + frame + "; only the part inside counts";
    case RectFit::kPaddingOnly:
      return RegionText(r) + " lies past " + frame + ", in its padding; it changes nothing";
    case RectFit::kOutside:
      return RegionText(r) + " is not inside " + frame + "; the filter skips it";
    case RectFit::kEmpty:
      return RegionText(r) + " is empty (X2 must be above X1 and Y2 above Y1); it changes nothing";
  }
  return "";
}

// The map is YUV4MPEG2 whatever the input: the output's header when there
// is one, else the size and the layout's tag (raw frames have no rate).
std::unique_ptr<FrameWriter> MapWriter(const Session& s) {
  Y4mHeader header;
  if (const auto* y4m = dynamic_cast<const Y4mWriter*>(s.writer.get())) {
    header = y4m->header();
  } else {
    header.width = s.reader->format().width;
    header.height = s.reader->format().height;
    header.colorspace = Y4mTagOf(s.format);
  }
  return std::make_unique<Y4mWriter>(header);
}

}  // namespace

const RegionList& RegionsFor(const Session& s, Field keep) {
  return s.regions[keep == Field::kTop ? 1 : 0];
}

std::array<OutputPlan, 2> PlanFrame(const Options& o, const Session& s, const Y4mFrameTag& tag) {
  const FieldTag fields = FieldsOf(s.interlace, tag);
  if (fields.progressive) return {OutputPlan{true}, OutputPlan{true}};
  if (!o.double_rate) {
    const Field stream = fields.order == 't' && !s.notice_frames ? Field::kTop : Field::kBottom;
    return {OutputPlan{false, o.keep.value_or(stream)}, OutputPlan{}};
  }
  const FieldOrder order = o.field_order ? *o.field_order
                           : fields.order == 'b' ? FieldOrder::kBottomFirst
                                                 : FieldOrder::kTopFirst;
  const auto in_time = FieldsInTimeOrder(order);
  return {OutputPlan{false, in_time[0]}, OutputPlan{false, in_time[1]}};
}

bool OpenInput(const Options& o, Session* s, std::string* error) {
  const ToolFormat* format = nullptr;
  if (!OpenStreams(o, s, &format, &s->interlace, error)) return false;
  const FrameFormat& file = s->reader->format();
  s->format = format->format;
  s->filter_planes = format->filter_planes;
  s->width = file.width;
  s->height = file.height;
  if (o.pad && s->format.Planar()) {
    s->width = PadToMultiple(s->width);
    s->height = PadToMultiple(s->height);
  }
  s->outputs_per_frame = o.double_rate ? 2 : 1;
  s->notice_frames = !NotDeinterlaced(o, *s).empty();
  return true;
}

bool CheckRun(const Options& o, const Session& s, std::string* error) {
  for (const std::string& out : {o.output, o.map}) {
    if (out.empty() || !s.reader->IsSameFile(out)) continue;
    *error = s.reader->name() + " and " + (out == "-" ? "standard output" : out) +
             " are the same file, so writing would destroy the input; write to another file";
    return false;
  }
  if (!o.map.empty() && !s.format.Planar()) {
    *error = std::string("--map shows what the filter does to planar frames, not to ") +
             o.raw_type.name + " ones; leave it out";
    return false;
  }
  const std::string why = NotDeinterlaced(o, s);
  if (why.empty()) return true;
  const std::string reason = s.reader->name() + ": " + why;
  if (!o.show_notices) {
    *error = reason + " (or add --show-notices to get the filter's notice frames)";
    return false;
  }
  if (o.keep == Field::kTop || o.double_rate) {
    *error = reason + " (--show-notices gives the notice frames, but not with --keep top or "
                      "--double-rate)";
    return false;
  }
  return true;
}

std::vector<std::string> Warnings(const Options& o, const Session& s) {
  std::vector<std::string> lines;
  for (const ParamInfo& info : kParams) {
    const int32_t value = o.filter.*info.field;
    const ParamRange range = RangeOf(info.param, s.width, s.height);
    if (!info.read_by_a_mode || range.Holds(value)) continue;
    lines.push_back(OptionName(info) + " " + std::to_string(value) + " is outside " +
                    std::to_string(range.low) + "-" + std::to_string(range.high) +
                    "; the filter uses " + std::to_string(DefaultOf(info.param)));
  }
  const FrameFormat& file = s.reader->format();
  const size_t capacity = size_t(RegionList::kCapacity);
  for (size_t i = 0; i < o.regions.size() && i < capacity; ++i) {
    const std::string line = RegionWarning(o.regions[i], file, s);
    if (!line.empty()) lines.push_back(line);
  }
  if (o.regions.size() > capacity) {
    lines.push_back("only the first " + std::to_string(capacity) +
                    " regions count; the filter ignores the other " +
                    std::to_string(o.regions.size() - capacity));
  }
  return lines;
}

StartResult StartRun(const Options& o, Session* s, std::string* error) {
  const unsigned cores = std::thread::hardware_concurrency();
  s->threads = o.threads > 0 ? o.threads : int(cores ? cores : 1);
  for (const RegionOption& option : o.regions) {
    const Region r = RegionOf(option), flipped = UpsideDown(r, s->height);
    AppendRegion(s->regions[0], r.kind, r.x1, r.y1, r.x2, r.y2);
    AppendRegion(s->regions[1], r.kind, flipped.x1, flipped.y1, flipped.x2, flipped.y2);
  }
  s->filter.reset(new (std::nothrow) Deinterlacer(o.filter));
  if (!s->filter) {
    *error = "not enough memory to start the filter";
    return StartResult::kRefused;
  }
  if (!o.map.empty()) s->map_writer = MapWriter(*s);
  const std::pair<FrameWriter*, const std::string*> outputs[] = {{s->writer.get(), &o.output},
                                                                 {s->map_writer.get(), &o.map}};
  for (const auto& [writer, path] : outputs) {
    if (!writer || writer->Claim(*path)) continue;
    *error = writer->error();
    for (const auto& claimed : outputs) {
      if (claimed.first) claimed.first->Withdraw();
    }
    return StartResult::kRefused;
  }
  for (const auto& [writer, path] : outputs) {
    if (!writer) continue;
    if (!writer->Start()) {
      *error = writer->error();
      return StartResult::kFailed;
    }
    const WriteStatus status = writer->WriteHeader();
    if (status == WriteStatus::kBrokenPipe) return StartResult::kOutputGone;
    if (status != WriteStatus::kOk) {
      *error = writer->error();
      return StartResult::kFailed;
    }
  }
  return StartResult::kStarted;
}

}  // namespace vantrel::cli
