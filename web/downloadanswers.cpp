#include "web/downloadanswers.h"

#include "base/diagnostics.h"
#include "base/scriptliteral.h"
#include "packages/downloadservice.h"

DownloadAnswers::DownloadAnswers(DownloadService* service, QObject* parent)
    : QObject(parent)
    , service(service)
{
    connect(service, &DownloadService::progressed, this, [this](const QString& sku, int done, int total) {
        const QString literal = progressLiteral(done, total);
        if (!literal.isEmpty())
            emit pageStatement(ScriptLiteral::intermediate(callbacks.value(sku), literal));
    });
    connect(service, &DownloadService::phaseChanged, this, [this](const QString& sku, Download::Phase phase) {
        tellPhase(sku, phase == Download::Phase::Installing);
    });
    connect(service, &DownloadService::failed, this, [this](const QString& sku, const QString& message) {
        emit pageStatement(failureStatement(callbacks.value(sku), message));
    });
    connect(service, &DownloadService::installed, this, [this](const QString& sku) {
        const QString finished = ScriptLiteral::singleQuoted(
            callbacks.value(sku), QStringLiteral("{result:true,error:\\'\\',progress:\\'100\\'}"));
        Diagnostics::output("Done: %s\n", qPrintable(finished));
        emit pageStatement(finished);
    });
}

void DownloadAnswers::download(const QString& sku, const QString& callback, const QVector<Book>& library)
{
    // Set first: a download may answer while it starts (a package that cannot be replaced). The
    // page that asked last hears of the dictionary from now on, also after a refused request.
    callbacks.insert(sku, callback);
    if (service->download(sku, library) == DownloadService::Request::Following)
        tellPhase(sku, service->inProgress().value(sku)->phase() == Download::Phase::Installing);
}

void DownloadAnswers::tellPhase(const QString& sku, bool installing)
{
    const QString wait = ScriptLiteral::intermediate(
        callbacks.value(sku), QStringLiteral("{result:false, progress:\"%1\"}").arg(installing ? "wait" : "queued"));
    if (installing)
        Diagnostics::output("Wait: %s\n", qPrintable(wait));
    emit pageStatement(wait);
}

QString DownloadAnswers::progressLiteral(int done, int total)
{
    const int percent = Download::percentOf(done, total);
    if (percent > 99)
        return QString();
    return QStringLiteral("{result:false,progress:\"") + QString::number(percent) + QStringLiteral("\",size:\"")
        + Download::sizeText(total) + QStringLiteral("\"}");
}

QString DownloadAnswers::failureStatement(const QString& callback, QString message)
{
    Diagnostics::output("%s\n", qPrintable(message));
    // The apostrophe keeps the form the page has always read; the text may quote the store's
    // refusal, so every other character that could end the literal or the statement is escaped.
    message.replace(QLatin1Char('\''), QStringLiteral("&apos;"));
    return ScriptLiteral::singleQuoted(callback,
        QStringLiteral("{result:false,error:\"") + ScriptLiteral::escapeNested(message, QLatin1Char('"'), QLatin1Char('\''))
            + QStringLiteral("\"}"));
}
