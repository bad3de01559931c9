// The page's side of the searches: hands the page's requests to the SearchService, remembers
// which callback of the page each one answers, and turns what the service found into the
// statement that answers it. Lives on the GUI thread, beside the bridge.
#pragma once

#include "search/searchservice.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>

class SearchAnswers : public QObject {
    Q_OBJECT
public:
    // A search of the page and the callback its results answer.
    struct Asked {
        SearchRequest request;
        QString callback;
    };

    explicit SearchAnswers(QObject* parent = nullptr);

    // As the SearchService's requests of the same names; each ends by answering `callback`.
    void search(const SearchRequest& request, const QString& callback);
    void searchEach(const QList<Asked>& asked);
    void getWords(const SearchRequest& request, const QString& callback);
    // Answers `callback` at once with the subject scopes of dictionary `sku`.
    void getScopes(const QString& sku, const QString& callback);
    // See PageServices::searchEach and indexRows, which hand over here.
    void searchEachBook(const QString& word, const QString& type, const QString& books, const QString& offset);
    static QString indexRows(const QString& sku, const QString& place, const QString& after, const QString& count,
        const QString& sourceLanguage);

    // The service the requests go to, whose signals tell what the user is to see.
    SearchService& service() { return searches; }

signals:
    // `statement` answers a callback of the page; the GUI layer runs it in the page.
    void pageStatement(const QString& statement);

private:
    void answer(int requestId, const SearchResults& results);

    SearchService searches;
    // The callbacks of the requests not yet ended, by the service's request number.
    QHash<int, QString> callbacks;
};
