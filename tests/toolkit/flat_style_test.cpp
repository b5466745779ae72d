#include "toolkit/flat_style.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QPalette>
#include <QScrollBar>
#include <QSet>
#include <QStyleFactory>
#include <QStyleOptionFrame>
#include <QStyleOptionSlider>
#include <memory>

using toolkit::TFlatStyle;

namespace {

// A vertical scroll bar 300 pixels tall with its handle at the top, painted
// by Style into an image.
struct TPainted {
    QImage Image;
    QRect Groove, Handle;
};

TPainted PaintedScrollBar(QStyle& Style) {
    QScrollBar bar(Qt::Vertical);
    bar.setStyle(&Style);
    bar.resize(bar.sizeHint().width(), 300);
    QStyleOptionSlider option;
    option.initFrom(&bar);
    option.orientation = Qt::Vertical;
    option.minimum = 0;
    option.maximum = 100;
    option.pageStep = 10;
    option.sliderPosition = option.sliderValue = 0;
    option.subControls = QStyle::SC_All;
    TPainted painted{QImage(bar.size(), QImage::Format_ARGB32_Premultiplied), {}, {}};
    painted.Image.fill(Qt::magenta);
    QPainter painter(&painted.Image);
    Style.drawComplexControl(QStyle::CC_ScrollBar, &option, &painter, &bar);
    painted.Groove = Style.subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarGroove, &bar);
    painted.Handle = Style.subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, &bar);
    return painted;
}

// The colours inside a part, two pixels in from its edges.
QSet<QRgb> Colours(const QImage& Image, const QRect& Part) {
    QSet<QRgb> colours;
    const QRect inside = Part.adjusted(2, 2, -2, -2);
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x) colours.insert(Image.pixel(x, y));
    return colours;
}

}  // namespace

TEST(FlatStyle, TheApplicationPaintsFusionScrollBarsFlat) {
    // Fusion's own handle is a gradient, which Qt's raster engine fills on
    // the global thread pool once it is tall enough.
    std::unique_ptr<QStyle> fusion(QStyleFactory::create(u"Fusion"_qs));
    ASSERT_TRUE(fusion);
    const TPainted gradient = PaintedScrollBar(*fusion);
    EXPECT_GT(Colours(gradient.Image, gradient.Handle).size(), 1);

    TFlatStyle flat(u"Fusion"_qs);
    const TPainted painted = PaintedScrollBar(flat);
    ASSERT_EQ(painted.Handle, gradient.Handle);  // the same layout
    const QSet<QRgb> handle = Colours(painted.Image, painted.Handle);
    const QSet<QRgb> groove = Colours(painted.Image, painted.Groove.adjusted(0, painted.Handle.bottom() + 4, 0, 0));
    ASSERT_EQ(handle.size(), 1);
    ASSERT_EQ(groove.size(), 1);
    // Both painted, and told apart.
    EXPECT_NE(*handle.begin(), *groove.begin());
    EXPECT_NE(*groove.begin(), QColor(Qt::magenta).rgb());

    // The application's style is this one, around the style Qt picked.
    EXPECT_NE(dynamic_cast<TFlatStyle*>(QApplication::style()), nullptr);
}

TEST(FlatStyle, LeavesOtherStylesAlone) {
    std::unique_ptr<QStyle> windows(QStyleFactory::create(u"Windows"_qs));
    ASSERT_TRUE(windows);
    TFlatStyle wrapped(u"Windows"_qs);
    EXPECT_EQ(PaintedScrollBar(wrapped).Image, PaintedScrollBar(*windows).Image);
}

TEST(FlatStyle, DrawsFusionsPlainFramePixelForPixel) {
    std::unique_ptr<QStyle> fusion(QStyleFactory::create(u"Fusion"_qs));
    ASSERT_TRUE(fusion);
    TFlatStyle flat(u"Fusion"_qs);
    QPalette dark = fusion->standardPalette();
    dark.setColor(QPalette::Window, QColor(0x35, 0x35, 0x35));
    for (const QPalette& palette : {fusion->standardPalette(), dark})
        for (int scale : {1, 2})
            for (const QRect& rect :
                 {QRect(0, 0, 615, 160), QRect(3, 5, 40, 2), QRect(7, 1, 2, 2), QRect(7, 1, 1, 1)}) {
                const auto painted = [&](QStyle& Style) {
                    QImage image(650 * scale, 170 * scale, QImage::Format_ARGB32_Premultiplied);
                    image.setDevicePixelRatio(scale);
                    image.fill(Qt::magenta);
                    QPainter painter(&image);
                    QStyleOptionFrame option;
                    option.rect = rect;
                    option.palette = palette;
                    option.state = QStyle::State_Enabled | QStyle::State_Sunken;
                    option.lineWidth = 1;
                    Style.drawPrimitive(QStyle::PE_Frame, &option, &painter);
                    return image;
                };
                EXPECT_EQ(painted(flat), painted(*fusion)) << rect.width() << "x" << rect.height() << " at " << scale;
            }
}
