#include "toolkit/forms.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCloseEvent>
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

TForm::TForm(TComponent* AOwner) : TComponent(AOwner), FWindow(std::make_unique<FormWindow>(this)) {
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
        if (c->Align() == TAlign::alBottom)
            c->SetBounds(0, ClientHeight() - c->Height(), ClientWidth(), c->Height());
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
