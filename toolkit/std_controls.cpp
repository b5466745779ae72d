#include "toolkit/std_controls.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QButtonGroup>
#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPaintEvent>
#include <QPainter>
#include <QPen>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QRegion>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QStyleOptionGroupBox>
#include <QStylePainter>
#include <QTextBlock>
#include <QTextEdit>
#include <QToolTip>

#include "rtl/exceptions.h"
#include "rtl/format.h"
#include "toolkit/application.h"
#include "toolkit/forms.h"
#include "toolkit/qt_text.h"

namespace toolkit {
namespace {

Qt::Alignment ToQt(TAlignment a) {
    switch (a) {
        case TAlignment::taLeftJustify: return Qt::AlignLeft;
        case TAlignment::taRightJustify: return Qt::AlignRight;
        case TAlignment::taCenter: return Qt::AlignHCenter;
    }
    return Qt::AlignLeft;
}

// True when Area of Widget lies inside it and no shown sibling stacked above
// it covers any of Area.
bool ShowsWhole(const QWidget& Widget, const QRect& Area) {
    if (!Widget.rect().contains(Area)) return false;
    const QWidget* parent = Widget.parentWidget();
    if (!parent) return true;
    QRegion hidden;
    bool above = false;
    for (const QObject* child : parent->children()) {
        if (child == &Widget) {
            above = true;
        } else if (const auto* sibling = qobject_cast<const QWidget*>(child);
                   above && sibling && !sibling->isWindow() && sibling->isVisibleTo(parent)) {
            hidden += sibling->geometry().translated(-Widget.pos());
        }
    }
    return !hidden.intersects(Area);
}

// ShowsWhole for a paint event. A caption that shows whole but is only partly
// repainted (a control over it moved away from part of it) gets a repaint of
// all of it, so no part that was left blank before stays blank.
bool PaintsWhole(QWidget& Widget, const QPaintEvent& Event, const QRect& Area) {
    if (!ShowsWhole(Widget, Area)) return false;
    if (!QRegion(Area).subtracted(Event.region()).isEmpty()) Widget.update(Area);
    return true;
}

// A label that draws its caption only where it shows whole: a caption that
// would be cut by the label's edges or by a control over it is not drawn at
// all, rather than as a strip of half letters.
class WholeCaptionLabel : public QLabel {
protected:
    void paintEvent(QPaintEvent* Event) override {
        const QRect text = style()->itemTextRect(fontMetrics(), contentsRect(), static_cast<int>(alignment()),
                                                 isEnabled(), this->text());
        if (PaintsWhole(*this, *Event, text)) QLabel::paintEvent(Event);
    }
};

// A tooltip-like note that stays up while its group has the focus: Qt's own
// tooltip goes at the next key, and the arrow keys are how the choice moves.
// A reader sees a tool tip named by the note's text.
class ChoiceTip : public QLabel {
public:
    ChoiceTip() : QLabel(nullptr, Qt::ToolTip | Qt::BypassGraphicsProxyWidget) {
        static const bool installed = [] {
            QAccessible::installFactory([](const QString&, QObject* Object) -> QAccessibleInterface* {
                auto* tip = dynamic_cast<ChoiceTip*>(Object);
                return tip ? new QAccessibleWidget(tip, QAccessible::ToolTip) : nullptr;
            });
            return true;
        }();
        (void)installed;
        setObjectName(QStringLiteral("ChoiceTip"));
        setAttribute(Qt::WA_ShowWithoutActivating);
        setForegroundRole(QPalette::ToolTipText);
        setBackgroundRole(QPalette::ToolTipBase);
        setPalette(QToolTip::palette());
        setFont(QToolTip::font());
        setMargin(1 + style()->pixelMetric(QStyle::PM_ToolTipLabelFrameWidth, nullptr, this));
    }

protected:
    void paintEvent(QPaintEvent* Event) override {
        {
            QStylePainter painter(this);
            QStyleOptionFrame frame;
            frame.initFrom(this);
            painter.drawPrimitive(QStyle::PE_PanelTipLabel, frame);
        }
        QLabel::paintEvent(Event);
    }
};

// A group box that draws its title only where it shows whole, as the label
// above does; the frame is drawn either way. While one of its items has the
// focus it is framed in the highlight colour and its tooltip text shows
// below it.
class WholeTitleGroupBox : public QGroupBox {
public:
    // An item took or lost the focus.
    void ItemFocusChanged() {
        update();
        ShowChoice();
    }

protected:
    bool event(QEvent* Event) override {
        if (Event->type() == QEvent::ToolTipChange) ShowChoice();
        return QGroupBox::event(Event);
    }
    void hideEvent(QHideEvent* Event) override {
        FTip.hide();
        QGroupBox::hideEvent(Event);
    }
    void paintEvent(QPaintEvent* Event) override {
        QStylePainter painter(this);
        QStyleOptionGroupBox option;
        initStyleOption(&option);
        const QRect title = style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, this);
        if (!PaintsWhole(*this, *Event, title)) {
            option.text.clear();
            option.subControls &= ~QStyle::SC_GroupBoxLabel;
        }
        painter.drawComplexControl(QStyle::CC_GroupBox, option);
        if (HasFocusedItem()) {
            // Two pixels wide, inside the box: seen even where the group is
            // too small to show its items.
            painter.setPen(QPen(palette().highlight().color(), 2));
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
        }
    }

private:
    bool HasFocusedItem() const {
        const QWidget* focus = QApplication::focusWidget();
        return focus && focus->parentWidget() == this;
    }
    // The note shows the tooltip's text, below the box, while an item has
    // the focus and there is a text to show.
    void ShowChoice() {
        if (!HasFocusedItem() || toolTip().isEmpty()) {
            FTip.hide();
            return;
        }
        FTip.setText(toolTip());
        FTip.setAccessibleName(toolTip());
        FTip.adjustSize();
        FTip.move(mapToGlobal(QPoint(0, height() + 2)));
        FTip.show();
    }

    ChoiceTip FTip;
};

// A radio button whose arrow keys move the choice to the previous or next
// item in the group's order (wrapping round), as a radio group's keyboard
// works whatever room the group has on screen.
class ItemRadioButton : public QRadioButton {
public:
    using QRadioButton::QRadioButton;

protected:
    void keyPressEvent(QKeyEvent* Event) override {
        int step = 0;
        switch (Event->key()) {
            case Qt::Key_Left:
            case Qt::Key_Up: step = -1; break;
            case Qt::Key_Right:
            case Qt::Key_Down: step = 1; break;
            default: QRadioButton::keyPressEvent(Event); return;
        }
        QButtonGroup* items = group();
        const auto count = static_cast<int>(items->buttons().size());
        if (QAbstractButton* next = items->button((items->id(this) + step + count) % count)) {
            next->setChecked(true);
            next->setFocus(Qt::OtherFocusReason);
        }
    }
    void focusInEvent(QFocusEvent* Event) override {
        QRadioButton::focusInEvent(Event);
        Box().ItemFocusChanged();
    }
    void focusOutEvent(QFocusEvent* Event) override {
        QRadioButton::focusOutEvent(Event);
        Box().ItemFocusChanged();
    }

private:
    WholeTitleGroupBox& Box() const { return *static_cast<WholeTitleGroupBox*>(parentWidget()); }
};

// A line edit that offers each character key to its TEdit's OnKeyPress first.
class KeyLineEdit : public QLineEdit {
public:
    explicit KeyLineEdit(TEdit& Owner) : FOwner(Owner) {}

protected:
    void keyPressEvent(QKeyEvent* Event) override {
        char16_t key = 0;
        if (Event->key() == Qt::Key_Return || Event->key() == Qt::Key_Enter) key = u'\r';
        else if (Event->key() == Qt::Key_Escape) key = u'\x1b';
        else if (Event->text().size() == 1) key = Event->text().front().unicode();
        if (key != 0 && FOwner.OnKeyPress) {
            try {
                FOwner.OnKeyPress(&FOwner, key);
            } catch (...) {
                Application().HandleException(std::current_exception());
                key = 0;
            }
            if (key == 0) {
                Event->accept();
                return;
            }
        }
        QLineEdit::keyPressEvent(Event);
    }

private:
    TEdit& FOwner;
};

}  // namespace

// ---- TLabel

TLabel::TLabel(TComponent* AOwner) : TControl(AOwner, std::make_unique<WholeCaptionLabel>()) {}
QLabel* TLabel::Label() const { return static_cast<QLabel*>(Widget()); }
String TLabel::Caption() const { return FromQString(Label()->text()); }
void TLabel::SetCaption(const String& Value) { Label()->setText(ToQString(Value)); }
void TLabel::SetAlignment(TAlignment Value) { Label()->setAlignment(ToQt(Value) | Qt::AlignTop); }

// The toolkit's buddy: what Qt's accessibility reads the name and the
// relations from (the caption has no "&", so it adds no shortcut).
void TLabel::SetFocusControl(TControl* Value) {
    if (FFocusControl == Value) return;
    if (FFocusControl) RemoveFreeNotification(FFocusControl);
    FFocusControl = Value;
    if (Value) FreeNotification(Value);
    Label()->setBuddy(Value ? Value->Widget() : nullptr);
}

void TLabel::Notification(TComponent* AComponent, rtl::TOperation Operation) {
    TControl::Notification(AComponent, Operation);
    if (Operation == rtl::TOperation::opRemove && AComponent && AComponent == FFocusControl) {
        FFocusControl = nullptr;
        Label()->setBuddy(nullptr);
    }
}

// ---- TEdit

// Follows the application's focus changes and fires OnEnter for moves from
// another control of the same window.
struct TEdit::FocusWatch {
    QMetaObject::Connection Connection;
    ~FocusWatch() { QObject::disconnect(Connection); }
};

TEdit::TEdit(TComponent* AOwner) : TControl(AOwner, std::make_unique<KeyLineEdit>(*this)), FWatch(new FocusWatch) {
    FWatch->Connection = QObject::connect(qApp, &QApplication::focusChanged, [this](QWidget* Old, QWidget* Now) {
        if (Now != LineEdit() || !Old || Old->window() != LineEdit()->window()) return;
        CallHandler(OnEnter, this);
    });
}

TEdit::~TEdit() = default;

QLineEdit* TEdit::LineEdit() const { return static_cast<QLineEdit*>(Widget()); }
String TEdit::Text() const { return FromQString(LineEdit()->text()); }
void TEdit::SetText(const String& Value) { LineEdit()->setText(ToQString(Value)); }
void TEdit::SetTextHint(const String& Value) { LineEdit()->setPlaceholderText(ToQString(Value)); }

// ---- TBitBtn

TBitBtn::TBitBtn(TComponent* AOwner) : TControl(AOwner, std::make_unique<QPushButton>()) {
    Button()->setAutoDefault(false);
    Button()->setDefault(false);
    QObject::connect(Button(), &QPushButton::clicked, [this] { CallHandler(OnClick, this); });
}

QPushButton* TBitBtn::Button() const { return static_cast<QPushButton*>(Widget()); }
String TBitBtn::Caption() const { return FromQString(Button()->text()); }
void TBitBtn::SetCaption(const String& Value) { Button()->setText(ToQString(Value)); }
void TBitBtn::Click() { Button()->click(); }

// ---- TRadioGroup

TRadioGroup::TRadioGroup(TComponent* AOwner)
    : TControl(AOwner, std::make_unique<WholeTitleGroupBox>()), FGroup(std::make_unique<QButtonGroup>()) {
    new QGridLayout(Box());
    QObject::connect(FGroup.get(), &QButtonGroup::idToggled, [this] {
        UpdateTabStop();
        ChoiceToggled();
    });
}

// An exclusive group toggles two items for one change of the choice; OnClick
// runs once, when the choice differs from the one it last reported.
void TRadioGroup::ChoiceToggled() {
    if (ItemIndex() == FChosen) return;
    FChosen = ItemIndex();
    CallHandler(OnClick, this);
}

TRadioGroup::~TRadioGroup() = default;

QGroupBox* TRadioGroup::Box() const { return static_cast<QGroupBox*>(Widget()); }
String TRadioGroup::Caption() const { return FromQString(Box()->title()); }
void TRadioGroup::SetCaption(const String& Value) { Box()->setTitle(ToQString(Value)); }

void TRadioGroup::SetColumns(int Value) {
    FColumns = std::max(Value, 1);
    Rebuild();
}

void TRadioGroup::SetItems(const std::vector<String>& Items) {
    FItems = Items;
    Rebuild();
}

void TRadioGroup::Rebuild() {
    const int index = ItemIndex();
    auto* layout = static_cast<QGridLayout*>(Box()->layout());
    for (QAbstractButton* b : FGroup->buttons()) {
        FGroup->removeButton(b);
        delete b;
    }
    const int rows = (static_cast<int>(FItems.size()) + FColumns - 1) / FColumns;
    for (int i = 0; i < static_cast<int>(FItems.size()); ++i) {
        auto* button = new ItemRadioButton(ToQString(FItems[i]), Box());
        FGroup->addButton(button, i);
        // Items fill the columns top to bottom, then left to right.
        layout->addWidget(button, rows ? i % rows : 0, rows ? i / rows : 0);
    }
    SetItemIndex(index);
    UpdateTabStop();
    // The new items take the old ones' place in the keyboard order.
    if (TForm* form = ParentForm()) form->UpdateTabOrder();
}

// Qt lets one item of an exclusive group be a tab stop, the one that last
// had the focus. Making it the checked item (the first while none is) from
// the start means Tab into the group reaches the choice, as after a click or
// an arrow key, even before the group has had the focus.
void TRadioGroup::UpdateTabStop() {
    const QWidget* stop = FocusWidget();
    for (QAbstractButton* b : FGroup->buttons()) b->setFocusPolicy(b == stop ? Qt::StrongFocus : Qt::ClickFocus);
}

int TRadioGroup::ItemIndex() const { return FGroup->checkedId(); }

void TRadioGroup::SetItemIndex(int Value) {
    if (QAbstractButton* b = FGroup->button(Value)) {
        b->setChecked(true);
    } else if (QAbstractButton* checked = FGroup->checkedButton()) {
        FGroup->setExclusive(false);
        checked->setChecked(false);
        FGroup->setExclusive(true);
    }
}

QWidget* TRadioGroup::FocusWidget() const {
    if (QAbstractButton* b = FGroup->checkedButton()) return b;
    if (!FGroup->buttons().isEmpty()) return FGroup->buttons().first();
    return Widget();
}

// ---- TMemo

namespace {

// Runs Action and routes any exception to the application; false when one left it.
template <class F>
bool Guarded(F&& Action) {
    try {
        Action();
        return true;
    } catch (...) {
        Application().HandleException(std::current_exception());
        return false;
    }
}

int KeyCode(int QtKey) {
    switch (QtKey) {
        case Qt::Key_Backspace: return TMemo::VK_BACK;
        case Qt::Key_Tab: return TMemo::VK_TAB;
        case Qt::Key_Return:
        case Qt::Key_Enter: return TMemo::VK_RETURN;
        case Qt::Key_Escape: return TMemo::VK_ESCAPE;
        case Qt::Key_Insert: return TMemo::VK_INSERT;
        case Qt::Key_Delete: return TMemo::VK_DELETE;
        default: break;
    }
    // Qt codes a character key by its character, and some characters share
    // their code with a key named above ('-' is VK_INSERT, '.' VK_DELETE), so
    // only letters and digits, which share none, keep theirs. Keys that type
    // nothing keep Qt's code (from Key_Escape, 0x01000000, up), which no key
    // named above has.
    if ((QtKey >= Qt::Key_A && QtKey <= Qt::Key_Z) || (QtKey >= Qt::Key_0 && QtKey <= Qt::Key_9)) return QtKey;
    return QtKey >= Qt::Key_Escape ? QtKey : 0;
}

// The character a key gives, control characters included; 0 for none.
char16_t KeyChar(const QKeyEvent& E) {
    const Qt::KeyboardModifiers mods = E.modifiers();
    if (mods & Qt::AltModifier) return 0;
    const int key = E.key();
    if ((mods & Qt::ControlModifier) && key >= Qt::Key_A && key <= Qt::Key_Z)
        return static_cast<char16_t>(key - Qt::Key_A + 1);
    switch (key) {
        case Qt::Key_Backspace: return 8;
        case Qt::Key_Tab: return 9;
        case Qt::Key_Return:
        case Qt::Key_Enter: return 13;
        case Qt::Key_Escape: return 27;
        case Qt::Key_Delete: return 0;
        default: break;
    }
    const QString text = E.text();
    if (text.size() != 1 || text[0].unicode() < 0x20 || text[0].unicode() == 0x7F) return 0;
    return text[0].unicode();
}

// Makes every line break of Text CR LF. Most texts already have only CR LF
// breaks, or none: those are left as they are, without a copy.
void MakeBreaksCrLf(String& Text) {
    bool bare = false;
    for (std::size_t i = 0; i < Text.size() && !bare; ++i) {
        if (Text[i] == u'\r' && i + 1 < Text.size() && Text[i + 1] == u'\n') ++i;
        else bare = Text[i] == u'\r' || Text[i] == u'\n';
    }
    if (!bare) return;
    String out;
    out.reserve(Text.size() + Text.size() / 8);
    for (std::size_t i = 0; i < Text.size(); ++i) {
        const char16_t c = Text[i];
        if (c == u'\r' || c == u'\n') {
            out += u"\r\n";
            if (c == u'\r' && i + 1 < Text.size() && Text[i + 1] == u'\n') ++i;
        } else {
            out += c;
        }
    }
    Text = std::move(out);
}

// Whether Doc holds Text, its blocks joined by CR LF (what TMemo::Text
// gives), compared block by block without building the whole text.
bool Holds(const QTextDocument& Doc, rtl::StringView Text) {
    std::size_t pos = 0;
    for (QTextBlock b = Doc.begin(); b.isValid(); b = b.next()) {
        if (b != Doc.begin()) {
            if (Text.substr(pos, 2) != u"\r\n") return false;
            pos += 2;
        }
        const QString block = b.text();
        const auto size = static_cast<std::size_t>(block.size());
        if (Text.substr(pos, size) != rtl::StringView(reinterpret_cast<const char16_t*>(block.utf16()), size))
            return false;
        pos += size;
    }
    return pos == Text.size();
}

// A text edit framed in the highlight colour while it has the focus, as a
// line edit is: its caret alone blinks out half the time, and a read-only
// text may have none in view.
class FocusFramedTextEdit : public QTextEdit {
protected:
    bool event(QEvent* Event) override {
        const bool handled = QTextEdit::event(Event);
        if (Event->type() == QEvent::Paint && hasFocus()) {
            QPainter painter(this);
            painter.setPen(palette().highlight().color());
            painter.drawRect(rect().adjusted(0, 0, -1, -1));
        }
        return handled;
    }
};

}  // namespace

// Turns the editor's key, mouse, focus and change events into the memo's
// virtual notifications.
class TMemo::Watch : public QObject {
public:
    explicit Watch(TMemo& Memo) : FMemo(Memo) {}

    bool eventFilter(QObject* Watched, QEvent* Event) override {
        QTextEdit* editor = FMemo.Editor();
        if (Watched == editor->viewport()) {
            if (Event->type() != QEvent::MouseButtonDblClick) return false;
            bool handled = false;
            Guarded([&] { handled = FMemo.DblClick(); });
            return handled;
        }
        if (Watched != editor) return false;
        switch (Event->type()) {
            case QEvent::KeyPress: return Key(*static_cast<QKeyEvent*>(Event));
            case QEvent::FocusIn:
                if (WithinWindow(*static_cast<QFocusEvent*>(Event))) Guarded([&] { FMemo.DoEnter(); });
                return false;
            case QEvent::FocusOut:
                if (WithinWindow(*static_cast<QFocusEvent*>(Event))) Exit();
                return false;
            case QEvent::ContextMenu: ContextMenu(*static_cast<QContextMenuEvent*>(Event)); return true;
            default: return false;
        }
    }

private:
    // Moves between controls, not the window losing or regaining activation.
    static bool WithinWindow(const QFocusEvent& E) {
        return E.reason() != Qt::ActiveWindowFocusReason && E.reason() != Qt::PopupFocusReason;
    }

    // True when the key is dropped (or handed on to the window).
    bool Key(QKeyEvent& E) {
        const Qt::KeyboardModifiers mods = E.modifiers();
        const bool ctrlOrAlt = mods & (Qt::ControlModifier | Qt::AltModifier);
        if ((E.key() == Qt::Key_Tab || E.key() == Qt::Key_Backtab) && !ctrlOrAlt) return false;
        int key = KeyCode(E.key());
        if (key == VK_RETURN && !FMemo.FWantReturns && !ctrlOrAlt) {
            E.ignore();
            return true;
        }
        TShiftState shift;
        if (mods & Qt::ShiftModifier) shift.Include(ssShift);
        if (mods & Qt::AltModifier) shift.Include(ssAlt);
        if (mods & Qt::ControlModifier) shift.Include(ssCtrl);
        // A character key without a code comes as 0 and is not dropped for it.
        const bool coded = key != 0;
        if (!Guarded([&] { FMemo.KeyDown(key, shift); }) || (coded && key == 0)) return true;
        char16_t ch = KeyChar(E);
        if (ch != 0 && (!Guarded([&] { FMemo.KeyPress(ch); }) || ch == 0)) return true;
        if (E.matches(QKeySequence::Cut) || E.matches(QKeySequence::Paste) || E.matches(QKeySequence::Undo) ||
            E.matches(QKeySequence::Redo)) {
            bool allowed = false;
            Guarded([&] { allowed = FMemo.EditRequest(); });
            return !allowed;
        }
        return false;
    }

    // The editor's own menu, whose text-changing entries ask EditRequest first.
    void ContextMenu(const QContextMenuEvent& E) {
        QTextEdit* editor = FMemo.Editor();
        std::unique_ptr<QMenu> menu(editor->createStandardContextMenu(E.pos()));
        for (QAction* action : menu->actions()) {
            const QString name = action->objectName();
            std::function<void()> change;
            if (name == QLatin1String("edit-undo")) change = [editor] { editor->undo(); };
            else if (name == QLatin1String("edit-redo")) change = [editor] { editor->redo(); };
            else if (name == QLatin1String("edit-cut")) change = [editor] { editor->cut(); };
            else if (name == QLatin1String("edit-paste")) change = [editor] { editor->paste(); };
            else if (name == QLatin1String("edit-delete"))
                change = [editor] { editor->textCursor().removeSelectedText(); };
            else continue;
            QObject::disconnect(action, &QAction::triggered, nullptr, nullptr);
            QObject::connect(action, &QAction::triggered, this, [this, change] {
                bool allowed = false;
                Guarded([&] { allowed = FMemo.EditRequest(); });
                if (allowed) change();
            });
        }
        menu->exec(E.globalPos());
    }

    // An exception leaving DoExit brings the focus back once the move is done.
    void Exit() {
        try {
            FMemo.DoExit();
        } catch (...) {
            QPointer<QTextEdit> editor = FMemo.Editor();
            QMetaObject::invokeMethod(
                editor,
                [editor] {
                    if (editor) editor->setFocus(Qt::OtherFocusReason);
                },
                Qt::QueuedConnection);
            Application().HandleException(std::current_exception());
        }
    }

    TMemo& FMemo;
};

TMemo::TMemo(TComponent* AOwner) : TControl(AOwner, std::make_unique<FocusFramedTextEdit>()), FWatch(new Watch(*this)) {
    Editor()->setAcceptRichText(false);
    Editor()->setTabChangesFocus(true);
    // Dropped text would change the memo without EditRequest.
    Editor()->setAcceptDrops(false);
    Editor()->installEventFilter(FWatch.get());
    Editor()->viewport()->installEventFilter(FWatch.get());
    // Tied to the watch, so no change is reported once the memo is going.
    QObject::connect(Editor(), &QTextEdit::textChanged, FWatch.get(), [this] { Guarded([this] { Change(); }); });
    SetScrollBars(TScrollStyle::ssNone);
}

TMemo::~TMemo() = default;

QTextEdit* TMemo::Editor() const { return static_cast<QTextEdit*>(Widget()); }

String TMemo::Text() const {
    String text;
    for (QTextBlock b = Editor()->document()->begin(); b.isValid(); b = b.next()) {
        if (b != Editor()->document()->begin()) text += u"\r\n";
        text += FromQString(b.text());
    }
    return text;
}

void TMemo::SetText(String Value) {
    MakeBreaksCrLf(Value);
    if (Holds(*Editor()->document(), Value)) return;
    if (Value.size() > static_cast<std::size_t>(std::max(FCapacity, 0))) throw EInvalidOperation(SMemoTooLarge);
    Editor()->setPlainText(ToQString(Value));
}

int TMemo::LineCount() const {
    const QTextDocument* doc = Editor()->document();
    // A break after the last line starts no line of its own.
    return doc->blockCount() - (doc->lastBlock().text().isEmpty() ? 1 : 0);
}

String TMemo::Lines(int Index) const {
    if (Index < 0 || Index >= LineCount())
        throw rtl::EListError(rtl::Format(u"List index out of bounds (%d)", {Index}));
    return FromQString(Editor()->document()->findBlockByNumber(Index).text());
}

void TMemo::SetReadOnly(bool Value) {
    Editor()->setReadOnly(Value);
    // Qt's read-only text answers the mouse only.
    if (Value) Editor()->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
}
bool TMemo::ReadOnly() const { return Editor()->isReadOnly(); }

void TMemo::SetWordWrap(bool Value) {
    FWordWrap = Value;
    Editor()->setLineWrapMode(Value ? QTextEdit::WidgetWidth : QTextEdit::NoWrap);
}

void TMemo::SetAlignment(TAlignment Value) {
    // The document keeps its default option when its text is replaced.
    QTextOption option = Editor()->document()->defaultTextOption();
    option.setAlignment(ToQt(Value));
    Editor()->document()->setDefaultTextOption(option);
}

void TMemo::SetScrollBars(TScrollStyle Value) {
    FScrollBars = Value;
    const bool vertical = Value == TScrollStyle::ssVertical || Value == TScrollStyle::ssBoth;
    const bool horizontal = Value == TScrollStyle::ssHorizontal || Value == TScrollStyle::ssBoth;
    Editor()->setVerticalScrollBarPolicy(vertical ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    Editor()->setHorizontalScrollBarPolicy(horizontal ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
}

void TMemo::SetFontPixelHeight(int Value) { Editor()->setFont(DesignFont(Value)); }

void TMemo::SelectAll() { Editor()->selectAll(); }

String TMemo::SelText() const {
    QString selected = Editor()->textCursor().selectedText();
    selected.replace(QChar::ParagraphSeparator, QStringLiteral("\r\n"));
    return FromQString(selected);
}

void TMemo::KeyDown(int&, TShiftState) {}
void TMemo::KeyPress(char16_t&) {}

}  // namespace toolkit
