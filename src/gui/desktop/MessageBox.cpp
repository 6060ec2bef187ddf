// SPDX-License-Identifier: MIT
#include "desktop/MessageBox.h"

#include "platform/mConstants.h"

namespace brandle::MessageBox {

namespace {
Hook& testHook()
{
    static Hook hook;
    return hook;
}
} // namespace

QMessageBox::StandardButton show(QWidget* parent, const Request& request)
{
    if (testHook())
        return testHook()(request);
    QMessageBox box(request.icon, request.title, request.text, request.buttons, parent);
    // Texts are shown as written: markup from a service notice is not rendered, and no link in
    // it can be followed.
    box.setTextFormat(Qt::PlainText);
    // A box without a window stays above every window; so does one over a window that the window
    // manager does not stack, which could not be kept beneath it otherwise.
    box.setWindowFlag(Qt::WindowStaysOnTopHint,
                      parent == nullptr ||
                          parent->window()->windowFlags().testFlag(Qt::X11BypassWindowManagerHint));
    return QMessageBox::StandardButton(box.exec());
}

void inform(QWidget* parent, const QString& text, QMessageBox::Icon icon)
{
    show(parent, {QString(mConstants::AppTitle), text, icon, QMessageBox::Ok});
}

void setTestHook(Hook hook)
{
    testHook() = std::move(hook);
}

} // namespace brandle::MessageBox
