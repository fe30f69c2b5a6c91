// The application object: starts the main dialog and ends the program when it closes.
#pragma once

#include <QApplication>
#include <QString>

#include "DialogSeams.h"

namespace orlup {

class UpdaterApp : public QApplication {
    Q_OBJECT
public:
    /// Takes Qt's own options out of the arguments; needs a display.
    UpdaterApp(int& argc, char** argv);

    /// Runs the main dialog, with imagePath in its path box; always false, since nothing
    /// follows it. Static: it needs nothing of the application object but its existence.
    static bool InitInstance(const DialogSeams& seams, const QString& imagePath);
};

}  // namespace orlup
