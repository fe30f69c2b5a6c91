// Icon 128: the window icon of both dialogs and the picture in the About box.
#pragma once

#include <QIcon>

namespace orlup {

/// The 32 by 32 and 16 by 16 images of the application icon.
QIcon AppIcon();

}  // namespace orlup
