// SPDX-License-Identifier: MIT
#include "settings/AutoCheck.h"

#include "platform/Errors.h"
#include "platform/LocaleText.h"

using namespace Qt::StringLiterals;

namespace brandle {

AutoCheck::Tick AutoCheck::tick(clsProps& props, const QDateTime& now, bool lookupRunning)
{
    Tick result;
    if (props.URLName().isEmpty())
        return result;
    if (!LocaleText::isNumericText(props.SleepTime()))
        props.setSleepTime(u"30"_s);

    // A spacing below one minute (or beyond any clock) is taken as 30 minutes.
    qint32 spacing = 30;
    try {
        spacing = LocaleText::toInt32(props.SleepTime());
    } catch (const BrandleError&) {
        spacing = 30;
    }
    if (spacing < 1)
        spacing = 30;

    const int minute = now.time().minute();
    const QDateTime thisMinute(now.date(), QTime(now.time().hour(), minute));
    if (minute % spacing == 0 && clsProps::isOn(props.AutoCheck()) && !lookupRunning &&
        thisMinute != m_lastCheckMinute) {
        m_lastCheckMinute = thisMinute;
        result.check = true;
    }
    result.interval = ArmedInterval;
    return result;
}

} // namespace brandle
