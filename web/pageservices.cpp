#include "web/pageservices.h"

#include "base/datapaths.h"
#include "base/wholefile.h"
#include "packages/download.h"
#include "packages/partialpackage.h"
#include "base/scriptliteral.h"
#include "search/indexrows.h"
#include "search/spellingsuggestions.h"
#include "web/entryprint.h"
#include "web/searchanswers.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QThread>
#include <memory>

PageServices::PageServices(QObject* parent)
    : QObject(parent)
{
    connect(&suggestions, &HeadwordSuggestions::ready, this, &PageServices::suggestionsRead);
}

PageServices::~PageServices()
{
    for (QThread* thread : findChildren<QThread*>())
        thread->wait();
}

void PageServices::suggestEverywhere(QString word, QString books, QString callback)
{
    QVector<SpellingSuggestions::Book> list;
    for (const QJsonValue& book : QJsonDocument::fromJson(books.toUtf8()).array())
        list.push_back({ book.toObject().value(QStringLiteral("sku")).toString(),
            book.toObject().value(QStringLiteral("lang")).toString() });
    auto found = std::make_shared<QStringList>();
    QThread* thread = QThread::create([list, word, found] { *found = SpellingSuggestions::closest(list, word); });
    thread->setParent(this);
    connect(thread, &QThread::finished, this, [this, thread, found, callback] {
        thread->deleteLater();
        QStringList words;
        for (const QString& w : qAsConst(*found))
            words << QLatin1Char('"') + ScriptLiteral::escapeNested(w, QLatin1Char('"'), QLatin1Char('\'')) + QLatin1Char('"');
        emit pageStatement(ScriptLiteral::singleQuoted(
            callback, QStringLiteral("{result:true,words:[") + words.join(QLatin1Char(',')) + QStringLiteral("]}")));
    });
    thread->start(QThread::LowPriority);
}

void PageServices::searchEach(QString word, QString type, QString books, QString offset)
{
    if (!searches)
        return;
    QList<SearchAnswers::Asked> asked;
    for (const QJsonValue& value : QJsonDocument::fromJson(books.toUtf8()).array()) {
        const QJsonObject book = value.toObject();
        asked << SearchAnswers::Asked { { word, QString(), type, book.value(QStringLiteral("sku")).toString(),
                                            QStringLiteral("0"), offset, book.value(QStringLiteral("lang")).toString() },
            book.value(QStringLiteral("callback")).toString() };
    }
    searches->searchEach(asked);
}

void PageServices::prepareSuggestions(QString sku, QString sourceLanguage, QString callback)
{
    listener = { sku, sourceLanguage, callback };
    if (suggestions.isReady(sku, sourceLanguage))
        suggestionsRead(sku, sourceLanguage);
    else
        suggestions.prepare(sku, sourceLanguage);
}

void PageServices::suggestionsRead(const QString& sku, const QString& sourceLanguage)
{
    if (!listener.callback.isEmpty() && listener.sku == sku && listener.language == sourceLanguage)
        emit pageStatement(ScriptLiteral::singleQuoted(listener.callback, QStringLiteral("{result:true}")));
}

QString PageServices::suggest(QString sku, QString word, QString sourceLanguage)
{
    bool waiting = false;
    const QStringList found = suggestions.suggest(sku, word, sourceLanguage, 5, &waiting);
    if (waiting)
        return QStringLiteral("null");
    return QString::fromUtf8(QJsonDocument(QJsonArray::fromStringList(found)).toJson(QJsonDocument::Compact));
}

QString PageServices::indexRows(QString sku, QString place, QString after, QString count, QString sourceLanguage)
{
    IndexRows::Place from;
    const QJsonArray key = QJsonDocument::fromJson(place.toUtf8()).array();
    if (key.size() == 3) {
        from.name = key.at(0).toString();
        from.lemma = key.at(1).toVariant().toLongLong();
        from.file = key.at(2).toVariant().toLongLong();
    } else {
        from.name = place.toLower();
    }
    const int rows = qBound(0, count.toInt(), 500);
    QJsonArray out;
    for (const IndexRows::Row& r : IndexRows::read(sku, sourceLanguage, from, after == QLatin1String("1"), rows)) {
        QJsonObject item;
        item.insert(QStringLiteral("idzenta"), r.id);
        item.insert(QStringLiteral("word"), r.word);
        item.insert(QStringLiteral("file"), r.file);
        item.insert(QStringLiteral("omo"), r.omo);
        item.insert(QStringLiteral("hw"), r.hw);
        item.insert(QStringLiteral("k"), QJsonArray { r.place.name, double(r.place.lemma), double(r.place.file) });
        out.append(item);
    }
    return QString::fromUtf8(QJsonDocument(out).toJson(QJsonDocument::Compact));
}

void PageServices::followDownloads(const QMap<QString, Download*>* bySku) { downloads = bySku; }

void PageServices::followSearches(SearchAnswers* service) { searches = service; }

Download* PageServices::followed(const QString& sku) const { return downloads ? downloads->value(sku) : nullptr; }

QString PageServices::downloadSize(QString sku)
{
    const Download* download = followed(sku);
    return download && download->announcedBytes() > 0 ? QString::number(download->announcedBytes()) : QString();
}

QString PageServices::downloadStates()
{
    QJsonObject states;
    if (!downloads)
        return QStringLiteral("{}");
    for (auto it = downloads->cbegin(); it != downloads->cend(); ++it) {
        const Download* download = it.value();
        QJsonObject state;
        switch (download->phase()) {
        case Download::Phase::Transfer: {
            const qint64 total = download->announcedBytes();
            state.insert(QStringLiteral("state"), QStringLiteral("download"));
            state.insert(QStringLiteral("percent"), qMin(99, Download::percentOf(download->receivedBytes(), total)));
            if (total > 0) {
                state.insert(QStringLiteral("size"), Download::sizeText(total));
                state.insert(QStringLiteral("bytes"), double(total));
            }
            break;
        }
        case Download::Phase::Queued:
            state.insert(QStringLiteral("state"), QStringLiteral("queued"));
            break;
        case Download::Phase::Installing:
            state.insert(QStringLiteral("state"), QStringLiteral("install"));
            break;
        case Download::Phase::Paused:
        case Download::Phase::Over:
            continue;
        }
        states.insert(it.key(), state);
    }
    return QString::fromUtf8(QJsonDocument(states).toJson(QJsonDocument::Compact));
}

QString PageServices::keptDownloads()
{
    static const char* const stateNames[] = { "interrupted", "paused", "stopped" };
    QJsonObject kept;
    const QMap<QString, PartialPackage> parts = PartialPackage::under(DataPaths::booksDirectory());
    for (auto it = parts.cbegin(); it != parts.cend(); ++it) {
        const Download* download = followed(it.key());
        if (download && download->phase() != Download::Phase::Paused && download->phase() != Download::Phase::Over)
            continue;
        QJsonObject state { { QStringLiteral("percent"), qMin(99, it->percent()) },
                            { QStringLiteral("state"), QLatin1String(stateNames[int(it->state)]) } };
        if (it->size > 0) {
            state.insert(QStringLiteral("size"), Download::sizeText(it->size));
            state.insert(QStringLiteral("bytes"), double(it->size));
        }
        kept.insert(it.key(), state);
    }
    return QString::fromUtf8(QJsonDocument(kept).toJson(QJsonDocument::Compact));
}

bool PageServices::pauseDownload(QString sku)
{
    Download* download = followed(sku);
    return download && download->pause();
}

bool PageServices::discardDownload(QString sku)
{
    Download* download = followed(sku);
    if (download && download->phase() == Download::Phase::Paused) {
        download->cancel();
        return true;
    }
    if ((download && download->phase() != Download::Phase::Over)
        || !PartialPackage::under(DataPaths::booksDirectory()).contains(sku))
        return false;
    PartialPackage(DataPaths::packageFile(DataPaths::bookDirectory(sku))).remove();
    return true;
}

namespace {
const qint64 largestTextFile = 20 * 1024 * 1024;

PageServices::FileChooser customChooser;

const QString notesFilter = QStringLiteral("Appunti di Vocalume (*.json);;Tutti i file (*)");

QString chooseFile(bool save, const QString& suggested, const QString& title = QStringLiteral("Esporta gli appunti"),
                   const QString& filter = notesFilter)
{
    if (customChooser)
        return customChooser(save, suggested);
    return save ? QFileDialog::getSaveFileName(QApplication::activeWindow(), title, suggested, filter)
                : QFileDialog::getOpenFileName(QApplication::activeWindow(), QStringLiteral("Importa gli appunti"), suggested, filter);
}

// What the page hears of a file it asked for: `result` and the details, as a JSON object text.
QString outcome(const QString& result, const QJsonObject& details = QJsonObject())
{
    QJsonObject answer = details;
    answer.insert(QStringLiteral("result"), result);
    return QString::fromUtf8(QJsonDocument(answer).toJson(QJsonDocument::Compact));
}
}

void PageServices::setFileChooser(FileChooser chooser) { customChooser = std::move(chooser); }

QString PageServices::saveTextFile(QString suggestedName, QString text)
{
    const QString name = suggestedName.section(QLatin1Char('/'), -1);
    const QString path = chooseFile(true, QDir::home().absoluteFilePath(name));
    if (path.isEmpty())
        return outcome(QStringLiteral("cancelled"));
    WholeFile file(path);
    if (!file.write(text.toUtf8()))
        return outcome(QStringLiteral("failed"), { { QStringLiteral("path"), path }, { QStringLiteral("reason"), file.errorString() } });
    return outcome(QStringLiteral("saved"), { { QStringLiteral("path"), path } });
}

QString PageServices::openTextFile()
{
    const QString path = chooseFile(false, QDir::homePath());
    if (path.isEmpty())
        return outcome(QStringLiteral("cancelled"));
    QFile file(path);
    // Read up to one byte past the limit: a device without a size must not fill the memory.
    const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.read(largestTextFile + 1) : QByteArray();
    if (!file.isOpen() || file.error() != QFileDevice::NoError)
        return outcome(QStringLiteral("unreadable"),
                       { { QStringLiteral("path"), path }, { QStringLiteral("reason"), WholeFile::reason(file, false) } });
    if (bytes.size() > largestTextFile)
        return outcome(QStringLiteral("tooBig"), { { QStringLiteral("path"), path },
                                                   { QStringLiteral("limit"), QStringLiteral("%1 MB").arg(largestTextFile >> 20) } });
    return outcome(QStringLiteral("opened"), { { QStringLiteral("path"), path }, { QStringLiteral("text"), QString::fromUtf8(bytes) } });
}

void PageServices::copyText(QString text)
{
    QApplication::clipboard()->setText(text);
}

void PageServices::printEntry(QString heading, QString source, QString html)
{
    EntryPrint(heading, source, html).preview(QApplication::activeWindow());
}

QString PageServices::exportEntryPdf(QString heading, QString source, QString html)
{
    // A name a file can have: no folder separators, no leading dot.
    QString name = heading.simplified().replace(QRegularExpression(QStringLiteral("[/\\\\:*?\"<>|]")), QStringLiteral("-"));
    name = name.remove(QRegularExpression(QStringLiteral("^\\.+"))).left(80);
    const QString path = chooseFile(true, QDir::home().absoluteFilePath((name.isEmpty() ? QStringLiteral("voce") : name) + QStringLiteral(".pdf")),
                                    QStringLiteral("Esporta la voce in PDF"), QStringLiteral("Documenti PDF (*.pdf)"));
    if (path.isEmpty())
        return outcome(QStringLiteral("cancelled"));
    QString reason;
    if (!EntryPrint(heading, source, html).writePdf(path, &reason))
        return outcome(QStringLiteral("failed"), { { QStringLiteral("path"), path }, { QStringLiteral("reason"), reason } });
    return outcome(QStringLiteral("saved"), { { QStringLiteral("path"), path } });
}
