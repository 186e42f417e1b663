#pragma once
// The about box: the program's name and version, and a fixed notice.

#include "platform/DialogView.h"

class CAboutDlg final : public platform::IAboutDialog {
 public:
  static constexpr const char* kCaption = "About Zarnet";
  static constexpr const char* kVersionText = "Zarnet Version 1.0";
  // Four lines; the first three end with a line break, the last has none.
  static const char* const kNotice[4];

  bool OnInitDialog(platform::IAboutView& notice) override;
};
