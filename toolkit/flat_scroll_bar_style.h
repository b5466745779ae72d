#pragma once
// The application's style: the desktop's own, except that under Fusion a
// scroll bar is painted in flat colours of the palette instead of Fusion's
// gradients. Qt's raster engine splits every gradient fill taller than 96
// lines over the global thread pool, so each scroll bar repaint woke two
// threads and waited for them a dozen times; a flat fill stays on the GUI
// thread and looks the same at a glance, in the light and the dark palette.

#include <QProxyStyle>

namespace toolkit {

class TFlatScrollBarStyle : public QProxyStyle {
public:
    // BaseStyleName: the style Qt picked for the desktop (or -style), which
    // this one wraps and otherwise leaves alone.
    explicit TFlatScrollBarStyle(const QString& BaseStyleName);

    void drawComplexControl(ComplexControl Control, const QStyleOptionComplex* Option, QPainter* Painter,
                            const QWidget* Widget = nullptr) const override;

private:
    bool FFlat;  // the base is Fusion, whose scroll bars this paints
};

}  // namespace toolkit
