#include "tools/packagebuilder/dictdformatter.h"

#include <QHash>
#include <QRegularExpression>
#include <QSet>

namespace {
QString escaped(const QString& text) { return text.toHtmlEscaped(); }

int indentOf(const QString& line)
{
    int n = 0;
    while (n < line.size() && line.at(n) == QLatin1Char(' '))
        ++n;
    return n;
}

// A line that is only a source marker such as "[1913 Webster]" or "[PJC]".
bool isSourceMarker(const QString& line)
{
    static const QRegularExpression marker(QStringLiteral("^\\[[^\\[\\]{}]*\\]$"));
    return marker.match(line).hasMatch();
}

QString withoutTrailingMarkers(QString text)
{
    static const QRegularExpression trailing(
        QStringLiteral("\\s*\\[(?:\\d{4} Webster|Webster \\d{4}[^\\]]*|PJC|[A-Z]{2,4})[^\\]]*\\]\\s*$"));
    return text.remove(trailing);
}

// Bracket balance of a heading line: an etymology "[...]" may run over several lines.
int bracketDepth(const QString& text)
{
    int depth = 0;
    for (const QChar c : text)
        depth += c == QLatin1Char('[') ? 1 : c == QLatin1Char(']') ? -1 : 0;
    return depth;
}

// "1. ", "(a) ", "n 1: ", "2: ", "adj 3: "
const QRegularExpression& senseStart()
{
    static const QRegularExpression start(
        QStringLiteral("^(?:((?:n|v|adj|adv|a|s|r)\\s+\\d+:)|(\\d+:)|(\\d+\\.)|(\\([a-z]\\)))\\s+"));
    return start;
}
}

struct DictdFormatter::Block {
    enum Kind { Sense, Quotation, Note, Plain } kind = Plain;
    QString number; // "1.", "(a)", "n 1:"
    QString text;
};

// A numbered line starts a sense, "Note:" a note; a deeper paragraph after a blank line is a
// quotation; any other line carries on the block above it, or starts a plain paragraph after a
// blank line.
QVector<DictdFormatter::Block> DictdFormatter::blocksOf(const QStringList& lines, int first)
{
    QVector<Block> blocks;
    int senseIndent = -1;
    bool blank = true;
    for (int i = first; i < lines.size(); ++i) {
        const QString raw = lines.at(i);
        const QString line = raw.trimmed();
        if (line.isEmpty()) {
            blank = true;
            continue;
        }
        if (isSourceMarker(line))
            continue;
        const int indent = indentOf(raw);
        const QRegularExpressionMatch sense = senseStart().match(line);
        Block block;
        block.text = line;
        if (sense.hasMatch()) {
            block.kind = Block::Sense;
            block.number = sense.captured(0).trimmed();
            block.text = line.mid(sense.capturedEnd());
            senseIndent = indent;
        } else if (line.startsWith(QLatin1String("Note:")) || line.startsWith(QLatin1String("Syn."))) {
            block.kind = Block::Note;
        } else if (blank && senseIndent >= 0 && indent >= senseIndent + 6) {
            block.kind = Block::Quotation;
        } else if (!blank && !blocks.isEmpty()) {
            QString& text = blocks.last().text;
            text += (text.endsWith(QLatin1Char('-')) ? QString() : QStringLiteral(" ")) + line;
            continue;
        }
        blocks << block;
        blank = false;
    }
    return blocks;
}

DictdFormatter::DictdFormatter(LinkResolver resolver)
    : resolve(std::move(resolver))
{
}

// A letter with a mark, as the older sources write it: the mark before the letter ("['e]",
// "[`a]", "[^o]", "[~e]", "[=a]", "[-o]", "[.u]", "[,c]", "[*a]", "[\"u]") or a breve after it
// ("[i^]"); "oo" and "ae" are one sound each. Empty when the code is not one of these.
static QString markedLetter(const QString& code)
{
    static const QHash<QChar, QString> marks {
        { QLatin1Char('\''), QStringLiteral("\u0301") }, { QLatin1Char('`'), QStringLiteral("\u0300") },
        { QLatin1Char('^'), QStringLiteral("\u0302") }, { QLatin1Char('~'), QStringLiteral("\u0303") },
        { QLatin1Char('"'), QStringLiteral("\u0308") }, { QLatin1Char('='), QStringLiteral("\u0304") },
        // The half-long vowels: a macron with a short stroke above it.
        { QLatin1Char('-'), QStringLiteral("\u0304\u030D") }, { QLatin1Char('.'), QStringLiteral("\u0323") },
        { QLatin1Char(','), QStringLiteral("\u0327") }, { QLatin1Char('*'), QStringLiteral("\u030A") },
    };
    const bool breve = code.endsWith(QLatin1Char('^')) && code.size() > 1;
    QString letters = breve ? code.chopped(1) : code.mid(1);
    const QString mark = breve ? QStringLiteral("\u0306") : marks.value(code.at(0));
    if (mark.isEmpty() || letters.isEmpty() || letters.size() > 2)
        return QString();
    if (letters.size() == 2) {
        // A tie over the two letters of "oo"; "ae" is one letter.
        if (letters.compare(QLatin1String("oo"), Qt::CaseInsensitive) == 0)
            return letters.at(0) + (breve ? QStringLiteral("\u035D") : QStringLiteral("\u035E")) + letters.at(1);
        if (letters.compare(QLatin1String("ae"), Qt::CaseInsensitive) != 0)
            return QString();
        letters = letters.at(0).isUpper() ? QStringLiteral("Æ") : QStringLiteral("æ");
    }
    if (!letters.at(0).isLetter())
        return QString();
    return (letters + mark).normalized(QString::NormalizationForm_C);
}

QString DictdFormatter::decodeLetters(const QString& text)
{
    static const QHash<QString, QString> letters = [] {
        QHash<QString, QString> map;
        const char* const pairs[][2] = { { "aum", "ä" }, { "eum", "ë" }, { "ium", "ï" }, { "oum", "ö" }, { "uum", "ü" },
            { ".a", "ȧ" }, { "add", "ô" }, { "ae", "æ" }, { "AE", "Æ" }, { "oe", "œ" }, { "OE", "Œ" }, { "ng", "ŋ" },
            { "th", "th" }, { "deg", "°" }, { "root", "√" }, { "sec", "″" }, { "min", "′" }, { "cced", "ç" },
            { "ntil", "ñ" }, { "eacute", "é" }, { "egrave", "è" }, { "acir", "â" }, { "ecir", "ê" }, { "icir", "î" },
            { "ocir", "ô" }, { "ucir", "û" }, { "imac", "ī" }, { "ait", "ȧ" }, { "asl", "a" }, { "esl", "e" },
            { "isl", "i" }, { "osl", "o" }, { "usl", "u" }, { "cre", "˘" }, { "-", "-" }, { "?", "ʔ" }, { "'", "ˈ" },
            { "`", "ˌ" }, { "udd", "ṳ" }, { "eth", "ð" }, { "thorn", "þ" }, { "yogh", "ȝ" }, { "dsdot", "ḍ" },
            { "lsdot", "ḷ" }, { "tsdo", "ṭ" }, { "mtil", "m̃" }, { "sect", "§" }, { "para", "¶" }, { "dagger", "†" },
            { "dag", "†" }, { "middot", "·" }, { "nbsp", "\u00A0" }, { "rarr", "→" }, { "times", "×" },
            { "divby", "÷" }, { "div", "÷" }, { "pounds", "£" }, { "ldqo", "“" }, { "rdqo", "”" }, { "rsquo", "’" },
            { "flat", "♭" }, { "sharp", "♯" }, { "hand", "☞" }, { "bprime", "″" }, { "filig", "fi" }, { "fllig", "fl" },
            { "ffllig", "ffl" }, { "alpha", "α" }, { "beta", "β" }, { "gamma", "γ" }, { "delta", "δ" },
            { "Delta", "Δ" }, { "zeta", "ζ" }, { "eta", "η" }, { "theta", "θ" }, { "iota", "ι" }, { "kappa", "κ" },
            { "lambda", "λ" }, { "mu", "μ" }, { "nu", "ν" }, { "xi", "ξ" }, { "pi", "π" }, { "rho", "ρ" },
            { "sigma", "σ" }, { "sigmat", "ς" }, { "tau", "τ" }, { "phi", "φ" }, { "chi", "χ" }, { "psi", "ψ" },
            { "omega", "ω" }, { "epsilon", "ε" }, { "omicron", "ο" }, { "upsilon", "υ" }, { "digamma", "ϝ" },
            { "Gamma", "Γ" }, { "Theta", "Θ" }, { "Lambda", "Λ" }, { "Pi", "Π" }, { "Sigma", "Σ" }, { "Upsilon", "Υ" },
            { "Phi", "Φ" }, { "Psi", "Ψ" }, { "Omega", "Ω" }, { "cuberoot", "∛" } };
        for (const auto& pair : pairs)
            map.insert(QString::fromUtf8(pair[0]), QString::fromUtf8(pair[1]));
        return map;
    }();
    static const QRegularExpression code(QStringLiteral("\\[([^\\[\\]\\s]{1,8})\\]"));
    static const QRegularExpression fraction(QStringLiteral("^frac(\\d)(\\d{1,2})$"));
    QString out;
    int last = 0;
    auto it = code.globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        QString decoded = letters.value(m.captured(1));
        if (decoded.isEmpty())
            decoded = markedLetter(m.captured(1));
        const QRegularExpressionMatch f = fraction.match(m.captured(1));
        if (decoded.isEmpty() && f.hasMatch())
            decoded = f.captured(1) + QStringLiteral("⁄") + f.captured(2);
        if (decoded.isEmpty())
            continue;
        out += text.midRef(last, m.capturedStart() - last) + decoded;
        last = m.capturedEnd();
    }
    return last == 0 ? text : out + text.midRef(last);
}

// The letters of a name without marks, case or punctuation: "'Ecart'e" and "Écarté" agree.
static QString bareLetters(const QString& name)
{
    QString bare;
    for (const QChar c : name.normalized(QString::NormalizationForm_D))
        if (c.isLetterOrNumber())
            bare += c.toLower();
    return bare;
}

QString DictdFormatter::nameInText(const QString& indexName, const QString& decodedText)
{
    // The spelled headwords ("\Ab"b['e]`\") and the bold phrases ("{Cong['e] d'['e]lire}") of
    // the article, without the stress and syllable marks.
    static const QRegularExpression spelled(QStringLiteral("\\\\([^\\\\\\n]{1,80})\\\\|\\{([^{}\\n]{1,80})\\}"));
    static const QRegularExpression marks(QStringLiteral("[\"`*]"));
    const QString wanted = bareLetters(indexName);
    auto it = spelled.globalMatch(decodedText);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        const QString name = m.captured(m.lastCapturedIndex()).remove(marks).simplified();
        if (!name.isEmpty() && bareLetters(name) == wanted)
            return name;
    }
    return decodeLetters(indexName);
}

QString DictdFormatter::scopeOfLabel(const QString& label)
{
    static const QHash<QString, QString> scopes = [] {
        QHash<QString, QString> map;
        const char* const pairs[][2] = { { "Zool", "Zoologia" }, { "Zoöl", "Zoologia" }, { "Bot", "Botanica" },
            { "Med", "Medicina" }, { "Anat", "Anatomia" }, { "Physiol", "Fisiologia" }, { "Law", "Diritto" },
            { "Naut", "Marina" }, { "Mus", "Musica" }, { "Chem", "Chimica" }, { "Math", "Matematica" },
            { "Geom", "Matematica" }, { "Arith", "Matematica" }, { "Astron", "Astronomia" }, { "Arch", "Architettura" },
            { "Mil", "Militare" }, { "Geol", "Geologia" }, { "Min", "Mineralogia" }, { "Mining", "Mineralogia" },
            { "Physics", "Fisica" }, { "Elec", "Fisica" }, { "Mech", "Meccanica" }, { "Eccl", "Religione" },
            { "Theol", "Religione" }, { "Gram", "Grammatica" }, { "Her", "Araldica" }, { "Print", "Tipografia" },
            { "Com", "Economia" }, { "Biol", "Biologia" }, { "Paleon", "Paleontologia" },
            { "Meteorol", "Meteorologia" }, { "Philos", "Filosofia" }, { "Logic", "Filosofia" }, { "Rhet", "Retorica" },
            { "Pros", "Retorica" }, { "Myth", "Mitologia" }, { "Cookery", "Cucina" }, { "Far", "Veterinaria" },
            { "Surg", "Medicina" }, { "Photog", "Fotografia" }, { "Agric", "Agricoltura" }, { "Ornith", "Zoologia" },
            { "Entom", "Zoologia" }, { "Ichth", "Zoologia" }, { "Mythol", "Mitologia" }, { "Pharm", "Farmacia" },
            { "Metal", "Metallurgia" }, { "Mach", "Meccanica" }, { "Geog", "Geografia" },
            { "Computers", "Informatica" }, { "Electronics", "Elettronica" }, { "Fort", "Militare" },
            { "Gun", "Militare" }, { "Firearms", "Militare" }, { "Metaph", "Filosofia" }, { "Baseball", "Sport" },
            { "Cricket", "Sport" }, { "Golf", "Sport" }, { "Football", "Sport" }, { "Sports", "Sport" },
            { "Sport", "Sport" }, { "Billiards", "Sport" }, { "Shipbuilding", "Marina" },
            { "Crystallog", "Mineralogia" }, { "Opt", "Fisica" }, { "Ethnol", "Antropologia" }, { "Paint", "Pittura" },
            { "Painting", "Pittura" }, { "Engin", "Ingegneria" }, { "Engineering", "Ingegneria" },
            { "Astrol", "Astrologia" }, { "Phon", "Linguistica" }, { "Phonetics", "Linguistica" },
            { "Railroad", "Trasporti" }, { "Railroads", "Trasporti" }, { "Aeronautics", "Aeronautica" },
            { "Aëronautics", "Aeronautica" }, { "Hort", "Agricoltura" }, { "Alg", "Matematica" }, { "Antiq", "Storia" },
            { "Printing", "Tipografia" }, { "Music", "Musica" }, { "Finance", "Economia" }, { "Psychol", "Psicologia" },
            { "Politics", "Politica" }, { "Founding", "Metallurgia" }, { "Weaving", "Artigianato" },
            { "Masonry", "Artigianato" }, { "Carp", "Artigianato" } };
        for (const auto& pair : pairs)
            map.insert(QString::fromUtf8(pair[0]), QString::fromUtf8(pair[1]));
        return map;
    }();
    QString key = label.trimmed();
    if (key.endsWith(QLatin1Char('.')))
        key.chop(1);
    return scopes.value(key);
}

// Escapes the text and turns "{word}" into a link to the entry of that word and "\"…\"" into an
// example in italics.
QString DictdFormatter::inline_(const QString& text) const
{
    static const QRegularExpression token(QStringLiteral("\\{([^{}]+)\\}|\"([^\"]{2,})\""));
    QString out;
    int last = 0;
    auto it = token.globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        out += escaped(text.mid(last, m.capturedStart() - last));
        if (m.capturedStart(1) >= 0) {
            const QString word = m.captured(1).simplified();
            const QString target = resolve ? resolve(word) : QString();
            out += target.isEmpty() ? QStringLiteral("<i>%1</i>").arg(escaped(word))
                                    : QStringLiteral("<a href=\"%1\">%2</a>").arg(escaped(target), escaped(word));
        } else {
            out += QStringLiteral("<i class=\"esempio\">“%1”</i>").arg(inline_(m.captured(2)));
        }
        last = m.capturedEnd();
    }
    return out + escaped(text.mid(last));
}

// The older sources mark the stressed syllables of a pronunciation with '"' and '`' and divide
// the others with '*': "(wô\"tẽr)" reads "(wô´tẽr)".
static QString withStressMarks(QString sound)
{
    return sound.replace(QLatin1Char('"'), QStringLiteral("´"))
        .replace(QLatin1Char('`'), QStringLiteral("ˋ"))
        .replace(QLatin1Char('*'), QLatin1Char('-'));
}

// The heading without the headword itself: "\Dog\ (dŏg), n. [AS. docga…]" or "/kˈane/".
QString DictdFormatter::heading(const QString& text, const QString& headword, QString* category) const
{
    QString rest = text;
    if (rest.startsWith(headword, Qt::CaseInsensitive))
        rest = rest.mid(headword.size());
    static const QRegularExpression spelled(QStringLiteral("^[^\\\\]*\\\\[^\\\\]*\\\\,?"));
    // Several headwords may share one heading: "Banc \Banc\, Bancus \Ban"cus\, Bank \Bank\, n."
    for (QRegularExpressionMatch m = spelled.match(rest); m.hasMatch(); m = spelled.match(rest))
        rest = rest.mid(m.capturedEnd());
    rest = rest.trimmed();
    static const QRegularExpression pronunciation(QStringLiteral("^(\\([^)]*\\)|/[^/]*/),?\\s*"));
    QString sound;
    const QRegularExpressionMatch p = pronunciation.match(rest);
    if (p.hasMatch()) {
        sound = p.captured(1);
        rest = rest.mid(p.capturedEnd());
        if (sound.startsWith(QLatin1Char('(')))
            sound = withStressMarks(sound);
    }
    // The etymology's pronunciations of other forms: "[Compar. Happier (-p[i^]*[~e]r)".
    static const QRegularExpression otherSound(QStringLiteral("\\([^()\\s]*[\"*`][^()\\s]*\\)"));
    for (auto it = otherSound.globalMatch(rest); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        rest.replace(m.capturedStart(), m.capturedLength(), withStressMarks(m.captured()));
    }
    static const QRegularExpression categoryAtStart(QStringLiteral("^((?:[a-z]{1,5}\\.\\s*(?:&\\s*)?)+)[,;]?\\s*"));
    const QRegularExpressionMatch c = categoryAtStart.match(rest);
    if (c.hasMatch()) {
        *category = c.captured(1).trimmed();
        rest = rest.mid(c.capturedEnd());
    }
    QString html;
    if (!sound.isEmpty())
        html += QStringLiteral("<span class=\"pronuncia\">%1</span> ").arg(escaped(sound));
    if (!rest.isEmpty())
        html += QStringLiteral("<span class=\"etimo\">%1</span>").arg(inline_(rest));
    return html.trimmed();
}

// One sense: its part-of-speech heading when it opens one, its number, its field label (which
// also makes the entry's scope) and its text. `text` loses the label.
QString DictdFormatter::senseHtml(
    QString number, QString& text, DictionaryEntry* entry, QSet<QString>* categories) const
{
    QString html;
    // The lexical databases start each part of speech with its letter: "n 1:", "v 1:".
    static const QRegularExpression partOfSpeech(QStringLiteral("^(n|v|adj|adv|a|s|r)\\s+(\\d+:)$"));
    const QRegularExpressionMatch pos = partOfSpeech.match(number);
    if (pos.hasMatch()) {
        const QString name = pos.captured(1) == QLatin1String("n")                             ? QStringLiteral("n.")
            : pos.captured(1) == QLatin1String("v")                                            ? QStringLiteral("v.")
            : pos.captured(1) == QLatin1String("adv") || pos.captured(1) == QLatin1String("r") ? QStringLiteral("adv.")
                                                                                               : QStringLiteral("adj.");
        categories->insert(name);
        html += QStringLiteral("<p class=\"gram\">%1</p>").arg(name);
        number = pos.captured(2);
    }
    static const QRegularExpression label(QStringLiteral("^\\(([A-Z]\\p{L}+\\.?)\\)\\s*"));
    QString scopeHtml;
    const QRegularExpressionMatch l = label.match(text);
    if (l.hasMatch()) {
        const QString scope = scopeOfLabel(l.captured(1));
        if (!scope.isEmpty() && !entry->scopes.contains(scope))
            entry->scopes << scope;
        scopeHtml = QStringLiteral("<span class=\"ambito\">%1</span> ").arg(escaped(l.captured(1)));
        text = text.mid(l.capturedEnd());
    }
    const bool sub = number.startsWith(QLatin1Char('('));
    html += QStringLiteral("<p class=\"%1\">").arg(sub ? QStringLiteral("def sottosenso") : QStringLiteral("def"));
    if (!number.isEmpty())
        html += QStringLiteral("<b>%1</b> ").arg(escaped(number));
    html += scopeHtml + inline_(text) + QStringLiteral("</p>");
    return html;
}

DictionaryEntry DictdFormatter::entry(const DictdArticle& article) const
{
    DictionaryEntry entry;
    const QString text = decodeLetters(article.text);
    entry.headword = nameInText(article.headword, text).trimmed();
    QStringList lines = text.split(QLatin1Char('\n'));
    while (!lines.isEmpty() && lines.last().trimmed().isEmpty())
        lines.removeLast();

    // The heading: the first line, and the lines an open bracket carries on.
    QString head;
    int i = 0;
    do {
        head += (head.isEmpty() ? QString() : QStringLiteral(" ")) + lines.value(i).trimmed();
        ++i;
    } while (i < lines.size() && bracketDepth(head) > 0 && !senseStart().match(lines.at(i).trimmed()).hasMatch());

    const QVector<Block> blocks = blocksOf(lines, i);

    QString category;
    const QString headHtml = heading(head, article.headword, &category);
    QString html;
    if (!headHtml.isEmpty())
        html += QStringLiteral("<p class=\"intestazione\">%1</p>").arg(headHtml);

    QStringList definition;
    QSet<QString> categories;
    if (!category.isEmpty())
        categories.insert(category);
    static const QRegularExpression headLabel(QStringLiteral("\\(([A-Z]\\p{L}+\\.?)\\)$"));
    const QRegularExpressionMatch headScope = headLabel.match(head);
    if (headScope.hasMatch() && !scopeOfLabel(headScope.captured(1)).isEmpty())
        entry.scopes << scopeOfLabel(headScope.captured(1));
    for (const Block& block : qAsConst(blocks)) {
        QString text = withoutTrailingMarkers(block.text);
        switch (block.kind) {
        case Block::Sense:
        case Block::Plain:
            html += senseHtml(block.number, text, &entry, &categories);
            definition << text;
            break;
        case Block::Quotation:
            html += QStringLiteral("<blockquote class=\"esempio\">%1</blockquote>").arg(inline_(text));
            break;
        case Block::Note:
            html += QStringLiteral("<p class=\"nota\">%1</p>").arg(inline_(text));
            break;
        }
    }
    if (blocks.isEmpty() && headHtml.isEmpty())
        html += QStringLiteral("<p class=\"def\"></p>");

    // One part of speech is named once, beside the headword; several head their own senses.
    if (category.isEmpty() && categories.size() == 1)
        html.remove(QStringLiteral("<p class=\"gram\">%1</p>").arg(*categories.cbegin()));
    QStringList sortedCategories = categories.values();
    sortedCategories.sort();
    entry.pos = category.isEmpty() ? sortedCategories.join(QStringLiteral(", ")) : category;
    static const QRegularExpression braces(QStringLiteral("[{}\\[\\]\"]"));
    entry.definition = definition.join(QLatin1Char(' ')).remove(braces);
    entry.html = html;
    return entry;
}
