// The window as the operator sees it before any download: what the dialog
// pushes shows on the right controls, the layout holds the dialog's texts,
// and Enter, Escape and the close box go to the dialog.

#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QLineEdit>

#include "QtDialogHarness.h"
#include "frontends/qt/DialogUnits.h"

namespace {

const QColor kRed(255, 0, 0);

TEST(WindowState, WithoutCameraNothingCanStart) {
  QtDialogHarness h;
  h.Open();
  EXPECT_EQ(h.view.Window()->windowTitle().toStdString(), "Zarnet v1.09");
  EXPECT_EQ(h.Text(IDC_STATUS), "No Corvex Camera");
  EXPECT_EQ(h.Text(IDC_VERSION), "Ver: N/A");
  EXPECT_EQ(h.Text(IDC_RESULT), "N/A");
  EXPECT_EQ(h.Text(IDC_EDIT_PATH), "");
  EXPECT_EQ(h.Text(IDC_STATUS_LABEL), "Status:");
  EXPECT_FALSE(h.Enabled(IDC_BTN_START));
  EXPECT_FALSE(h.Enabled(IDC_BTN_GET_VERSION));
  EXPECT_FALSE(h.Enabled(IDC_VERSION)) << "the version line is greyed";
  EXPECT_FALSE(h.view.Control(IDC_BTN_BROWSE)->isVisible());
  EXPECT_FALSE(h.Enabled(IDC_BTN_BROWSE));
  EXPECT_EQ(h.TextColour(IDC_RESULT), kRed);
  const QFont result = h.Label(IDC_RESULT)->font();
  EXPECT_EQ(result.pixelSize(), 24);
  EXPECT_EQ(result.weight(), QFont::Bold);
  EXPECT_FALSE(h.view.Window()->windowIcon().isNull());

  ASSERT_EQ(h.boxes.size(), 1u);
  EXPECT_EQ(h.boxes[0].caption, "Zarnet");
  EXPECT_EQ(h.boxes[0].text, "Cannot find any Firmware data");
  EXPECT_EQ(h.boxes[0].buttons, std::vector<std::string>{"OK"});
}

TEST(WindowState, ConnectedCameraWithAcceptedImageIsReady) {
  QtDialogHarness h;
  h.world.AddCamera();
  const std::string path = h.WriteImage("fw.bin", SampleFor(8));
  h.Open();
  EXPECT_EQ(h.Text(IDC_STATUS), "Corvex Camera Connected");
  EXPECT_EQ(h.Text(IDC_VERSION), "Ver: 21-0615-0042");
  EXPECT_EQ(h.Text(IDC_EDIT_PATH), path);
  EXPECT_TRUE(h.Enabled(IDC_BTN_START));
  EXPECT_TRUE(h.Enabled(IDC_BTN_GET_VERSION));
  EXPECT_TRUE(h.Enabled(IDC_VERSION));
  EXPECT_TRUE(h.boxes.empty());
  auto* edit = qobject_cast<QLineEdit*>(h.view.Control(IDC_EDIT_PATH));
  EXPECT_TRUE(edit->isReadOnly());
  EXPECT_EQ(edit->cursorPosition(), edit->text().size()) << "a long path shows its file name";
}

TEST(WindowState, StartStaysDisabledWithoutAnAcceptedImageAndItsClickDoesNothing) {
  QtDialogHarness h;
  h.world.AddCamera();
  h.WriteImage("broken.bin", std::vector<uint8_t>(300, 0));
  h.Open();
  EXPECT_EQ(h.MessageTexts(), std::vector<std::string>{"FW Data Error\n"});
  EXPECT_FALSE(h.Enabled(IDC_BTN_START));
  EXPECT_TRUE(h.Enabled(IDC_BTN_GET_VERSION));
  h.Click(IDC_BTN_START);
  EXPECT_EQ(h.dlg->m_bBusy, 0);
  EXPECT_EQ(h.Text(IDC_RESULT), "N/A");
}

TEST(WindowState, EveryControlLiesInsideTheWindowWithoutOverlap) {
  QtDialogHarness h;
  h.Open();
  const DialogTemplate& dialog = MainDialogTemplate();
  const QRect client = h.view.Control(IDC_EDIT_PATH)->parentWidget()->rect();
  for (const auto& a : dialog.controls) {
    const QRect ra = h.view.Control(a.id)->geometry();
    EXPECT_TRUE(client.contains(ra)) << a.id;
    for (const auto& b : dialog.controls) {
      if (a.id >= b.id) continue;
      EXPECT_FALSE(ra.intersects(h.view.Control(b.id)->geometry())) << a.id << " and " << b.id;
    }
  }
}

// A text is cut off when it is wider than its control.
bool Fits(QWidget* control, const QString& text, int margin = 0) {
  return QFontMetrics(control->font()).horizontalAdvance(text) + margin <= control->width();
}

TEST(WindowState, TheDialogsLongestTextsFitTheirControls) {
  QtDialogHarness h;
  h.Open();
  for (const char* result : {"Pass", "FAIL", "N/A"}) EXPECT_TRUE(Fits(h.view.Control(IDC_RESULT), result)) << result;
  for (const char* status : {"Corvex Camera Connected", "Writing firmware ... 0xF000", "Verify firmware ... 0xF000",
                             "Reset to updated code ...", "Firmware update finished", "Reopen Camera Failed"})
    EXPECT_TRUE(Fits(h.view.Control(IDC_STATUS), status)) << status;
  EXPECT_TRUE(Fits(h.view.Control(IDC_STATUS_LABEL), "Status:"));
  EXPECT_TRUE(Fits(h.view.Control(IDC_VERSION), "Ver: 21-0615-0042"));
  for (int button : {IDC_BTN_START, IDC_BTN_GET_VERSION})
    EXPECT_TRUE(Fits(h.view.Control(button), h.Button(button)->text(), 8)) << button;
}

TEST(WindowState, TheBarTakesARangeBeyondSixteenBitsAndHoldsPositionsInsideIt) {
  QtDialogHarness h;
  h.Open();
  QProgressBar* bar = h.view.ProgressBar();
  h.window.Send(WM_DL_RANGE, 70000, 0);
  EXPECT_EQ(bar->minimum(), 0);
  EXPECT_EQ(bar->maximum(), 70000);
  h.window.Send(WM_DL_PROGRESS, 69999, 0);
  EXPECT_EQ(bar->value(), 69999);
  h.window.Send(platform::msg::kProgressSetPos, 90000, 0);
  EXPECT_EQ(bar->value(), 70000) << "a position past the end fills the bar";
  h.window.Send(WM_DL_RANGE, 1000, 0);
  EXPECT_EQ(bar->value(), 1000) << "a narrower range keeps the bar full";
  h.window.Send(WM_DL_RANGE, 0, 0);
  EXPECT_GT(bar->maximum(), bar->minimum()) << "an empty range is an empty bar, not a busy one";
  EXPECT_EQ(bar->value(), 0);
}

TEST(WindowState, EnterDoesNothingAndEscapeEndsTheIdleDialog) {
  QtDialogHarness h;
  h.world.AddCamera();
  h.WriteImage("fw.bin", SampleFor(8));
  h.Open();
  h.Button(IDC_BTN_START)->setFocus();
  QTest::keyClick(h.view.Window(), Qt::Key_Return);
  QTest::keyClick(h.Button(IDC_BTN_START), Qt::Key_Enter);
  EXPECT_EQ(h.dlg->m_bBusy, 0) << "Enter never presses Start";
  EXPECT_FALSE(h.dlg->Ended());
  EXPECT_TRUE(h.view.Window()->isVisible());

  QTest::keyClick(h.view.Window(), Qt::Key_Escape);
  EXPECT_TRUE(h.dlg->Ended());
  EXPECT_TRUE(h.view.Closed());
  EXPECT_FALSE(h.view.Window()->isVisible());
}

TEST(WindowState, TheCloseBoxEndsTheIdleDialog) {
  QtDialogHarness h;
  h.Open();
  h.view.Window()->close();
  EXPECT_TRUE(h.dlg->Ended());
  EXPECT_FALSE(h.view.Window()->isVisible());
  h.view.RunModal();  // an ended dialog is not served again
}

}  // namespace
