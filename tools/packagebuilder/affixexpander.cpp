#include "tools/packagebuilder/affixexpander.h"

#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QTextCodec>

namespace {
// The encoding named by the affix file's SET line (UTF-8 when none).
QTextCodec* codecOf(const QByteArray& affixBytes)
{
    static const QRegularExpression set(QStringLiteral("^SET\\s+(\\S+)"), QRegularExpression::MultilineOption);
    const QRegularExpressionMatch m = set.match(QString::fromLatin1(affixBytes));
    QTextCodec* codec = m.hasMatch() ? QTextCodec::codecForName(m.captured(1).toLatin1()) : nullptr;
    return codec ? codec : QTextCodec::codecForName("UTF-8");
}

QString zeroIsEmpty(const QString& text) { return text == QLatin1String("0") ? QString() : text; }
}

bool AffixExpander::load(const QString& basePath)
{
    QFile affixFile(basePath + QStringLiteral(".aff"));
    QFile wordFile(basePath + QStringLiteral(".dic"));
    if (!affixFile.open(QIODevice::ReadOnly) || !wordFile.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("cannot read %1.aff and %1.dic").arg(basePath);
        return false;
    }
    const QByteArray affixBytes = affixFile.readAll();
    QTextCodec* codec = codecOf(affixBytes);
    return loadText(codec->toUnicode(affixBytes), codec->toUnicode(wordFile.readAll()));
}

QStringList AffixExpander::splitFlags(const QString& flags) const
{
    QStringList out;
    switch (flagType) {
    case FlagType::Char:
        for (const QChar c : flags)
            out << QString(c);
        break;
    case FlagType::Long:
        for (int i = 0; i + 1 < flags.size(); i += 2)
            out << flags.mid(i, 2);
        break;
    case FlagType::Number:
        out = flags.split(QLatin1Char(','), Qt::SkipEmptyParts);
        break;
    }
    return out;
}

QVector<AffixExpander::Position> AffixExpander::parseCondition(const QString& text)
{
    QVector<Position> condition;
    if (text == QLatin1String("."))
        return condition;
    for (int i = 0; i < text.size(); ++i) {
        Position position;
        if (text.at(i) == QLatin1Char('.')) {
            position.any = true;
        } else if (text.at(i) == QLatin1Char('[')) {
            const int end = text.indexOf(QLatin1Char(']'), i);
            QString set = text.mid(i + 1, (end < 0 ? text.size() : end) - i - 1);
            position.negated = set.startsWith(QLatin1Char('^'));
            position.characters = position.negated ? set.mid(1) : set;
            i = end < 0 ? text.size() : end;
        } else {
            position.characters = text.at(i);
        }
        condition << position;
    }
    return condition;
}

bool AffixExpander::matches(const QVector<Position>& condition, const QString& word, bool atStart)
{
    if (condition.size() > word.size())
        return false;
    const int offset = atStart ? 0 : word.size() - condition.size();
    for (int i = 0; i < condition.size(); ++i) {
        const Position& p = condition.at(i);
        if (!p.any && p.characters.contains(word.at(offset + i)) == p.negated)
            return false;
    }
    return true;
}

bool AffixExpander::applies(const Rule& rule, const QString& word, bool prefix)
{
    if (word.size() <= rule.strip.size())
        return false;
    if (prefix ? !word.startsWith(rule.strip) : !word.endsWith(rule.strip))
        return false;
    return matches(rule.condition, word, prefix);
}

QString AffixExpander::apply(const Rule& rule, const QString& word, bool prefix)
{
    return prefix ? rule.affix + word.mid(rule.strip.size()) : word.left(word.size() - rule.strip.size()) + rule.affix;
}

bool AffixExpander::loadText(const QString& affixText, const QString& wordText)
{
    affixes.clear();
    words.clear();
    flagType = FlagType::Char;
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    // Rule lines of one affix follow its header line "PFX|SFX flag Y|N count".
    QString current;
    for (const QString& rawLine : affixText.split(QLatin1Char('\n'))) {
        const QStringList f = rawLine.trimmed().split(blanks, Qt::SkipEmptyParts);
        if (f.isEmpty() || f.at(0).startsWith(QLatin1Char('#')))
            continue;
        if (f.at(0) == QLatin1String("FLAG") && f.size() > 1) {
            flagType = f.at(1) == QLatin1String("long") ? FlagType::Long
                : f.at(1) == QLatin1String("num")       ? FlagType::Number
                                                        : FlagType::Char;
            continue;
        }
        if (f.at(0) != QLatin1String("PFX") && f.at(0) != QLatin1String("SFX"))
            continue;
        if (f.size() == 4 && (f.at(2) == QLatin1String("Y") || f.at(2) == QLatin1String("N"))
            && !affixes.contains(f.at(1))) {
            Affix& affix = affixes[f.at(1)];
            affix.prefix = f.at(0) == QLatin1String("PFX");
            affix.cross = f.at(2) == QLatin1String("Y");
            current = f.at(1);
            continue;
        }
        if (f.size() < 4 || f.at(1) != current) {
            error = QStringLiteral("malformed affix line: %1").arg(rawLine);
            return false;
        }
        Rule rule;
        rule.strip = zeroIsEmpty(f.at(2));
        // Continuation flags after "/" would chain further rules; the forms stop at one step.
        rule.affix = zeroIsEmpty(f.at(3).section(QLatin1Char('/'), 0, 0));
        rule.condition = parseCondition(f.size() < 5 ? QStringLiteral(".") : f.at(4));
        affixes[current].rules << rule;
    }

    const QStringList lines = wordText.split(QLatin1Char('\n'));
    for (int i = 1; i < lines.size(); ++i) { // the first line is the word count
        const QString entry = lines.at(i).section(QLatin1Char('\t'), 0, 0).section(QLatin1Char(' '), 0, 0).trimmed();
        int slash = -1;
        for (int j = 0; j < entry.size(); ++j)
            if (entry.at(j) == QLatin1Char('/') && (j == 0 || entry.at(j - 1) != QLatin1Char('\\'))) {
                slash = j;
                break;
            }
        QString word = slash < 0 ? entry : entry.left(slash);
        word.replace(QStringLiteral("\\/"), QStringLiteral("/"));
        if (word.isEmpty())
            continue;
        QString& flags = words[word];
        if (slash >= 0)
            flags += (flags.isEmpty() || flagType != FlagType::Number ? QString() : QStringLiteral(","))
                + entry.mid(slash + 1);
    }
    return true;
}

void AffixExpander::expand(const QString& word, const QStringList& flags, QVector<Form>& out) const
{
    QVector<const Affix*> crossPrefixes;
    for (const QString& flag : flags) {
        const auto found = affixes.constFind(flag);
        if (found != affixes.constEnd() && found->prefix && found->cross)
            crossPrefixes << &found.value();
    }
    for (const QString& flag : flags) {
        const auto found = affixes.constFind(flag);
        if (found == affixes.constEnd())
            continue;
        const Affix& affix = found.value();
        for (const Rule& rule : affix.rules) {
            if (!applies(rule, word, affix.prefix))
                continue;
            const Form form { apply(rule, word, affix.prefix), affix.prefix ? QString() : rule.affix,
                affix.prefix ? 0 : int(rule.strip.size()), affix.prefix };
            out << form;
            if (affix.prefix || !affix.cross)
                continue;
            // A suffix and a prefix that both allow it combine.
            for (const Affix* prefix : qAsConst(crossPrefixes))
                for (const Rule& prefixRule : prefix->rules)
                    if (applies(prefixRule, form.text, true))
                        out << Form { apply(prefixRule, form.text, true), form.suffix, form.stripped, true };
        }
    }
}

QVector<AffixExpander::Form> AffixExpander::derivations(const QString& word) const
{
    QVector<Form> out;
    auto found = words.constFind(word);
    if (found == words.constEnd())
        found = words.constFind(word.toLower());
    if (found == words.constEnd())
        return out;
    expand(found.key(), splitFlags(found.value()), out);
    QSet<QString> seen { found.key() };
    QVector<Form> unique;
    for (const Form& form : qAsConst(out))
        if (!seen.contains(form.text)) {
            seen.insert(form.text);
            unique << form;
        }
    return unique;
}

QStringList AffixExpander::forms(const QString& word) const
{
    QStringList texts;
    for (const Form& form : derivations(word))
        texts << form.text;
    return texts;
}
