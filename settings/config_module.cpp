#include "settings/config_module.hpp"

#include <string_view>

#include "platform/platform.hpp"
#include "settings/ini_search.hpp"

namespace trimbrel {
namespace {

// A section that is still missing after this many appends means something
// keeps undoing the appends; give up rather than loop.
constexpr int kMaxSectionAppends = 10;

// Source files are UTF-8; the file and the window speak GBK.
#define TRIMBREL_GBK(name, utf8)                      \
  const std::string& name() {                         \
    static const std::string gbk = Utf8ToGbk(utf8);   \
    return gbk;                                       \
  }
TRIMBREL_GBK(TrueWord, "真")
TRIMBREL_GBK(FalseWord, "假")
TRIMBREL_GBK(LineBreakMark, "┊*┊")  // stands in for a line break inside a one-line value
TRIMBREL_GBK(MessageTitle, "Kelvra：")
TRIMBREL_GBK(MissingSectionText, "配置模块出现意外，可能导致无法正常保存！详情请咨询Kelvra。")
TRIMBREL_GBK(ContentTitle, "信息：")
#undef TRIMBREL_GBK

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
  std::string out;
  out.reserve(text.size());
  std::size_t pos = 0;
  for (std::size_t hit; (hit = text.find(from, pos)) != std::string_view::npos; pos = hit + from.size()) {
    out.append(text.substr(pos, hit - pos)).append(to);
  }
  out.append(text.substr(pos));
  return out;
}

std::string UpToZero(std::string_view bytes) { return std::string(bytes.substr(0, bytes.find('\0'))); }

// Clears a flag however the scope is left, so a throwing event handler
// cannot leave the queue blocked for good.
struct ClearOnExit {
  bool& flag;
  ~ClearOnExit() { flag = false; }
};

}  // namespace

ConfigModule::~ConfigModule() { close(); }

bool ConfigModule::setPath(const std::string& path) {
  close();
  iniPath = path;
  if (path.empty()) return false;
  // Read through the locked descriptor, so nothing can change the file
  // between the read and the first edit.
  if (storeFile.open(path)) {
    if (auto read = storeFile.readAll()) {
      content = std::move(read.value());
      return true;
    }
  }
  storeFile.close();
  content.clear();
  if (auto bytes = ReadWholeFile(path)) content.assign(bytes.value().text());
  return false;
}

void ConfigModule::close() {
  storeFile.close();
  content.clear();
}

void ConfigModule::setSection(const std::string& name) { currentSection = name; }

long ConfigModule::findHeaderBetween(long from, long to) const {
  return FindHeaderBetween(content, from, to);
}

void ConfigModule::runPendingMessages() {
  if (!messagePump) return;
  // A copy: the handler may replace the pump while it runs.
  const MessagePump pump = messagePump;
  pump();
}

std::string ConfigModule::readEntry(const std::string& section, const std::string& key,
                                    const std::string& fallback) {
  const std::string header = "[" + section + "]";
  std::size_t from = 0;
  for (;;) {
    runPendingMessages();
    const std::size_t h = content.find(header, from);
    if (h == std::string::npos) return fallback;
    if (!StartsLine(content, h)) {
      from = h + 1;
      continue;
    }
    const std::size_t k = FindKeyLine(content, h + header.size(), key);
    if (k == std::string::npos) return fallback;
    const std::size_t v = k + 2 + key.size() + 1;
    return UpToZero(std::string_view(content).substr(v, LineEnd(content, v) - v));
  }
}

int ConfigModule::writeEntry(const std::string& section, const std::string& key,
                             const std::string& value, bool immediate) {
  if (immediate) return writeNow(section, key, value);
  pendingWrites.push_back(WriteRequest{section, key, value});
  return writing ? 3 : drainWrites();
}

int ConfigModule::drainWrites() {
  // Called from an event handler while a write runs: the running drain
  // carries the queue out in order; starting the front request again here
  // would perform it twice, nested inside itself.
  if (writing) return 3;
  if (pendingWrites.empty()) return -1;
  int first = 0;
  for (bool isFirst = true; !pendingWrites.empty(); isFirst = false) {
    WriteRequest request = std::move(pendingWrites.front());
    pendingWrites.pop_front();
    writing = true;
    const ClearOnExit clear{writing};
    const int result = writeNow(request.section, request.key, request.value);
    if (isFirst) first = result;
  }
  return first;
}

int ConfigModule::writeNow(const std::string& section, const std::string& key,
                           const std::string& value) {
  const std::string header = "[" + section + "]";
  std::size_t from = 0;
  int appends = 0;
  bool diskLost = false;
  for (;;) {
    runPendingMessages();
    const std::size_t h = content.find(header, from);
    if (h == std::string::npos) {
      const bool wasEmpty = content.empty();
      from = wasEmpty ? 0 : content.size() - 1;
      diskLost |= !edit(content.size(), 0, wasEmpty ? header : "\r\n" + header);
      if (++appends > kMaxSectionAppends) {
        reportMissingSection();
        return -1;
      }
      continue;
    }
    if (!StartsLine(content, h)) {
      from = h + 1;
      continue;
    }
    const std::size_t headerEnd = h + header.size();
    const std::size_t k = FindKeyLine(content, headerEnd, key);
    if (k == std::string::npos) {
      // The next pass finds the new, empty entry and stores the value.
      diskLost |= !edit(NewKeyOffset(content, headerEnd), 0, "\r\n" + key + "=");
      continue;
    }
    const std::size_t v = k + 2 + key.size() + 1;
    const std::size_t w = LineEnd(content, v);
    if (content.compare(v, w - v, value) != 0) diskLost |= !edit(v, w - v, value);
    return diskLost ? -1 : 0;
  }
}

bool ConfigModule::edit(std::size_t offset, std::size_t removed, const std::string& bytes) {
  const std::size_t sizeBefore = content.size();
  content.replace(offset, removed, bytes);
  if (!storeFile.isOpen()) return true;
  if (storeFile.replace(offset, removed, bytes, sizeBefore)) return true;
  // The file no longer matches memory (a failed write, or another program
  // changed it); editing it at memory's offsets would only spread the
  // damage. From here on writes change memory only, as when the file could
  // not be opened.
  storeFile.close();
  return false;
}

void ConfigModule::reportMissingSection() {
  if (!messageBox) return;
  const MessageBoxShow show = messageBox;
  show(MessageBoxStyle::Exclamation, MessageTitle(), MissingSectionText());
  show(MessageBoxStyle::Plain, ContentTitle(), UpToZero(content));
}

bool ConfigModule::writeText(const std::string& key, const std::string& value) {
  return writeEntry(currentSection, key, ReplaceAll(value, kLineBreak, LineBreakMark())) == 0;
}

bool ConfigModule::writeNumber(const std::string& key, double value) {
  return writeEntry(currentSection, key, FormatNumber(value)) == 0;
}

bool ConfigModule::writeBool(const std::string& key, bool value) {
  return writeEntry(currentSection, key, value ? TrueWord() : FalseWord()) == 0;
}

std::string ConfigModule::readText(const std::string& key, const std::string& fallback) {
  const std::string stored =
      readEntry(currentSection, key, ReplaceAll(fallback, kLineBreak, LineBreakMark()));
  return ReplaceAll(stored, LineBreakMark(), kLineBreak);
}

double ConfigModule::readNumber(const std::string& key, double fallback) {
  return ParseNumber(readEntry(currentSection, key, FormatNumber(fallback)));
}

bool ConfigModule::readBool(const std::string& key, bool fallback) {
  return readEntry(currentSection, key, fallback ? TrueWord() : FalseWord()) == TrueWord();
}

}  // namespace trimbrel
