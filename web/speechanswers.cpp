#include "web/speechanswers.h"

#include "base/diagnostics.h"
#include "base/scriptliteral.h"

#include <QRegularExpression>

#ifdef VOCALUME_HAVE_SPEECH
#include "web/texttospeechspeaker.h"
#endif

SpeechAnswers::SpeechAnswers(QObject* parent)
    : QObject(parent)
{
}

SpeechAnswers::~SpeechAnswers() = default;

void SpeechAnswers::useSpeaker(Speaker* speaker)
{
    given = speaker;
    connect(given, &Speaker::languagesKnown, this, &SpeechAnswers::answerWaiting);
}

Speaker* SpeechAnswers::speaker()
{
    if (given)
        return given;
#ifdef VOCALUME_HAVE_SPEECH
    if (!systemTried) {
        systemTried = true;
        const QString engine = QString::fromLocal8Bit(qgetenv("VOCALUME_SPEECH_ENGINE"));
        if (engine != QLatin1String("none")) {
            system = new TextToSpeechSpeaker(engine, this);
            connect(system, &Speaker::languagesKnown, this, &SpeechAnswers::answerWaiting);
        }
    }
#endif
    return system;
}

void SpeechAnswers::prepare(const QString& callback)
{
    waiting << callback;
    Speaker* voice = speaker();
    if (voice)
        voice->languages(); // starts finding them out
    if (!voice || voice->isReady())
        answerWaiting();
}

void SpeechAnswers::answerWaiting()
{
    Speaker* voice = speaker();
    QStringList ids;
    for (const QLocale& locale : voice ? voice->languages() : QList<QLocale>()) {
        const QString id = locale.name().section(QLatin1Char('_'), 0, 0);
        if (locale.language() != QLocale::C && !ids.contains(id))
            ids << id;
    }
    ids.sort();
    const QString literal = QStringLiteral("{result:true,languages:[") +
        (ids.isEmpty() ? QString() : QLatin1Char('"') + ids.join(QStringLiteral("\",\"")) + QLatin1Char('"')) +
        QStringLiteral("]}");
    const QStringList callbacks = waiting;
    waiting.clear();
    for (const QString& callback : callbacks)
        emit pageStatement(ScriptLiteral::singleQuoted(callback, literal));
}

bool SpeechAnswers::speak(const QString& text, const QString& language)
{
    Speaker* voice = speaker();
    const QString spoken = spokenText(text);
    const QLocale locale(language);
    if (!voice || spoken.isEmpty() || language.isEmpty() || locale.language() == QLocale::C)
        return false;
    if (!voice->say(spoken, locale)) {
        Diagnostics::debug("Pronuncia non letta: %s", qPrintable(voice->errorString()));
        return false;
    }
    return true;
}

QString SpeechAnswers::spokenText(const QString& text)
{
    static const QRegularExpression markup(QStringLiteral("<[^>]*>"));
    static const QRegularExpression superscripts(QStringLiteral("[\\x{00b9}\\x{00b2}\\x{00b3}\\x{2070}-\\x{2079}]+"));
    QString out = text;
    out.remove(markup).remove(superscripts);
    return out.simplified();
}
