// The speed of the bytes alone: reads the input and writes a file of the
// .tmp's size, then reads that and writes a file of the .fln's size, in
// 1 MiB blocks. These are the bytes vimbrel moves, without looking at them.

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// Copies `from` to `to` in blocks, writing exactly `size` bytes: the input
// is repeated, or cut, to reach it.
bool CopyBlocks(const std::string& from, const std::string& to, long size) {
  std::FILE* in = std::fopen(from.c_str(), "rb");
  std::FILE* out = std::fopen(to.c_str(), "wb");
  if (!in || !out)
    return false;
  std::vector<char> block(1 << 20);
  long written = 0;
  while (written < size) {
    std::size_t got = std::fread(block.data(), 1, block.size(), in);
    if (got == 0) {
      if (written == 0)
        break;
      std::rewind(in);
      continue;
    }
    if (static_cast<long>(got) > size - written)
      got = static_cast<std::size_t>(size - written);
    if (std::fwrite(block.data(), 1, got, out) != got)
      return false;
    written += static_cast<long>(got);
  }
  std::fclose(in);
  return std::fclose(out) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: block_copy input.flm TMP_BYTES FLN_BYTES\n");
    return 2;
  }
  std::string input = argv[1];
  std::string stem = input.substr(0, input.rfind(".flm"));
  if (!CopyBlocks(input, stem + ".tmp", std::atol(argv[2])) ||
      !CopyBlocks(stem + ".tmp", stem + ".fln", std::atol(argv[3])))
    return 1;
  return 0;
}
