// SPDX-License-Identifier: MIT
#include "settings/clsProps.h"

#include "platform/LocaleText.h"
#include "settings/Config.h"

clsProps oProps;

void clsProps::setLastRun(const QDateTime& v)
{
    m_LastRun = brandle::LocaleText::generalDateTime(v);
}

void brandle::LoadProps(clsProps& props, const QString& historyBoxText)
{
    props.setURLName(Config::text(Setting::PrimaryUrl));
    props.setLogging(Config::text(Setting::Logging));
    props.setAutoCheck(Config::text(Setting::AutoCheck));
    props.setPlaySound(Config::text(Setting::PlaySound));
    props.setWindowTop(Config::text(Setting::WindowTop));
    props.setHistory(historyBoxText);
}
