#pragma once

#include <QIcon>
#include <QPixmap>

// Access to the pictures and texts bundled in the ui resource file. The resource
// lives in a static library, so it is registered explicitly on first use.
void InitUiResources();

// The application icon (32 and 64 pixel variants), resource 128 of the program.
QIcon AppIcon();
// The maker's logo shown in the about box, 126 x 85.
QPixmap MakerLogo();
