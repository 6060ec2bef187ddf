// SPDX-License-Identifier: MIT
#include "platform/Address.h"

using namespace Qt::StringLiterals;

namespace brandle {

namespace {

constexpr QLatin1StringView schemes[] = {"http://"_L1, "https://"_L1};

// The length of a leading "http://" or "https://" in any letter case; 0 without one.
qsizetype schemeLength(const QString& address)
{
    for (const QLatin1StringView scheme : schemes) {
        if (address.startsWith(scheme, Qt::CaseInsensitive))
            return scheme.size();
    }
    return 0;
}

} // namespace

QString siteForLookup(const QString& address)
{
    const QString typed = address.trimmed();
    QString site = typed.mid(schemeLength(typed)).toLower();
    if (site.size() > 1 && site.indexOf(u'/') == site.size() - 1)
        site.chop(1);
    return site;
}

QString browserAddress(const QString& address)
{
    const QString lower = address.trimmed().toLower();
    return schemeLength(lower) > 0 ? lower : schemes[0] + lower;
}

} // namespace brandle
