// The web-service reply frame and the reply walks of the three services, fed through a real
// connection from a server on 127.0.0.1. Input: one byte choosing the service (login, library,
// version), then the body of a "200" reply.
// Invariants: every request ends in exactly one outcome signal; a complete reply is never a
// network error; the outcome is the one the reply's own fields give, read here once more from the
// decoded text: success only for a "result" document without an error code (other than "0"), the
// login's session is the password sent, the library lists every "book" child of the root with
// the last value of each of its named fields and stores the character tables it names, the
// version check reports the last "version" and "download_url" inside "software".
#include "base/appsettings.h"
#include "fuzz/fuzzsupport.h"
#include "services/libraryws.h"
#include "services/loginws.h"
#include "services/updatews.h"
#include "tests/support/httptestserver.h"
#include "vocalumeconfig.h"

#include <QCoreApplication>
#include <QDomDocument>
#include <QEventLoop>
#include <QRegularExpression>
#include <QTimer>

namespace {
HttpTestServer* server = nullptr;
QByteArray body;

struct Outcome {
    int signalCount = 0;
    QString error;
    QString session;
    QVector<Book> books;
    bool newAvailable = false;
    QString address;
};

// Runs the event loop until `outcome` has a signal (and a little longer, for a second one).
void await(Outcome& outcome)
{
    QEventLoop loop;
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    limit.start(10000);
    while (outcome.signalCount == 0 && limit.isActive())
        loop.processEvents(QEventLoop::WaitForMoreEvents);
    QCoreApplication::processEvents();
    FUZZ_CHECK(outcome.signalCount == 1, QStringLiteral("signals: %1").arg(outcome.signalCount));
}

QDomElement parsedRoot(bool latin1)
{
    const int zero = body.indexOf('\0');
    const QByteArray bytes = zero < 0 ? body : body.left(zero);
    QDomDocument document;
    if (!document.setContent(latin1 ? QString::fromLatin1(bytes) : QString::fromUtf8(bytes)))
        return QDomElement();
    const QDomElement root = document.documentElement();
    return root.tagName() == QLatin1String("result") ? root : QDomElement();
}

// The error the frame must report for a document whose root is `root`.
QString expectedFailure(const QDomElement& root)
{
    if (root.isNull())
        return QStringLiteral("XML non interpretabile");
    QString code;
    QString description;
    bool seen = false;
    for (QDomElement child = root.firstChildElement(QStringLiteral("field")); !child.isNull();
         child = child.nextSiblingElement(QStringLiteral("field"))) {
        const QString name = child.attribute(QStringLiteral("name"));
        // The first code that refuses names the refusal; the last description stands.
        if (name == QLatin1String("errorCode") && !seen) {
            code = child.text();
            seen = !code.isEmpty() && code != QLatin1String("0");
        } else if (name == QLatin1String("errorDescription")) {
            description = child.text();
        }
    }
    return seen ? code + QStringLiteral(": ") + description : QString();
}

void checkLogin(LoginWS& login, Outcome& outcome)
{
    login.login(QStringLiteral("utente"), QStringLiteral("segreta"));
    await(outcome);
    const QString failure = expectedFailure(parsedRoot(true));
    FUZZ_CHECK(outcome.error == failure, outcome.error + QStringLiteral(" | ") + failure);
    FUZZ_CHECK(failure.isEmpty() == (outcome.session == QLatin1String("segreta")), outcome.session);
}

void checkLibrary(LibraryWS& library, Outcome& outcome)
{
    AppSettings().clear();
    library.getHistory(QStringLiteral("utente"), QStringLiteral("segreta"));
    await(outcome);
    const QDomElement root = parsedRoot(false);
    const QString failure = expectedFailure(root);
    FUZZ_CHECK(outcome.error == failure, outcome.error + QStringLiteral(" | ") + failure);
    if (!failure.isEmpty())
        return;
    int index = 0;
    QMap<QString, QString> starts;
    QMap<QString, QString> ends;
    for (QDomElement child = root.firstChildElement(); !child.isNull(); child = child.nextSiblingElement()) {
        const QString name = child.attribute(QStringLiteral("name"));
        if (child.tagName() == QLatin1String("field") && name == QLatin1String("startCharset"))
            starts[child.attribute(QStringLiteral("langId"))] = child.text();
        if (child.tagName() == QLatin1String("field") && name == QLatin1String("endCharset"))
            ends[child.attribute(QStringLiteral("langId"))] = child.text();
        if (child.tagName() != QLatin1String("book"))
            continue;
        FUZZ_CHECK(index < outcome.books.size(), QStringLiteral("fewer books"));
        const Book& book = outcome.books.at(index++);
        QMap<QString, QString> fields;
        for (QDomElement field = child.firstChildElement(); !field.isNull(); field = field.nextSiblingElement())
            fields[field.attribute(QStringLiteral("name"))] = field.text();
        for (const QString& fieldName : Book::fieldNames())
            FUZZ_CHECK(book.field(fieldName) == fields.value(fieldName), fieldName);
    }
    FUZZ_CHECK(index == outcome.books.size(), QStringLiteral("more books"));
    // Language ids are settings keys: only plain ones are compared, since the settings store
    // folds "/", "\\" and empty ids into one another.
    const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9]+$"));
    AppSettings settings;
    for (auto it = starts.cbegin(); it != starts.cend(); ++it)
        FUZZ_CHECK(!plain.match(it.key()).hasMatch() || settings.startCharset(it.key()) == it.value(), it.key());
    for (auto it = ends.cbegin(); it != ends.cend(); ++it)
        FUZZ_CHECK(!plain.match(it.key()).hasMatch() || settings.endCharset(it.key()) == it.value(), it.key());
}

void checkVersion(UpdateWS& update, Outcome& outcome)
{
    update.checkVersion();
    await(outcome);
    const QDomElement root = parsedRoot(true);
    QString version;
    QString address;
    for (QDomElement software = root.firstChildElement(QStringLiteral("software")); !software.isNull();
         software = software.nextSiblingElement(QStringLiteral("software"))) {
        for (QDomElement field = software.firstChildElement(QStringLiteral("field")); !field.isNull();
             field = field.nextSiblingElement(QStringLiteral("field"))) {
            if (field.attribute(QStringLiteral("name")) == QLatin1String("version"))
                version = field.text();
            else if (field.attribute(QStringLiteral("name")) == QLatin1String("download_url"))
                address = field.text();
        }
    }
    if (root.isNull()) {
        FUZZ_CHECK(outcome.error == QLatin1String("XML non interpretabile"), outcome.error);
    } else if (version.isEmpty()) {
        FUZZ_CHECK(outcome.error == QLatin1String("Risposta dal server non valida"), outcome.error);
    } else {
        FUZZ_CHECK(outcome.error.isEmpty(), outcome.error);
        FUZZ_CHECK(outcome.newAvailable == (version != QLatin1String(VOCALUME_VERSION)), version);
        FUZZ_CHECK(outcome.address == address, outcome.address);
    }
}
}

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzSupport::initialize(argc, argv);
    server = new HttpTestServer;
    server->makeCurrent();
    server->respond([](const QByteArray&) { return HttpTestServer::Answer { HttpTestServer::reply(body) }; });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    body = QByteArray(reinterpret_cast<const char*>(data) + 1, int(size) - 1);
    Outcome outcome;
    QObject context;
    const auto failed = [&outcome](const QString& error) {
        ++outcome.signalCount;
        outcome.error = error;
    };
    switch (data[0] % 3) {
    case 0: {
        LoginWS login;
        QObject::connect(&login, &LoginWS::errorMessage, &context, failed);
        QObject::connect(&login, &LoginWS::replySession, &context, [&outcome](const QString& session) {
            ++outcome.signalCount;
            outcome.session = session;
        });
        checkLogin(login, outcome);
        break;
    }
    case 1: {
        LibraryWS library;
        QObject::connect(&library, &LibraryWS::errorMessage, &context, failed);
        QObject::connect(&library, &LibraryWS::replyLibrary, &context, [&outcome](const QVector<Book>& books) {
            ++outcome.signalCount;
            outcome.books = books;
        });
        checkLibrary(library, outcome);
        break;
    }
    default: {
        UpdateWS update;
        QObject::connect(&update, &UpdateWS::errorMessage, &context, failed);
        QObject::connect(&update, &UpdateWS::replyUpdate, &context, [&outcome](bool newAvailable, const QString& page) {
            ++outcome.signalCount;
            outcome.newAvailable = newAvailable;
            outcome.address = page;
        });
        checkVersion(update, outcome);
        break;
    }
    }
    return 0;
}
