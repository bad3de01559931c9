// What the reference store sells: accounts with their purchases, dictionaries with their
// descriptive fields, package and cover, the per-language character tables and the current
// release of the desktop software. Read once from <dir>/catalog.ini; read-only afterwards, so
// the server's worker threads share it freely.
#pragma once

#include <QMap>
#include <QString>
#include <QStringList>
#include <QVector>

struct Account {
    QString username;
    QString password;
    QStringList purchased; // skus
};

struct Dictionary {
    QString sku;
    QMap<QString, QString> fields; // descriptive fields by their record name ("title", "year", ...)
    QString package;               // file name relative to the packages directory
    QString coverFile;             // absolute path of a cover image, empty: one is drawn
    bool optional = false;         // listed only when its package file exists
};

struct Charset {
    QString langId;
    QString start;
    QString end;
};

class Catalog
{
public:
    // The record's eighteen field names in order; "bookId", "image" and "purchased" are filled
    // by the service itself, the others come from the catalog.
    static const QStringList& bookFields();

    bool load(const QString& directory, QString* error);
    // Leaves out the optional dictionaries whose package is not in `packagesDirectory` and gives
    // every dictionary without a "weight" its package's size in megabytes.
    void matchPackages(const QString& packagesDirectory);

    const Account* account(const QString& username) const;
    const Dictionary* dictionary(const QString& sku) const;

    QVector<Account> accounts;
    QVector<Dictionary> dictionaries; // in the order of their sections' names
    QVector<Charset> charsets;
    QString version;
    QString downloadUrl; // "{base}" stands for http://<this service>
};
