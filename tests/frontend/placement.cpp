#include "frontend/placement.h"

#include <gtest/gtest.h>

#include <vector>

namespace vantrel::frontend {
namespace {

// A 3 x 2 picture in a 5 x 4 plane with pitch 6: the sixth column is not the
// plane's and must stay 9.
constexpr int kPitch = 6, kWidth = 5, kHeight = 4;
const std::vector<uint8_t> kPicture = {1, 2, 3, 4, 5, 6};

std::vector<uint8_t> Placed(Field keep) {
  std::vector<uint8_t> plane(kPitch * kHeight, 0);
  for (int y = 0; y < kHeight; ++y) plane[size_t(y * kPitch + kWidth)] = 9;
  const host::PlaneView view{plane.data(), kPitch, kWidth, kHeight};
  const PictureLines lines = PictureIn(view, keep);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) lines.data[y * lines.pitch + x] = kPicture[size_t(y * 3 + x)];
  FillPadding(view, 3, 2, keep);
  return plane;
}

TEST(FrontendPlacement, PaddedPicturesAndTheirUpsideDownTwins) {
  // The last column, then the last line, repeated.
  const std::vector<uint8_t> padded = {1, 2, 3, 3, 3, 9, 4, 5, 6, 6, 6, 9,
                                       4, 5, 6, 6, 6, 9, 4, 5, 6, 6, 6, 9};
  EXPECT_EQ(Placed(Field::kBottom), padded);
  // For the top field: the padded picture upside down, padding included.
  const std::vector<uint8_t> flipped = {4, 5, 6, 6, 6, 9, 4, 5, 6, 6, 6, 9,
                                        4, 5, 6, 6, 6, 9, 1, 2, 3, 3, 3, 9};
  std::vector<uint8_t> top = Placed(Field::kTop);
  EXPECT_EQ(top, flipped);
  // Reading the picture back through the same placement gives it unchanged.
  const host::ConstPlaneView top_view{top.data(), kPitch, kWidth, kHeight};
  const ConstPictureLines lines = PictureIn(top_view, Field::kTop);
  EXPECT_EQ(lines.data[lines.pitch + 2], 6);
  EXPECT_EQ(lines.data[0], 1);

  std::vector<uint8_t> copy(kPitch * kHeight, 9);
  CopyFlipped({padded.data(), kPitch, kWidth, kHeight}, {copy.data(), kPitch, kWidth, kHeight});
  EXPECT_EQ(copy, flipped);

  EXPECT_EQ(PadTo16(1080), 1088);
  EXPECT_EQ(PadTo16(1920), 1920);
}

}  // namespace
}  // namespace vantrel::frontend
