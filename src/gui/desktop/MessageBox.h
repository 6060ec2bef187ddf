// SPDX-License-Identifier: MIT
#pragma once

#include <QMessageBox>
#include <QString>

#include <functional>

namespace brandle {

// Every message box of the program goes through here, so tests can see and answer them.
namespace MessageBox {

struct Request {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
};

// Shows a modal box and returns the button that closed it. The text is plain text.
QMessageBox::StandardButton show(QWidget* parent, const Request& request);

// A box titled "Brandle" with only an OK button.
void inform(QWidget* parent, const QString& text, QMessageBox::Icon icon);

// Tests: while set, no box is shown; the hook receives the request and gives the answer.
using Hook = std::function<QMessageBox::StandardButton(const Request&)>;
void setTestHook(Hook hook);

} // namespace MessageBox

} // namespace brandle
