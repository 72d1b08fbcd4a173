#include "ui/open_address.hpp"

#include <QDesktopServices>
#include <QProcess>
#include <QUrl>

#include <utility>

#include "ui/control_model.hpp"
#include "ui/qt_text.hpp"

namespace trimbrel {

// $BROWSER may list several browsers separated by ":", each a command line
// where "%s" stands for the address.
bool StartBrowser(const QString& address) {
  const QString browsers = qEnvironmentVariable("BROWSER");
  for (const QString& entry : browsers.split(u':', Qt::SkipEmptyParts)) {
    QStringList args = QProcess::splitCommand(entry);
    if (args.isEmpty()) continue;
    bool placed = false;
    for (QString& arg : args) {
      if (arg.contains(QStringLiteral("%s"))) {
        arg.replace(QStringLiteral("%s"), address);
        placed = true;
      }
    }
    if (!placed) args.append(address);
    const QString program = args.takeFirst();
    if (QProcess::startDetached(program, args)) return true;
  }
  return false;
}

namespace {

bool DefaultOpener(const std::string& utf8Address) {
  const QString address = QString::fromStdString(utf8Address);
  const QUrl url(address, QUrl::TolerantMode);
  if (url.isValid() && QDesktopServices::openUrl(url)) return true;
  return StartBrowser(address);
}

AddressOpener& Opener() {
  static AddressOpener opener = DefaultOpener;
  return opener;
}

}  // namespace

bool OpenAddress(std::string_view gbkAddress) {
  if (gbkAddress.empty()) return false;
  const std::string utf8 = FromGbk(gbkAddress).toStdString();
  return Opener()(utf8);
}

void SetAddressOpener(AddressOpener opener) {
  Opener() = opener ? std::move(opener) : AddressOpener(DefaultOpener);
}

}  // namespace trimbrel
