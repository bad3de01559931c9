#include "search/searchstatements.h"

#include "base/charnormalizer.h"
#include "search/sqltext.h"

#include <zlib.h>

quint32 inflectionHash(const QString& word)
{
    const QByteArray decoded = QByteArray::fromPercentEncoding(word.toLower().toUtf8());
    const QByteArray bytes = QString::fromUtf8(decoded).toUtf8();
    const auto crc = crc32(0L, Z_NULL, 0);
    return quint32(crc32(crc, reinterpret_cast<const Bytef*>(bytes.constData()), uInt(bytes.size())));
}

SearchWordForms searchWordForms(const QString& word, const QString& sourceLanguage)
{
    SearchWordForms forms;
    forms.lower = word.toLower().toUtf8();
    forms.normalized = normalizeText(sourceLanguage, word).toLower().toUtf8();
    forms.hash = QByteArray::number(inflectionHash(word));
    return forms;
}

namespace SearchStatements {

namespace {
    QByteArray fullTextUnion(const SearchWordForms& w, const QString& sourceLanguage)
    {
        const QByteArray U = SqlText::escaped(w.lower);
        const QByteArray N = SqlText::escaped(w.normalized);
        const QByteArray source = SqlText::escaped(sourceLanguage);
        return "SELECT id_zenta, nome, f.file, omo, hwgram, 100 as occ FROM lemma l, file_lemma fl, file f  WHERE "
               "lower(l.nome) = '"
            + U + "' AND l.id = fl.id_lemma AND f.id = fl.id_file AND l.source = '" + source
            + "' UNION SELECT id_zenta, nome, f.file, omo, hwgram, 1 as occ FROM lemma l, keyword k, keyword_lemma kl, "
              "file_lemma fl, file f  WHERE kl.id_lemma = l.id AND k.id = kl.id_keyword AND k.keyword='"
            + N + "' AND lower(l.nome) <> '" + U + "' AND l.source = '" + source
            + "' AND l.id = fl.id_lemma and f.id = fl.id_file )";
    }

    QByteArray scopedFullTextUnion(const SearchWordForms& w, const QString& sourceLanguage, const QString& scope)
    {
        const QByteArray U = SqlText::escaped(w.lower);
        const QByteArray N = SqlText::escaped(w.normalized);
        const QByteArray source = SqlText::escaped(sourceLanguage);
        const QByteArray id = scope.toLatin1();
        return "SELECT distinct l.id_zenta, l.nome, f.file, omo, hwgram, 100 as occ from lemma l, file_lemma fl, file "
               "f "
               ", ambiti a, lemma_ambito la where lower(l.nome)= '"
            + U
            + "' and l.id= fl.id_lemma and f.id= fl.id_file "
              "and l.source ='"
            + source + "' and a.id = la.id_ambito and l.id= la.id_lemma and a.id=" + id
            + " union select distinct l.id_zenta, l.nome, f.file, omo, hwgram, 1 as occ from lemma l, keyword k, "
              "keyword_lemma kl,  file_lemma fl, file f, ambiti a, lemma_ambito la where kl.id_lemma = l.id and k.id = "
              "kl.id_keyword and k.keyword='"
            + N + "' and lower(l.nome) <> '" + U + "' and l.id= fl.id_lemma and f.id= fl.id_file and l.source ='"
            + source + "' and a.id = la.id_ambito and l.id= la.id_lemma and a.id=" + id + ")";
    }

    QByteArray limit(const QString& skip, const QString& rows)
    {
        return " LIMIT " + skip.toLatin1() + ", " + rows.toLatin1();
    }
}

QByteArray entryCount(const SearchWordForms& w, const QString& sourceLanguage)
{
    return "select count(*) from lemma l WHERE l.source = '" + SqlText::escaped(sourceLanguage)
        + "' AND (l.nome_n GLOB '" + SqlText::globLiteral(w.normalized)
        + "*' OR l.id in(SELECT id_lemma FROM lemmatizzatore WHERE lemmatizzatore.flessi='" + w.hash + "'))";
}

QByteArray wordCount(const SearchWordForms& w, const QString& sourceLanguage)
{
    return "select count(*) from lemma l WHERE l.source = '" + SqlText::escaped(sourceLanguage) + "' AND (l.nome_n = '"
        + SqlText::escaped(w.normalized) + "' OR l.id in(SELECT id_lemma FROM lemmatizzatore WHERE lemmatizzatore.flessi='"
        + w.hash + "'))";
}

QByteArray wordEntries(const SearchWordForms& w, const QString& sourceLanguage, int count)
{
    const QByteArray normalized = "'" + SqlText::escaped(w.normalized) + "'";
    return "select l.id_zenta, l.nome as nome, fl.id_file, l.omo, l.hwgram from lemma l, file_lemma fl WHERE "
           "l.id = fl.id_lemma AND l.source = '"
        + SqlText::escaped(sourceLanguage) + "' AND (l.nome_n = " + normalized
        + " OR l.id in(SELECT id_lemma FROM lemmatizzatore WHERE lemmatizzatore.flessi='" + w.hash
        + "')) order by l.nome_n <> " + normalized + ", lower(l.nome), l.omo limit " + QByteArray::number(count);
}

QByteArray entryExact(const SearchWordForms& w, const QString& sourceLanguage)
{
    return "select l.id_zenta, l.nome as nome, f.file, l.omo, l.hwgram from lemma l, file_lemma fl, file f WHERE "
           "l.id= fl.id_lemma and f.id =fl.id_file AND l.source = '"
        + SqlText::escaped(sourceLanguage) + "' and l.nome = '" + SqlText::escaped(w.lower) + "' order by lower(nome)";
}

QByteArray entryRelated(
    const SearchWordForms& w, const QString& sourceLanguage, const QString& start, const QString& offset)
{
    return "select l.id_zenta, l.nome as nome, fl.id_file, l.omo, l.hwgram from lemma l, file_lemma fl Where l.id= "
           "fl.id_lemma and (l.nome <>  '"
        + SqlText::escaped(w.lower) + "') AND (l.id IN (select id_lemma from lemmatizzatore where flessi='" + w.hash
        + "' ) or l.nome_n GLOB '" + SqlText::globLiteral(w.normalized) + "*') and l.source = '"
        + SqlText::escaped(sourceLanguage) + "' order by lower(l.nome) asc" + limit(start, offset);
}

QByteArray entryOfForm(const SearchWordForms& w, const QString& sourceLanguage, const QString& offset)
{
    return "select l.id_zenta, l.nome as nome, fl.id_file, l.omo, l.hwgram from lemma l, file_lemma fl Where l.id= "
           "fl.id_lemma and (l.nome <>  '"
        + SqlText::escaped(w.lower) + "') AND l.id IN (select id_lemma from lemmatizzatore where flessi='" + w.hash
        + "' ) and l.source = '" + SqlText::escaped(sourceLanguage) + "' order by lower(l.nome) asc"
        + limit(QStringLiteral("0"), offset);
}

QByteArray fullTextCount(const SearchWordForms& w, const QString& sourceLanguage, const QString& scope)
{
    return "SELECT COUNT(*) FROM ("
        + (scope.isEmpty() ? fullTextUnion(w, sourceLanguage) : scopedFullTextUnion(w, sourceLanguage, scope));
}

QByteArray fullTextPage(const SearchWordForms& w, const QString& sourceLanguage, const QString& scope,
    const QString& start, const QString& offset)
{
    if (scope.isEmpty())
        return "SELECT * FROM (" + fullTextUnion(w, sourceLanguage) + " ORDER BY occ DESC, LOWER(nome) ASC"
            + limit(start, offset);
    return "SELECT * FROM (" + scopedFullTextUnion(w, sourceLanguage, scope) + " order by  occ desc, lower(nome) asc"
        + limit(start, offset);
}

QByteArray wordListCount(const SearchWordForms& w, const QString& sourceLanguage)
{
    return "SELECT count(*) FROM lemma WHERE lemma.nome LIKE '" + SqlText::likeLiteral(w.lower)
        + "%' ESCAPE '\\' AND lemma.source = '"
        + SqlText::escaped(sourceLanguage) + "'";
}

// Without the language, the count reads the index of headwords alone, not every entry's row.
QByteArray wordListCountOneLanguage(const SearchWordForms& w)
{
    return "SELECT count(*) FROM lemma WHERE lemma.nome LIKE '" + SqlText::likeLiteral(w.lower) + "%' ESCAPE '\\'";
}

QByteArray sourceLanguageRange() { return "select (select min(source) from lemma), (select max(source) from lemma)"; }

namespace {
    // A condition every row the prefix match finds also meets: lower(nome) lies between the prefix
    // and the first text after all those that begin with it (its last byte one higher). It selects
    // no other rows, but lets SQLite walk an index in the list's own order, lower(nome), and stop
    // at the page instead of sorting every match; without such an index it changes nothing.
    QByteArray lowerNameRange(const QByteArray& prefix)
    {
        if (prefix.isEmpty())
            return QByteArray();
        QByteArray beyond = prefix;
        beyond[beyond.size() - 1] = char(quint8(beyond.at(beyond.size() - 1)) + 1); // UTF-8 never holds 0xFF
        return " AND lower(l.nome) >= '" + SqlText::escaped(prefix) + "' AND lower(l.nome) < '" + SqlText::escaped(beyond)
            + "'";
    }
}

QByteArray wordListPage(const SearchWordForms& w, const QString& sourceLanguage, const QString& from, const QString& to)
{
    return "select l.id_zenta, l.nome, f.file, l.omo, l.hwgram from lemma l, file_lemma fl, file f where l.id = "
           "fl.id_lemma and f.id = fl.id_file  AND l.nome LIKE '"
        + SqlText::likeLiteral(w.lower) + "%' ESCAPE '\\'" + lowerNameRange(w.lower) + " AND l.source = '"
        + SqlText::escaped(sourceLanguage) + "' order by lower(l.nome) asc" + limit(from, to);
}

QByteArray scopes() { return "select id, nome_n from ambiti order by lower(nome_n)"; }

QByteArray fileName(const QByteArray& key) { return "select file from file where id = " + SqlText::quoted(key); }

QByteArray fileNameOfKey() { return "select file from file where id = ?1"; }

QByteArray headwords(const QString& sourceLanguage)
{
    // In the table's own order: reading every headword through an index in alphabetical order
    // would cost more than sorting the few that are kept.
    return "select nome, nome_n from lemma where source = '" + SqlText::escaped(sourceLanguage) + "'";
}

QByteArray headwordPrefix(const SearchWordForms& w, const QString& sourceLanguage, int count)
{
    return "select nome, nome_n, hwgram from lemma where source = '" + SqlText::escaped(sourceLanguage) + "' and nome_n GLOB '"
        + SqlText::globLiteral(w.normalized) + "*' order by nome_n, nome limit " + QByteArray::number(count);
}

QByteArray indexPage(
    const QString& sourceLanguage, const QString& name, qint64 lemma, qint64 file, bool forward, int count)
{
    const QByteArray word = SqlText::quoted(name.toUtf8());
    const QByteArray lemmaId = QByteArray::number(lemma);
    const QByteArray fileId = QByteArray::number(file);
    const char* const beyond = forward ? ">" : "<";
    const char* const order = forward ? "asc" : "desc";
    return "select l.id_zenta, l.nome, f.file, l.omo, l.hwgram, lower(l.nome), l.id, f.id from lemma l, file_lemma fl, "
           "file f where l.id = fl.id_lemma and f.id = fl.id_file and l.source = "
        + SqlText::quoted(sourceLanguage.toUtf8()) + " and lower(l.nome) " + beyond + "= " + word
        + " and (lower(l.nome) " + beyond + " " + word + " or l.id " + beyond + " " + lemmaId + " or (l.id = " + lemmaId
        + " and f.id " + beyond + " " + fileId + ")) order by lower(l.nome) " + order + ", l.id " + order + ", f.id "
        + order + " limit " + QByteArray::number(count);
}

QList<QByteArray> all()
{
    const SearchWordForms w = searchWordForms(QStringLiteral("a"), QStringLiteral("it"));
    const QString it = QStringLiteral("it");
    const QString one = QStringLiteral("1");
    return { entryCount(w, it), entryExact(w, it), entryRelated(w, it, one, one), entryOfForm(w, it, one), wordCount(w, it), wordEntries(w, it, 1),
        fullTextCount(w, it, QString()), fullTextCount(w, it, one), fullTextPage(w, it, QString(), one, one),
        fullTextPage(w, it, one, one, one), wordListCount(w, it), wordListPage(w, it, one, one), scopes(),
        fileName("1"), fileNameOfKey(), wordListCountOneLanguage(w), sourceLanguageRange(), headwords(it), headwordPrefix(w, it, 1), indexPage(it, QStringLiteral("a"), 1, 1, true, 1) };
}
}
