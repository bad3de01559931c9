// The irregular forms of English words, from a lexical database's exception lists: one file per
// part of speech (`noun.exc`, `verb.exc`, `adj.exc`, `adv.exc`), each line an inflected form
// followed by the words it is a form of ("went go", "better good well", "mice mouse").
#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>

class WordExceptions {
public:
    // Reads the lists found in `directory`; false when it holds none.
    [[nodiscard]] bool load(const QString& directory);
    // The same from texts already read, by part of speech ("noun", "verb", "adj", "adv").
    void loadText(const QString& partOfSpeech, const QString& text);
    QString errorString() const { return error; }

    // The irregular forms of `word` whose part of speech the entry's category `pos` allows
    // ("n.", "v. t.", "a. & n.", "adj., v."); all of them when the category names none.
    QStringList forms(const QString& word, const QString& pos) const;

private:
    struct Form {
        QString text;
        QString partOfSpeech;
    };
    QHash<QString, QVector<Form>> byWord; // lower-cased base word -> its forms
    QString error;
};
