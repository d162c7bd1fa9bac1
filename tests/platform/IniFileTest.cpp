#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <utility>

#include "platform/IniFile.h"

using namespace corvina::platform;
namespace fs = std::filesystem;

namespace {

IniFile Parsed(std::string_view text) {
  IniFile ini;
  ini.SetText(text);
  return ini;
}

using Strings = std::vector<std::string>;

}  // namespace

TEST(IniFile, LookupsIgnoreCaseBlanksAndOneQuotePair) {
  IniFile ini = Parsed(
      "stray=before any section\n"
      "[ Configuration ]\n"
      "  DataPath\t=  /home/u/data  \n"
      "Quoted=\"  padded \"\n"
      "Single='x'\n"
      "Twice=\"\"two\"\"\n"
      "Mixed=\"a'\n"
      "; Comment=1\n"
      "NoEquals\n"
      "=orphan\n"
      "[Caf\xC9]\n"
      "K\xC9Y=latin\n"
      "[NoClose\n"
      "k=v\n");
  EXPECT_EQ(ini.GetString("configuration", "DATAPATH"), "/home/u/data");
  EXPECT_EQ(ini.GetString(" CONFIGURATION ", " datapath "), "/home/u/data");
  EXPECT_EQ(ini.GetString("Configuration", "Quoted"), "  padded ");
  EXPECT_EQ(ini.GetString("Configuration", "Single"), "x");
  EXPECT_EQ(ini.GetString("Configuration", "Twice"), "\"two\"");
  EXPECT_EQ(ini.GetString("Configuration", "Mixed"), "\"a'");
  EXPECT_FALSE(ini.Get("Configuration", "; Comment"));
  EXPECT_FALSE(ini.Get("Configuration", "NoEquals"));
  EXPECT_FALSE(ini.Get("Configuration", ""));
  EXPECT_FALSE(ini.Get("", "stray"));
  EXPECT_EQ(ini.GetString("caf\xE9", "k\xE9y"), "latin");  // Latin-1 letters fold too
  EXPECT_EQ(ini.GetString("noclose", "k"), "v");
  EXPECT_EQ(ini.GetString("Configuration", "Missing", "dflt"), "dflt");
  EXPECT_EQ(ini.Sections(), (Strings{"Configuration", "Caf\xC9", "NoClose"}));
  EXPECT_EQ(ini.Keys("CONFIGURATION"), (Strings{"DataPath", "Quoted", "Single", "Twice", "Mixed"}));
}

TEST(IniFile, FirstMatchWinsAcrossDuplicateKeysAndSections) {
  IniFile ini = Parsed(
      "[A]\nx=1\nX=2\n"
      "[B]\nx=9\n"
      "[a]\nx=3\ny=4\n");
  EXPECT_EQ(ini.GetString("A", "x"), "1");
  EXPECT_EQ(ini.GetString("A", "y"), "4");  // a repeated section is read as one
  EXPECT_EQ(ini.Sections(), (Strings{"A", "B"}));
  EXPECT_EQ(ini.Keys("a"), (Strings{"x", "y"}));
  using Pairs = std::vector<std::pair<std::string, std::string>>;
  EXPECT_EQ(ini.Entries("a"), (Pairs{{"x", "1"}, {"y", "4"}}));

  ini.SetString("a", "X", "10");
  ini.SetString("A", "y", "40");
  EXPECT_EQ(ini.Text(), "[A]\nx=10\nX=2\n[B]\nx=9\n[a]\nx=3\ny=40\n");

  // Deleting leaves no older copy behind to reappear.
  ini.DeleteKey("A", "X");
  EXPECT_FALSE(ini.Get("A", "x"));
  EXPECT_EQ(ini.GetString("B", "x"), "9");
  ini.DeleteSection("A");
  EXPECT_FALSE(ini.HasSection("a"));
  EXPECT_EQ(ini.Text(), "[B]\nx=9\n");
}

TEST(IniFile, RewriteKeepsCommentsLineEndsAndByteOrderMark) {
  const std::string text =
      "\xEF\xBB\xBF; settings\r\n"
      "[Window size]\r\n"
      "Rect = 0010 0020 0800 0600\r\n"
      "odd line\r\n"
      "\r\n"
      "; about 3270\r\n"
      "[3270]\r\n"
      "AttnKeyString=\xE9t\xE9\r\n"
      "; trailing comment\r\n"
      "\r\n";
  IniFile ini = Parsed(text);
  EXPECT_EQ(ini.Text(), text);
  EXPECT_EQ(ini.GetString("3270", "AttnKeyString"), "\xE9t\xE9");  // bytes, not UTF-8

  ini.SetString("window SIZE", "rect", "0001 0002 0003 0004");  // spelling and spacing kept
  ini.SetInt("Window size", "max", 1);                          // after the last key line
  ini.SetString("3270", "SysreqKeyString", "sr");
  ini.SetString("RecentMacrosList", "MacroCount", "0");  // new section at the end
  EXPECT_EQ(ini.Text(),
            "\xEF\xBB\xBF; settings\r\n"
            "[Window size]\r\n"
            "Rect = 0001 0002 0003 0004\r\n"
            "max=1\r\n"
            "odd line\r\n"
            "\r\n"
            "; about 3270\r\n"
            "[3270]\r\n"
            "AttnKeyString=\xE9t\xE9\r\n"
            "SysreqKeyString=sr\r\n"
            "; trailing comment\r\n"
            "\r\n"
            "[RecentMacrosList]\r\n"
            "MacroCount=0\r\n");

  ini.DeleteSection("window size");
  EXPECT_EQ(ini.Sections(), (Strings{"3270", "RecentMacrosList"}));
  EXPECT_TRUE(ini.Text().starts_with("\xEF\xBB\xBF; settings\r\n[3270]\r\n"));
}

TEST(IniFile, NewFileSeparatesSectionsWithABlankLine) {
  IniFile ini;
  ini.SetString("Configuration", "Preferences", "61");
  ini.SetString("Settings", "Port", "515");
  EXPECT_EQ(ini.Text(), "[Configuration]\nPreferences=61\n\n[Settings]\nPort=515\n");
  ini.SetText("no newline at end");
  EXPECT_EQ(ini.Text(), "no newline at end\n");
}

TEST(IniFile, ValuesReadBackAsWrittenAndNamesCannotInjectLines) {
  IniFile ini;
  for (std::string value :
       {"  lead", "trail\t", "\"quoted\"", "'single'", "", "a=b;c", "\"", " "}) {
    ini.SetString("S", "k", value);
    EXPECT_EQ(ini.GetString("S", "k", "missing"), value) << ini.Text();
  }
  ini.SetString("S", "k", "one\r\n[Evil]\nx=1");
  EXPECT_EQ(ini.GetString("S", "k"), "one  [Evil] x=1");
  EXPECT_FALSE(ini.HasSection("Evil"));

  const std::string before = ini.Text();
  ini.SetString("S", "a=b", "v");
  ini.SetString("S", ";k", "v");
  ini.SetString("S", "[k", "v");
  ini.SetString("S", "  ", "v");
  ini.SetString("S", "k\nx", "v");
  ini.SetString("S\n[T]", "k", "v");
  EXPECT_EQ(ini.Text(), before);

  ini.SetString("Queues\\Q]1", "Options", "192");  // section names may hold "]"
  EXPECT_EQ(ini.GetInt("queues\\q]1", "options", 0), 192);
}

TEST(IniFile, GetIntReadsLikeThePrivateProfileFunction) {
  IniFile ini = Parsed(
      "[N]\nempty=\nword=abc\nmixed=12abc\nplus=+7\nminus=-7\nsign=-\nquoted=\"42\"\n"
      "big=99999999999999999999999\nsmall=-99999999999999999999999\n"
      "min=-9223372036854775808\nmax=9223372036854775807\nspaced=- 5\n");
  const std::pair<const char*, long> cases[] = {
      {"missing", 9},    {"empty", 9},      {"word", 0},    {"mixed", 12},     {"plus", 7},
      {"minus", -7},     {"sign", 0},       {"quoted", 42}, {"big", LONG_MAX}, {"small", LONG_MIN},
      {"min", LONG_MIN}, {"max", LONG_MAX}, {"spaced", 0}};
  for (const auto& [key, expected] : cases) EXPECT_EQ(ini.GetInt("N", key, 9), expected) << key;
  ini.SetInt("N", "min", LONG_MIN);
  EXPECT_EQ(ini.GetString("N", "min"), "-9223372036854775808");
}

class IniFileOnDisk : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = ::testing::TempDir() + "inifile-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override { fs::remove_all(dir_); }

  static std::string Slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }
  static unsigned Mode(const fs::path& p) {
    struct stat st {};
    EXPECT_EQ(::stat(p.c_str(), &st), 0);
    return st.st_mode & 07777;
  }
  std::vector<std::string> Entries(const fs::path& folder) const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }

  fs::path dir_;
};

TEST_F(IniFileOnDisk, SaveCreatesPrivateFoldersAndFileAtomically) {
  fs::path file = dir_ / "Orvex" / "deeper" / "Corvina.ini";
  IniFile ini(file);
  std::string error;
  ASSERT_TRUE(ini.Load(&error)) << error;  // missing file: empty
  EXPECT_TRUE(ini.Sections().empty());
  ini.SetString("Configuration", "Preferences", "61");
  ASSERT_TRUE(ini.Save(&error)) << error;

  EXPECT_EQ(Mode(dir_ / "Orvex"), 0700u);
  EXPECT_EQ(Mode(dir_ / "Orvex" / "deeper"), 0700u);
  EXPECT_EQ(Mode(file), 0600u);
  EXPECT_EQ(Entries(file.parent_path()), (Strings{"Corvina.ini"}));  // no temporary left
  EXPECT_EQ(Slurp(file), ini.Text());

  IniFile again(file);
  ASSERT_TRUE(again.Load(&error)) << error;
  EXPECT_EQ(again.GetInt("configuration", "preferences", 0), 61);
}

TEST_F(IniFileOnDisk, SaveKeepsModeFollowsLinksAndRespectsReadOnly) {
  fs::path file = dir_ / "shared.ini";
  std::ofstream(file) << "[S]\nk=1\n";
  ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
  IniFile ini(file);
  std::string error;
  ASSERT_TRUE(ini.Load(&error)) << error;
  ini.SetInt("S", "k", 2);
  ASSERT_TRUE(ini.Save(&error)) << error;
  EXPECT_EQ(Mode(file), 0640u);

  fs::path link = dir_ / "link.ini";
  fs::create_symlink(file, link);
  ini.SetPath(link);
  ini.SetInt("S", "k", 3);
  ASSERT_TRUE(ini.Save(&error)) << error;
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(Slurp(file), "[S]\nk=3\n");

  ASSERT_EQ(::chmod(file.c_str(), 0444), 0);
  ini.SetInt("S", "k", 4);
  EXPECT_FALSE(ini.Save(&error));
  EXPECT_EQ(error, "Settings file \"" + link.string() + "\" is read-only");
  EXPECT_EQ(Slurp(file), "[S]\nk=3\n");
  EXPECT_EQ(Entries(dir_), (Strings{"link.ini", "shared.ini"}));
}

TEST_F(IniFileOnDisk, BadFilesFailClearlyAndKeepTheContents) {
  IniFile ini;
  std::string error;
  EXPECT_FALSE(ini.Load(&error));
  EXPECT_EQ(error, "No settings file name is set");
  EXPECT_FALSE(ini.Save(&error));

  ini.SetText("[Keep]\nk=v\n");
  fs::path big = dir_ / "big.ini";
  {
    std::ofstream out(big, std::ios::binary);
    out << "[S]\n";
    out << std::string(IniFile::kMaxFileSize, 'x');
  }
  ini.SetPath(big);
  EXPECT_FALSE(ini.Load(&error));
  EXPECT_EQ(error, "Settings file \"" + big.string() + "\" is larger than 16 MiB");
  EXPECT_EQ(ini.GetString("Keep", "k"), "v");

  ini.SetPath(dir_);
  EXPECT_FALSE(ini.Load(&error));
  EXPECT_EQ(error, "Settings file \"" + dir_.string() + "\" is not a regular file");
  EXPECT_FALSE(ini.Save(&error));

  fs::path fifo = dir_ / "fifo.ini";  // must not hang waiting for a writer
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  ini.SetPath(fifo);
  EXPECT_FALSE(ini.Load(&error));
  EXPECT_EQ(error, "Settings file \"" + fifo.string() + "\" is not a regular file");

  fs::path underFile = big / "x.ini";
  ini.SetPath(underFile);
  EXPECT_FALSE(ini.Load(&error));
  EXPECT_EQ(error, "Cannot read settings file \"" + underFile.string() + "\": Not a directory");
  EXPECT_FALSE(ini.Save(&error));
  EXPECT_EQ(error, "Cannot create folder \"" + big.string() + "\": Not a directory");
  EXPECT_EQ(ini.GetString("Keep", "k"), "v");
}
