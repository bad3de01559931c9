// The desktop's speech synthesis (Qt TextToSpeech: speech-dispatcher and its voices on Linux). The
// engine starts only when first asked, so a program that never shows a dictionary never starts
// the speech service.
#pragma once

#include "web/speaker.h"

#include <memory>

class QTextToSpeech;

class TextToSpeechSpeaker : public Speaker
{
public:
    // `engine`: the Qt TextToSpeech engine to use, Qt's default when empty.
    explicit TextToSpeechSpeaker(const QString& engine = QString());
    ~TextToSpeechSpeaker() override;

    QList<QLocale> languages() override;
    bool say(const QString& text, const QLocale& language) override;
    QString errorString() const override { return error; }

private:
    // The engine, started on first use; null when it cannot start.
    QTextToSpeech* speech();

    QString engineName;
    std::unique_ptr<QTextToSpeech> engine;
    bool started = false;
    QList<QLocale> voiced; // the languages with a voice, once listed
    bool listed = false;
    QString error;
};
