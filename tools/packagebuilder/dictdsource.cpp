#include "tools/packagebuilder/dictdsource.h"

#include <QFile>
#include <QHash>
#include <zlib.h>

qint64 DictdSource::decodeNumber(const QString& digits)
{
    static const QByteArray alphabet("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/");
    if (digits.isEmpty() || digits.size() > 10)
        return -1;
    qint64 value = 0;
    for (const QChar c : digits) {
        const int digit = c.unicode() < 128 ? alphabet.indexOf(char(c.unicode())) : -1;
        if (digit < 0)
            return -1;
        value = value * 64 + digit;
    }
    return value;
}

QByteArray DictdSource::gunzip(const QByteArray& compressed, bool* ok)
{
    *ok = false;
    QByteArray out;
    z_stream stream {};
    if (inflateInit2(&stream, 16 + MAX_WBITS) != Z_OK)
        return out;
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.constData()));
    stream.avail_in = uInt(compressed.size());
    char chunk[1 << 16];
    int status = Z_OK;
    while (status != Z_STREAM_END || stream.avail_in > 0) {
        if (status == Z_STREAM_END && inflateReset(&stream) != Z_OK) // a further gzip member
            break;
        stream.next_out = reinterpret_cast<Bytef*>(chunk);
        stream.avail_out = sizeof chunk;
        status = inflate(&stream, Z_NO_FLUSH);
        if (status != Z_OK && status != Z_STREAM_END)
            break;
        out.append(chunk, int(sizeof chunk - stream.avail_out));
    }
    inflateEnd(&stream);
    *ok = status == Z_STREAM_END && stream.avail_in == 0;
    if (!*ok)
        out.clear();
    return out;
}

bool DictdSource::read(const QString& basePath)
{
    list.clear();
    QFile index(basePath + QStringLiteral(".index"));
    QFile compressed(basePath + QStringLiteral(".dict.dz"));
    QFile plain(basePath + QStringLiteral(".dict"));
    if (!index.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("cannot read %1.index").arg(basePath);
        return false;
    }
    QByteArray data;
    if (compressed.open(QIODevice::ReadOnly)) {
        bool ok = false;
        data = gunzip(compressed.readAll(), &ok);
        if (!ok) {
            error = QStringLiteral("%1 is not a readable gzip file").arg(compressed.fileName());
            return false;
        }
    } else if (plain.open(QIODevice::ReadOnly)) {
        data = plain.readAll();
    } else {
        error = QStringLiteral("cannot read %1.dict.dz or %1.dict").arg(basePath);
        return false;
    }

    QHash<qint64, int> articleAt; // offset -> index in list
    QVector<QStringList> headwords;
    int lineNumber = 0;
    while (!index.atEnd()) {
        const QString line = QString::fromUtf8(index.readLine()).remove(QLatin1Char('\n')).remove(QLatin1Char('\r'));
        ++lineNumber;
        if (line.isEmpty())
            continue;
        const QStringList f = line.split(QLatin1Char('\t'));
        const qint64 offset = f.size() >= 3 ? decodeNumber(f.at(1)) : -1;
        const qint64 length = f.size() >= 3 ? decodeNumber(f.at(2)) : -1;
        if (offset < 0 || length < 0 || offset + length > data.size()) {
            error = QStringLiteral("%1.index:%2: malformed line").arg(basePath).arg(lineNumber);
            return false;
        }
        const QString headword = f.at(0).trimmed();
        if (headword.isEmpty() || headword.startsWith(QLatin1String("00-database"))
            || headword.startsWith(QLatin1String("00database")))
            continue;
        const qint64 key = (offset << 24) ^ length;
        auto found = articleAt.constFind(key);
        if (found == articleAt.constEnd()) {
            found = articleAt.insert(key, list.size());
            DictdArticle article;
            article.text = QString::fromUtf8(data.constData() + offset, int(length));
            list << article;
            headwords << QStringList();
        }
        if (!headwords[found.value()].contains(headword))
            headwords[found.value()] << headword;
    }

    // The article's own headword is the one its text begins with.
    for (int i = 0; i < list.size(); ++i) {
        QStringList names = headwords.at(i);
        const QString& text = list.at(i).text;
        int chosen = -1;
        for (int n = 0; n < names.size() && chosen < 0; ++n) {
            const QString& name = names.at(n);
            if (text.startsWith(name, Qt::CaseInsensitive)
                && (text.size() == name.size() || !text.at(name.size()).isLetterOrNumber()))
                chosen = n;
        }
        // Otherwise the first line names it before the pronunciation ("butcher's /…/").
        const QString lead = text.section(QLatin1Char('\n'), 0, 0)
                                 .section(QStringLiteral(" /"), 0, 0)
                                 .section(QStringLiteral(" \\"), 0, 0)
                                 .trimmed();
        // A line of cross-references ("{Mollusca}, including...") is no name.
        if (chosen < 0 && !lead.isEmpty() && lead.size() <= 80 && !lead.contains(QLatin1Char('{'))) {
            list[i].headword = lead;
        } else {
            list[i].headword = names.takeAt(qMax(0, chosen));
            // As the text writes it: the index may list proper names in lower case.
            if (chosen >= 0)
                list[i].headword = text.left(list[i].headword.size());
        }
        list[i].otherHeadwords = names;
    }
    return true;
}
