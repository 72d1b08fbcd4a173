#include "ini_fixture.hpp"

#include <stdlib.h>

#include <fstream>
#include <iterator>

#include "platform/platform.hpp"

namespace trimbrel::testing {

std::string G(std::string_view utf8) { return Utf8ToGbk(utf8); }

std::string Lines(std::initializer_list<std::string> lines) {
  std::string out;
  for (const std::string& line : lines) {
    if (&line != lines.begin()) out += "\r\n";
    out += line;
  }
  return out;
}

std::string ReadFileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::filesystem::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string Shown(std::string_view bytes) {
  static const char* const kHex = "0123456789ABCDEF";
  std::string out;
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (c == '\r') out += "\\r";
    else if (c == '\n') out += "\\n";
    else if (b >= 0x20 && b < 0x7F && c != '\\') out += c;
    else out.append("\\x").append(1, kHex[b >> 4]).append(1, kHex[b & 15]);
  }
  return out;
}

ScratchDir::ScratchDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "trimbrel-settings-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "cannot create a scratch folder";
  path_ = pattern;
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

}  // namespace trimbrel::testing
