#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <optional>
#include <string>

#include "platform/AppProfile.h"

using namespace corvina::platform;

namespace {

// Sets the variables for one test and restores them afterwards.
class AppProfilePathTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"CORVINA_SETTINGS", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "HOME"}) {
      const char* v = std::getenv(name);
      saved_[name] = v ? std::optional<std::string>(v) : std::nullopt;
    }
  }
  void TearDown() override {
    SetAppProfilePathOverride({});
    for (const auto& [name, value] : saved_) {
      if (value)
        ::setenv(name.c_str(), value->c_str(), 1);
      else
        ::unsetenv(name.c_str());
    }
  }
  std::map<std::string, std::optional<std::string>> saved_;
};

}  // namespace

TEST_F(AppProfilePathTest, FirstSetSourceWins) {
  ::setenv("HOME", "/home/u/", 1);
  ::setenv("XDG_CONFIG_HOME", "/xdg", 1);
  ::setenv("CORVINA_SETTINGS", "/env/c.ini", 1);
  SetAppProfilePathOverride("/cmd/c.ini");
  EXPECT_EQ(AppProfilePath(), "/cmd/c.ini");
  SetAppProfilePathOverride({});
  EXPECT_EQ(AppProfilePath(), "/env/c.ini");
  ::setenv("CORVINA_SETTINGS", "", 1);
  EXPECT_EQ(AppProfilePath(), "/xdg/Orvex/Corvina.ini");
  ::setenv("XDG_CONFIG_HOME", "relative/xdg", 1);  // not absolute: ignored
  EXPECT_EQ(AppProfilePath(), "/home/u/.config/Orvex/Corvina.ini");
  ::unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(AppProfilePath(), "/home/u/.config/Orvex/Corvina.ini");
  ::unsetenv("HOME");  // the user database, when it knows this user
  std::string fromDatabase = AppProfilePath();
  EXPECT_TRUE(fromDatabase.empty() || fromDatabase.ends_with("/.config/Orvex/Corvina.ini"))
      << fromDatabase;
}

TEST_F(AppProfilePathTest, DataFolderFollowsXdgDataHome) {
  ::setenv("HOME", "/home/u", 1);
  ::setenv("XDG_DATA_HOME", "/xdg/data/", 1);
  EXPECT_EQ(DefaultDataFolder(), "/xdg/data/Orvex/Corvina/");
  ::setenv("XDG_DATA_HOME", "relative", 1);  // not absolute: ignored
  EXPECT_EQ(DefaultDataFolder(), "/home/u/.local/share/Orvex/Corvina/");
  ::unsetenv("XDG_DATA_HOME");
  EXPECT_EQ(DefaultDataFolder(), "/home/u/.local/share/Orvex/Corvina/");
}
