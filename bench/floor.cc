// The floor under vimbrel's speed: the same two passes of reading lines and
// writing them back, with nothing done to them.

#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace {

bool CopyLines(const std::string& from, const std::string& to) {
  // The same buffer size as vimbrel's streams.
  std::vector<char> in_buffer(1 << 16), out_buffer(1 << 16);
  std::ifstream in;
  std::ofstream out;
  in.rdbuf()->pubsetbuf(in_buffer.data(), in_buffer.size());
  out.rdbuf()->pubsetbuf(out_buffer.data(), out_buffer.size());
  in.open(from);
  out.open(to);
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
