// corvina-trace: prints a binary trace file in the readable text form.
#include <arpa/inet.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "codepage/CodePage.h"
#include "platform/Format.h"
#include "session/SessionTrace.h"

using namespace corvina;

namespace {

constexpr std::size_t kMaxFile = std::size_t{1} << 30;

const char kUsage[] = R"(Usage: corvina-trace [--ebcdic] [--code-page FILE] TRACEFILE
Prints a binary Corvina trace (.trc) in the text form, one header line per
record and a hex dump of sent and received data.

  --ebcdic          show dumped characters translated from EBCDIC (3270 and
                    5250 sessions), through the built-in code page
  --code-page FILE  translate through this code-page file instead (implies
                    --ebcdic)
  -h, --help        show this text
)";

}  // namespace

int main(int argc, char** argv) {
  bool ebcdic = false;
  std::string codePageFile, path;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "-h" || a == "--help") {
      std::cout << kUsage;
      return 0;
    } else if (a == "--ebcdic") {
      ebcdic = true;
    } else if (a == "--code-page" && i + 1 < argc) {
      codePageFile = argv[++i];
      ebcdic = true;
    } else if (!a.empty() && a[0] == '-') {
      std::cerr << "corvina-trace: unknown option " << a << "\nTry 'corvina-trace --help'.\n";
      return 2;
    } else if (path.empty()) {
      path = a;
    } else {
      std::cerr << "corvina-trace: only one trace file can be given\n";
      return 2;
    }
  }
  if (path.empty()) {
    std::cerr << "corvina-trace: no trace file given\nTry 'corvina-trace --help'.\n";
    return 2;
  }
  CCorvinaCodePage codePage;
  if (!codePageFile.empty()) {
    std::string error;
    if (!codePage.Load(codePageFile, error)) {
      std::cerr << "corvina-trace: " << error << "\n";
      return 1;
    }
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::cerr << "corvina-trace: cannot open " << path << "\n";
    return 1;
  }
  in.seekg(0, std::ios::end);
  auto size = static_cast<std::size_t>(in.tellg());
  if (size > kMaxFile) {
    std::cerr << "corvina-trace: " << path << " is larger than 1 GiB\n";
    return 1;
  }
  in.seekg(0);
  std::vector<std::uint8_t> bytes(size);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size));

  const std::uint8_t* table = ebcdic ? codePage.EbcdicToAscii().data() : nullptr;
  std::size_t offset = 0;
  TraceRecord r;
  std::string error;
  while (ReadTraceRecord(bytes, offset, r, &error)) {
    std::string text;
    if (r.socket == 0 && r.kind == kTraceText) {
      text.assign(r.data.begin(), r.data.end());
      text += "\r\n";
    } else {
      char ip[INET_ADDRSTRLEN] = "0.0.0.0";
      inet_ntop(AF_INET, &r.peerIPv4, ip, sizeof ip);
      std::string who = platform::Format("Socket %u (%s:%u)", r.socket, ip, r.peerPort);
      text = CSessionTrace::EntryLine(r.time[4], r.time[5], r.time[6], r.time[7], who, r.kind, r.data);
      if (r.kind == kTraceSent || r.kind == kTraceReceived) text += CSessionTrace::HexDump(r.data, table);
    }
    std::cout << text;
  }
  std::cout.flush();
  if (!error.empty()) {
    std::cerr << "corvina-trace: " << path << ": " << error << "\n";
    return 1;
  }
  return 0;
}
