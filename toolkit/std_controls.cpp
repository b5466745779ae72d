#include "toolkit/std_controls.h"

#include <QApplication>
#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTextEdit>

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

}  // namespace

// ---- TLabel

TLabel::TLabel(TComponent* AOwner) : TControl(AOwner, std::make_unique<QLabel>()) {}
QLabel* TLabel::Label() const { return static_cast<QLabel*>(Widget()); }
String TLabel::Caption() const { return FromQString(Label()->text()); }
void TLabel::SetCaption(const String& Value) { Label()->setText(ToQString(Value)); }
void TLabel::SetAlignment(TAlignment Value) { Label()->setAlignment(ToQt(Value) | Qt::AlignTop); }

// ---- TEdit

// Follows the application's focus changes and fires OnEnter for moves from
// another control of the same window.
struct TEdit::FocusWatch {
    QMetaObject::Connection Connection;
    ~FocusWatch() { QObject::disconnect(Connection); }
};

TEdit::TEdit(TComponent* AOwner) : TControl(AOwner, std::make_unique<QLineEdit>()), FWatch(new FocusWatch) {
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
    : TControl(AOwner, std::make_unique<QGroupBox>()), FGroup(std::make_unique<QButtonGroup>()) {
    new QGridLayout(Box());
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
        auto* button = new QRadioButton(ToQString(FItems[i]), Box());
        FGroup->addButton(button, i);
        // Items fill the columns top to bottom, then left to right.
        layout->addWidget(button, rows ? i % rows : 0, rows ? i / rows : 0);
    }
    SetItemIndex(index);
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

TMemo::TMemo(TComponent* AOwner) : TControl(AOwner, std::make_unique<QTextEdit>()) {
    Editor()->setAcceptRichText(false);
}

QTextEdit* TMemo::Editor() const { return static_cast<QTextEdit*>(Widget()); }
String TMemo::Text() const { return FromQString(Editor()->toPlainText()); }

void TMemo::SetText(const String& Value) { Editor()->setPlainText(ToQString(Value)); }

void TMemo::SetReadOnly(bool Value) { Editor()->setReadOnly(Value); }
bool TMemo::ReadOnly() const { return Editor()->isReadOnly(); }

void TMemo::SetAlignment(TAlignment Value) {
    // The document keeps its default option when its text is replaced.
    QTextOption option = Editor()->document()->defaultTextOption();
    option.setAlignment(ToQt(Value));
    Editor()->document()->setDefaultTextOption(option);
}

void TMemo::SetScrollBars(TScrollStyle Value) {
    const bool vertical = Value == TScrollStyle::ssVertical || Value == TScrollStyle::ssBoth;
    const bool horizontal = Value == TScrollStyle::ssHorizontal || Value == TScrollStyle::ssBoth;
    Editor()->setVerticalScrollBarPolicy(vertical ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    Editor()->setHorizontalScrollBarPolicy(horizontal ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    // Without a horizontal bar long lines wrap at the edge.
    Editor()->setLineWrapMode(horizontal ? QTextEdit::NoWrap : QTextEdit::WidgetWidth);
}

void TMemo::SetFontPixelHeight(int Value) { Editor()->setFont(DesignFont(Value)); }

}  // namespace toolkit
