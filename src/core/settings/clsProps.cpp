// SPDX-License-Identifier: MIT
#include "settings/clsProps.h"

#include "platform/LocaleText.h"
#include "platform/Store.h"
#include "settings/Config.h"

clsProps oProps;

void clsProps::setLastRun(const QDateTime& v)
{
    m_LastRun = brandle::LocaleText::generalDateTime(v);
}

void brandle::LoadProps(clsProps& props, const QString& historyBoxText)
{
    const StoreSession store;
    props.setURLName(Config::text(store, Setting::PrimaryUrl));
    props.setLogging(Config::text(store, Setting::Logging));
    props.setAutoCheck(Config::text(store, Setting::AutoCheck));
    props.setPlaySound(Config::text(store, Setting::PlaySound));
    props.setWindowTop(Config::text(store, Setting::WindowTop));
    props.setHistory(historyBoxText);
}
