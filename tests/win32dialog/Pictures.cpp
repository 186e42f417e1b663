#include "Pictures.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

int Picture::Count(const RECT& area, COLORREF colour) const {
  int count = 0;
  for (int y = std::max<int>(area.top, 0); y < std::min<int>(area.bottom, height); ++y)
    for (int x = std::max<int>(area.left, 0); x < std::min<int>(area.right, width); ++x)
      if (At(x, y) == colour) ++count;
  return count;
}

Picture Capture(HWND window) {
  ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  RECT frame{};
  ::GetWindowRect(window, &frame);
  Picture picture;
  picture.width = frame.right - frame.left;
  picture.height = frame.bottom - frame.top;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = picture.width;
  info.bmiHeader.biHeight = -picture.height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HDC screen = ::GetDC(nullptr);
  HDC memory = ::CreateCompatibleDC(screen);
  HBITMAP bitmap = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ previous = ::SelectObject(memory, bitmap);
  // The window's own DC holds what it last drew, frame and children
  // included (wine's PrintWindow leaves out both).
  HDC source = ::GetWindowDC(window);
  ::BitBlt(memory, 0, 0, picture.width, picture.height, source, 0, 0, SRCCOPY);
  ::ReleaseDC(window, source);
  ::GdiFlush();
  const auto* quads = static_cast<const uint32_t*>(bits);
  picture.pixels.resize(static_cast<size_t>(picture.width) * picture.height);
  for (size_t i = 0; i < picture.pixels.size(); ++i) {
    const uint32_t q = quads[i];  // 0x00RRGGBB
    picture.pixels[i] = RGB((q >> 16) & 0xFF, (q >> 8) & 0xFF, q & 0xFF);
  }
  ::SelectObject(memory, previous);
  ::DeleteObject(bitmap);
  ::DeleteDC(memory);
  ::ReleaseDC(nullptr, screen);
  return picture;
}

bool SaveScreenshot(const Picture& picture, const std::string& name) {
  const std::filesystem::path folder(ZARNET_SCREENSHOT_DIR);
  std::error_code ignored;
  std::filesystem::create_directories(folder, ignored);
  std::ofstream out(folder / (name + ".bmp"), std::ios::binary);
  const auto rowBytes = static_cast<uint32_t>(picture.width) * 3;
  const uint32_t stride = (rowBytes + 3) & ~3u;
  BITMAPFILEHEADER file{};
  BITMAPINFOHEADER header{};
  file.bfType = 0x4D42;  // "BM"
  file.bfOffBits = sizeof file + sizeof header;
  file.bfSize = file.bfOffBits + stride * static_cast<uint32_t>(picture.height);
  header.biSize = sizeof header;
  header.biWidth = picture.width;
  header.biHeight = picture.height;  // bottom-up, as every reader expects
  header.biPlanes = 1;
  header.biBitCount = 24;
  header.biCompression = BI_RGB;
  out.write(reinterpret_cast<const char*>(&file), sizeof file);
  out.write(reinterpret_cast<const char*>(&header), sizeof header);
  std::vector<char> row(stride, 0);
  for (int y = picture.height - 1; y >= 0; --y) {
    for (int x = 0; x < picture.width; ++x) {
      const COLORREF c = picture.At(x, y);
      row[3 * x] = static_cast<char>(GetBValue(c));
      row[3 * x + 1] = static_cast<char>(GetGValue(c));
      row[3 * x + 2] = static_cast<char>(GetRValue(c));
    }
    out.write(row.data(), stride);
  }
  return static_cast<bool>(out);
}

RECT AreaInPicture(HWND control) {
  RECT area{}, frame{};
  ::GetWindowRect(control, &area);
  ::GetWindowRect(::GetAncestor(control, GA_ROOT), &frame);
  ::OffsetRect(&area, -frame.left, -frame.top);
  return area;
}
