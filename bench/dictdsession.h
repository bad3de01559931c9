// dictd serving one dictionary from its .index and .dict.dz files to a session of the benchmark's
// own, kept open as a client keeps its connection: the reference for listing the words that begin
// with a text (MATCH with the prefix strategy). The session runs over pipes (dictd's inetd mode),
// so the figure is dictd's work and not the pauses of small TCP writes on the loopback device.
#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

class DictdSession {
public:
    ~DictdSession();

    // Starts dictd on `base` (path without ".index"); false with the reason printed when dictd is
    // missing or does not greet.
    bool start(const QString& base);
    // Milliseconds from sending MATCH for `prefix` to the end of its answer; -1 when the answer
    // did not come. `matches` gets the number of words listed.
    double match(const QString& prefix, int* matches = nullptr);

private:
    bool readLine(QByteArray* line);

    QTemporaryDir folder;
    QProcess dictd;
    QString database;
};
