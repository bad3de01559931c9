// The page's spelling suggestions: the headwords of the open dictionary read ahead on a thread of
// their own, the closest ones to a word, and the suggestions of a search of every dictionary
// that found nothing, which the page hears through a callback it names.
#pragma once

#include "search/headwordsuggestions.h"

#include <QObject>
#include <QString>

class SuggestionAnswers : public QObject
{
    Q_OBJECT
public:
    explicit SuggestionAnswers(QObject* parent = nullptr);
    // Waits for the suggestions still being looked for.
    ~SuggestionAnswers() override;

    // See PageServices, whose slots of the same names hand over here.
    void prepare(const QString& sku, const QString& sourceLanguage, const QString& callback);
    QString suggest(const QString& sku, const QString& word, const QString& sourceLanguage);
    void suggestEverywhere(const QString& word, const QString& books, const QString& callback);

signals:
    // `statement` answers a callback of the page.
    void pageStatement(const QString& statement);

private:
    void read(const QString& sku, const QString& sourceLanguage);

    HeadwordSuggestions suggestions;
    // Who hears that the headwords are read: the last prepare().
    struct Listener {
        QString sku;
        QString language;
        QString callback;
    } listener;
};
