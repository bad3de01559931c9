#include "tools/packagebuilder/irregularverbs.h"

#include <QHash>
#include <QSet>
#include <QVector>

namespace {
// One verb a row: infinitive | present (six persons) | imperfect stem, or its six forms |
// past historic (six persons) | future stem | present subjunctive stem | imperative forms not
// found among the others | past participle | other forms. An empty field is the regular one;
// "/" separates the forms a person may take.
const char* const table[] = {
    // The auxiliaries and the verbs whose every tense is irregular.
    "essere|sono sei è siamo siete sono|ero eri era eravamo eravate erano|fui fosti fu fummo foste furono|sar|si|sii|"
    "stato|essendo",
    "avere|ho hai ha abbiamo avete hanno|ave|ebbi avesti ebbe avemmo aveste ebbero|avr|abbi|abbi|avuto|avente",
    "andare|vado/vo vai va andiamo andate vanno|anda|andai andasti andò andammo andaste andarono|andr|vad||andato|"
    "andante",
    "venire|vengo vieni viene veniamo venite vengono|veni|venni venisti venne venimmo veniste vennero|verr|veng||"
    "venuto|veniente",
    "fare|faccio/fo fai fa facciamo fate fanno|face|feci facesti fece facemmo faceste fecero|far|facci||fatto|facente",
    "dire|dico dici dice diciamo dite dicono|dice|dissi dicesti disse dicemmo diceste dissero|dir|dic||detto|dicente",
    "dare|do dai dà diamo date danno|da|diedi/detti desti diede/dette demmo deste diedero/dettero|dar|di||dato|dante",
    "stare|sto stai sta stiamo state stanno|sta|stetti stesti stette stemmo steste stettero|star|sti||stato|stante",
    "potere|posso puoi può possiamo potete possono|pote|potei/potetti potesti poté/potette potemmo poteste "
    "poterono/potettero|potr|poss||potuto|",
    "volere|voglio vuoi vuole vogliamo volete vogliono|vole|volli volesti volle volemmo voleste vollero|vorr|vogli|"
    "vogli|voluto|volente",
    "dovere|devo/debbo devi deve dobbiamo dovete devono/debbono|dove|dovei/dovetti dovesti dové/dovette dovemmo "
    "doveste doverono/dovettero|dovr|debb/dev||dovuto|",
    "sapere|so sai sa sappiamo sapete sanno|sape|seppi sapesti seppe sapemmo sapeste seppero|sapr|sappi|sappi|saputo|",
    "uscire|esco esci esce usciamo uscite escono|usci|uscii uscisti uscì uscimmo usciste uscirono|uscir|esc||uscito|"
    "uscente",
    "tenere|tengo tieni tiene teniamo tenete tengono|tene|tenni tenesti tenne tenemmo teneste tennero|terr|teng||"
    "tenuto|tenente",
    "porre|pongo poni pone poniamo ponete pongono|pone|posi ponesti pose ponemmo poneste posero|porr|pong||posto|"
    "ponente",
    "bere|bevo bevi beve beviamo bevete bevono|beve|bevvi/bevetti bevesti bevve/bevette bevemmo beveste "
    "bevvero/bevettero|berr|bev||bevuto|bevente",
    "rimanere|rimango rimani rimane rimaniamo rimanete rimangono|rimane|rimasi rimanesti rimase rimanemmo rimaneste "
    "rimasero|rimarr|rimang||rimasto|",
    "scegliere|scelgo scegli sceglie scegliamo scegliete scelgono|sceglie|scelsi scegliesti scelse scegliemmo "
    "sceglieste scelsero|sceglier|scelg||scelto|",
    "cogliere|colgo cogli coglie cogliamo cogliete colgono|coglie|colsi cogliesti colse cogliemmo coglieste colsero|"
    "coglier|colg||colto|",
    "togliere|tolgo togli toglie togliamo togliete tolgono|toglie|tolsi togliesti tolse togliemmo toglieste tolsero|"
    "toglier|tolg||tolto|",
    "sciogliere|sciolgo sciogli scioglie sciogliamo sciogliete sciolgono|scioglie|sciolsi sciogliesti sciolse "
    "sciogliemmo scioglieste sciolsero|scioglier|sciolg||sciolto|",
    "trarre|traggo trai trae traiamo traete traggono|trae|trassi traesti trasse traemmo traeste trassero|trarr|tragg||"
    "tratto|traente",
    "salire|salgo sali sale saliamo salite salgono|sali|salii salisti salì salimmo saliste salirono|salir|salg||salito|",
    "valere|valgo vali vale valiamo valete valgono|vale|valsi valesti valse valemmo valeste valsero|varr|valg||valso|",
    "parere|paio pari pare paiamo parete paiono|pare|parvi paresti parve paremmo pareste parvero|parr|pai||parso|",
    "morire|muoio muori muore moriamo morite muoiono|mori|morii moristi morì morimmo moriste morirono|morir/morr|"
    "muoi||morto|morente",
    "udire|odo odi ode udiamo udite odono|udi|udii udisti udì udimmo udiste udirono|udir/udr|od||udito|",
    "sedere|siedo/seggo siedi siede sediamo sedete siedono/seggono|sede|sedei/sedetti sedesti sedé/sedette sedemmo "
    "sedeste sederono/sedettero|seder|sied/segg||seduto|",
    "piacere|piaccio piaci piace piacciamo piacete piacciono|piace|piacqui piacesti piacque piacemmo piaceste "
    "piacquero|piacer|piacci||piaciuto|",
    "tacere|taccio taci tace tacciamo tacete tacciono|tace|tacqui tacesti tacque tacemmo taceste tacquero|tacer|tacci||"
    "taciuto|",
    "nuocere|nuoccio nuoci nuoce nociamo nocete nuocciono|noce|nocqui nocesti nocque nocemmo noceste nocquero|nocer|"
    "nuocci||nociuto|",
    "cuocere|cuocio cuoci cuoce cociamo cocete cuociono|coce|cossi cocesti cosse cocemmo coceste cossero|cuocer|"
    "cuoci||cotto|",
    "muovere|muovo muovi muove muoviamo muovete muovono|muove|mossi muovesti mosse muovemmo muoveste mossero|muover|"
    "||mosso|",
    "spegnere|spengo spegni spegne spegniamo spegnete spengono||spensi spegnesti spense spegnemmo spegneste spensero||"
    "speng||spento|",
    "apparire|appaio appari appare appariamo apparite appaiono|appari|apparvi apparisti apparve apparimmo appariste "
    "apparvero|apparir|appai||apparso|",
    // Regular in the present and the imperfect, irregular in the past historic and the participle.
    "vedere|||vidi vedesti vide vedemmo vedeste videro|vedr|||visto/veduto|",
    "vivere|||vissi vivesti visse vivemmo viveste vissero|vivr|||vissuto|",
    "cadere|||caddi cadesti cadde cademmo cadeste caddero|cadr|||caduto|",
    "mettere|||misi mettesti mise mettemmo metteste misero||||messo|",
    "prendere|||presi prendesti prese prendemmo prendeste presero||||preso|",
    "chiedere|||chiesi chiedesti chiese chiedemmo chiedeste chiesero||||chiesto|",
    "chiudere|||chiusi chiudesti chiuse chiudemmo chiudeste chiusero||||chiuso|",
    "rispondere|||risposi rispondesti rispose rispondemmo rispondeste risposero||||risposto|",
    "nascondere|||nascosi nascondesti nascose nascondemmo nascondeste nascosero||||nascosto|",
    "correre|||corsi corresti corse corremmo correste corsero||||corso|",
    "perdere|||persi/perdei perdesti perse/perdé perdemmo perdeste persero/perderono||||perso/perduto|",
    "rompere|||ruppi rompesti ruppe rompemmo rompeste ruppero||||rotto|",
    "scendere|||scesi scendesti scese scendemmo scendeste scesero||||sceso|",
    "rendere|||resi rendesti rese rendemmo rendeste resero||||reso|",
    "accendere|||accesi accendesti accese accendemmo accendeste accesero||||acceso|",
    "spendere|||spesi spendesti spese spendemmo spendeste spesero||||speso|",
    "ridere|||risi ridesti rise ridemmo rideste risero||||riso|",
    "decidere|||decisi decidesti decise decidemmo decideste decisero||||deciso|",
    "uccidere|||uccisi uccidesti uccise uccidemmo uccideste uccisero||||ucciso|",
    "dividere|||divisi dividesti divise dividemmo divideste divisero||||diviso|",
    "scrivere|||scrissi scrivesti scrisse scrivemmo scriveste scrissero||||scritto|",
    "leggere|||lessi leggesti lesse leggemmo leggeste lessero||||letto|",
    "dirigere|||diressi dirigesti diresse dirigemmo dirigeste diressero||||diretto|",
    "vincere|||vinsi vincesti vinse vincemmo vinceste vinsero||||vinto|",
    "piangere|||piansi piangesti pianse piangemmo piangeste piansero||||pianto|",
    "giungere|||giunsi giungesti giunse giungemmo giungeste giunsero||||giunto|",
    "spingere|||spinsi spingesti spinse spingemmo spingeste spinsero||||spinto|",
    "dipingere|||dipinsi dipingesti dipinse dipingemmo dipingeste dipinsero||||dipinto|",
    "conoscere|||conobbi conoscesti conobbe conoscemmo conosceste conobbero||||conosciuto|",
    "crescere|||crebbi crescesti crebbe crescemmo cresceste crebbero||||cresciuto|",
    "nascere|||nacqui nascesti nacque nascemmo nasceste nacquero||||nato|nascente",
    "esprimere|||espressi esprimesti espresse esprimemmo esprimeste espressero||||espresso|",
    "discutere|||discussi discutesti discusse discutemmo discuteste discussero||||discusso|",
    "assumere|||assunsi assumesti assunse assumemmo assumeste assunsero||||assunto|",
    "aprire|||aprii/apersi apristi aprì/aperse aprimmo apriste aprirono/apersero||||aperto|",
    "coprire|||coprii/copersi copristi coprì/coperse coprimmo copriste coprirono/copersero||||coperto|",
    "offrire|||offrii/offersi offristi offrì/offerse offrimmo offriste offrirono/offersero||||offerto|",
    "soffrire|||soffrii/soffersi soffristi soffrì/sofferse soffrimmo soffriste soffrirono/soffersero||||sofferto|",
};

// Verbs made of a prefix and a verb of the table conjugate like it.
const char* const compounds[][2] = {
    { "venire", "avvenire convenire divenire intervenire pervenire prevenire provenire svenire" },
    { "tenere", "appartenere contenere detenere mantenere ottenere ritenere sostenere trattenere" },
    { "porre", "comporre deporre disporre esporre imporre opporre proporre riporre supporre" },
    { "fare", "rifare disfare" },
    { "dire", "contraddire disdire predire ridire" },
    { "dare", "ridare" },
    { "trarre", "attrarre contrarre distrarre estrarre sottrarre" },
    { "cogliere", "accogliere raccogliere" },
    { "mettere", "ammettere commettere promettere permettere scommettere smettere sottomettere trasmettere" },
    { "prendere", "apprendere comprendere riprendere sorprendere" },
    { "scrivere", "descrivere iscrivere prescrivere trascrivere" },
    { "vedere", "prevedere rivedere" },
    { "correre", "occorrere percorrere ricorrere soccorrere trascorrere" },
    { "muovere", "commuovere promuovere rimuovere" },
    { "chiudere", "racchiudere rinchiudere" },
};

QStringList words(const QString& field) { return field.split(QLatin1Char(' '), Qt::SkipEmptyParts); }

// The alternatives of one person ("vado/vo").
QStringList alternatives(const QString& field) { return field.split(QLatin1Char('/'), Qt::SkipEmptyParts); }

QStringList regularPresent(const QString& infinitive)
{
    const QString stem = infinitive.left(infinitive.size() - 3);
    const QString conjugation = infinitive.right(3);
    const QString endings = conjugation == QLatin1String("are") ? QStringLiteral("o i a iamo ate ano")
        : conjugation == QLatin1String("ire")                   ? QStringLiteral("o i e iamo ite ono")
                                                                : QStringLiteral("o i e iamo ete ono");
    QStringList present;
    for (const QString& ending : words(endings))
        present << stem + ending;
    return present;
}

QStringList withEndings(const QStringList& stems, const char* endings)
{
    QStringList out;
    for (const QString& stem : stems)
        for (const QString& ending : words(QString::fromUtf8(endings)))
            out << stem + ending;
    return out;
}

QStringList conjugate(const QString& row)
{
    const QStringList field = row.split(QLatin1Char('|'));
    const QString infinitive = field.at(0);
    const QStringList present = field.at(1).isEmpty() ? regularPresent(infinitive) : words(field.at(1));
    const QString imperfect = field.at(2).isEmpty() ? infinitive.left(infinitive.size() - 2) : field.at(2);
    const QStringList pastHistoric = words(field.at(3));
    const QStringList futureStems
        = alternatives(field.at(4).isEmpty() ? infinitive.left(infinitive.size() - 1) : field.at(4));
    const QStringList subjunctiveStems = field.at(5).isEmpty()
        ? QStringList { alternatives(present.value(0)).value(0).chopped(1) }
        : alternatives(field.at(5));

    QStringList forms { infinitive };
    for (const QString& person : present + pastHistoric)
        forms << alternatives(person);
    if (imperfect.contains(QLatin1Char(' '))) {
        forms << words(imperfect);
    } else {
        forms << withEndings({ imperfect }, "vo vi va vamo vate vano");
        // The gerund takes the imperfect's vowel: "anda" andando, "face" facendo, "usci" uscendo.
        forms << imperfect.chopped(1) + (imperfect.endsWith(QLatin1Char('a')) ? "ando" : "endo");
    }
    forms << withEndings({ pastHistoric.value(1).chopped(3) }, "ssi sse ssimo ste ssero");
    forms << withEndings(futureStems, "ò ai à emo ete anno ei esti ebbe emmo este ebbero");
    const QString firstPlural = present.value(3);
    forms << withEndings(subjunctiveStems, "a ano") << firstPlural.chopped(2) + QStringLiteral("te");
    forms << words(field.at(6));
    for (const QString& participle : alternatives(field.at(7)))
        forms << withEndings({ participle.chopped(1) }, "o a i e");
    forms << words(field.at(8));
    return forms;
}

// A prefix turns a stressed monosyllable into a word stressed on its last vowel: fa, rifà.
QString prefixed(const QString& prefix, const QString& form)
{
    static const QString vowels = QStringLiteral("aeiou");
    static const QString accented = QStringLiteral("àèìòù");
    int vowelCount = 0;
    for (const QChar c : form)
        vowelCount += vowels.contains(c) ? 1 : 0;
    const int last = vowels.indexOf(form.right(1));
    if (vowelCount == 1 && last >= 0 && form.size() <= 3)
        return prefix + form.chopped(1) + accented.at(last);
    return prefix + form;
}

const QHash<QString, QStringList>& conjugations()
{
    static const QHash<QString, QStringList> all = [] {
        QHash<QString, QStringList> verbs;
        for (const char* row : table) {
            QStringList forms = conjugate(QString::fromUtf8(row));
            forms.removeDuplicates();
            verbs.insert(forms.first(), forms);
        }
        for (const auto& compound : compounds) {
            const QString base = QString::fromUtf8(compound[0]);
            for (const QString& verb : words(QString::fromUtf8(compound[1]))) {
                const QString prefix = verb.chopped(base.size());
                QStringList forms;
                for (const QString& form : verbs.value(base))
                    forms << prefixed(prefix, form);
                verbs.insert(verb, forms);
            }
        }
        return verbs;
    }();
    return all;
}
}

QStringList IrregularVerbs::forms(const QString& infinitive)
{
    QStringList forms = conjugations().value(infinitive.toLower());
    if (!forms.isEmpty())
        forms.removeFirst(); // the infinitive itself
    return forms;
}
