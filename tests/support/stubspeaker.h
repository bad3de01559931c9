// A voice for the tests: it speaks the languages it is given and remembers what it was asked to
// read, opening no sound device and starting no speech service. Made `slow`, it knows its
// languages only once told (knowLanguages), as the desktop's voices come after a while.
#pragma once

#include "web/speaker.h"

#include <QStringList>

class StubSpeaker : public Speaker
{
public:
    explicit StubSpeaker(const QStringList& voices, bool slow = false)
        : known(!slow)
    {
        for (const QString& name : voices)
            installed << QLocale(name);
    }

    QList<QLocale> languages() override { return known ? installed : QList<QLocale>(); }
    bool isReady() const override { return known; }
    void knowLanguages()
    {
        known = true;
        emit languagesKnown();
    }

    // Records "text|voice", the voice being the installed locale chosen for `language`.
    bool say(const QString& text, const QLocale& language) override
    {
        if (!canSpeak(language)) {
            error = QStringLiteral("no voice for %1").arg(language.name());
            return false;
        }
        said << text + QLatin1Char('|') + voiceFor(language).name();
        return true;
    }
    QString errorString() const override { return error; }

    QStringList said;

private:
    QList<QLocale> installed;
    bool known;
    QString error;
};
