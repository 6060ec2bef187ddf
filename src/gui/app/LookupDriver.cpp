// SPDX-License-Identifier: MIT
#include "app/LookupDriver.h"

#include "engine/ServiceStatus.h"
#include "platform/Http.h"
#include "platform/LocaleText.h"
#include "platform/Paths.h"
#include "platform/mConstants.h"

#include <QThread>

namespace brandle {

namespace {

// The windows' side of a lookup, called on the worker thread: every call is carried over to
// the driver's thread. A notice holds the worker until the user has closed it.
class UiBridge final : public LookupUi {
public:
    explicit UiBridge(LookupDriver* driver)
        : m_driver(driver)
    {
    }
    void showNotice(const ServiceNotice& notice) override
    {
        QMetaObject::invokeMethod(
            m_driver, [notice] { MessageBox::show(nullptr, noticeRequest(notice)); },
            Qt::BlockingQueuedConnection);
    }
    void showLoading() override
    {
        QMetaObject::invokeMethod(m_driver, &LookupDriver::showLoading, Qt::QueuedConnection);
    }
    void closeLoading() override
    {
        QMetaObject::invokeMethod(m_driver, &LookupDriver::closeLoading, Qt::QueuedConnection);
    }
    void playAlert(const QString& code) override
    {
        QMetaObject::invokeMethod(
            m_driver, [d = m_driver, code] { emit d->playAlert(code); }, Qt::QueuedConnection);
    }

private:
    LookupDriver* m_driver;
};

} // namespace

MessageBox::Request noticeRequest(const ServiceNotice& notice)
{
    const NoticeStyle style = noticeStyle(notice.style);
    MessageBox::Request request;
    request.title = notice.title;
    request.text = notice.text;
    switch (style.buttons) {
    case NoticeButtons::Ok:
        request.buttons = QMessageBox::Ok;
        break;
    case NoticeButtons::OkCancel:
        request.buttons = QMessageBox::Ok | QMessageBox::Cancel;
        break;
    case NoticeButtons::AbortRetryIgnore:
        request.buttons = QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore;
        break;
    case NoticeButtons::YesNoCancel:
        request.buttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        break;
    case NoticeButtons::YesNo:
        request.buttons = QMessageBox::Yes | QMessageBox::No;
        break;
    case NoticeButtons::RetryCancel:
        request.buttons = QMessageBox::Retry | QMessageBox::Cancel;
        break;
    }
    switch (style.icon) {
    case NoticeIcon::None:
        request.icon = QMessageBox::NoIcon;
        break;
    case NoticeIcon::Critical:
        request.icon = QMessageBox::Critical;
        break;
    case NoticeIcon::Question:
        request.icon = QMessageBox::Question;
        break;
    case NoticeIcon::Exclamation:
        request.icon = QMessageBox::Warning;
        break;
    case NoticeIcon::Information:
        request.icon = QMessageBox::Information;
        break;
    }
    return request;
}

UserNotice countNotice(const QString& site, qint32 total, qint32 previous)
{
    const qint64 change = qint64(total) - previous;
    const QString totalText = LocaleText::formatCount(total);
    const QString by = LocaleText::formatCount(change < 0 ? -change : change);
    const QString before = LocaleText::formatCount(previous);
    QString text;
    if (change > 0)
        text = LookupDriver::tr("%1: %2 links, up %3 from %4.").arg(site, totalText, by, before);
    else if (change < 0)
        text = LookupDriver::tr("%1: %2 links, down %3 from %4.").arg(site, totalText, by, before);
    else
        text = LookupDriver::tr("%1: %2 links, unchanged.").arg(site, totalText);
    return {QString(mConstants::AppTitle), text, UserNotice::Kind::Count};
}

LookupDriver::LookupDriver(QObject* parent)
    : QObject(parent)
{
}

LookupDriver::~LookupDriver()
{
    shutdown();
}

bool LookupDriver::start(const QString& site, Origin origin)
{
    if (m_thread) {
        if (origin == Origin::User)
            emit tellUser({QString(mConstants::AppTitle),
                           tr("A link count is already running. Please wait until it ends."),
                           UserNotice::Kind::Info});
        return false;
    }
    m_origin = origin;
    // The worker gets its own copy of the settings record and hands it back at the end.
    const clsProps snapshot = oProps;
    // A tracked site compares with its own previous run.
    const QueryOptions options{origin == Origin::Tracked};
    m_thread = QThread::create([this, site, snapshot, options] {
        clsProps props = snapshot;
        UiBridge ui(this);
        const LookupOutcome outcome = RunLookup(site, props, ui, options);
        QMetaObject::invokeMethod(
            this, [this, outcome, props] { onFinished(outcome, props); }, Qt::QueuedConnection);
    });
    m_thread->start();
    emit started();
    return true;
}

void LookupDriver::onFinished(const LookupOutcome& outcome, const clsProps& props)
{
    if (m_thread) {
        m_thread->wait();
        delete m_thread;
        m_thread = nullptr;
    }

    if (outcome.query.counted) {
        oProps.setURLName(props.URLName());
        oProps.setLastCount(props.LastCount());
        oProps.setLastRun(props.LastRun());
    }
    if (outcome.kind == LookupOutcome::Kind::PageWritten) {
        oProps.setXMLSchema(props.XMLSchema());
        // The schema sets the spacing of the automatic checks.
        if (outcome.window)
            oProps.setSleepTime(outcome.window->WinSleep);
    }

    const QString title(mConstants::AppTitle);
    switch (outcome.kind) {
    case LookupOutcome::Kind::PageWritten:
        if (outcome.window && (m_origin != Origin::Tracked || outcome.query.alert))
            emit showPage(outcome.pagePath, *outcome.window);
        break;
    case LookupOutcome::Kind::Error:
        MessageBox::inform(nullptr, outcome.error->userText(), QMessageBox::NoIcon);
        break;
    case LookupOutcome::Kind::DownloadFailure:
        emit tellUser({title,
                       tr("The engine \"%1\" could not be reached, so the link count was not "
                          "updated.")
                           .arg(outcome.query.failedEngine),
                       UserNotice::Kind::Info});
        break;
    case LookupOutcome::Kind::ServiceUnreachable:
        emit tellUser({title,
                       tr("The service host %1 could not be reached, so the link count was not "
                          "updated.")
                           .arg(Paths::serviceHost()),
                       UserNotice::Kind::Info});
        break;
    case LookupOutcome::Kind::ServiceRefused:
        break;
    }
    if (outcome.query.counted && outcome.query.alert && outcome.query.previousTotal)
        emit totalChanged(props.URLName(), outcome.query.total, *outcome.query.previousTotal);
    emit finished(outcome.kind);
}

void LookupDriver::shutdown(int waitMs)
{
    if (!m_thread)
        return;
    abortAllTransfers();
    if (m_thread->wait(waitMs)) {
        delete m_thread;
    } else {
        // A worker still held (by a notice box, say) is left to end with the process.
        m_thread->setParent(nullptr);
    }
    m_thread = nullptr;
}

} // namespace brandle
