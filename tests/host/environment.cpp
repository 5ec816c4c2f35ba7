// The environment's registry, calls by name and its plain slots.
#include "host/environment.h"

#include <gtest/gtest.h>

#include "host/host_error.h"

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
  EXPECT_TRUE(env.FunctionExists("Echo"));
  EXPECT_FALSE(env.FunctionExists("echo"));

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

TEST(HostEnvironment, InvokeTakesAnArrayWithOptionalNames) {
  Environment env;
  int calls = 0;
  env.AddFunction("Echo", "i[b]i", Echo, &calls);
  const AVSValue args[2] = {AVSValue(1), AVSValue(9)};
  const char* const names[2] = {nullptr, "b"};
  EXPECT_EQ(env.Invoke("Echo", AVSValue(args, 2), names).AsInt(0), 9);
  EXPECT_EQ(env.Invoke("Echo", AVSValue(3)).AsInt(0), 3);  // a lone value is one argument
  EXPECT_THROW(env.Invoke("Echo", AVSValue(true)), HostError);
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
}

TEST(HostEnvironment, SavedStringsOutliveTheirSource) {
  Environment env;
  char* saved;
  {
    std::string temporary = "transient text";
    saved = env.SaveString(temporary.c_str(), 9);
  }
  const char* formatted = env.Sprintf("%s-%03d", "frame", 7);
  for (int i = 0; i < 100; ++i) env.SaveString("filler");  // must not move earlier strings
  EXPECT_STREQ(saved, "transient");
  EXPECT_STREQ(formatted, "frame-007");
}

TEST(HostEnvironment, VariablesResolveLocalScopeFirst) {
  Environment env;
  env.SetGlobalVar("x", AVSValue(1));
  env.PushContext();
  env.SetVar("x", AVSValue(2));
  EXPECT_EQ(env.GetVar("x").AsInt(0), 2);
  env.PopContext();
  EXPECT_EQ(env.GetVar("x").AsInt(0), 1);
  EXPECT_THROW(env.GetVar("y"), HostError);
  EXPECT_THROW(env.PopContext(), HostError);
}

TEST(HostEnvironment, ShutdownCallbacksRunNewestFirst) {
  std::vector<int> order;
  auto record = [](void* data, IScriptEnvironment*) {
    auto* pair = static_cast<std::pair<std::vector<int>*, int>*>(data);
    pair->first->push_back(pair->second);
  };
  std::pair<std::vector<int>*, int> one{&order, 1}, two{&order, 2};
  {
    Environment env;
    env.AtExit(record, &one);
    env.AtExit(record, &two);
    EXPECT_TRUE(order.empty());
  }
  EXPECT_EQ(order, (std::vector<int>{2, 1}));
}

TEST(HostEnvironment, BitBltHonoursBothPitches) {
  Environment env;
  const BYTE src[] = {1, 2, 3, 0, 4, 5, 6, 0};
  BYTE dst[9] = {};
  env.BitBlt(dst, 3, src, 4, 3, 2);
  EXPECT_EQ(std::vector<BYTE>(dst, dst + 7), (std::vector<BYTE>{1, 2, 3, 4, 5, 6, 0}));
}

}  // namespace
}  // namespace vantrel::host
