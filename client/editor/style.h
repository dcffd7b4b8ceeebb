#pragma once

#include <QColor>

// The colours editor objects are painted with; one set for the whole process.
class Style {
public:
    static Style &instance();

    QColor textColor = QColor(0, 0, 0, 255);
    QColor boldColor = QColor(0, 0, 0, 255);
    QColor italicColor = QColor(0, 0, 0, 255);
    QColor strikeOutColor;
    QColor singleUnderlineColor;
    QColor waveUnderlineColor;
    QColor underPointColor;

    // An unset colour paints black.
    static QColor painted(const QColor &color) {
        return color.isValid() ? color : QColor(Qt::black);
    }

private:
    Style() = default;
};
