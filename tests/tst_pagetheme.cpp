// The pages' theme: when the desktop wants them dark (the portal's preference, else the Qt
// palette), the statement that tells the page, and the contrast of the style sheet's colour
// pairs in the light and the dark theme (WCAG AA).
#include "tests/support/testsupport.h"
#include "web/pagetheme.h"

#include <QFile>
#include <QGuiApplication>
#include <QHash>
#include <QPalette>
#include <QRegularExpression>
#include <cmath>

namespace {
using Rules = QHash<QString, QHash<QString, QString>>;

// Skips the block that opens at `at` (nested ones with it); the position after its end.
int afterBlock(const QString& css, int at)
{
    int depth = 0;
    for (int i = at; i < css.size(); ++i) {
        if (css.at(i) == QLatin1Char('{'))
            ++depth;
        else if (css.at(i) == QLatin1Char('}') && --depth == 0)
            return i + 1;
    }
    return css.size();
}

void addRule(Rules* rules, const QString& selectors, const QString& body)
{
    for (QString selector : selectors.split(QLatin1Char(','))) {
        selector = selector.simplified();
        for (const QString& declaration : body.split(QLatin1Char(';'))) {
            const int colon = declaration.indexOf(QLatin1Char(':'));
            if (colon > 0)
                (*rules)[selector][declaration.left(colon).trimmed()] = declaration.mid(colon + 1).trimmed();
        }
    }
}

// The top-level rules of a style sheet, later ones winning: what the wide window shows (@media
// and @keyframes are left out).
Rules readRules(QString css)
{
    css.remove(QRegularExpression(QStringLiteral("/\\*.*?\\*/"), QRegularExpression::DotMatchesEverythingOption));
    Rules rules;
    int at = 0;
    while (true) {
        const int open = css.indexOf(QLatin1Char('{'), at);
        if (open < 0)
            break;
        const QString prelude = css.mid(at, open - at).trimmed();
        const int end = afterBlock(css, open);
        if (!prelude.startsWith(QLatin1Char('@')))
            addRule(&rules, prelude, css.mid(open + 1, end - open - 2));
        at = end;
    }
    return rules;
}

// The colour a property's value names (a background's first colour); invalid for none, inherit
// or a translucent colour.
QColor colourIn(const QString& value)
{
    const QRegularExpressionMatch hex = QRegularExpression(QStringLiteral("#[0-9a-fA-F]{3,6}\\b")).match(value);
    return hex.hasMatch() ? QColor(hex.captured()) : QColor();
}

// `selectors` names where the colour comes from, "a|b": from b when a sets none (its parent).
// The dark theme's own rule for a selector comes before the light one.
QColor colourOf(const Rules& rules, const QString& selectors, const QStringList& properties, bool dark)
{
    for (const QString& selector : selectors.split(QLatin1Char('|'))) {
        QStringList tried { selector };
        if (dark)
            tried.prepend(QStringLiteral("html.tema-scuro ") + selector);
        for (const QString& name : tried)
            for (const QString& property : properties) {
                const QColor colour = colourIn(rules.value(name).value(property));
                if (colour.isValid())
                    return colour;
            }
    }
    return QColor();
}

double luminance(const QColor& colour)
{
    const auto channel = [](double c) { return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(colour.redF()) + 0.7152 * channel(colour.greenF()) + 0.0722 * channel(colour.blueF());
}

double contrastRatio(const QColor& a, const QColor& b)
{
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QPalette windowOf(const QColor& colour)
{
    QPalette palette;
    palette.setColor(QPalette::Window, colour);
    return palette;
}
}

class TestPageTheme : public QObject {
    Q_OBJECT

private slots:
    void isDark_data()
    {
        QTest::addColumn<int>("portal");
        QTest::addColumn<QColor>("window");
        QTest::addColumn<bool>("dark");
        QTest::newRow("portal dark, light palette") << 1 << QColor("#efefef") << true;
        QTest::newRow("portal light, dark palette") << 2 << QColor("#2a2a2a") << false;
        QTest::newRow("no preference, dark palette") << 0 << QColor("#2a2a2a") << true;
        QTest::newRow("no preference, light palette") << 0 << QColor("#efefef") << false;
        QTest::newRow("unknown value, dark palette") << 5 << QColor("#303030") << true;
    }

    void isDark()
    {
        QFETCH(int, portal);
        QFETCH(QColor, window);
        QFETCH(bool, dark);
        QCOMPARE(PageTheme::isDark(portal, windowOf(window)), dark);
    }

    // The page hears each change, once; with no preference the palette decides, also live.
    void tellsThePage()
    {
        QGuiApplication::setPalette(windowOf(QColor("#efefef")));
        PageTheme theme;
        QSignalSpy told(&theme, &PageTheme::pageStatement);
        QCOMPARE(theme.name(), QStringLiteral("chiaro"));
        theme.setPortalValue(1);
        theme.setPortalValue(1);
        QCOMPARE(theme.name(), QStringLiteral("scuro"));
        theme.setPortalValue(2);
        theme.setPortalValue(0);
        QGuiApplication::setPalette(windowOf(QColor("#202020")));
        QCOMPARE(theme.name(), QStringLiteral("scuro"));
        QStringList statements;
        for (const QList<QVariant>& call : told)
            statements << call.at(0).toString();
        QCOMPARE(statements, (QStringList { "window.temaDesktop && temaDesktop('scuro')",
                                 "window.temaDesktop && temaDesktop('chiaro')",
                                 "window.temaDesktop && temaDesktop('scuro')" }));
        QGuiApplication::setPalette(QPalette());
    }

    void contrast_data()
    {
        QFile file(qEnvironmentVariable("VOCALUME_SOURCE_DIR") + QStringLiteral("/engine/css/style.css"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        rules = readRules(QString::fromUtf8(file.readAll()));

        QTest::addColumn<bool>("dark");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("property");
        QTest::addColumn<QString>("ground");
        QTest::addColumn<double>("minimum");
        const double normal = 4.5, component = 3.0;
        const QList<std::tuple<const char*, QString, QString, QString, double>> pairs {
            { "main text", "body", "color", "body", normal },
            { "text on cards", "body", "color", ".card", normal },
            { "headings", "h1", "color", ".card", normal },
            { "links", "a", "color", ".card", normal },
            { "button", ".btn", "color", ".btn", normal },
            { "primary button", ".btn-primary", "color", ".btn-primary", normal },
            { "secondary button", ".btn-secondary", "color", ".btn-secondary", normal },
            { "accent button", ".btn-accent", "color", ".btn-accent", normal },
            { "danger button", ".btn-danger", "color", ".btn-danger", normal },
            { "ghost button", ".btn-ghost", "color", ".topbar", normal },
            { "button switched on", ".btn.is-on", "color", ".btn.is-on", normal },
            { "entry text in a field", "input[type=search]|body", "color", "input[type=search]", normal },
            { "field's border in focus", "input:focus", "border-color", "input[type=search]", component },
            { "error", ".notice-error", "color", ".notice-error", normal },
            { "success", ".notice-success", "color", ".notice-success", normal },
            { "information", ".notice-info", "color", ".notice-info", normal },
            { "brand", ".brand-mark", "color", ".brand-mark", normal },
            { "user name", ".topbar .user", "color", ".topbar", normal },
            { "theme choice", ".theme-choice", "color", ".topbar", normal },
            { "lead", ".lead", "color", ".card", normal },
            { "dialog", ".dialog-text", "color", ".dialog", normal },
            { "book's subtitle", ".book-subtitle", "color", ".card", normal },
            { "book's details", ".book-meta", "color", ".card", normal },
            { "cover without picture", ".cover-placeholder", "color", ".cover-placeholder", normal },
            { "badge", ".badge", "color", ".badge", normal },
            { "badge installed", ".badge-installed", "color", ".badge-installed", normal },
            { "badge update", ".badge-update", "color", ".badge-update", normal },
            { "badge download", ".badge-download", "color", ".badge-download", normal },
            { "badge buy", ".badge-buy", "color", ".badge-buy", normal },
            { "progress", ".progress-line", "color", ".card", normal },
            { "list item", ".item", "color", ".sidebar", normal },
            { "current item", ".item", "color", ".item.is-current", normal },
            { "exact match", ".item .exact", "color", ".item .exact", normal },
            { "tab", ".tab", "color", ".sidebar", normal },
            { "chosen tab", ".tab[aria-selected=true]", "color", ".sidebar", normal },
            { "chosen search mode", ".modes label.is-on", "color", ".modes label.is-on", normal },
            { "search mode", ".modes label", "color", ".modes label", normal },
            { "letter", ".letters button", "color", ".sidebar", normal },
            { "chosen letter", ".letters button.is-on", "color", ".letters button.is-on", normal },
            { "pager", ".pager", "color", ".pager", normal },
            { "entry", ".entry", "color", ".reader", normal },
            { "entry in bold", ".entry b", "color", ".reader", normal },
            { "entry's link", ".entry a", "color", ".reader", normal },
            { "grammar", ".entry .gram", "color", ".reader", normal },
            { "example", ".entry .esempio", "color", ".reader", normal },
            { "field of use", ".entry .ambito", "color", ".entry .ambito", normal },
            { "word found in the entry", ".entry mark.trovato.is-current|.entry", "color", ".entry mark.trovato.is-current", normal },
            { "search hit", ".entry mark.hit|.entry", "color", ".entry mark.hit", normal },
            { "note on the entry", ".entry-note strong", "color", ".entry-note", normal },
            { "menu", ".menu button", "color", ".menu", normal },
            { "saved note", ".saved .text", "color", ".drawer", normal },
            { "part of speech", ".hw", "color", ".reader", normal },
            { "part of speech in a list", ".hw", "color", ".sidebar", normal },
            { "inflected form's headword", ".via", "color", ".sidebar", normal },
            { "count on a tab", ".tab .count", "color", ".sidebar", normal },
            { "scope hint", ".scope-hint", "color", ".sidebar", normal },
            { "footnote", ".footnote", "color", "body", normal },
        };
        for (const bool dark : { false, true })
            for (const auto& pair : pairs)
                QTest::addRow("%s: %s", dark ? "scuro" : "chiaro", std::get<0>(pair))
                    << dark << std::get<1>(pair) << std::get<2>(pair) << std::get<3>(pair) << std::get<4>(pair);
    }

    void contrast()
    {
        QFETCH(bool, dark);
        QFETCH(QString, text);
        QFETCH(QString, property);
        QFETCH(QString, ground);
        QFETCH(double, minimum);
        const QColor ink = colourOf(rules, text, { property }, dark);
        const QColor paper = colourOf(rules, ground, { "background-color", "background" }, dark);
        QVERIFY2(ink.isValid() && paper.isValid(), qPrintable(text + " / " + ground + ": no colour"));
        const double ratio = contrastRatio(ink, paper);
        QVERIFY2(ratio >= minimum,
            qPrintable(QStringLiteral("%1 on %2: %3:1").arg(ink.name(), paper.name()).arg(ratio, 0, 'f', 2)));
    }

private:
    Rules rules;
};

VOCALUME_TEST_MAIN(TestPageTheme)
#include "tst_pagetheme.moc"
