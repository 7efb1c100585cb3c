// The floor under vimbrel's speed: the same two passes of reading lines and
// writing them back, with nothing done to them.

#include <fstream>
#include <iostream>
#include <string>

namespace {

bool CopyLines(const std::string& from, const std::string& to) {
  std::ifstream in(from);
  std::ofstream out(to);
  if (!in || !out)
    return false;
  std::string line;
  while (std::getline(in, line)) {
    out.write(line.data(), static_cast<std::streamsize>(line.size()));
    out.put('\n');
  }
  out.close();
  return !out.fail();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: vimbrel_floor input.flm\n";
    return 2;
  }
  std::string input = argv[1];
  std::string stem = input.substr(0, input.rfind(".flm"));
  if (!CopyLines(input, stem + ".tmp") || !CopyLines(stem + ".tmp", stem + ".fln"))
    return 1;
  return 0;
}
