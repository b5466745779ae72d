#include "toolkit/controls.h"

#include <QFont>
#include <QFontDatabase>
#include <QWidget>

#include "toolkit/application.h"
#include "toolkit/forms.h"
#include "toolkit/qt_text.h"

namespace toolkit {

void CallHandler(const TNotifyEvent& Handler, TComponent* Sender) {
    if (!Handler) return;
    try {
        Handler(Sender);
    } catch (...) {
        Application().HandleException(std::current_exception());
    }
}

TControl::TControl(TComponent* AOwner, std::unique_ptr<QWidget> AWidget)
    : TComponent(AOwner), FWidget(std::move(AWidget)) {}

TControl::~TControl() {
    Destroying();
    if (FParentForm) FParentForm->RemoveControl(this);
}

void TControl::SetName(const String& NewName) {
    TComponent::SetName(NewName);
    FWidget->setObjectName(ToQString(NewName));
}

void TControl::SetParent(TForm* Form) {
    if (FParentForm == Form) return;
    if (FParentForm) FParentForm->RemoveControl(this);
    FParentForm = Form;
    if (Form) Form->AddControl(this);
}

int TControl::Left() const { return FWidget->x(); }
int TControl::Top() const { return FWidget->y(); }
int TControl::Width() const { return FWidget->width(); }
int TControl::Height() const { return FWidget->height(); }
void TControl::SetLeft(int Value) { SetBounds(Value, Top(), Width(), Height()); }
void TControl::SetTop(int Value) { SetBounds(Left(), Value, Width(), Height()); }
void TControl::SetWidth(int Value) { SetBounds(Left(), Top(), Value, Height()); }
void TControl::SetHeight(int Value) { SetBounds(Left(), Top(), Width(), Value); }

void TControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    // A negative extent (a window made very small) shows as an empty control.
    FWidget->setGeometry(ALeft, ATop, std::max(AWidth, 0), std::max(AHeight, 0));
}

void TControl::SetAlign(TAlign Value) {
    FAlign = Value;
    if (FParentForm) FParentForm->AlignControls();
}

void TControl::SetTabOrder(int Value) {
    FTabOrder = Value;
    if (FParentForm) FParentForm->UpdateTabOrder();
}

bool TControl::CanFocus() const { return FTabOrder >= 0 && FocusWidget()->isEnabled(); }

QWidget* TControl::FocusWidget() const { return FWidget.get(); }

void TControl::SetFocus() { FocusWidget()->setFocus(Qt::OtherFocusReason); }

bool TControl::Focused() const { return FocusWidget()->hasFocus(); }

QFont DesignFont(int PixelHeight) {
    static const QString family = [] {
        const QStringList families = QFontDatabase::families();
        for (const char* candidate : {"Tahoma", "DejaVu Sans"})
            if (families.contains(QString::fromLatin1(candidate))) return QString::fromLatin1(candidate);
        return QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
    }();
    QFont font(family);
    font.setPixelSize(PixelHeight);
    return font;
}

}  // namespace toolkit
