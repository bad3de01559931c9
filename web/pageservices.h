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
    // How many rows of the whole alphabetical word list (the word list for the empty text) come
    // before `word`: where the index shows it. -1 when the dictionary cannot be read.
    int indexPosition(QString sku, QString word, QString sourceLanguage);

private:
    HeadwordSuggestions suggestions;
};
