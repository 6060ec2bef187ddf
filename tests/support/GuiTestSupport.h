// SPDX-License-Identifier: MIT
#pragma once

#include "app/WebWindows.h"
#include "desktop/MessageBox.h"
#include "engine/WindowParams.h"

#include <QList>
#include <QObject>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <memory>

using namespace Qt::StringLiterals;

namespace brandle {

// While it lives, message boxes are recorded and answered, not shown; an observer sees each.
class MessageBoxRecorder {
public:
    using Observer = std::function<void(const MessageBox::Request&)>;
    explicit MessageBoxRecorder(QMessageBox::StandardButton answer = QMessageBox::Ok,
                                Observer observer = {});
    ~MessageBoxRecorder();
    MessageBoxRecorder(const MessageBoxRecorder&) = delete;
    MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

    const QList<MessageBox::Request>& boxes() const { return m_boxes; }
    QStringList texts() const; // of the boxes shown so far

private:
    QList<MessageBox::Request> m_boxes;
};

// Each test starts with an empty store and log folder, fresh settings, no translation loaded
// and boxes recorded.
class GuiTestCase : public QObject {
    Q_OBJECT
protected:
    GuiTestCase();
    std::unique_ptr<MessageBoxRecorder> m_boxes;
    QTemporaryDir m_dir;
    QString m_page = m_dir.filePath(u"ParloMsg.html"_s); // a result page
    void freshStart();

private slots:
    void init() { freshStart(); }
    void cleanup() { m_boxes.reset(); }
};

// Runs inside once the next real message box is open (in its own event loop), then closes it.
void whenBoxOpens(std::function<void(QWidget* box)> inside);

// The bundled schema's window parameters; a hold of duration ms, 600 twips every speed ms.
WindowParams windowParams(int duration, int speed = 10);

// The program's side of the web windows: records the lookups started, refuses them while busy.
class RecordingHost : public WebWindowsHost {
public:
    QStringList lookups;
    bool busy = false;
    bool onTop = true;
    bool startLookup(const QString& site) override;
    bool keepOnTop() const override { return onTop; }
    QString historyLimit() const override { return u"5"_s; }
};

} // namespace brandle
