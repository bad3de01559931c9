// What the pop-up look-up shows of a word: its entries in every installed dictionary, read on a
// worker thread (the dictionaries' databases and content files are on disk) and answered on this
// object's thread as one HTML document the pop-up shows as it is. Only the newest question is
// answered: a word selected while another is still being read replaces it.
#pragma once

#include "store/installedbooks.h"

#include <QObject>
#include <QString>
#include <QThreadPool>
#include <QVector>
#include <atomic>

class PopupEntries : public QObject {
    Q_OBJECT
public:
    // Entries of one dictionary shown at most: the homographs of a word and the entries it is a
    // form of rarely number more.
    static constexpr int PerDictionary = 4;

    // One entry found: its dictionary's title, its headword, whether the word is a form of it
    // rather than the headword itself (or another name of it), and its text, cleaned.
    struct Entry {
        QString dictionary;
        QString headword;
        bool ofForm = false;
        QString html;
    };
    // What a question found, and in how many dictionaries it looked.
    struct Found {
        QVector<Entry> entries;
        int dictionaries = 0;
    };

    explicit PopupEntries(QObject* parent = nullptr);
    // Waits for a question still being read.
    ~PopupEntries() override;

    // Looks `word` up in every installed dictionary; `found` follows unless a later question
    // replaces this one.
    void find(const QString& word);

    // The entries of `word` in `books`, in their order, read on the calling thread.
    static Found collect(const QVector<InstalledBook>& books, const QString& word);
    // The document shown for `word`: each dictionary's title, then its entries one after another,
    // without the lists of inflected forms and the pictures (a pop-up has no room for either),
    // or a line saying why there is nothing to show.
    static QString document(const QString& word, const Found& found);

signals:
    void found(const QString& word, const QString& document);

private:
    QThreadPool worker;
    // The newest question's number, read by the worker too.
    std::atomic<int> latest { 0 };
};
