#include "ui/qt_text.hpp"

#include <QString>

#include "platform/platform.hpp"

namespace trimbrel {

QString FromGbk(std::string_view gbk) {
  const std::string utf8 = GbkToUtf8(gbk);
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string ToGbk(const QString& text) {
  const QByteArray utf8 = text.toUtf8();
  return Utf8ToGbk(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
}

QString WithLf(QString text) { return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")); }

QString WithCrLf(QString text) { return text.replace(QStringLiteral("\n"), QStringLiteral("\r\n")); }

}  // namespace trimbrel
