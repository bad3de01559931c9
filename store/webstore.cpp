#include "store/webstore.h"

#include "base/datapaths.h"
#include "base/diagnostics.h"

#include <QDir>
#include <QSqlError>
#include <QSqlQuery>
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

bool WebStore::transaction()
{
    return db.transaction();
}

bool WebStore::commit()
{
    return db.commit();
}

bool WebStore::rollback()
{
    return db.rollback();
}

bool WebStore::isLogged(QString* failure)
{
    WebStore store;
    if (!store.open()) {
        const FailureTexts texts {
            QStringLiteral("Settaggi non trovati, non posso leggere le informazioni sui libri dal database"),
            [](const QString&, const QString&) { return QStringLiteral("Apertura database delle note fallita"); },
        };
        if (failure)
            *failure = store.failureText(texts);
        return false;
    }
    const QString login = store.value(QStringLiteral("SYSTEM"), QStringLiteral("LOGIN"));
    store.close();
    return login == QLatin1String("TRUE");
}

QString WebStore::quote(const QString& value)
{
    QString quoted = value;
    quoted.replace(QLatin1Char('\''), QStringLiteral("''"));
    return quoted;
}

int WebStore::maxId()
{
    QSqlQuery query(db);
    query.exec(QStringLiteral("SELECT MAX(id) from SYSTEM"));
    int max = 0;
    while (query.next())
        max = query.value(0).toInt();
    return max;
}

bool WebStore::exists(const QString& refbook, const QString& variable)
{
    QSqlQuery query(db);
    query.exec(QStringLiteral("SELECT id from SYSTEM WHERE refbook = '") + quote(refbook)
               + QStringLiteral("' and variable = '") + quote(variable) + QStringLiteral("'"));
    int rows = 0;
    while (query.next())
        ++rows;
    return rows > 0;
}

QString WebStore::value(const QString& refbook, const QString& variable)
{
    QSqlQuery query(db);
    const QString statement = refbook == QLatin1String("SYSTEM")
        ? QStringLiteral("SELECT value from SYSTEM WHERE refbook = 'SYSTEM' and variable = '") + quote(variable)
            + QStringLiteral("'")
        : QStringLiteral("SELECT VALUE from SYSTEM WHERE refbook = '") + quote(refbook)
            + QStringLiteral("' and VARIABLE = '") + quote(variable) + QStringLiteral("'");
    query.exec(statement);
    QString last;
    while (query.next())
        last = query.value(0).toString();
    return last;
}

void WebStore::exec(const QString& statement, const char* label)
{
    run(statement, statement, label);
}

void WebStore::run(const QString& statement, const QString& shown, const char* label)
{
    QSqlQuery query(db);
    query.exec(statement);
    Diagnostics::debug("%sQuery: %s", label, qPrintable(shown));
}

QString WebStore::insertStatement(int id, const QString& refbook, const QString& variable, const QString& value)
{
    return QStringLiteral("INSERT INTO SYSTEM(id, refbook, variable, value) VALUES(") + QString::number(id)
        + QStringLiteral(", '") + quote(refbook) + QStringLiteral("'") + QStringLiteral(", '") + quote(variable)
        + QStringLiteral("'") + QStringLiteral(", '") + quote(value) + QStringLiteral("')");
}

void WebStore::insert(int& counter, const QString& refbook, const QString& variable, const QString& value)
{
    ++counter;
    exec(insertStatement(counter, refbook, variable, value));
}

void WebStore::setApplicationValue(int& counter, const QString& variable, const QString& value)
{
    const QString shown = variable == QLatin1String("SESSIONID") ? QStringLiteral("***") : value;
    const QString system = QStringLiteral("SYSTEM");
    if (exists(system, variable)) {
        const auto update = [&variable](const QString& v) {
            return QStringLiteral("UPDATE SYSTEM set VALUE='") + quote(v) + QStringLiteral("' where VARIABLE='") + variable
                + QStringLiteral("'");
        };
        run(update(value), update(shown));
    } else {
        ++counter;
        run(insertStatement(counter, system, variable, value), insertStatement(counter, system, variable, shown));
    }
}
