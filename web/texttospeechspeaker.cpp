#include "web/texttospeechspeaker.h"

#include <QTextToSpeech>

TextToSpeechSpeaker::TextToSpeechSpeaker(const QString& engine)
    : engineName(engine)
{
}

TextToSpeechSpeaker::~TextToSpeechSpeaker() = default;

QTextToSpeech* TextToSpeechSpeaker::speech()
{
    if (!started) {
        started = true;
        engine.reset(engineName.isEmpty() ? new QTextToSpeech : new QTextToSpeech(engineName));
    }
    if (engine->state() == QTextToSpeech::BackendError) {
        error = QStringLiteral("La sintesi vocale del sistema non è disponibile.");
        return nullptr;
    }
    return engine.get();
}

QList<QLocale> TextToSpeechSpeaker::languages()
{
    QTextToSpeech* tts = speech();
    if (!tts || listed)
        return voiced;
    listed = true;
    // A language counts only with a voice of its own: an engine may list a language it reads with
    // another language's voice. Listed once: asking the service for voices takes a while.
    const QLocale before = tts->locale();
    for (const QLocale& locale : tts->availableLocales()) {
        tts->setLocale(locale);
        if (!tts->availableVoices().isEmpty())
            voiced << locale;
    }
    tts->setLocale(before);
    return voiced;
}

bool TextToSpeechSpeaker::say(const QString& text, const QLocale& language)
{
    const QLocale voice = voiceFor(language);
    QTextToSpeech* tts = speech();
    if (!tts)
        return false;
    if (voice == QLocale::c()) {
        error = QStringLiteral("Nessuna voce installata per la lingua %1.").arg(QLocale::languageToString(language.language()));
        return false;
    }
    tts->setLocale(voice);
    tts->say(text);
    return speech() != nullptr;
}
