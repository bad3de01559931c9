// The conjugations of the common irregular Italian verbs, which the spelling dictionary lists as
// words of their own ("vado", "andrò", "fui") rather than as forms of the infinitive. Each verb
// is written as its irregular parts; the regular parts follow from them, the way a grammar
// derives them (the imperfect subjunctive from the past historic, the conditional from the
// future stem...). Compounds of a verb ("ottenere", "rifare") conjugate like it.
#pragma once

#include <QString>
#include <QStringList>

namespace IrregularVerbs {
// Every conjugated form of `infinitive` (present, imperfect, past historic, future,
// conditional, subjunctives, imperative, gerund, participles), empty when the verb is not
// one of the table's.
QStringList forms(const QString& infinitive);
}
