#include "tools/packagebuilder/wordexceptions.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>

namespace {
const char* const partsOfSpeech[] = { "noun", "verb", "adj", "adv" };

// The parts of speech an entry's category names, by the abbreviations dictionaries use.
QSet<QString> partsOf(const QString& pos)
{
    static const QRegularExpression token(QStringLiteral("[a-z]+"));
    QSet<QString> parts;
    auto it = token.globalMatch(pos.toLower());
    while (it.hasNext()) {
        const QString t = it.next().captured();
        if (t == QLatin1String("n") || t == QLatin1String("noun"))
            parts.insert(QStringLiteral("noun"));
        else if (t == QLatin1String("v") || t == QLatin1String("verb"))
            parts.insert(QStringLiteral("verb"));
        else if (t == QLatin1String("a") || t == QLatin1String("adj"))
            parts.insert(QStringLiteral("adj"));
        else if (t == QLatin1String("adv"))
            parts.insert(QStringLiteral("adv"));
    }
    return parts;
}
}

bool WordExceptions::load(const QString& directory)
{
    byWord.clear();
    int read = 0;
    for (const char* part : partsOfSpeech) {
        QFile file(QDir(directory).filePath(QString::fromLatin1(part) + QStringLiteral(".exc")));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        loadText(QString::fromLatin1(part), QString::fromUtf8(file.readAll()));
        ++read;
    }
    if (read == 0)
        error = QStringLiteral("no exception list (noun.exc, verb.exc, adj.exc, adv.exc) in %1").arg(directory);
    return read > 0;
}

void WordExceptions::loadText(const QString& partOfSpeech, const QString& text)
{
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        QStringList words = line.trimmed().split(blanks, Qt::SkipEmptyParts);
        // Phrases are written with underscores: "brothers_in_law brother_in_law".
        for (QString& w : words)
            w.replace(QLatin1Char('_'), QLatin1Char(' '));
        for (int i = 1; i < words.size(); ++i)
            if (words.at(i).compare(words.first(), Qt::CaseInsensitive) != 0)
                byWord[words.at(i).toLower()] << Form { words.first(), partOfSpeech };
    }
}

QStringList WordExceptions::forms(const QString& word, const QString& pos) const
{
    const QSet<QString> allowed = partsOf(pos);
    QStringList out;
    for (const Form& form : byWord.value(word.toLower()))
        if ((allowed.isEmpty() || allowed.contains(form.partOfSpeech)) && !out.contains(form.text))
            out << form.text;
    return out;
}
