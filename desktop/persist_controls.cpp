#include "desktop/persist_controls.hpp"

#include <QCoreApplication>

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <string_view>

#include "platform/platform.hpp"

namespace trimbrel {
namespace {

// Source files are UTF-8; names, tags and keys are GBK.
#define TRIMBREL_GBK(name, utf8)                    \
  const std::string& name() {                       \
    static const std::string gbk = Utf8ToGbk(utf8); \
    return gbk;                                     \
  }
TRIMBREL_GBK(NoSaveTag, "禁止保存")
TRIMBREL_GBK(ByteBlockTag, "字节集方式")
TRIMBREL_GBK(TagSuffix, ".标记")
TRIMBREL_GBK(ItemsSuffix, ".列表")
TRIMBREL_GBK(EditTextSuffix, ".内容")
TRIMBREL_GBK(SelectedSuffix, ".选中")
TRIMBREL_GBK(TickedSuffix, ".打勾")
#undef TRIMBREL_GBK

// The persisted kinds, tested in this order; the first whose word the name
// begins with decides ("选择列表框…" is not a "选择框").
constexpr Kind kPersistedKinds[] = {Kind::Button,   Kind::EditBox, Kind::CheckBox,   Kind::RadioBox,
                                    Kind::ComboBox, Kind::ListBox, Kind::ChkListBox, Kind::ColorPicker};

std::optional<Kind> KindNamed(const std::string& name) {
  static const std::array<std::string, std::size(kPersistedKinds)> words = [] {
    std::array<std::string, std::size(kPersistedKinds)> w;
    for (std::size_t i = 0; i < w.size(); ++i) w[i] = KindWord(kPersistedKinds[i]);
    return w;
  }();
  for (std::size_t i = 0; i < words.size(); ++i) {
    // compare() takes the whole name when it is shorter than the word.
    if (name.compare(0, words[i].size(), words[i]) == 0) return kPersistedKinds[i];
  }
  return std::nullopt;
}

// Event handlers run here, and from the settings component's own pump during
// every read and write. One of them may close the window; the control layer
// treats touching a closed window as fatal, so every handler asks Gone()
// before it reads or writes a property after a pump may have run, and stops.
void LetMessagesRun() { QCoreApplication::processEvents(); }
bool Gone(ControlRef control) { return !IsWindowLoaded(control.window); }

struct Target {
  ControlRef ref;
  std::string name;  // GBK
};

std::string Text(const Target& t, int number) { return ReadText(t.ref.window, t.ref.id, number); }
std::int32_t Int(const Target& t, int number) { return ReadInt(t.ref.window, t.ref.id, number); }
Bytes Block(const Target& t, int number) { return ReadBytes(t.ref.window, t.ref.id, number); }
void Put(const Target& t, int number, const Value& value) {
  writeProperty(t.ref.window, t.ref.id, number, value);
}

Bytes BytesOf(const std::string& text) { return Bytes(text.begin(), text.end()); }
std::string UpToZero(const Bytes& bytes) {
  return std::string(bytes.begin(), std::find(bytes.begin(), bytes.end(), std::uint8_t{0}));
}

std::string JoinIndices(const std::vector<std::int32_t>& indices) {
  std::string text;
  for (std::size_t i = 0; i < indices.size(); ++i) {
    LetMessagesRun();
    if (i > 0) text += ',';
    text += std::to_string(indices[i]);
  }
  return text;
}

// Every "," ends a piece, so an empty piece before or between commas stands
// for index 0; only the empty piece after a trailing comma (or of an empty
// text) is dropped.
std::vector<std::int32_t> SplitIndices(std::string_view text) {
  std::vector<std::string_view> pieces;
  for (std::size_t start = 0;;) {
    const std::size_t comma = text.find(',', start);
    if (comma == std::string_view::npos) {
      pieces.push_back(text.substr(start));
      break;
    }
    pieces.push_back(text.substr(start, comma - start));
    start = comma + 1;
  }
  if (pieces.back().empty()) pieces.pop_back();
  std::vector<std::int32_t> indices;
  indices.reserve(pieces.size());
  for (std::string_view piece : pieces) indices.push_back(ParseInteger(piece));
  return indices;
}

// A tag or an edit box's content: an entry, or a side file in byte-block mode.
void SaveTextState(ConfigModule& config, const Target& t, int number, const std::string& key,
                   bool asBlock) {
  const std::string state = Text(t, number);
  if (asBlock) {
    config.writeBlock(key, BytesOf(state));
  } else {
    config.writeText(key, state);
  }
}

void RestoreTextState(ConfigModule& config, const Target& t, int number, const std::string& key,
                      bool asBlock) {
  const std::string current = Text(t, number);
  const std::string stored =
      asBlock ? UpToZero(config.readBlock(key, BytesOf(current))) : config.readText(key, current);
  if (Gone(t.ref)) return;
  Put(t, number, stored);
}

void SaveButton(ConfigModule& config, const Target& t, bool asBlock) {
  SaveTextState(config, t, prop::kTag, t.name + TagSuffix(), asBlock);
}
void RestoreButton(ConfigModule& config, const Target& t, bool asBlock) {
  RestoreTextState(config, t, prop::kTag, t.name + TagSuffix(), asBlock);
}

void SaveEditBox(ConfigModule& config, const Target& t, bool asBlock) {
  SaveTextState(config, t, prop::kEditContent, t.name, asBlock);
}
void RestoreEditBox(ConfigModule& config, const Target& t, bool asBlock) {
  RestoreTextState(config, t, prop::kEditContent, t.name, asBlock);
}

// Check boxes and radio boxes share the property: ticked or selected.
void SaveChecked(ConfigModule& config, const Target& t) {
  config.writeBool(t.name, Int(t, prop::kChecked) != 0);
}
void RestoreChecked(ConfigModule& config, const Target& t) {
  const bool stored = config.readBool(t.name, Int(t, prop::kChecked) != 0);
  if (Gone(t.ref)) return;
  Put(t, prop::kChecked, std::int32_t{stored});
}

// An index or a colour kept as a number.
void SaveNumber(ConfigModule& config, const Target& t, int number, const std::string& key) {
  config.writeNumber(key, Int(t, number));
}
void RestoreNumber(ConfigModule& config, const Target& t, int number, const std::string& key) {
  const double stored = config.readNumber(key, Int(t, number));
  if (Gone(t.ref)) return;
  Put(t, number, TruncateToInt(stored));
}

// An item list kept as a side file.
void SaveItems(ConfigModule& config, const Target& t, int number, const std::string& key) {
  config.writeBlock(key, Block(t, number));
}
void RestoreItems(ConfigModule& config, const Target& t, int number, const std::string& key) {
  Put(t, number, config.readBlock(key, Block(t, number)));
}

void SaveComboBox(ConfigModule& config, const Target& t) {
  SaveNumber(config, t, prop::kComboCurrent, t.name);
}
void RestoreComboBox(ConfigModule& config, const Target& t) {
  RestoreNumber(config, t, prop::kComboCurrent, t.name);
}
void SaveComboItems(ConfigModule& config, const Target& t) {
  SaveItems(config, t, prop::kComboItems, t.name + ItemsSuffix());
}
void RestoreComboItems(ConfigModule& config, const Target& t) {
  RestoreItems(config, t, prop::kComboItems, t.name + ItemsSuffix());
}
void SaveComboText(ConfigModule& config, const Target& t) {
  config.writeText(t.name + EditTextSuffix(), Text(t, prop::kComboEditText));
}
// `before` is the edit text from before the index was written back: that
// write sets an editable combo box's text to the item's (or clears it), and a
// missing entry must leave the text as the user had it.
void RestoreComboText(ConfigModule& config, const Target& t, const std::string& before) {
  const std::string stored = config.readText(t.name + EditTextSuffix(), before);
  if (Gone(t.ref)) return;
  Put(t, prop::kComboEditText, stored);
}

void SaveListBox(ConfigModule& config, const Target& t) {
  SaveItems(config, t, prop::kListItems, t.name);
  config.writeText(t.name + SelectedSuffix(), JoinIndices(SelectedIndices(t.ref)));
}
void RestoreListBox(ConfigModule& config, const Target& t) {
  const std::string current = JoinIndices(SelectedIndices(t.ref));
  if (Gone(t.ref)) return;
  RestoreItems(config, t, prop::kListItems, t.name);
  const std::string stored = config.readText(t.name + SelectedSuffix(), current);
  for (std::int32_t index : SplitIndices(stored)) {
    LetMessagesRun();
    SelectItem(t.ref, index);  // does nothing outside the list or once the window is gone
  }
}

std::vector<std::int32_t> TickedIndices(ControlRef control) {
  std::vector<std::int32_t> ticked;
  const std::int32_t count = ItemCount(control);
  for (std::int32_t i = 0; i < count; ++i) {
    LetMessagesRun();
    if (IsItemTicked(control, i)) ticked.push_back(i);
  }
  return ticked;
}

void SaveCheckList(ConfigModule& config, const Target& t) {
  SaveItems(config, t, prop::kChkListItems, t.name);
  SaveNumber(config, t, prop::kChkListCurrent, t.name + SelectedSuffix());
  if (Gone(t.ref)) return;
  const std::vector<std::int32_t> ticked = TickedIndices(t.ref);
  // Half a list would overwrite the stored ticks with fewer.
  if (Gone(t.ref)) return;
  config.writeText(t.name + TickedSuffix(), JoinIndices(ticked));
}
void RestoreCheckList(ConfigModule& config, const Target& t) {
  const std::string current = JoinIndices(TickedIndices(t.ref));
  if (Gone(t.ref)) return;
  RestoreItems(config, t, prop::kChkListItems, t.name);
  RestoreNumber(config, t, prop::kChkListCurrent, t.name + SelectedSuffix());
  if (Gone(t.ref)) return;
  const std::string stored = config.readText(t.name + TickedSuffix(), current);
  for (std::int32_t index : SplitIndices(stored)) {
    LetMessagesRun();
    TickItem(t.ref, index);  // ticks only; an index outside the list does nothing
  }
}

void SaveColorPicker(ConfigModule& config, const Target& t) {
  SaveNumber(config, t, prop::kPickerColour, t.name);
}
void RestoreColorPicker(ConfigModule& config, const Target& t) {
  RestoreNumber(config, t, prop::kPickerColour, t.name);
}

void PersistOne(ConfigModule& config, const Target& t, Kind kind, bool restore, bool asBlock,
                const PersistOptions& options) {
  switch (kind) {
    case Kind::Button:
      restore ? RestoreButton(config, t, asBlock) : SaveButton(config, t, asBlock);
      return;
    case Kind::EditBox:
      restore ? RestoreEditBox(config, t, asBlock) : SaveEditBox(config, t, asBlock);
      return;
    case Kind::CheckBox:
    case Kind::RadioBox:
      restore ? RestoreChecked(config, t) : SaveChecked(config, t);
      return;
    case Kind::ComboBox: {
      const std::string editText =
          restore && options.withComboText ? Text(t, prop::kComboEditText) : std::string();
      restore ? RestoreComboBox(config, t) : SaveComboBox(config, t);
      if (options.withComboItems && !Gone(t.ref)) {
        restore ? RestoreComboItems(config, t) : SaveComboItems(config, t);
      }
      if (options.withComboText && !Gone(t.ref)) {
        restore ? RestoreComboText(config, t, editText) : SaveComboText(config, t);
      }
      return;
    }
    case Kind::ListBox:
      restore ? RestoreListBox(config, t) : SaveListBox(config, t);
      return;
    case Kind::ChkListBox:
      restore ? RestoreCheckList(config, t) : SaveCheckList(config, t);
      return;
    case Kind::ColorPicker:
      restore ? RestoreColorPicker(config, t) : SaveColorPicker(config, t);
      return;
    default:
      return;
  }
}

// The given references with their kinds, as the window knows them.
std::vector<ControlEntry> EntriesOf(const std::vector<ControlRef>& refs) {
  std::map<WindowHandle, std::vector<ControlEntry>> windows;
  std::vector<ControlEntry> entries;
  entries.reserve(refs.size());
  for (const ControlRef& ref : refs) {
    auto [it, fresh] = windows.try_emplace(ref.window);
    if (fresh) it->second = listControls(ref.window);
    const auto& known = it->second;
    const auto found = std::find_if(known.begin(), known.end(),
                                    [&ref](const ControlEntry& e) { return e.ref == ref; });
    if (found != known.end()) entries.push_back(*found);
  }
  return entries;
}

}  // namespace

void persistControls(ConfigModule& config, WindowHandle window, bool restore,
                     const std::string& section, const PersistOptions& options) {
  if (!section.empty()) config.setSection(section);
  const std::vector<ControlEntry> entries =
      options.controls ? EntriesOf(*options.controls) : listControls(window);
  for (const ControlEntry& entry : entries) {
    LetMessagesRun();
    // Empty also when a message closed the control's window.
    Target target{entry.ref, ControlName(entry.ref)};
    if (target.name.empty()) continue;
    const auto& skip = options.skipNames;
    if (std::find(skip.begin(), skip.end(), target.name) != skip.end()) continue;
    const std::optional<Kind> kind = KindNamed(target.name);
    // A label named "编辑框…" is no edit box: the edit box's property
    // numbers mean another property, or none, on another kind.
    if (!kind || *kind != entry.kind) continue;
    const std::string tag = Text(target, prop::kTag);
    if (tag == NoSaveTag()) continue;
    const bool asBlock =
        (*kind == Kind::Button || *kind == Kind::EditBox) && tag == ByteBlockTag();
    PersistOne(config, target, *kind, restore, asBlock, options);
  }
}

}  // namespace trimbrel
