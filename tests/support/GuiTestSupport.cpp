// SPDX-License-Identifier: MIT
#include "GuiTestSupport.h"

#include "TestSupport.h"

#include "desktop/Translations.h"
#include "platform/Paths.h"
#include "platform/mConstants.h"
#include "settings/clsProps.h"

#include <QApplication>
#include <QDir>
#include <QTimer>

namespace brandle {

static bool recording = false; // one recorder at a time

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

GuiTestCase::GuiTestCase()
{
    writeFile(m_page, "<html><body><h3>Result</h3></body></html>");
}

void GuiTestCase::freshStart()
{
    clearStore();
    QDir(Paths::inProgramFolder(mConstants::LogFolderName)).removeRecursively();
    oProps = clsProps();
    removeTranslations();
    m_boxes.reset();
    m_boxes = std::make_unique<MessageBoxRecorder>();
}

void whenBoxOpens(std::function<void(QWidget*)> inside)
{
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, poll, [poll, inside] {
        if (QWidget* box = QApplication::activeModalWidget()) {
            poll->deleteLater();
            poll->stop();
            inside(box);
            box->close();
        }
    });
    poll->start(20);
}

WindowParams windowParams(int duration, int speed)
{
    return {3375, 4380, duration, speed, 600, 3405, 3525, 850, u"60"_s};
}

bool RecordingHost::startLookup(const QString& site)
{
    if (busy)
        return false;
    lookups.append(site);
    return true;
}

} // namespace brandle
