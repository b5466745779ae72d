#include "toolkit/status_bar.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QFontMetrics>
#include <QHash>
#include <QPaintEvent>
#include <QPainter>
#include <QPointer>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <utility>

#include "rtl/exceptions.h"
#include "rtl/format.h"
#include "toolkit/qt_text.h"

namespace toolkit {
namespace {

// Paints the panels of its status bar, each text in its own sunken frame.
class StatusBarWidget : public QWidget {
public:
    TStatusBar* Bar = nullptr;  // null once the bar is being destroyed

    // Where panel Index is drawn (its frame), and where its text goes.
    QRect PanelCell(int Index) const {
        return {Bar->PanelLeft(Index), 1, Bar->PanelShownWidth(Index) - 3, height() - 2};
    }
    QRect PanelTextArea(int Index) const { return PanelCell(Index).adjusted(3, 0, -3, 0); }

protected:
    void paintEvent(QPaintEvent* Event) override {
        QPainter painter(this);
        painter.fillRect(Event->rect(), palette().button());
        if (!Bar) return;
        for (int i = 0; i < Bar->PanelCount(); ++i) {
            const QRect cell = PanelCell(i);
            // A changed panel repaints alone; laying out the others' text again
            // would be work for pixels that stay as they are.
            if (!Event->rect().intersects(cell)) continue;
            // A sunken frame: dark top and left edges, light bottom and right
            // (the light ones drawn last, so they own the two far corners).
            // One-pixel fills: a pen of width 1 is stroked as a path, which
            // cost more than the rest of the panel's paint.
            const QColor dark = palette().mid().color(), light = palette().light().color();
            painter.fillRect(cell.left(), cell.top(), cell.width(), 1, dark);
            painter.fillRect(cell.left(), cell.top(), 1, cell.height(), dark);
            painter.fillRect(cell.left(), cell.bottom(), cell.width(), 1, light);
            painter.fillRect(cell.right(), cell.top(), 1, cell.height(), light);
            painter.setPen(palette().windowText().color());
            painter.drawText(PanelTextArea(i), Qt::AlignVCenter | Qt::AlignLeft, ToQString(Bar->PanelText(i)));
        }
    }
};

// One panel as a reader sees it: static text whose name, and whose text
// through the text interface, is the panel's text. It reads the bar afresh on
// every question.
class PanelAccessible : public QAccessibleInterface, public QAccessibleTextInterface {
public:
    PanelAccessible(StatusBarWidget* View, int Index) : FView(View), FIndex(Index) {}

    bool isValid() const override { return FView && FView->Bar && FIndex < FView->Bar->PanelCount(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return FView ? FView->window()->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override {
        return FView ? QAccessible::queryAccessibleInterface(FView.data()) : nullptr;
    }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }

    QString text(QAccessible::Text Kind) const override {
        return Kind == QAccessible::Name || Kind == QAccessible::Value ? Text() : QString();
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override {
        if (!isValid()) return {};
        const QRect cell = FView->PanelCell(FIndex);
        return {FView->mapToGlobal(cell.topLeft()), cell.size()};
    }
    QAccessible::Role role() const override { return QAccessible::StaticText; }
    QAccessible::State state() const override {
        QAccessible::State s;
        if (!isValid()) {
            s.invalid = true;
            return s;
        }
        s.readOnly = true;
        if (!FView->isVisible()) s.invisible = true;
        return s;
    }
    void* interface_cast(QAccessible::InterfaceType Type) override {
        return Type == QAccessible::TextInterface ? static_cast<QAccessibleTextInterface*>(this) : nullptr;
    }

    // The text interface: the panel's text, read-only, without a caret or a
    // selection.
    void selection(int, int* Start, int* End) const override { *Start = *End = 0; }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    QString text(int Start, int End) const override {
        const QString all = Text();
        Start = std::clamp(Start, 0, static_cast<int>(all.size()));
        End = End < 0 ? static_cast<int>(all.size()) : std::clamp(End, Start, static_cast<int>(all.size()));
        return all.mid(Start, End - Start);
    }
    int characterCount() const override { return static_cast<int>(Text().size()); }
    QRect characterRect(int Offset) const override {
        const QString all = Text();
        if (!isValid() || Offset < 0 || Offset >= all.size()) return {};
        const QFontMetrics metrics(FView->font());
        const QRect area = FView->PanelTextArea(FIndex);
        const int left = area.left() + metrics.horizontalAdvance(all.left(Offset));
        const int top = area.top() + (area.height() - metrics.height()) / 2;
        const QRect local(left, top, metrics.horizontalAdvance(all.mid(Offset, 1)), metrics.height());
        return {FView->mapToGlobal(local.topLeft()), local.size()};
    }
    int offsetAtPoint(const QPoint& Point) const override {
        for (int i = 0; i < characterCount(); ++i)
            if (characterRect(i).contains(Point)) return i;
        return -1;
    }
    void scrollToSubstring(int, int) override {}
    QString attributes(int Offset, int* Start, int* End) const override {
        *Start = *End = Offset;
        return {};
    }

    int Index() const { return FIndex; }

private:
    QString Text() const { return isValid() ? ToQString(FView->Bar->PanelText(FIndex)) : QString(); }

    QPointer<StatusBarWidget> FView;
    int FIndex;
};

// The bar as a status bar whose children are its panels. Panel interfaces
// are made on demand and kept, so a reader sees the same object for a panel
// for as long as the bar lives.
class StatusBarAccessible : public QAccessibleWidget {
public:
    explicit StatusBarAccessible(StatusBarWidget* View) : QAccessibleWidget(View, QAccessible::StatusBar) {}
    ~StatusBarAccessible() override {
        for (const QAccessible::Id id : std::as_const(FPanels)) QAccessible::deleteAccessibleInterface(id);
    }

    int childCount() const override {
        const TStatusBar* bar = View()->Bar;
        return bar ? bar->PanelCount() : 0;
    }
    QAccessibleInterface* child(int Index) const override {
        if (Index < 0 || Index >= childCount()) return nullptr;
        if (const auto found = FPanels.constFind(Index); found != FPanels.constEnd())
            return QAccessible::accessibleInterface(*found);
        auto* panel = new PanelAccessible(View(), Index);
        FPanels.insert(Index, QAccessible::registerAccessibleInterface(panel));
        return panel;
    }
    int indexOfChild(const QAccessibleInterface* Child) const override {
        const auto* panel = dynamic_cast<const PanelAccessible*>(Child);
        if (!panel || !panel->isValid() || panel->parent() != this) return -1;
        return panel->Index();
    }
    QAccessibleInterface* childAt(int X, int Y) const override {
        for (int i = 0; i < childCount(); ++i)
            if (QAccessibleInterface* c = child(i); c->rect().contains(X, Y)) return c;
        return nullptr;
    }

private:
    StatusBarWidget* View() const { return static_cast<StatusBarWidget*>(widget()); }

    mutable QHash<int, QAccessible::Id> FPanels;
};

QAccessibleInterface* StatusBarFactory(const QString&, QObject* Object) {
    auto* view = dynamic_cast<StatusBarWidget*>(Object);
    return view ? new StatusBarAccessible(view) : nullptr;
}

// The widget a status bar paints with.
StatusBarWidget& ViewOf(const TStatusBar& Bar) { return *static_cast<StatusBarWidget*>(Bar.Widget()); }

}  // namespace

TStatusBar::TStatusBar(TComponent* AOwner) : TControl(AOwner, std::make_unique<StatusBarWidget>()) {
    static const bool installed = [] {
        QAccessible::installFactory(StatusBarFactory);
        return true;
    }();
    (void)installed;
    ViewOf(*this).Bar = this;
}

TStatusBar::~TStatusBar() { ViewOf(*this).Bar = nullptr; }

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
    const QString old = ToQString(FPanels[Index].Text);
    if (FPanels[Index].Text != Text) {
        FPanels[Index].Text = Text;
        Widget()->update(ViewOf(*this).PanelCell(Index));
    }
    // Announced even when the text is the same: a search that finds as many
    // entries as the last one is still heard.
    QAccessibleInterface* bar = QAccessible::queryAccessibleInterface(Widget());
    if (QAccessibleInterface* panel = bar ? bar->child(Index) : nullptr) {
        QAccessibleEvent name(panel, QAccessible::NameChanged);
        Announce(name);
        QAccessibleTextUpdateEvent text(panel, 0, old, ToQString(Text));
        Announce(text);
    }
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
