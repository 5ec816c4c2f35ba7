// The loader's answers for libraries it cannot use.
#include "avisynth/plugin_loader.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "avisynth/environment.h"

namespace vantrel::host {
namespace {

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(HostPluginLoader, MissingFileSaysSo) {
  Environment env;
  const PluginLoad load = LoadPlugin(&env, "/nonexistent/dir/libvantrel.so");
  EXPECT_FALSE(load.ok);
  EXPECT_TRUE(Contains(load.error, "'/nonexistent/dir/libvantrel.so' does not exist"))
      << load.error;
  EXPECT_TRUE(env.Functions().empty());
}

TEST(HostPluginLoader, FileThatIsNoLibraryIsReportedAsSuch) {
  char path[] = "/tmp/vantrel_host_not_a_library_XXXXXX";
  const int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  const char text[] = "LoadPlugin(\"x\")\n";
  ASSERT_EQ(write(fd, text, sizeof text - 1), static_cast<ssize_t>(sizeof text - 1));
  close(fd);
  Environment env;
  const PluginLoad load = LoadPlugin(&env, path);
  unlink(path);
  EXPECT_FALSE(load.ok);
  EXPECT_TRUE(Contains(load.error, "could not be loaded as a shared library")) << load.error;
}

TEST(HostPluginLoader, DirectoryIsReportedAsSuch) {
  Environment env;
  const PluginLoad load = LoadPlugin(&env, "/tmp");
  EXPECT_FALSE(load.ok);
  EXPECT_TRUE(Contains(load.error, "is a directory")) << load.error;
}

TEST(HostPluginLoader, LibraryWithoutTheEntryIsReportedAsSuch) {
  Environment env;
  const PluginLoad load = LoadPlugin(&env, "libm.so.6");
  EXPECT_FALSE(load.ok);
  EXPECT_TRUE(Contains(load.error, "has no AvisynthPluginInit2 entry")) << load.error;
  EXPECT_TRUE(env.Functions().empty());
}

TEST(HostPluginLoader, EmptyPathAndMissingEnvironmentAreRefused) {
  Environment env;
  EXPECT_FALSE(LoadPlugin(&env, "").ok);
  EXPECT_FALSE(LoadPlugin(nullptr, "libm.so.6").ok);
}

}  // namespace
}  // namespace vantrel::host
