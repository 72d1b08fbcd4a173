// Windows and helpers of the control persistence tests: a window with one
// persisted control of every kind, one shaped like the main window, and a
// snapshot of everything a pass may touch.
#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "ui/ui.hpp"

namespace trimbrel::persist_testing {

std::string G(const char* utf8);  // GBK bytes of UTF-8 text
std::string G(const QString& text);
// UTF-8 lines joined with CR LF, none after the last, as GBK.
std::string Lines(const QStringList& lines);
// GBK bytes as readable text for a failure message.
QString Shown(const std::string& gbk);

// Ids of the window with one persisted control of every kind.
enum : std::int32_t {
  kButton = 1,
  kEdit,
  kMemo,
  kBlockEdit,
  kCheck,
  kRadioA,
  kRadioB,
  kCombo,
  kEditableCombo,
  kList,
  kSingleList,
  kChkList,
  kPicker,
  kLabel,
};
WindowDef KindsWindow();

// The main window's persisted controls in their definition order, with
// labels between them that take no part.
enum : std::int32_t {
  kDonate = 1,
  kDpi = 3,
  kUnit = 5,
  kBase = 6,
  kFormat = 8,
  kHeight = 9,
  kWidth = 11,
  kModify = 12,
};
WindowDef MainLikeWindow();
// The first save of the main window's initial values, key by key.
std::string MainFirstSave();

// Appends a small control of the given kind to a window definition.
ControlDef& Add(WindowDef& w, std::int32_t id, const char* name, Kind kind);

// Everything a pass may touch, by "control name/state".
std::map<QString, std::string> Snapshot(WindowHandle window);
std::vector<std::int32_t> Ticked(ControlRef c);

}  // namespace trimbrel::persist_testing
