// Help the engine's pages get from native code beside the bridge, published in every page as
// "VocalumeNative". The bridge's own slots stay as they are; what is new lives here. Every slot
// answers at once through its result.
#pragma once

#include "search/headwordsuggestions.h"

#include <QObject>
#include <QString>

class PageServices : public QObject
{
    Q_OBJECT
public:
    explicit PageServices(QObject* parent = nullptr);

public slots:
    // The headwords closest in spelling to `word`, as a JSON array of texts, closest first.
    QString suggest(QString sku, QString word, QString sourceLanguage);
    // Up to `count` rows of the whole alphabetical index next to a place in it, as a JSON array
    // of {idzenta, word, file, omo, hw, k}: `after` "1" lists the rows from the place on, "0"
    // the rows before it (still in alphabetical order). The place is the `k` of a listed row (a
    // JSON array), or a plain word: the index at that word. An empty array when the dictionary
    // cannot be read. Each step seeks through an index, wherever in the dictionary it is.
    QString indexRows(QString sku, QString place, QString after, QString count, QString sourceLanguage);

private:
    HeadwordSuggestions suggestions;
};
