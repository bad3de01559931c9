// The covers a synchronisation found missing, fetched one after the other with nothing waiting
// for them: the sign-in is answered and the library shown before the first one arrives, and
// the GUI thread never sits in a loop of its own while a cover is on its way.
#pragma once

#include "services/book.h"

#include <QObject>
#include <QScopedPointer>
#include <QVector>

class CachedImage;

class CoverFetcher : public QObject
{
    Q_OBJECT
public:
    // A cover now in the cache, to be recorded as the COVER of its dictionary.
    struct Fetched {
        QString bookId;
        QString name;
    };

    explicit CoverFetcher(QObject* parent = nullptr);
    ~CoverFetcher() override;

    // Fetches the covers of `missing`, in order; one that an earlier book of the list has just
    // brought is not fetched again. Replaces a fetch still under way, which then reports nothing.
    void fetch(const QVector<Book>& missing);

signals:
    // Cover `counter` of `missing` starts loading.
    void loading(int counter, int missing);
    // Every cover has been tried: the ones now cached, and how many could not be had.
    void finished(const QVector<CoverFetcher::Fetched>& fetched, int failed);

private:
    void next();
    void coverEnded(bool failed);

    QVector<Book> books;
    int position = 0;
    int counter = 0;
    int failures = 0;
    QVector<Fetched> fetched;
    QScopedPointer<CachedImage> current;
};
