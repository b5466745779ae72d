#pragma once
// The application's style: the desktop's own, except that under Fusion two
// things it repaints after every search are drawn with plain fills.
// - A scroll bar, in flat colours of the palette instead of Fusion's
//   gradients: Qt's raster engine splits every gradient fill taller than 96
//   lines over the global thread pool, so each scroll bar repaint woke two
//   threads and waited for them a dozen times. It looks the same at a
//   glance, in the light and the dark palette.
// - A plain frame (the memo's, the grid's), pixel for pixel as Fusion draws
//   it: Fusion strokes it with a non-cosmetic pen, which the raster engine
//   turns into a path the size of the frame, a fifth of a search's own work.

#include <QProxyStyle>

namespace toolkit {

class TFlatStyle : public QProxyStyle {
public:
    // BaseStyleName: the style Qt picked for the desktop (or -style), which
    // this one wraps and otherwise leaves alone.
    explicit TFlatStyle(const QString& BaseStyleName);

    void drawComplexControl(ComplexControl Control, const QStyleOptionComplex* Option, QPainter* Painter,
                            const QWidget* Widget = nullptr) const override;
    void drawPrimitive(PrimitiveElement Element, const QStyleOption* Option, QPainter* Painter,
                       const QWidget* Widget = nullptr) const override;

private:
    bool FFlat;  // the base is Fusion, whose scroll bars and frames this paints
};

}  // namespace toolkit
