// The page's "Ascolta": which of its languages can be spoken, and speaking a headword or a chosen
// text in one of them. Languages are the page's ids ("it", "en"), the first part of a locale's
// name. The voice is the one given by useSpeaker, else the desktop's speech synthesis, started
// when the page first asks (none when the program is built without it, or when the environment's
// VOCALUME_SPEECH_ENGINE says "none"; another name there picks a Qt TextToSpeech engine).
#pragma once

#include "web/speaker.h"

#include <QObject>
#include <QStringList>

class SpeechAnswers : public QObject
{
    Q_OBJECT
public:
    explicit SpeechAnswers(QObject* parent = nullptr);
    ~SpeechAnswers() override;

    // Speaks through `speaker` from now on (not taken over; it outlives this object).
    void useSpeaker(Speaker* speaker);

    // Answers `callback` with {result:true,languages:[...]}, the ids of the languages a voice
    // speaks in alphabetical order (none when no voice is installed), as soon as they are known.
    void prepare(const QString& callback);
    // Reads `text` aloud in `language` (a language id); false when no voice speaks it or nothing
    // is left to read.
    bool speak(const QString& text, const QString& language);

    // What is read of a text the page shows: without markup, superscript homograph numbers
    // ("Church¹") and the white space around.
    static QString spokenText(const QString& text);

signals:
    // `statement` answers a callback of the page.
    void pageStatement(const QString& statement);

private:
    Speaker* speaker();
    // The languages known: every callback waiting for them is answered.
    void answerWaiting();

    Speaker* given = nullptr;
    Speaker* system = nullptr;      // the desktop's, a child of this object
    bool systemTried = false;
    QStringList waiting;            // callbacks asked before the languages were known
};
