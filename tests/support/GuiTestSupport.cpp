// SPDX-License-Identifier: MIT
#include "GuiTestSupport.h"

#include <QtGlobal>

namespace brandle {

namespace {
bool recording = false;
}

MessageBoxRecorder::MessageBoxRecorder(QMessageBox::StandardButton answer, Observer observer)
{
    if (recording)
        qFatal("only one MessageBoxRecorder at a time");
    recording = true;
    MessageBox::setTestHook([this, answer, observer](const MessageBox::Request& request) {
        m_boxes.append(request);
        if (observer)
            observer(request);
        return answer;
    });
}

MessageBoxRecorder::~MessageBoxRecorder()
{
    MessageBox::setTestHook(nullptr);
    recording = false;
}

QStringList MessageBoxRecorder::texts() const
{
    QStringList texts;
    for (const MessageBox::Request& box : m_boxes)
        texts.append(box.text);
    return texts;
}

} // namespace brandle
