#pragma once
// The program's icon (icon resource 128), drawn rather than shipped as a file.

#include <QIcon>

namespace platform::qt {

QIcon AppIcon();

}  // namespace platform::qt
