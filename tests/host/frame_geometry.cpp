// Frame geometry from NewVideoFrame for every pixel type in both layouts.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "avisynth/environment.h"
#include "avisynth/frame_planes.h"
#include "avisynth/host_error.h"

namespace vantrel::host {
namespace {

struct TypeCase {
  const char* name;
  int pixel_type;
  int bytes_per_pixel;  // of the first plane; of every plane's samples when planar
  bool chroma;          // two chroma planes of width >> shift_w, height >> shift_h
  int shift_w, shift_h;
};
using VI = VideoInfo;
const TypeCase kTypes[] = {
    {"I420", VideoInfo::CS_I420, 1, true, 1, 1},    {"YV12", VideoInfo::CS_YV12, 1, true, 1, 1},
    {"YV16", VideoInfo::CS_YV16, 1, true, 1, 0},    {"YV24", VideoInfo::CS_YV24, 1, true, 0, 0},
    {"YV411", VideoInfo::CS_YV411, 1, true, 2, 0},  {"Y8", VideoInfo::CS_Y8, 1, false, 0, 0},
    {"YUY2", VideoInfo::CS_YUY2, 2, false, 0, 0},   {"RGB24", VideoInfo::CS_BGR24, 3, false, 0, 0},
    {"RGB32", VideoInfo::CS_BGR32, 4, false, 0, 0},
    {"YUV420P10", VI::CS_GENERIC_YUV420 | VI::CS_Sample_Bits_10, 2, true, 1, 1},
    {"YUV422P16", VI::CS_GENERIC_YUV422 | VI::CS_Sample_Bits_16, 2, true, 1, 0},
    {"YUV444P12", VI::CS_GENERIC_YUV444 | VI::CS_Sample_Bits_12, 2, true, 0, 0},
    {"Y14", VI::CS_GENERIC_Y | VI::CS_Sample_Bits_14, 2, false, 0, 0},
};

VideoInfo Format(int pixel_type, int width, int height) {
  VideoInfo vi{};
  vi.width = width;
  vi.height = height;
  vi.pixel_type = pixel_type;
  vi.num_frames = 1;
  return vi;
}

struct Span {
  int plane;
  long begin, end;  // byte range from the buffer's base, first to one past last byte
};

std::vector<Span> Spans(const VideoFrame& f) {
  std::vector<Span> spans;
  for (int plane : PlanesOf(f)) {
    const long begin = f.GetOffset(plane);
    spans.push_back(
        {plane, begin,
         begin + long{f.GetPitch(plane)} * (HeightOf(f, plane) - 1) + RowSizeOf(f, plane)});
  }
  return spans;
}

std::string Name(const TypeCase& t, FrameLayout layout, int align, int width, int height) {
  return std::string(t.name) + (layout == FrameLayout::kHostLike ? " host-like" : " contiguous") +
         " align " + std::to_string(align) + " " + std::to_string(width) + "x" +
         std::to_string(height);
}

TEST(HostFrameGeometry, PlanesFitTheirBufferAndHonourAlignment) {
  for (const TypeCase& t : kTypes) {
    for (FrameLayout layout : {FrameLayout::kContiguous, FrameLayout::kHostLike}) {
      for (int align : {1, 16, 64, 256}) {
        for (auto [w, h] : {std::pair{720, 576}, std::pair{4, 2}, std::pair{716, 570}}) {
          SCOPED_TRACE(Name(t, layout, align, w, h));
          Environment env(layout);
          PVideoFrame f = env.NewVideoFrame(Format(t.pixel_type, w, h), align);
          const auto base = reinterpret_cast<uintptr_t>(f->GetFrameBuffer()->GetReadPtr());
          EXPECT_EQ(base % static_cast<uintptr_t>(align), 0u);
          EXPECT_EQ(f->GetRowSize(), w * t.bytes_per_pixel);
          EXPECT_EQ(f->GetHeight(), h);
          EXPECT_EQ(RowSizeOf(*f, PLANAR_U), t.chroma ? (w >> t.shift_w) * t.bytes_per_pixel : 0);
          EXPECT_EQ(HeightOf(*f, PLANAR_V), t.chroma ? h >> t.shift_h : 0);

          std::vector<Span> spans = Spans(*f);
          ASSERT_EQ(spans.size(), t.chroma ? 3u : 1u);
          std::sort(spans.begin(), spans.end(),
                    [](const Span& a, const Span& b) { return a.begin < b.begin; });
          EXPECT_GE(spans.front().begin, 0);
          EXPECT_LE(spans.back().end, f->GetFrameBuffer()->GetDataSize());
          for (size_t i = 1; i < spans.size(); ++i) {
            EXPECT_LE(spans[i - 1].end, spans[i].begin) << "planes overlap";
          }
        }
      }
    }
  }
}

TEST(HostFrameGeometry, ContiguousFramesAreOneTightBlock) {
  for (const TypeCase& t : kTypes) {
    SCOPED_TRACE(t.name);
    Environment env(FrameLayout::kContiguous);
    const int w = 720, h = 576;
    PVideoFrame f = env.NewVideoFrame(Format(t.pixel_type, w, h));
    const int row = w * t.bytes_per_pixel;
    EXPECT_EQ(f->GetPitch(), row);
    EXPECT_EQ(f->GetOffset(), 0);
    if (!t.chroma) {
      EXPECT_EQ(f->GetPitch(PLANAR_U), 0);
      continue;
    }
    const int chroma_row = (w >> t.shift_w) * t.bytes_per_pixel, ch = h >> t.shift_h;
    EXPECT_EQ(f->GetPitch(PLANAR_U), chroma_row);
    EXPECT_EQ(f->GetPitch(PLANAR_V), chroma_row);
    // Every planar type stores V right behind luma but I420, which stores U there.
    const int first = row * h, second = first + chroma_row * ch;
    const bool v_first = t.pixel_type != VideoInfo::CS_I420;
    EXPECT_EQ(f->GetOffset(PLANAR_V), v_first ? first : second);
    EXPECT_EQ(f->GetOffset(PLANAR_U), v_first ? second : first);
    EXPECT_EQ(f->GetFrameBuffer()->GetDataSize(), first + 2 * chroma_row * ch);
  }
}

TEST(HostFrameGeometry, HostLikeFramesHavePaddedPitchesAndGapsBetweenPlanes) {
  for (const TypeCase& t : kTypes) {
    SCOPED_TRACE(t.name);
    Environment env(FrameLayout::kHostLike);
    PVideoFrame f = env.NewVideoFrame(Format(t.pixel_type, 128, 64));  // rows already x64
    EXPECT_GT(f->GetPitch(), f->GetRowSize());
    EXPECT_EQ(f->GetPitch() % 64, 0);
    EXPECT_GT(f->GetOffset(), 0);
    std::vector<Span> spans = Spans(*f);
    std::sort(spans.begin(), spans.end(),
              [](const Span& a, const Span& b) { return a.begin < b.begin; });
    for (size_t i = 0; i < spans.size(); ++i) {
      EXPECT_EQ(spans[i].begin % 64, 0);
      if (i > 0) {
        EXPECT_LT(spans[i - 1].end, spans[i].begin) << "planes adjacent";
      }
    }
    if (t.chroma) {
      EXPECT_GT(f->GetPitch(PLANAR_U), RowSizeOf(*f, PLANAR_U));
      EXPECT_EQ(f->GetOffset(PLANAR_V) < f->GetOffset(PLANAR_U),
                t.pixel_type != VideoInfo::CS_I420);
    }
    EXPECT_TRUE(OutsidePlanesIntact(*f));
  }
}

TEST(HostFrameGeometry, GuardCheckCatchesAWriteIntoPadding) {
  Environment env(FrameLayout::kHostLike);
  PVideoFrame f = env.NewVideoFrame(Format(VideoInfo::CS_I420, 64, 32));
  BYTE* luma = f->GetWritePtr();
  luma[f->GetRowSize() - 1] = 0;  // last byte of the row: inside
  EXPECT_TRUE(OutsidePlanesIntact(*f));
  luma[f->GetRowSize()] = 0;  // first byte of padding
  EXPECT_FALSE(OutsidePlanesIntact(*f));
}

TEST(HostFrameGeometry, UnusableFormatsAreRefusedWithTheReason) {
  Environment env;
  auto message = [&](const VideoInfo& vi, int align) {
    try {
      env.NewVideoFrame(vi, align);
    } catch (const HostError& e) {
      return std::string(e.what());
    }
    return std::string();
  };
  const struct {
    int pixel_type, width, height, align;
    const char* said;  // "": made
  } cases[] = {
      {VI::CS_YV12, 719, 576, 16,
       "YV12 frames need a width a multiple of 2 and a height a multiple of 2"},
      {VI::CS_YV411, 718, 576, 16, "a multiple of 4"},
      {VI::CS_GENERIC_YUV422 | VI::CS_Sample_Bits_10, 719, 576, 16,
       "YUV422P10 frames need a width a multiple of 2"},
      {VI::CS_I420, 720, 575, 16, "I420 frames need"},
      {VI::CS_YUY2, 721, 576, 16, "even width"},
      {VI::CS_BGR24, 0, 576, 16, "not positive"},
      {VI::CS_YUV | VI::CS_PLANAR | 64, 64, 64, 16, "unsupported pixel type 0xA0000040"},
      {VI::CS_BGR32, 100000, 100000, 16, "more than one frame"},
      {VI::CS_YV12, 64, 64, 24, "power of two"},
      {VI::CS_YV12, 64, 64, -32, ""},  // sign means "forced"
      {VI::CS_BGR24, 1, 1, 16, ""},    // odd is fine packed
  };
  for (const auto& c : cases) {
    const std::string said = message(Format(c.pixel_type, c.width, c.height), c.align);
    EXPECT_TRUE(*c.said ? said.find(c.said) != std::string::npos : said.empty()) << said;
  }
}

}  // namespace
}  // namespace vantrel::host
