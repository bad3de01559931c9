// Reads a dictionary in the dictd format: `<base>.index` (headword, offset and length in base-64
// digits, one line each) and the article text `<base>.dict.dz` (gzip, dictzip's chunks
// included) or `<base>.dict`. Several index lines may point at one article: it is read once.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

struct DictdArticle {
    QString headword; // the index headword the article begins with (else the first one)
    QStringList otherHeadwords; // further index headwords that lead to this article
    QString text;
};

class DictdSource {
public:
    [[nodiscard]] bool read(const QString& basePath);
    QString errorString() const { return error; }
    // In index order of each article's first index line; the database's own "00-database-…"
    // entries are left out.
    const QVector<DictdArticle>& articles() const { return list; }

    // A number written in the index's base-64 digits; -1 when a character is not one of them.
    static qint64 decodeNumber(const QString& digits);
    // The whole content of a gzip stream (all members); empty with *ok false on failure.
    static QByteArray gunzip(const QByteArray& compressed, bool* ok);

private:
    QVector<DictdArticle> list;
    QString error;
};
