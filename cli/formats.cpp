#include "cli/formats.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "core/frame_view.h"

namespace vantrel::cli {
namespace {

// I-names and YUV4MPEG2 store U before V, YV-names V before U.
constexpr ToolFormat kFormats[] = {
    {kYuv420, kVThenU, "yuv420p", {"420jpeg", "420paldv", "420mpeg2", "420"}, {}},
    // i420 mirrors AviSynth's I420, whose U the filter takes first: raw
    // dumps of I420 clips give the plugin's bytes.
    {kYuv420, kAsStored, "yuv420p", {}, {"i420"}},
    {kYuv420, kAsStored, "yuv420p", {}, {"yv12"}},
    {kYuv422, kVThenU, "yuv422p", {"422"}, {"i422"}},
    {kYuv422, kAsStored, "yuv422p", {}, {"yv16"}},
    {kYuv444, kVThenU, "yuv444p", {"444"}, {"i444"}},
    {kYuv444, kAsStored, "yuv444p", {}, {"yv24"}},
    {kYuv411, kVThenU, "yuv411p", {"411"}, {"i411"}},
    {kYuv411, kAsStored, "yuv411p", {}, {"yv411"}},
    {kGrey, kAsStored, "gray", {"mono"}, {"y8", "gray"}},
    // Deeper samples as FFmpeg names and stores them: little-endian, U before
    // V. Its YUV4MPEG2 muxer writes these tags and no others (no gray14).
    {WithBits(kYuv420, 9), kVThenU, "yuv420p9le", {"420p9"}, {"yuv420p9le"}},
    {WithBits(kYuv420, 10), kVThenU, "yuv420p10le", {"420p10"}, {"yuv420p10le"}},
    {WithBits(kYuv420, 12), kVThenU, "yuv420p12le", {"420p12"}, {"yuv420p12le"}},
    {WithBits(kYuv420, 14), kVThenU, "yuv420p14le", {"420p14"}, {"yuv420p14le"}},
    {WithBits(kYuv420, 16), kVThenU, "yuv420p16le", {"420p16"}, {"yuv420p16le"}},
    {WithBits(kYuv422, 9), kVThenU, "yuv422p9le", {"422p9"}, {"yuv422p9le"}},
    {WithBits(kYuv422, 10), kVThenU, "yuv422p10le", {"422p10"}, {"yuv422p10le"}},
    {WithBits(kYuv422, 12), kVThenU, "yuv422p12le", {"422p12"}, {"yuv422p12le"}},
    {WithBits(kYuv422, 14), kVThenU, "yuv422p14le", {"422p14"}, {"yuv422p14le"}},
    {WithBits(kYuv422, 16), kVThenU, "yuv422p16le", {"422p16"}, {"yuv422p16le"}},
    {WithBits(kYuv444, 9), kVThenU, "yuv444p9le", {"444p9"}, {"yuv444p9le"}},
    {WithBits(kYuv444, 10), kVThenU, "yuv444p10le", {"444p10"}, {"yuv444p10le"}},
    {WithBits(kYuv444, 12), kVThenU, "yuv444p12le", {"444p12"}, {"yuv444p12le"}},
    {WithBits(kYuv444, 14), kVThenU, "yuv444p14le", {"444p14"}, {"yuv444p14le"}},
    {WithBits(kYuv444, 16), kVThenU, "yuv444p16le", {"444p16"}, {"yuv444p16le"}},
    {WithBits(kGrey, 9), kAsStored, "gray9le", {"mono9"}, {"gray9le"}},
    {WithBits(kGrey, 10), kAsStored, "gray10le", {"mono10"}, {"gray10le"}},
    {WithBits(kGrey, 12), kAsStored, "gray12le", {"mono12"}, {"gray12le"}},
    {WithBits(kGrey, 16), kAsStored, "gray16le", {"mono16"}, {"gray16le"}},
    {kYuy2, kAsStored, nullptr, {}, {"yuy2"}},
    {kRgb24, kAsStored, nullptr, {}, {"rgb24"}},
    {kRgb32, kAsStored, nullptr, {}, {"rgb32"}},
};

// Files hold deeper samples little-endian, as FFmpeg writes them, and the
// frames reach the filter as read: only a little-endian machine takes them.
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
constexpr bool kFilesSampleOrder = false;
#else
constexpr bool kFilesSampleOrder = true;
#endif

// Layouts YUV4MPEG2 names that no row holds, for the messages.
struct NamedLayout {
  const char* tag;
  PixelFormat format;
};
constexpr NamedLayout kOtherY4mLayouts[] = {{"410", PixelFormat{Family::kYuv, 8, 2, 2}}};

bool SameLayout(PixelFormat a, PixelFormat b) {
  const auto planar_family = [](PixelFormat f) {
    return f.family == Family::kGrey ? Family::kGrey : Family::kYuv;
  };
  return planar_family(a) == planar_family(b) &&
         (a.family == Family::kGrey || (a.shift_w == b.shift_w && a.shift_h == b.shift_h));
}

// A colour tag the tool does not take, as far as it names a layout: a known
// tag (or 410) followed by a depth (p10; 10 after mono) or by alpha.
struct Described {
  PixelFormat format;
  bool alpha = false;
};

std::optional<Described> DescribeStem(std::string_view tag, std::string_view stem,
                                      PixelFormat format) {
  if (tag.substr(0, stem.size()) != stem) return std::nullopt;
  std::string_view rest = tag.substr(stem.size());
  if (rest == "alpha") return Described{format, true};
  if (!rest.empty() && rest[0] == 'p') rest.remove_prefix(1);
  uint64_t bits = 0;
  if (!ParseDecimal(rest, &bits) || bits < 9 || bits > 32) return std::nullopt;
  return Described{WithBits(format, int(bits))};
}

std::optional<Described> Describe(std::string_view tag) {
  for (const ToolFormat& row : kFormats) {
    for (const char* stem : row.y4m_tags) {
      if (!stem) break;
      if (auto d = DescribeStem(tag, stem, row.format)) return d;
    }
  }
  for (const NamedLayout& other : kOtherY4mLayouts) {
    if (tag == other.tag) return Described{other.format};
    if (auto d = DescribeStem(tag, other.tag, other.format)) return d;
  }
  return std::nullopt;
}

std::string DescriptionOf(const Described& d) {
  std::string text = LayoutName(d.format);
  if (d.format.bits != 8) text = std::to_string(d.format.bits) + "-bit " + text;
  if (d.alpha) text += " with alpha";
  return text;
}

// The row the filter deinterlaces with `format`'s layout and a raw name that
// keeps the most of its samples: the fewest bits that hold them all, else
// the most; the first such row.
const ToolFormat* PlanarRowLike(PixelFormat format) {
  const auto better = [&](int bits, int than) {
    const bool holds = bits >= format.bits, held = than >= format.bits;
    if (holds != held) return holds;
    return holds ? bits < than : bits > than;
  };
  const ToolFormat* best = nullptr;
  for (const ToolFormat& row : kFormats) {
    if (row.format.Planar() && row.raw_names[0] && SameLayout(row.format, format) &&
        (!best || better(row.format.bits, best->format.bits))) {
      best = &row;
    }
  }
  return best;
}

// The smallest multiple of a side that `format` fits, found with the
// core's own rule.
int32_t SideMultiple(PixelFormat format, bool width) {
  constexpr int32_t kAny = 64;  // a multiple of every subsampling's
  for (int32_t m = 1; m < kAny; ++m) {
    if (width ? format.Fits(m, kAny) : format.Fits(kAny, m)) return m;
  }
  return kAny;
}

std::string SideRule(int32_t multiple, const char* side) {
  if (multiple == 2) return std::string("an even ") + side;
  return std::string("a ") + side + " that is a multiple of " + std::to_string(multiple);
}

std::string CropSide(int32_t multiple, const char* side) {
  if (multiple == 1) return side;
  const std::string m = std::to_string(multiple);
  return m + "*trunc(" + side + "/" + m + ")";
}

// Another vertical chroma resolution: each field's chroma must be resampled
// on its own, or the two fields' colours mix.
Conversion FieldsApart() {
  const ToolFormat* row = PlanarRowLike(FindY4mFormat(std::nullopt)->format);
  return {std::string(" keeping the fields apart: ffmpeg ... -vf scale=interl=1,format=") +
              row->ffmpeg,
          row->raw_names[0]};
}

}  // namespace

const ToolFormat* FindY4mFormat(const std::optional<std::string>& colorspace) {
  const std::string_view tag = colorspace ? std::string_view(*colorspace) : kY4mDefaultTag;
  for (const ToolFormat& row : kFormats) {
    for (const char* known : row.y4m_tags) {
      if (known && tag == known) return &row;
    }
  }
  return nullptr;
}

std::optional<std::string> Y4mTagOf(PixelFormat format) {
  if (format == FindY4mFormat(std::nullopt)->format) return std::nullopt;
  for (const ToolFormat& row : kFormats) {
    if (row.y4m_tags[0] && row.format == format) return std::string(row.y4m_tags[0]);
  }
  return std::nullopt;
}

std::string Y4mTagRefusal(std::string_view tag) {
  const std::optional<Described> described = Describe(tag);
  const Conversion conversion = described ? ConversionFrom(described->format) : FieldsApart();
  return "colorspace C" + Printable(tag, 32) + " is not supported (" +
         (described ? DescriptionOf(*described) + "; " : "") + "the tool takes " +
         NameList(NameKind::kY4mTags, ", ", " or ") +
         "); convert it" + conversion.advice;
}

std::optional<RawType> FindRawType(std::string_view name) {
  std::string lower;
  for (const char c : name) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (const ToolFormat& row : kFormats) {
    for (const char* known : row.raw_names) {
      if (known && lower == known) return RawType{&row, known};
    }
  }
  return std::nullopt;
}

std::string NameList(NameKind kind, const char* separator, const char* last_separator) {
  // A name of a deep format is its layout's stem, its depth and a tail; the
  // names of one layout at several depths go as one: yuv420p{9,10,12}le.
  struct Listed {
    std::string name, head, depths, tail;
  };
  std::vector<Listed> names;
  const auto add = [&](const std::string& name, int bits) {
    for (const Listed& l : names) {
      if (l.name == name) return;
    }
    const std::string depth = std::to_string(bits);
    const size_t at = bits == 8 ? std::string::npos : name.rfind(depth);
    if (at == std::string::npos) return names.push_back({name, "", "", ""});
    const std::string head = name.substr(0, at), tail = name.substr(at + depth.size());
    if (!names.empty() && !names.back().depths.empty() && names.back().head == head &&
        names.back().tail == tail) {
      Listed& last = names.back();
      last.depths += "," + depth;
      last.name = head + "{" + last.depths + "}" + tail;
    } else {
      names.push_back({name, head, depth, tail});
    }
  };
  for (const ToolFormat& row : kFormats) {
    const bool planar = row.format.Planar();
    if (kind == NameKind::kY4mTags) {
      for (const char* tag : row.y4m_tags) {
        if (tag) add(std::string("C") + tag, row.format.bits);
      }
    } else if (kind == NameKind::kLayouts || kind == NameKind::kDeepLayouts) {
      if (planar && (kind == NameKind::kLayouts || row.format.bits > 8)) {
        add(LayoutName(row.format), 8);
      }
    } else if (kind == NameKind::kRawTypes || (kind == NameKind::kPlanarRawTypes) == planar) {
      for (const char* name : row.raw_names) {
        if (name) add(name, row.format.bits);
      }
    }
  }
  std::string list;
  for (size_t i = 0; i < names.size(); ++i) {
    list += (i == 0 ? "" : i + 1 == names.size() ? last_separator : separator) + names[i].name;
  }
  return list;
}

FrameFormat FileFrameFormat(PixelFormat format, int32_t width, int32_t height) {
  const FrameView shapes = PlaneShapes(format, width, height);
  FrameFormat f;
  f.width = width;
  f.height = height;
  f.plane_count = shapes.plane_count();
  for (int i = 0; i < f.plane_count; ++i) {
    const PlaneView& plane = shapes.planes[i];
    // At most 4 bytes * 32768 samples a row: fits in 32 bits.
    f.planes[i] = PlaneShape{int32_t(plane.row_bytes()), plane.height};
    f.frame_bytes += uint64_t(plane.row_bytes()) * uint64_t(plane.height);
  }
  return f;
}

std::string SizeRule(PixelFormat format) {
  const int32_t w = SideMultiple(format, true), h = SideMultiple(format, false);
  if (w == 2 && h == 2) return "an even width and height";
  if (w > 1 && h > 1) return SideRule(w, "width") + " and " + SideRule(h, "height");
  if (w > 1) return SideRule(w, "width");
  if (h > 1) return SideRule(h, "height");
  return "";
}

std::string CropToFit(PixelFormat format) {
  const int32_t w = SideMultiple(format, true), h = SideMultiple(format, false);
  if (w == 1 && h == 1) return "";
  return "crop=" + CropSide(w, "iw") + ":" + CropSide(h, "ih");
}

std::string SampleOrderRefusal(PixelFormat format) {
  if (kFilesSampleOrder || format.bits <= 8) return "";
  return std::to_string(format.bits) +
         "-bit samples are stored little-endian, and this build of the tool runs on a "
         "big-endian machine, where it does not swap them; convert the video to 8 bits" +
         ConversionFrom(WithBits(format, 8)).advice;
}

Conversion ConversionFrom(PixelFormat from) {
  if (const ToolFormat* row = PlanarRowLike(from)) {
    return {std::string(": ffmpeg ... -pix_fmt ") + row->ffmpeg, row->raw_names[0]};
  }
  return FieldsApart();
}

}  // namespace vantrel::cli
