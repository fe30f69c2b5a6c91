// Dialog-unit conversion, rounded like the Windows dialog manager's MulDiv.
#include "DialogUnits.h"

#include <QFontMetrics>

namespace orlup {

namespace {

// Template coordinates are never negative, so rounding half up is MulDiv's half away from zero.
int MulDiv(int value, int numerator, int denominator) {
    return (value * numerator + denominator / 2) / denominator;
}

}  // namespace

DialogUnits::DialogUnits(const QFont& font)
    : DialogUnits(QFontMetrics(font).averageCharWidth(), QFontMetrics(font).height()) {}

DialogUnits::DialogUnits(int charWidth, int charHeight)
    : charWidth_(charWidth), charHeight_(charHeight) {}

int DialogUnits::X(int units) const { return MulDiv(units, charWidth_, 4); }

int DialogUnits::Y(int units) const { return MulDiv(units, charHeight_, 8); }

QRect DialogUnits::ToPixels(int x, int y, int width, int height) const {
    return QRect(X(x), Y(y), X(width), Y(height));
}

QSize DialogUnits::ToPixels(int width, int height) const { return QSize(X(width), Y(height)); }

}  // namespace orlup
