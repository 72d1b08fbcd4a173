// The one crossing between the program's texts and Qt's strings: GBK bytes,
// and the line breaks of multi-line texts, which cross the interface as
// CR LF while Qt edits them with LF.
#pragma once

#include <string>
#include <string_view>

class QString;

namespace trimbrel {

QString FromGbk(std::string_view gbk);
std::string ToGbk(const QString& text);  // characters GBK lacks become "?"
QString WithLf(QString text);    // CR LF becomes LF
QString WithCrLf(QString text);  // LF becomes CR LF

}  // namespace trimbrel
