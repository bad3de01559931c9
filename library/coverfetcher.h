// The covers a synchronisation found missing, fetched a few at a time with nothing waiting for
// them: the sign-in is answered and the library shown before the first one arrives, and the GUI
// thread never sits in a loop of its own while a cover is on its way.
#pragma once

#include "services/book.h"

#include <QList>
#include <QObject>
#include <QVector>

class CachedImage;

class CoverFetcher : public QObject
{
    Q_OBJECT
public:
    // Covers asked for at the same time: the store answers several at once, and each is small.
    static constexpr int Parallel = 4;

    // A cover now in the cache, to be recorded as the COVER of its dictionary.
    struct Fetched {
        QString bookId;
        QString name;
    };

    explicit CoverFetcher(QObject* parent = nullptr);
    ~CoverFetcher() override;

    // Fetches the covers of `missing`, started in order; one that an earlier book of the list
    // brings is not fetched again. Replaces a fetch still under way, which then reports nothing.
    void fetch(const QVector<Book>& missing);

signals:
    // Cover `counter` of `missing` starts loading.
    void loading(int counter, int missing);
    // Every cover has been tried: the ones now cached, and how many could not be had.
    void finished(const QVector<CoverFetcher::Fetched>& fetched, int failed);

private:
    struct Running {
        CachedImage* image;
        QString bookId;
        QString url;
    };

    // Starts covers while fewer than Parallel are on their way; says it is over once none is.
    void next();
    void coverEnded(CachedImage* image, bool failed);
    bool inFlight(const QString& name) const;
    void stop();

    QVector<Book> books;
    int position = 0;
    int counter = 0;
    int failures = 0;
    QVector<Fetched> fetched;
    QList<Running> running;
    // next() is on the stack: a cover ending inside it leaves the starting to it.
    bool starting = false;
};
