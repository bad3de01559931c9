#include "bench/syntheticbook.h"

#include "bench/benchsupport.h"
#include "store/webstore.h"
#include "tools/packagebuilder/dictionarybuilder.h"
#include "tools/packagebuilder/syntheticdictionary.h"

#include <QElapsedTimer>
#include <cstdio>

bool SyntheticBook::build(const QString& book, int entries, int count, QVector<SearchQuery>* queries)
{
    QElapsedTimer build;
    build.start();
    SyntheticDictionary::Shape shape;
    shape.entries = entries;
    shape.formsPerEntry = 10;
    shape.keywordsPerEntry = 5;
    const SyntheticDictionary dictionary(shape);
    DictionaryBuilder builder;
    DictionaryBuilder::Options options;
    options.writeContent = false;
    if (!builder.open(book, options))
        return BenchSupport::failed(builder.errorString());
    if (!builder.addAll(dictionary) || !builder.finish())
        return BenchSupport::failed(builder.errorString());
    std::printf("dictionary: %d entries, %d forms, about %d keyword links, built in %.1f s\n", entries,
        entries * shape.formsPerEntry, entries * shape.keywordsPerEntry, build.elapsed() / 1000.0);
    // A prime step spreads the queries over the whole alphabet.
    for (int i = 0; i < count; ++i) {
        const DictionaryEntry e = dictionary.entry(int((quint64(i) * 7919u) % quint64(entries)));
        *queries << SearchQuery { e.headword.left(qMin(e.headword.size(), 5)), e.keywords.value(0), e.headword.left(3),
            QString() };
    }
    return true;
}

bool SyntheticBook::install(const QString& sku, const QString& title, const QString& sourceLanguage)
{
    WebStore store;
    if (!store.open())
        return false;
    int counter = 0;
    const bool written = store.maxId(counter)
        && store.setApplicationValue(counter, QStringLiteral("LOGIN"), QStringLiteral("TRUE"))
        && store.insert(counter, sku, QStringLiteral("STATUS"), QStringLiteral("1"))
        && store.insert(counter, sku, QStringLiteral("VISIBLE"), QStringLiteral("1"))
        && store.insert(counter, sku, QStringLiteral("TITLE"), title)
        && store.insert(counter, sku, QStringLiteral("SOURCELANGUAGEID"), sourceLanguage);
    store.close();
    return written;
}
