// The tool end to end: real clips made by ffmpeg and the built binary.
#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "core/deinterlacer.h"
#include "core/frame_map.h"
#include "tool_harness.h"
#include "woven_picture.h"

namespace vantrel {
namespace {

using test::ParseY4m;
using test::ReadFile;
using test::TempPath;
using test::Tool;

constexpr int W = 720, H = 576;
constexpr size_t kFrame = size_t(W) * H * 3 / 2;

const std::string& Clip() {
  static const std::string path = test::MakeClip("clip.y4m", W, H, 6);
  return path;
}

// ---- Every layout ----

// The layouts as the tool and ffmpeg name them.
struct Layout {
  PixelFormat format;
  const char* tag;      // YUV4MPEG2, after C
  const char* u_first;  // the raw name storing U before V
  const char* v_first;  // the raw name storing V before U (grey: its other name)
  const char* ffmpeg;
  const char* deep_tag;  // + the depth: FFmpeg's YUV4MPEG2 tag of a deeper format; null: none
};
const Layout kLayouts[] = {
    {kYuv420, "420jpeg", "i420", "yv12", "yuv420p", "420p"},
    {kYuv422, "422", "i422", "yv16", "yuv422p", "422p"},
    {kYuv444, "444", "i444", "yv24", "yuv444p", "444p"},
    {kYuv411, "411", "i411", "yv411", "yuv411p", nullptr},
    {kGrey, "mono", "y8", "gray", "gray", "mono"},
};

using PlaneOrder = std::array<int, 3>;
constexpr PlaneOrder kVFirst = {0, 2, 1}, kUFirst = {0, 1, 2};

// The planes of a frame stored Y, U, V in `bytes`, in the order given.
FrameView View(PixelFormat format, int w, int h, std::string& bytes, PlaneOrder order) {
  const FrameView file = BlockView(format, reinterpret_cast<uint8_t*>(bytes.data()), w, h);
  FrameView view = file;
  for (int i = 0; i < file.plane_count(); ++i) view.planes[i] = file.planes[order[i]];
  return view;
}

// What the core makes of a picture (default arguments), taking its planes in `order`.
std::string CoreOutput(PixelFormat format, std::string picture, PlaneOrder order) {
  std::string out(picture.size(), '\0');
  const RegionList no_regions{};
  EXPECT_EQ(Deinterlacer(RequestedParams{}).Process(View(format, 64, 48, picture, order),
                                                    View(format, 64, 48, out, order), no_regions),
            FrameResult::kDone);
  return out;
}

// Each layout at each depth, read as YUV4MPEG2 and as raw frames of either
// chroma order, gives the core's bytes for the filter's plane order: V
// first, but U for raw i420, which mirrors AviSynth's I420. (Read with a YV
// name, the file's second plane, here U, is taken for V.) FFmpeg's names of
// deeper formats store U first. The picture's first chroma lines decide a
// comb mark (woven_picture.h), so the plane given first shows.
TEST(CliTool, EveryLayoutAndDepthGivesTheCoresBytesVFirst) {
  const std::string in = TempPath("layout_in"), out = TempPath("layout_out");
  for (const Layout& l : kLayouts) {
    for (const int bits : {8, 9, 10, 12, 16}) {
      if (bits > 8 && !l.deep_tag) continue;
      const PixelFormat format = WithBits(l.format, bits);
      const std::string depth = std::to_string(bits);
      const std::string tag = bits == 8 ? l.tag : l.deep_tag + depth;
      SCOPED_TRACE(tag);
      const std::vector<uint8_t> face = test::FaceFrame(format, 64, 48);
      const std::string picture(face.begin(), face.end());
      const std::string v_first = CoreOutput(format, picture, kVFirst);
      const std::string u_first = CoreOutput(format, picture, kUFirst);
      // Else this test could not tell which plane the tool gives first.
      if (format.PlaneCount() == 3) { ASSERT_TRUE(u_first != v_first); }
      const std::string header = std::string("YUV4MPEG2 W64 H48 F25:1 ");
      test::WriteFile(in, header + "C" + tag + "\nFRAME\n" + picture);
      ASSERT_EQ(Tool(in + " " + out).exit_code, 0);
      EXPECT_TRUE(ReadFile(out) == header + "Ip C" + tag + "\nFRAME\n" + v_first);
      test::WriteFile(in, picture);
      const std::vector<std::string> names = bits == 8 ? std::vector<std::string>{l.u_first, l.v_first}
                                                       : std::vector<std::string>{l.ffmpeg + depth + "le"};
      for (const std::string& name : names) {
        ASSERT_EQ(Tool("--raw 64x48 --pixel-type " + name + " " + in + " " + out).exit_code, 0);
        const bool u_taken_first = name == l.v_first || name == "i420";
        EXPECT_TRUE(ReadFile(out) == (u_taken_first ? u_first : v_first)) << name;
      }
    }
  }
}

TEST(CliTool, FfmpegReadsTheResultBackAsProgressive) {
  const std::string out = TempPath("out.y4m");
  const test::Run run = Tool("--quiet " + Clip() + " " + out);
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.err, "");
  const test::Y4m y = ParseY4m(ReadFile(out), kFrame);
  EXPECT_NE(y.header.find(" Ip"), std::string::npos) << y.header;
  EXPECT_NE(y.header.find("F25:1"), std::string::npos) << y.header;
  const test::Run probe = test::Shell(
      "ffprobe -v error -count_frames -show_entries stream=width,height,r_frame_rate,"
      "nb_read_frames,field_order -of csv=p=0 " + out + " > " + TempPath("probe.txt"));
  ASSERT_EQ(probe.exit_code, 0) << probe.err;
  EXPECT_EQ(ReadFile(TempPath("probe.txt")), "720,576,progressive,25/1,6\n");
}

TEST(CliTool, EveryModeKeepsTheOddLinesAndModeZeroEverything) {
  const test::Y4m in = ParseY4m(ReadFile(Clip()), kFrame);
  ASSERT_EQ(in.frames.size(), 6u);
  for (int mode = 0; mode <= 4; ++mode) {
    const std::string out = TempPath("mode.y4m");
    ASSERT_EQ(Tool("--keep bottom --mode " + std::to_string(mode) + " " + Clip() + " " + out).exit_code, 0);
    const test::Y4m y = ParseY4m(ReadFile(out), kFrame);
    ASSERT_EQ(y.frames.size(), in.frames.size());
    bool changed = false;
    for (size_t f = 0; f < y.frames.size(); ++f) {
      for (int line = 1; line < H; line += 2)
        ASSERT_EQ(y.frames[f].compare(size_t(line) * W, W, in.frames[f], size_t(line) * W, W), 0)
            << "mode " << mode << " frame " << f << " line " << line;
      changed |= y.frames[f] != in.frames[f];
    }
    EXPECT_EQ(changed, mode != 0) << "mode " << mode;
  }
}

TEST(CliTool, ThreadCountsGiveIdenticalBytes) {
  std::string first;
  for (int threads : {1, 2, 3}) {
    const std::string out = TempPath("threads.y4m");
    ASSERT_EQ(Tool("--threads " + std::to_string(threads) + " " + Clip() + " " + out).exit_code, 0);
    const std::string bytes = ReadFile(out);
    if (first.empty()) first = bytes;
    EXPECT_EQ(bytes, first) << threads << " threads";
  }
  // Standard input and output work like files.
  const test::Run piped = test::Shell("cat " + Clip() + " | " VANTREL_TOOL_PATH " - - > " +
                                      TempPath("piped.y4m"));
  ASSERT_EQ(piped.exit_code, 0) << piped.err;
  EXPECT_EQ(ReadFile(TempPath("piped.y4m")), first);
}

TEST(CliTool, RegionsChangeExactlyTheirRectangle) {
  const std::string plain = TempPath("plain.y4m"), regions = TempPath("regions.y4m");
  ASSERT_EQ(Tool("--mode 2 " + Clip() + " " + plain).exit_code, 0);
  const test::Run run =
      Tool("--mode 2 --sub-region 100,50,300,250 --add-region 150,100,200,150 " + Clip() + " " +
           regions);
  ASSERT_EQ(run.exit_code, 0) << run.err;
  const test::Y4m in = ParseY4m(ReadFile(Clip()), kFrame);
  const test::Y4m a = ParseY4m(ReadFile(plain), kFrame), b = ParseY4m(ReadFile(regions), kFrame);
  ASSERT_EQ(b.frames.size(), in.frames.size());
  for (size_t f = 0; f < b.frames.size(); ++f)
    for (int y = 0; y < H; ++y)
      for (int x = 0; x < W; ++x) {
        const size_t i = size_t(y) * W + x;
        const bool sub = x >= 100 && x < 300 && y >= 50 && y < 250;
        const bool add = x >= 150 && x < 200 && y >= 100 && y < 150;
        ASSERT_EQ(b.frames[f][i], (sub && !add ? in : a).frames[f][i]) << x << "," << y;
      }
  EXPECT_EQ(b.frames[0].substr(size_t(W) * H), a.frames[0].substr(size_t(W) * H)) << "chroma";
}

const std::string& Clip1080() {
  static const std::string path = test::MakeClip("1080.y4m", 1920, 1080, 2);
  return path;
}

// Frames the filter would only draw its notice on used to be written with
// exit 0: refused before any frame, unless the notices are asked for.
TEST(CliTool, FramesTheFilterWouldNotDeinterlaceAreRefusedUnlessNoticesAreAsked) {
  const std::string yuy2 = TempPath("yuy2.raw");
  test::WriteFile(yuy2, std::string(size_t(64) * 2 * 48 * 2, '\x80'));
  struct Case {
    std::string args, input;
    std::vector<std::string> said;
  };
  const Case cases[] = {
      {"--no-pad", Clip1080(), {"1920x1080", "--show-notices"}},
      {"--raw 64x48 --pixel-type yuy2", yuy2, {"yuy2", "-pix_fmt yuv422p, and give --pixel-type i422"}},
      {"--raw 32x48 --pixel-type rgb32", yuy2, {"rgb32", "-pix_fmt yuv444p, and give --pixel-type i444"}},
  };
  for (const Case& c : cases) {
    const std::string out = TempPath("notice_out");
    std::remove(out.c_str());
    const test::Run refused = Tool(c.args + " " + c.input + " " + out);
    EXPECT_EQ(refused.exit_code, 2) << c.args;
    for (const std::string& s : c.said) {
      EXPECT_NE(refused.err.find(s), std::string::npos) << refused.err;
    }
    EXPECT_EQ(ReadFile(out), "") << c.args;
    const test::Run run = Tool("--show-notices " + c.args + " " + c.input + " " + out);
    ASSERT_EQ(run.exit_code, 0) << c.args << ": " << run.err;
    const std::string in = ReadFile(c.input), noticed = ReadFile(out);
    EXPECT_EQ(noticed.size(), in.size()) << c.args;
    EXPECT_NE(noticed, in) << c.args << ": no notice drawn";
  }
}

// A frame read into memory upside down, plane by plane: lines i and h-1-i swap.
std::string Flipped(const std::string& frame, int w, int h) {
  std::string out;
  size_t offset = 0;
  for (const auto& [pw, ph] : {std::pair{w, h}, std::pair{w / 2, h / 2}, std::pair{w / 2, h / 2}}) {
    for (int y = ph - 1; y >= 0; --y) out += frame.substr(offset + size_t(y) * pw, size_t(pw));
    offset += size_t(pw) * ph;
  }
  return out;
}

TEST(CliTool, KeepingTheTopFieldDeinterlacesThePictureUpsideDown) {
  const std::string top = TempPath("top.y4m");
  const test::Run run = Tool("--keep top " + Clip() + " " + top);
  ASSERT_EQ(run.exit_code, 0) << run.err;
  const test::Y4m in = ParseY4m(ReadFile(Clip()), kFrame), t = ParseY4m(ReadFile(top), kFrame);
  ASSERT_EQ(t.frames.size(), in.frames.size());
  std::string flipped_in;
  for (const std::string& f : in.frames) flipped_in += "FRAME\n" + Flipped(f, W, H);
  test::WriteFile(TempPath("flipped.y4m"), in.header + "\n" + flipped_in);
  ASSERT_EQ(Tool("--keep bottom " + TempPath("flipped.y4m") + " " + TempPath("flipped_out.y4m")).exit_code,
            0);
  const test::Y4m back = ParseY4m(ReadFile(TempPath("flipped_out.y4m")), kFrame);
  ASSERT_EQ(back.frames.size(), t.frames.size());
  for (size_t f = 0; f < t.frames.size(); ++f) {
    EXPECT_EQ(t.frames[f], Flipped(back.frames[f], W, H)) << "frame " << f;
    // The even lines of every plane are the input's (chroma lines follow the luma's fields).
    for (size_t offset : {size_t(0), size_t(W) * H, size_t(W) * H * 5 / 4}) {
      const int pw = offset ? W / 2 : W, ph = offset ? H / 2 : H;
      for (int y = 0; y < ph; y += 2)
        ASSERT_EQ(t.frames[f].compare(offset + size_t(y) * pw, pw, in.frames[f],
                                      offset + size_t(y) * pw, pw), 0) << f << " line " << y;
    }
  }
}

constexpr char kRegions[] = "--sub-region 10,4,60,30 --add-region 20,8,40,20";

// The map of a mode 2 frame with kRegions that keeps the lines of parity
// `kept`: the other field's luma marked but where the source is restored,
// the source dimmed elsewhere; in each chroma plane its own colour where a
// marked sample is covered, else grey.
void ExpectMode2Map(PixelFormat format, int w, int h, std::string map, std::string source,
                    int kept) {
  const FrameView m = View(format, w, h, map, kUFirst), in = View(format, w, h, source, kUFirst);
  const auto marked = [&](int x, int y) {
    return y % 2 != kept && !(x >= 10 && x < 60 && y >= 4 && y < 30 &&
                              !(x >= 20 && x < 40 && y >= 8 && y < 20));
  };
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      ASSERT_EQ(m.planes[0].Line(y)[x], marked(x, y) ? kRebuiltColour.y
                                                     : DimmedLuma(in.planes[0].Line(y)[x]));
      // The chroma sample covering (x, y): coloured once a marked sample is seen.
      for (int p = 1; p < m.plane_count(); ++p) {
        const uint8_t c = m.planes[p].Line(y >> format.shift_h)[x >> format.shift_w];
        const uint8_t colour = p == 1 ? kRebuiltColour.u : kRebuiltColour.v;
        ASSERT_TRUE(c == colour || (c == 128 && !marked(x, y))) << x << "," << y;
      }
    }
}

// 8-bit samples times 2^shift in 16 bits, little-endian (up), or the top 8
// bits of such samples (down).
std::string Scaled(const std::string& f, int shift, bool up) {
  if (shift == 0) return f;
  std::string s;
  for (size_t i = 0; i < f.size(); i += up ? 1 : 2) {
    uint16_t v = uint16_t(uint8_t(f[i]) << shift);
    if (!up) std::memcpy(&v, &f[i], 2);
    if (up) s.append(reinterpret_cast<const char*>(&v), 2);
    else s += char(v >> shift);
  }
  return s;
}

// Per layout, a 120 x 60 clip (sizes not multiples of 16 used to come out as
// the filter's notice, with exit 0): padded to 128 x 64, it gives a frame
// padded here, deinterlaced whole and cropped. In mode 2 with regions, both
// fields come at twice the rate in the stream's field order (or the one
// given), with any threads, and the map marks the rebuilt field, upright.
// Its samples times 2^s give the same frames and map in their top bits,
// with both fields, regions, threads and padding.
TEST(CliTool, EveryLayoutIsPaddedDoubledMappedAndDeepened) {
  const int w = 120, h = 60, pw = 128, ph = 64;
  const std::string out = TempPath("layout_out.y4m"), map = TempPath("layout_map.y4m");
  for (const Layout& l : kLayouts) {
    SCOPED_TRACE(l.ffmpeg);
    const size_t frame = BlockBytes(l.format, w, h);
    const std::string clip =
        test::MakeClip(std::string("120_") + l.ffmpeg + ".y4m", w, h, 3, l.ffmpeg);
    const test::Y4m in = ParseY4m(ReadFile(clip), frame);
    ASSERT_EQ(in.frames.size(), 3u);
    const auto run = [&](const std::string& args, const std::string& input, size_t bytes) {
      const test::Run r = Tool(args + " " + input + " " + out);
      EXPECT_EQ(r.exit_code, 0) << args << ": " << r.err;
      EXPECT_EQ(r.err, "") << args;
      return ParseY4m(ReadFile(out), bytes);
    };
    // Padded here, independently of the tool: the last column and line repeated.
    std::string padded = "YUV4MPEG2 W128 H64 F25:1 C" + std::string(l.tag) + "\n";
    for (std::string f : in.frames) {
      std::string big(BlockBytes(l.format, pw, ph), '\0');
      const FrameView from = View(l.format, w, h, f, kUFirst);
      const FrameView to = View(l.format, pw, ph, big, kUFirst);
      for (int p = 0; p < from.plane_count(); ++p) {
        const PlaneView &a = from.planes[p], &b = to.planes[p];
        for (int y = 0; y < b.height; ++y)
          for (int x = 0; x < b.width; ++x)
            b.Line(y)[x] = a.Line(std::min(y, a.height - 1))[std::min(x, a.width - 1)];
      }
      padded += "FRAME\n" + big;
    }
    test::WriteFile(TempPath("padded.y4m"), padded);
    const test::Y4m whole =
        run("--keep bottom", TempPath("padded.y4m"), BlockBytes(l.format, pw, ph));
    const test::Y4m cropped = run("--keep bottom", clip, frame);  // padded unless --no-pad
    ASSERT_EQ(whole.frames.size(), 3u);
    ASSERT_EQ(cropped.frames.size(), 3u);
    for (size_t f = 0; f < 3; ++f) {
      std::string big = whole.frames[f], want = in.frames[f];
      CopyFrame(Cropped(View(l.format, pw, ph, big, kUFirst), w, h),
                View(l.format, w, h, want, kUFirst));
      EXPECT_TRUE(cropped.frames[f] == want) << "padded frame " << f;
    }

    const std::string mode2 = std::string("--mode 2 ") + kRegions + " ";
    const test::Y4m bottom = run(mode2 + "--keep bottom", clip, frame);
    const test::Y4m top = run(mode2 + "--keep top", clip, frame);
    const test::Y4m tff = run(mode2 + "--double-rate --threads 3 --map " + map, clip, frame);
    const test::Y4m m = ParseY4m(ReadFile(map), frame);
    EXPECT_NE(tff.header.find(" F50:1 Ip"), std::string::npos) << tff.header;
    EXPECT_NE(tff.header.find(std::string(" C") + l.tag + " "), std::string::npos) << tff.header;
    EXPECT_TRUE(run(mode2 + "--double-rate --threads 1", clip, frame).frames == tff.frames);
    const test::Y4m bff = run(mode2 + "--double-rate --field-order bff", clip, frame);
    ASSERT_EQ(bottom.frames.size(), 3u);
    ASSERT_EQ(tff.frames.size(), 6u);
    ASSERT_EQ(bff.frames.size(), 6u);
    for (size_t n = 0; n < 3; ++n) {
      EXPECT_TRUE(tff.frames[2 * n] == top.frames[n]) << n;
      EXPECT_TRUE(tff.frames[2 * n + 1] == bottom.frames[n]) << n;
      EXPECT_TRUE(bff.frames[2 * n] == bottom.frames[n]) << n;
      EXPECT_TRUE(bff.frames[2 * n + 1] == top.frames[n]) << n;
    }
    EXPECT_TRUE(top.frames[0] != bottom.frames[0]);
    EXPECT_EQ(m.header, tff.header);
    ASSERT_EQ(m.frames.size(), 6u);
    for (size_t f = 0; f < 6; ++f) {
      SCOPED_TRACE("map frame " + std::to_string(f));
      ExpectMode2Map(l.format, w, h, m.frames[f], in.frames[f / 2], int(f % 2));
    }

    if (!l.deep_tag) continue;
    std::string eight;  // output and map frames, in the default mode
    for (const int bits : {8, 10, 16}) {
      std::string stream = in.header + "\n";
      const std::string tag = std::string(" C") + l.tag, deep = l.deep_tag + std::to_string(bits);
      if (bits > 8) stream.replace(stream.find(tag), tag.size(), " C" + deep);
      for (const std::string& f : in.frames) stream += "FRAME\n" + Scaled(f, bits - 8, true);
      test::WriteFile(TempPath("deep.y4m"), stream);
      const size_t bytes = frame << (bits > 8);
      const std::string args = std::string("--double-rate --threads 2 ") + kRegions;
      const test::Y4m o = run(args + " --map " + map, TempPath("deep.y4m"), bytes);
      std::string got;
      for (const test::Y4m& y : {o, ParseY4m(ReadFile(map), bytes)})
        for (const std::string& f : y.frames) got += Scaled(f, bits - 8, false);
      if (bits == 8) eight = got;
      EXPECT_EQ(got.size(), 12 * frame) << bits;
      EXPECT_TRUE(got == eight) << bits;
    }
  }
}

// The clip with another interlacing tag ("" for none) and, when given, a
// parameter string after each FRAME.
std::string Retagged(const test::Y4m& clip, const std::string& tag,
                     const std::vector<std::string>& markers = {}) {
  std::string header = clip.header;
  header.replace(header.find(" It"), 3, tag.empty() ? "" : " " + tag);
  std::string s = header + "\n";
  for (size_t f = 0; f < clip.frames.size(); ++f) {
    s += "FRAME" + (markers.empty() ? "" : " " + markers[f]) + "\n" + clip.frames[f];
  }
  return s;
}

TEST(CliTool, TheStreamsFieldOrderChoosesTheFieldKept) {
  const int w = 64, h = 48;
  const size_t frame = size_t(w) * h * 3 / 2;
  const test::Y4m in = ParseY4m(ReadFile(test::MakeClip("tags.y4m", w, h, 4)), frame);
  auto run = [&](const std::string& args, const std::string& stream) {
    test::WriteFile(TempPath("tagged.y4m"), stream);
    const std::string out = TempPath("tagged_out.y4m");
    const test::Run r = Tool("--quiet " + args + " " + TempPath("tagged.y4m") + " " + out);
    EXPECT_EQ(r.exit_code, 0) << args << ": " << r.err;
    return ParseY4m(ReadFile(out), frame).frames;
  };
  const auto top = run("--keep top", Retagged(in, "It"));
  const auto bottom = run("--keep bottom", Retagged(in, "It"));
  ASSERT_EQ(top.size(), 4u);
  ASSERT_NE(top[0], bottom[0]);
  EXPECT_EQ(run("", Retagged(in, "It")), top);
  for (const char* tag : {"Ib", "Ip", ""}) EXPECT_EQ(run("", Retagged(in, tag)), bottom) << tag;
  // Top first, bottom first, progressive (passed as it is), an order not given.
  const std::string mixed = Retagged(in, "Im", {"Iti", "Ibi", "Itp", "I??"});
  using Frames = std::vector<std::string>;
  EXPECT_EQ(run("", mixed), (Frames{top[0], bottom[1], in.frames[2], bottom[3]}));
  EXPECT_EQ(run("--keep top", mixed)[1], top[1]) << "--keep still forces";
  EXPECT_EQ(run("--double-rate", mixed), (Frames{top[0], bottom[0], bottom[1], top[1], in.frames[2],
                                                 in.frames[2], top[3], bottom[3]}));
}

// --map: a map frame for every output frame, the picture upright whichever
// field is kept; every luma sample the filter changed is marked, and only
// samples of the field it rebuilt; mode 0 marks nothing and only mode 4
// repairs blocks. With or without it the output is the same.
TEST(CliTool, TheMapMarksWhatTheFilterChanged) {
  const test::Y4m in = ParseY4m(ReadFile(Clip()), kFrame);
  struct Case {
    std::string args;
    int kept_parity;  // of the first output frame; -1: nothing may be marked
  };
  const Case cases[] = {
      {"--mode 0", -1},
      {"--mode 3 --keep bottom", 1},
      {"--keep bottom", 1},
      {"--keep top --sub-region 0,0,360,288 --add-region 100,100,200,200", 0},
      {"--double-rate --frames 2", 0},
  };
  for (const Case& c : cases) {
    const std::string out = TempPath("map_out.y4m"), map = TempPath("map.y4m");
    const test::Run run = Tool(c.args + " --map " + map + " " + Clip() + " " + out);
    ASSERT_EQ(run.exit_code, 0) << c.args << ": " << run.err;
    ASSERT_EQ(Tool(c.args + " " + Clip() + " " + TempPath("plain_out.y4m")).exit_code, 0);
    EXPECT_EQ(ReadFile(out), ReadFile(TempPath("plain_out.y4m"))) << c.args;
    const test::Y4m o = ParseY4m(ReadFile(out), kFrame), m = ParseY4m(ReadFile(map), kFrame);
    EXPECT_EQ(m.header, o.header);
    ASSERT_EQ(m.frames.size(), o.frames.size()) << c.args;
    const size_t per = c.args.find("--double-rate") == std::string::npos ? 1 : 2;
    const bool regions = c.args.find("--sub-region") != std::string::npos;
    size_t marked = 0, repaired = 0;
    for (size_t f = 0; f < m.frames.size(); ++f) {
      const std::string& source = in.frames[f / per];
      const int kept = c.kept_parity < 0 ? -1 : (c.kept_parity + int(f % per)) % 2;
      for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
          const size_t i = size_t(y) * W + x;
          const uint8_t v = uint8_t(m.frames[f][i]), s = uint8_t(source[i]);
          const bool mark = v > DimmedLuma(255);
          const bool restored =
              regions && x < 360 && y < 288 && !(x >= 100 && x < 200 && y >= 100 && y < 200);
          // Marked: a sample of the rebuilt field the regions did not restore;
          // else the source dimmed, where the filter changed nothing.
          ASSERT_TRUE(mark ? kept >= 0 && y % 2 != kept && !restored
                           : v == DimmedLuma(s) && o.frames[f][i] == source[i])
              << c.args << " " << x << "," << y;
          marked += mark;
          repaired += v == kRepairedColour.y;
        }
    }
    EXPECT_EQ(marked > 0, c.kept_parity >= 0) << c.args;
    EXPECT_EQ(repaired > 0, c.args.find("--mode") == std::string::npos) << c.args;
  }
  // Black and white lines in turn: combed throughout, framed in red.
  const std::string lines = TempPath("lines.y4m"), map = TempPath("lines_map.y4m");
  std::string bytes = "YUV4MPEG2 W64 H48\nFRAME\n";
  for (int y = 0; y < 48; ++y) bytes += std::string(64, y % 2 ? '\xff' : '\0');
  test::WriteFile(lines, bytes + std::string(64 * 48 / 2, '\x80'));
  ASSERT_EQ(Tool("--map " + map + " " + lines + " " + TempPath("lines_out.y4m")).exit_code, 0);
  const test::Y4m n = ParseY4m(ReadFile(map), 64 * 48 * 3 / 2);
  ASSERT_EQ(n.frames.size(), 1u);
  EXPECT_EQ(uint8_t(n.frames[0][0]), kCombedColour.y);
  EXPECT_EQ(uint8_t(n.frames[0][64 * 48]), kCombedColour.u);
}

}  // namespace
}  // namespace vantrel
