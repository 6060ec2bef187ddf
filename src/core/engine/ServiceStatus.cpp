// SPDX-License-Identifier: MIT
#include "engine/ServiceStatus.h"

#include "platform/Errors.h"
#include "platform/Http.h"
#include "platform/LocaleText.h"
#include "platform/Paths.h"
#include "platform/mConstants.h"

#include <QStringList>

using namespace Qt::StringLiterals;

using namespace brandle;

namespace {

std::optional<ServiceNotice> parseNotice(const QString& text)
{
    const QStringList lines = text.split("\r\n"_L1);
    if (lines.size() < 4)
        return std::nullopt;
    ServiceNotice notice;
    notice.title = lines.at(1);
    notice.text = lines.at(2);
    try {
        notice.style = LocaleText::toInt32(lines.at(3));
    } catch (const BrandleError&) {
        return std::nullopt;
    }
    return notice;
}

} // namespace

ServiceStatus brandle::parseServiceStatus(const QString& text)
{
    ServiceStatus status;
    if (text == "Active"_L1) {
        status.verdict = ServiceVerdict::Go;
    } else if (text.left(9) == "MessageOn"_L1) {
        status.notice = parseNotice(text);
        status.verdict = status.notice ? ServiceVerdict::Go : ServiceVerdict::Stop;
    } else if (text.left(10) == "MessageOff"_L1) {
        status.notice = parseNotice(text);
    }
    return status;
}

ServiceVerdict CheckServiceStatus(LookupUi& ui)
{
    HttpSession session;
    return CheckServiceStatus(ui, session);
}

ServiceVerdict CheckServiceStatus(LookupUi& ui, HttpSession& session)
{
    const HttpResult answer = session.get(Paths::serviceUrl(mConstants::StatusPath));
    if (!answer.ok())
        return ServiceVerdict::Unreachable;
    const ServiceStatus status = parseServiceStatus(answer.body);
    if (status.notice)
        ui.showNotice(*status.notice);
    return status.verdict;
}

NoticeStyle brandle::noticeStyle(qint32 style)
{
    NoticeStyle result;
    switch (style & 0xF) {
    case 1:
        result.buttons = NoticeButtons::OkCancel;
        break;
    case 2:
        result.buttons = NoticeButtons::AbortRetryIgnore;
        break;
    case 3:
        result.buttons = NoticeButtons::YesNoCancel;
        break;
    case 4:
        result.buttons = NoticeButtons::YesNo;
        break;
    case 5:
        result.buttons = NoticeButtons::RetryCancel;
        break;
    default:
        result.buttons = NoticeButtons::Ok;
    }
    switch (style & 0x70) {
    case 16:
        result.icon = NoticeIcon::Critical;
        break;
    case 32:
        result.icon = NoticeIcon::Question;
        break;
    case 48:
        result.icon = NoticeIcon::Exclamation;
        break;
    case 64:
        result.icon = NoticeIcon::Information;
        break;
    default:
        result.icon = NoticeIcon::None;
    }
    return result;
}
