// Dialog units to pixels, from the average character width and height of the dialog's font.
#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

namespace orlup {

class DialogUnits {
public:
    /// 4 horizontal units per average character width, 8 vertical units per character height.
    explicit DialogUnits(const QFont& font);
    DialogUnits(int charWidth, int charHeight);

    int X(int units) const;
    int Y(int units) const;
    QRect ToPixels(int x, int y, int width, int height) const;
    QSize ToPixels(int width, int height) const;

private:
    int charWidth_;
    int charHeight_;
};

}  // namespace orlup
