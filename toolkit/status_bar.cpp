#include "toolkit/status_bar.h"

#include <QPainter>
#include <QWidget>

#include "rtl/exceptions.h"
#include "rtl/format.h"
#include "toolkit/qt_text.h"

namespace toolkit {
namespace {

// Paints the panels of its status bar, each text in its own sunken frame.
class StatusBarWidget : public QWidget {
public:
    TStatusBar* Bar = nullptr;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), palette().button());
        for (int i = 0; i < Bar->PanelCount(); ++i) {
            const QRect cell(Bar->PanelLeft(i), 1, Bar->PanelShownWidth(i) - 3, height() - 2);
            // A sunken frame: dark top and left edges, light bottom and right.
            painter.setPen(palette().mid().color());
            painter.drawLine(cell.topLeft(), cell.topRight());
            painter.drawLine(cell.topLeft(), cell.bottomLeft());
            painter.setPen(palette().light().color());
            painter.drawLine(cell.bottomLeft(), cell.bottomRight());
            painter.drawLine(cell.topRight(), cell.bottomRight());
            const rtl::String& text = Bar->PanelText(i);
            painter.setPen(palette().windowText().color());
            painter.drawText(cell.adjusted(3, 0, -3, 0), Qt::AlignVCenter | Qt::AlignLeft,
                             ToQString(text));
        }
    }
};

}  // namespace

TStatusBar::TStatusBar(TComponent* AOwner) : TControl(AOwner, std::make_unique<StatusBarWidget>()) {
    static_cast<StatusBarWidget*>(Widget())->Bar = this;
}

int TStatusBar::AddPanel(int Width) {
    FPanels.push_back({Width, String()});
    Widget()->update();
    return PanelCount() - 1;
}

const TStatusBar::Panel& TStatusBar::At(int Index) const {
    if (Index < 0 || Index >= PanelCount())
        throw rtl::EListError(rtl::Format(u"List index out of bounds (%d)", {Index}));
    return FPanels[Index];
}

const String& TStatusBar::PanelText(int Index) const { return At(Index).Text; }

void TStatusBar::SetPanelText(int Index, const String& Text) {
    At(Index);
    FPanels[Index].Text = Text;
    Widget()->update();
}

int TStatusBar::PanelWidth(int Index) const { return At(Index).Width; }

int TStatusBar::PanelLeft(int Index) const {
    At(Index);
    int left = 0;
    for (int i = 0; i < Index; ++i) left += FPanels[i].Width;
    return left;
}

int TStatusBar::PanelShownWidth(int Index) const {
    if (Index == PanelCount() - 1) return std::max(Width() - PanelLeft(Index), 0);
    return At(Index).Width;
}

}  // namespace toolkit
