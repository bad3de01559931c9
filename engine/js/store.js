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

        ensurePageTables: function (done) {
            run(PAGE_TABLES.map(function (sql) {
                return [sql];
            }), false, function (err) {
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

        // "YYYY-MM-DD HH:MM:SS", local time: sorts as text and reads as an SQLite timestamp.
        timestamp: function (d) {
            function two(n) {
                return (n < 10 ? '0' : '') + n;
            }
            return d.getFullYear() + '-' + two(d.getMonth() + 1) + '-' + two(d.getDate()) + ' ' +
                two(d.getHours()) + ':' + two(d.getMinutes()) + ':' + two(d.getSeconds());
        },

        // An entry reference kept in REF: id, content file and headword, each percent-encoded.
        makeRef: function (entry) {
            return [entry.idzenta, entry.file, entry.word].map(function (s) {
                return encodeURIComponent(s || '');
            }).join('|');
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
            return { idzenta: dec(p[0]), file: dec(p[1]), word: dec(p[2]) };
        }
    };
}(Vocalume));
