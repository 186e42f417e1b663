// The window program's own loop: the dialog is served until it has ended,
// and the program's code is 0 then.

#include <gtest/gtest.h>

#include <QTimer>

#include "QtDialogHarness.h"
#include "frontends/qt/programs/WindowProgram.h"

namespace {

TEST(Program, ServesTheWindowUntilEscapeEndsTheDialog) {
  substitute::SubstituteWorld world;
  world.AddCamera();
  TempDir dir;
  dir.Write("fw.bin", SampleFor(8));
  platform::FilesInFolder files(dir.Path().string());
  platform::Platform seams = world.Platform();
  seams.files = &files;
  platform::ScopedPlatform inForce(seams);

  std::string title, status;
  QTimer::singleShot(0, [&] {
    QWidget* window = nullptr;
    for (QWidget* top : QApplication::topLevelWidgets())
      if (top->isVisible()) window = top;
    if (!window) {
      ADD_FAILURE() << "no window shows";
      QCoreApplication::exit();  // ends the program's loop all the same
      return;
    }
    title = window->windowTitle().toStdString();
    for (QLabel* label : window->findChildren<QLabel*>())
      if (label->text() == "Corvex Camera Connected") status = label->text().toStdString();
    QTest::keyClick(window, Qt::Key_Escape);
  });
  EXPECT_EQ(RunZarnetWindow(), 0);
  EXPECT_EQ(title, "Zarnet v1.09");
  EXPECT_EQ(status, "Corvex Camera Connected");
  EXPECT_EQ(world.OpenHandleCount(), 0u) << "the dialog closed its camera on the way out";
  ResetDeviceState();
}

}  // namespace
