// The web database "zenta" shared with native code: SYSTEM is written by native code and only
// read here; BOOKMARK, FAVORITE, NOTE and HISTORY (the entries looked up) belong to the pages.

(function (V) {
    'use strict';

    var db = null;

    var PAGE_TABLES = [
        'CREATE TABLE IF NOT EXISTS BOOKMARK (DATE TIMESTAMP, IDBOOK TEXT, ID INTEGER PRIMARY KEY, REF VARCHAR(100), NOTE TEXT)',
        'CREATE TABLE IF NOT EXISTS FAVORITE (DATE TIMESTAMP, IDBOOK TEXT, ID INTEGER PRIMARY KEY, NOTE TEXT, REF TEXT)',
        'CREATE TABLE IF NOT EXISTS NOTE (DATE TIMESTAMP, IDBOOK TEXT, ID INTEGER PRIMARY KEY, REF VARCHAR(100), NOTE TEXT)',
        'CREATE TABLE IF NOT EXISTS HISTORY (DATE TIMESTAMP, IDBOOK TEXT, ID INTEGER PRIMARY KEY, REF VARCHAR(100), NOTE TEXT)'
    ];

    var CREATE_PAGE_TABLES = PAGE_TABLES.map(function (sql) { return [sql]; });

    // What an export file of the reader's own tables carries, and how it names itself. Files
    // written before HISTORY was saved simply lack it.
    var SAVED_TABLES = ['FAVORITE', 'BOOKMARK', 'NOTE', 'HISTORY'];
    var EXPORT_FORMAT = 'vocalume-appunti';

    function open() {
        if (db) {
            return db;
        }
        if (typeof window.openDatabase !== 'function') {
            return null;
        }
        try {
            db = window.openDatabase('zenta', '1.0', 'ZENTA DATABASE', 10485760);
        } catch (e) {
            // A file left with another version key: open whatever version it has.
            try {
                db = window.openDatabase('zenta', '', 'ZENTA DATABASE', 10485760);
            } catch (e2) {
                db = null;
            }
        }
        return db;
    }

    function rowsOf(result) {
        var out = [];
        for (var i = 0; i < result.rows.length; i++) {
            out.push(result.rows.item(i));
        }
        return out;
    }

    // Runs statements [[sql, args], ...] in one transaction; done(error, resultsOfEach).
    function run(statements, readOnly, done) {
        var database = open();
        if (!database) {
            done(new Error('Database non disponibile'), []);
            return;
        }
        var results = [];
        var failed = null;
        var method = readOnly && typeof database.readTransaction === 'function' ? 'readTransaction' : 'transaction';
        database[method](function (tx) {
            statements.forEach(function (st, i) {
                tx.executeSql(st[0], st[1] || [], function (t, r) {
                    results[i] = r;
                }, function (t, err) {
                    failed = failed || err;
                    return true; // abort the transaction
                });
            });
        }, function (err) {
            done(failed || err || new Error('Transazione fallita'), results);
        }, function () {
            done(null, results);
        });
    }

    V.store = {
        // done() once every write the page asked for before has ended.
        afterWrites: function (done) {
            run([['SELECT 1']], true, function () { done(); });
        },

        available: function () {
            return !!open();
        },

        // SYSTEM as { refbook: { VARIABLE: value } }; when a pair appears more than once the last
        // row wins, as for native readers.
        readSystem: function (done) {
            run([['SELECT ID, REFBOOK, VARIABLE, VALUE FROM SYSTEM ORDER BY ID']], true, function (err, res) {
                var map = {};
                if (!err && res[0]) {
                    rowsOf(res[0]).forEach(function (row) {
                        var ref = String(row.REFBOOK);
                        var book = map[ref] || (map[ref] = {});
                        book[String(row.VARIABLE).toUpperCase()] = row.VALUE === null ? '' : String(row.VALUE);
                    });
                }
                done(map, err);
            });
        },

        // The dictionaries of a SYSTEM map as records { sku, TITLE, STATUS, ... }.
        books: function (system) {
            var out = [];
            Object.keys(system).forEach(function (ref) {
                if (ref === 'SYSTEM') {
                    return;
                }
                var rec = { sku: ref };
                var vars = system[ref];
                Object.keys(vars).forEach(function (k) {
                    rec[k] = vars[k];
                });
                out.push(rec);
            });
            return out;
        },

        // The dictionaries the library lists (VISIBLE "1"), in its order: by ORDER (none last),
        // then by title.
        listedBooks: function (system) {
            return V.store.books(system).filter(function (b) {
                return b.VISIBLE === '1';
            }).sort(function (a, b) {
                var oa = parseFloat(a.ORDER);
                var ob = parseFloat(b.ORDER);
                oa = isNaN(oa) ? Infinity : oa;
                ob = isNaN(ob) ? Infinity : ob;
                if (oa !== ob) {
                    return oa < ob ? -1 : 1;
                }
                return String(a.TITLE || a.sku).localeCompare(String(b.TITLE || b.sku));
            });
        },

        // A dictionary whose files are on this computer (a newer revision may be offered).
        isInstalled: function (book) {
            return book.STATUS === '1' || book.STATUS === '2';
        },

        ensurePageTables: function (done) {
            run(CREATE_PAGE_TABLES, false, function (err) {
                done(err);
            });
        },

        // Rows of a page table for one dictionary, newest first.
        list: function (table, idbook, done) {
            run([['SELECT DATE, IDBOOK, ID, REF, NOTE FROM ' + table + ' WHERE IDBOOK = ? ORDER BY DATE DESC', [idbook]]],
                true, function (err, res) {
                    done(err ? [] : rowsOf(res[0]), err);
                });
        },

        insert: function (table, idbook, ref, note, done) {
            run([['INSERT INTO ' + table + ' (DATE, IDBOOK, REF, NOTE) VALUES (?, ?, ?, ?)',
                [V.store.timestamp(new Date()), idbook, ref, note]]], false, function (err, res) {
                done(err, err ? null : res[0].insertId);
            });
        },

        updateNote: function (table, id, note, done) {
            run([['UPDATE ' + table + ' SET NOTE = ?, DATE = ? WHERE ID = ?',
                [note, V.store.timestamp(new Date()), id]]], false, function (err) {
                done(err);
            });
        },

        remove: function (table, id, done) {
            run([['DELETE FROM ' + table + ' WHERE ID = ?', [id]]], false, function (err) {
                done(err);
            });
        },

        // Favourites, bookmarks, notes and history of every dictionary as the text of an export
        // file. Beside the keys, each row names its dictionary by title and its entry by
        // headword, for a reader of the file; an import reads the keys.
        exportText: function (done) {
            // The tables may not exist yet when no dictionary page was ever opened.
            var create = CREATE_PAGE_TABLES;
            var titles = ['SELECT REFBOOK, VALUE FROM SYSTEM WHERE VARIABLE = ? ORDER BY ID', ['TITLE']];
            run(create.concat([titles], SAVED_TABLES.map(function (t) {
                return ['SELECT DATE, IDBOOK, REF, NOTE FROM ' + t + ' ORDER BY DATE'];
            })), false, function (err, res) {
                if (err) {
                    done(null, err);
                    return;
                }
                var title = {};
                rowsOf(res[create.length]).forEach(function (r) { title[r.REFBOOK] = r.VALUE; });
                var tables = {};
                SAVED_TABLES.forEach(function (t, i) {
                    tables[t] = rowsOf(res[create.length + 1 + i]).map(function (r) {
                        return { DATE: r.DATE, IDBOOK: r.IDBOOK, REF: r.REF, NOTE: r.NOTE, DIZIONARIO: title[r.IDBOOK] || '',
                            VOCE: V.store.parseRef(r.REF).word };
                    });
                });
                done(JSON.stringify({ formato: EXPORT_FORMAT, versione: 1, tabelle: tables }, null, 1), null);
            });
        },

        // The favourites and notes of every dictionary, for flash cards: done(rows, error), each
        // row {table, IDBOOK, REF, NOTE, DIZIONARIO} (the dictionary's title), oldest first.
        cardRows: function (done) {
            var create = CREATE_PAGE_TABLES;
            var titles = ['SELECT REFBOOK, VALUE FROM SYSTEM WHERE VARIABLE = ? ORDER BY ID', ['TITLE']];
            var tables = ['FAVORITE', 'NOTE'];
            run(create.concat([titles], tables.map(function (t) {
                return ['SELECT IDBOOK, REF, NOTE FROM ' + t + ' ORDER BY DATE'];
            })), false, function (err, res) {
                if (err) {
                    done([], err);
                    return;
                }
                var title = {};
                rowsOf(res[create.length]).forEach(function (r) { title[r.REFBOOK] = r.VALUE; });
                var rows = [];
                tables.forEach(function (t, i) {
                    rowsOf(res[create.length + 1 + i]).forEach(function (r) {
                        rows.push({ table: t, IDBOOK: r.IDBOOK, REF: r.REF, NOTE: r.NOTE, DIZIONARIO: title[r.IDBOOK] || '' });
                    });
                });
                done(rows, null);
            });
        },

        // Adds the rows of an export file that are not here yet; done(error, notes added, history
        // entries added). A text that is not an export file is refused whole, with an error whose
        // notExport is true; any other error is the database's, and nothing was added.
        importText: function (text, done) {
            var data;
            try {
                data = JSON.parse(text);
            } catch (e) {
                data = null;
            }
            if (!data || data.formato !== EXPORT_FORMAT || !data.tabelle || typeof data.tabelle !== 'object') {
                var invalid = new Error('File non valido');
                invalid.notExport = true;
                done(invalid, 0, 0);
                return;
            }
            var create = CREATE_PAGE_TABLES;
            var reads = SAVED_TABLES.map(function (t) { return ['SELECT IDBOOK, REF, NOTE FROM ' + t]; });
            run(create.concat(reads), false, function (err, res) {
                if (err) {
                    done(err, 0, 0);
                    return;
                }
                var inserts = [];
                var history = 0;
                SAVED_TABLES.forEach(function (t, i) {
                    var have = {};
                    rowsOf(res[create.length + i]).forEach(function (r) { have[[r.IDBOOK, r.REF, r.NOTE].join('\u0001')] = true; });
                    (data.tabelle[t] instanceof Array ? data.tabelle[t] : []).forEach(function (r) {
                        var row = [r && r.IDBOOK, r && r.REF, r && r.NOTE].map(function (v) { return v === null || v === undefined ? '' : String(v); });
                        var id = row.join('\u0001');
                        if (row[0] && row[1] && !have[id]) {
                            have[id] = true;
                            history += t === 'HISTORY' ? 1 : 0;
                            inserts.push(['INSERT INTO ' + t + ' (DATE, IDBOOK, REF, NOTE) VALUES (?, ?, ?, ?)',
                                [String(r.DATE || V.store.timestamp(new Date()))].concat(row)]);
                        }
                    });
                });
                if (!inserts.length) {
                    done(null, 0, 0);
                    return;
                }
                run(inserts, false, function (err2) {
                    done(err2, err2 ? 0 : inserts.length - history, err2 ? 0 : history);
                });
            });
        },

        // "YYYY-MM-DD HH:MM:SS", local time: sorts as text and reads as an SQLite timestamp.
        timestamp: function (d) {
            function two(n) {
                return (n < 10 ? '0' : '') + n;
            }
            return d.getFullYear() + '-' + two(d.getMonth() + 1) + '-' + two(d.getDate()) + ' ' +
                two(d.getHours()) + ':' + two(d.getMinutes()) + ':' + two(d.getSeconds());
        },

        // An entry reference kept in REF: id, content file and headword, each percent-encoded.
        // A homograph adds its number, which names it in the lists ("Dog|2"); rows are matched by
        // id and file (sameRef), so a row kept before the number was written still matches.
        makeRef: function (entry, number) {
            return [entry.idzenta, entry.file, entry.word].concat(number ? [number] : []).map(function (s) {
                return encodeURIComponent(s || '');
            }).join('|');
        },

        // Whether two references name the same entry.
        sameRef: function (a, b) {
            var x = V.store.parseRef(a);
            var y = V.store.parseRef(b);
            return x.idzenta === y.idzenta && x.file === y.file;
        },

        parseRef: function (ref) {
            var p = String(ref || '').split('|');
            function dec(s) {
                try {
                    return decodeURIComponent(s || '');
                } catch (e) {
                    return s || '';
                }
            }
            return { idzenta: dec(p[0]), file: dec(p[1]), word: dec(p[2]), num: dec(p[3]) };
        }
    };

    // What native code answered about a file the user picked ({result, path, ...}).
    function fileOutcome(answer) {
        try {
            return JSON.parse(answer) || {};
        } catch (e) {
            return { result: 'failed', path: '', reason: 'risposta non valida del programma' };
        }
    }

    function importedText(notes, history) {
        var text = notes === 1 ? 'Importato 1 appunto' : (notes ? 'Importati ' + notes + ' appunti' : '');
        if (history) {
            text += (text ? ' e ' : 'Importate ') + history + (history === 1 ? ' voce' : ' voci') + ' della cronologia';
        }
        return text ? text + '.' : 'Nessun appunto nuovo da importare.';
    }

    // Export and import through files the user picks (native help beside the bridge); each
    // tells the user how it went, a cancel excepted, then calls done(true when something was
    // written or added).
    V.exportSaved = function (done) {
        var native = V.native('saveTextFile');
        if (!native) {
            V.message('Questa versione del programma non può esportare gli appunti.');
            return;
        }
        V.store.exportText(function (text, err) {
            if (err) {
                V.message('Impossibile leggere gli appunti da esportare.');
                return;
            }
            var name = 'appunti-vocalume-' + V.store.timestamp(new Date()).substring(0, 10) + '.json';
            var outcome = fileOutcome(native.saveTextFile(name, text));
            if (outcome.result === 'saved') {
                V.message('Appunti esportati nel file ' + outcome.path +
                    ': preferiti, segnalibri, note e cronologia di tutti i dizionari.');
            } else if (outcome.result !== 'cancelled') {
                V.message('Gli appunti non sono stati esportati. Impossibile scrivere il file ' + outcome.path + ': ' +
                    outcome.reason + '.');
            }
            if (done) {
                done(outcome.result === 'saved');
            }
        });
    };

    function cardsText(count) {
        return count === 1 ? '1 scheda' : count + ' schede';
    }

    // Favourites and notes as flash cards for Anki: whether this version of the program makes
    // them (the buttons show only then).
    V.ankiAvailable = function () {
        return !!V.native('exportAnkiCards') && !!V.native('sendToAnki');
    };

    // Reads the favourites and notes and hands them to `use`; tells the user when they cannot
    // be read.
    function withCardRows(use) {
        V.store.cardRows(function (rows, err) {
            if (err) {
                V.message('Impossibile leggere preferiti e note per le schede di Anki.');
            } else if (!rows.length) {
                V.message('Nessuna scheda da preparare: aggiungi una voce ai preferiti o scrivi una nota, poi riprova.');
            } else {
                use(rows);
            }
        });
    }

    // Writes the cards into a file Anki imports, which the user picks.
    V.exportAnki = function () {
        withCardRows(function (rows) {
            V.native('exportAnkiCards').exportAnkiCards(JSON.stringify(rows), 'Vocalume.onAnkiExported');
        });
    };

    V.onAnkiExported = function (outcome) {
        outcome = outcome || {};
        if (outcome.result === 'saved') {
            V.message(cardsText(outcome.count) + (outcome.count === 1 ? ' esportata' : ' esportate') + ' nel file ' +
                outcome.path + '. In Anki scegli File \u203a Importa e apri questo file: esportando di nuovo, ' +
                'le schede gi\u00e0 importate si aggiornano.');
        } else if (outcome.result === 'empty') {
            V.message('Nessuna scheda da esportare: le voci dei preferiti e delle note non si trovano nei dizionari installati.');
        } else if (outcome.result !== 'cancelled') {
            V.message('Le schede non sono state esportate. ' + (outcome.reason || outcome.error || ''));
        }
    };

    // Sends the cards to Anki, which must be running with AnkiConnect.
    V.sendToAnki = function () {
        withCardRows(function (rows) {
            V.native('sendToAnki').sendToAnki(JSON.stringify(rows), 'Vocalume.onAnkiSent');
        });
    };

    V.onAnkiSent = function (answer) {
        answer = answer || {};
        if (answer.busy) {
            V.message('Le schede stanno già andando ad Anki: attendi la fine dell\'invio.');
        } else if (answer.result) {
            V.message(cardsText(answer.added) + (answer.added === 1 ? ' inviata' : ' inviate') + ' ad Anki, ' +
                answer.present + (answer.present === 1 ? ' già presente.' : ' già presenti.'));
        } else {
            V.message(answer.error || 'Anki non risponde: avvia Anki con il componente AnkiConnect e riprova.');
        }
    };

    V.importSaved = function (done) {
        var native = V.native('openTextFile');
        if (!native) {
            V.message('Questa versione del programma non può importare gli appunti.');
            return;
        }
        var file = fileOutcome(native.openTextFile());
        if (file.result === 'unreadable') {
            V.message('Impossibile leggere il file ' + file.path + ': ' + file.reason + '.');
        } else if (file.result === 'tooBig') {
            V.message('Il file ' + file.path + ' è troppo grande: un file di appunti può occupare al massimo ' +
                file.limit + '.');
        }
        if (file.result !== 'opened') {
            return;
        }
        V.store.importText(file.text, function (err, added, history) {
            if (err && err.notExport) {
                V.message('Il file scelto non contiene appunti di Vocalume.');
            } else if (err) {
                V.message('Impossibile salvare gli appunti importati (' + (err.message || 'errore del database') +
                    '). Il file ' + file.path + ' è integro: potrai importarlo di nuovo.');
            } else {
                V.message(importedText(added, history));
            }
            if (done) {
                done(!err && added + history > 0);
            }
        });
    };
}(Vocalume));
