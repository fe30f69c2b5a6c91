// System error descriptions from the Windows message table.
#pragma once

namespace orlup {

/// From now on, the system's descriptions come without the line breaks Windows puts in and
/// after them: a console program tells each message on a line of its own, where the dialog's
/// boxes show the code in parentheses on a line below.
void KeepErrorTextsOnOneLine();

}  // namespace orlup
