// Inflected forms from a spelling dictionary's affix rules: reads an affix file (.aff) and its
// word list (.dic) and expands a word's prefix and suffix rules, conditions included, the way a
// spelling checker would accept the forms.
#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>

class AffixExpander {
public:
    // Reads `<base>.aff` and `<base>.dic`. False with errorString() on failure.
    [[nodiscard]] bool load(const QString& basePath);
    // The same from texts already read (the files' encoding applied).
    [[nodiscard]] bool loadText(const QString& affixText, const QString& wordText);
    QString errorString() const { return error; }

    // A form and how the rules made it.
    struct Form {
        QString text;
        QString suffix; // what the suffix rule added ("" when none was applied)
        int stripped = 0; // how many letters the suffix rule took off the word's end
        bool prefixed = false; // a prefix rule was applied
    };

    // The forms the rules make of `word` (the word itself excluded), in rule order; empty when
    // the word list does not hold the word. Looks the word up as written, then lower-cased.
    QVector<Form> derivations(const QString& word) const;
    // The same, only their texts.
    QStringList forms(const QString& word) const;
    int wordCount() const { return words.size(); }
    // Whether the word list holds `word` as written.
    bool contains(const QString& word) const { return words.contains(word); }

private:
    // One position of a rule's condition: any character, or one of (or none of) a set.
    struct Position {
        bool any = false;
        bool negated = false;
        QString characters;
    };
    struct Rule {
        QString strip;
        QString affix;
        QVector<Position> condition;
    };
    struct Affix {
        bool prefix = false;
        bool cross = false;
        QVector<Rule> rules;
    };

    QStringList splitFlags(const QString& flags) const;
    static QVector<Position> parseCondition(const QString& text);
    static bool matches(const QVector<Position>& condition, const QString& word, bool atStart);
    static bool applies(const Rule& rule, const QString& word, bool prefix);
    static QString apply(const Rule& rule, const QString& word, bool prefix);
    void expand(const QString& word, const QStringList& flags, QVector<Form>& out) const;

    enum class FlagType { Char, Long, Number };
    FlagType flagType = FlagType::Char;
    QHash<QString, Affix> affixes;
    QHash<QString, QString> words; // word -> its flags, as written after "/"
    QString error;
};
