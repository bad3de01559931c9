// The page's "Ascolta": which of its languages can be spoken, and speaking a headword or a chosen
// text in one of them. Languages are the page's ids ("it", "en"), the first part of a locale's
// name. The voice is the one given by useSpeaker, else the desktop's speech synthesis, started
// when the page first asks (none when the program is built without it, or when the environment's
// VOCALUME_SPEECH_ENGINE says "none"; another name there picks a Qt TextToSpeech engine).
#pragma once

#include "web/speaker.h"

#include <memory>

class SpeechAnswers
{
public:
    SpeechAnswers();
    ~SpeechAnswers();

    // Speaks through `speaker` from now on (not taken over; it outlives this object).
    void useSpeaker(Speaker* speaker) { given = speaker; }

    // The languages a voice speaks, as a JSON array of language ids in alphabetical order; empty
    // when none can be spoken.
    QString languages();
    // Reads `text` aloud in `language` (a language id); false when no voice speaks it or nothing
    // is left to read.
    bool speak(const QString& text, const QString& language);

    // What is read of a text the page shows: without markup, superscript homograph numbers
    // ("Church¹") and the white space around.
    static QString spokenText(const QString& text);

private:
    Speaker* speaker();

    Speaker* given = nullptr;
    std::unique_ptr<Speaker> system;
    bool systemTried = false;
};
