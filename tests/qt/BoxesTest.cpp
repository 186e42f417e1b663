// The boxes the window opens: the about box from the Help menu, message
// boxes with the application's name and one OK button, and the open-file
// dialog behind the (hidden) Browser command.

#include <gtest/gtest.h>

#include <QFileDialog>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>

#include "QtDialogHarness.h"
#include "ui/AboutDlg.h"

namespace {

std::string NoticeAsShown() {
  std::string text;
  for (const char* line : CAboutDlg::kNotice) text += line;
  // Shown with single line feeds.
  for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at)) text.erase(at, 1);
  return text;
}

TEST(Boxes, TheAboutEntrySitsInTheHelpMenu) {
  QtDialogHarness h;
  h.Open();
  QAction* about = h.view.AboutAction();
  ASSERT_NE(about, nullptr);
  EXPECT_EQ(about->text().toStdString(), "&About Zarnet...");
  auto* bar = h.view.Window()->findChild<QMenuBar*>();
  ASSERT_NE(bar, nullptr);
  ASSERT_EQ(bar->actions().size(), 1);
  EXPECT_EQ(bar->actions()[0]->text().toStdString(), "&Help");
  EXPECT_EQ(bar->actions()[0]->menu()->actions(), QList<QAction*>{about});
}

TEST(Boxes, TheAboutBoxShowsItsNoticeOnceEachTimeItOpens) {
  QtDialogHarness h;
  h.Open();
  h.boxes.clear();
  h.view.AboutAction()->trigger();
  h.view.AboutAction()->trigger();
  ASSERT_EQ(h.boxes.size(), 2u);
  for (const ShownBox& box : h.boxes) {
    EXPECT_EQ(box.caption, "About Zarnet");
    EXPECT_EQ(box.labels, std::vector<std::string>{"Zarnet Version 1.0"});
    EXPECT_EQ(box.buttons, std::vector<std::string>{"OK"});
    EXPECT_EQ(box.text, NoticeAsShown());
    EXPECT_TRUE(box.noticeReadOnly);
  }
  EXPECT_FALSE(h.dlg->Ended());
}

TEST(Boxes, TheAboutBoxRunsModallyAndEscapeEndsIt) {
  QtDialogHarness h;
  h.Open();
  h.view.SetModalHook(nullptr);
  std::string caption;
  QTimer::singleShot(0, [&] {
    QWidget* box = QApplication::activeModalWidget();
    ASSERT_NE(box, nullptr);
    caption = box->windowTitle().toStdString();
    QTest::keyClick(box, Qt::Key_Escape);
  });
  h.view.AboutAction()->trigger();
  EXPECT_EQ(caption, "About Zarnet");
  EXPECT_FALSE(h.dlg->Ended()) << "Escape ended the about box only";
  EXPECT_TRUE(h.view.Window()->isVisible());
}

TEST(Boxes, AMessageBoxRunsModallyWithTheApplicationsNameAndOneOkButton) {
  QtDialogHarness h;
  h.view.SetModalHook(nullptr);
  ShownBox shown;
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    shown = ReadBox(*box);
    box->button(QMessageBox::Ok)->click();
  });
  h.Open();  // no image: its message shows while the dialog initialises
  EXPECT_EQ(shown.caption, "Zarnet");
  EXPECT_EQ(shown.text, "Cannot find any Firmware data");
  EXPECT_EQ(shown.buttons, std::vector<std::string>{"OK"});
  EXPECT_TRUE(h.view.Window()->isVisible()) << "closing the box does not end the program";
}

TEST(Boxes, TheOpenFileDialogOffersTheFirmwareFilterAndANameEndingInAFullStopGetsBin) {
  QtDialogHarness h;
  h.world.AddCamera();
  const std::string image = h.WriteImage("picked.bin", SampleFor(8));
  h.Open();
  QStringList filters;
  h.onBox = [&](QDialog& box) {
    auto& files = static_cast<QFileDialog&>(box);
    filters = files.nameFilters();
    files.selectFile(QString::fromStdString(h.dir.Path().string() + "/picked."));
    static_cast<QDialog&>(files).accept();
  };
  h.dlg->HandleMessage(platform::msg::kCommand, IDC_BTN_BROWSE, 0);
  EXPECT_EQ(filters, QStringList{"Firmware(*.bin)"});
  EXPECT_EQ(h.Text(IDC_EDIT_PATH), image);
  EXPECT_TRUE(h.Enabled(IDC_BTN_START));
}

TEST(Boxes, CancellingTheOpenFileDialogKeepsThePath) {
  QtDialogHarness h;
  const std::string image = h.WriteImage("fw.bin", SampleFor(8));
  h.Open();
  h.onBox = [](QDialog& box) { box.reject(); };
  h.dlg->HandleMessage(platform::msg::kCommand, IDC_BTN_BROWSE, 0);
  EXPECT_EQ(h.Text(IDC_EDIT_PATH), image);
}

TEST(Boxes, FileFiltersAndExtensionOffsets) {
  EXPECT_EQ(frontends::qt::FileDialogFilters("Firmware(*.bin)|*.bin||"), QStringList{"Firmware(*.bin)"});
  EXPECT_EQ(frontends::qt::FileDialogFilters("Images|*.png|All|*.*||"), (QStringList{"Images (*.png)", "All (*.*)"}));
  EXPECT_EQ(frontends::qt::ExtensionOffset("/tmp/fw.bin"), 8);
  EXPECT_EQ(frontends::qt::ExtensionOffset("/tmp/fw."), 0);
  EXPECT_EQ(frontends::qt::ExtensionOffset("/tmp.d/fw"), 9) << "a full stop in a folder's name is no extension";
}

}  // namespace
