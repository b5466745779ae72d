#pragma once
// The standard controls of a form: label, single-line edit, push button,
// radio group and multi-line memo.

#include <vector>

#include "toolkit/controls.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QGroupBox;
class QButtonGroup;
class QTextEdit;

namespace toolkit {

enum class TAlignment { taLeftJustify, taRightJustify, taCenter };

class TLabel : public TControl {
public:
    explicit TLabel(TComponent* AOwner);
    String Caption() const;
    void SetCaption(const String& Value);
    void SetAlignment(TAlignment Value);

private:
    QLabel* Label() const;
};

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

private:
    void Rebuild();
    QGroupBox* Box() const;
    std::vector<String> FItems;
    int FColumns = 1;
    std::unique_ptr<QButtonGroup> FGroup;
};

enum class TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };

// A multi-line text box.
class TMemo : public TControl {
public:
    explicit TMemo(TComponent* AOwner);
    String Text() const;
    void SetText(const String& Value);
    void SetReadOnly(bool Value);
    bool ReadOnly() const;
    void SetAlignment(TAlignment Value);
    void SetScrollBars(TScrollStyle Value);
    void SetFontPixelHeight(int Value);

protected:
    QTextEdit* Editor() const;
};

}  // namespace toolkit
