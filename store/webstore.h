// Native access to the web database file__0/bookmarks.db that the page's script shares: the
// key/value table SYSTEM with the sign-in state and every dictionary's rows. Every store object
// works on a connection of its own, so no operation can close or repoint the file under another
// one that is still at work (a merge waiting for covers, a page asking for scopes).
#pragma once

#include <QSqlDatabase>
#include <QString>
#include <functional>

class WebStore
{
public:
    // What the user is told when the data directory is missing or the file does not open;
    // the second text is built from the database path and the driver's error text.
    struct FailureTexts {
        QString missingDirectory;
        std::function<QString(const QString& path, const QString& driverError)> openFailed;
    };

    // Why the last open() failed.
    enum class Failure { None, MissingDirectory, OpenFailed };

    WebStore();
    ~WebStore();
    WebStore(const WebStore&) = delete;
    WebStore& operator=(const WebStore&) = delete;

    // Opens the store; false on failure, whose kind and driver text stay available. Nothing is
    // shown here: the caller tells the user (the GUI's Dialogs::openStore shows the box).
    [[nodiscard]] bool open();
    void close();
    Failure failure() const { return failureKind; }
    // What the user is told about the last failure, in the caller's words; empty when none.
    QString failureText(const FailureTexts& texts) const;

    // Transactions of this store's own connection.
    bool transaction();
    bool commit();
    bool rollback();

    // Whether the last sign-in completed (LOGIN of SYSTEM is exactly "TRUE"). When the store
    // does not open, false, with the text the user is to be told in `failure` when given.
    static bool isLogged(QString* failure = nullptr);
    // Absolute path of the store file under the data directory.
    static QString path();

    // Highest row identifier, 0 for an empty table.
    int maxId();
    // Whether rows of (refbook, variable) exist.
    bool exists(const QString& refbook, const QString& variable);
    // Value of the last row of (refbook, variable) in statement order; empty when none.
    QString value(const QString& refbook, const QString& variable);
    // Runs `statement` and writes the "Query: %s" diagnostic, after `label` when given.
    void exec(const QString& statement, const char* label = "");
    // Inserts the row with the next identifier of `counter` (incremented first).
    void insert(int& counter, const QString& refbook, const QString& variable, const QString& value);
    // Application row (refbook "SYSTEM"): update when present, otherwise insert. The value of
    // SESSIONID, which is the account's password, is shown as "***" in the diagnostic.
    void setApplicationValue(int& counter, const QString& variable, const QString& value);

    // The SQL text of a value: single quotes doubled.
    static QString quote(const QString& value);

    QSqlDatabase& database() { return db; }

private:
    // Runs `statement`; the "Query: %s" diagnostic shows `shown`.
    void run(const QString& statement, const QString& shown, const char* label = "");
    static QString insertStatement(int id, const QString& refbook, const QString& variable, const QString& value);

    QString connectionName;
    QSqlDatabase db;
    Failure failureKind = Failure::None;
    QString driverError;
};
