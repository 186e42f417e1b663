#include "frontends/qt/programs/WindowProgram.h"

#include <QMessageLogContext>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "frontends/qt/QtDialogView.h"
#include "frontends/qt/QtWindow.h"
#include "frontends/qt/SignalWatch.h"
#include "platform/Platform.h"
#include "ui/ZarnetApp.h"
#include "ui/ZarnetDlg.h"

namespace {

// While the application object is being made: the toolkit's messages wait
// here, and a fatal one (no platform to show windows on) ends the program
// with one line of our own instead.
struct Opening {
  const char* program = "";
  const char* hint = "";
  QtMessageHandler previous = nullptr;
  std::vector<std::pair<QtMsgType, QString>> held;
};
Opening g_opening;

void HoldMessage(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (type == QtFatalMsg) {
    std::fprintf(stderr, "%s: no display to open the window on; %s\n", g_opening.program, g_opening.hint);
    std::fflush(stderr);
    std::_Exit(kExitUsage);
  }
  g_opening.held.emplace_back(type, message);
}

// The full path, as the file dialog hands it back. Only "." steps are left
// out: taking ".." away by hand could name another file behind a link.
std::string FromCurrentDirectory(const std::string& file) {
  const std::filesystem::path given(file);
  std::filesystem::path full = given.is_absolute()
                                   ? std::filesystem::path()
                                   : std::filesystem::path(platform::Current().files->CurrentDirectory());
  for (const std::filesystem::path& step : given)
    if (step != ".") full /= step;
  return full.string();
}

}  // namespace

std::unique_ptr<QApplication> OpenApplication(const char* program, const char* hint) {
  g_opening.program = program;
  g_opening.hint = hint;
  g_opening.previous = qInstallMessageHandler(HoldMessage);
  // The application keeps its arguments; its name is the program's.
  static std::string name;
  name = program;
  static int argc = 1;
  static char* argv[] = {name.data(), nullptr};
  auto application = std::make_unique<QApplication>(argc, argv);
  qInstallMessageHandler(g_opening.previous);
  for (const auto& [type, message] : std::exchange(g_opening.held, {}))
    if (g_opening.previous) g_opening.previous(type, QMessageLogContext(), message);
  return application;
}

void TakeDroppedFiles(frontends::qt::QtDialogView& view, CZarnetDlg& dlg) {
  view.AcceptFileDrops([&dlg] { return !dlg.IsBusy(); });
}

int RunZarnetWindow(const WindowStart& start) {
  frontends::qt::QtWindow window;
  frontends::qt::QtDialogView view(window);
  CZarnetApp app;
  const auto runModal = [&](CZarnetDlg& dlg) {
    TakeDroppedFiles(view, dlg);
    if (start.file) view.ChooseFile(FromCurrentDirectory(*start.file));
    if (start.signalWatch) start.signalWatch->OnSignal([&view] { view.EndNow(); });
    view.RunModal();
    if (start.signalWatch) start.signalWatch->OnSignal(nullptr);
    // The download thread is stuck in its driver and still uses the dialog:
    // nothing of the program may be torn down under it.
    if (dlg.Abandoned()) std::_Exit(kExitAbandoned);
  };
  return app.InitInstance(view, window, runModal, !start.file);
}
