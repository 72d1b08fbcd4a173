// Seeds for the settings-file fuzzer: a saved main window, the odd files a
// text editor leaves (LF-only lines, text after a header, keys under a later
// section, duplicates, zero bytes) and each kind of operation.
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/platform.hpp"

namespace {

struct Seed {
  std::string bytes;
  explicit Seed(const std::string& file) {
    bytes += static_cast<char>(file.size() & 0xFF);
    bytes += static_cast<char>(file.size() >> 8);
    bytes += file;
  }
  // Opcodes: 0 read, 1 write, 2 text, 3 number, 4 bool, 5 write with a
  // handler's write queued behind it, 6 header search, 7 reopen.
  Seed& op(int code, const std::string& section, const std::string& key, const std::string& value) {
    bytes += static_cast<char>(code);
    for (const std::string* text : {&section, &key, &value}) {
      bytes += static_cast<char>(text->size());
      bytes += *text;
    }
    return *this;
  }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  const std::filesystem::path folder = argv[1];
  std::filesystem::create_directories(folder);
  const auto g = [](const char* utf8) { return trimbrel::Utf8ToGbk(utf8); };
  const std::string main = g("主界面");
  const std::string saved = g("[主界面]\r\n按钮修改.标记=\r\n编辑框宽=2.6\r\n编辑框高=3.2\r\n"
                              "组合框保存格式=1\r\n组合框基准=0\r\n组合框单位=1\r\n编辑框dpi=150\r\n按钮打赏.标记=");
  const std::vector<Seed> seeds = {
      Seed("").op(1, main, g("编辑框dpi"), "150").op(1, main, g("编辑框宽"), "2.6").op(0, main, g("编辑框dpi"), "d"),
      Seed(saved).op(2, main, g("编辑框宽"), "a\r\nb").op(3, main, g("组合框单位"), "12345678").op(4, main, "k", "x"),
      Seed(saved).op(5, main, g("编辑框高"), "9").op(7, "", "", "").op(0, main, g("编辑框高"), ""),
      Seed("[s]\na=1\nb=2").op(1, "s", "a", "9").op(1, "t", "a", "9"),
      Seed("x=1\n[s]\na=1").op(1, "s", "a", "9").op(6, "", "\x03", "abc"),
      Seed("[s] note\r\nb=2\r\n").op(1, "s", "a", "1").op(1, "u", "k", "v"),
      Seed("[a]\r\nx=1\r\n[b]\r\nk=2").op(0, "a", "k", "d").op(1, "a", "k", "5").op(6, "", "\x03", "a"),
      Seed(std::string("[s]\r\nk=1\r\nk=2\r\nz=a\0b", 20)).op(1, "s", "k", "3").op(0, "s", "z", ""),
      // A stored number's text (1.482196937771e-323) is longer than the whole input.
      Seed("").op(3, "", "", std::string("\x03\0\0\0\0\0\0\0", 8)).op(0, "", "", ""),
      Seed("[a]\r\n[x\r\nx=[s];\r\n[x\r\ny]\r\nk=1\r\n[s]\r\nk=2").op(0, "a", "k", "").op(1, "s", "k", "20"),
  };
  int n = 0;
  for (const Seed& seed : seeds) {
    std::ofstream out(folder / ("seed" + std::to_string(n++)), std::ios::binary);
    out << seed.bytes;
    if (!out) return 1;
  }
  return 0;
}
