#pragma once
// Pictures of a window as the window system draws it: the pixels, for
// colour checks, and a BMP file written into the build tree.

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

struct Picture {
  int width = 0, height = 0;
  std::vector<COLORREF> pixels;  // rows from the top
  COLORREF At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
  // How many pixels of the rectangle (window coordinates) have `colour`.
  int Count(const RECT& area, COLORREF colour) const;
};

// The whole window, frame included, drawn afresh.
Picture Capture(HWND window);
// `name`.bmp in the screenshot folder; false when it can't be written.
bool SaveScreenshot(const Picture& picture, const std::string& name);
// Where a control lies in its top-level window's picture.
RECT AreaInPicture(HWND control);
