// The script inliner of engine pages. Input: a page's text.
// Invariants: a page without "<script" comes back unchanged; an inlined script only ever comes
// from an archive below the page's base folder (a script archive next to that folder is never
// read, whatever the src says); inlining never adds script tags of its own beyond the ones it
// replaces, and the text grows at most by one inline block per tag.
#include "fuzz/fuzzsupport.h"
#include "pages/pageloader.h"

#include <QDir>
#include <quazip/quazip.h>
#include <quazip/quazipfile.h>

namespace {
const QByteArray inside = "var insideScript = 1;";
const QByteArray outside = "var outsideSecret = 1;";
QDir base;

void writeScriptArchive(const QString& path, const QString& member, const QByteArray& text)
{
    QuaZip zip(path);
    zip.open(QuaZip::mdCreate);
    QuaZipFile file(&zip);
    file.open(QIODevice::WriteOnly, QuaZipNewInfo(member));
    file.write(text);
    file.close();
    zip.close();
}
}

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzSupport::initialize(argc, argv);
    // root/engine is the base; root/secret.js.zip and root/engine/../secret.js.zip lie outside it.
    const QString root = FuzzSupport::scratch(QStringLiteral("inline"));
    QDir(root).mkpath(QStringLiteral("engine/js"));
    base = QDir(root + QStringLiteral("/engine"));
    writeScriptArchive(base.filePath(QStringLiteral("js/a.js.zip")), QStringLiteral("a.js"), inside);
    writeScriptArchive(base.filePath(QStringLiteral("b.js.zip")), QStringLiteral("b.js"), inside);
    writeScriptArchive(root + QStringLiteral("/secret.js.zip"), QStringLiteral("secret.js"), outside);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString html = QString::fromUtf8(reinterpret_cast<const char*>(data), int(size));
    const QString out = PageLoader::inlineScripts(base, html);
    const QLatin1String tag("<script");
    const int tags = html.count(tag);
    if (tags == 0) {
        FUZZ_CHECK(out == html, out);
        return 0;
    }
    FUZZ_CHECK(html.contains(QString::fromUtf8(outside)) || !out.contains(QString::fromUtf8(outside)), out);
    FUZZ_CHECK(out.count(tag) <= tags, out);
    const int block = int(QStringLiteral("<script type=\"text/javascript\">\n\n</script>").size() + inside.size());
    FUZZ_CHECK(out.size() <= html.size() + tags * block, out);
    return 0;
}
