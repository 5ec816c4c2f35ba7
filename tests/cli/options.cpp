#include "cli/options.h"

#include <gtest/gtest.h>


namespace vantrel::cli {
namespace {

bool Parse(std::vector<const char*> args, Options* o, std::string* error) {
  args.insert(args.begin(), "vantrel");
  return ParseOptions(int(args.size()), args.data(), o, error);
}

TEST(CliOptions, NegativeNumbersAreValuesInBothForms) {
  Options o;
  std::string error;
  ASSERT_TRUE(Parse({"--mode", "-1", "--search-range=-5", "--pixel-threshold", "9",
                     "--no-output-reference", "in", "out"},
                    &o, &error))
      << error;
  EXPECT_EQ(o.filter.mode, -1);
  EXPECT_EQ(o.filter.search_range, -5);
  EXPECT_EQ(o.filter.pixel_threshold, 9);
  EXPECT_EQ(o.filter.comb_threshold, 48) << "the filter's default where none is given";
  EXPECT_FALSE(o.filter.use_output_reference);
  EXPECT_FALSE(o.filter.use_comb_mask);
  EXPECT_EQ(o.input, "in");
  EXPECT_EQ(o.output, "out");
}

TEST(CliOptions, RegionsKeepTheirOrderAndKind) {
  Options o;
  std::string error;
  ASSERT_TRUE(Parse({"--sub-region", "0,0,720,576", "--add-region=-4,10,200,-1", "-", "-"}, &o,
                    &error))
      << error;
  ASSERT_EQ(o.regions.size(), 2u);
  EXPECT_FALSE(o.regions[0].add);
  EXPECT_EQ(o.regions[0].x2, 720);
  EXPECT_TRUE(o.regions[1].add);
  EXPECT_EQ(o.regions[1].x1, -4);
  EXPECT_EQ(o.regions[1].y2, -1);
  EXPECT_EQ(o.input, "-");
}

TEST(CliOptions, BadValuesAreRefusedNamingTheOption) {
  struct Case {
    std::vector<const char*> args;
    const char* mentions;
  };
  const Case cases[] = {
      {{"--mode", "four", "a", "b"}, "--mode"},
      {{"--mode", "4x", "a", "b"}, "--mode"},
      {{"--comb-threshold", "99999999999", "a", "b"}, "--comb-threshold"},
      {{"--add-region", "1,2,3", "a", "b"}, "--add-region"},
      {{"--sub-region", "1,2,3,4,5", "a", "b"}, "--sub-region"},
      {{"--sub-region", "1,,3,4", "a", "b"}, "--sub-region"},
      {{"--threads", "-2", "a", "b"}, "--threads"},
      {{"--frames", "x", "a", "b"}, "--frames"},
      {{"--colour", "a", "b"}, "--colour"},
      {{"--mode"}, "--mode"},
      {{"--pad=1", "a", "b"}, "--pad"},
      {{"--raw", "720x576", "a", "b"}, "--pixel-type"},
      {{"--pixel-type", "yv12", "a", "b"}, "--raw"},
      {{"--keep", "odd", "a", "b"}, "top or bottom"},
      {{"--keep", "top", "--double-rate", "a", "b"}, "--keep"},
      {{"--field-order", "bff", "a", "b"}, "--double-rate"},
      {{"--raw", "721x576", "--pixel-type", "i420", "a", "b"}, "721x576"},
      {{"--raw", "7x", "--pixel-type", "yv12", "a", "b"}, "--raw"},
      {{"--map", "b", "a", "b"}, "--map b is also the OUTPUT"},
      {{"--map=", "a", "b"}, "--map needs a file"},
      {{"a"}, "OUTPUT"},
      {{"a", "b", "c"}, "'c'"},
  };
  for (const Case& c : cases) {
    Options o;
    std::string error;
    EXPECT_FALSE(Parse(c.args, &o, &error)) << c.mentions;
    EXPECT_NE(error.find(c.mentions), std::string::npos) << error;
  }
}

TEST(CliOptions, StrictIntegers) {
  int32_t v = 0;
  EXPECT_TRUE(ParseInt32("-2147483648", &v));
  EXPECT_EQ(v, INT32_MIN);
  EXPECT_FALSE(ParseInt32("2147483648", &v));
  EXPECT_FALSE(ParseInt32(" 5", &v));
  EXPECT_FALSE(ParseInt32("5 ", &v));
  EXPECT_FALSE(ParseInt32("", &v));
  EXPECT_FALSE(ParseInt32("0x10", &v));
}

}  // namespace
}  // namespace vantrel::cli
