#include "catalog.h"

#include "services/book.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace {
// An unquoted value with commas reads as a list; the catalog means the text as written.
QString text(const QSettings& settings, const QString& key)
{
    const QVariant value = settings.value(key);
    if (value.type() == QVariant::StringList)
        return value.toStringList().join(QStringLiteral(", "));
    return value.toString();
}

QStringList list(const QSettings& settings, const QString& key)
{
    QStringList items;
    for (const QString& item : text(settings, key).split(QLatin1Char(','), Qt::SkipEmptyParts))
        if (!item.trimmed().isEmpty())
            items << item.trimmed();
    return items;
}
}

const QStringList& Catalog::bookFields()
{
    // The service speaks the same record the program reads.
    return Book::fieldNames();
}

bool Catalog::load(const QString& directory, QString* error)
{
    const QString path = QDir(directory).absoluteFilePath(QStringLiteral("catalog.ini"));
    if (!QFileInfo(path).isFile()) {
        *error = QStringLiteral("no catalog file %1").arg(path);
        return false;
    }
    QSettings settings(path, QSettings::IniFormat);
    settings.setIniCodec("UTF-8");
    if (settings.status() != QSettings::NoError) {
        *error = QStringLiteral("cannot read %1").arg(path);
        return false;
    }

    settings.beginGroup(QStringLiteral("software"));
    version = text(settings, QStringLiteral("version"));
    downloadUrl = text(settings, QStringLiteral("download_url"));
    settings.endGroup();

    for (const QString& group : settings.childGroups()) {
        settings.beginGroup(group);
        if (group.startsWith(QLatin1String("account"))) {
            Account account { text(settings, QStringLiteral("username")), text(settings, QStringLiteral("password")),
                              list(settings, QStringLiteral("purchased")) };
            if (account.username.isEmpty()) {
                *error = QStringLiteral("section [%1] has no username").arg(group);
                return false;
            }
            accounts << account;
        } else if (group.startsWith(QLatin1String("dictionary"))) {
            Dictionary dictionary;
            dictionary.sku = text(settings, QStringLiteral("sku"));
            if (dictionary.sku.isEmpty()) {
                *error = QStringLiteral("section [%1] has no sku").arg(group);
                return false;
            }
            for (const QString& name : bookFields())
                if (settings.contains(name))
                    dictionary.fields.insert(name, text(settings, name));
            dictionary.package = text(settings, QStringLiteral("package"));
            if (dictionary.package.isEmpty())
                dictionary.package = dictionary.sku + QStringLiteral(".zip");
            dictionary.optional = settings.value(QStringLiteral("optional")).toBool();
            const QString cover = text(settings, QStringLiteral("cover"));
            if (!cover.isEmpty())
                dictionary.coverFile = QDir(directory).absoluteFilePath(cover);
            dictionaries << dictionary;
        } else if (group.startsWith(QLatin1String("charset"))) {
            charsets << Charset { text(settings, QStringLiteral("langId")), text(settings, QStringLiteral("start")),
                                  text(settings, QStringLiteral("end")) };
        }
        settings.endGroup();
    }
    return true;
}

void Catalog::matchPackages(const QString& packagesDirectory)
{
    QVector<Dictionary> kept;
    for (Dictionary& dictionary : dictionaries) {
        const QFileInfo package(QDir(packagesDirectory).absoluteFilePath(dictionary.package));
        if (dictionary.optional && !package.isFile())
            continue;
        if (dictionary.fields.value(QStringLiteral("weight")).isEmpty() && package.isFile())
            dictionary.fields.insert(QStringLiteral("weight"), QString::number((package.size() + (1 << 20) - 1) >> 20));
        kept << dictionary;
    }
    dictionaries = kept;
}

const Account* Catalog::account(const QString& username) const
{
    for (const Account& account : accounts)
        if (account.username == username)
            return &account;
    return nullptr;
}

const Dictionary* Catalog::dictionary(const QString& sku) const
{
    for (const Dictionary& dictionary : dictionaries)
        if (dictionary.sku == sku)
            return &dictionary;
    return nullptr;
}
