// Native access to the web database file__0/bookmarks.db that the page's script shares: the
// key/value table SYSTEM with the sign-in state and every dictionary's rows. Every store object
// works on a connection of its own, so no operation can close or repoint the file under another
// one that is still at work (a merge waiting for covers, a page asking for scopes).
#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QVariantList>
#include <functional>

class QSqlError;
class QSqlQuery;

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

    // How long a statement waits for a lock another connection holds. The page's own
    // transactions end only once the GUI thread is free again, so waiting longer would only
    // freeze the window: a writer that must not fail tries again later (wasBusy()).
    static constexpr int BusyMilliseconds = 1000;

    WebStore();
    ~WebStore();
    WebStore(const WebStore&) = delete;
    WebStore& operator=(const WebStore&) = delete;

    // Opens the store; false on failure, whose kind and driver text stay available. Nothing is
    // shown here: the caller tells the user, with failureText in its own words.
    [[nodiscard]] bool open();
    void close();
    Failure error() const { return failureKind; }
    // What the user is told about the last failure, in the caller's words; empty when none.
    QString failureText(const FailureTexts& texts) const;

    // Transactions of this store's own connection.
    [[nodiscard]] bool transaction();
    [[nodiscard]] bool commit();
    bool rollback();

    // Whether the last sign-in completed (LOGIN of SYSTEM is exactly "TRUE"). When the store
    // does not open or cannot be read, false, with the text the user is to be told in `failure`
    // when given.
    static bool isLogged(QString* failure = nullptr);
    // Absolute path of the store file under the data directory.
    static QString path();
    // Whether `file` holds something other than a web database: not an SQLite database, or one
    // without the SYSTEM table. A file that cannot be opened or read for another reason (its
    // permissions, a lock) is not called damaged: nobody can tell.
    static bool isDamaged(const QString& file);

    // Every statement function below returns false when the statement failed; the driver's
    // text then stays in errorString() and the outputs are not to be used.
    // Highest row identifier, 0 for an empty table.
    [[nodiscard]] bool maxId(int& max);
    // Whether rows of (refbook, variable) exist.
    [[nodiscard]] bool exists(const QString& refbook, const QString& variable, bool& found);
    // Value of the last row of (refbook, variable) in statement order; empty when none.
    [[nodiscard]] bool value(const QString& refbook, const QString& variable, QString& found);
    // Runs `statement` and writes the "Query: %s" diagnostic, after `label` when given.
    [[nodiscard]] bool exec(const QString& statement, const char* label = "");
    // Runs `statement` with its "?" placeholders bound to `values`, in order: values never
    // become statement text. The diagnostic shows them in place.
    [[nodiscard]] bool exec(const QString& statement, const QVariantList& values);
    // VALUE of the rows of (refbook, variable) becomes `value`; the diagnostic after `label`.
    [[nodiscard]] bool setValue(
        const QString& refbook, const QString& variable, const QString& value, const char* label = "");
    // setValue(), tried again while another connection holds the file, for `milliseconds` at
    // most, sleeping in between. For worker threads, outside a transaction: the page's
    // transactions end only while the GUI thread runs its events.
    [[nodiscard]] bool setValueWhenFree(
        const QString& refbook, const QString& variable, const QString& value, int milliseconds = 5000);
    // Runs a SELECT (its "?" bound to `values`) and hands every row to `row`, in order.
    [[nodiscard]] bool select(const QString& statement, const QVariantList& values,
        const std::function<void(const QSqlQuery&)>& row);
    // Inserts the row with the next identifier of `counter` (incremented first).
    [[nodiscard]] bool insert(int& counter, const QString& refbook, const QString& variable, const QString& value);
    // Application row (refbook "SYSTEM"): update when present, otherwise insert. The value of
    // SESSIONID, which is the account's password, is shown as "***" in the diagnostics.
    [[nodiscard]] bool setApplicationValue(int& counter, const QString& variable, const QString& value);
    // The driver's text of the last statement, transaction step or opening that failed.
    QString errorString() const { return driverError; }
    // Whether the last failure was another connection holding the file (worth a later try).
    bool wasBusy() const { return busyFailure; }

    QSqlDatabase& database() { return db; }

private:
    // Runs `statement` with `values` bound; the "Query: %s" diagnostic, and the warning when it
    // fails, show `shown` in their place.
    [[nodiscard]] bool run(
        const QString& statement, const QVariantList& values, const QVariantList& shown, const char* label = "");
    // `statement` with `values` written in place of its placeholders, for the diagnostics only.
    static QString shownStatement(const QString& statement, const QVariantList& values);
    // Prepares `query` for `statement` and binds `values`; false when it does not prepare.
    static bool prepared(QSqlQuery& query, const QString& statement, const QVariantList& values);
    // Keeps the driver's text of a failed step; `ok` passes through.
    bool checked(bool ok, const QSqlError& error, const QString& statement = QString());

    QString connectionName;
    QSqlDatabase db;
    Failure failureKind = Failure::None;
    QString driverError;
    bool busyFailure = false;
};
