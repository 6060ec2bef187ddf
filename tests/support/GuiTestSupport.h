// SPDX-License-Identifier: MIT
#pragma once

#include "desktop/MessageBox.h"

#include <QList>
#include <QStringList>

#include <functional>

namespace brandle {

// While it lives, every message box is recorded instead of shown, and answered; an observer
// sees each box as it comes (to keep it in order with other events).
class MessageBoxRecorder {
public:
    using Observer = std::function<void(const MessageBox::Request&)>;
    explicit MessageBoxRecorder(QMessageBox::StandardButton answer = QMessageBox::Ok,
                                Observer observer = {});
    ~MessageBoxRecorder();
    MessageBoxRecorder(const MessageBoxRecorder&) = delete;
    MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

    const QList<MessageBox::Request>& boxes() const { return m_boxes; }
    // The texts of the boxes shown so far.
    QStringList texts() const;
    void clear() { m_boxes.clear(); }

private:
    QList<MessageBox::Request> m_boxes;
};

} // namespace brandle
