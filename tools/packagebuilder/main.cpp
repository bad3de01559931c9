// packagebuilder: writes a dictionary package (database.db and one archive per XHTML content
// file, zipped together as the store serves it) from a text source or as a synthetic dictionary.
#include "tools/packagebuilder/affixexpander.h"
#include "tools/packagebuilder/dictdimporter.h"
#include "tools/packagebuilder/dictionarybuilder.h"
#include "tools/packagebuilder/dictionarysource.h"
#include "tools/packagebuilder/syntheticdictionary.h"
#include "tools/packagebuilder/wordexceptions.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>

namespace {
int failWith(const QString& message)
{
    std::fprintf(stderr, "packagebuilder: %s\n", qPrintable(message));
    return 1;
}
}

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Builds a dictionary package from a tab-separated source file (--source), a dictd dictionary (--dictd) "
        "or a synthetic dictionary (--generate). Writes the installed layout into --book-dir and/or the package "
        "archive --package."));
    parser.addHelpOption();
    const QCommandLineOption sourceOption(
        QStringLiteral("source"), QStringLiteral("Source file (UTF-8, tab-separated)."), QStringLiteral("file"));
    const QCommandLineOption dictdOption(QStringLiteral("dictd"),
        QStringLiteral("dictd dictionary: path without .index and .dict.dz."), QStringLiteral("base"));
    const QCommandLineOption affixesOption(QStringLiteral("affixes"),
        QStringLiteral("Spelling dictionary for the inflected forms of --dictd: path without .aff and .dic."),
        QStringLiteral("base"));
    const QCommandLineOption exceptionsOption(QStringLiteral("exceptions"),
        QStringLiteral("Folder of English exception lists (noun.exc, verb.exc, adj.exc, adv.exc) giving the "
                       "irregular forms of --dictd."),
        QStringLiteral("dir"));
    const QCommandLineOption maxKeywordsOption(QStringLiteral("max-keywords"),
        QStringLiteral("At most n definition words of an entry become keywords (0: all)."), QStringLiteral("n"),
        QStringLiteral("0"));
    const QCommandLineOption generateOption(
        QStringLiteral("generate"), QStringLiteral("Synthetic dictionary of N entries."), QStringLiteral("N"));
    const QCommandLineOption formsOption(QStringLiteral("forms"),
        QStringLiteral("Inflected forms per synthetic entry."), QStringLiteral("n"), QStringLiteral("10"));
    const QCommandLineOption keywordsOption(QStringLiteral("keywords"),
        QStringLiteral("Keyword links per synthetic entry."), QStringLiteral("n"), QStringLiteral("5"));
    const QCommandLineOption scopesOption(QStringLiteral("scopes"), QStringLiteral("Scopes of a synthetic dictionary."),
        QStringLiteral("n"), QStringLiteral("24"));
    const QCommandLineOption seedOption(QStringLiteral("seed"), QStringLiteral("Seed of a synthetic dictionary."),
        QStringLiteral("n"), QStringLiteral("1"));
    const QCommandLineOption languageOption(QStringLiteral("language"),
        QStringLiteral("Language code of the entries (default it)."), QStringLiteral("code"), QStringLiteral("it"));
    const QCommandLineOption startOption(QStringLiteral("start-charset"),
        QStringLiteral("Normalisation start list, \"|\"-separated."), QStringLiteral("list"));
    const QCommandLineOption endOption(QStringLiteral("end-charset"),
        QStringLiteral("Normalisation end list, \"|\"-separated."), QStringLiteral("list"));
    const QCommandLineOption perFileOption(QStringLiteral("entries-per-file"),
        QStringLiteral("Entries per content file."), QStringLiteral("n"), QStringLiteral("50"));
    const QCommandLineOption noContentOption(
        QStringLiteral("no-content"), QStringLiteral("Write the database only, no content archives."));
    const QCommandLineOption bookDirOption(
        QStringLiteral("book-dir"), QStringLiteral("Directory receiving the installed layout."), QStringLiteral("dir"));
    const QCommandLineOption packageOption(
        QStringLiteral("package"), QStringLiteral("Package archive to write."), QStringLiteral("zip"));
    parser.addOptions({ sourceOption, dictdOption, affixesOption, exceptionsOption, maxKeywordsOption, generateOption,
        formsOption, keywordsOption, scopesOption, seedOption, languageOption, startOption, endOption, perFileOption,
        noContentOption, bookDirOption, packageOption });
    parser.process(app);

    if (int(parser.isSet(sourceOption)) + int(parser.isSet(dictdOption)) + int(parser.isSet(generateOption)) != 1)
        return failWith(QStringLiteral("give exactly one of --source, --dictd and --generate"));
    if (!parser.isSet(bookDirOption) && !parser.isSet(packageOption))
        return failWith(QStringLiteral("give --book-dir, --package or both"));

    DictionaryBuilder::Options options;
    if (parser.isSet(startOption) || parser.isSet(endOption)) {
        options.startCharset = parser.value(startOption);
        options.endCharset = parser.value(endOption);
    }
    options.entriesPerFile = qMax(1, parser.value(perFileOption).toInt());
    options.writeContent = !parser.isSet(noContentOption);
    options.maximumDefinitionKeywords = qMax(0, parser.value(maxKeywordsOption).toInt());

    QTemporaryDir scratch;
    const QString bookDir
        = parser.isSet(bookDirOption) ? parser.value(bookDirOption) : scratch.path() + QStringLiteral("/book");
    QElapsedTimer timer;
    timer.start();
    DictionaryBuilder builder;
    if (!builder.open(bookDir, options))
        return failWith(builder.errorString());

    if (parser.isSet(dictdOption)) {
        AffixExpander affixes;
        if (parser.isSet(affixesOption) && !affixes.load(parser.value(affixesOption)))
            return failWith(affixes.errorString());
        WordExceptions exceptions;
        if (parser.isSet(exceptionsOption) && !exceptions.load(parser.value(exceptionsOption)))
            return failWith(exceptions.errorString());
        DictdImporter importer;
        if (!importer.import(parser.value(dictdOption), parser.value(languageOption),
                parser.isSet(affixesOption) ? &affixes : nullptr, builder,
                parser.isSet(exceptionsOption) ? &exceptions : nullptr))
            return failWith(importer.errorString());
    } else if (parser.isSet(sourceOption)) {
        DictionarySource source;
        if (!source.read(parser.value(sourceOption), parser.value(languageOption),
                [&builder](const DictionaryEntry& entry) { return builder.add(entry); }))
            return failWith(source.errorString() + QLatin1Char(' ') + builder.errorString());
    } else {
        SyntheticDictionary::Shape shape;
        shape.entries = parser.value(generateOption).toInt();
        shape.formsPerEntry = parser.value(formsOption).toInt();
        shape.keywordsPerEntry = parser.value(keywordsOption).toInt();
        shape.scopes = parser.value(scopesOption).toInt();
        shape.seed = parser.value(seedOption).toUInt();
        shape.source = parser.value(languageOption);
        if (!builder.addAll(SyntheticDictionary(shape)))
            return failWith(builder.errorString());
    }
    if (!builder.finish())
        return failWith(builder.errorString());

    if (parser.isSet(packageOption)) {
        QString error;
        if (!DictionaryBuilder::writePackage(bookDir, parser.value(packageOption), &error))
            return failWith(error);
    }
    std::printf("%d entries in %.1f s\n", builder.entryCount(), double(timer.elapsed()) / 1000.0);
    return 0;
}
