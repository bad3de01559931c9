#include "tests/support/testsupport.h"

#include "app/datadirectory.h"
#include "app/dialogs.h"
#include "app/mainwindow.h"
#include "base/appsettings.h"
#include "base/diagnostics.h"
#include "tests/support/privatehome.h"
#include "resources/resources.h"
#include "store/webstore.h"
#include "web/scriptcall.h"

#include <QApplication>
#include <QMessageBox>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <quazip/quazip.h>
#include <quazip/quazipfile.h>

namespace TestSupport {

namespace {
QTemporaryDir* root = nullptr;
Recorded recordedLines;
}

void prepareEnvironment()
{
    root = PrivateHome::prepare(QStringLiteral("vocalume-test"));
    if (qgetenv("QT_QPA_PLATFORM").isEmpty())
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

void resetHome()
{
    VocalumeResources::init();
    const QDir home(QDir::homePath());
    for (const QFileInfo& entry : home.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
        if (entry.isDir() && !entry.isSymLink())
            QDir(entry.absoluteFilePath()).removeRecursively();
        else
            QFile::remove(entry.absoluteFilePath());
    }
    AppSettings().clear();
    recordedLines = Recorded();
    Diagnostics::setEnabled(!qEnvironmentVariableIsSet("VOCALUME_QUIET_TESTS"));
    Diagnostics::setRecorder([](Diagnostics::Channel, const QString& line) { recordedLines.diagnostics << line; });
    answerDialogs(QMessageBox::Ok);
    ScriptCall::setRecorder([](const QString& statement) { recordedLines.statements << statement; });
}

QString dataDirectory()
{
    return QDir::homePath() + QStringLiteral("/.vocalumezenta");
}

Recorded& recorded()
{
    return recordedLines;
}

void answerDialogs(int button)
{
    Dialogs::setHandler([button](Dialogs::Kind, const QString& title, const QString& text, QDialog*) {
        recordedLines.dialogs << title + QLatin1Char('|') + text;
        return button;
    });
}

bool diagnosticsContain(const QString& text)
{
    for (const QString& line : recordedLines.diagnostics)
        if (line.contains(text))
            return true;
    return false;
}

namespace {
template <typename Work>
void withStore(Work work)
{
    WebStore store;
    if (!store.open())
        return;
    work(store);
    store.close();
}
}

QString storeValue(const QString& refbook, const QString& variable)
{
    QString value = QStringLiteral("<no store>");
    withStore([&](WebStore& store) { value = store.value(refbook, variable); });
    return value;
}

QStringList storeRows()
{
    QStringList rows;
    withStore([&](WebStore& store) {
        QSqlQuery q(store.database());
        q.exec(QStringLiteral("SELECT id, refbook, variable, value FROM SYSTEM ORDER BY id"));
        while (q.next())
            rows << QStringLiteral("%1|%2|%3|%4").arg(q.value(0).toString(), q.value(1).toString(),
                                                       q.value(2).toString(), q.value(3).toString());
    });
    return rows;
}

void storeExec(const QString& statement)
{
    withStore([&](WebStore& store) { store.exec(statement); });
}

QStringList heard(const QString& callback)
{
    return recordedLines.statements.filter(QStringLiteral("SignalQt('") + callback + QLatin1Char('\''));
}

QByteArray noise(int size, uint seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i) {
        seed = seed * 1103515245u + 12345u;
        bytes[i] = char(seed >> 16);
    }
    return bytes;
}

bool writeZip(const QString& path, const QList<QPair<QString, QByteArray>>& entries)
{
    QuaZip zip(path);
    if (!zip.open(QuaZip::mdCreate))
        return false;
    for (const auto& entry : entries) {
        QuaZipFile file(&zip);
        if (!file.open(QIODevice::WriteOnly, QuaZipNewInfo(entry.first)))
            return false;
        if (!entry.first.endsWith(QLatin1Char('/')))
            file.write(entry.second);
        file.close();
    }
    zip.close();
    return zip.getZipError() == 0;
}
}
