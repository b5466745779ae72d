#include "toolkit/flat_style.h"

#include <QPainter>
#include <QStyleOptionSlider>

namespace toolkit {

TFlatStyle::TFlatStyle(const QString& BaseStyleName)
    : QProxyStyle(BaseStyleName), FFlat(baseStyle()->name().compare(u"fusion", Qt::CaseInsensitive) == 0) {}

void TFlatStyle::drawComplexControl(ComplexControl Control, const QStyleOptionComplex* Option, QPainter* Painter,
                                    const QWidget* Widget) const {
    const auto* bar = qstyleoption_cast<const QStyleOptionSlider*>(Option);
    if (!FFlat || Control != CC_ScrollBar || !bar) {
        QProxyStyle::drawComplexControl(Control, Option, Painter, Widget);
        return;
    }
    const QPalette& palette = bar->palette;
    const QColor outline = palette.window().color().darker(140);
    const bool horizontal = bar->orientation == Qt::Horizontal;
    // A part is darker while pressed and a little lighter under the mouse,
    // as Fusion's own.
    const auto fillOf = [&](SubControl Part) {
        const QColor button = palette.button().color();
        if (!(bar->activeSubControls & Part)) return button;
        if (bar->state & State_Sunken) return button.darker(120);
        return bar->state & State_MouseOver ? button.lighter(104) : button;
    };
    const auto rectOf = [&](SubControl Part) { return proxy()->subControlRect(CC_ScrollBar, bar, Part, Widget); };

    Painter->save();
    Painter->fillRect(bar->rect, palette.window().color().darker(107));
    Painter->setPen(outline);
    // The edge toward the scrolled content, as Fusion draws it.
    if (horizontal) Painter->drawLine(bar->rect.topLeft(), bar->rect.topRight());
    else Painter->drawLine(bar->rect.topLeft(), bar->rect.bottomLeft());

    if (bar->subControls & SC_ScrollBarSlider) {
        const QRect slider = rectOf(SC_ScrollBarSlider);
        if (slider.isValid()) {
            Painter->setBrush(fillOf(SC_ScrollBarSlider));
            Painter->drawRect(slider.adjusted(0, 0, -1, -1));
        }
    }
    const bool rightToLeft = bar->direction == Qt::RightToLeft;
    for (SubControl part : {SC_ScrollBarSubLine, SC_ScrollBarAddLine}) {
        const QRect button = rectOf(part);
        if (!(bar->subControls & part) || !button.isValid()) continue;
        Painter->setBrush(fillOf(part));
        Painter->drawRect(button.adjusted(0, 0, -1, -1));
        const bool back = (part == SC_ScrollBarSubLine) != (horizontal && rightToLeft);
        QStyleOption arrow(*bar);
        arrow.rect = button.adjusted(2, 2, -2, -2);
        arrow.state &= ~State_Sunken;
        const PrimitiveElement element = horizontal ? (back ? PE_IndicatorArrowLeft : PE_IndicatorArrowRight)
                                                    : (back ? PE_IndicatorArrowUp : PE_IndicatorArrowDown);
        proxy()->drawPrimitive(element, &arrow, Painter, Widget);
    }
    Painter->restore();
}

void TFlatStyle::drawPrimitive(PrimitiveElement Element, const QStyleOption* Option, QPainter* Painter,
                               const QWidget* Widget) const {
    // Fusion's own frame for one too small to have an inside, on a scaled
    // screen (where its stroke falls half a pixel outside), and inside a
    // combo box's list, where it is a menu.
    const QRect& r = Option->rect;
    if (!FFlat || Element != PE_Frame || r.width() < 2 || r.height() < 2 ||
        Painter->device()->devicePixelRatio() != 1 || (Widget && Widget->inherits("QComboBoxPrivateContainer"))) {
        QProxyStyle::drawPrimitive(Element, Option, Painter, Widget);
        return;
    }
    // Fusion's outline colour, a little lighter, on the outermost pixels.
    const QColor colour = Option->palette.window().color().darker(140).lighter(108);
    Painter->fillRect(r.left(), r.top(), r.width(), 1, colour);
    Painter->fillRect(r.left(), r.bottom(), r.width(), 1, colour);
    Painter->fillRect(r.left(), r.top(), 1, r.height(), colour);
    Painter->fillRect(r.right(), r.top(), 1, r.height(), colour);
}

}  // namespace toolkit
