#pragma once
// TForm: a top-level window that owns its controls and reports its creation
// (OnCreate, once every component exists) and every change of its size
// (OnResize, the first show included). Tab and Shift+Tab move the focus
// round its controls in TabOrder; Ctrl+Tab and Ctrl+Shift+Tab do so from any
// control, one that keeps Tab for itself (a grid) included. A screen reader
// sees the form as a window named by its caption.

#include <memory>
#include <vector>

#include "toolkit/controls.h"

class QObject;
class QWidget;

namespace toolkit {

class TForm : public TComponent {
public:
    explicit TForm(TComponent* AOwner);
    ~TForm() override;

    const String& Caption() const { return FCaption; }
    void SetCaption(const String& Value);

    // Outer size: frame and caption included.
    int Width() const;
    int Height() const;
    void SetWidth(int Value);
    void SetHeight(int Value);
    void SetOuterSize(int AWidth, int AHeight);
    int ClientWidth() const;
    int ClientHeight() const;
    void SetClientSize(int AWidth, int AHeight);
    void SetPosition(int ALeft, int ATop);
    void SetFontPixelHeight(int Value);

    void Show();
    void Close();
    bool Visible() const;

    // Runs OnCreate; CreateForm calls it once the form's constructor is done.
    void DoCreate();

    TNotifyEvent OnCreate;
    TNotifyEvent OnResize;

    QWidget* Window() const { return FWindow.get(); }
    // The control holding the keyboard focus, or null.
    TControl* ActiveControl() const;

    // Called by TControl::SetParent and the control's destructor.
    void AddControl(TControl* Control);
    void RemoveControl(TControl* Control);
    // Lays out the aligned controls (a bottom-aligned status bar) again.
    void AlignControls();
    // Rebuilds the keyboard order from the controls' TabOrder values.
    void UpdateTabOrder();

private:
    friend class FormWindow;
    void WindowResized();
    void WindowShown();
    void WindowClosed();

    std::unique_ptr<QWidget> FWindow;
    std::unique_ptr<QObject> FControlKeys;  // Ctrl+Tab on the controls
    std::vector<TControl*> FControls;       // not owned: the form's owner list owns them
    String FCaption;
    bool FFocusPlaced = false;
};

}  // namespace toolkit
