#include "pages/pageloader.h"

#include "base/diagnostics.h"

#include <QBuffer>
#include <QXmlQuery>
#include <QXmlSerializer>
#include <zip.h>

bool PageLoader::readZipMember(const QString& memberName, const QByteArray& archive, QByteArray* member)
{
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(archive.constData(), zip_uint64_t(archive.size()), 0, &error);
    if (!source) {
        zip_error_fini(&error);
        return false;
    }
    zip_t* za = zip_open_from_source(source, ZIP_RDONLY, &error);
    zip_error_fini(&error);
    if (!za) {
        zip_source_free(source);
        return false;
    }
    const QByteArray name = memberName.toUtf8();
    const zip_int64_t index = zip_name_locate(za, name.constData(), 0);
    zip_stat_t stat;
    zip_file_t* file = nullptr;
    // The declared size comes from the archive and may lie: it only bounds the buffer, and it
    // must be known and sane before anything is allocated.
    if (index < 0 || zip_stat_index(za, zip_uint64_t(index), 0, &stat) != 0 || !(stat.valid & ZIP_STAT_SIZE)
        || stat.size > zip_uint64_t(MaxFileBytes) || !(file = zip_fopen_index(za, zip_uint64_t(index), 0))) {
        zip_discard(za);
        return false;
    }
    const qint64 declared = qint64(stat.size);
    QByteArray bytes;
    bytes.resize(int(declared));
    if (bytes.size() != int(declared)) {
        Diagnostics::output("Out of memory!\n");
        zip_fclose(file);
        zip_discard(za);
        return false;
    }
    qint64 done = 0;
    while (done < declared) {
        const zip_int64_t n = zip_fread(file, bytes.data() + done, zip_uint64_t(declared - done));
        if (n <= 0)
            break;
        done += n;
    }
    // A member holding more than it declares is as damaged as one holding less; libzip also
    // compares the checksum only when a read reaches the end of the member.
    char extra;
    const bool complete = done == declared && zip_fread(file, &extra, 1) == 0;
    const bool closed = zip_fclose(file) == 0;
    zip_discard(za);
    if (!complete || !closed)
        return false;
    *member = bytes;
    return true;
}

bool PageLoader::readWholeFile(const QString& path, QByteArray* contents)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        Diagnostics::warning("Error opening plain file: %s", qPrintable(file.errorString()));
        Diagnostics::output("%s\n", qPrintable(path));
        return false;
    }
    if (file.size() > MaxFileBytes)
        return false;
    QByteArray bytes;
    char chunk[4096];
    for (;;) {
        // The file may grow while it is read: its size at opening is only a hint.
        const qint64 n = file.read(chunk, sizeof chunk);
        if (n < 0)
            return false;
        if (n == 0)
            break;
        if (qint64(bytes.size()) + n > MaxFileBytes)
            return false;
        bytes.append(chunk, int(n));
    }
    *contents = bytes;
    return true;
}

bool PageLoader::readArchive(const QString& archivePath, const QString& memberName, QByteArray* member)
{
    QByteArray archive;
    if (!readWholeFile(archivePath, &archive))
        return false;
    return readZipMember(memberName, archive, member);
}

QString PageLoader::lastComponent(const QString& path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

bool PageLoader::isSafeRelativePath(const QString& path)
{
    if (path.isEmpty() || path.startsWith(QLatin1Char('/')) || path.startsWith(QLatin1Char('\\')))
        return false;
    const QStringList parts = path.split(QRegExp(QStringLiteral("[/\\\\]")));
    return !parts.contains(QStringLiteral(".."));
}

QString PageLoader::inlineScripts(const QDir& baseDirectory, const QString& html, bool forHtmlPage)
{
    QString out;
    int pos = 0;
    for (;;) {
        const int open = html.indexOf(QLatin1String("<script"), pos);
        if (open < 0)
            return out + html.mid(pos);
        const int g = html.indexOf(QLatin1Char('>'), open);
        if (g < 0) {
            Diagnostics::output("Errore html... tag non chiuso nel file:\n %s\n", qPrintable(html));
            return QString();
        }
        const int q = html.indexOf(QLatin1String("src=\""), open);
        if (q < 0 || q > g) {
            out += html.midRef(pos, g - pos);
            pos = g;
            continue;
        }
        const int close = html.indexOf(QLatin1Char('"'), q + 6);
        if (close < 0) {
            Diagnostics::output("Errore html... non chiuso path risorsa nel file:\n %s\n", qPrintable(html));
            return QString();
        }
        const QString scriptPath = html.mid(q + 5, close - q - 5);
        const QString member = lastComponent(scriptPath);
        QByteArray bytes;
        const bool readable = isSafeRelativePath(scriptPath)
            && readArchive(baseDirectory.absoluteFilePath(scriptPath) + QStringLiteral(".zip"), member, &bytes);
        if (!readable) {
            if (forHtmlPage)
                Diagnostics::output("Errori nella decompressione del file JS %s\n", qPrintable(scriptPath));
            else
                Diagnostics::output("Errori nel caricamento del file JS %s\n", qPrintable(member));
        }
        out += html.midRef(pos, open - pos);
        out += QLatin1String("<script type=\"text/javascript\">");
        out += QLatin1Char('\n');
        out += QString::fromUtf8(bytes);
        out += QLatin1Char('\n');
        out += QLatin1String("</script>");
        pos = html.midRef(g + 1, 9) == QLatin1String("</script>") ? g + 10 : g + 1;
    }
}

QString PageLoader::extractDivById(const QString& id, const QString& text)
{
    QXmlQuery query;
    query.setFocus(text);
    // The id ends up in a string literal of the query: doubling the quote keeps it one, and an
    // ampersand would start a reference there, so it is written as one.
    QString quoted = id;
    quoted.replace(QLatin1Char('&'), QStringLiteral("&amp;"));
    quoted.replace(QLatin1Char('\''), QStringLiteral("''"));
    query.setQuery(QStringLiteral("//div[@id='") + quoted + QStringLiteral("']"), QUrl());
    if (!query.isValid())
        return QString();
    QBuffer buffer;
    buffer.open(QIODevice::ReadWrite);
    QXmlSerializer serializer(query, &buffer);
    query.evaluateTo(&serializer);
    return QString::fromUtf8(buffer.data());
}
