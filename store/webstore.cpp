#include "store/webstore.h"

#include "base/datapaths.h"
#include "base/diagnostics.h"

#include <QDir>
#include <QElapsedTimer>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <QVariant>
#include <atomic>

namespace {
// Every store object gets a connection name no other one uses, on whichever thread it is made
// (the desktop's search reads the installed dictionaries on its workers).
QString nextConnectionName()
{
    static std::atomic<quint64> serial { 0 };
    return QStringLiteral("webstore-%1").arg(++serial);
}
}

WebStore::WebStore()
    : connectionName(nextConnectionName())
{
}

WebStore::~WebStore()
{
    close();
}

QString WebStore::path() { return DataPaths::bookmarksDatabase(); }

bool WebStore::open()
{
    failureKind = Failure::None;
    driverError.clear();
    QDir dir(QDir::homePath());
    if (!dir.cd(DataPaths::dataDirectoryName())) {
        failureKind = Failure::MissingDirectory;
        return false;
    }
    if (!db.isValid())
        db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName);
    db.setDatabaseName(path());
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=") + QString::number(BusyMilliseconds));
    if (!db.open()) {
        failureKind = Failure::OpenFailed;
        driverError = db.lastError().text();
        return false;
    }
    return true;
}

QString WebStore::failureText(const FailureTexts& texts) const
{
    switch (failureKind) {
    case Failure::MissingDirectory:
        return texts.missingDirectory;
    case Failure::OpenFailed:
        return texts.openFailed(path(), driverError);
    case Failure::None:
        break;
    }
    return QString();
}

void WebStore::close()
{
    if (!db.isValid())
        return;
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(connectionName);
}

bool WebStore::checked(bool ok, const QSqlError& error, const QString& statement)
{
    if (ok)
        return true;
    driverError = error.text();
    // SQLITE_BUSY and SQLITE_LOCKED.
    busyFailure = error.nativeErrorCode() == QLatin1String("5") || error.nativeErrorCode() == QLatin1String("6");
    Diagnostics::warning("Query fallita: %s (%s)", qPrintable(statement), qPrintable(driverError));
    return false;
}

bool WebStore::transaction()
{
    const bool ok = db.transaction();
    return checked(ok, db.lastError(), QStringLiteral("BEGIN"));
}

bool WebStore::commit()
{
    // Run as a statement: the driver's own commit keeps no code of why it failed.
    QSqlQuery query(db);
    const bool ok = query.exec(QStringLiteral("COMMIT"));
    return checked(ok, query.lastError(), QStringLiteral("COMMIT"));
}

bool WebStore::rollback()
{
    const bool ok = db.rollback();
    return checked(ok, db.lastError(), QStringLiteral("ROLLBACK"));
}

bool WebStore::isLogged(QString* failure)
{
    WebStore store;
    QString login;
    if (!store.open()) {
        const FailureTexts texts {
            QStringLiteral("Settaggi non trovati, non posso leggere le informazioni sui libri dal database"),
            [](const QString&, const QString&) { return QStringLiteral("Apertura database delle note fallita"); },
        };
        if (failure)
            *failure = store.failureText(texts);
        return false;
    }
    if (!store.value(QStringLiteral("SYSTEM"), QStringLiteral("LOGIN"), login)) {
        if (failure)
            *failure = QStringLiteral("Lettura del database delle note fallita, motivo: ") + store.lastError();
        return false;
    }
    return login == QLatin1String("TRUE");
}

bool WebStore::isDamaged(const QString& file)
{
    const QString name = nextConnectionName();
    bool damaged = false;
    {
        QSqlDatabase probe = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        probe.setDatabaseName(file);
        if (probe.open()) {
            QSqlQuery query(probe);
            if (query.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' AND name = 'SYSTEM'")))
                damaged = !query.next();
            else
                // SQLITE_CORRUPT and SQLITE_NOTADB: the content itself is wrong.
                damaged = query.lastError().nativeErrorCode() == QLatin1String("11")
                    || query.lastError().nativeErrorCode() == QLatin1String("26");
        }
    }
    QSqlDatabase::removeDatabase(name);
    return damaged;
}

QString WebStore::quote(const QString& value)
{
    QString quoted = value;
    quoted.replace(QLatin1Char('\''), QStringLiteral("''"));
    return quoted;
}

bool WebStore::select(const QString& statement, const std::function<void(const QSqlQuery&)>& row)
{
    QSqlQuery query(db);
    const bool ok = query.exec(statement);
    if (!checked(ok, query.lastError(), statement))
        return false;
    while (query.next())
        row(query);
    // A step that fails halfway (a damaged page) ends the rows as if there were no more.
    return checked(!query.lastError().isValid(), query.lastError(), statement);
}

bool WebStore::maxId(int& max)
{
    max = 0;
    return select(QStringLiteral("SELECT MAX(id) from SYSTEM"), [&max](const QSqlQuery& query) { max = query.value(0).toInt(); });
}

bool WebStore::exists(const QString& refbook, const QString& variable, bool& found)
{
    found = false;
    return select(QStringLiteral("SELECT id from SYSTEM WHERE refbook = '") + quote(refbook)
                      + QStringLiteral("' and variable = '") + quote(variable) + QStringLiteral("'"),
                  [&found](const QSqlQuery&) { found = true; });
}

bool WebStore::value(const QString& refbook, const QString& variable, QString& found)
{
    const QString statement = refbook == QLatin1String("SYSTEM")
        ? QStringLiteral("SELECT value from SYSTEM WHERE refbook = 'SYSTEM' and variable = '") + quote(variable)
            + QStringLiteral("'")
        : QStringLiteral("SELECT VALUE from SYSTEM WHERE refbook = '") + quote(refbook)
            + QStringLiteral("' and VARIABLE = '") + quote(variable) + QStringLiteral("'");
    found.clear();
    return select(statement, [&found](const QSqlQuery& query) { found = query.value(0).toString(); });
}

bool WebStore::exec(const QString& statement, const char* label)
{
    return run(statement, statement, label);
}

bool WebStore::run(const QString& statement, const QString& shown, const char* label)
{
    QSqlQuery query(db);
    const bool ok = query.exec(statement);
    Diagnostics::debug("%sQuery: %s", label, qPrintable(shown));
    return checked(ok, query.lastError(), shown);
}

QString WebStore::insertStatement(int id, const QString& refbook, const QString& variable, const QString& value)
{
    return QStringLiteral("INSERT INTO SYSTEM(id, refbook, variable, value) VALUES(") + QString::number(id)
        + QStringLiteral(", '") + quote(refbook) + QStringLiteral("'") + QStringLiteral(", '") + quote(variable)
        + QStringLiteral("'") + QStringLiteral(", '") + quote(value) + QStringLiteral("')");
}

bool WebStore::execWhenFree(const QString& statement, int milliseconds)
{
    QElapsedTimer since;
    since.start();
    while (!exec(statement)) {
        if (!busyFailure || since.elapsed() >= milliseconds)
            return false;
        QThread::msleep(100);
    }
    return true;
}

bool WebStore::insert(int& counter, const QString& refbook, const QString& variable, const QString& value)
{
    ++counter;
    return exec(insertStatement(counter, refbook, variable, value));
}

bool WebStore::setApplicationValue(int& counter, const QString& variable, const QString& value)
{
    const QString shown = variable == QLatin1String("SESSIONID") ? QStringLiteral("***") : value;
    const QString system = QStringLiteral("SYSTEM");
    bool found = false;
    if (!exists(system, variable, found))
        return false;
    if (found) {
        const auto update = [&variable](const QString& v) {
            return QStringLiteral("UPDATE SYSTEM set VALUE='") + quote(v) + QStringLiteral("' where VARIABLE='") + variable
                + QStringLiteral("'");
        };
        return run(update(value), update(shown));
    }
    ++counter;
    return run(insertStatement(counter, system, variable, value), insertStatement(counter, system, variable, shown));
}
