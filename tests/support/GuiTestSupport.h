// SPDX-License-Identifier: MIT
#pragma once

#include "app/WebWindows.h"
#include "desktop/MessageBox.h"
#include "engine/WindowParams.h"

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

// The bundled schema's window parameters with a hold of duration ms and steps of 600 twips every
// speed ms.
WindowParams windowParams(int duration, int speed = 10);

// The program's side of the web windows: records the lookups the quick lookup box starts, and
// refuses them while busy (a count runs).
class RecordingHost : public WebWindowsHost {
public:
    QStringList lookups;
    bool busy = false;
    bool startLookup(const QString& site) override;
    bool keepOnTop() const override { return true; }
    QString historyLimit() const override;
};

} // namespace brandle
