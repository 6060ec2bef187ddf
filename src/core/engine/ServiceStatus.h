// SPDX-License-Identifier: MIT
#pragma once

#include "engine/LookupUi.h"
#include "platform/Http.h"

#include <QString>

#include <optional>

namespace brandle {

enum class ServiceVerdict {
    Go,          // the lookup may run
    Stop,        // the host refused, or its text is not understood
    Unreachable, // the status text could not be fetched
};

struct ServiceStatus {
    ServiceVerdict verdict = ServiceVerdict::Stop;
    std::optional<ServiceNotice> notice;
};

// Reads a status text: exactly "Active" runs; "MessageOn" (first 9 characters) shows a notice
// and runs; "MessageOff" (first 10 characters) shows a notice and stops; anything else stops.
// A notice needs four lines separated by CR LF (0 the marker, 1 the title, 2 the text, 3 the
// style as a number); without them nothing is shown and the lookup stops.
ServiceStatus parseServiceStatus(const QString& text);

// How a notice's style number shows: its buttons (bits 0-3) and its icon (bits 4-6).
enum class NoticeButtons { Ok, OkCancel, AbortRetryIgnore, YesNoCancel, YesNo, RetryCancel };
enum class NoticeIcon { None, Critical, Question, Exclamation, Information };
struct NoticeStyle {
    NoticeButtons buttons = NoticeButtons::Ok;
    NoticeIcon icon = NoticeIcon::None;
};
NoticeStyle noticeStyle(qint32 style);

} // namespace brandle

// Fetches the status text of the service host and shows its notice through ui, returning when
// the notice was closed.
brandle::ServiceVerdict CheckServiceStatus(brandle::LookupUi& ui, brandle::HttpSession& session);
brandle::ServiceVerdict CheckServiceStatus(brandle::LookupUi& ui);
