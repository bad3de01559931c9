// The desktop's colour preference, as its portal tells it over the session bus
// (org.freedesktop.appearance color-scheme): read once at the start and followed as it changes.
// Asked without waiting; the answer and every change come back as preferenceChanged.
#pragma once

#include <QDBusConnection>
#include <QObject>

class QDBusPendingCallWatcher;
class QDBusVariant;

class ColorSchemePortal : public QObject {
    Q_OBJECT
public:
    // The portal's own values.
    enum Preference { NoPreference = 0, PreferDark = 1, PreferLight = 2 };
    Q_ENUM(Preference)

    explicit ColorSchemePortal(QObject* parent = nullptr);

    // Follows the setting on `bus` and asks its value; false when there is no bus (nothing will
    // come: the caller keeps its fallback). A bus without a portal only never answers.
    bool start(const QDBusConnection& bus = QDBusConnection::sessionBus());

    // The preference a value read from the portal gives (the older Read wraps it in one more
    // variant); NoPreference for anything else.
    static Preference preferenceOf(const QVariant& value);

signals:
    void preferenceChanged(ColorSchemePortal::Preference preference);

private slots:
    void onSettingChanged(const QString& group, const QString& key, const QDBusVariant& value);

private:
    void read(const QString& method);
    void onReadEnded(QDBusPendingCallWatcher* call, const QString& method);

    QDBusConnection connection;
};
