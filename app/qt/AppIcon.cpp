// Loads the application icon from the resources compiled into the UI library.
#include "AppIcon.h"

#include <QtGlobal>

// The resource file lives in a static library, whose initialiser the linker would drop.
static void InitIconResources() { Q_INIT_RESOURCE(orlup); }

namespace orlup {

QIcon AppIcon() {
    InitIconResources();
    QIcon icon;
    icon.addFile(QStringLiteral(":/orlup/orlup-32.png"), QSize(32, 32));
    icon.addFile(QStringLiteral(":/orlup/orlup-16.png"), QSize(16, 16));
    return icon;
}

}  // namespace orlup
