// Cover images of the demo catalog, drawn at start-up so that no picture has to be shipped:
// a coloured board with the dictionary's title, subtitle and language.
#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

struct Dictionary;

class CoverPainter
{
public:
    // PNG bytes of a cover for `dictionary`.
    static QByteArray paint(const Dictionary& dictionary);
};
