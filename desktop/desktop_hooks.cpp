#include "desktop/desktop_hooks.hpp"

#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>
#include <QUrl>

#include "platform/platform.hpp"
#include "ui/ui.hpp"

namespace trimbrel {

namespace {

QString Q(const std::string& utf8) { return QString::fromStdString(utf8); }

std::vector<std::string> ChooseWithDialog(QWidget* parent, const std::string& startFolder) {
  QPointer<QFileDialog> dialog = new QFileDialog(parent, Q(kPhotoDialogTitle), Q(startFolder));
  dialog->setFileMode(QFileDialog::ExistingFiles);
  // Our own dialog everywhere: its filters are matched without regard to
  // case, which a desktop's own dialog does not promise.
  dialog->setOption(QFileDialog::DontUseNativeDialog, true);
  dialog->setFilter(dialog->filter() & ~QDir::CaseSensitive);
  QStringList filters;
  for (const std::string& f : PhotoDialogFilters()) filters << Q(f);
  dialog->setNameFilters(filters);
  std::vector<std::string> chosen;
  const int result = dialog->exec();
  if (!dialog) return chosen;  // the parent went away while the dialog was open
  if (result == QDialog::Accepted) {
    for (const QString& f : dialog->selectedFiles()) chosen.push_back(QFile::encodeName(f).toStdString());
  }
  delete dialog.data();
  return chosen;
}

void ShowMessageBox(const CompletionMessage& message) {
  QMessageBox box(message.warning ? QMessageBox::Warning : QMessageBox::Information, Q(message.title),
                  Q(message.text), QMessageBox::Ok);
  box.setWindowModality(Qt::ApplicationModal);
  box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
  box.exec();
}

void RevealInFileManager(const std::string& folder) {
  QDesktopServices::openUrl(QUrl::fromLocalFile(QFile::decodeName(QByteArray::fromStdString(folder))));
}

}  // namespace

std::vector<std::string> PhotoDialogFilters() {
  return {
      "所有支持文件 (*.bmp *.jpg *.jpeg *.jpe *.gif *.ico *.cur *.png *.pcx)",
      "BMP图片 (*.bmp)",
      "JPG图片 (*.jpg *.jpeg *.jpe)",
      "GIF图片 (*.gif)",
      "PNG图片 (*.png)",
      "图标(ICO) (*.ico)",
      "鼠标指针(CUR) (*.cur)",
      "全部文件 (*)",
  };
}

DesktopHooks DefaultDesktopHooks() {
  DesktopHooks hooks;
  hooks.chooseFiles = ChooseWithDialog;
  hooks.revealFolder = RevealInFileManager;
  hooks.showMessage = ShowMessageBox;
  hooks.openLink = [](const std::string& address) { OpenAddress(Utf8ToGbk(address)); };
  return hooks;
}

}  // namespace trimbrel
