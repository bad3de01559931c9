// Flash cards made of favourites and notes, and the file Anki imports them from.
#include "pages/ankitextfile.h"
#include "pages/cardbuilder.h"
#include "tests/support/testsupport.h"

class TestFlashCards : public QObject {
    Q_OBJECT
private slots:
    void init() { TestSupport::resetHome(); }

    void keepsTheFirstSenses_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("senses");
        const QString head = QStringLiteral("<h2 class=\"lemma\">dog</h2><span class=\"gram\">n.</span>");
        QTest::newRow("first three definitions")
            << head
                + "<p class=\"intestazione\">dog (n.)</p><p class=\"def\"><b>1.</b> a pet</p><p class=\"def "
                  "sottosenso\">b</p>"
                  "<blockquote class=\"esempio\">q</blockquote><p class=\"def\">c</p><p class=\"def\">d</p>"
            << "<p class=\"def\"><b>1.</b> a pet</p><p class=\"def sottosenso\">b</p><p class=\"def\">c</p>";
        QTest::newRow("paragraphs and items without definitions")
            << head + "<p>one</p><ol><li>two</li><li>three</li><li>four</li></ol>"
            << "<p>one</p><p>two</p><p>three</p>";
        QTest::newRow("markup outside the allowed tags leaves its text")
            << "<p class=\"def\"><a href=\"voce:x\">link</a> <sup>2</sup><em class=\"x\" title=\"t\">e</em><br/>f</p>"
            << "<p class=\"def\">link 2<em class=\"x\">e</em><br>f</p>";
        QTest::newRow("text stays escaped") << "<p class=\"def\">a &lt;script&gt; &amp; \"b\"</p>"
                                            << "<p class=\"def\">a &lt;script&gt; &amp; &quot;b&quot;</p>";
        QTest::newRow("class values keep plain letters only") << "<p class=\"def&quot; onclick=&quot;x\">t</p>"
                                                              << "<p class=\"def onclickx\">t</p>";
        QTest::newRow("an empty definition does not count")
            << "<p class=\"def\"> </p><p class=\"def\">x</p><p class=\"def\">y</p><p class=\"def\">z</p>"
            << "<p class=\"def\">x</p><p class=\"def\">y</p><p class=\"def\">z</p>";
        QTest::newRow("a long sense is cut")
            << "<p class=\"def\"><i>" + QString(CardBuilder::MaxLetters + 40, QLatin1Char('a'))
                + "</i></p><p class=\"def\">z</p>"
            << "<p class=\"def\"><i>" + QString(CardBuilder::MaxLetters, QLatin1Char('a')) + "…</i></p>";
        QTest::newRow("no entry") << QString() << QString();
    }

    void keepsTheFirstSenses()
    {
        QFETCH(QString, entry);
        QFETCH(QString, senses);
        QCOMPARE(CardBuilder::firstSenses("<div id=\"7\" class=\"voce\">" + entry + "</div>"), senses);
    }

    // A favourite and a note on the same entry make one card, whatever the order of their rows;
    // the headword and the note's text are escaped.
    void makesOneCardAnEntry()
    {
        CardBuilder builder;
        builder.add(saved("Dog", "2", QString(), true), "<p class=\"def\">a pet</p>");
        builder.add(saved("cat <3", QString(), "miao", true, "9"), "<p class=\"def\">a cat</p>");
        builder.add(saved("Dog", "2", "<b>cane</b>\n& fido"), "<p class=\"def\">ignored</p>");
        builder.add(saved("cat <3", QString(), QString(), false, "9"), "<p class=\"def\">ignored</p>");
        const FlashCards cards = builder.cards();
        QCOMPARE(cards.size(), 2);
        QCOMPARE(cards.at(0).id, CardBuilder::cardId("ZDEMO001", "c1.html", "5"));
        QCOMPARE(cards.at(0).front,
            "<b>Dog</b><span class=\"omografo\">²</span><br><span class=\"dizionario\">Demo &amp; Co</span>");
        QCOMPARE(cards.at(0).back,
            "<p class=\"def\">a pet</p><p class=\"nota\"><i>Nota:</i> &lt;b&gt;cane&lt;/b&gt;<br>&amp; fido</p>");
        QCOMPARE(cards.at(0).tags, QStringList({ "vocalume", "Demo_&_Co", "preferito", "nota" }));
        QCOMPARE(cards.at(1).front, "<b>cat &lt;3</b><br><span class=\"dizionario\">Demo &amp; Co</span>");
        QCOMPARE(cards.at(1).back, "<p class=\"def\">a cat</p><p class=\"nota\"><i>Nota:</i> miao</p>");
        QCOMPARE(cards.at(1).tags, cards.at(0).tags);
        QVERIFY(cards.at(1).id != cards.at(0).id);
    }

    void quotesFieldsThatNeedIt_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("field");
        QTest::newRow("plain") << "<b>a</b> b"
                               << "<b>a</b> b";
        QTest::newRow("tab") << "a\tb"
                             << "\"a\tb\"";
        QTest::newRow("line break") << "a\nb"
                                    << "\"a\nb\"";
        QTest::newRow("quote") << "say \"hi\""
                               << "\"say \"\"hi\"\"\"";
    }

    void quotesFieldsThatNeedIt()
    {
        QFETCH(QString, value);
        QFETCH(QString, field);
        QCOMPARE(AnkiTextFile::field(value), field);
    }

    // The headers Anki reads (the deck's name on one line), then one line a card: id, front, back, tags.
    void writesTheImportFile()
    {
        const FlashCards cards { { "id-1", "<b>a</b>", "x\ty", { "vocalume", "nota" } },
            { "id-2", "b", "z", { "vocalume" } } };
        const QString path = QDir::home().absoluteFilePath("schede.txt");
        AnkiTextFile file;
        QVERIFY2(file.write(path, cards, "Voca\nlume"), qPrintable(file.errorString()));
        QCOMPARE(QString::fromUtf8(TestSupport::readFile(path)).split('\n'),
            QStringList({ "#separator:tab", "#html:true", "#notetype:Basic", "#deck:Voca lume", "#guid column:1",
                "#tags column:4", "id-1\t<b>a</b>\t\"x\ty\"\tvocalume nota", "id-2\tb\tz\tvocalume", "" }));
    }

    // Exported again after the note changed, the entry's line keeps its id and changes its back.
    void reExportKeepsTheId()
    {
        const auto line = [](const QString& note) {
            CardBuilder builder;
            builder.add(saved("dog", QString(), note), "<p class=\"def\">a pet</p>");
            return QString::fromUtf8(AnkiTextFile::text(builder.cards(), "Vocalume")).split('\n').value(6).split('\t');
        };
        const QStringList first = line("prima nota");
        const QStringList second = line("nota\tcambiata");
        QCOMPARE(first.size(), 4);
        QCOMPARE(second.size(), 4);
        QCOMPARE(second.at(0), first.at(0));
        QCOMPARE(second.at(1), first.at(1));
        // The back holds quotes (of its classes), so it is a quoted field.
        QVERIFY2(first.at(2).endsWith("prima nota</p>\""), qPrintable(first.join("|")));
        QVERIFY2(second.at(2).endsWith("nota cambiata</p>\""), qPrintable(second.join("|")));
    }

    void aFailedWriteSaysWhere()
    {
        const QString path = QDir::home().absoluteFilePath("manca/schede.txt");
        AnkiTextFile file;
        QVERIFY(!file.write(path, { { "id", "a", "b", {} } }, "Vocalume"));
        QVERIFY2(file.errorString().contains(path), qPrintable(file.errorString()));
        QVERIFY(!QFile::exists(path));
    }

private:
    static CardBuilder::Saved saved(const QString& word, const QString& homograph, const QString& note,
        bool favourite = false, const QString& id = "5")
    {
        CardBuilder::Saved s;
        s.sku = "ZDEMO001";
        s.dictionary = "Demo & Co";
        s.entryId = id;
        s.file = "c1.html";
        s.headword = word;
        s.homograph = homograph;
        s.note = note;
        s.favourite = favourite;
        return s;
    }
};

VOCALUME_TEST_MAIN(TestFlashCards)
#include "tst_flashcards.moc"
