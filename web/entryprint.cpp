#include "web/entryprint.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <cstdio>

namespace {
// The page's look in what a text document can draw: serif text, headings in the page's blue.
const char* const styleSheet =
    "body { font-family: 'DejaVu Serif', serif; font-size: 11pt; color: #1f2a37; }"
    "h1 { font-size: 17pt; color: #17324a; margin-bottom: 2pt; }"
    "p.fonte { font-family: 'DejaVu Sans', sans-serif; font-size: 8pt; color: #5f6b7a; margin-top: 0; }"
    ".lemma { display: none; }"
    ".gram, .hw { font-style: italic; color: #5b6670; }"
    ".intestazione, .flessi { font-size: 9pt; color: #5b6670; }"
    ".esempio { color: #4a5663; font-style: italic; }";
}

EntryPrint::EntryPrint(const QString& heading, const QString& source, const QString& html)
{
    doc.setDefaultStyleSheet(QString::fromLatin1(styleSheet));
    doc.setHtml(QStringLiteral("<html><body><h1>%1</h1><p class=\"fonte\">%2</p>%3</body></html>")
                    .arg(heading.toHtmlEscaped(), source.toHtmlEscaped(), html));
    doc.setMetaInformation(QTextDocument::DocumentTitle, heading);
}

void EntryPrint::print(QPrinter* printer)
{
    printer->setDocName(doc.metaInformation(QTextDocument::DocumentTitle));
    doc.print(printer);
}

void EntryPrint::preview(QWidget* parent)
{
    QPrinter printer(QPrinter::HighResolution);
    QPrintPreviewDialog dialog(&printer, parent);
    dialog.setWindowTitle(QStringLiteral("Anteprima di stampa - %1").arg(doc.metaInformation(QTextDocument::DocumentTitle)));
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog, [this](QPrinter* p) { print(p); });
    dialog.resize(900, 700);
    dialog.exec();
}

bool EntryPrint::writePdf(const QString& path, QString* error)
{
    if (!QFileInfo(path).absoluteDir().exists()) {
        *error = QStringLiteral("la cartella non esiste");
        return false;
    }
    // Written beside the file and renamed over it, so an old file is never left half-replaced;
    // QPrinter tells no error of its own, so a part that did not come is the failure.
    const QString part = path + QStringLiteral(".parziale");
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(part);
    print(&printer);
    if (QFileInfo(part).size() == 0 || std::rename(QFile::encodeName(part).constData(), QFile::encodeName(path).constData()) != 0) {
        QFile::remove(part);
        *error = QStringLiteral("impossibile scrivere il file");
        return false;
    }
    return true;
}
