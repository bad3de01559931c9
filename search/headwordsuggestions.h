// The headwords closest in spelling to a word that matched nothing ("Forse cercavi"): accents
// and case are ignored through the headwords' normalised forms, and the distance is the number
// of letters added, removed, changed or swapped. The headwords of one dictionary and language are
// read once, on a thread of their own so the caller never waits for the database, and kept: each
// suggestion then only walks them in memory.
#pragma once

#include <QObject>
#include <QPointer>
#include <QSharedPointer>
#include <QString>
#include <QStringList>
#include <QVector>

class QThread;

class HeadwordSuggestions : public QObject {
    Q_OBJECT
public:
    explicit HeadwordSuggestions(QObject* parent = nullptr);
    // Stops a reading still under way and waits for its thread.
    ~HeadwordSuggestions() override;

    // Starts reading the headwords of dictionary `sku` in `sourceLanguage` unless they are read
    // or being read; ready() follows. Reading another dictionary drops the one kept before.
    void prepare(const QString& sku, const QString& sourceLanguage);
    // True once the headwords of that dictionary have been read (or found unreadable).
    bool isReady(const QString& sku, const QString& sourceLanguage) const;

    // Up to `limit` headwords of dictionary `sku` in `sourceLanguage` closest to `word`, closest
    // first, then in alphabetical order; none when the dictionary cannot be read. Answers only
    // once the headwords are read: before that it starts reading them, sets `*waiting` and
    // returns none.
    QStringList suggest(const QString& sku, const QString& word, const QString& sourceLanguage, int limit = 5,
        bool* waiting = nullptr);

    // Edit distance of two texts, counting a swap of neighbouring letters as one edit; any value
    // above `bound` is returned as bound + 1.
    static int distance(const QString& a, const QString& b, int bound);
    // The distance a suggestion may be from a word of `length` letters: one letter wrong in a short
    // word, two in a longer one.
    static int allowedDistance(int length) { return length <= 4 ? 1 : 2; }

signals:
    // The headwords of `sku` in `sourceLanguage` are read: suggestions for it answer at once.
    void ready(const QString& sku, const QString& sourceLanguage);

private:
    struct Headword {
        QString word;
        QString key; // normalised, lower case
    };
    struct List {
        QString sku;
        QString language;
        QVector<Headword> headwords;
    };
    static void read(List* list, const QString& path);
    void adopt(QThread* thread, const QSharedPointer<List>& list);
    bool holds(const QSharedPointer<List>& list, const QString& sku, const QString& sourceLanguage) const;

    QSharedPointer<List> loaded;
    QSharedPointer<List> loading;
    QPointer<QThread> reader;
};
