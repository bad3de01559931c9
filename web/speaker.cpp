#include "web/speaker.h"

bool Speaker::canSpeak(const QLocale& language) { return voiceFor(language) != QLocale::c(); }

QLocale Speaker::voiceFor(const QLocale& language)
{
    const QList<QLocale> installed = languages();
    if (installed.contains(language))
        return language;
    for (const QLocale& voice : installed) {
        if (voice.language() == language.language())
            return voice;
    }
    return QLocale::c();
}
