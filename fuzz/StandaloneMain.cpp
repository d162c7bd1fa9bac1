// Runs a fuzz target over the files of a corpus when libFuzzer is not used,
// so that every build replays the saved inputs.
#include <dirent.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char** argv) {
  int files = 0;
  for (int a = 1; a < argc; ++a) {
    std::vector<std::string> paths;
    if (DIR* d = opendir(argv[a])) {
      while (dirent* e = readdir(d))
        if (e->d_name[0] != '.') paths.push_back(std::string(argv[a]) + "/" + e->d_name);
      closedir(d);
    } else {
      paths.push_back(argv[a]);
    }
    for (const auto& p : paths) {
      std::ifstream in(p, std::ios::binary);
      std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
      ++files;
    }
  }
  std::printf("%d inputs replayed\n", files);
  return 0;
}
