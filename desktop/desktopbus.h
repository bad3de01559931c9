// The program on the session bus: the name it.zenta.Vocalume, the program's own object and the
// desktop's two searches (the shell's provider and the launcher's runner). Their objects live on a
// thread of their own, so the desktop never waits for a window that is busy starting or loading a
// page; what they ask of the window comes back to this object's thread as its signals.
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QScopedPointer>
#include <QThread>

class DesktopRequests;
class KRunnerProvider;
class ShellSearchProvider;

class DesktopBus : public QObject {
    Q_OBJECT
public:
    static QString serviceName() { return QStringLiteral("it.zenta.Vocalume"); }
    static QString objectPath() { return QStringLiteral("/it/zenta/Vocalume"); }
    static QString searchProviderPath() { return QStringLiteral("/it/zenta/Vocalume/SearchProvider"); }
    static QString runnerPath() { return QStringLiteral("/it/zenta/Vocalume/KRunner"); }

    explicit DesktopBus(QObject* parent = nullptr);
    // Leaves the bus, then stops the objects' thread.
    ~DesktopBus() override;

    // Puts the objects on `bus` and takes the name; false, with a diagnostic, when there is no
    // session bus or the name is another program's (the objects stay, unnamed).
    bool start(const QDBusConnection& bus = QDBusConnection::sessionBus());

signals:
    void lookUpWanted(const QString& word);
    void selectionLookUpWanted();
    // A headword chosen in the desktop's search, in dictionary `sku`.
    void entryWanted(const QString& sku, const QString& word);
    // The desktop asked something: it is using the program.
    void used();

private:
    QThread thread;
    // Parent of every object on the bus, on `thread`.
    QScopedPointer<QObject> objects;
    DesktopRequests* requests = nullptr;
    ShellSearchProvider* shell = nullptr;
    KRunnerProvider* runner = nullptr;
    QDBusConnection connection;
    bool named = false;
};
