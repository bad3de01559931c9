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

QString format(const char* fmt, va_list args)
{
    return QString::vasprintf(fmt, args);
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
    if (!wanted())
        return;
    va_list args;
    va_start(args, fmt);
    const QString text = format(fmt, args);
    va_end(args);
    write(Channel::Debug, text);
}

void Diagnostics::warning(const char* fmt, ...)
{
    if (!wanted())
        return;
    va_list args;
    va_start(args, fmt);
    const QString text = format(fmt, args);
    va_end(args);
    write(Channel::Warning, text);
}

void Diagnostics::output(const char* fmt, ...)
{
    if (!wanted())
        return;
    va_list args;
    va_start(args, fmt);
    const QString text = format(fmt, args);
    va_end(args);
    write(Channel::Output, text);
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
