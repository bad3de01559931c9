#include "search/resultliteral.h"
#include "search/searchstatements.h"
#include "search/sqltext.h"
#include "tests/support/testsupport.h"

#include <QApplication>
#include <QWebFrame>
#include <QWebPage>

namespace {
SearchResult row(const QString& id, const QString& word, const QString& file, const QString& omo, const QString& hw)
{
    return SearchResult { file, id, word, omo, hw, QStringLiteral("sku") };
}
}

// A page whose SignalQt reads the literal the way the engine's script does, so the tests see
// what the page would get.
class LiteralPage {
public:
    LiteralPage()
    {
        page.mainFrame()->setHtml(
            QStringLiteral("<html><body><script>var got = null; var callback = null;"
                           "function SignalQt(cb, literal) { callback = cb; got = eval('(' + literal + ')'); }"
                           "</script></body></html>"));
    }
    QVariant deliver(const QString& statement, const QString& expression)
    {
        page.mainFrame()->evaluateJavaScript(QStringLiteral("got = null;"));
        page.mainFrame()->evaluateJavaScript(statement);
        return page.mainFrame()->evaluateJavaScript(expression);
    }

private:
    QWebPage page;
};

class TestSearchLiterals : public QObject {
    Q_OBJECT
private slots:
    void init() { TestSupport::resetHome(); }

    void searchLiteralOfOneExactMatch()
    {
        const QList<SearchResult> results { row(
            QStringLiteral("12"), QStringLiteral("casa"), QStringLiteral("c001"), QString(), QStringLiteral("s.f.")) };
        QCOMPARE(QStringLiteral("SignalQt('cb', '")
                + ResultLiteral::search(results, 1, QStringLiteral("lemmatizzatore")) + QStringLiteral("')"),
            QStringLiteral("SignalQt('cb', '{tot:1,result: [{idzenta: \\'12\\', word: \\'casa\\', file: "
                           "\\'c001\\', omo: \\'\\', hw: \\'s.f.\\'}], isLemmatizzata:true}')"));
    }

    void literalShapes_data()
    {
        QTest::addColumn<QString>("literal");
        QTest::addColumn<QString>("expected");
        const QList<SearchResult> two { row(QStringLiteral("1"), QStringLiteral("a"), QStringLiteral("f1"),
                                            QStringLiteral("1"), QString()),
            row(QStringLiteral("2"), QStringLiteral("b"), QStringLiteral("f2"), QString(), QStringLiteral("agg.")) };
        QTest::newRow("full text") << ResultLiteral::search(two, 7, QStringLiteral("fullText"))
                                   << QStringLiteral(
                                          "{tot:7,result: [{idzenta: \\'1\\', word: \\'a\\', file: \\'f1\\', omo: "
                                          "\\'1\\', hw: \\'\\'},{idzenta: \\'2\\', word: \\'b\\', file: \\'f2\\', "
                                          "omo: \\'\\', hw: \\'agg.\\'}], isLemmatizzata:false}");
        QTest::newRow("empty entry search") << ResultLiteral::search({}, 0, QStringLiteral("lemmatizzatore"))
                                            << QStringLiteral("{tot:0,result: [], isLemmatizzata:true}");
        QTest::newRow("failed count") << ResultLiteral::search({}, -1, QStringLiteral("fullText"))
                                      << QStringLiteral("{tot:-1,result: [], isLemmatizzata:false}");
        QTest::newRow("word list") << ResultLiteral::wordList(two.mid(1), 30)
                                   << QStringLiteral(
                                          "{tot:30,result: [{idzenta: \\'2\\', word: \\'b\\', file: \\'f2\\', "
                                          "omo: \\'\\', hw: \\'agg.\\'}]}");
        QTest::newRow("apostrophe in a headword")
            << ResultLiteral::wordList(
                   { row(QStringLiteral("5"), QStringLiteral("po'"), QStringLiteral("p"), QString(), QString()) }, 1)
            << QStringLiteral("{tot:1,result: [{idzenta: \\'5\\', word: \\'po&apos;\\', "
                              "file: \\'p\\', omo: \\'\\', hw: \\'\\'}]}");
        QTest::newRow("two scopes") << ResultLiteral::scopes(
            { { QStringLiteral("3"), QStringLiteral("Botanica") }, { QStringLiteral("7"), QStringLiteral("Chimica") } })
                                    << QStringLiteral(
                                           "{tot:2, result:[{id:3, nome:'Botanica'}, {id:7, nome:'Chimica'}]}");
        QTest::newRow("no scope") << ResultLiteral::scopes({}) << QStringLiteral("{tot:0, result:[]}");
    }

    void literalShapes()
    {
        QFETCH(QString, literal);
        QFETCH(QString, expected);
        QCOMPARE(literal, expected);
    }

    // Whatever a dictionary holds, the page receives exactly that text (the headword with its
    // apostrophes as "&apos;") and nothing in it can end the strings it travels in.
    void hostileTextsReachThePageIntact_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("apostrophe") << QStringLiteral("dell'anno");
        QTest::newRow("backslash") << QStringLiteral("a\\b\\");
        QTest::newRow("backslash before quote") << QStringLiteral("x\\'); alert(1); ('");
        QTest::newRow("double quote") << QStringLiteral("\"); alert(1); (\"");
        QTest::newRow("line breaks") << QStringLiteral("a\nb\rc") + QChar(0x2028) + QStringLiteral("d") + QChar(0x2029);
        QTest::newRow("end of script") << QStringLiteral("</script><script>alert(1)</script>");
        QTest::newRow("accents and tab") << QStringLiteral("perché\tpiù");
    }

    void hostileTextsReachThePageIntact()
    {
        QFETCH(QString, text);
        LiteralPage page;
        QString word = text;
        word.replace(QLatin1Char('\''), QStringLiteral("&apos;"));

        const QList<SearchResult> results { row(text, text, text, text, text) };
        const QString search = QStringLiteral("SignalQt('cb', '")
            + ResultLiteral::search(results, 1, QStringLiteral("fullText")) + QStringLiteral("')");
        QCOMPARE(page.deliver(search, QStringLiteral("got.result[0].word")).toString(), word);
        for (const char* key : { "idzenta", "file", "omo", "hw" })
            QCOMPARE(page.deliver(search, QStringLiteral("got.result[0].") + QLatin1String(key)).toString(), text);
        QCOMPARE(page.deliver(search, QStringLiteral("got.isLemmatizzata")).toBool(), false);

        const QString words
            = QStringLiteral("SignalQt('cb', '") + ResultLiteral::wordList(results, 3) + QStringLiteral("')");
        QCOMPARE(page.deliver(words, QStringLiteral("got.tot")).toInt(), 3);
        QCOMPARE(page.deliver(words, QStringLiteral("got.result[0].word")).toString(), word);

        const QString scopes = QStringLiteral("SignalQt('cb', \"")
            + ResultLiteral::scopes({ { QStringLiteral("4"), text }, { text, QStringLiteral("x") } })
            + QStringLiteral("\")");
        QCOMPARE(page.deliver(scopes, QStringLiteral("got.result[0].nome")).toString(), text);
        QCOMPARE(page.deliver(scopes, QStringLiteral("got.result[0].id")).toInt(), 4);
        QCOMPARE(page.deliver(scopes, QStringLiteral("got.result[1].id")).toString(), text);
    }

    void inflectionHash_data()
    {
        QTest::addColumn<QString>("word");
        QTest::addColumn<quint32>("hash");
        QTest::newRow("abc") << QStringLiteral("abc") << quint32(891568578);
        QTest::newRow("lower-cased first") << QStringLiteral("ABC") << quint32(891568578);
        QTest::newRow("percent-decoded") << QStringLiteral("%61bc") << quint32(891568578);
        QTest::newRow("empty") << QString() << quint32(0);
        QTest::newRow("utf-8 bytes") << QStringLiteral("à") << quint32(0x77d8359a);
        QTest::newRow("encoded utf-8") << QStringLiteral("%C3%A0") << quint32(0x77d8359a);
    }

    void inflectionHash()
    {
        QFETCH(QString, word);
        QFETCH(quint32, hash);
        QCOMPARE(::inflectionHash(word), hash);
    }

    void statementTexts_data()
    {
        QTest::addColumn<QByteArray>("statement");
        QTest::addColumn<QByteArray>("expected");
        const SearchWordForms w { "abc", "abc", "891568578" };
        const QString it = QStringLiteral("it");
        QTest::newRow("entryCount")
            << SearchStatements::entryCount(w, it)
            << QByteArray("select count(*) from lemma l WHERE l.source = 'it' AND (l.nome_n GLOB 'abc*' OR l.id "
                          "in(SELECT id_lemma FROM lemmatizzatore WHERE lemmatizzatore.flessi='891568578'))");
        QTest::newRow("entryExact") << SearchStatements::entryExact(w, it)
                                    << QByteArray(
                                           "select l.id_zenta, l.nome as nome, f.file, l.omo, l.hwgram from lemma l, "
                                           "file_lemma fl, file f WHERE l.id= fl.id_lemma and f.id =fl.id_file AND "
                                           "l.source = 'it' and l.nome = 'abc' order by lower(nome)");
        QTest::newRow("entryRelated")
            << SearchStatements::entryRelated(w, it, QStringLiteral("0"), QStringLiteral("10"))
            << QByteArray("select l.id_zenta, l.nome as nome, fl.id_file, l.omo, l.hwgram from lemma l, file_lemma fl "
                          "Where l.id= fl.id_lemma and (l.nome <>  'abc') AND (l.id IN (select id_lemma from "
                          "lemmatizzatore where flessi='891568578' ) or l.nome_n LIKE 'abc%') and l.source = 'it' "
                          "order by lower(l.nome) asc LIMIT 0, 10");
        QTest::newRow("fullTextCount")
            << SearchStatements::fullTextCount(w, it, QString())
            << QByteArray("SELECT COUNT(*) FROM (SELECT id_zenta, nome, f.file, omo, hwgram, 100 as occ FROM lemma l, "
                          "file_lemma fl, file f  WHERE lower(l.nome) = 'abc' AND l.id = fl.id_lemma AND f.id = "
                          "fl.id_file AND l.source = 'it' UNION SELECT id_zenta, nome, f.file, omo, hwgram, 1 as occ "
                          "FROM lemma l, keyword k, keyword_lemma kl, file_lemma fl, file f  WHERE kl.id_lemma = l.id "
                          "AND k.id = kl.id_keyword AND k.keyword='abc' AND lower(l.nome) <> 'abc' AND l.source = 'it' "
                          "AND l.id = fl.id_lemma and f.id = fl.id_file )");
        QTest::newRow("scopedCount")
            << SearchStatements::fullTextCount(w, it, QStringLiteral("3"))
            << QByteArray(
                   "SELECT COUNT(*) FROM (SELECT distinct l.id_zenta, l.nome, f.file, omo, hwgram, 100 as occ from "
                   "lemma l, file_lemma fl, file f , ambiti a, lemma_ambito la where lower(l.nome)= 'abc' and l.id= "
                   "fl.id_lemma and f.id= fl.id_file and l.source ='it' and a.id = la.id_ambito and l.id= la.id_lemma "
                   "and a.id=3 union select distinct l.id_zenta, l.nome, f.file, omo, hwgram, 1 as occ from lemma l, "
                   "keyword k, keyword_lemma kl,  file_lemma fl, file f, ambiti a, lemma_ambito la where kl.id_lemma = "
                   "l.id and k.id = kl.id_keyword and k.keyword='abc' and lower(l.nome) <> 'abc' and l.id= fl.id_lemma "
                   "and f.id= fl.id_file and l.source ='it' and a.id = la.id_ambito and l.id= la.id_lemma and a.id=3)");
        QTest::newRow("fullTextPage")
            << SearchStatements::fullTextPage(w, it, QString(), QStringLiteral("0"), QStringLiteral("10"))
            << QByteArray(
                   "SELECT * FROM (SELECT id_zenta, nome, f.file, omo, hwgram, 100 as occ FROM lemma l, file_lemma fl, "
                   "file f  WHERE lower(l.nome) = 'abc' AND l.id = fl.id_lemma AND f.id = fl.id_file AND l.source = "
                   "'it' UNION SELECT id_zenta, nome, f.file, omo, hwgram, 1 as occ FROM lemma l, keyword k, "
                   "keyword_lemma kl, file_lemma fl, file f  WHERE kl.id_lemma = l.id AND k.id = kl.id_keyword AND "
                   "k.keyword='abc' AND lower(l.nome) <> 'abc' AND l.source = 'it' AND l.id = fl.id_lemma and f.id = "
                   "fl.id_file ) ORDER BY occ DESC, LOWER(nome) ASC LIMIT 0, 10");
        QTest::newRow("scopedPage")
            << SearchStatements::fullTextPage(w, it, QStringLiteral("3"), QStringLiteral("0"), QStringLiteral("10"))
            << QByteArray(
                   "SELECT * FROM (SELECT distinct l.id_zenta, l.nome, f.file, omo, hwgram, 100 as occ from lemma l, "
                   "file_lemma fl, file f , ambiti a, lemma_ambito la where lower(l.nome)= 'abc' and l.id= fl.id_lemma "
                   "and f.id= fl.id_file and l.source ='it' and a.id = la.id_ambito and l.id= la.id_lemma and a.id=3 "
                   "union select distinct l.id_zenta, l.nome, f.file, omo, hwgram, 1 as occ from lemma l, keyword k, "
                   "keyword_lemma kl,  file_lemma fl, file f, ambiti a, lemma_ambito la where kl.id_lemma = l.id and "
                   "k.id = kl.id_keyword and k.keyword='abc' and lower(l.nome) <> 'abc' and l.id= fl.id_lemma and "
                   "f.id= fl.id_file and l.source ='it' and a.id = la.id_ambito and l.id= la.id_lemma and a.id=3) "
                   "order by  occ desc, lower(nome) asc LIMIT 0, 10");
        QTest::newRow("wordListCount") << SearchStatements::wordListCount(
            w, it) << QByteArray("SELECT count(*) FROM lemma WHERE lemma.nome LIKE 'abc%' AND lemma.source = 'it'");
        QTest::newRow("wordListPage")
            << SearchStatements::wordListPage(w, it, QStringLiteral("20"), QStringLiteral("10"))
            << QByteArray("select l.id_zenta, l.nome, f.file, l.omo, l.hwgram from lemma l, file_lemma fl, file f "
                          "where l.id = fl.id_lemma and f.id = fl.id_file  AND l.nome LIKE 'abc%' AND l.source = 'it' "
                          "order by lower(l.nome) asc LIMIT 20, 10");
        QTest::newRow("scopes") << SearchStatements::scopes()
                                << QByteArray("select id, nome_n from ambiti order by lower(nome_n)");
    }

    void statementTexts()
    {
        QFETCH(QByteArray, statement);
        QFETCH(QByteArray, expected);
        QCOMPARE(statement, expected);
    }

    void quotedValuesCannotEndTheirString()
    {
        const SearchWordForms w { "l'a", "l'a", "1" };
        const QByteArray count = SearchStatements::entryCount(w, QStringLiteral("i't"));
        QVERIFY(count.contains("l.source = 'i''t'"));
        QVERIFY(count.contains("GLOB 'l''a*'"));
        const QByteArray page
            = SearchStatements::wordListPage(w, QStringLiteral("it"), QStringLiteral("0"), QStringLiteral("5"));
        QVERIFY(page.contains("LIKE 'l''a%'"));
    }

    void wholeNumbers_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("whole");
        QTest::newRow("0") << QStringLiteral("0") << true;
        QTest::newRow("00") << QStringLiteral("00") << true;
        QTest::newRow("10") << QStringLiteral("10") << true;
        QTest::newRow("empty") << QString() << false;
        QTest::newRow("negative") << QStringLiteral("-1") << false;
        QTest::newRow("blank") << QStringLiteral(" 1") << false;
        QTest::newRow("statement") << QStringLiteral("1; drop table lemma") << false;
        QTest::newRow("expression") << QStringLiteral("1 union select 1") << false;
        QTest::newRow("fraction") << QStringLiteral("1.5") << false;
        QTest::newRow("arabic digits") << QString(QChar(0x0661)) << false;
        QTest::newRow("too long") << QStringLiteral("1234567890123456789") << false;
    }

    void wholeNumbers()
    {
        QFETCH(QString, text);
        QFETCH(bool, whole);
        QCOMPARE(SqlText::isWholeNumber(text), whole);
    }
};

VOCALUME_TEST_MAIN(TestSearchLiterals)
#include "tst_searchliterals.moc"
