// Small dictionaries in the dictd format, written by the tests themselves: an index of headwords
// with base-64 offsets and lengths, and the gzip-compressed article text.
#pragma once

#include <QFile>
#include <QStringList>
#include <zlib.h>

namespace DictdFiles {

inline QByteArray gzip(const QByteArray& data)
{
    z_stream stream {};
    deflateInit2(&stream, 9, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    QByteArray out(int(deflateBound(&stream, uLong(data.size()))) + 64, Qt::Uninitialized);
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.constData()));
    stream.avail_in = uInt(data.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = uInt(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(int(stream.total_out));
    deflateEnd(&stream);
    return out;
}

inline QString digits(qint64 n)
{
    const QChar digit = QLatin1Char("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/"[n % 64]);
    return (n >= 64 ? digits(n / 64) : QString()) + digit;
}

// Writes <dir>/test.index and test.dict.dz; each article is listed under its index headwords.
inline QString writeDictd(const QString& dir, const QList<QPair<QStringList, QString>>& articles)
{
    QByteArray text;
    QStringList index;
    for (const auto& article : articles) {
        const QByteArray bytes = article.second.toUtf8();
        for (const QString& headword : article.first)
            index << headword + '\t' + digits(text.size()) + '\t' + digits(bytes.size());
        text += bytes;
    }
    index.sort(Qt::CaseInsensitive);
    QFile indexFile(dir + "/test.index");
    QFile dataFile(dir + "/test.dict.dz");
    if (!indexFile.open(QIODevice::WriteOnly) || !dataFile.open(QIODevice::WriteOnly))
        return QString();
    indexFile.write(index.join('\n').toUtf8() + '\n');
    dataFile.write(gzip(text));
    return dir + "/test";
}

// The articles of the tests' dictionary: an unabridged-style entry with a field label, senses,
// a quotation and cross-references, a lexical-database entry, a glossary entry, and the
// database's own entry that no import keeps.
inline const QList<QPair<QStringList, QString>>& sampleArticles()
{
    static const QList<QPair<QStringList, QString>> articles = {
        { { "00-database-info" }, "00-database-info\n  About this test dictionary.\n" },
        { { "Dog", "hound" },
            "Dog \\Dog\\ (d[o^]g), n. [AS. docga.]\n"
            "   1. (Zool.) A quadruped of the genus {Canis}; it will {bark}.\n"
            "      [1913 Webster]\n"
            "\n"
            "            What is thy servant, which is but a dog?\n"
            "                                                  --2 Kings\n"
            "      [1913 Webster]\n"
            "\n"
            "   2. A mean, worthless fellow; as, a sly dog.\n"
            "      [1913 Webster]\n" },
        { { "bark" },
            "bark\n"
            "    n 1: the sound made by a dog; \"the bark woke us\" [syn: {yelp}]\n"
            "    v 1: make a barking sound; \"the dogs barked\"\n" },
        { { "pony" }, "pony /pˈəʊni/\ncavallino\n" },
        { { "Canis" }, "Canis \\Ca\"nis\\, n. (Zool.)\n   A genus of mammals, including the dogs.\n" },
    };
    return articles;
}
}
