#include "desktop/main_controller.hpp"

#include <QCoreApplication>
#include <QDir>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include "desktop/addresses.hpp"
#include "desktop/main_window.hpp"
#include "desktop/persist_controls.hpp"
#include "desktop/tip_window.hpp"
#include "platform/platform.hpp"

namespace trimbrel {

namespace {

namespace id = main_id;

std::uint32_t ButtonFace(const QWidget* window) {
  const QColor c = window->palette().color(QPalette::Button);
  return static_cast<std::uint32_t>(c.red()) | static_cast<std::uint32_t>(c.green()) << 8 |
         static_cast<std::uint32_t>(c.blue()) << 16;
}

}  // namespace

std::vector<std::string> SplitPathList(const std::string& text) {
  std::vector<std::string> pieces;
  std::size_t from = 0;
  while (from < text.size()) {
    const std::size_t at = text.find("\r\n", from);
    if (at == std::string::npos) {
      pieces.push_back(text.substr(from));
      break;
    }
    pieces.push_back(text.substr(from, at - from));
    from = at + 2;
  }
  return pieces;
}

MainController::MainController(ConfigModule& config, DesktopHooks hooks)
    : config_(config),
      hooks_(std::move(hooks)),
      run_(WindowRun::Callbacks{
          [this](int total, int index, const std::string& name) { onPhotoStarted(total, index, name); },
          [this](const BatchReport& report) { onRunFinished(report); }}) {}

MainController::~MainController() = default;

WindowHandle MainController::open() {
  MainWindowHandlers h;
  h.created = [this](WindowHandle w) { onCreated(w); };
  h.closeQuery = [this](WindowHandle w) { return onCloseQuery(w); };
  h.runClicked = [this](WindowHandle) { onRunClicked(); };
  h.unitChosen = [this](WindowHandle) { applyUnitState(); };
  h.filesDropped = [this](WindowHandle, const std::string& paths) { onFilesDropped(paths); };
  h.brandTick = [this](WindowHandle) { bounceBrandPicture(); };
  h.tipClicked = [this](WindowHandle) { openTipWindow(); };
  h.contactClicked = [this](WindowHandle) {
    hooks_.openLink(GbkToUtf8(ReadText(main_, id::kContactLink, prop::kLinkAddress)));
  };
  h.homeClicked = [this](WindowHandle) {
    hooks_.openLink(GbkToUtf8(ReadText(main_, id::kHomeLink, prop::kLinkAddress)));
  };
  h.brandClicked = [this](WindowHandle) { hooks_.openLink(kMakerHomePage); };
  h.brandRightPressed = [this](WindowHandle) { stopBrandPicture(); };
  const WindowHandle window = loadWindow(MainWindowDef(h));
  if (window == 0) return 0;
  main_ = window;
  return window;
}

void MainController::onCreated(WindowHandle window) {
  main_ = window;
  persistControls(config_, window, /*restore=*/true, Utf8ToGbk(kMainSection));
  applyUnitState();
  registerDropTarget({window, id::kDropTarget}, window);
}

bool MainController::onCloseQuery(WindowHandle) {
  if (run_.running()) {
    // The photos in progress finish whole; the window then saves and closes.
    closeAfterRun_ = true;
    run_.requestStop();
    return false;
  }
  // The save lets pending events run; a drop or a click among them must not
  // start a run in a window that is closing.
  closing_ = true;
  save();
  return true;
}

void MainController::save() { persistControls(config_, main_, /*restore=*/false, Utf8ToGbk(kMainSection)); }

void MainController::requestQuit() {
  if (IsWindowLoaded(main_)) RequestClose(main_);
}

void MainController::applyUnitState() {
  const bool pixels = FromSelectionIndex<Unit>(ReadInt(main_, id::kUnit, prop::kComboCurrent)) == Unit::Pixel;
  writeProperty(main_, id::kDpi, prop::kDisabled, std::int32_t{pixels ? 1 : 0});
}

void MainController::onRunClicked() { runPhotos({}); }

void MainController::onFilesDropped(const std::string& droppedPaths) { runDroppedPhotos(SplitPathList(droppedPaths)); }

void MainController::runDroppedPhotos(std::vector<std::string> photos) {
  // The drag finishes and the window repaints before the run starts.
  QCoreApplication::processEvents();
  if (!IsWindowLoaded(main_)) return;
  runPhotos(std::move(photos));
}

void MainController::runPhotosOnceShown(std::vector<std::string> photos) {
  if (photos.empty() || !IsWindowLoaded(main_)) return;
  // Queued on the window, so a window deleted before the loop runs takes
  // the run with it.
  QTimer::singleShot(0, WidgetOfWindow(main_), [this, photos = std::move(photos)]() mutable {
    runDroppedPhotos(std::move(photos));
  });
}

TrimSettings MainController::readInputs() const {
  TrimSettings s;
  s.widthText = ReadText(main_, id::kWidth, prop::kEditContent);
  s.heightText = ReadText(main_, id::kHeight, prop::kEditContent);
  s.dpiText = ReadText(main_, id::kDpi, prop::kEditContent);
  s.unit = FromSelectionIndex<Unit>(ReadInt(main_, id::kUnit, prop::kComboCurrent));
  s.basis = FromSelectionIndex<FitBasis>(ReadInt(main_, id::kBasis, prop::kComboCurrent));
  s.format = FromSelectionIndex<OutputFormat>(ReadInt(main_, id::kFormat, prop::kComboCurrent));
  return s;
}

void MainController::runPhotos(std::vector<std::string> photos) {
  if (run_.running() || closing_ || !IsWindowLoaded(main_)) return;
  if (photos.empty()) {
    const std::string start = lastFolder_.empty() ? QDir::currentPath().toStdString() : lastFolder_;
    photos = hooks_.chooseFiles(WidgetOfWindow(main_), start);
    if (!IsWindowLoaded(main_) || photos.empty()) return;  // cancelled: nothing written, nothing said
    lastFolder_ = DirectoryOf(photos.front());
  }
  // The results go beside the first entry that names a folder; with none,
  // "/修剪结果/" would be a guess, so nothing is written.
  std::string anchor;
  for (const std::string& p : photos) {
    if (!DirectoryOf(p).empty()) {
      anchor = p;
      break;
    }
  }
  if (anchor.empty()) {
    hooks_.showMessage(ComposeRefusal("这些项目都不在某个文件夹里，修剪结果无处存放，什么也没有写出。"));
    return;
  }
  BatchOptions options;
  options.jobs = 0;  // by processors and memory, as on the command line
  options.outputFolder = ResultsFolderFor(anchor);
  QWidget* window = WidgetOfWindow(main_);
  options.bandColour = ButtonFace(window);
  if (const QScreen* screen = window->screen()) options.displayDepth = screen->depth();
  run_.start(std::move(photos), readInputs(), options);
}

void MainController::onPhotoStarted(int total, int index, const std::string& fileName) {
  if (IsWindowLoaded(main_)) setRunCaption(ProgressCaption(total, index, fileName));
}

void MainController::setRunCaption(const std::string& utf8Caption) {
  writeProperty(main_, id::kRunButton, prop::kButtonCaption, Utf8ToGbk(utf8Caption));
}

void MainController::onRunFinished(const BatchReport& report) {
  if (!IsWindowLoaded(main_)) return;
  if (closeAfterRun_) {
    RequestClose(main_);  // with no run going on, the close query saves and the window closes
    return;
  }
  if (!report.refusal.empty()) {
    hooks_.showMessage(ComposeRefusal("修剪后的尺寸无法制作（" + report.refusal + "）"));
    return;
  }
  if (IsDirectory(report.folder)) hooks_.revealFolder(report.folder);
  hooks_.showMessage(ComposeCompletion(report));
  if (IsWindowLoaded(main_)) setRunCaption(kRunCaption);
}

void MainController::openTipWindow() {
  if (IsWindowLoaded(tip_)) {
    QWidget* tip = WidgetOfWindow(tip_);
    if (tip->isMinimized()) tip->showNormal();
    tip->raise();
    tip->activateWindow();
    return;
  }
  tip_ = loadWindow(TipWindowDef(), main_);
}

// The brand picture travels between the home-page picture and the tip
// button, one pixel a tick, keeping 20 pixels from each.
void MainController::bounceBrandPicture() {
  int left = ReadInt(main_, id::kBrandPicture, prop::kLeft);
  if (brandMovesLeft_) {
    --left;
    writeProperty(main_, id::kBrandPicture, prop::kLeft, std::int32_t{left});
    const int homeRight = ReadInt(main_, id::kHomePicture, prop::kLeft) + ReadInt(main_, id::kHomePicture, prop::kWidth);
    if (left < homeRight + 20) brandMovesLeft_ = false;
  } else {
    ++left;
    writeProperty(main_, id::kBrandPicture, prop::kLeft, std::int32_t{left});
    const int right = left + ReadInt(main_, id::kBrandPicture, prop::kWidth);
    if (right > ReadInt(main_, id::kTipButton, prop::kLeft) - 20) brandMovesLeft_ = true;
  }
}

void MainController::stopBrandPicture() { writeProperty(main_, id::kBrandTimer, prop::kTimerInterval, std::int32_t{0}); }

}  // namespace trimbrel
