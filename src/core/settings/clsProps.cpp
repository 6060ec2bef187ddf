// SPDX-License-Identifier: MIT
#include "settings/clsProps.h"

#include "platform/LocaleText.h"
#include "platform/Store.h"
#include "platform/StoreKeys.h"

clsProps oProps;

void clsProps::setLastRun(const QDateTime& v)
{
    m_LastRun = LocaleText::generalDateTime(v);
}

void LoadProps(clsProps& props, const QString& historyBoxText)
{
    using namespace StoreKeys;
    props.setURLName(GetAppSetting(SectionApp, PrimaryUrl));
    props.setLogging(GetAppSetting(SectionApp, Logging));
    props.setAutoCheck(GetAppSetting(SectionApp, AutoCheck));
    props.setPlaySound(GetAppSetting(SectionApp, PlaySound));
    props.setWindowTop(GetAppSetting(SectionApp, WindowTop));
    props.setHistory(historyBoxText);
}
