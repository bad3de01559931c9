// Reading per-file archives, inlining page scripts and extracting a division of XHTML.
#include "hostilearchives.h"
#include "tests/support/testsupport.h"
#include "pages/entrycleaner.h"
#include "pages/pageloader.h"

using Entries = QList<QPair<QString, QByteArray>>;

class TestPageLoader : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir dir;

    QByteArray zipBytes(const Entries& entries)
    {
        const QString path = dir.filePath(QStringLiteral("mem.zip"));
        QFile::remove(path);
        return TestSupport::writeZip(path, entries) ? TestSupport::readFile(path) : QByteArray();
    }

private slots:
    void init() { TestSupport::resetHome(); }
    void initTestCase()
    {
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("lib/ehf")));
        QVERIFY(TestSupport::writeZip(dir.filePath(QStringLiteral("lib/ehf/engine.js.zip")),
                                      Entries{{"engine.js", "var engine = 1;"}}));
        QVERIFY(TestSupport::writeZip(dir.filePath(QStringLiteral("x.js.zip")), Entries{{"x.js", "x();"}}));
    }

    // A member is read by its exact name. Nothing is handed on from a member that is not there,
    // not whole, or not what it claims: a lying size is never trusted over the bytes, a damaged
    // download fails its checksum.
    void zipMembers_data()
    {
        QTest::addColumn<QByteArray>("archive");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("member"); // empty: refused
        const QByteArray plain = zipBytes(Entries{{"page.html", "<p>città</p>"}, {"Other.txt", "o"}});
        QTest::newRow("exact name") << plain << "page.html" << QByteArray("<p>città</p>");
        QTest::newRow("name differs in case") << plain << "other.txt" << QByteArray();
        QTest::newRow("missing") << plain << "missing" << QByteArray();
        QTest::newRow("not a zip") << QByteArray("not a zip") << "page.html" << QByteArray();
        const QByteArray long5000 = zipBytes(Entries{{"page.html", QByteArray(5000, 'a')}});
        QTest::newRow("truncated") << long5000.left(long5000.size() / 2) << "page.html" << QByteArray();
        const QByteArray content = TestSupport::noise(3000);
        QByteArray damaged = zipBytes(Entries{{"page.html", content}});
        const int at = damaged.indexOf(content.mid(1000, 32));
        QVERIFY(at > 0);
        damaged[at] = char(damaged.at(at) ^ 0x01);
        QTest::newRow("bytes differ from the checksum") << damaged << "page.html" << QByteArray();
        QTemporaryDir hostile;
        QVERIFY(!HostileArchives::write(hostile.path()).isEmpty());
        for (const char* lying : { "huge-declared-member.zip", "understated-size.zip" }) {
            QByteArray bytes;
            QVERIFY(PageLoader::readWholeFile(hostile.filePath(lying), &bytes));
            QTest::newRow(lying) << bytes << HostileArchives::lyingMemberName() << QByteArray();
        }
    }

    void zipMembers()
    {
        QFETCH(QByteArray, archive);
        QFETCH(QString, name);
        QFETCH(QByteArray, member);
        QByteArray read;
        QCOMPARE(PageLoader::readZipMember(name, archive, &read), !member.isEmpty());
        QCOMPARE(read, member);
    }

    // A plain file is read to its end; one larger than any page is refused before it is read.
    void readWholeFile_data()
    {
        QTest::addColumn<qint64>("size"); // -1: no file
        QTest::newRow("a page") << qint64(10000);
        QTest::newRow("just over the bound") << PageLoader::MaxFileBytes + 1;
        QTest::newRow("over 2 GiB") << qint64(2) * 1024 * 1024 * 1024 + 16;
        QTest::newRow("missing") << qint64(-1);
    }

    void readWholeFile()
    {
        QFETCH(qint64, size);
        const QString path = dir.filePath(QStringLiteral("page.css"));
        if (size >= 0) {
            // A sparse file: its size costs no disk space.
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            QVERIFY(f.resize(size));
        }
        QByteArray contents;
        const bool readable = size >= 0 && size <= PageLoader::MaxFileBytes;
        QCOMPARE(PageLoader::readWholeFile(path, &contents), readable);
        QCOMPARE(contents, readable ? QByteArray(int(size), '\0') : QByteArray());
        QCOMPARE(TestSupport::diagnosticsContain(QStringLiteral("Error opening plain file")), size < 0);
        QFile::remove(path);
    }

    // The loader's text functions, by kind: scripts inlined from the page's folder; a division
    // picked by id (an ampersand is not read as a reference, a quote stays inside the query's
    // string); an entry cleaned of what could run, leave the page or fetch by itself; a safe path.
    void texts_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char* kind, const char* name, const QString& text, const QString& expected) {
            QTest::addRow("%s: %s", kind, name) << kind << text << expected;
        };
        const auto inlined = [](const QString& code) { return "<script type=\"text/javascript\">\n" + code + "\n</script>"; };
        row("inline", "no script", "<p>nothing</p>", "<p>nothing</p>");
        row("inline", "src with own closing tag", "<head><script src=\"lib/ehf/engine.js\"></script></head>",
            "<head>" + inlined("var engine = 1;") + "</head>");
        row("inline", "inline script copied", "<script type=\"text/javascript\">var a=1;</script>",
            "<script type=\"text/javascript\">var a=1;</script>");
        row("inline", "blank before closing tag", "<script src=\"x.js\"> </script>!", inlined("x();") + " </script>!");
        row("inline", "unclosed tag", "<p><script src=\"x.js\"", "");
        row("inline", "unclosed src", "<script src=\"x.js></script>", "");
        row("inline", "unreadable script", "<script src=\"none.js\"></script>", inlined(""));
        row("inline", "two scripts", "a<script src=\"x.js\"></script>b<script src=\"x.js\"></script>c",
            "a" + inlined("x();") + "b" + inlined("x();") + "c");
        row("div", "plain id", "a2", "<div id=\"a2\">cane</div>");
        row("div", "no such id", "zz", "");
        row("div", "quote in the id", "x'] | //div[@id='a2", "");
        row("div", "reference text", "x&amp;y", "<div id=\"x&amp;amp;y\">2</div>");
        row("div", "plain ampersand", "x&y", "<div id=\"x&amp;y\">1</div>");
        row("div", "character reference", "&#120;", "<div id=\"&amp;#120;\">3</div>");
        const QString reading = "<div id=\"v\" class=\"voce\"><b>casa</b><ol start=\"2\"><li>uno</li></ol><table><tr>"
            "<td colspan=\"2\">t</td></tr></table><a href=\"c.xhtml#v2\">vedi</a><img src=\"img/a.png\" alt=\"a\"/>"
            "<a href=\"https://esempio.it/x?a=1&amp;b=2\">web</a><a href=\"mailto:r@esempio.it\">posta</a>";
        row("clean", "reading text", reading + "<span/></div>", reading + "<span></span></div>");
        row("clean", "scripts and handlers", "<p onclick=\"x()\" ONmouseover=\"x()\">a<script>x()</script><SCRIPT>x()</SCRIPT></p>",
            "<p>a</p>");
        row("clean", "image map", "<img usemap=\"#m\" src=\"a.png\"/><map name=\"m\"><area shape=\"rect\" "
            "coords=\"0,0,999,999\" href=\"http://host/x.html\"/></map>", "<img src=\"a.png\"/>");
        row("clean", "form, meta, base, frames, objects",
            "<form action=\"http://h/\"><input name=\"q\"/><button formaction=\"http://h/\">Invia</button></form>"
            "<meta http-equiv=\"refresh\" content=\"0;url=http://h/\"/><base href=\"http://h/\"/><iframe src=\"http://h/\">i</iframe>"
            "<object data=\"http://h/\">o</object><embed src=\"http://h/\"/><svg><a href=\"javascript:x()\">s</a></svg>", "Invia");
        row("clean", "hidden schemes", "<a href=\"java&#9;script:x()\">1</a><a href=\" &#10;JavaScript:x()\">2</a>"
            "<a href=\"data:text/html,x\">3</a><a href=\"//h/x\">4</a><a href=\"httpx://h\">5</a>",
            "<a>1</a><a>2</a><a>3</a><a>4</a><a>5</a>");
        row("clean", "nothing fetched", "<img src=\"http://h/spia.png\"/><img src=\"/etc/x.png\"/><i style=\"color:red\">r</i>"
            "<b style=\"background:u\\72l(http://h/)\">u</b><b style=\"background:URL(http://h/)\">U</b>"
            "<b style=\"background:u\nrl(http://h/)\">n</b>",
            "<img/><img/><i style=\"color:red\">r</i><b>u</b><b>U</b><b>n</b>");
        row("clean", "unknown tags, repeated attribute", "<voce><lemma ID=\"a\" id=\"b\">x</lemma><p ID=\"a\" id=\"b\">y</p></voce>",
            "x<p id=\"a\">y</p>");
        row("clean", "not well-formed", "<p><b>casa</p>", "<p><b>casa</b></p>");
        for (const char* path : { "lib/a.js", "/etc/passwd", "../x.html", "books/../../x", "" })
            row("safe", path, path, path == QLatin1String("lib/a.js") ? "safe" : "");
    }

    void texts()
    {
        QFETCH(QString, kind);
        QFETCH(QString, text);
        QFETCH(QString, expected);
        if (kind == "inline") {
            QCOMPARE(PageLoader::inlineScripts(QDir(dir.path()), text), expected);
        } else if (kind == "div") {
            QCOMPARE(PageLoader::extractDivById(text, "<html><div id=\"x&amp;y\">1</div><div id=\"x&amp;amp;y\">2</div>"
                "<div id=\"&amp;#120;\">3</div><div id=\"x\">4</div><div id=\"a2\">cane</div></html>"), expected);
            QCOMPARE(PageLoader::extractDivById(text, "<p>not <b>xml"), QString());
        } else if (kind == "clean") {
            QCOMPARE(EntryCleaner::clean(text), expected);
            QCOMPARE(EntryCleaner::clean(expected), expected);
        } else {
            QCOMPARE(PageLoader::isSafeRelativePath(text), !expected.isEmpty());
        }
    }
};

VOCALUME_TEST_MAIN(TestPageLoader)
#include "tst_pageloader.moc"
