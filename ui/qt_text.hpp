// The one crossing between the program's GBK texts and Qt's strings.
#pragma once

#include <string>
#include <string_view>

class QString;

namespace trimbrel {

QString FromGbk(std::string_view gbk);
std::string ToGbk(const QString& text);  // characters GBK lacks become "?"

}  // namespace trimbrel
