#pragma once
// TApplication: the one application object. It creates the forms, runs the
// message loop, and shows every exception that leaves a handler or the
// processing of a window message in an error box captioned with its title.

#include <exception>
#include <functional>
#include <memory>

#include "rtl/component.h"

class QApplication;

namespace rtl {
class Exception;
}

namespace toolkit {

using rtl::String;
class TForm;

class TApplication : public rtl::TComponent {
public:
    // Creates the toolkit's application (argc and argv must outlive it) and
    // makes this the object Application() gives.
    TApplication(int& argc, char** argv);
    ~TApplication() override;

    void Initialize() {}

    const String& Title() const { return FTitle; }
    void SetTitle(const String& Value) { FTitle = Value; }
    bool MainFormOnTaskBar() const { return FMainFormOnTaskBar; }
    void SetMainFormOnTaskBar(bool Value) { FMainFormOnTaskBar = Value; }

    // The running executable's full path (rtl::ExecutableFileName, which
    // finds every file kept beside it); tests may point it elsewhere.
    String ExeName() const;
    void SetExeName(const String& Value);

    // Creates a form owned by the application and runs its OnCreate; the
    // first form created becomes the main form.
    template <class T>
    T* CreateForm() {
        T* form = new T(this);
        RegisterForm(form);
        return form;
    }
    TForm* MainForm() const { return FMainForm; }

    // Shows the main form and processes messages until Terminate.
    void Run();
    void Terminate();
    bool Terminated() const { return FTerminated; }

    // Releases the mouse capture, drops EAbort silently, calls OnException
    // when assigned and otherwise ShowException.
    void HandleException(std::exception_ptr E);
    void ShowException(const rtl::Exception& E);

    std::function<void(std::exception_ptr)> OnException;

private:
    void RegisterForm(TForm* Form);
    void ShowError(const String& Text);

    std::unique_ptr<QApplication> FApp;
    String FTitle;
    TForm* FMainForm = nullptr;
    bool FMainFormOnTaskBar = false;
    bool FTerminated = false;
};

// The application object; only valid while one exists.
TApplication& Application();

// The text ShowException shows: the message of the innermost wrapped
// exception that has one, with "." appended when its last character is above ".".
String ExceptionDisplayText(const rtl::Exception& E);

// A modal box with Text, Caption, the error icon and a single OK button.
void ShowErrorBox(const String& Text, const String& Caption);

// Cursor codes of the screen-wide mouse cursor.
constexpr int crDefault = 0;
constexpr int crHourGlass = -11;
constexpr int crSQLWait = -17;

// The screen-wide mouse cursor: anything but crDefault overrides every
// window's cursor until set back.
class TScreen {
public:
    int Cursor() const { return FCursor; }
    void SetCursor(int Value);

private:
    int FCursor = crDefault;
};

TScreen& Screen();

}  // namespace toolkit
