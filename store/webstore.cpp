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
            *failure = QStringLiteral("Lettura del database delle note fallita, motivo: ") + store.errorString();
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

QString WebStore::shownStatement(const QString& statement, const QVariantList& values)
{
    QString shown;
    int next = 0;
    for (const QChar c : statement) {
        if (c != QLatin1Char('?') || next >= values.size()) {
            shown += c;
            continue;
        }
        const QVariant& value = values.at(next++);
        shown += value.type() == QVariant::Int ? value.toString()
                                               : QLatin1Char('\'') + value.toString().replace(QLatin1Char('\''), QStringLiteral("''")) + QLatin1Char('\'');
    }
    return shown;
}

bool WebStore::prepared(QSqlQuery& query, const QString& statement, const QVariantList& values)
{
    if (!query.prepare(statement))
        return false;
    for (const QVariant& value : values)
        query.addBindValue(value);
    return true;
}

bool WebStore::select(
    const QString& statement, const QVariantList& values, const std::function<void(const QSqlQuery&)>& row)
{
    QSqlQuery query(db);
    query.setForwardOnly(true);
    const bool ok = prepared(query, statement, values) && query.exec();
    if (!checked(ok, query.lastError(), shownStatement(statement, values)))
        return false;
    while (query.next())
        row(query);
    // A step that fails halfway (a damaged page) ends the rows as if there were no more.
    return checked(!query.lastError().isValid(), query.lastError(), shownStatement(statement, values));
}

bool WebStore::maxId(int& max)
{
    max = 0;
    return select(QStringLiteral("SELECT MAX(id) from SYSTEM"), {}, [&max](const QSqlQuery& query) { max = query.value(0).toInt(); });
}

bool WebStore::exists(const QString& refbook, const QString& variable, bool& found)
{
    found = false;
    return select(QStringLiteral("SELECT id from SYSTEM WHERE refbook = ? and variable = ?"), { refbook, variable },
                  [&found](const QSqlQuery&) { found = true; });
}

bool WebStore::value(const QString& refbook, const QString& variable, QString& found)
{
    found.clear();
    return select(QStringLiteral("SELECT VALUE from SYSTEM WHERE refbook = ? and VARIABLE = ?"), { refbook, variable },
                  [&found](const QSqlQuery& query) { found = query.value(0).toString(); });
}

bool WebStore::exec(const QString& statement, const char* label)
{
    return run(statement, {}, {}, label);
}

bool WebStore::exec(const QString& statement, const QVariantList& values)
{
    return run(statement, values, values);
}

bool WebStore::run(const QString& statement, const QVariantList& values, const QVariantList& shown, const char* label)
{
    QSqlQuery query(db);
    const bool ok = values.isEmpty() ? query.exec(statement) : prepared(query, statement, values) && query.exec();
    const QString text = shownStatement(statement, shown);
    Diagnostics::debug("%sQuery: %s", label, qPrintable(text));
    return checked(ok, query.lastError(), text);
}

namespace {
const QString updateStatement = QStringLiteral("UPDATE SYSTEM set VALUE = ? where VARIABLE = ? and REFBOOK = ?");
const QString insertStatement = QStringLiteral("INSERT INTO SYSTEM(id, refbook, variable, value) VALUES(?, ?, ?, ?)");
}

bool WebStore::setValue(const QString& refbook, const QString& variable, const QString& value, const char* label)
{
    const QVariantList values { value, variable, refbook };
    return run(updateStatement, values, values, label);
}

bool WebStore::setValueWhenFree(const QString& refbook, const QString& variable, const QString& value, int milliseconds)
{
    QElapsedTimer since;
    since.start();
    while (!setValue(refbook, variable, value)) {
        if (!busyFailure || since.elapsed() >= milliseconds)
            return false;
        QThread::msleep(100);
    }
    return true;
}

bool WebStore::insert(int& counter, const QString& refbook, const QString& variable, const QString& value)
{
    ++counter;
    return exec(insertStatement, { counter, refbook, variable, value });
}

bool WebStore::setApplicationValue(int& counter, const QString& variable, const QString& value)
{
    const QString shown = variable == QLatin1String("SESSIONID") ? QStringLiteral("***") : value;
    const QString system = QStringLiteral("SYSTEM");
    bool found = false;
    if (!exists(system, variable, found))
        return false;
    if (found)
        return run(QStringLiteral("UPDATE SYSTEM set VALUE = ? where VARIABLE = ?"), { value, variable }, { shown, variable });
    ++counter;
    return run(insertStatement, { counter, system, variable, value }, { counter, system, variable, shown });
}
