// A file name is bytes, not text: the window shows a name that is not UTF-8
// as best it can, and the path still reaches the file system unchanged.

#include <gtest/gtest.h>

#include "QtDialogHarness.h"

namespace {

TEST(FileNameBytes, ADefaultImageWhoseNameIsNotUtf8IsDownloadedFromThatFile) {
  QtDialogHarness h;
  const auto cam = h.world.AddCamera();
  const auto image = SampleFor(8, 3, 4096);
  const std::string path = h.WriteImage("fw\xFF.bin", image);
  h.Open();
  ASSERT_TRUE(h.boxes.empty()) << h.MessageTexts().front();
  EXPECT_EQ(h.Text(IDC_EDIT_PATH), path);
  ASSERT_TRUE(h.Enabled(IDC_BTN_START));

  h.ClickStartAndWait();

  EXPECT_TRUE(h.boxes.empty()) << h.MessageTexts().front();
  EXPECT_EQ(h.Text(IDC_RESULT), "Pass");
  EXPECT_EQ(h.dlg->m_strPath, path);
  const auto memory = h.world.Memory(cam);
  EXPECT_EQ(std::vector<uint8_t>(memory.begin(), memory.begin() + 4096), image);
}

}  // namespace
