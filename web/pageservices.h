// Help the engine's pages get from native code beside the bridge, published in every page as
// "VocalumeNative". The bridge's own slots stay as they are; what is new lives here. Each slot
// hands over to the service of its concern: suggestions (SuggestionAnswers), searches
// (SearchAnswers), downloads (DownloadStates), the user's files (UserFiles), printing
// (EntryPrint), the desktop's theme (PageTheme), pronunciation (SpeechAnswers) and flash cards
// (FlashCardAnswers). Every slot answers at once through its result; what takes longer answers
// through a callback the page names, as the bridge's answers go. (Not through a signal the page
// connects a function to: such a connection keeps that function, and with it the whole page,
// alive as long as this object lives.)
#pragma once

#include "web/downloadstates.h"
#include "web/flashcardanswers.h"
#include "web/pagetheme.h"
#include "web/speechanswers.h"
#include "web/suggestionanswers.h"

#include <QMap>
#include <QObject>
#include <QString>

class Download;
class SearchAnswers;

class PageServices : public QObject
{
    Q_OBJECT
public:
    explicit PageServices(QObject* parent = nullptr);

public slots:
    // Starts reading the headwords of a dictionary for suggestions, so the first one answers at
    // once; the page calls it when it opens the dictionary. `callback` is answered with
    // {result:true} once they are read (at once when they already are), and again whenever they
    // are read anew, until a later page asks for its own dictionary.
    void prepareSuggestions(QString sku, QString sourceLanguage, QString callback);
    // The headwords closest in spelling to `word`, as a JSON array of texts, closest first; JSON
    // null while the dictionary's headwords are still being read (the callback of
    // prepareSuggestions follows).
    QString suggest(QString sku, QString word, QString sourceLanguage);
    // The same for a search of every installed dictionary that found nothing: `books` is a JSON
    // array of {sku, lang}; the words come from their headwords and from the spelling dictionaries
    // of their languages. Looked for on a thread of its own; `callback` hears
    // {result:true,words:[...]}, closest first.
    void suggestEverywhere(QString word, QString books, QString callback);
    // `word` searched in every dictionary of `books` at once (`type` as the bridge's search,
    // first page): `books` is a JSON array of {sku, lang, callback}, each callback answered as
    // the bridge's search answers, as soon as its dictionary has been searched.
    void searchEach(QString word, QString type, QString books, QString offset);
    // Up to `count` rows of the whole alphabetical index next to a place in it, as a JSON array
    // of {idzenta, word, file, omo, hw, k}: `after` "1" lists the rows from the place on, "0"
    // the rows before it (still in alphabetical order). The place is the `k` of a listed row (a
    // JSON array), or a plain word: the index at that word. An empty array when the dictionary
    // cannot be read. Each step seeks through an index, wherever in the dictionary it is.
    QString indexRows(QString sku, QString place, QString after, QString count, QString sourceLanguage);

    // The size in bytes of the package being downloaded for `sku`, as its transfer announced
    // it; empty while unknown. The progress the page hears gives megabytes with one decimal.
    QString downloadSize(QString sku);
    // The downloads and installations under way, so that a page loaded meanwhile shows them: a
    // JSON object from sku to {state, percent, size, bytes}, state "download" (percent 0 to 99,
    // size in megabytes with one decimal and bytes as announced, when known), "queued" (the
    // package waits for another installation to end) or "install".
    QString downloadStates();
    // The downloads that stopped before their end and can be continued (a transfer cut by the
    // end of the program, paused by the user, or given up after failing), none of them under
    // way: a JSON object from sku to {percent, size, bytes, state}, state "interrupted" (under
    // way when the program ended: the page continues it), "paused" or "stopped"; percent, size
    // in megabytes and bytes as for downloadStates, of the whole package. The page continues
    // one by asking for its download again.
    QString keptDownloads();
    // Pauses the transfer of `sku`, keeping what arrived; true when one was under way.
    bool pauseDownload(QString sku);
    // Removes what a stopped or paused download of `sku` kept; true when something was removed.
    bool discardDownload(QString sku);

    // Asks the user for a file and writes `text` into it as UTF-8, whole or not at all; the
    // name offered is `suggestedName` in the home folder. The outcome as a JSON object text:
    // {"result":"saved",path}, {"result":"cancelled"} or {"result":"failed",path,reason}.
    QString saveTextFile(QString suggestedName, QString text);
    // Asks the user for a text file and reads it, as a JSON object text:
    // {"result":"opened",path,text}, {"result":"cancelled"}, {"result":"unreadable",path,reason}
    // or {"result":"tooBig",path,limit} (the largest size accepted, as the user reads it).
    QString openTextFile();

    // Puts `text` on the desktop's clipboard.
    void copyText(QString text);
    // An entry the page shows, on paper: the print preview, from which the desktop's print
    // dialog prints. `heading` and `source` (its dictionary) head the page; `html` is the entry.
    void printEntry(QString heading, QString source, QString html);
    // The same entry as a PDF file the user names; the outcome as saveTextFile's.
    QString exportEntryPdf(QString heading, QString source, QString html);

    // The desktop's theme, "scuro" or "chiaro": what the page's automatic theme follows. A
    // change reaches the page as temaDesktop('<theme>').
    QString desktopTheme();
    // Where a word selected in another program is looked up: "finestrella" (the pop-up beside the
    // pointer) or "finestra" (the main window). Any other choice counts as "finestrella".
    QString selectionLookup();
    void setSelectionLookup(QString choice);
    // Finds out the languages whose words can be read aloud (the first time, on a thread of its
    // own: listing the voices takes a while) and answers `callback` with
    // {result:true,languages:[...]}, their ids ("en", "it") in alphabetical order, none when no
    // voice is installed. The page offers "Ascolta" for them.
    void prepareSpeech(QString callback);
    // Reads `text` (a headword or a chosen text) aloud with a voice of `language`, a language id as
    // the dictionary names its sides; false when none speaks it. It does not wait for the end.
    bool speak(QString text, QString language);
    // The favourites and notes of `rows` (a JSON array of the page's rows, {table, IDBOOK, REF,
    // NOTE, DIZIONARIO}) as flash cards: written into a file for Anki's import the user picks,
    // or sent to Anki through AnkiConnect; `callback` hears the outcome as
    // FlashCardAnswers::exportFile and send tell.
    void exportAnkiCards(QString rows, QString callback);
    void sendToAnki(QString rows, QString callback);

signals:
    // `statement` answers a callback of the page; the GUI layer runs it in the page.
    void pageStatement(const QString& statement);

public:
    // The downloads by sku (the download service's), which the download slots read.
    void followDownloads(const QMap<QString, Download*>* downloads) { states.follow(downloads); }
    // The searches searchEach hands over to (the bridge's).
    void followSearches(SearchAnswers* answers) { searches = answers; }
    // What the desktop wants of the pages' colours; the window tells it the desktop's changes.
    PageTheme& theme() { return pageTheme; }
    // The voice speak uses instead of the desktop's (not taken over).
    void useSpeaker(Speaker* speaker) { speech.useSpeaker(speaker); }
    // Where sendToAnki finds AnkiConnect (tests start their own).
    void setAnkiPort(quint16 port) { flashCards.setAnkiPort(port); }

private:
    SearchAnswers* searches = nullptr;
    DownloadStates states;
    SuggestionAnswers suggestions;
    PageTheme pageTheme;
    SpeechAnswers speech;
    FlashCardAnswers flashCards;
};
