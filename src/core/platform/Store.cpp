// SPDX-License-Identifier: MIT
#include "platform/Store.h"

#include "platform/mConstants.h"

#include <QSettings>

using namespace Qt::StringLiterals;

namespace {

// QSettings reads "/" and "\" in a key as group separators; engine names may hold either, so
// they are escaped (with "%" itself) to keep every name a single key of its section.
QString storeKey(const QString& section, const QString& key)
{
    QString escaped;
    escaped.reserve(key.size());
    for (const QChar c : key) {
        if (c == u'%')
            escaped += "%25"_L1;
        else if (c == u'/')
            escaped += "%2F"_L1;
        else if (c == u'\\')
            escaped += "%5C"_L1;
        else
            escaped += c;
    }
    return section + u'/' + escaped;
}

} // namespace

QString GetAppSetting(const QString& section, const QString& key)
{
    QSettings store(QSettings::NativeFormat, QSettings::UserScope,
                    QString(mConstants::StoreApplication));
    if (store.status() != QSettings::NoError)
        return {};
    const QVariant value = store.value(storeKey(section, key));
    return value.isValid() ? value.toString() : QString();
}

void SaveAppSetting(const QString& section, const QString& key, const QString& value)
{
    QSettings store(QSettings::NativeFormat, QSettings::UserScope,
                    QString(mConstants::StoreApplication));
    store.setValue(storeKey(section, key), value);
    store.sync();
}

Qt::CaseSensitivity StoreKeyCase()
{
#ifdef Q_OS_WIN
    return Qt::CaseInsensitive;
#else
    return Qt::CaseSensitive;
#endif
}
