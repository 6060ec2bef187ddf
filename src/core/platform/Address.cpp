// SPDX-License-Identifier: MIT
#include "platform/Address.h"

namespace brandle {

namespace {
constexpr QLatin1StringView scheme("http://");
}

QString siteForLookup(const QString& address)
{
    if (address.left(7).compare(scheme, Qt::CaseInsensitive) == 0)
        return address.mid(7).toLower();
    return address.toLower();
}

QString browserAddress(const QString& address)
{
    const QString lower = address.toLower();
    return lower.left(7) == scheme ? lower : scheme + lower;
}

} // namespace brandle
