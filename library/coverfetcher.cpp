#include "library/coverfetcher.h"

#include "base/diagnostics.h"
#include "packages/cachedimage.h"

#include <QScopedPointer>

CoverFetcher::CoverFetcher(QObject* parent)
    : QObject(parent)
{
}

CoverFetcher::~CoverFetcher() { stop(); }

void CoverFetcher::stop()
{
    // A cover that has just ended may still be inside its own signal: it goes later, and one
    // that is replaced says nothing more.
    for (const Running& cover : qAsConst(running)) {
        cover.image->disconnect(this);
        cover.image->deleteLater();
    }
    running.clear();
}

void CoverFetcher::fetch(const QVector<Book>& missing)
{
    stop();
    books = missing;
    position = 0;
    counter = 0;
    failures = 0;
    fetched.clear();
    next();
}

bool CoverFetcher::inFlight(const QString& name) const
{
    for (const Running& cover : running)
        if (cover.image->name == name)
            return true;
    return false;
}

void CoverFetcher::next()
{
    if (starting)
        return;
    starting = true;
    while (position < books.size() && running.size() < Parallel) {
        const Book& book = books.at(position);
        QScopedPointer<CachedImage> image(new CachedImage(book.image));
        // Asked here, not when the list was made: an earlier book may have brought the same
        // picture; one still on its way is waited for rather than asked twice.
        if (image->present) {
            fetched.append({ book.bookId, image->name });
            ++position;
            continue;
        }
        if (inFlight(image->name))
            break;
        ++position;
        CachedImage* started = image.take();
        running.append({ started, book.bookId, book.image });
        emit loading(++counter, books.size());
        connect(started, &CachedImage::finished, this, [this, started] { coverEnded(started, started->error); });
        started->start();
    }
    starting = false;
    if (running.isEmpty() && position >= books.size())
        emit finished(fetched, failures);
}

void CoverFetcher::coverEnded(CachedImage* image, bool failed)
{
    for (int i = 0; i < running.size(); ++i) {
        if (running.at(i).image != image)
            continue;
        const Running ended = running.takeAt(i);
        if (failed) {
            ++failures;
            Diagnostics::debug("Copertina non scaricata: %s", qPrintable(ended.url));
        } else {
            fetched.append({ ended.bookId, image->name });
        }
        break;
    }
    image->disconnect(this);
    image->deleteLater();
    next();
}
