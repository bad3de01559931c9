// Small dictionaries for the search tests, built in-process with the package builder and
// installed where the program looks for them: ~/.vocalumezenta/engine/books/<sku>/.
#pragma once

#include "tests/support/testsupport.h"
#include "tools/packagebuilder/dictionarybuilder.h"

#include <QDir>
#include <QList>

namespace TestDictionary {

inline QString bookDirectory(const QString& sku)
{
    return TestSupport::dataDirectory() + QStringLiteral("/engine/books/") + sku;
}

inline DictionaryEntry entry(const QString& headword, const QString& pos = QString(),
    const QStringList& forms = QStringList(), const QStringList& keywords = QStringList(),
    const QStringList& scopes = QStringList(), const QString& source = QStringLiteral("it"))
{
    DictionaryEntry e;
    e.headword = headword;
    e.pos = pos;
    e.forms = forms;
    e.keywords = keywords;
    e.scopes = scopes;
    e.source = source;
    return e;
}

// Entries get ids (id_zenta) 1, 2, ... in list order; `perFile` entries share a content file.
inline bool install(const QString& sku, const QList<DictionaryEntry>& entries, int perFile = 50)
{
    DictionaryBuilder builder;
    DictionaryBuilder::Options options;
    options.entriesPerFile = perFile;
    if (!builder.open(bookDirectory(sku), options))
        return false;
    for (const DictionaryEntry& e : entries)
        if (!builder.add(e))
            return false;
    return builder.finish();
}
}
