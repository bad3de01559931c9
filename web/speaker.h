// A voice that reads text aloud, by language. The page's "Ascolta" speaks through one; the program
// uses the desktop's speech synthesis (TextToSpeechSpeaker), the tests a stub that opens no sound
// device.
#pragma once

#include <QList>
#include <QLocale>
#include <QString>

class Speaker
{
public:
    virtual ~Speaker() = default;

    // The languages a voice is installed for (their countries as the voices say).
    virtual QList<QLocale> languages() = 0;
    // Starts reading `text` aloud with a voice of the language of `language`; false (see
    // errorString) when there is none or the synthesis fails. It does not wait for the end.
    virtual bool say(const QString& text, const QLocale& language) = 0;
    virtual QString errorString() const = 0;

    // Whether a voice speaks the language of `language`, whatever its country.
    bool canSpeak(const QLocale& language);
    // Of the installed voices' languages, the one to speak `language` with: the same country
    // first, then any country of that language; the C locale when none speaks it.
    QLocale voiceFor(const QLocale& language);
};
