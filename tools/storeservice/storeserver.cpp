#include "storeserver.h"

#include "coverpainter.h"

#include <httplib.h>

#include "services/book.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QUrl>
#include <QXmlStreamWriter>
#include <chrono>
#include <cstdio>
#include <thread>

namespace {
const char* const Latin1 = "ISO-8859-1";
const char* const Utf8 = "UTF-8";

QString param(const httplib::Request& request, const char* name)
{
    return QString::fromStdString(request.get_param_value(name));
}

std::string bytes(const QByteArray& data)
{
    return std::string(data.constData(), size_t(data.size()));
}

// The reply envelope: root "result", the error fields, then whatever `body` adds.
QByteArray envelope(const char* codec, const QString& errorCode, const QString& description,
                    const std::function<void(QXmlStreamWriter&)>& body = {})
{
    QByteArray xml;
    QXmlStreamWriter writer(&xml);
    writer.setCodec(codec);
    writer.setAutoFormatting(true);
    writer.writeStartDocument();
    writer.writeStartElement(QStringLiteral("result"));
    if (!errorCode.isNull()) {
        writer.writeStartElement(QStringLiteral("field"));
        writer.writeAttribute(QStringLiteral("name"), QStringLiteral("errorCode"));
        writer.writeCharacters(errorCode);
        writer.writeEndElement();
        writer.writeStartElement(QStringLiteral("field"));
        writer.writeAttribute(QStringLiteral("name"), QStringLiteral("errorDescription"));
        writer.writeCharacters(description);
        writer.writeEndElement();
    }
    if (body)
        body(writer);
    writer.writeEndElement();
    writer.writeEndDocument();
    return xml;
}

void field(QXmlStreamWriter& writer, const QString& name, const QString& value)
{
    writer.writeStartElement(QStringLiteral("field"));
    writer.writeAttribute(QStringLiteral("name"), name);
    writer.writeCharacters(value);
    writer.writeEndElement();
}

void sendXml(httplib::Response& response, const QByteArray& xml, const char* codec, int status = 200)
{
    response.status = status;
    response.set_content(bytes(xml), (QByteArray("text/xml; charset=") + codec).constData());
}

QString escapeHtml(const QString& text)
{
    return text.toHtmlEscaped();
}

void sendPage(httplib::Response& response, const QString& title, const QString& body, int status = 200)
{
    const QString html = QStringLiteral("<!DOCTYPE html>\n<html lang=\"it\"><head><meta charset=\"utf-8\"><title>%1</title>"
                                        "<style>body{font-family:sans-serif;max-width:40em;margin:2em auto;color:#223}"
                                        "label{display:block;margin-top:1em}</style></head>"
                                        "<body><h1>%1</h1>\n%2\n</body></html>\n")
                             .arg(escapeHtml(title), body);
    response.status = status;
    response.set_content(html.toUtf8().toStdString(), "text/html; charset=utf-8");
}

QString contentTypeOf(const QString& fileName)
{
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg"))
        return QStringLiteral("image/jpeg");
    if (suffix == QLatin1String("gif"))
        return QStringLiteral("image/gif");
    return QStringLiteral("image/png");
}

// The validators of a package file: an entity tag that changes with its size and modification
// time, and that time as an HTTP date.
QByteArray entityTag(const QFileInfo& file)
{
    return '"' + QByteArray::number(file.size(), 16) + '-'
        + QByteArray::number(file.lastModified().toMSecsSinceEpoch(), 16) + '"';
}

QByteArray httpDate(const QDateTime& time)
{
    return QLocale::c().toString(time.toUTC(), QStringLiteral("ddd, dd MMM yyyy hh:mm:ss 'GMT'")).toLatin1();
}

// The part of a package file a reply sends: [start, start + length) of `size` bytes.
struct Extent {
    int status = 200;
    qint64 start = 0;
    qint64 length = 0;
};

// What a request's Range asks of a file of `size` bytes whose validators are `tag` and `date`:
// the range (206), the whole file (200: no range, one the service does not serve, or an If-Range
// the file no longer matches), or nothing (416: the range starts beyond the end).
Extent extentFor(const httplib::Request& request, qint64 size, const QByteArray& tag, const QByteArray& date)
{
    const Extent whole { 200, 0, size };
    const QByteArray ifRange = QByteArray::fromStdString(request.get_header_value("If-Range"));
    if (!request.has_header("Range") || (!ifRange.isEmpty() && ifRange != tag && ifRange != date))
        return whole;
    static const QRegularExpression single(QStringLiteral("^bytes=(\\d+)-(\\d*)$"));
    const QRegularExpressionMatch match = single.match(QString::fromStdString(request.get_header_value("Range")).trimmed());
    if (!match.hasMatch())
        return whole;
    const qint64 start = match.captured(1).toLongLong();
    const qint64 last = match.captured(2).isEmpty() ? size - 1 : qMin(size - 1, match.captured(2).toLongLong());
    if (start >= size)
        return { 416, 0, 0 };
    return last < start ? whole : Extent { 206, start, last - start + 1 };
}

QString coverName(const Dictionary& dictionary)
{
    const QString suffix = dictionary.coverFile.isEmpty() ? QStringLiteral("png") : QFileInfo(dictionary.coverFile).suffix();
    return dictionary.sku + QLatin1Char('.') + suffix;
}
}

StoreServer::StoreServer(const Catalog& catalogData, const Options& serverOptions)
    : catalog(catalogData)
    , options(serverOptions)
    , server(serverOptions.certificate.isEmpty()
                 ? new httplib::Server
                 : new httplib::SSLServer(qPrintable(serverOptions.certificate), qPrintable(serverOptions.key)))
{
    for (const Dictionary& dictionary : catalog.dictionaries) {
        QByteArray image;
        if (!dictionary.coverFile.isEmpty()) {
            QFile file(dictionary.coverFile);
            if (file.open(QIODevice::ReadOnly))
                image = file.readAll();
            else
                std::fprintf(stderr, "storeservice: cover %s not readable, drawing one\n", qPrintable(dictionary.coverFile));
        }
        if (image.isEmpty())
            image = CoverPainter::paint(dictionary);
        covers.insert(coverName(dictionary), image);
    }

    server->set_pre_routing_handler([this](const httplib::Request&, httplib::Response&) {
        if (options.delayMs > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(options.delayMs));
        return httplib::Server::HandlerResponse::Unhandled;
    });
    // Paths only: the query of the account services carries credentials.
    server->set_logger([](const httplib::Request& request, const httplib::Response& response) {
        std::fprintf(stderr, "%s %s %d\n", request.method.c_str(), request.path.c_str(), response.status);
    });

    using httplib::Request;
    using httplib::Response;
    server->Get(R"(/api/zenta/login\.xml)", [this](const Request& q, Response& r) { login(q, r); });
    server->Get(R"(/api/zenta/getHistory\.xml)", [this](const Request& q, Response& r) { history(q, r); });
    server->Get(R"(/api/zenta/download\.xml)", [this](const Request& q, Response& r) { download(q, r); });
    server->Get(R"(/rest/server)", [this](const Request& q, Response& r) { version(q, r); });
    server->Get(R"(/media/covers/([^/]+))", [this](const Request& q, Response& r) { cover(q, r); });
    server->Get(R"(/catalogsearch/result/?)", [this](const Request& q, Response& r) { searchPage(q, r); });
    server->Get(R"(/software/?)", [this](const Request& q, Response& r) { softwarePage(q, r); });
    server->Get(R"(/)", [this](const Request& q, Response& r) { homePage(q, r); });
    server->Get(R"(/customer/account/forgotpassword/?)", [](const Request&, Response& r) {
        sendPage(r, QStringLiteral("Password dimenticata"),
                 QStringLiteral("<p>Inserisci l'indirizzo email del tuo account: riceverai un messaggio con le "
                                "istruzioni per scegliere una nuova password.</p>"
                                "<form><label>Email <input type=\"email\" name=\"email\"></label>"
                                "<p><button type=\"button\">Invia</button></p></form>"));
    });
    server->Get(R"(/customer/account/create/?)", [](const Request&, Response& r) {
        sendPage(r, QStringLiteral("Crea un nuovo account"),
                 QStringLiteral("<p>Registrati per acquistare i dizionari e scaricarli sul tuo computer.</p>"
                                "<form><label>Nome <input name=\"firstname\"></label>"
                                "<label>Cognome <input name=\"lastname\"></label>"
                                "<label>Email <input type=\"email\" name=\"email\"></label>"
                                "<label>Password <input type=\"password\" name=\"password\"></label>"
                                "<p><button type=\"button\">Registrati</button></p></form>"));
    });
    server->set_error_handler([](const Request&, Response& r) {
        if (r.status == 404 && r.body.empty())
            sendPage(r, QStringLiteral("Pagina non trovata"), QStringLiteral("<p>La pagina richiesta non esiste.</p>"), 404);
    });
}

StoreServer::~StoreServer() = default;

bool StoreServer::isValid() const
{
    return server->is_valid();
}

int StoreServer::bind(int requested)
{
    if (requested == 0)
        port = server->bind_to_any_port("127.0.0.1");
    else
        port = server->bind_to_port("127.0.0.1", requested) ? requested : -1;
    return port;
}

bool StoreServer::run()
{
    return server->listen_after_bind();
}

QString StoreServer::base(const httplib::Request& request) const
{
    const std::string host = request.get_header_value("Host");
    return (options.certificate.isEmpty() ? QStringLiteral("http://") : QStringLiteral("https://"))
        + (host.empty() ? QStringLiteral("127.0.0.1:%1").arg(port) : QString::fromStdString(host));
}

// The session identifier is the account's password.
StoreServer::Session StoreServer::checkSession(const httplib::Request& request, const Account** account) const
{
    if (options.deny)
        return Session::Denied;
    *account = catalog.account(param(request, "username"));
    if (!*account || (*account)->password != param(request, "sessionId"))
        return Session::Unknown;
    return Session::Valid;
}

void StoreServer::login(const httplib::Request& request, httplib::Response& response) const
{
    const Account* account = catalog.account(param(request, "username"));
    const bool accepted = account && request.has_param("password") && account->password == param(request, "password");
    if (accepted)
        sendXml(response, envelope(Latin1, QStringLiteral("0"), QString()), Latin1);
    else
        sendXml(response, envelope(Latin1, QStringLiteral("1"), QStringLiteral("Nome utente o password non validi")), Latin1);
}

void StoreServer::history(const httplib::Request& request, httplib::Response& response) const
{
    const Account* account = nullptr;
    switch (checkSession(request, &account)) {
    case Session::Denied:
        sendXml(response, envelope(Utf8, QStringLiteral("3"), QStringLiteral("Accesso negato")), Utf8);
        return;
    case Session::Unknown:
        sendXml(response, envelope(Utf8, QStringLiteral("2"), QStringLiteral("Sessione non valida: effettua di nuovo l'accesso")), Utf8);
        return;
    case Session::Valid:
        break;
    }
    const QString coverBase = base(request) + QStringLiteral("/media/covers/");
    const QByteArray xml = envelope(Utf8, QStringLiteral("0"), QString(), [&](QXmlStreamWriter& writer) {
        for (const Charset& charset : catalog.charsets) {
            for (const auto& table : { qMakePair(QStringLiteral("startCharset"), charset.start),
                                       qMakePair(QStringLiteral("endCharset"), charset.end) }) {
                writer.writeStartElement(QStringLiteral("field"));
                writer.writeAttribute(QStringLiteral("name"), table.first);
                writer.writeAttribute(QStringLiteral("langId"), charset.langId);
                writer.writeCharacters(table.second);
                writer.writeEndElement();
            }
        }
        for (const Dictionary& dictionary : catalog.dictionaries) {
            writer.writeStartElement(QStringLiteral("book"));
            for (const QString& name : Catalog::bookFields()) {
                QString value = dictionary.fields.value(name);
                if (name == QLatin1String("bookId"))
                    value = dictionary.sku;
                else if (name == QLatin1String("image"))
                    value = coverBase + coverName(dictionary);
                else if (name == QLatin1String("purchased"))
                    value = account->purchased.contains(dictionary.sku) ? QStringLiteral("true") : QStringLiteral("false");
                field(writer, name, value);
            }
            const QString digest = digestOf(QDir(options.packages).absoluteFilePath(dictionary.package));
            if (!digest.isEmpty())
                field(writer, Book::digestName(), digest);
            writer.writeEndElement();
        }
    });
    sendXml(response, xml, Utf8);
}

void StoreServer::download(const httplib::Request& request, httplib::Response& response) const
{
    // The library answers a Range itself, whatever If-Range says, even on a refusal: the service
    // does it here, for the package only.
    const_cast<httplib::Request&>(request).ranges.clear();
    const auto refuse = [&response, this](int status, const QString& code, const QString& description) {
        sendXml(response, envelope(Utf8, code, description), Utf8, options.refusalsAs200 ? 200 : status);
    };
    const Account* account = nullptr;
    switch (checkSession(request, &account)) {
    case Session::Denied:
        return refuse(403, QStringLiteral("3"), QStringLiteral("Accesso negato"));
    case Session::Unknown:
        return refuse(403, QStringLiteral("2"), QStringLiteral("Sessione non valida: effettua di nuovo l'accesso"));
    case Session::Valid:
        break;
    }
    if (options.expireOnRange && request.has_header("Range"))
        return refuse(403, QStringLiteral("2"), QStringLiteral("Sessione scaduta: effettua di nuovo l'accesso"));
    if (options.packageStatus > 0)
        return refuse(options.packageStatus, QStringLiteral("8"), QStringLiteral("Richiesta rifiutata"));
    QString sku = param(request, "sku");
    if (!sku.endsWith(QLatin1String(".zip")))
        return refuse(400, QStringLiteral("4"), QStringLiteral("Richiesta non valida: manca il nome del pacchetto"));
    sku.chop(4);
    const Dictionary* dictionary = catalog.dictionary(sku);
    if (!dictionary)
        return refuse(404, QStringLiteral("5"), QStringLiteral("Dizionario sconosciuto: %1").arg(sku));
    if (!account->purchased.contains(sku))
        return refuse(403, QStringLiteral("6"), QStringLiteral("Dizionario non acquistato: %1").arg(sku));
    // The package is named by the catalog, never by the request.
    const QString path = QDir(options.packages).absoluteFilePath(dictionary->package);
    const QFileInfo info(path);
    if (!info.isFile() || !info.isReadable())
        return refuse(404, QStringLiteral("7"), QStringLiteral("Pacchetto non disponibile sul server: %1").arg(dictionary->package));

    auto file = std::make_shared<QFile>(path);
    if (!file->open(QIODevice::ReadOnly))
        return refuse(500, QStringLiteral("7"), QStringLiteral("Pacchetto non leggibile sul server: %1").arg(dictionary->package));
    const qint64 size = file->size();
    const QByteArray tag = entityTag(info);
    const QByteArray date = httpDate(info.lastModified());
    const Extent extent = extentFor(request, size, tag, date);
    response.status = extent.status;
    response.set_header("Accept-Ranges", "bytes");
    response.set_header("ETag", tag.toStdString());
    response.set_header("Last-Modified", date.toStdString());
    if (extent.status == 416) {
        response.set_header("Content-Range", "bytes */" + std::to_string(size));
        return;
    }
    if (extent.status == 206)
        response.set_header("Content-Range", QStringLiteral("bytes %1-%2/%3").arg(extent.start)
            .arg(extent.start + extent.length - 1).arg(size).toStdString());

    const qint64 cutAfter = cutsThisReply() ? options.cutAfter : -1;
    const qint64 rate = options.slowDownload;
    const qint64 start = extent.start;
    auto sent = std::make_shared<qint64>(0);
    const QString name = dictionary->package;
    const auto provide = [file, cutAfter, rate, start, sent](size_t offset, size_t length, httplib::DataSink& sink) {
            if (cutAfter >= 0 && qint64(offset) >= cutAfter)
                return false; // closes the connection short of Content-Length
            qint64 chunk = qMin<qint64>(qint64(length), 64 * 1024);
            if (cutAfter >= 0)
                chunk = qMin(chunk, cutAfter - qint64(offset));
            if (rate > 0)
                chunk = qMax<qint64>(1, qMin(chunk, rate / 10));
            if (!file->seek(start + qint64(offset)))
                return false;
            const QByteArray data = file->read(chunk);
            if (data.isEmpty())
                return false;
            if (!sink.write(data.constData(), size_t(data.size())))
                return false;
            *sent += data.size();
            if (rate > 0)
                std::this_thread::sleep_for(std::chrono::microseconds(data.size() * 1000000LL / rate));
            return true;
        };
    const auto released = [name, start, sent](bool) {
        // What a reply really sent, cut or not: the benchmark adds these lines up.
        std::fprintf(stderr, "package %s: sent %lld bytes from byte %lld\n", qPrintable(name),
                     static_cast<long long>(*sent), static_cast<long long>(start));
    };
    if (!options.noLength) {
        response.set_content_provider(size_t(extent.length), "application/zip", provide, released);
        return;
    }
    const size_t total = size_t(extent.length);
    response.set_content_provider("application/zip",
        [provide, total](size_t offset, httplib::DataSink& sink) {
            if (offset >= total) {
                sink.done();
                return true;
            }
            return provide(offset, total - offset, sink);
        },
        released);
}

bool StoreServer::cutsThisReply() const
{
    return options.cutAfter >= 0 && (options.cutTimes < 0 || cutReplies++ < options.cutTimes);
}

QString StoreServer::digestOf(const QString& path) const
{
    const QFileInfo info(path);
    if (!info.isFile())
        return QString();
    const QString key = QStringLiteral("%1 %2 %3").arg(path).arg(info.size()).arg(info.lastModified().toMSecsSinceEpoch());
    QMutexLocker locked(&digestsLock);
    auto known = digests.constFind(key);
    if (known != digests.constEnd())
        return known.value();
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!file.open(QIODevice::ReadOnly) || !hash.addData(&file))
        return QString();
    return digests.insert(key, QString::fromLatin1(hash.result().toHex())).value();
}

void StoreServer::version(const httplib::Request& request, httplib::Response& response) const
{
    if (param(request, "method") != QLatin1String("getVersion")) {
        sendXml(response, envelope(Latin1, QStringLiteral("1"), QStringLiteral("Metodo sconosciuto")), Latin1);
        return;
    }
    QString address = catalog.downloadUrl;
    address.replace(QLatin1String("{base}"), base(request));
    const QByteArray xml = envelope(Latin1, QString(), QString(), [&](QXmlStreamWriter& writer) {
        writer.writeStartElement(QStringLiteral("software"));
        field(writer, QStringLiteral("version"), catalog.version);
        field(writer, QStringLiteral("download_url"), address);
        writer.writeEndElement();
    });
    sendXml(response, xml, Latin1);
}

void StoreServer::cover(const httplib::Request& request, httplib::Response& response) const
{
    const QString name = QString::fromStdString(request.matches[1]);
    const auto found = covers.constFind(name);
    if (found == covers.constEnd()) {
        response.status = 404;
        return;
    }
    response.set_content(bytes(found.value()), contentTypeOf(name).toLatin1().constData());
}

void StoreServer::searchPage(const httplib::Request& request, httplib::Response& response) const
{
    const QString query = param(request, "q").trimmed();
    QString items;
    for (const Dictionary& dictionary : catalog.dictionaries) {
        const QString title = dictionary.fields.value(QStringLiteral("title"));
        if (query.isEmpty() || dictionary.sku.compare(query, Qt::CaseInsensitive) == 0
            || title.contains(query, Qt::CaseInsensitive))
            items += QStringLiteral("<li><img src=\"/media/covers/%1\" alt=\"\" width=\"58\" height=\"86\"> <strong>%2</strong> %3"
                                    "<br>%4 &middot; %5<br><em>Accedi al tuo account per acquistarlo.</em></li>\n")
                         .arg(escapeHtml(coverName(dictionary)), escapeHtml(title),
                              escapeHtml(dictionary.fields.value(QStringLiteral("subtitle"))),
                              escapeHtml(dictionary.fields.value(QStringLiteral("author"))), escapeHtml(dictionary.sku));
    }
    const QString body = items.isEmpty()
        ? QStringLiteral("<p>Nessun prodotto corrisponde alla ricerca &laquo;%1&raquo;.</p>").arg(escapeHtml(query))
        : QStringLiteral("<p>Risultati per &laquo;%1&raquo;:</p><ul>\n%2</ul>").arg(escapeHtml(query), items);
    sendPage(response, QStringLiteral("Risultati della ricerca"), body);
}

void StoreServer::softwarePage(const httplib::Request&, httplib::Response& response) const
{
    sendPage(response, QStringLiteral("Scarica l'applicazione"),
             QStringLiteral("<p>La versione attuale dell'applicazione per il desktop &egrave; la <strong>%1</strong>.</p>"
                            "<p>Chiudi l'applicazione prima di installare il nuovo pacchetto.</p>")
                 .arg(escapeHtml(catalog.version)));
}

void StoreServer::homePage(const httplib::Request&, httplib::Response& response) const
{
    QString items;
    for (const Dictionary& dictionary : catalog.dictionaries)
        items += QStringLiteral("<li><a href=\"/catalogsearch/result/?q=%1\">%2</a></li>\n")
                     .arg(QString::fromUtf8(QUrl::toPercentEncoding(dictionary.sku)),
                          escapeHtml(dictionary.fields.value(QStringLiteral("title"))));
    sendPage(response, QStringLiteral("Negozio dei dizionari"),
             QStringLiteral("<ul>\n%1</ul><p><a href=\"/customer/account/create/\">Crea un account</a> &middot; "
                            "<a href=\"/customer/account/forgotpassword/\">Password dimenticata?</a></p>")
                 .arg(items));
}
