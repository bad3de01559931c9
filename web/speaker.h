// A voice that reads text aloud, by language. The page's "Ascolta" speaks through one; the program
// uses the desktop's speech synthesis (TextToSpeechSpeaker), the tests a stub that opens no sound
// device. Finding out which languages the voices speak may take a while: until languagesKnown,
// languages() is empty and isReady() false.
#pragma once

#include <QList>
#include <QLocale>
#include <QObject>
#include <QString>

class Speaker : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // The languages a voice is installed for (their countries as the voices say); asking the
    // first time starts finding them out.
    virtual QList<QLocale> languages() = 0;
    virtual bool isReady() const { return true; }
    // Starts reading `text` aloud with a voice of the language of `language`; false (see
    // errorString) when there is none or the synthesis fails. It does not wait for the end.
    virtual bool say(const QString& text, const QLocale& language) = 0;
    virtual QString errorString() const = 0;

    // Whether a voice speaks the language of `language`, whatever its country.
    bool canSpeak(const QLocale& language);
    // Of the installed voices' languages, the one to speak `language` with: the same country
    // first, then any country of that language; the C locale when none speaks it.
    QLocale voiceFor(const QLocale& language);

signals:
    // The languages are known (also when there are none).
    void languagesKnown();
};
