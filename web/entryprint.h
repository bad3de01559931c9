// An entry of a dictionary on paper or in a PDF file: its heading, the dictionary it comes from
// and its text, laid out as a plain document (no script, no picture from outside the program).
#pragma once

#include <QString>
#include <QTextDocument>

class QPrinter;
class QWidget;

class EntryPrint
{
public:
    // `html` is the entry as the page shows it, already cleaned; `heading` and `source` are text.
    EntryPrint(const QString& heading, const QString& source, const QString& html);

    // The print preview, whose print button opens the desktop's print dialog.
    void preview(QWidget* parent);
    // Writes the entry as a PDF file; on failure `error` says why, in Italian.
    [[nodiscard]] bool writePdf(const QString& path, QString* error);

    const QTextDocument& document() const { return doc; }

private:
    void print(QPrinter* printer);

    QTextDocument doc;
};
