#include "toolkit/forms.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QPalette>
#include <QWidget>
#include <algorithm>

#include "toolkit/application.h"
#include "toolkit/qt_text.h"

namespace toolkit {
namespace {

// Adds the widgets Control puts into the keyboard order: its focus widget, or
// every item of the button group that widget belongs to (a radio group's).
// Qt moves an exclusive group's one tab stop to whichever item last had the
// focus, so all items are linked, in order, and Tab stops at that one.
void AppendTabWidgets(const TControl& Control, std::vector<QWidget*>& Chain) {
    QWidget* focus = Control.FocusWidget();
    if (const auto* button = qobject_cast<QAbstractButton*>(focus); button && button->group()) {
        for (QAbstractButton* item : button->group()->buttons()) Chain.push_back(item);
    } else {
        Chain.push_back(focus);
    }
}

}  // namespace

// The form's top-level window: it passes size, show and close events back to
// its TForm.
class FormWindow : public QWidget {
public:
    explicit FormWindow(TForm* Form) : FForm(Form) {}

    // Moves the focus to the next (or previous) control in keyboard order.
    void MoveFocus(bool Next) { focusNextPrevChild(Next); }

protected:
    void resizeEvent(QResizeEvent* Event) override {
        QWidget::resizeEvent(Event);
        FLastOuter = frameGeometry().size();
        FForm->WindowResized();
    }
    // The window manager's frame arrives after the first show and changes the
    // outer size without resizing the client area.
    void moveEvent(QMoveEvent* Event) override {
        QWidget::moveEvent(Event);
        if (frameGeometry().size() == FLastOuter) return;
        FLastOuter = frameGeometry().size();
        FForm->WindowResized();
    }
    void showEvent(QShowEvent* Event) override {
        QWidget::showEvent(Event);
        FForm->WindowShown();
    }
    void closeEvent(QCloseEvent* Event) override {
        QWidget::closeEvent(Event);
        FForm->WindowClosed();
    }

private:
    TForm* FForm;
    QSize FLastOuter;
};

namespace {

// Ctrl+Tab and Ctrl+Shift+Tab pressed in a control of the form: the focus
// moves on as Tab and Shift+Tab move it elsewhere. In a grid, Tab moves
// between its cells, and this is the keyboard's way out of it.
class ControlKeys : public QObject {
public:
    explicit ControlKeys(FormWindow& Window) : FWindow(Window) {}

    bool eventFilter(QObject*, QEvent* Event) override {
        if (Event->type() != QEvent::KeyPress) return false;
        const auto* key = static_cast<QKeyEvent*>(Event);
        const Qt::KeyboardModifiers mods = key->modifiers();
        if (!(mods & Qt::ControlModifier) || (mods & Qt::AltModifier)) return false;
        if (key->key() != Qt::Key_Tab && key->key() != Qt::Key_Backtab) return false;
        FWindow.MoveFocus(key->key() == Qt::Key_Tab && !(mods & Qt::ShiftModifier));
        return true;
    }

private:
    FormWindow& FWindow;
};

// A form's window reads as a window (a frame) named by its caption, where a
// reader looks for its title and its status bar.
QAccessibleInterface* FormWindowFactory(const QString&, QObject* Object) {
    auto* window = dynamic_cast<FormWindow*>(Object);
    return window ? new QAccessibleWidget(window, QAccessible::Window) : nullptr;
}

}  // namespace

TForm::TForm(TComponent* AOwner)
    : TComponent(AOwner),
      FWindow(std::make_unique<FormWindow>(this)),
      FControlKeys(std::make_unique<ControlKeys>(static_cast<FormWindow&>(*FWindow))) {
    static const bool installed = [] {
        QAccessible::installFactory(FormWindowFactory);
        return true;
    }();
    (void)installed;
    FWindow->setAutoFillBackground(true);
    FWindow->setBackgroundRole(QPalette::Button);  // the button-face colour
}

TForm::~TForm() {
    Destroying();
    // Controls free their widgets before the window that parents them goes.
    DestroyComponents();
}

void TForm::SetCaption(const String& Value) {
    FCaption = Value;
    FWindow->setWindowTitle(ToQString(Value));
}

int TForm::Width() const { return FWindow->frameGeometry().width(); }
int TForm::Height() const { return FWindow->frameGeometry().height(); }
void TForm::SetWidth(int Value) { SetOuterSize(Value, Height()); }
void TForm::SetHeight(int Value) { SetOuterSize(Width(), Value); }

void TForm::SetOuterSize(int AWidth, int AHeight) {
    const int frameW = FWindow->frameGeometry().width() - FWindow->width();
    const int frameH = FWindow->frameGeometry().height() - FWindow->height();
    FWindow->resize(std::max(AWidth - frameW, 1), std::max(AHeight - frameH, 1));
    AlignControls();
}

int TForm::ClientWidth() const { return FWindow->width(); }
int TForm::ClientHeight() const { return FWindow->height(); }
void TForm::SetClientSize(int AWidth, int AHeight) {
    FWindow->resize(AWidth, AHeight);
    AlignControls();
}
void TForm::SetPosition(int ALeft, int ATop) { FWindow->move(ALeft, ATop); }
void TForm::SetFontPixelHeight(int Value) { FWindow->setFont(DesignFont(Value)); }

void TForm::Show() {
    FWindow->show();
    FWindow->raise();
    FWindow->activateWindow();
}

void TForm::Close() { FWindow->close(); }
bool TForm::Visible() const { return FWindow->isVisible(); }

void TForm::DoCreate() { CallHandler(OnCreate, this); }

TControl* TForm::ActiveControl() const {
    for (TControl* c : FControls)
        if (c->Focused()) return c;
    return nullptr;
}

void TForm::AddControl(TControl* Control) {
    FControls.push_back(Control);
    Control->Widget()->setParent(FWindow.get());
    Control->Widget()->show();
    AlignControls();
    UpdateTabOrder();
}

void TForm::RemoveControl(TControl* Control) {
    FControls.erase(std::remove(FControls.begin(), FControls.end(), Control), FControls.end());
}

void TForm::AlignControls() {
    for (TControl* c : FControls) {
        if (c->Align() == TAlign::alBottom) c->SetBounds(0, ClientHeight() - c->Height(), ClientWidth(), c->Height());
    }
}

void TForm::UpdateTabOrder() {
    std::vector<TControl*> order;
    for (TControl* c : FControls)
        if (c->TabOrder() >= 0) order.push_back(c);
    std::stable_sort(order.begin(), order.end(),
                     [](TControl* a, TControl* b) { return a->TabOrder() < b->TabOrder(); });
    std::vector<QWidget*> chain;
    for (TControl* c : order) AppendTabWidgets(*c, chain);
    for (std::size_t i = 1; i < chain.size(); ++i) QWidget::setTabOrder(chain[i - 1], chain[i]);
    // Installing again only moves the filter to the front.
    for (QWidget* w : chain) w->installEventFilter(FControlKeys.get());
}

void TForm::WindowResized() {
    AlignControls();
    CallHandler(OnResize, this);
}

void TForm::WindowShown() {
    if (FFocusPlaced) return;
    FFocusPlaced = true;
    // The first focusable control in keyboard order takes the focus.
    TControl* first = nullptr;
    for (TControl* c : FControls)
        if (c->CanFocus() && (!first || c->TabOrder() < first->TabOrder())) first = c;
    if (first) first->FocusWidget()->setFocus(Qt::ActiveWindowFocusReason);
}

void TForm::WindowClosed() {
    if (Application().MainForm() == this) Application().Terminate();
}

}  // namespace toolkit
