#include "app/startuptrace.h"

#include <QEvent>
#include <QFile>
#include <QPointer>
#include <QWebView>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

namespace {
const QByteArray& traceFile()
{
    static const QByteArray path = qgetenv("VOCALUME_STARTUP_TRACE");
    return path;
}

// Marks "page" at the view's first paint once its page has loaded, then leaves.
class FirstPaint : public QObject {
public:
    explicit FirstPaint(QWebView* view)
        : QObject(view)
    {
        connect(view, &QWebView::loadFinished, this, [this] { loaded = true; });
        view->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (loaded && event->type() == QEvent::Paint) {
            // After the paint itself: the filter runs before it.
            watched->removeEventFilter(this);
            QMetaObject::invokeMethod(this, [this] {
                StartupTrace::mark("page");
                deleteLater();
            }, Qt::QueuedConnection);
        }
        return false;
    }

private:
    bool loaded = false;
};
}

namespace StartupTrace {

void mark(const char* what)
{
    if (traceFile().isEmpty())
        return;
    timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const QByteArray line = QByteArray(what) + ' ' + QByteArray::number(qlonglong(now.tv_sec) * 1000000 + now.tv_nsec / 1000) + '\n';
    const int fd = ::open(traceFile().constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0)
        return;
    const ssize_t written = ::write(fd, line.constData(), size_t(line.size()));
    Q_UNUSED(written)
    ::close(fd);
}

void markFirstPagePainted(QWidget* view)
{
    auto* web = qobject_cast<QWebView*>(view);
    if (!traceFile().isEmpty() && web)
        new FirstPaint(web);
}
}
