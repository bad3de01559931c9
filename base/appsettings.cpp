#include "base/appsettings.h"

#include "base/privatefile.h"

#include <QSettings>

AppSettings::AppSettings()
    : settings(new QSettings(QSettings::NativeFormat, QSettings::UserScope,
                             QStringLiteral("ZENTA"), QStringLiteral("VocalumeZENTA")))
{
}

AppSettings::~AppSettings() = default;

QString AppSettings::text(const QString& key) const
{
    return settings->value(key, QString()).toString();
}

void AppSettings::store(const QString& key, const QString& value)
{
    settings->setValue(key, value);
    sync();
}

QString AppSettings::fileName() const { return settings->fileName(); }

void AppSettings::sync()
{
    // The file holds credentials: owner read and write only. The new text is written beside it
    // and renamed into place with the mode of the file it replaces, so that mode is narrowed
    // first; a file left by an older release is narrowed too.
    PrivateFile::prepare(settings->fileName());
    settings->sync();
    PrivateFile::restrict(settings->fileName());
}

QString AppSettings::username() const { return text(QStringLiteral("login/username")); }
void AppSettings::setUsername(const QString& value) { store(QStringLiteral("login/username"), value); }
QString AppSettings::sessionId() const { return text(QStringLiteral("login/sessionId")); }
void AppSettings::setSessionId(const QString& value) { store(QStringLiteral("login/sessionId"), value); }
QString AppSettings::version() const { return text(QStringLiteral("version")); }
void AppSettings::setVersion(const QString& value) { store(QStringLiteral("version"), value); }
QString AppSettings::lastBook() const { return text(QStringLiteral("lastBook")); }
void AppSettings::setLastBook(const QString& value) { store(QStringLiteral("lastBook"), value); }

bool AppSettings::selectionInPopup() const
{
    return text(QStringLiteral("selectionLookup")) != QLatin1String("window");
}
void AppSettings::setSelectionInPopup(bool popup)
{
    store(QStringLiteral("selectionLookup"), popup ? QStringLiteral("popup") : QStringLiteral("window"));
}
QString AppSettings::startCharset(const QString& langId) const
{
    return text(QStringLiteral("startCharset/") + langId);
}

void AppSettings::setStartCharset(const QString& value, const QString& langId)
{
    store(QStringLiteral("startCharset/") + langId, value);
}

QString AppSettings::endCharset(const QString& langId) const
{
    return text(QStringLiteral("endCharset/") + langId);
}

void AppSettings::setEndCharset(const QString& value, const QString& langId)
{
    store(QStringLiteral("endCharset/") + langId, value);
}

void AppSettings::clear()
{
    settings->remove(QString());
    sync();
}
