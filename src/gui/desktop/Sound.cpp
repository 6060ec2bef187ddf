// SPDX-License-Identifier: MIT
#include "desktop/Sound.h"

#include "platform/Alerts.h"

#include <QCoreApplication>
#include <QSoundEffect>
#include <QUrl>

using namespace brandle;

namespace {

QSoundEffect* effect()
{
    static QSoundEffect* sound = [] {
        auto* s = new QSoundEffect(QCoreApplication::instance());
        s->setVolume(0.8f);
        return s;
    }();
    return sound;
}

} // namespace

void PlayAlert(const QString& code)
{
    const QString path = alertPath(code);
    if (path.isEmpty())
        return;
    QSoundEffect* sound = effect();
    sound->stop();
    sound->setSource(QUrl::fromLocalFile(path));
    sound->play();
}

bool brandle::isAlertPlaying()
{
    const QSoundEffect* sound = effect();
    return sound->isPlaying() || sound->status() == QSoundEffect::Loading;
}
