// The searches behind the desktop's own search (the shell's provider and the runner): the
// headwords of the installed dictionaries that begin with the typed text. Each question runs on a
// worker thread and is answered on this object's thread, never later than the deadline: a
// dictionary not searched by then is left out of that answer. Also remembers the hits it handed
// out, so that the desktop can ask for their details or open one by its identifier.
#pragma once

#include "search/prefixsearch.h"

#include <QHash>
#include <QObject>
#include <QThreadPool>
#include <functional>

class HeadwordQueries : public QObject {
    Q_OBJECT
public:
    using Answer = std::function<void(const QVector<PrefixSearch::Hit>&)>;

    // Hits in one answer.
    static constexpr int limit = 10;
    // The desktop waits for an answer at most this long; a little below the 50 ms it is promised,
    // for the reply's own way back.
    static constexpr int defaultDeadlineMs = 40;
    // The deadline of every later question (tests lengthen it).
    static void setDeadline(int milliseconds);

    explicit HeadwordQueries(QObject* parent = nullptr);
    // Waits for the searches still running.
    ~HeadwordQueries() override;

    // Searches `text`; `answer` runs once, on this object's thread.
    void ask(const QString& text, const Answer& answer);

    // The identifier of a hit, which names its dictionary and headword.
    static QString idOf(const PrefixSearch::Hit& hit);
    // The hit an identifier names: as it was handed out, or read back from the identifier (its
    // dictionary's title then unknown). False for an identifier that is not one of ours.
    bool find(const QString& id, PrefixSearch::Hit* hit) const;

signals:
    // A question arrived: the desktop is using the program.
    void asked();

private:
    struct Question;
    void answer(const std::shared_ptr<Question>& question);

    QThreadPool workers;
    QHash<QString, PrefixSearch::Hit> handedOut;
};
