// Pictures of the window as the operator sees it: ready, in the middle of a
// download, and passed; and of the about box. Written into the build tree,
// named after the screen scale they were taken at (100 or 200).

#include <gtest/gtest.h>

#include <QDir>
#include <QPixmap>
#include <cmath>

#include "QtDialogHarness.h"

namespace {

QString ScreenshotFile(const char* state) {
  const int scale = static_cast<int>(std::lround(qApp->devicePixelRatio() * 100));
  QDir().mkpath(QStringLiteral(ZARNET_SCREENSHOT_DIR));
  return QStringLiteral(ZARNET_SCREENSHOT_DIR "/%1-%2.png").arg(QString::fromUtf8(state)).arg(scale);
}

void Save(QWidget* window, const char* state) {
  const QPixmap picture = window->grab();
  EXPECT_EQ(picture.size(), window->size() * picture.devicePixelRatio()) << state;
  EXPECT_TRUE(picture.save(ScreenshotFile(state))) << state;
}

TEST(Screenshots, ReadyRunningAndPassed) {
  QtDialogHarness h;
  h.world.AddCamera();
  h.WriteImage("sample-class8.bin", SampleFor(8, 3, 10000));
  h.Open();
  Save(h.view.Window(), "idle");

  bool taken = false;
  QObject::connect(h.view.ProgressBar(), &QProgressBar::valueChanged, [&](int value) {
    if (taken || value < 8192) return;
    taken = true;
    Save(h.view.Window(), "running");
  });
  h.ClickStartAndWait();
  ASSERT_TRUE(taken);
  ASSERT_EQ(h.Text(IDC_RESULT), "Pass");
  Save(h.view.Window(), "passed");

  h.onBox = [](QDialog& box) {
    box.show();
    QCoreApplication::processEvents();  // lets the notice settle its scroll bars
    Save(&box, "about");
    box.accept();
  };
  h.view.AboutAction()->trigger();
}

}  // namespace
