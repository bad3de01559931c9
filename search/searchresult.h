// One row of a search or word list as the page receives it; every field is text.
#pragma once

#include <QList>
#include <QMetaType>
#include <QString>

struct SearchResult {
    QString file; // content file that holds the entry
    QString id; // the entry's id_zenta
    QString word; // the headword as printed
    QString omo;
    QString hw; // the entry's hwgram
    QString sku; // the dictionary that was searched
};

Q_DECLARE_METATYPE(SearchResult)
