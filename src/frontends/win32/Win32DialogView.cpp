#include "frontends/win32/Win32DialogView.h"

#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>
#include <optional>
#include <vector>

#include "frontends/win32/Win32DeviceNotifications.h"
#include "platform/WindowMessages.h"
#include "platform/win32/WideText.h"
#include "ui/Resource.h"

namespace frontends::win32 {

namespace msg = platform::msg;
using platform::win32::Narrow;
using platform::win32::Wide;

namespace {

constexpr int kMainDialogResource = 102;
constexpr int kAboutBoxResource = 100;
constexpr int kIconResource = 128;
// Long enough for any path the system hands back.
constexpr DWORD kLongestPath = 32768;

// The about box's notice control (1008).
class NoticeView final : public platform::IAboutView {
 public:
  explicit NoticeView(HWND edit) : edit_(edit) {}
  void SetReadOnly(bool readOnly) override { ::SendMessageW(edit_, EM_SETREADONLY, readOnly ? TRUE : FALSE, 0); }
  // In the control's own units (UTF-16), as its selection counts.
  int32_t TextLength() override { return ::GetWindowTextLengthW(edit_); }
  void SelectAndScroll(int32_t start, int32_t end) override {
    ::SendMessageW(edit_, EM_SETSEL, static_cast<WPARAM>(start), static_cast<LPARAM>(end));
    ::SendMessageW(edit_, EM_SCROLLCARET, 0, 0);
  }
  void ReplaceSelection(const std::string& text) override {
    const std::wstring wide = Wide(text);
    ::SendMessageW(edit_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(wide.c_str()));
  }

 private:
  HWND edit_;
};

INT_PTR CALLBACK AboutBoxProcedure(HWND box, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    NoticeView notice(::GetDlgItem(box, IDC_EDIT_NOTICE));
    return reinterpret_cast<platform::IAboutDialog*>(lParam)->OnInitDialog(notice) ? TRUE : FALSE;
  }
  // OK, Escape and the close box (which the dialog manager turns into
  // IDCANCEL) end the box.
  if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
    ::EndDialog(box, LOWORD(wParam));
    return TRUE;
  }
  return FALSE;
}

// Messages whose result a dialog procedure returns itself instead of
// leaving it in DWLP_MSGRESULT.
bool ReturnsResultDirectly(UINT message) {
  return (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC) || message == WM_QUERYDRAGICON;
}

INT_PTR CALLBACK MainDialogProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) ::SetWindowLongPtrW(dialog, DWLP_USER, lParam);
  auto* view = reinterpret_cast<Win32DialogView*>(::GetWindowLongPtrW(dialog, DWLP_USER));
  if (!view) return FALSE;  // messages before WM_INITDIALOG
  bool handled = false;
  const intptr_t result = view->HandleWindowMessage(dialog, message, wParam, lParam, &handled);
  if (!handled) return FALSE;
  if (ReturnsResultDirectly(message)) return result;
  ::SetWindowLongPtrW(dialog, DWLP_MSGRESULT, result);
  return TRUE;
}

HICON LoadProgramIcon(HINSTANCE module, int widthMetric, int heightMetric) {
  return static_cast<HICON>(::LoadImageW(module, MAKEINTRESOURCEW(kIconResource), IMAGE_ICON,
                                         ::GetSystemMetrics(widthMetric), ::GetSystemMetrics(heightMetric), 0));
}

}  // namespace

Win32DialogView::Win32DialogView(Win32Window& window, HINSTANCE module, std::string applicationName)
    : window_(window), module_(module), applicationName_(std::move(applicationName)) {
  ::CreateDialogParamW(module_, MAKEINTRESOURCEW(kMainDialogResource), nullptr, MainDialogProcedure,
                       reinterpret_cast<LPARAM>(this));
  window_.Attach(dialog_);
}

Win32DialogView::~Win32DialogView() {
  window_.Attach(nullptr);
  if (dialog_) ::DestroyWindow(dialog_);
  // The controls that used them are gone.
  for (const auto& [id, font] : fonts_) ::DeleteObject(font);
  if (bigIcon_) ::DestroyIcon(bigIcon_);
  if (smallIcon_) ::DestroyIcon(smallIcon_);
}

intptr_t Win32DialogView::HandleWindowMessage(HWND window, uint32_t message, WPARAM wParam, LPARAM lParam,
                                              bool* handled) {
  *handled = true;
  if (message == Win32Window::WakeMessage()) {
    window_.HandlePending();
    return 0;
  }
  switch (message) {
    case WM_INITDIALOG:
      dialog_ = window;
      bigIcon_ = LoadProgramIcon(module_, SM_CXICON, SM_CYICON);
      smallIcon_ = LoadProgramIcon(module_, SM_CXSMICON, SM_CYSMICON);
      ::SendMessageW(dialog_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_));
      ::SendMessageW(dialog_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));
      return TRUE;
    case WM_COMMAND: return window_.Send(msg::kCommand, wParam, lParam);
    case WM_CLOSE: return window_.Send(msg::kClose, 0, 0);
    case WM_SYSCOMMAND:
      // Only the about entry's range is the dialog's; the rest (move, close,
      // ...) takes the system's way.
      if ((wParam & 0xFFF0) != IDM_ABOUTBOX) break;
      return window_.Send(msg::kSysCommand, wParam, lParam);
    case WM_DEVICECHANGE: {
      const std::optional<platform::DeviceBroadcast> device = BroadcastFromMessage(lParam);
      const auto* broadcast = device ? &*device : nullptr;
      return window_.Send(msg::kDeviceChange, wParam, reinterpret_cast<intptr_t>(broadcast));
    }
    case WM_CTLCOLORSTATIC:
      return OnColourQuery(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam), handled);
    case WM_PAINT: *handled = PaintMinimised(); return 0;
    case WM_QUERYDRAGICON: return reinterpret_cast<intptr_t>(bigIcon_);
    default: break;
  }
  *handled = false;
  return 0;
}

intptr_t Win32DialogView::OnColourQuery(HDC dc, HWND control, bool* handled) {
  const auto found = colours_.find(::GetDlgCtrlID(control));
  if (found == colours_.end()) {
    *handled = false;  // the system's colours
    return 0;
  }
  ::SetTextColor(dc, found->second);
  ::SetBkMode(dc, TRANSPARENT);
  return reinterpret_cast<intptr_t>(::GetSysColorBrush(COLOR_BTNFACE));
}

bool Win32DialogView::PaintMinimised() {
  if (!::IsIconic(dialog_)) return false;
  PAINTSTRUCT paint{};
  HDC dc = ::BeginPaint(dialog_, &paint);
  ::SendMessageW(dialog_, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  RECT client{};
  ::GetClientRect(dialog_, &client);
  const int x = (client.right - client.left - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
  const int y = (client.bottom - client.top - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
  ::DrawIcon(dc, x, y, bigIcon_);
  ::EndPaint(dialog_, &paint);
  return true;
}

void Win32DialogView::SetText(int controlId, const std::string& text) {
  ::SetDlgItemTextW(dialog_, controlId, Wide(text).c_str());
  if (controlId == IDC_EDIT_PATH) {
    // A long path shows its end: the file's name, not the folders above it.
    const HWND edit = ::GetDlgItem(dialog_, controlId);
    const int length = ::GetWindowTextLengthW(edit);
    ::SendMessageW(edit, EM_SETSEL, static_cast<WPARAM>(length), static_cast<LPARAM>(length));
    ::SendMessageW(edit, EM_SCROLLCARET, 0, 0);
  }
  Changed(controlId);
}

std::string Win32DialogView::GetText(int controlId) {
  const HWND control = ::GetDlgItem(dialog_, controlId);
  if (!control) return {};
  std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(control)) + 1, L'\0');
  text.resize(::GetDlgItemTextW(dialog_, controlId, text.data(), static_cast<int>(text.size())));
  return Narrow(text);
}

void Win32DialogView::Enable(int controlId, bool enabled) {
  ::EnableWindow(::GetDlgItem(dialog_, controlId), enabled ? TRUE : FALSE);
}

void Win32DialogView::Show(int controlId, bool shown) {
  ::ShowWindow(::GetDlgItem(dialog_, controlId), shown ? SW_SHOW : SW_HIDE);
}

void Win32DialogView::SetProgressRange(int32_t low, int32_t high) {
  ::SendDlgItemMessageW(dialog_, IDC_PROGRESS, PBM_SETRANGE32, static_cast<WPARAM>(low), high);
  Changed(kProgressChange);
}

void Win32DialogView::SetProgressPos(int32_t position) {
  ::SendDlgItemMessageW(dialog_, IDC_PROGRESS, PBM_SETPOS, static_cast<WPARAM>(position), 0);
  Changed(kProgressChange);
}

void Win32DialogView::SetTextColour(int controlId, platform::Rgb colour) {
  const COLORREF wanted = RGB(colour.red, colour.green, colour.blue);
  const auto [place, added] = colours_.try_emplace(controlId, wanted);
  if (!added && place->second == wanted) return;
  place->second = wanted;
  ::InvalidateRect(::GetDlgItem(dialog_, controlId), nullptr, TRUE);
}

void Win32DialogView::SetFont(int controlId, int pixelHeight, int weight) {
  const HWND control = ::GetDlgItem(dialog_, controlId);
  if (!control) return;
  auto current = reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0));
  LOGFONTW logical{};
  ::GetObjectW(current ? current : ::GetStockObject(DEFAULT_GUI_FONT), sizeof logical, &logical);
  logical.lfHeight = -pixelHeight;  // a character height, not a cell height
  logical.lfWeight = weight;
  const HFONT font = ::CreateFontIndirectW(&logical);
  if (!font) return;
  ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  HFONT& kept = fonts_[controlId];
  if (kept) ::DeleteObject(kept);
  kept = font;
}

void Win32DialogView::ShowMessageBox(const std::string& text) {
  ::MessageBoxW(dialog_, Wide(text).c_str(), Wide(applicationName_).c_str(), MB_OK);
}

bool Win32DialogView::AskYesNo(const std::string& text) {
  return ::MessageBoxW(dialog_, Wide(text).c_str(), Wide(applicationName_).c_str(),
                       MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) == IDYES;
}

std::string Win32DialogView::GetTitle() {
  std::wstring title(static_cast<size_t>(::GetWindowTextLengthW(dialog_)) + 1, L'\0');
  title.resize(::GetWindowTextW(dialog_, title.data(), static_cast<int>(title.size())));
  return Narrow(title);
}

void Win32DialogView::SetTitle(const std::string& title) { ::SetWindowTextW(dialog_, Wide(title).c_str()); }

bool Win32DialogView::AddAboutMenuEntry(uint32_t commandId, const std::string& text) {
  const HMENU menu = ::GetSystemMenu(dialog_, FALSE);
  if (!menu || text.empty()) return false;
  ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  return ::AppendMenuW(menu, MF_STRING, commandId, Wide(text).c_str()) != FALSE;
}

void Win32DialogView::RunAboutBox(platform::IAboutDialog& about) {
  ::DialogBoxParamW(module_, MAKEINTRESOURCEW(kAboutBoxResource), dialog_, AboutBoxProcedure,
                    reinterpret_cast<LPARAM>(&about));
}

bool Win32DialogView::RunOpenFileDialog(const platform::OpenFileRequest& request, platform::OpenFileResult* result) {
  // "Name|pattern||" becomes the system's list of NUL-ended strings.
  std::wstring filter = Wide(request.filter);
  std::replace(filter.begin(), filter.end(), L'|', L'\0');
  std::vector<wchar_t> file(kLongestPath, L'\0');
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = dialog_;
  dialog.lpstrFilter = filter.c_str();
  dialog.nFilterIndex = static_cast<DWORD>(request.filterIndex);
  dialog.lpstrFile = file.data();
  dialog.nMaxFile = kLongestPath;
  dialog.Flags = request.flags;
  if (!::GetOpenFileNameW(&dialog)) return false;
  result->path = Narrow(file.data());
  // Counted in UTF-16 units; the logic only asks whether it is 0. A name
  // typed with a final full stop has no extension: Windows reports 0 for
  // it, wine the name's end, which would leave the name without the
  // filter's extension and so name no file.
  const bool endsWithFullStop = !result->path.empty() && result->path.back() == '.';
  result->extensionOffset = endsWithFullStop ? 0 : dialog.nFileExtension;
  result->filterIndex = static_cast<int>(dialog.nFilterIndex);
  return true;
}

void Win32DialogView::CloseDialog() {
  closed_ = true;
  ::ShowWindow(dialog_, SW_HIDE);
}

void Win32DialogView::RunModal() {
  if (!dialog_) return;  // nothing could end the loop
  ::ShowWindow(dialog_, SW_SHOW);
  MSG message{};
  // Keyboard navigation is the dialog manager's: Enter is IDOK, Escape IDCANCEL.
  while (!closed_ && ::GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (::IsDialogMessageW(dialog_, &message)) continue;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
}

std::string ApplicationNameFromPath(const std::string& programPath) {
  const size_t folderEnd = programPath.find_last_of("\\/");
  std::string name = folderEnd == std::string::npos ? programPath : programPath.substr(folderEnd + 1);
  const size_t extension = name.rfind('.');
  if (extension != std::string::npos && extension > 0) name.resize(extension);
  return name;
}

std::string ProgramApplicationName() {
  std::wstring path(kLongestPath, L'\0');
  path.resize(::GetModuleFileNameW(nullptr, path.data(), kLongestPath));
  return ApplicationNameFromPath(Narrow(path));
}

}  // namespace frontends::win32
