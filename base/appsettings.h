// Typed access to the program's settings (organisation "ZENTA", application "VocalumeZENTA").
// Created on the stack for one task; every write is flushed at once. The file holds the session
// identifier, which is the account's password, so it is kept readable by its owner only.
#pragma once

#include <QScopedPointer>
#include <QString>

class QSettings;

class AppSettings
{
public:
    AppSettings();
    ~AppSettings();

    QString username() const;
    void setUsername(const QString& value);
    QString sessionId() const;
    void setSessionId(const QString& value);
    QString version() const;
    void setVersion(const QString& value);
    // The dictionary whose page was opened last: where a look-up from the desktop searches.
    QString lastBook() const;
    void setLastBook(const QString& value);
    // How a word selected elsewhere is looked up: in the pop-up beside the pointer (the default)
    // or in the main window.
    bool selectionInPopup() const;
    void setSelectionInPopup(bool popup);
    QString startCharset(const QString& langId) const;
    void setStartCharset(const QString& value, const QString& langId);
    QString endCharset(const QString& langId) const;
    void setEndCharset(const QString& value, const QString& langId);

    // Removes every key of the store.
    void clear();

    // The file the settings live in; every write puts a new file in its place.
    QString fileName() const;

private:
    QString text(const QString& key) const;
    void store(const QString& key, const QString& value);
    void sync();

    QScopedPointer<QSettings> settings;
};
