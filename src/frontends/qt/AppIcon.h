#pragma once
// The program's icon (icon resource 128), drawn rather than shipped as a file.

#include <QIcon>

namespace frontends::qt {

QIcon AppIcon();

}  // namespace frontends::qt
