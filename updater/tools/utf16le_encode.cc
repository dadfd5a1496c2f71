// Build tool: converts a UTF-8 text file to UTF-16 little-endian with a byte order
// mark. The repository holds only UTF-8 text; resources that must be UTF-16 are made
// from it at build time.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

namespace {

bool Decode(const std::string& in, size_t& i, uint32_t& cp) {
  const auto byte = [&](size_t k) { return static_cast<uint8_t>(in[k]); };
  const uint8_t b0 = byte(i);
  size_t len = b0 < 0x80 ? 1 : (b0 >> 5) == 6 ? 2 : (b0 >> 4) == 14 ? 3 : (b0 >> 3) == 30 ? 4 : 0;
  if (len == 0 || i + len > in.size()) return false;
  cp = len == 1 ? b0 : len == 2 ? (b0 & 0x1F) : len == 3 ? (b0 & 0x0F) : (b0 & 0x07);
  for (size_t k = 1; k < len; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return false;
    cp = (cp << 6) | (byte(i + k) & 0x3F);
  }
  i += len;
  return cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF);
}

void Put16(std::string& out, uint32_t unit) {
  out.push_back(static_cast<char>(unit & 0xFF));
  out.push_back(static_cast<char>(unit >> 8));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s <utf-8 input> <utf-16le output>\n", argv[0]);
    return 2;
  }
  std::ifstream input(argv[1], std::ios::binary);
  if (!input) {
    std::fprintf(stderr, "cannot read %s\n", argv[1]);
    return 1;
  }
  std::string in((std::istreambuf_iterator<char>(input)), std::istreambuf_iterator<char>());
  size_t i = in.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  std::string out("\xFF\xFE", 2);
  while (i < in.size()) {
    uint32_t cp = 0;
    if (!Decode(in, i, cp)) {
      std::fprintf(stderr, "%s: not UTF-8 at byte %zu\n", argv[1], i);
      return 1;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      Put16(out, 0xD800 + (cp >> 10));
      Put16(out, 0xDC00 + (cp & 0x3FF));
    } else {
      Put16(out, cp);
    }
  }
  std::ofstream output(argv[2], std::ios::binary | std::ios::trunc);
  output.write(out.data(), static_cast<std::streamsize>(out.size()));
  return output ? 0 : 1;
}
