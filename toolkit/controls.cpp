#include "toolkit/controls.h"

#include <QAccessible>
#include <QFont>
#include <QFontDatabase>
#include <QRawFont>
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

namespace {
AccessibleEventSink TheSink = &QAccessible::updateAccessibility;
}  // namespace

void Announce(QAccessibleEvent& Event) { TheSink(&Event); }

AccessibleEventSink SetAccessibleEventSink(AccessibleEventSink Sink) {
    const AccessibleEventSink old = TheSink;
    TheSink = Sink ? Sink : &QAccessible::updateAccessibility;
    return old;
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

String TControl::AccessibleName() const { return FromQString(FWidget->accessibleName()); }
void TControl::SetAccessibleName(const String& Value) { FWidget->setAccessibleName(ToQString(Value)); }
String TControl::Hint() const { return FromQString(FWidget->toolTip()); }
void TControl::SetHint(const String& Value) { FWidget->setToolTip(ToQString(Value)); }

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
    // The first family with a glyph for every letter of the Kazakh alphabet:
    // the design's, then common ones, then any Cyrillic family installed.
    static const QString family = [] {
        const auto coversKazakh = [](const QString& Family) {
            const QRawFont raw = QRawFont::fromFont(QFont(Family));
            if (!raw.isValid()) return false;
            for (const char16_t c : KazakhLetters)
                if (!raw.supportsCharacter(QChar(c))) return false;
            return true;
        };
        const QStringList installed = QFontDatabase::families();
        for (const char* candidate : {"Tahoma", "DejaVu Sans", "Noto Sans", "Liberation Sans", "FreeSans"}) {
            const QString name = QString::fromLatin1(candidate);
            if (installed.contains(name) && coversKazakh(name)) return name;
        }
        for (const QString& name : QFontDatabase::families(QFontDatabase::Cyrillic))
            if (coversKazakh(name)) return name;
        return QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
    }();
    QFont font(family);
    font.setPixelSize(PixelHeight);
    return font;
}

}  // namespace toolkit
