// What assistive technology hears of the main dialog's controls.
#pragma once

class QProgressBar;
class QWidget;

namespace orlup {

/// Makes every progress bar tell its value as a percentage. Called before the bar exists:
/// Qt keeps the first interface it makes for a widget.
void UsePercentProgress();

/// Names and describes the buttons, the path box and the progress bar.
void DescribeControls(QWidget& dialog);

/// Tells assistive technology each time the bar moves, and only then.
void AnnounceValueChanges(QProgressBar& progress);

}  // namespace orlup
