#include "app/popupentries.h"

#include "search/booksearch.h"
#include "search/searchresults.h"
#include "search/searchstatements.h"
#include "web/pagereader.h"

#include <QRegularExpression>

namespace {
QString escaped(const QString& text) { return text.toHtmlEscaped(); }

// An entry as the pop-up shows it: cleaned markup without what it has no room for.
QString compact(const QString& html)
{
    static const QRegularExpression forms(QStringLiteral("<p class=\"flessi\"[^>]*>.*?</p>"),
        QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression pictures(QStringLiteral("<img\\b[^>]*>"));
    return QString(html).remove(forms).remove(pictures);
}
}

PopupEntries::PopupEntries(QObject* parent)
    : QObject(parent)
{
    worker.setMaxThreadCount(1);
}

PopupEntries::~PopupEntries() { worker.waitForDone(); }

void PopupEntries::find(const QString& word)
{
    const int question = ++latest;
    worker.start([this, question, word] {
        // A newer question waits behind this one: its answer is the one wanted.
        if (question != latest)
            return;
        const QString shown = document(word, collect(InstalledBooks::read(), word));
        QMetaObject::invokeMethod(
            this,
            [this, question, word, shown] {
                if (question == latest)
                    emit found(word, shown);
            },
            Qt::QueuedConnection);
    });
}

PopupEntries::Found PopupEntries::collect(const QVector<InstalledBook>& books, const QString& word)
{
    Found found;
    found.dictionaries = books.size();
    for (const InstalledBook& book : books) {
        SearchResults rows;
        searchWordEntries(&rows, book.sku, word, book.sourceLanguage, PerDictionary);
        const QByteArray own = searchWordForms(word, book.sourceLanguage).normalized;
        for (const SearchResult& row : qAsConst(rows.rows)) {
            const QString html = PageReader::entryHtml(book.sku, row.id, row.file);
            if (html.isEmpty())
                continue;
            const bool ofForm = searchWordForms(row.word, book.sourceLanguage).normalized != own;
            found.entries.append({ book.title, row.word, ofForm, compact(html) });
        }
    }
    return found;
}

QString PopupEntries::document(const QString& word, const Found& found)
{
    QString html;
    if (found.dictionaries == 0)
        html = QStringLiteral("<p class=\"avviso\">Nessun dizionario installato: scaricarne uno dalla libreria.</p>");
    else if (found.entries.isEmpty())
        html = QStringLiteral("<p class=\"avviso\">Nessuna voce per «%1» nei dizionari installati.</p>").arg(escaped(word));
    QString dictionary;
    for (const Entry& entry : found.entries) {
        if (entry.dictionary != dictionary) {
            dictionary = entry.dictionary;
            html += QStringLiteral("<p class=\"dizionario\">%1</p>").arg(escaped(dictionary));
        } else {
            html += QStringLiteral("<hr/>");
        }
        if (entry.ofForm)
            html += QStringLiteral("<p class=\"forma\">«%1» è una forma di <b>%2</b></p>").arg(escaped(word), escaped(entry.headword));
        html += entry.html;
    }
    return QStringLiteral("<html><body>") + html + QStringLiteral("</body></html>");
}
