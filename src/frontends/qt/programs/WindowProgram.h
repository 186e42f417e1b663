#pragma once
// The main dialog in a Qt window: what the program and the demonstration
// launcher share.

#include <QApplication>
#include <memory>
#include <optional>
#include <string>

class CZarnetDlg;

namespace frontends::qt {
class QtDialogView;
class SignalWatch;
}  // namespace frontends::qt

// What a program usage error and a missing display end with.
constexpr int kExitUsage = 2;
// The window closed on a download stuck in its driver.
constexpr int kExitAbandoned = 1;

// Makes the application object for a program that has read its own command
// line (Qt is given none of it). Without a display to open a window on, it
// says so in one line on standard error, with `hint` after it, and ends the
// program with status 2 instead of the toolkit's abort.
std::unique_ptr<QApplication> OpenApplication(const char* program, const char* hint);

struct WindowStart {
  // The image, taken as Browse takes a chosen file, instead of the first
  // *.bin of the current directory; a relative path is taken from the
  // current directory.
  std::optional<std::string> file;
  // When set, a signal it reports ends the window.
  frontends::qt::SignalWatch* signalWatch = nullptr;
};

// Runs the dialog until it has ended; returns the program's exit code.
// Needs the application object and the platform installed.
int RunZarnetWindow(const WindowStart& start = {});

// Files dropped on the window are chosen as Browse chooses a file, while
// Browse could be used: not while a download runs.
void TakeDroppedFiles(frontends::qt::QtDialogView& view, CZarnetDlg& dlg);
