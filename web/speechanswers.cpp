#include "web/speechanswers.h"

#include "base/diagnostics.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>

#ifdef VOCALUME_HAVE_SPEECH
#include "web/texttospeechspeaker.h"
#endif

SpeechAnswers::SpeechAnswers() = default;

SpeechAnswers::~SpeechAnswers() = default;

Speaker* SpeechAnswers::speaker()
{
    if (given)
        return given;
#ifdef VOCALUME_HAVE_SPEECH
    if (!systemTried) {
        systemTried = true;
        const QString engine = QString::fromLocal8Bit(qgetenv("VOCALUME_SPEECH_ENGINE"));
        if (engine != QLatin1String("none"))
            system = std::make_unique<TextToSpeechSpeaker>(engine);
    }
#endif
    return system.get();
}

QString SpeechAnswers::languages()
{
    Speaker* voice = speaker();
    QStringList ids;
    for (const QLocale& locale : voice ? voice->languages() : QList<QLocale>()) {
        const QString id = locale.name().section(QLatin1Char('_'), 0, 0);
        if (locale.language() != QLocale::C && !ids.contains(id))
            ids << id;
    }
    ids.sort();
    return QString::fromUtf8(QJsonDocument(QJsonArray::fromStringList(ids)).toJson(QJsonDocument::Compact));
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
