// The window programs as a user meets them: the dialog is served until it
// has ended, an image named on the command line or dropped on the window is
// taken as Browse takes one, the command line is read before any display is
// needed, and the demonstration leaves no scratch folder behind, signals
// included.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QTimer>
#include <QUrl>
#include <csignal>
#include <cstdio>
#include <filesystem>

#include "QtDialogHarness.h"
#include "Version.h"
#include "frontends/qt/programs/WindowProgram.h"
#include "support/RunProcess.h"

namespace {

// What the window showed before Escape ended it, and every message box on
// the way.
struct Served {
  std::string title, status, path;
  bool startEnabled = false;
  std::vector<std::string> messages;
};

// Runs the window program over `files` with one camera; reads the window
// once its loop runs, then presses Escape.
Served ServeWindow(substitute::SubstituteWorld& world, platform::FilesInFolder& files, const WindowStart& start = {}) {
  platform::Platform seams = world.Platform();
  seams.files = &files;
  platform::ScopedPlatform inForce(seams);
  Served served;
  std::function<void()> look = [&] {
    QWidget* window = nullptr;
    for (QWidget* top : QApplication::topLevelWidgets()) {
      if (!top->isVisible()) continue;
      if (auto* box = qobject_cast<QMessageBox*>(top)) {
        served.messages.push_back(box->text().toStdString());
        box->done(QDialog::Accepted);
        QTimer::singleShot(0, look);  // the window comes after the box
        return;
      }
      window = top;
    }
    if (!window) {
      ADD_FAILURE() << "no window shows";
      return;
    }
    served.title = window->windowTitle().toStdString();
    for (QLabel* label : window->findChildren<QLabel*>())
      if (label->text() == "Corvex Camera Connected") served.status = label->text().toStdString();
    served.path = window->findChild<QLineEdit*>()->text().toStdString();
    for (QPushButton* button : window->findChildren<QPushButton*>())
      if (button->text() == "Start") served.startEnabled = button->isEnabled();
    QTest::keyClick(window, Qt::Key_Escape);
  };
  QTimer::singleShot(0, look);
  EXPECT_EQ(RunZarnetWindow(start), 0);
  EXPECT_EQ(world.OpenHandleCount(), 0u) << "the dialog closed its camera on the way out";
  ResetDeviceState();
  return served;
}

TEST(Program, ServesTheWindowUntilEscapeEndsTheDialog) {
  substitute::SubstituteWorld world;
  world.AddCamera();
  TempDir dir;
  dir.Write("fw.bin", SampleFor(8));
  platform::FilesInFolder files(dir.Path().string());
  const Served served = ServeWindow(world, files);
  EXPECT_EQ(served.title, "Zarnet v1.09");
  EXPECT_EQ(served.status, "Corvex Camera Connected");
  EXPECT_EQ(served.path, (dir.Path() / "fw.bin").string());
  EXPECT_TRUE(served.messages.empty());
}

struct FileCase {
  std::string given;   // FILE on the command line; relative to the current directory
  std::string chosen;  // the path the window shows, below the image folder
};

class ProgramFile : public testing::TestWithParam<FileCase> {};

// The current directory holds an image the window refuses: taken as the
// default, it would show its message.
TEST_P(ProgramFile, TakesTheNamedImageAsBrowseTakesItInsteadOfTheDefault) {
  substitute::SubstituteWorld world;
  world.AddCamera();
  TempDir current;
  current.Write("a-default.bin", {1, 2, 3});
  std::filesystem::create_directories(current.Path() / "images");
  current.Write("images/fw.bin", SampleFor(8));
  platform::FilesInFolder files(current.Path().string());
  WindowStart start;
  // A given path that starts with "/" is taken below the current directory, in full.
  start.file = GetParam().given.starts_with("/") ? current.Path().string() + GetParam().given : GetParam().given;
  const Served served = ServeWindow(world, files, start);
  EXPECT_TRUE(served.messages.empty()) << served.messages.front();
  EXPECT_EQ(served.path, (current.Path() / GetParam().chosen).string());
  EXPECT_TRUE(served.startEnabled);
}

INSTANTIATE_TEST_SUITE_P(Files, ProgramFile,
                         testing::Values(FileCase{"images/fw.bin", "images/fw.bin"},
                                         FileCase{"/images/fw.bin", "images/fw.bin"},
                                         // A name typed with a final full stop gets the filter's extension.
                                         FileCase{"images/fw.", "images/fw.bin"},
                                         FileCase{"./images/./fw.bin", "images/fw.bin"},
                                         FileCase{"images/../images/fw.bin", "images/../images/fw.bin"}));

// Drops on the window, as the program wires them.
struct DropCase {
  std::vector<std::string> names;
  bool busyAtDrop = false;
  bool busyWhenChosen = false;  // a download started between the drop and the choice
  bool accepted = false;        // the window takes the drop
  bool taken = false;           // and the dialog the file
};

class ProgramDrop : public testing::TestWithParam<DropCase> {};

TEST_P(ProgramDrop, ADroppedImageIsChosenAsBrowseChoosesItOnlyWhileBrowseCouldBeUsed) {
  const DropCase& c = GetParam();
  QtDialogHarness h;
  h.world.AddCamera();
  const std::string initial = h.WriteImage("fw.bin", SampleFor(8));
  std::filesystem::create_directories(h.dir.Path() / "dropped");
  QList<QUrl> urls;
  for (const std::string& name : c.names)
    urls << QUrl::fromLocalFile(QString::fromStdString(h.WriteImage("dropped/" + name, SampleFor(6, 0))));
  h.Open();
  TakeDroppedFiles(h.view, *h.dlg);
  ASSERT_EQ(h.dlg->m_memClass, 8);

  QMimeData data;
  data.setUrls(urls);
  h.dlg->m_bBusy = c.busyAtDrop ? 1 : 0;
  QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(h.view.Window(), &enter);
  QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(h.view.Window(), &drop);
  h.dlg->m_bBusy = c.busyWhenChosen ? 1 : 0;
  QtDialogHarness::ProcessPending();
  h.dlg->m_bBusy = 0;

  EXPECT_EQ(enter.isAccepted(), c.accepted);
  EXPECT_EQ(drop.isAccepted(), c.accepted);
  EXPECT_EQ(h.Text(IDC_EDIT_PATH), c.taken ? (h.dir.Path() / "dropped" / c.names.front()).string() : initial);
  EXPECT_EQ(h.dlg->m_memClass, c.taken ? 6 : 8);
  EXPECT_TRUE(h.boxes.empty()) << "a refused drop is refused without a word";
}

INSTANTIATE_TEST_SUITE_P(Drops, ProgramDrop,
                         testing::Values(DropCase{{"class6.bin"}, false, false, true, true},
                                         DropCase{{"CLASS6.BIN"}, false, false, true, true},
                                         DropCase{{"class6.bin"}, true, false, false, false},
                                         DropCase{{"class6.bin"}, false, true, true, false},
                                         DropCase{{"class6.img"}, false, false, false, false},
                                         DropCase{{"a.bin", "b.bin"}, false, false, false, false}));

// The programs themselves, run as a user runs them.
struct CommandCase {
  const char* program;
  std::string arguments;
  std::string environment;  // `env` arguments
  int status;
  std::string out;  // the start of standard output
  std::string err;  // all of standard error
};

const std::string kNoDisplay = "-u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM";

class ProgramCommandLine : public testing::TestWithParam<CommandCase> {};

TEST_P(ProgramCommandLine, IsReadBeforeAnyDisplayIsNeeded) {
  const CommandCase& c = GetParam();
  TempDir dir;
  const ProcessResult r = RunProcess("env " + c.environment + " " + ShellQuote(c.program) + " " + c.arguments,
                                     (dir.Path() / "stderr.txt").string());
  EXPECT_EQ(r.status, c.status);
  EXPECT_EQ(r.out.substr(0, c.out.size()), c.out);
  if (c.out.empty()) {
    EXPECT_EQ(r.out, "");
  }
  EXPECT_EQ(r.err, c.err);
}

INSTANTIATE_TEST_SUITE_P(
    Programs, ProgramCommandLine,
    testing::Values(
        CommandCase{ZARNET_WINDOW_PATH, "--help", kNoDisplay, 0, "usage: zarnet [FILE]\n", ""},
        CommandCase{ZARNET_WINDOW_PATH, "--version", kNoDisplay, 0, "zarnet " ZARNET_VERSION "\n", ""},
        CommandCase{ZARNET_WINDOW_PATH, "--bogus", kNoDisplay, 2, "",
                    "zarnet: unknown option --bogus\nsee zarnet --help\n"},
        CommandCase{ZARNET_WINDOW_PATH, "a.bin b.bin", kNoDisplay, 2, "",
                    "zarnet: one image at most; b.bin is a second\nsee zarnet --help\n"},
        CommandCase{ZARNET_WINDOW_PATH, "", kNoDisplay, 2, "",
                    "zarnet: no display to open the window on; use zarnet-cli on a terminal\n"},
        CommandCase{ZARNET_WINDOW_PATH, "fw.bin", "-u WAYLAND_DISPLAY -u QT_QPA_PLATFORM DISPLAY=:nowhere", 2, "",
                    "zarnet: no display to open the window on; use zarnet-cli on a terminal\n"},
        CommandCase{ZARNET_DEMO_WINDOW_PATH, "--help", kNoDisplay, 0, "usage: zarnet-demo-window", ""},
        CommandCase{ZARNET_DEMO_WINDOW_PATH, "--version", kNoDisplay, 0, "zarnet-demo-window " ZARNET_VERSION "\n", ""},
        CommandCase{ZARNET_DEMO_WINDOW_PATH, "--bogus", kNoDisplay, 2, "",
                    "zarnet-demo-window: unknown option --bogus\nsee zarnet-demo-window --help\n"},
        CommandCase{
            ZARNET_DEMO_WINDOW_PATH, "", kNoDisplay, 2, "",
            "zarnet-demo-window: no display to open the window on; use zarnet-cli --simulate on a terminal\n"}));

class DemoSignal : public testing::TestWithParam<int> {};

TEST_P(DemoSignal, EndsTheDemoWindowAndItsScratchFolderGoes) {
  TempDir temp;
  const std::string command = "echo $$; exec env QT_QPA_PLATFORM=offscreen TMPDIR=" + ShellQuote(temp.Path().string()) +
                              " " + ShellQuote(ZARNET_DEMO_WINDOW_PATH) + " 2>&1";
  FILE* child = ::popen(command.c_str(), "r");
  ASSERT_NE(child, nullptr);
  char line[4096];
  ASSERT_NE(std::fgets(line, sizeof line, child), nullptr);
  const pid_t pid = std::stoi(line);
  // The demonstration names its folder once the window serves its events.
  const std::string said = "zarnet-demo-window: current directory ";
  std::string folder;
  while (folder.empty() && std::fgets(line, sizeof line, child)) {
    const std::string text = line;
    if (text.starts_with(said)) folder = text.substr(said.size(), text.find(" (removed") - said.size());
  }
  ASSERT_FALSE(folder.empty()) << "the demonstration did not come up";
  EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(folder) / "sample-class8.bin"));

  ASSERT_EQ(::kill(pid, GetParam()), 0);
  while (std::fgets(line, sizeof line, child)) {
  }
  const int status = ::pclose(child);
  ASSERT_TRUE(WIFEXITED(status)) << "ended by the signal itself, without cleaning up";
  EXPECT_EQ(WEXITSTATUS(status), 128 + GetParam());
  EXPECT_FALSE(std::filesystem::exists(folder));
  for (const auto& entry : std::filesystem::directory_iterator(temp.Path()))
    EXPECT_FALSE(entry.path().filename().string().starts_with("zarnet-demo-")) << entry.path();
}

INSTANTIATE_TEST_SUITE_P(Signals, DemoSignal, testing::Values(SIGINT, SIGTERM, SIGHUP));

}  // namespace
