#include "desktop/headwordqueries.h"

#include "store/installedbooks.h"

#include <QTimer>
#include <QUrl>
#include <atomic>
#include <memory>

namespace {
// Hits remembered for their details; more are forgotten all at once.
constexpr int rememberedHits = 1000;
std::atomic<int> deadlineMs { HeadwordQueries::defaultDeadlineMs };
}

void HeadwordQueries::setDeadline(int milliseconds) { deadlineMs.store(milliseconds); }

struct HeadwordQueries::Question {
    Answer answer;
    QVector<QVector<PrefixSearch::Hit>> lists; // on this object's thread only
    std::atomic<bool> answered { false };
};

HeadwordQueries::HeadwordQueries(QObject* parent)
    : QObject(parent)
{
    // The shell and the runner may ask at the same time.
    workers.setMaxThreadCount(2);
}

HeadwordQueries::~HeadwordQueries() { workers.waitForDone(); }

void HeadwordQueries::ask(const QString& text, const Answer& answer)
{
    emit asked();
    auto question = std::make_shared<Question>();
    question->answer = answer;
    QTimer::singleShot(deadlineMs.load(), this, [this, question] { this->answer(question); });
    workers.start([this, question, text] {
        for (const InstalledBook& book : InstalledBooks::read()) {
            // Answered at the deadline: the rest would be thrown away.
            if (question->answered)
                return;
            const auto hits = PrefixSearch::inBook({ book.sku, book.title, book.sourceLanguage }, text, limit);
            QMetaObject::invokeMethod(this, [question, hits] { question->lists.push_back(hits); }, Qt::QueuedConnection);
        }
        QMetaObject::invokeMethod(this, [this, question] { this->answer(question); }, Qt::QueuedConnection);
    });
}

void HeadwordQueries::answer(const std::shared_ptr<Question>& question)
{
    if (question->answered.exchange(true))
        return;
    const QVector<PrefixSearch::Hit> hits = PrefixSearch::merged(question->lists, limit);
    if (handedOut.size() > rememberedHits)
        handedOut.clear();
    for (const PrefixSearch::Hit& hit : hits)
        handedOut.insert(idOf(hit), hit);
    question->answer(hits);
}

QString HeadwordQueries::idOf(const PrefixSearch::Hit& hit)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(hit.sku) + '/' + QUrl::toPercentEncoding(hit.word));
}

bool HeadwordQueries::find(const QString& id, PrefixSearch::Hit* hit) const
{
    const auto known = handedOut.constFind(id);
    if (known != handedOut.constEnd()) {
        *hit = known.value();
        return true;
    }
    const QStringList parts = id.split(QLatin1Char('/'));
    if (parts.size() != 2)
        return false;
    *hit = PrefixSearch::Hit();
    hit->sku = QUrl::fromPercentEncoding(parts.at(0).toLatin1());
    hit->word = QUrl::fromPercentEncoding(parts.at(1).toLatin1());
    return !hit->sku.isEmpty() && !hit->word.isEmpty();
}
