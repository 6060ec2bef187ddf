// SPDX-License-Identifier: MIT
#include "windows/RecentList.h"

#include "platform/Errors.h"
#include "platform/LocaleText.h"
#include "platform/Store.h"
#include "settings/Config.h"

namespace brandle::RecentList {

qint32 limit(const QString& historyText)
{
    try {
        return LocaleText::toInt32(historyText);
    } catch (const BrandleError&) {
        return 0;
    }
}

QStringList storedValues(qint32 limit)
{
    const StoreSession store;
    QStringList values;
    for (qint64 k = 1; k <= limit; ++k)
        values.append(Config::recentLookup(store, int(k)));
    return values;
}

QStringList load(qint32 limit)
{
    QStringList list = storedValues(limit);
    list.removeAll(QString());
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

bool save(const QStringList& list)
{
    StoreSession store;
    for (int i = 0; i < list.size(); ++i)
        Config::setRecentLookup(store, i + 1, list.at(i));
    try {
        store.save();
        return true;
    } catch (const BrandleError&) {
        return false;
    }
}

} // namespace brandle::RecentList
