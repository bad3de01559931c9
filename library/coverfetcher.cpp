#include "library/coverfetcher.h"

#include "base/diagnostics.h"
#include "packages/cachedimage.h"

CoverFetcher::CoverFetcher(QObject* parent)
    : QObject(parent)
{
}

CoverFetcher::~CoverFetcher() = default;

void CoverFetcher::fetch(const QVector<Book>& missing)
{
    books = missing;
    position = 0;
    counter = 0;
    failures = 0;
    fetched.clear();
    next();
}

void CoverFetcher::next()
{
    // The cover that has just ended may still be inside its own signal: it goes later, and
    // one that is replaced says nothing more.
    if (current) {
        current->disconnect(this);
        current.take()->deleteLater();
    }
    for (; position < books.size(); ++position) {
        const Book& book = books.at(position);
        current.reset(new CachedImage(book.image));
        // Asked here, not when the list was made: an earlier book may have brought the same picture.
        if (current->present) {
            fetched.append({ book.bookId, current->name });
            continue;
        }
        emit loading(++counter, books.size());
        connect(current.data(), &CachedImage::finished, this, &CoverFetcher::coverEnded);
        current->start();
        return;
    }
    current.reset();
    emit finished(fetched, failures);
}

void CoverFetcher::coverEnded(bool failed)
{
    const Book& book = books.at(position++);
    if (failed) {
        ++failures;
        Diagnostics::debug("Copertina non scaricata: %s", qPrintable(book.image));
    } else {
        fetched.append({ book.bookId, current->name });
    }
    next();
}
