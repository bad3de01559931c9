// Files the user keeps (the notes' export files) written whole or not at all, and what went
// wrong told in the user's words, so a failed write or read never passes for a cancel.
#pragma once

#include <QByteArray>
#include <QString>

class QFileDevice;

class WholeFile
{
public:
    explicit WholeFile(const QString& path);

    // Writes `bytes` to the file through a temporary file renamed into place: on failure the
    // file is as it was (or absent) and errorString() says why, in Italian.
    [[nodiscard]] bool write(const QByteArray& bytes);
    QString errorString() const { return failure; }
    // Why `file` could not be opened, written or read, in Italian and in a few words.
    static QString reason(const QFileDevice& file, bool writing);

private:
    QString path;
    QString failure;
};
