// The hercules logo screen as corvina-cli prints it and as another 3270
// client shows it (s3270, its Ascii() action): the same text, row by row.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "../session/TestSupport.h"

using namespace corvina::test;

namespace {

std::vector<std::string> Lines(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

}  // namespace

TEST(HerculesScreen, CorvinaCliShowsWhatAnotherClientShows) {
  if (!HerculesHost::Installed() || ::access("/usr/bin/s3270", X_OK) != 0)
    GTEST_SKIP() << "hercules and s3270 are not both installed";
  const std::string dir = MakeTempDir();
  // Each client gets a host of its own: hercules keeps a device busy for a
  // while after its client left, and the screen names the device.
  std::vector<std::string> theirs;
  {
    HerculesHost host({"0010 3270"});
    ASSERT_TRUE(host.Ready()) << host.Log();
    ChildProcess s3270({"s3270", "-model", "3279-2"}, dir + "/s3270.out");
    s3270.Write("Connect(127.0.0.1:" + std::to_string(host.Port()) + ")\nWait(2,Seconds)\nAscii()\nQuit()\n");
    ASSERT_EQ(s3270.Wait(20000), 0);
    for (const std::string& line : Lines(dir + "/s3270.out"))
      if (line.rfind("data: ", 0) == 0) theirs.push_back(line.substr(6));
  }
  std::vector<std::string> ours;
  {
    HerculesHost host({"0010 3270"});
    ASSERT_TRUE(host.Ready()) << host.Log();
    // Its own settings and data folder: the test leaves the user's alone.
    ChildProcess cli({CORVINA_BINARY_DIR "/cli/corvina-cli", "-q", "--for", "2", "--settings", dir + "/Corvina.ini",
                      "--data-dir", dir, "127.0.0.1:" + std::to_string(host.Port())},
                     dir + "/cli.out");
    ASSERT_EQ(cli.Wait(20000), 0);
    ours = Lines(dir + "/cli.out");
  }
  std::system(("rm -rf '" + dir + "'").c_str());
  ASSERT_EQ(theirs.size(), 24u);
  EXPECT_NE(theirs[19].find("My PC thinks it's a MAINFRAME"), std::string::npos);
  EXPECT_EQ(ours, theirs);
}
