// SPDX-License-Identifier: MIT
#include "windows/TrayTip.h"

#include "platform/mConstants.h"

#include <QCoreApplication>

using namespace Qt::StringLiterals;

namespace brandle {

namespace {
constexpr int TipFieldLength = 64;
}

QString trayTip(const QString& url)
{
    const QString text = QString(mConstants::AppTitle) + "\r\n"_L1 +
                         QCoreApplication::translate("TrayTip", "URL: ") + url;
    return text.left(TipFieldLength);
}

QString initialTrayTip()
{
    return QString(mConstants::AppTitle);
}

RecentLookupsMenu::RecentLookupsMenu()
{
    for (int i = 0; i < 5; ++i)
        m_items[size_t(i)].caption =
            QCoreApplication::translate("TrayTip", "History %1").arg(i + 1);
    m_items[0].visible = true;
}

void RecentLookupsMenu::rebuild(qint32 limit, const QStringList& stored)
{
    m_submenuVisible = false;
    m_items[4].visible = true;
    for (int i = 0; i < 4; ++i)
        m_items[size_t(i)].visible = false;

    for (qint32 k = limit; k >= 1; --k) {
        const QString address = stored.value(k - 1);
        if (address.isEmpty())
            continue;
        m_submenuVisible = true;
        if (k > 5)
            continue;
        // Key k goes to item 5 - k (counted from 0 at the top); the items below it are hidden.
        const size_t index = size_t(5 - k);
        m_items[index] = {address, address, true};
        for (size_t below = index + 1; below < 5; ++below)
            m_items[below].visible = false;
    }
}

} // namespace brandle
