#pragma once
// Test helper: while alive, answers every modal message box with OK and keeps
// what it showed (caption, text, icon, buttons). While none is alive,
// UnexpectedBoxGuard fails the running test on any box and closes it, so a
// test that shows a box it did not expect fails instead of waiting forever.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <string>
#include <vector>

struct ShownBox {
    QString Caption;
    QString Text;
    QMessageBox::Icon Icon;
    int ButtonCount;
    bool OkOnly;
};

namespace modal_box_detail {

inline int& LiveCatchers() {
    static int count = 0;
    return count;
}

// The modal message box on screen, or null.
inline QMessageBox* ShownMessageBox() {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    return box && box->isVisible() ? box : nullptr;
}

inline void Answer(QMessageBox* Box) {
    if (QAbstractButton* ok = Box->button(QMessageBox::Ok)) ok->click();
    else Box->reject();
}

}  // namespace modal_box_detail

class ModalBoxCatcher {
public:
    ModalBoxCatcher() {
        ++modal_box_detail::LiveCatchers();
        FTimer.setInterval(10);
        QObject::connect(&FTimer, &QTimer::timeout, [this] {
            QMessageBox* box = modal_box_detail::ShownMessageBox();
            if (!box) return;
            Boxes.push_back({box->windowTitle(), box->text(), box->icon(), static_cast<int>(box->buttons().size()),
                             box->standardButtons() == QMessageBox::Ok});
            modal_box_detail::Answer(box);
        });
        FTimer.start();
    }
    ~ModalBoxCatcher() { --modal_box_detail::LiveCatchers(); }
    ModalBoxCatcher(const ModalBoxCatcher&) = delete;
    ModalBoxCatcher& operator=(const ModalBoxCatcher&) = delete;

    // The texts of the boxes shown so far, in order.
    std::vector<std::u16string> Texts() const {
        std::vector<std::u16string> texts;
        for (const ShownBox& b : Boxes) texts.push_back(b.Text.toStdU16String());
        return texts;
    }

    std::vector<ShownBox> Boxes;

private:
    QTimer FTimer;
};

// Lives as long as the test program: fails the test that shows a box while
// no catcher is alive, and closes the box so the program goes on.
class UnexpectedBoxGuard {
public:
    UnexpectedBoxGuard() {
        FTimer.setInterval(50);
        QObject::connect(&FTimer, &QTimer::timeout, [] {
            if (modal_box_detail::LiveCatchers() > 0) return;
            QMessageBox* box = modal_box_detail::ShownMessageBox();
            if (!box) return;
            ADD_FAILURE() << "unexpected message box: " << box->text().toStdString();
            modal_box_detail::Answer(box);
        });
        FTimer.start();
    }

private:
    QTimer FTimer;
};
