#include "bench/demolibrary.h"

#include "base/appsettings.h"
#include "base/datapaths.h"
#include "bench/benchsupport.h"
#include "packages/archiveextractor.h"
#include "store/webstore.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>

namespace {
// Unpacks a demo package where the program installs it and lists it in the page's database as
// the library would, with its catalog's title and languages.
bool install(const QString& package, const QSettings& catalog, WebStore& store, int& counter)
{
    const QString sku = QFileInfo(package).completeBaseName();
    ArchiveExtractor extractor(package, DataPaths::bookDirectory(sku));
    if (!extractor.open() || !extractor.inspect() || !extractor.extract([](int) {}))
        return BenchSupport::failed(QStringLiteral("cannot unpack ") + package);
    QString title = sku;
    QString source;
    QString destination;
    for (const QString& group : catalog.childGroups())
        if (catalog.value(group + QStringLiteral("/sku")).toString() == sku) {
            title = catalog.value(group + QStringLiteral("/title")).toString();
            source = catalog.value(group + QStringLiteral("/sourceLanguageId")).toString();
            destination = catalog.value(group + QStringLiteral("/destinationLanguageId")).toString();
        }
    const auto row = [&](const char* name, const QString& value) {
        return store.insert(counter, sku, QString::fromLatin1(name), value);
    };
    return row("STATUS", QStringLiteral("1")) && row("VISIBLE", QStringLiteral("1")) && row("TITLE", title)
        && row("SOURCELANGUAGEID", source) && row("DESTINATIONLANGUAGEID", destination);
}
}

namespace DemoLibrary {

QString packagesFolder() { return QStringLiteral(VOCALUME_BUILD_DIR "/demo-packages"); }

QString catalogPath() { return QStringLiteral(VOCALUME_SOURCE_DIR "/tools/storeservice/demo/catalog.ini"); }

QStringList ownedByDemoAccount(const QString& catalogPath)
{
    QSettings catalog(catalogPath, QSettings::IniFormat);
    return catalog.value(QStringLiteral("account_demo/purchased")).toStringList();
}

bool installAll(const QString& packages, const QString& catalogPath, const QStringList& skus)
{
    QSettings catalog(catalogPath, QSettings::IniFormat);
    catalog.setIniCodec("UTF-8");
    AppSettings settings;
    for (const QString& group : catalog.childGroups())
        if (group.startsWith(QLatin1String("charset"))) {
            const QString lang = catalog.value(group + QStringLiteral("/langId")).toString();
            settings.setStartCharset(catalog.value(group + QStringLiteral("/start")).toString(), lang);
            settings.setEndCharset(catalog.value(group + QStringLiteral("/end")).toString(), lang);
        }
    WebStore store;
    int counter = 0;
    if (!store.open() || !store.maxId(counter)
        || !store.setApplicationValue(counter, QStringLiteral("LOGIN"), QStringLiteral("TRUE")))
        return BenchSupport::failed(QStringLiteral("the page's database did not open"));
    QStringList zips = QDir(packages).entryList({ QStringLiteral("Z*.zip") }, QDir::Files, QDir::Name);
    if (!skus.isEmpty())
        zips = zips.filter(QRegularExpression(QStringLiteral("^(%1)\\.zip$").arg(skus.join(QLatin1Char('|')))));
    bool ok = !zips.isEmpty();
    for (const QString& zip : qAsConst(zips))
        ok = install(QDir(packages).filePath(zip), catalog, store, counter) && ok;
    store.close();
    return ok;
}
}
