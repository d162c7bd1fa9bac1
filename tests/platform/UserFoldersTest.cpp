#include "platform/UserFolders.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

using namespace corvina::platform;

namespace {

std::string MakeTempDir() {
  std::string pattern = ::testing::TempDir() + "folders-XXXXXX";
  return ::mkdtemp(pattern.data()) ? pattern : std::string();
}

}  // namespace

TEST(RuntimeFolder, OnlyAPrivateFolderOfThisUser) {
  const std::string root = MakeTempDir();
  ASSERT_FALSE(root.empty());
  std::string cause;
  EXPECT_TRUE(PreparePrivateFolder(root + "/new", &cause)) << cause;
  struct stat st {};
  ASSERT_EQ(::stat((root + "/new").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);

  ::mkdir((root + "/open").c_str(), 0755);
  ::chmod((root + "/open").c_str(), 0755);
  EXPECT_FALSE(PreparePrivateFolder(root + "/open", &cause));
  EXPECT_EQ(cause, "other users may use it, mode 0755");
  ::symlink((root + "/new").c_str(), (root + "/link").c_str());
  EXPECT_FALSE(PreparePrivateFolder(root + "/link", &cause));
  EXPECT_EQ(cause, "it is a symbolic link");
  std::ofstream(root + "/file") << "x";
  EXPECT_FALSE(PreparePrivateFolder(root + "/file", &cause));
  EXPECT_EQ(cause, "it is not a folder");
  std::filesystem::remove_all(root);

  ::setenv("XDG_RUNTIME_DIR", "/run/user/1000", 1);
  EXPECT_EQ(RuntimeFolderPath(), "/run/user/1000/corvina/");
  ::setenv("XDG_RUNTIME_DIR", "relative", 1);
  EXPECT_EQ(RuntimeFolderPath(), "/tmp/corvina-" + std::to_string(::getuid()) + "/");
  ::setenv("CORVINA_RUNTIME_DIR", "/tmp/own", 1);
  EXPECT_EQ(RuntimeFolderPath(), "/tmp/own/");
  ::unsetenv("CORVINA_RUNTIME_DIR");
  ::unsetenv("XDG_RUNTIME_DIR");
}

TEST(TrustedFolder, NoOtherUserCanPutFilesThere) {
  const std::string root = MakeTempDir();
  ASSERT_FALSE(root.empty());
  std::string cause;
  // Readable by others, or shared with the group: the user's own choice.
  ::mkdir((root + "/shared").c_str(), 0775);
  ::chmod((root + "/shared").c_str(), 0775);
  EXPECT_TRUE(CheckTrustedFolder(root + "/shared", &cause)) << cause;
  ::symlink((root + "/shared").c_str(), (root + "/link").c_str());
  EXPECT_TRUE(CheckTrustedFolder(root + "/link", &cause)) << cause;

  ::mkdir((root + "/open").c_str(), 0777);
  ::chmod((root + "/open").c_str(), 01777);
  EXPECT_FALSE(CheckTrustedFolder(root + "/open", &cause));
  EXPECT_EQ(cause, "other users may write to it, mode 1777");
  std::ofstream(root + "/file") << "x";
  EXPECT_FALSE(CheckTrustedFolder(root + "/file", &cause));
  EXPECT_EQ(cause, "it is not a folder");
  EXPECT_FALSE(CheckTrustedFolder(root + "/missing", &cause));
  EXPECT_EQ(cause, "No such file or directory");
  if (::geteuid() == 0) {
    ASSERT_EQ(::chown((root + "/shared").c_str(), 65534, 65534), 0);
    EXPECT_FALSE(CheckTrustedFolder(root + "/shared", &cause));
    EXPECT_EQ(cause, "another user owns it");
  }
  std::filesystem::remove_all(root);
}
