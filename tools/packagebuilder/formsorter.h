// Sorts what a spelling dictionary's affix rules make of a word by the grammar of the entry's
// language: the inflections the entry lists as its forms, the verb forms with attached
// pronouns ("parlarmelo"), which still find the verb but are too many to list, and the
// derived words ("unhappiness", "velocemente"), which are words of their own. A derived word
// made by more than one rule ("riparlarmelo") is none of them.
#pragma once

#include "tools/packagebuilder/affixexpander.h"

#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>

class FormSorter {
public:
    explicit FormSorter(const QString& language);

    struct Sorted {
        QStringList inflections;
        QStringList enclitic;
        QStringList derived;
    };
    // `knownForms`: forms of the word from elsewhere, which pronouns may follow too.
    Sorted sort(const QString& headword, const QVector<AffixExpander::Form>& forms,
        const QStringList& knownForms = QStringList()) const;

private:
    bool isInflectionalSuffix(const AffixExpander::Form& form, const QSet<QString>& texts) const;
    bool isEnclitic(const QString& headword, const QString& form, const QSet<QString>& texts) const;

    QString language;
};
