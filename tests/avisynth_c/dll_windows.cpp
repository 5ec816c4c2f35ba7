// vantrel.dll as AviSynth+ loads it: called from this program, its entry
// points find the stand-in's functions among the program's exports as they
// find the host's among AviSynth.dll's; each loaded copy has its own regions.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>

#include "avisynth_c/stand_in.h"

namespace vantrel::avsc_test {
namespace {

TEST(AvsCDll, EntryPointsFindTheHostThatCallsThemAndCopiesKeepTheirOwnRegions) {
  std::vector<uint8_t> plain;
  for (const char* entry : {"avisynth_c_plugin_init2", "avisynth_c_plugin_init"}) {
    // A copy under a name of its own, so that Windows loads it apart.
    const auto copy = std::filesystem::temp_directory_path() /
                      (std::to_string(GetCurrentProcessId()) + entry + ".dll");
    std::filesystem::copy_file(VANTREL_AVS_C_DLL, copy,
                               std::filesystem::copy_options::overwrite_existing);
    const HMODULE dll = LoadLibraryW(copy.wstring().c_str());
    ASSERT_NE(dll, nullptr);
    const auto init =
        reinterpret_cast<AvsCPluginInit>(reinterpret_cast<void*>(GetProcAddress(dll, entry)));
    AVS_ScriptEnvironment env;
    ASSERT_STREQ(init(&env), "`Vantrel' Vantrel plugin");
    ASSERT_EQ(env.functions.size(), 3u);
    const AVS_Value src = ClipValue(SourceClip(AVS_CS_YV12, 64, 48));
    std::string error;
    const AVS_Value clip = Call(&env, "VantrelDeinterlace", {src}, &error);
    const std::vector<uint8_t> frame = FrameOf(clip, 1, &error), source = FrameOf(src, 1);
    ASSERT_EQ(error, "");
    EXPECT_NE(frame, source);
    if (plain.empty()) {
      plain = frame;
      // A sub region over the whole frame gives the source's luma back.
      const AVS_Value zero = avs_new_value_int(0);
      Call(&env, "VTDeinterlace_SubRegion",
           {zero, zero, avs_new_value_int(64), avs_new_value_int(48)}, &error);
      const std::vector<uint8_t> sub = FrameOf(clip, 1);
      EXPECT_TRUE(std::equal(sub.begin(), sub.begin() + 64 * 48, source.begin()));
    } else {
      EXPECT_EQ(frame, plain) << "the first copy's regions reached the second";
    }
    Free(clip);
    Free(src);
  }
}

}  // namespace
}  // namespace vantrel::avsc_test
