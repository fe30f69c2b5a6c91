// The one message box every message of the program goes through.
#pragma once

#include <QString>

class QWidget;

namespace orlup {

/// The executable's file name without its extension: "orlup".
QString AppCaption();

/// A modal box with the warning icon, the text, one OK button and AppCaption() as caption,
/// owned by the main window or by the modal dialog open above it. Runs a nested event loop,
/// so timer ticks keep arriving, and returns when the box is dismissed.
void ShowAppMessage(QWidget* mainWindow, const QString& text);

}  // namespace orlup
