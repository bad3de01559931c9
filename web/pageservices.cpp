#include "web/pageservices.h"

#include "base/scriptliteral.h"
#include "search/indexrows.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

PageServices::PageServices(QObject* parent)
    : QObject(parent)
{
    connect(&suggestions, &HeadwordSuggestions::ready, this, &PageServices::suggestionsRead);
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

QString PageServices::downloadSize(QString sku)
{
    const qint64 bytes = downloadSizes.value(sku);
    return bytes > 0 ? QString::number(bytes) : QString();
}

void PageServices::setDownloadSize(const QString& sku, qint64 bytes) { downloadSizes.insert(sku, bytes); }

namespace {
const qint64 largestTextFile = 20 * 1024 * 1024;

PageServices::FileChooser customChooser;

QString chooseFile(bool save, const QString& suggested)
{
    if (customChooser)
        return customChooser(save, suggested);
    const QString filter = QStringLiteral("Appunti di Vocalume (*.json);;Tutti i file (*)");
    return save ? QFileDialog::getSaveFileName(nullptr, QStringLiteral("Esporta gli appunti"), suggested, filter)
                : QFileDialog::getOpenFileName(nullptr, QStringLiteral("Importa gli appunti"), suggested, filter);
}
}

void PageServices::setFileChooser(FileChooser chooser) { customChooser = std::move(chooser); }

bool PageServices::saveTextFile(QString suggestedName, QString text)
{
    const QString name = suggestedName.section(QLatin1Char('/'), -1);
    const QString path = chooseFile(true, QDir::home().absoluteFilePath(name));
    if (path.isEmpty())
        return false;
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) >= 0 && file.commit();
}

QString PageServices::openTextFile()
{
    const QString path = chooseFile(false, QDir::homePath());
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly) || file.size() > largestTextFile)
        return QString();
    return QString::fromUtf8(file.readAll());
}
