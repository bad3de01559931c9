#include "web/texttospeechspeaker.h"

#include "base/diagnostics.h"

#include <QTextToSpeech>

TextToSpeechSpeaker::TextToSpeechSpeaker(const QString& engine, QObject* parent)
    : Speaker(parent)
    , engineName(engine)
{
}

TextToSpeechSpeaker::~TextToSpeechSpeaker()
{
    if (!started)
        return;
    QMetaObject::invokeMethod(onThread, [this] { delete engine; }, Qt::BlockingQueuedConnection);
    thread.quit();
    thread.wait();
    delete onThread; // its thread has ended: nothing runs on it any more
}

QList<QLocale> TextToSpeechSpeaker::languages()
{
    if (!started) {
        started = true;
        onThread = new QObject;
        onThread->moveToThread(&thread);
        thread.setObjectName(QStringLiteral("voce"));
        thread.start(QThread::LowPriority);
        QMetaObject::invokeMethod(onThread, [this] { startEngine(); });
    }
    return voiced;
}

void TextToSpeechSpeaker::startEngine()
{
    engine = engineName.isEmpty() ? new QTextToSpeech : new QTextToSpeech(engineName);
    QList<QLocale> found;
    // A language counts only with a voice of its own: an engine may list a language it reads with
    // another language's voice.
    if (engine->state() != QTextToSpeech::BackendError) {
        for (const QLocale& locale : engine->availableLocales()) {
            engine->setLocale(locale);
            if (!engine->availableVoices().isEmpty())
                found << locale;
        }
    }
    const bool broken = engine->state() == QTextToSpeech::BackendError;
    QMetaObject::invokeMethod(this, [this, found, broken] {
        voiced = found;
        ready = true;
        if (broken)
            error = QStringLiteral("La sintesi vocale del sistema non è disponibile.");
        emit languagesKnown();
    });
}

bool TextToSpeechSpeaker::say(const QString& text, const QLocale& language)
{
    const QLocale voice = voiceFor(language);
    if (voice == QLocale::c()) {
        error = QStringLiteral("Nessuna voce installata per la lingua %1.").arg(QLocale::languageToString(language.language()));
        return false;
    }
    QMetaObject::invokeMethod(onThread, [this, text, voice] {
        engine->setLocale(voice);
        engine->say(text);
        if (engine->state() == QTextToSpeech::BackendError)
            Diagnostics::debug("La sintesi vocale non ha letto il testo");
    });
    return true;
}
