#include "desktop/colorschemeportal.h"

#include "base/diagnostics.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>

namespace {
const QString service = QStringLiteral("org.freedesktop.portal.Desktop");
const QString path = QStringLiteral("/org/freedesktop/portal/desktop");
const QString settings = QStringLiteral("org.freedesktop.portal.Settings");
const QString group = QStringLiteral("org.freedesktop.appearance");
const QString key = QStringLiteral("color-scheme");
}

ColorSchemePortal::ColorSchemePortal(QObject* parent)
    : QObject(parent)
    , connection(QString())
{
}

bool ColorSchemePortal::start(const QDBusConnection& bus)
{
    connection = bus;
    if (!connection.isConnected())
        return false;
    connection.connect(service, path, settings, QStringLiteral("SettingChanged"), this,
        SLOT(onSettingChanged(QString, QString, QDBusVariant)));
    read(QStringLiteral("ReadOne"));
    return true;
}

ColorSchemePortal::Preference ColorSchemePortal::preferenceOf(const QVariant& value)
{
    QVariant inner = value;
    while (inner.userType() == qMetaTypeId<QDBusVariant>())
        inner = inner.value<QDBusVariant>().variant();
    bool number = false;
    const uint scheme = inner.toUInt(&number);
    if (!number || scheme > PreferLight)
        return NoPreference;
    return static_cast<Preference>(scheme);
}

void ColorSchemePortal::read(const QString& method)
{
    QDBusMessage message = QDBusMessage::createMethodCall(service, path, settings, method);
    message << group << key;
    auto* call = new QDBusPendingCallWatcher(connection.asyncCall(message), this);
    connect(call, &QDBusPendingCallWatcher::finished, this,
        [this, method](QDBusPendingCallWatcher* ended) { onReadEnded(ended, method); });
}

void ColorSchemePortal::onReadEnded(QDBusPendingCallWatcher* call, const QString& method)
{
    call->deleteLater();
    const QDBusPendingReply<QDBusVariant> reply = *call;
    if (!reply.isError()) {
        emit preferenceChanged(preferenceOf(QVariant::fromValue(reply.value())));
        return;
    }
    // Portals older than ReadOne still have Read.
    if (method == QLatin1String("ReadOne") && reply.error().type() == QDBusError::UnknownMethod) {
        read(QStringLiteral("Read"));
        return;
    }
    Diagnostics::debug("Preferenza dei colori del desktop non disponibile: %s", qPrintable(reply.error().message()));
}

void ColorSchemePortal::onSettingChanged(const QString& changedGroup, const QString& changedKey, const QDBusVariant& value)
{
    if (changedGroup == group && changedKey == key)
        emit preferenceChanged(preferenceOf(value.variant()));
}
