#include "base/diagnostics.h"

#include <QDebug>
#include <QMutex>
#include <atomic>
#include <cstdarg>
#include <cstdio>

namespace {
QMutex recorderMutex;
Diagnostics::Recorder recorder;
std::atomic<bool> recording { false };
std::atomic<bool> enabled { true };

// Formats and writes one line, unless nobody would see it.
void writeFormatted(Diagnostics::Channel channel, const char* fmt, va_list args)
{
    if (Diagnostics::wanted())
        Diagnostics::write(channel, QString::vasprintf(fmt, args));
}
}

void Diagnostics::write(Channel channel, const QString& text)
{
    {
        QMutexLocker lock(&recorderMutex);
        if (recorder)
            recorder(channel, text);
    }
    if (!enabled)
        return;
    switch (channel) {
    case Channel::Debug:
        qDebug().noquote() << text;
        break;
    case Channel::Warning:
        qWarning().noquote() << text;
        break;
    case Channel::Output:
        std::fputs(text.toUtf8().constData(), stdout);
        std::fflush(stdout);
        break;
    }
}

void Diagnostics::debug(const char* fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    writeFormatted(Channel::Debug, fmt, args);
    va_end(args);
}

void Diagnostics::warning(const char* fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    writeFormatted(Channel::Warning, fmt, args);
    va_end(args);
}

void Diagnostics::output(const char* fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    writeFormatted(Channel::Output, fmt, args);
    va_end(args);
}

bool Diagnostics::wanted() { return enabled || recording; }

void Diagnostics::setRecorder(Recorder r)
{
    QMutexLocker lock(&recorderMutex);
    recorder = std::move(r);
    recording = bool(recorder);
}

void Diagnostics::setEnabled(bool on)
{
    enabled = on;
}
