// One dictionary of the account: eighteen text fields, copied freely, travelling between
// objects as the meta-type "Book" and in lists as QVector<Book>. Beside them the library may
// give the package's digest, which only the download reads.
#pragma once

#include <QMetaType>
#include <QString>
#include <QVector>

class Book
{
public:
    Book();

    // Field access by name, without regard to case; unknown names read empty and are ignored.
    QString field(const QString& name) const;
    void setField(const QString& name, const QString& value);

    // The names of the eighteen fields, in record order.
    static const QStringList& fieldNames();
    // The name of the digest in the library's reply and in field access.
    static QString digestName() { return QStringLiteral("sha256"); }

    QString bookId;
    QString title;
    QString subtitle;
    QString author;
    QString lang;
    QString year;
    QString publisher;
    QString image;
    QString isbn;
    QString revision;
    QString infoRevision;
    QString weight;
    QString order;
    QString purchased;
    QString sourceLanguageId;
    QString sourceLanguageFlag;
    QString destinationLanguageId;
    QString destinationLanguageFlag;
    // The SHA-256 of the dictionary's package in hexadecimal; empty when the library names none.
    QString sha256;

private:
    QString* slot(const QString& name);
};

Q_DECLARE_METATYPE(Book)
Q_DECLARE_METATYPE(QVector<Book>)
