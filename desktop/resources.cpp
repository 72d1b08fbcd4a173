#include "desktop/resources.hpp"

#include <QFile>

// Resources of a static library are registered by hand; outside any
// namespace, as the macro requires.
static void RegisterAssets() { Q_INIT_RESOURCE(assets); }

namespace trimbrel {

namespace {
void EnsureRegistered() {
  static const bool once = (RegisterAssets(), true);
  (void)once;
}
}  // namespace

std::string AssetPath(const char* name) {
  EnsureRegistered();
  return std::string(":/trimbrel/") + name;
}

Bytes AssetBytes(const char* name) {
  QFile file(QString::fromStdString(AssetPath(name)));
  if (!file.open(QIODevice::ReadOnly)) return {};
  const QByteArray data = file.readAll();
  return Bytes(data.begin(), data.end());
}

}  // namespace trimbrel
