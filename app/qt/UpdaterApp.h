// The application object: starts the main dialog and ends the program when it closes.
#pragma once

#include <QApplication>

#include "DialogSeams.h"

namespace orlup {

class UpdaterApp : public QApplication {
    Q_OBJECT
public:
    /// Qt reads its own options from the arguments; the program has none of its own.
    UpdaterApp(int& argc, char** argv, const DialogSeams& seams);

    /// Runs the main dialog modally; always false, since nothing follows it.
    bool InitInstance();

private:
    DialogSeams seams_;
};

}  // namespace orlup
