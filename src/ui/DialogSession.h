#pragma once
// The main dialog's running life: while a session lives, the dialog is the
// one that progress reports go to. The session initialises the dialog when
// it begins and destroys it (the window's side: notifications, download
// thread, camera) when it ends, however it ends.

class CZarnetDlg;

class DialogSession {
 public:
  // Without the default firmware the caller chooses the image itself, as the
  // command-line tool does.
  explicit DialogSession(CZarnetDlg& dlg, bool takeDefaultFirmware = true);
  ~DialogSession();
  DialogSession(const DialogSession&) = delete;
  DialogSession& operator=(const DialogSession&) = delete;

 private:
  CZarnetDlg& m_dlg;
};
