// SPDX-License-Identifier: MIT
#include "GuiTestSupport.h"

#include <QtGlobal>

using namespace Qt::StringLiterals;

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

WindowParams windowParams(int duration, int speed)
{
    WindowParams p;
    p.WinWidth = 3375;
    p.WinHeight = 4380;
    p.WinDuration = duration;
    p.WinSpeed = speed;
    p.WinSlide = 600;
    p.WebWidth = 3405;
    p.WebHeight = 3525;
    p.PicHeight = 850;
    p.WinSleep = u"60"_s;
    return p;
}

bool RecordingHost::startLookup(const QString& site)
{
    if (busy)
        return false;
    lookups.append(site);
    return true;
}

QString RecordingHost::historyLimit() const
{
    return u"5"_s;
}

} // namespace brandle
