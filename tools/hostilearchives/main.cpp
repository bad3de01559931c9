// Writes the hostile and damaged test packages into the folder given on the command line.
#include "hostilearchives.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 2) {
        std::fprintf(stderr, "uso: %s CARTELLA\n", qPrintable(args.value(0)));
        return 2;
    }
    const QStringList names = HostileArchives::write(args.at(1));
    if (names.isEmpty()) {
        std::fprintf(stderr, "impossibile scrivere in %s\n", qPrintable(args.at(1)));
        return 1;
    }
    for (const QString& name : names)
        std::printf("%s\n", qPrintable(name));
    return 0;
}
