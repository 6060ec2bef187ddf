// SPDX-License-Identifier: MIT
#include "windows/RecentList.h"

#include "platform/Errors.h"
#include "platform/LocaleText.h"
#include "platform/Store.h"
#include "platform/StoreKeys.h"

namespace RecentList {

qint32 limit(const QString& historyText)
{
    try {
        return LocaleText::toInt32(historyText);
    } catch (const BrandleError&) {
        return 0;
    }
}

QStringList load(qint32 limit)
{
    QStringList list;
    for (qint64 k = 1; k <= limit; ++k) {
        const QString address =
            GetAppSetting(StoreKeys::SectionApp, StoreKeys::recentLookup(int(k)));
        if (!address.isEmpty())
            list.append(address);
    }
    return list;
}

bool isBlank(const QString& address)
{
    return address.trimmed().isEmpty();
}

QStringList afterLookup(QStringList list, int selected, const QString& address, qint32 limit)
{
    if (selected >= 0 && selected < list.size()) {
        list.removeAt(selected);
    } else {
        // A limit below 1 drops nothing (there would be no entry to drop when the list is empty).
        while (limit > 0 && list.size() >= limit)
            list.removeFirst();
    }
    list.append(address);
    return list;
}

void save(const QStringList& list)
{
    for (int i = 0; i < list.size(); ++i)
        SaveAppSetting(StoreKeys::SectionApp, StoreKeys::recentLookup(i + 1), list.at(i));
}

} // namespace RecentList
