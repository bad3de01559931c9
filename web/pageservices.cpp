#include "web/pageservices.h"

#include "base/appsettings.h"
#include "web/entryprint.h"
#include "web/searchanswers.h"
#include "web/userfiles.h"

#include <QApplication>
#include <QClipboard>

PageServices::PageServices(QObject* parent)
    : QObject(parent)
{
    connect(&suggestions, &SuggestionAnswers::pageStatement, this, &PageServices::pageStatement);
    connect(&pageTheme, &PageTheme::pageStatement, this, &PageServices::pageStatement);
    connect(&speech, &SpeechAnswers::pageStatement, this, &PageServices::pageStatement);
    connect(&flashCards, &FlashCardAnswers::pageStatement, this, &PageServices::pageStatement);
}

void PageServices::prepareSuggestions(QString sku, QString sourceLanguage, QString callback)
{
    suggestions.prepare(sku, sourceLanguage, callback);
}

QString PageServices::suggest(QString sku, QString word, QString sourceLanguage)
{
    return suggestions.suggest(sku, word, sourceLanguage);
}

void PageServices::suggestEverywhere(QString word, QString books, QString callback)
{
    suggestions.suggestEverywhere(word, books, callback);
}

void PageServices::searchEach(QString word, QString type, QString books, QString offset)
{
    if (searches)
        searches->searchEachBook(word, type, books, offset);
}

QString PageServices::indexRows(QString sku, QString place, QString after, QString count, QString sourceLanguage)
{
    return SearchAnswers::indexRows(sku, place, after, count, sourceLanguage);
}

QString PageServices::downloadSize(QString sku) { return states.size(sku); }

QString PageServices::downloadStates() { return states.underWay(); }

QString PageServices::keptDownloads() { return states.kept(); }

bool PageServices::pauseDownload(QString sku) { return states.pause(sku); }

bool PageServices::discardDownload(QString sku) { return states.discard(sku); }

QString PageServices::saveTextFile(QString suggestedName, QString text)
{
    return UserFiles::saveTextFile(suggestedName, text);
}

QString PageServices::openTextFile() { return UserFiles::openTextFile(); }

void PageServices::prepareSpeech(QString callback) { speech.prepare(callback); }

bool PageServices::speak(QString text, QString language) { return speech.speak(text, language); }

void PageServices::copyText(QString text) { QApplication::clipboard()->setText(text); }

void PageServices::printEntry(QString heading, QString source, QString html)
{
    EntryPrint(heading, source, html).preview(QApplication::activeWindow());
}

QString PageServices::exportEntryPdf(QString heading, QString source, QString html)
{
    return UserFiles::exportEntryPdf(heading, source, html);
}

QString PageServices::desktopTheme() { return pageTheme.name(); }

QString PageServices::selectionLookup()
{
    return AppSettings().selectionInPopup() ? QStringLiteral("finestrella") : QStringLiteral("finestra");
}

void PageServices::setSelectionLookup(QString choice)
{
    AppSettings().setSelectionInPopup(choice != QLatin1String("finestra"));
}

void PageServices::exportAnkiCards(QString rows, QString callback) { flashCards.exportFile(rows, callback); }

void PageServices::sendToAnki(QString rows, QString callback) { flashCards.send(rows, callback); }
