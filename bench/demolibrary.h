// The demo dictionaries installed as the library installs them, for the benchmarks that type into
// the real dictionary page: each package unpacked where the program keeps books and listed in the
// page's database with its catalog's title and languages, the user marked signed in.
#pragma once

#include <QString>
#include <QStringList>

namespace DemoLibrary {

// Where the build keeps the packages scripts/demo-packages.sh makes, and the store service's catalog.
QString packagesFolder();
QString catalogPath();

// The dictionaries the catalog's demo account owns, in its order.
QStringList ownedByDemoAccount(const QString& catalogPath);

// Installs the packages named Z*.zip in `packages` (only those of `skus`, when given) and the
// catalog's character sets; false, with the reason printed, when any did not install.
bool installAll(const QString& packages, const QString& catalogPath, const QStringList& skus = QStringList());
}
