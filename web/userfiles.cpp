#include "web/userfiles.h"

#include "base/wholefile.h"
#include "pages/ankitextfile.h"
#include "web/entryprint.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace {
const qint64 largestTextFile = 20 * 1024 * 1024;

UserFiles::FileChooser customChooser;

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

void UserFiles::setFileChooser(FileChooser chooser) { customChooser = std::move(chooser); }

QString UserFiles::saveTextFile(const QString& suggestedName, const QString& text)
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

QString UserFiles::openTextFile()
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

QString UserFiles::exportEntryPdf(const QString& heading, const QString& source, const QString& html)
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

QString UserFiles::exportAnkiCards(const FlashCards& cards, const QString& deck)
{
    if (cards.isEmpty())
        return outcome(QStringLiteral("empty"));
    const QString path = chooseFile(true, QDir::home().absoluteFilePath(QStringLiteral("schede-vocalume.txt")),
                                    QStringLiteral("Esporta per Anki"), QStringLiteral("File di testo per Anki (*.txt);;Tutti i file (*)"));
    if (path.isEmpty())
        return outcome(QStringLiteral("cancelled"));
    AnkiTextFile file;
    if (!file.write(path, cards, deck))
        return outcome(QStringLiteral("failed"), { { QStringLiteral("path"), path }, { QStringLiteral("reason"), file.errorString() } });
    return outcome(QStringLiteral("saved"), { { QStringLiteral("path"), path }, { QStringLiteral("count"), cards.size() } });
}
