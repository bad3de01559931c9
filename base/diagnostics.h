// Diagnostic lines of the program: debug, warning and formatted standard-output lines.
// In normal runs they are discarded (the entry point closes both streams); tests can record
// them and developers can silence them.
#pragma once

#include <QString>
#include <functional>

class Diagnostics
{
public:
    enum class Channel { Debug, Warning, Output };
    using Recorder = std::function<void(Channel, const QString&)>;

    static void debug(const char* format, ...) Q_ATTRIBUTE_FORMAT_PRINTF(1, 2);
    static void warning(const char* format, ...) Q_ATTRIBUTE_FORMAT_PRINTF(1, 2);
    static void output(const char* format, ...) Q_ATTRIBUTE_FORMAT_PRINTF(1, 2);
    static void write(Channel channel, const QString& text);
    // True when a line would go anywhere (a recorder, or output left on): callers skip building
    // costly texts otherwise.
    static bool wanted();

    // Every line also reaches the recorder (tests); an empty recorder removes it.
    static void setRecorder(Recorder recorder);
    static void setEnabled(bool enabled);
};
