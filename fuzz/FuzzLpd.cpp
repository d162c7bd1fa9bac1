// LPD client data: the connection state machine fed in pieces (command
// lines, subcommands, file bytes, the peer closing), then the control-file
// parser on the same bytes. The spool is a private temporary folder; after
// each input nothing may exist outside it, and every job it left must be
// one the queue knows.
#include <dirent.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "lpd/LpdFormat.h"
#include "lpd/LpdServer.h"

using namespace corvina;
using namespace corvina::lpd;

namespace {

std::string Root() {
  static std::string root = [] {
    char pattern[] = "/tmp/fuzz-lpd-XXXXXX";
    const char* made = ::mkdtemp(pattern);
    if (!made) std::abort();
    return std::string(made) + "/";
  }();
  return root;
}

void Empty(const std::string& folder) {
  if (DIR* dir = ::opendir(folder.c_str())) {
    while (dirent* e = ::readdir(dir))
      if (e->d_name[0] != '.') ::unlink((folder + e->d_name).c_str());
    ::closedir(dir);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::string root = Root();
  platform::IniFile ini;  // in memory
  ini.SetString("Settings", "MaxJobSize", "65536");
  {
    CPrintQueues queues(ini, root, nullptr, nullptr);
    std::string error;
    QueueSettings settings;
    settings.options |= kOptHold;
    if (!queues.Define("lp", &settings, error)) std::abort();
    CLpdConnection connection(queues, data[0] & 1, [](const std::string&) {}, [](const std::string&) {});
    const std::size_t piece = 1 + (data[0] >> 1);
    const char* bytes = reinterpret_cast<const char*>(data + 1);
    std::size_t left = size - 1;
    while (left > 0 && connection.Feed(bytes, std::min(piece, left))) {
      const std::size_t used = std::min(piece, left);
      bytes += used;
      left -= used;
    }
    if (!connection.Closing()) connection.PeerClosed();
    queues.Listing("lp");
  }
  // Only the queue's folder may hold anything.
  if (DIR* dir = ::opendir(root.c_str())) {
    while (dirent* e = ::readdir(dir))
      if (e->d_name[0] != '.' && std::string(e->d_name) != "lp") std::abort();
    ::closedir(dir);
  }
  Empty(root + "lp/");

  ControlFile control;
  ParseControlFile(std::string_view(reinterpret_cast<const char*>(data), size), "cfA001host", control);
  return 0;
}
