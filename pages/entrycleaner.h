// Dictionary entries made safe to show in the engine's page. Packages come from outside: an
// entry keeps what a reader reads (text, emphasis, lists, tables, the package's own pictures,
// links between entries and to web and mail addresses) and loses whatever could run script,
// take the page elsewhere or make the program fetch anything by itself.
#pragma once

#include <QString>

class EntryCleaner
{
public:
    // `xhtml` is one or more elements, as a division of a content file is extracted. Tags outside
    // the reading vocabulary are left out and their text kept; scripts, styles, frames, embedded
    // objects, image maps and form controls' lists go whole; attributes stay only from a short
    // list, link and picture addresses only when the page handles them. What is not well-formed
    // keeps what was read before the fault. The result is well-formed, its empty elements closed
    // so that HTML reads them as XML does.
    static QString clean(const QString& xhtml);

    // Whether an address may stay on a link, or (`picture`) on a picture: a picture only from
    // the package (a relative address), a link also to a web or mail address. Control
    // characters and white space, which the web engine drops from an address, are dropped
    // before its scheme is read.
    static bool isSafeAddress(const QString& value, bool picture);
};
