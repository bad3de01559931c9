// The desktop's speech synthesis (Qt TextToSpeech: speech-dispatcher and its voices on Linux). Its
// engine lives on a thread of its own: starting it lists every voice of every language, which
// takes seconds, and the window must not wait for that. It starts when first asked for the
// languages, which languagesKnown then announces; what is read goes to that thread in turn.
#pragma once

#include "web/speaker.h"

#include <QThread>

class QTextToSpeech;

class TextToSpeechSpeaker : public Speaker
{
    Q_OBJECT
public:
    // `engine`: the Qt TextToSpeech engine to use, Qt's default when empty.
    explicit TextToSpeechSpeaker(const QString& engine = QString(), QObject* parent = nullptr);
    ~TextToSpeechSpeaker() override;

    QList<QLocale> languages() override;
    bool isReady() const override { return ready; }
    bool say(const QString& text, const QLocale& language) override;
    QString errorString() const override { return error; }

private:
    // On the voice's thread: starts the engine and lists the languages with a voice.
    void startEngine();

    QString engineName;
    QThread thread;
    QObject* onThread = nullptr;        // lives on `thread`: what runs there is queued to it
    QTextToSpeech* engine = nullptr;    // made, used and deleted on `thread` only
    bool started = false;
    bool ready = false;
    QList<QLocale> voiced;              // the languages with a voice, once known
    QString error;
};
