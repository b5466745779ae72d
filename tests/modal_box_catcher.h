#pragma once
// Test helper: while alive, answers every modal message box with OK and keeps
// what it showed (caption, text, icon, buttons).

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

class ModalBoxCatcher {
public:
    ModalBoxCatcher() {
        FTimer.setInterval(10);
        QObject::connect(&FTimer, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible()) return;
            Boxes.push_back({box->windowTitle(), box->text(), box->icon(),
                             static_cast<int>(box->buttons().size()),
                             box->standardButtons() == QMessageBox::Ok});
            if (QAbstractButton* ok = box->button(QMessageBox::Ok)) ok->click();
            else box->reject();
        });
        FTimer.start();
    }

    std::vector<ShownBox> Boxes;

private:
    QTimer FTimer;
};
