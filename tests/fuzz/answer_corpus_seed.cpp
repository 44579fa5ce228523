// Writes the answer-file fuzz corpus seeds: three bytes of clamp limit, then an
// answer file or a record-list file as a recorder sends them.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

void Write(const std::filesystem::path& dir, const std::string& name, const std::string& bytes) {
  std::ofstream out(dir / name, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string RecordList(std::uint32_t count, const std::string& time) {
  std::string b = "RLDB";
  for (int i = 0; i < 4; ++i) b += char((count >> (8 * i)) & 0xFF);
  b += "20120503" + std::string(40, '\0');
  for (std::uint32_t i = 0; i < count; ++i) b += "080000" + time + std::string(1, char(1 + i % 16)) + std::string(12, '\0');
  return b;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <corpus folder>\n", argv[0]);
    return 2;
  }
  const std::filesystem::path dir = argv[1];
  std::filesystem::create_directories(dir);
  const std::string limit = {char(10), char(5), char(0)};
  Write(dir, "answer", limit + "total,20480\n/rec/2012/05/03/ch01_080000.avi,8192\n/rec/a b/../x.avi,1\n"
                               "/rec/2012/05/03/RecordList.db,131\n");
  Write(dir, "list", limit + RecordList(3, "100501") + "TAIL");
  Write(dir, "list_mixed", limit + RecordList(2, "1x0000") + RecordList(1, "235959").substr(56));
  return 0;
}
