// Library merge benchmark: a library of 5 000 dictionaries merged into the web database, first
// into an empty store (every row inserted), then again with every dictionary known and one field
// changed (every row looked up and updated), each in the one transaction the synchronisation
// uses. Prints every run and the medians; fails when a median exceeds 10 seconds.
#include "base/datapaths.h"
#include "bench/benchsupport.h"
#include "library/librarymerge.h"
#include "resources/resources.h"
#include "store/webstore.h"

#include <QApplication>
#include <QFile>
#include <QSqlQuery>
#include <QVariant>

namespace {
constexpr int libraryBooks = 5000;
constexpr double limitMs = 10000;

QVector<Book> library(int revision)
{
    QVector<Book> books;
    books.reserve(libraryBooks);
    for (int i = 0; i < libraryBooks; ++i) {
        Book book;
        book.bookId = QStringLiteral("ZB%1").arg(i, 5, 10, QLatin1Char('0'));
        book.title = QStringLiteral("Dizionario d'esempio %1").arg(i);
        book.author = QStringLiteral("Autore %1").arg(i);
        book.image = QStringLiteral("http://127.0.0.1/media/%1.png").arg(book.bookId);
        book.revision = QString::number(revision);
        book.purchased = i % 3 ? QStringLiteral("true") : QStringLiteral("false");
        books.append(book);
    }
    return books;
}

// Milliseconds for one merge of `books`, committed; -1 when the store fails.
double merge(const QVector<Book>& books)
{
    WebStore store;
    if (!store.open())
        return -1;
    QElapsedTimer clock;
    clock.start();
    bool changed = false;
    if (!store.transaction() || !LibraryMerge::mergeLibrary(store, books, changed) || !store.commit())
        return -1;
    return clock.nsecsElapsed() / 1e6;
}

// SYSTEM rows in the store: every dictionary has its nineteen.
int rowCount()
{
    WebStore store;
    if (!store.open())
        return -1;
    QSqlQuery query(store.database());
    query.exec(QStringLiteral("SELECT COUNT(*) FROM SYSTEM"));
    return query.next() ? query.value(0).toInt() : -1;
}

bool freshStore()
{
    const QString folder = DataPaths::webStorageDirectory();
    QDir(DataPaths::dataDirectory()).removeRecursively();
    if (!QDir().mkpath(folder))
        return false;
    const QString file = folder + QStringLiteral("/bookmarks.db");
    return QFile::copy(QStringLiteral(":/databases/bookmarks.db"), file)
        && QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}
}

int main(int argc, char* argv[])
{
    BenchSupport::prepareEnvironment();
    QApplication app(argc, argv);
    VocalumeResources::init();
    BenchSupport::quietProgram();
    const int runs = BenchSupport::runsFrom(argc, argv, 3);

    QVector<double> first;
    QVector<double> again;
    for (int run = 0; run < runs; ++run) {
        if (!freshStore()) {
            std::fprintf(stderr, "cannot prepare the store\n");
            return 1;
        }
        first << merge(library(1));
        again << merge(library(2));
        std::printf("run %d: first merge %.0f ms, second merge %.0f ms\n", run + 1, first.last(), again.last());
        if (first.last() < 0 || again.last() < 0 || rowCount() != libraryBooks * 19) {
            std::fprintf(stderr, "merge failed or left %d rows\n", rowCount());
            return 1;
        }
    }
    const double firstMedian = BenchSupport::median(first);
    const double againMedian = BenchSupport::median(again);
    std::printf("merge of %d books: median %.0f ms into an empty store, %.0f ms with every book known (limit %.0f ms)\n",
                libraryBooks, firstMedian, againMedian, limitMs);
    BenchSupport::figure("library merge, every book known", againMedian, "ms", -1, "",
        QStringLiteral("<= %1 ms").arg(limitMs), againMedian <= limitMs);
    return firstMedian <= limitMs && againMedian <= limitMs ? 0 : 1;
}
