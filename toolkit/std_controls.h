#pragma once
// The standard controls of a form: label, single-line edit, push button,
// radio group and multi-line memo.

#include <vector>

#include "rtl/set.h"

#include "toolkit/controls.h"
#include "toolkit/scroll_style.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QGroupBox;
class QButtonGroup;
class QTextEdit;

namespace toolkit {

enum class TAlignment { taLeftJustify, taRightJustify, taCenter };

// A caption on the form. It is drawn only where it shows whole: not when the
// label is too small for it or a control stacked over the label covers part of it.
class TLabel : public TControl {
public:
    explicit TLabel(TComponent* AOwner);
    String Caption() const;
    void SetCaption(const String& Value);
    void SetAlignment(TAlignment Value);
    // The control the label names: a screen reader reads the caption as that
    // control's name (unless it has one of its own) and relates the two
    // (labelled by, label for). Null for none.
    TControl* FocusControl() const { return FFocusControl; }
    void SetFocusControl(TControl* Value);

protected:
    void Notification(TComponent* AComponent, rtl::TOperation Operation) override;

private:
    QLabel* Label() const;
    TControl* FFocusControl = nullptr;
};

// Called with each character key pressed in a control (Enter as CR, Escape
// as ESC); a handler that sets Key to 0 keeps the key from the control.
using TKeyPressEvent = std::function<void(TComponent* Sender, char16_t& Key)>;

// A single-line text box. OnEnter fires when the focus moves into it from
// another control of the same window (a click or Tab), not when the window
// is activated again or a modal box closes.
class TEdit : public TControl {
public:
    explicit TEdit(TComponent* AOwner);
    ~TEdit() override;
    String Text() const;
    void SetText(const String& Value);
    // Shown greyed while the box is empty.
    void SetTextHint(const String& Value);

    TNotifyEvent OnEnter;
    TKeyPressEvent OnKeyPress;

private:
    QLineEdit* LineEdit() const;
    struct FocusWatch;
    std::unique_ptr<FocusWatch> FWatch;
};

// A push button with an optional picture; never the window's default button.
class TBitBtn : public TControl {
public:
    explicit TBitBtn(TComponent* AOwner);
    String Caption() const;
    void SetCaption(const String& Value);
    void Click();

    TNotifyEvent OnClick;

private:
    QPushButton* Button() const;
};

// A framed group of radio buttons, one chosen at a time; its title, like a
// label's caption, is drawn only where it shows whole. Tab into the group
// reaches the chosen item; the arrow keys move the choice. While an item has
// the focus the group is framed in the highlight colour and its Hint shows
// below it as a tooltip does, so the focus and the choice can be seen
// however small the group is drawn.
class TRadioGroup : public TControl {
public:
    explicit TRadioGroup(TComponent* AOwner);
    ~TRadioGroup() override;
    String Caption() const;
    void SetCaption(const String& Value);
    void SetColumns(int Value);
    int Columns() const { return FColumns; }
    void SetItems(const std::vector<String>& Items);
    const std::vector<String>& Items() const { return FItems; }
    // -1 when no item is chosen.
    int ItemIndex() const;
    void SetItemIndex(int Value);
    QWidget* FocusWidget() const override;

    // The chosen item changed, by the user or by SetItemIndex.
    TNotifyEvent OnClick;

private:
    void Rebuild();
    void ChoiceToggled();
    void UpdateTabStop();
    QGroupBox* Box() const;
    std::vector<String> FItems;
    int FColumns = 1;
    int FChosen = -1;  // the ItemIndex OnClick last reported
    std::unique_ptr<QButtonGroup> FGroup;
};

inline constexpr const char16_t* SMemoTooLarge = u"Text exceeds memo capacity";

// A multi-line text box. Its text reads and is set with CR LF line breaks;
// key presses, double clicks, focus moves and text changes reach the
// protected virtual methods, where a derived memo may drop a key. Tab moves
// the focus on, as in every other control of a window. While it has the
// focus the memo is framed in the highlight colour.
class TMemo : public TControl {
public:
    explicit TMemo(TComponent* AOwner);
    ~TMemo() override;

    // What KeyDown is told: letters and digits come as their upper-case
    // characters, the keys below as these codes, any other character key as
    // 0 (its character then reaches KeyPress), any other key as the toolkit's
    // own code.
    enum TShiftFlag { ssShift, ssAlt, ssCtrl };
    using TShiftState = rtl::Set<TShiftFlag>;
    static constexpr int VK_BACK = 8, VK_TAB = 9, VK_RETURN = 13, VK_ESCAPE = 27, VK_INSERT = 45, VK_DELETE = 46;

    String Text() const;
    // Every line break form (CR LF, LF, CR) becomes CR LF; an unchanged text
    // is left alone; a text longer than Capacity raises EInvalidOperation
    // "Text exceeds memo capacity" and leaves the old text.
    void SetText(String Value);
    int LineCount() const;
    String Lines(int Index) const;
    // The longest text, in UTF-16 code units with CR LF breaks, SetText accepts.
    int Capacity() const { return FCapacity; }
    void SetCapacity(int Value) { FCapacity = Value; }

    // The control's own flag: whether the user may change the text. A
    // read-only memo still has a caret, so the keyboard (and a screen reader
    // following it) can move through the text and select it.
    void SetReadOnly(bool Value);
    bool ReadOnly() const;
    bool WordWrap() const { return FWordWrap; }
    void SetWordWrap(bool Value);
    // When False, Enter is not the memo's: it goes to the window.
    bool WantReturns() const { return FWantReturns; }
    void SetWantReturns(bool Value) { FWantReturns = Value; }
    void SetAlignment(TAlignment Value);
    TScrollStyle ScrollBars() const { return FScrollBars; }
    void SetScrollBars(TScrollStyle Value);
    void SetFontPixelHeight(int Value);

    void SelectAll();
    String SelText() const;

protected:
    QTextEdit* Editor() const;

    // A key went down; setting a Key that is not 0 to 0 drops it.
    virtual void KeyDown(int& Key, TShiftState Shift);
    // The character a key gives (control characters included: Ctrl+A is 1,
    // Enter 13, Esc 27); setting Key to 0 drops it.
    virtual void KeyPress(char16_t& Key);
    // A cut, paste, undo, redo or delete request, by key or from the
    // control's menu; false drops it.
    virtual bool EditRequest() { return true; }
    // A double click; true when handled, so the control's own reaction is skipped.
    virtual bool DblClick() { return false; }
    // The focus came from, or went to, another control of the window.
    virtual void DoEnter() {}
    virtual void DoExit() {}
    // The text changed, by the user or by SetText.
    virtual void Change() {}

private:
    class Watch;
    std::unique_ptr<Watch> FWatch;
    int FCapacity = 64 * 1024 * 1024;
    bool FWordWrap = true;
    bool FWantReturns = true;
    TScrollStyle FScrollBars = TScrollStyle::ssNone;
};

}  // namespace toolkit
