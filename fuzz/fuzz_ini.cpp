// The settings file holds whatever a user's editor left in it. Input: a u16
// length and that many bytes of file content, then operations, each an opcode
// and three short texts (section, key, value). After every step the file on
// disk must equal the memory copy, and a value just written must read back.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "settings/config_module.hpp"
#include "settings/config_module_inspector.hpp"
#include "platform/platform.hpp"
#include "settings/store_file.hpp"

namespace {

struct Input {
  const std::uint8_t* data;
  std::size_t size;
  std::string take(std::size_t n) {
    n = n < size ? n : size;
    std::string out(reinterpret_cast<const char*>(data), n);
    data += n, size -= n;
    return out;
  }
  std::uint8_t byte() { return size ? static_cast<std::uint8_t>(take(1)[0]) : 0; }
  std::string text() { return take(byte() % 32); }
};

struct ScratchFile {
  std::string dir = (std::filesystem::temp_directory_path() / "fuzz-ini-XXXXXX").string();
  std::string path = (::mkdtemp(dir.data()) ? dir : (::abort(), dir)) + "/Trimbrel.ini";
  ~ScratchFile() { std::error_code ignored; std::filesystem::remove_all(dir, ignored); }
};

const std::string& IniPath() {
  static const ScratchFile file;
  return file.path;
}

// Bytes that end or break a value cannot read back as written.
bool Plain(const std::string& v) { return v.find('\0') == v.npos && v.find("\r\n") == v.npos; }

// The compiler folds every abort into one place, so a crash's line says
// nothing; the message says which check failed.
[[noreturn]] void Broken(int step, const char* what) {
  std::fprintf(stderr, "fuzz_ini: step %d: %s\n", step, what);
  std::fflush(stderr);
  ::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 16384) return 0;
  Input in{data, size};
  const std::size_t low = in.byte();
  const std::size_t length = low | std::size_t{in.byte()} << 8;
  std::ofstream(IniPath(), std::ios::binary | std::ios::trunc) << in.take(length);
  trimbrel::ConfigModule module;
  if (!module.setPath(IniPath())) Broken(-1, "the file could not be opened");
  std::string nested[3];
  int nestedResult = 0, pumps = 0;
  module.setMessagePump([&] {
    if (!nested[1].empty() && pumps++ == 0) nestedResult = module.writeEntry(nested[0], nested[1], nested[2]);
  });
  for (int step = 0; step < 64 && in.size > 0; ++step) {
    const std::uint8_t op = in.byte();
    const std::string s = in.text(), k = in.text(), v = in.text();
    module.setSection(s);
    const bool flag = v.size() & 1;
    bool ok = true;
    switch (op % 8) {
      case 0: {  // the fallback, or bytes of the file (a stored number may be longer than the input)
        const std::string got = module.readEntry(s, k, v);
        ok = got == v || trimbrel::ConfigModuleInspector::content(module).find(got) != std::string::npos;
        break;
      }
      case 1: ok = module.writeEntry(s, k, v) == 0 && (!Plain(v) || module.readEntry(s, k, "\1") == v); break;
      case 2: ok = module.writeText(k, v) && (v.find('\0') != v.npos || v.find('\xA9') != v.npos ||
                                           module.readText(k, "") == v); break;
      case 3: {
        double x;
        std::memcpy(&x, (v + std::string(8, '\0')).data(), sizeof x);
        ok = module.writeNumber(k, x);
        (void)module.readNumber(k, 0);
        break;
      }
      case 4: ok = module.writeBool(k, flag) && module.readBool(k, !flag) == flag; break;
      case 5:  // an event handler writes while this write runs: it must wait in the queue
        nested[0] = k, nested[1] = v, nested[2] = s, pumps = 0;
        ok = module.writeEntry(s, k, v) == 0 && (v.empty() || nestedResult == 3);
        nested[1].clear();
        break;
      case 6: (void)module.findHeaderBetween(k.empty() ? 0 : static_cast<signed char>(k[0]), static_cast<long>(v.size() * 37)); break;
      case 7: module.close(); ok = module.setPath(IniPath()); break;
    }
    if (!ok) Broken(step, op % 8 == 7 ? "reopening failed" : "an operation failed or read back wrong");
    auto disk = trimbrel::ReadWholeFile(IniPath());
    if (!disk) Broken(step, disk.error().reason.c_str());
    if (disk.value().text() != trimbrel::ConfigModuleInspector::content(module)) Broken(step, "the file differs from memory");
  }
  return 0;
}
