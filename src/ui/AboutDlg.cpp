#include "ui/AboutDlg.h"

const char* const CAboutDlg::kNotice[4] = {
    "Zarnet writes firmware into the memory of USB Video Class cameras.\r\n",
    "Use only an image made for your camera: a wrong image can leave it unusable.\r\n",
    "Keep the camera plugged in until the result reads Pass or FAIL.\r\n",
    "This program is provided as is, without warranty of any kind.",
};

bool CAboutDlg::OnInitDialog(platform::IAboutView& notice) {
  notice.SetReadOnly(true);
  notice.SelectAndScroll(0, notice.TextLength());
  // Each line lands at the caret the previous one left.
  for (const char* line : kNotice) notice.ReplaceSelection(line);
  return true;
}
