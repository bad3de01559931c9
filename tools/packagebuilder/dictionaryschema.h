// The tables of a dictionary database, as the program's searches read them (without the
// indexes). Header only, so that tools which do not link the package builder (the hostile and
// damaged packages) build the very same tables.
#pragma once

namespace DictionarySchema {
inline const char* tables()
{
    return R"sql(
CREATE TABLE lemma(id INTEGER PRIMARY KEY, id_zenta TEXT, nome TEXT, nome_n TEXT, omo TEXT, hwgram TEXT, source TEXT);
CREATE TABLE file(id INTEGER PRIMARY KEY, file TEXT);
CREATE TABLE file_lemma(id_lemma INTEGER, id_file INTEGER);
CREATE TABLE lemmatizzatore(id_lemma INTEGER, flessi TEXT);
CREATE TABLE keyword(id INTEGER PRIMARY KEY, keyword TEXT);
CREATE TABLE keyword_lemma(id_keyword INTEGER, id_lemma INTEGER);
CREATE TABLE ambiti(id INTEGER PRIMARY KEY, nome_n TEXT);
CREATE TABLE lemma_ambito(id_lemma INTEGER, id_ambito INTEGER);
)sql";
}
}
