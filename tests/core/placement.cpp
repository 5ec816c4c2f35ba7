#include "core/placement.h"

#include <gtest/gtest.h>

#include <vector>

#include "core/params.h"

namespace vantrel {
namespace {

TEST(CorePlacement, PaddedPicturesAndTheirUpsideDownTwins) {
  // A 3 x 2 picture in a 5 x 4 plane with pitch 6: the sixth column is not
  // the plane's and must stay 9.
  constexpr int kPitch = 6, kWidth = 5, kHeight = 4;
  std::vector<uint8_t> plane(kPitch * kHeight, 9);
  const PlaneView view{plane.data(), kPitch, kWidth, kHeight, 1};
  const uint8_t picture[2][3] = {{1, 2, 3}, {4, 5, 6}};
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) view.Line(y)[x] = picture[y][x];
  FillPadding(view, 3, 2);
  // The last column, then the last line, repeated.
  const std::vector<uint8_t> padded = {1, 2, 3, 3, 3, 9, 4, 5, 6, 6, 6, 9,
                                       4, 5, 6, 6, 6, 9, 4, 5, 6, 6, 6, 9};
  EXPECT_EQ(plane, padded);
  // Keeping the top field, the filter sees the padded frame upside down.
  FrameView frame;
  frame.format = kGrey;
  frame.planes[0] = view;
  const PlaneView top = Placed(frame, Field::kTop).planes[0];
  EXPECT_EQ(top.Line(0)[0], 4);
  EXPECT_EQ(top.Line(3)[4], 3);
  EXPECT_EQ(Placed(frame, Field::kBottom).planes[0].Line(0)[0], 1);

  EXPECT_EQ(PadToMultiple(1080), 1088);
  EXPECT_EQ(PadToMultiple(1920), 1920);
}

}  // namespace
}  // namespace vantrel
