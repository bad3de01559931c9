#include "services/book.h"

#include <QStringList>

Book::Book()
{
    static const bool registered = [] {
        qRegisterMetaType<Book>("Book");
        qRegisterMetaType<QVector<Book>>("QVector<Book>");
        return true;
    }();
    Q_UNUSED(registered);
}

const QStringList& Book::fieldNames()
{
    static const QStringList names = {
        QStringLiteral("bookId"), QStringLiteral("title"), QStringLiteral("subtitle"),
        QStringLiteral("author"), QStringLiteral("lang"), QStringLiteral("year"),
        QStringLiteral("publisher"), QStringLiteral("image"), QStringLiteral("isbn"),
        QStringLiteral("revision"), QStringLiteral("infoRevision"), QStringLiteral("weight"),
        QStringLiteral("order"), QStringLiteral("purchased"), QStringLiteral("sourceLanguageId"),
        QStringLiteral("sourceLanguageFlag"), QStringLiteral("destinationLanguageId"),
        QStringLiteral("destinationLanguageFlag"),
    };
    return names;
}

QString* Book::slot(const QString& name)
{
    QString* const fields[] = {
        &bookId, &title, &subtitle, &author, &lang, &year, &publisher, &image, &isbn,
        &revision, &infoRevision, &weight, &order, &purchased, &sourceLanguageId,
        &sourceLanguageFlag, &destinationLanguageId, &destinationLanguageFlag,
    };
    const QStringList& names = fieldNames();
    for (int i = 0; i < names.size(); ++i)
        if (names.at(i).compare(name, Qt::CaseInsensitive) == 0)
            return fields[i];
    return digestName().compare(name, Qt::CaseInsensitive) == 0 ? &sha256 : nullptr;
}

QString Book::field(const QString& name) const
{
    const QString* value = const_cast<Book*>(this)->slot(name);
    return value ? *value : QString();
}

void Book::setField(const QString& name, const QString& value)
{
    if (QString* target = slot(name))
        *target = value;
}
