// The desktop's settings portal on the test's private session bus, with the colour preference
// only; an older one has no ReadOne and wraps Read's value in one more variant. It answers on a
// connection of its own from publish() until it is destroyed, and tells a setting's change as
// the desktop does.
#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QObject>

class FakePortal : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")
public:
    FakePortal(uint scheme, bool old, const QString& connectionName)
        : bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, connectionName))
        , scheme(scheme)
        , old(old)
    {
    }
    ~FakePortal() override
    {
        bus.unregisterService(service());
        bus.unregisterObject(path());
        QDBusConnection::disconnectFromBus(bus.name());
    }

    bool publish()
    {
        return bus.registerObject(path(), this, QDBusConnection::ExportAllSlots) && bus.registerService(service());
    }
    bool change(const QString& key, uint value)
    {
        QDBusMessage message = QDBusMessage::createSignal(path(), QStringLiteral("org.freedesktop.portal.Settings"),
            QStringLiteral("SettingChanged"));
        message << QStringLiteral("org.freedesktop.appearance") << key << QVariant::fromValue(QDBusVariant(value));
        return bus.send(message);
    }

public slots:
    QDBusVariant ReadOne(const QString& group, const QString& key)
    {
        if (old)
            sendErrorReply(QDBusError::UnknownMethod, QStringLiteral("No ReadOne here"));
        return value(group, key);
    }
    QDBusVariant Read(const QString& group, const QString& key)
    {
        return QDBusVariant(QVariant::fromValue(value(group, key)));
    }

private:
    static QString path() { return QStringLiteral("/org/freedesktop/portal/desktop"); }
    static QString service() { return QStringLiteral("org.freedesktop.portal.Desktop"); }
    QDBusVariant value(const QString& group, const QString& key)
    {
        if (group != QLatin1String("org.freedesktop.appearance") || key != QLatin1String("color-scheme"))
            sendErrorReply(QStringLiteral("org.freedesktop.portal.Error.NotFound"), QStringLiteral("No such setting"));
        return QDBusVariant(scheme);
    }

    QDBusConnection bus;
    uint scheme;
    bool old;
};
