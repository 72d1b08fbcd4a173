// The settings component. It keeps the settings file in memory as an exact
// byte copy and open for writing from start-up to exit, and edits it in
// place: every change is the same delete-and-insert at the same offset in
// memory and on disk, so bytes it does not touch (other sections, comments,
// odd lines) stay exactly as they were. Texts are GBK byte strings.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "settings/store_file.hpp"

namespace trimbrel {

// How the owner should present a message of the settings component.
enum class MessageBoxStyle {
  Exclamation,  // exclamation icon, OK button, on top of every window
  Plain,        // OK button, modal to the application
};

class ConfigModule {
 public:
  // Lets pending user-interface messages run. Searches call it once per
  // pass, so an event handler may start another read or write from inside
  // it; writes are queued for exactly that reason.
  using MessagePump = std::function<void()>;
  // Shows a message box; title and text are GBK.
  using MessageBoxShow =
      std::function<void(MessageBoxStyle style, const std::string& title, const std::string& text)>;

  ConfigModule() = default;
  ~ConfigModule();
  ConfigModule(const ConfigModule&) = delete;
  ConfigModule& operator=(const ConfigModule&) = delete;

  void setMessagePump(MessagePump pump) { messagePump = std::move(pump); }
  void setMessageBox(MessageBoxShow show) { messageBox = std::move(show); }

  bool setPath(const std::string& path);
  void close();
  void setSection(const std::string& name);
  std::string readEntry(const std::string& section, const std::string& key, const std::string& fallback);
  int  writeEntry(const std::string& section, const std::string& key, const std::string& value, bool immediate = false);
  int  drainWrites();
  long findHeaderBetween(long from, long to) const;
  bool writeText(const std::string& key, const std::string& value);
  bool writeNumber(const std::string& key, double value);
  bool writeBool(const std::string& key, bool value);
  std::string readText(const std::string& key, const std::string& fallback);
  double readNumber(const std::string& key, double fallback);
  bool readBool(const std::string& key, bool fallback);
  bool writeBlock(const std::string& key, const std::vector<std::uint8_t>& bytes);
  std::vector<std::uint8_t> readBlock(const std::string& key, const std::vector<std::uint8_t>& fallback);

 private:
  friend struct ConfigModuleInspector;  // tests and the fuzzer compare memory with disk

  struct WriteRequest {
    std::string section;
    std::string key;
    std::string value;
  };

  int writeNow(const std::string& section, const std::string& key, const std::string& value);
  bool edit(std::size_t offset, std::size_t removed, const std::string& bytes);
  void runPendingMessages();
  void reportMissingSection();

  std::string iniPath;
  std::string content;
  StoreFile storeFile;
  std::string currentSection;
  std::deque<WriteRequest> pendingWrites;
  bool writing = false;
  MessagePump messagePump;
  MessageBoxShow messageBox;
};

}  // namespace trimbrel
