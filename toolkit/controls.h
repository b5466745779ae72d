#pragma once
// TControl: a component with a window-toolkit widget, placed on a form by
// left, top, width and height. Handlers run through CallHandler, so an
// exception leaving one reaches the application object, never the event loop.

#include <functional>
#include <memory>
#include <string_view>

#include "rtl/component.h"
#include "rtl/exceptions.h"

class QAccessibleEvent;
class QWidget;
class QFont;

namespace toolkit {

using rtl::String;
using rtl::TComponent;

// An operation the control cannot do in its present state or with the given value.
class EInvalidOperation : public rtl::Exception {
public:
    using rtl::Exception::Exception;
};

using TNotifyEvent = std::function<void(TComponent* Sender)>;

// Runs Handler (when assigned) and routes any exception to the application.
void CallHandler(const TNotifyEvent& Handler, TComponent* Sender);

enum class TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };

class TForm;

class TControl : public TComponent {
public:
    ~TControl() override;

    // The form whose client area holds the control.
    TForm* ParentForm() const { return FParentForm; }
    void SetParent(TForm* Form);

    int Left() const;
    int Top() const;
    int Width() const;
    int Height() const;
    void SetLeft(int Value);
    void SetTop(int Value);
    void SetWidth(int Value);
    void SetHeight(int Value);
    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight);

    TAlign Align() const { return FAlign; }
    void SetAlign(TAlign Value);

    // Position in the form's keyboard order; -1 for controls that take no focus.
    int TabOrder() const { return FTabOrder; }
    void SetTabOrder(int Value);
    virtual bool CanFocus() const;
    void SetFocus();
    bool Focused() const;

    void SetName(const String& NewName) override;

    // What a screen reader calls the control; empty leaves the toolkit's own
    // (a button's caption, a group's title, the label tied to it).
    String AccessibleName() const;
    void SetAccessibleName(const String& Value);
    // The tooltip shown over the control, which a screen reader also reads
    // as the control's description.
    String Hint() const;
    void SetHint(const String& Value);

    // The widget that draws the control; it lives as long as the control.
    QWidget* Widget() const { return FWidget.get(); }
    // The widget that takes the keyboard focus (the control's own by default).
    virtual QWidget* FocusWidget() const;

protected:
    TControl(TComponent* AOwner, std::unique_ptr<QWidget> AWidget);

private:
    std::unique_ptr<QWidget> FWidget;
    TForm* FParentForm = nullptr;
    TAlign FAlign = TAlign::alNone;
    int FTabOrder = -1;
};

// Sends an event to assistive technology (a screen reader's bridge).
void Announce(QAccessibleEvent& Event);
// Where Announce sends events: QAccessible::updateAccessibility unless
// replaced (a test listens here, as Qt drops events while no platform reader
// is active). Gives the sink it replaces; null puts Qt's back.
using AccessibleEventSink = void (*)(QAccessibleEvent* Event);
AccessibleEventSink SetAccessibleEventSink(AccessibleEventSink Sink);

// The 42 letters of the Kazakh alphabet, capitals then small letters.
inline constexpr std::u16string_view KazakhLetters =
    u"АӘБВГҒДЕЁЖЗИЙКҚЛМНҢОӨПРСТУҰҮФХҺЦЧШЩЪЫІЬЭЮЯ"
    u"аәбвгғдеёжзийкқлмнңоөпрстуұүфхһцчшщъыіьэюя";

// The font of the design ("Tahoma", or a font with every Kazakh letter where
// Tahoma is missing or lacks one) at the given character height in pixels.
QFont DesignFont(int PixelHeight);

}  // namespace toolkit
