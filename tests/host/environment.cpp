// The environment's registry and calls by name.
#include "avisynth/environment.h"

#include <gtest/gtest.h>

#include "avisynth/host_error.h"

namespace vantrel::host {
namespace {

// Echoes its argument array back so tests can see what the apply received.
AVSValue Echo(AVSValue args, void* user_data, IScriptEnvironment*) {
  *static_cast<int*>(user_data) += 1;
  return args[1].Defined() ? args[1] : args[0];
}

AVSValue Fails(AVSValue, void*, IScriptEnvironment* env) {
  env->ThrowError("Fails: value %d out of range %s", 42, "[0, 10]");
  return AVSValue();  // not reached; the compiler cannot see through the virtual call
}

TEST(HostEnvironment, KeepsFunctionsInRegistrationOrderAndCallsTheLatest) {
  Environment env;
  int first_calls = 0, second_calls = 0;
  env.AddFunction("Echo", "i[b]i", Echo, &first_calls);
  env.AddFunction("Other", "", Echo, nullptr);
  env.AddFunction("Echo", "i[b]i", Echo, &second_calls);
  const auto functions = env.Functions();
  ASSERT_EQ(functions.size(), 3u);
  EXPECT_EQ(functions[1].name, "Other");
  EXPECT_EQ(functions[2].params, "i[b]i");
  EXPECT_EQ(functions[2].user_data, &second_calls);

  EXPECT_EQ(env.CallPositional("Echo", {5}).AsInt(0), 5);
  EXPECT_EQ(first_calls, 0);
  EXPECT_EQ(second_calls, 1);
}

TEST(HostEnvironment, UnknownFunctionListsTheKnownOnes) {
  Environment env;
  try {
    env.CallPositional("VantrelDeinterlace", {});
    ADD_FAILURE();
  } catch (const HostError& e) {
    EXPECT_NE(std::string(e.what()).find("load a plugin first"), std::string::npos);
  }
  int calls = 0;
  env.AddFunction("Echo", "i", Echo, &calls);
  try {
    env.CallPositional("Ech0", {1});
    ADD_FAILURE();
  } catch (const HostError& e) {
    EXPECT_NE(std::string(e.what()).find("(known: Echo)"), std::string::npos);
  }
}

TEST(HostEnvironment, ThrowErrorCarriesTheFormattedMessage) {
  Environment env;
  env.AddFunction("Fails", "", Fails, nullptr);
  try {
    env.CallPositional("Fails", {});
    ADD_FAILURE();
  } catch (const HostError& e) {
    EXPECT_STREQ(e.what(), "Fails: value 42 out of range [0, 10]");
  }
  EXPECT_THROW(env.GetVar("x"), HostError) << "a slot nothing uses says so";
}

}  // namespace
}  // namespace vantrel::host
