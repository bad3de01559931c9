// Which addresses belong to the engine deployed in the data folder. Its own pages alone may be
// shown and hold the bridge; the installed dictionaries inside it came from outside.
#pragma once

class QUrl;

class EngineUrls
{
public:
    // A local file of the engine, outside the folder of the installed dictionaries.
    static bool isEnginePage(const QUrl& url);
    // A local file anywhere inside the engine folder, the dictionaries' pictures included.
    static bool isEngineFile(const QUrl& url);
    // A web or mail address, which the desktop opens outside the program.
    static bool isOutsideAddress(const QUrl& url);
};
