// A stand-in for the native side, for opening the engine pages in a browser or in the bare web
// engine: it publishes QtJavascriptInteraction, answers the way native code does (it evaluates
// the very SignalQt statements native code would evaluate), seeds the SYSTEM table and, where
// the browser has no Web SQL, provides a small in-memory openDatabase.
// Options come from the page address: mock=<scenario>, delay=<ms>, scene=<name>.
// Needs fixtures.js first. Plain ES5.

var MockBridge = (function () {
    'use strict';

    var params = {};
    window.location.search.replace(/^\?/, '').split('&').forEach(function (p) {
        if (p) {
            var eq = p.indexOf('=');
            params[decodeURIComponent(eq < 0 ? p : p.substring(0, eq))] = eq < 0 ? '' : decodeURIComponent(p.substring(eq + 1));
        }
    });

    var M = {
        params: params,
        scenario: params.mock || 'default',
        delay: params.delay !== undefined ? parseInt(params.delay, 10) : 120,
        calls: [],           // [slot, [arguments]] of every slot call
        statements: [],      // every statement evaluated as native code would
        navigations: [],     // pages that native code was asked to show
        navigate: !window.__mockNoNavigate,
        autoDownload: !window.__mockNoNavigate,
        loginPassword: 'segreta',
        downloads: {}
    };

    // ---- Statements as native code evaluates them ----------------------------------------

    function run(statement) {
        M.statements.push(statement);
        (0, eval)(statement);
    }

    function later(fn, ms) {
        return setTimeout(fn, ms === undefined ? M.delay : ms);
    }

    function single(callback, literal, intermediate) {
        run('SignalQt(\'' + callback + '\', \'' + literal + '\'' + (intermediate ? ', \'true\'' : '') + ')');
    }

    function doubleQuoted(callback, literal) {
        run('SignalQt(\'' + callback + '\', "' + literal + '")');
    }

    // Every byte except letters, digits and - . _ ~ becomes %XX.
    function percentEncode(text) {
        return encodeURIComponent(text).replace(/[!'()*]/g, function (c) {
            return '%' + c.charCodeAt(0).toString(16).toUpperCase();
        });
    }

    function apos(s) {
        return String(s).replace(/'/g, '&apos;');
    }

    function item(l) {
        return '{' + 'idzenta: \\\'' + l.idzenta + '\\\', ' + 'word: \\\'' + apos(l.nome) + '\\\', ' +
            'file: \\\'' + l.file + '\\\', ' + 'omo: \\\'' + l.omo + '\\\', ' + 'hw: \\\'' + l.hwgram + '\\\'' + '}';
    }

    // ---- The dictionary's searches ---------------------------------------------------------

    var lemmas = [];
    var scopeNames = [];

    // The dictionary's entries, with `extra` plain headwords added for paging.
    M.useLemmas = function (extra) {
        lemmas = MockFixtures.lemmas(extra);
        scopeNames = [];
        lemmas.forEach(function (l) {
            l.scopes.forEach(function (s) {
                if (scopeNames.indexOf(s) < 0) {
                    scopeNames.push(s);
                }
            });
        });
        scopeNames.sort(function (a, b) { return a.toLowerCase() < b.toLowerCase() ? -1 : 1; });
    };
    M.useLemmas(M.scenario === 'big' ? 60 : 0);
    M.scopeId = function (name) {
        return scopeNames.indexOf(name) + 1;
    };

    function normalize(lang, text) {
        if (lang !== 'it') {
            return text;
        }
        var from = MockFixtures.charset.start.split('|');
        var to = MockFixtures.charset.end.split('|');
        from.forEach(function (f, i) {
            text = text.split(f).join(to[i]);
        });
        return text;
    }

    function byName(a, b) {
        var x = a.nome.toLowerCase();
        var y = b.nome.toLowerCase();
        return x < y ? -1 : (x > y ? 1 : 0);
    }

    function installed(sku) {
        return sku === 'ita-base';
    }

    function entrySearch(word, start, offset, lang) {
        var u = word.toLowerCase();
        var n = normalize(lang, word).toLowerCase();
        var matches = lemmas.filter(function (l) {
            return l.source === lang && (l.nome_n.indexOf(n) === 0 || l.flessi.indexOf(u) >= 0);
        });
        var rows = [];
        if (start === '0') {
            rows = lemmas.filter(function (l) { return l.source === lang && l.nome === u; }).sort(byName);
        }
        var s = parseInt(start, 10);
        var related = matches.filter(function (l) { return l.nome !== u; }).sort(byName);
        return { tot: matches.length, rows: rows.concat(related.slice(s, s + parseInt(offset, 10))), lemma: true };
    }

    function fullTextSearch(word, scope, start, offset, lang) {
        var u = word.toLowerCase();
        var n = normalize(lang, word).toLowerCase();
        var scopeName = scope === '' ? null : scopeNames[parseInt(scope, 10) - 1];
        var inScope = function (l) { return scopeName === null || l.scopes.indexOf(scopeName) >= 0; };
        var head = lemmas.filter(function (l) { return l.source === lang && l.nome.toLowerCase() === u && inScope(l); }).sort(byName);
        var kw = lemmas.filter(function (l) {
            return l.source === lang && l.keywords.indexOf(n) >= 0 && l.nome.toLowerCase() !== u && inScope(l);
        }).sort(byName);
        var all = head.concat(kw);
        var s = parseInt(start, 10);
        return { tot: all.length, rows: all.slice(s, s + parseInt(offset, 10)), lemma: false };
    }

    // ---- Slots -----------------------------------------------------------------------------

    function record(name, args) {
        M.calls.push([name, Array.prototype.slice.call(args)]);
    }

    function show(page) {
        M.navigations.push(page);
        if (!M.navigate) {
            return;
        }
        var keep = [];
        ['mock', 'delay'].forEach(function (k) {
            if (params[k] !== undefined) {
                keep.push(k + '=' + encodeURIComponent(params[k]));
            }
        });
        var sep = page.indexOf('?') < 0 ? '?' : '&';
        window.location.href = page + (keep.length ? sep + keep.join('&') : '');
    }

    function stopDownload(sku) {
        var d = M.downloads[sku];
        if (d) {
            clearTimeout(d.timer);
            delete M.downloads[sku];
        }
    }

    M.progress = function (callback, percent, size) {
        single(callback, '{result:false,progress:"' + percent + '",size:"' + size + '"}', true);
    };
    M.wait = function (callback) {
        single(callback, '{result:false, progress:"wait"}', true);
    };
    M.finish = function (callback, sku) {
        M.setStatus(sku, '1', function () {
            single(callback, '{result:true,error:\\\'\\\',progress:\\\'100\\\'}');
        });
    };
    M.fail = function (callback, message) {
        single(callback, '{result:false,error:"' + apos(message || 'Si è verificato un errore nello scaricamento del dizionario') + '"}');
    };

    var slots = {
        setUsernamePassword: function (username, password, callback) {
            later(function () {
                if (M.scenario === 'loginfail' || password !== M.loginPassword) {
                    single(callback, '{result:false,error:"Impossibile eseguire l\\\'accesso. Controlla i dati inseriti oppure effettua la registrazione."}');
                    return;
                }
                single(callback, '{result:true,error:""}');
                later(function () { show('libreria.html'); }, 600);
            }, M.delay * 5);
        },
        getHtmlPage: function () { return ''; },
        getHtmlFixedPage: function (page, query) { show(page + (query ? '?' + query : '')); },
        getBookID: function () { return params.idbook || ''; },
        getLink: function () { return ''; },
        getPath: function () { return ''; },
        getCallbackLogin: function () { return ''; },
        getCallbackDownload: function () { return ''; },
        getIsSyncronizing: function () { return false; },
        getParameter: function (name) { return params[name] === undefined ? '' : params[name]; },
        cancelDownload: function () {
            Object.keys(M.downloads).forEach(stopDownload);
        },
        mail: function () {},
        download: function (sku, callback) {
            if (!M.autoDownload) {
                return;
            }
            var d = { percent: 0 };
            M.downloads[sku] = d;
            var step = function () {
                if (M.scenario === 'downloadfail' && d.percent >= 30) {
                    stopDownload(sku);
                    M.fail(callback);
                    return;
                }
                if (d.percent <= 99) {
                    M.progress(callback, d.percent, '5.0');
                    d.percent += 7;
                    d.timer = later(step, 200);
                    return;
                }
                M.wait(callback);
                d.timer = later(function () {
                    stopDownload(sku);
                    M.finish(callback, sku);
                }, 900);
            };
            d.timer = later(step, 300);
        },
        purchase: function () {},
        passwordLost: function () {},
        createAccount: function () {},
        synchronize: function () {
            later(function () {
                if (M.scenario === 'syncfail') {
                    run('messageDialog("Si è verificato un problema durante la sincronizzazione dei tuoi acquisti!<br/>Ti invitiamo a riprovare più tardi")');
                    run('__APP.spinner=false');
                    return;
                }
                show('libreria.html');
            }, 1200);
        },
        onLogout: function () {},
        loadUrl: function (url) { show(url); },
        getWords: function (sku, word, from, to, lang, callback) {
            later(function () {
                var rows = [];
                var tot = 0;
                if (installed(sku)) {
                    var w = word.toLowerCase();
                    var all = lemmas.filter(function (l) {
                        return l.source === lang && l.nome.toLowerCase().indexOf(w) === 0;
                    }).sort(byName);
                    tot = all.length;
                    var f = parseInt(from, 10);
                    rows = all.slice(f, f + parseInt(to, 10));
                }
                single(callback, '{tot:' + tot + ',result: [' + rows.map(item).join(',') + ']}');
            });
        },
        search: function (sku, word, type, scope, start, offset, lang, callback) {
            if (M.autoSearch === false) {
                return;
            }
            later(function () {
                var r = { tot: 0, rows: [], lemma: type === '0' || type === '1' };
                if (installed(sku)) {
                    r = r.lemma ? entrySearch(word, start, offset, lang) : fullTextSearch(word, scope, start, offset, lang);
                }
                single(callback, '{tot:' + r.tot + ',result: [' + r.rows.map(item).join(',') + '], isLemmatizzata:' +
                    (r.lemma ? 'true' : 'false') + '}');
            });
        },
        onSearchTerminated: function () {},
        onAnaliticTerminated: function () {},
        getHtml: function (sku, id, file, callback) {
            // Native code answers while the call is still running.
            var found = lemmas.filter(function (l) { return l.idzenta === id && l.file === file; });
            if (!installed(sku) || file === 'missing.html') {
                return;
            }
            doubleQuoted(callback, '{html:\'' + percentEncode(found.length ? MockFixtures.entryHtml(found[0]) : '') + '\'}');
        },
        getScopes: function (sku, callback) {
            var items = installed(sku) ? scopeNames.map(function (s, i) {
                return '{id:' + (i + 1) + ', nome:\'' + s + '\'}';
            }) : [];
            doubleQuoted(callback, '{tot:' + items.length + ', result:[' + items.join(', ') + ']}');
        },
        getNormalized: function (lang, text) { return normalize(lang, text); },
        getFile: function (sku, file, callback) { doubleQuoted(callback, ''); },
        isXP: function () { return false; },
        openLink: function () {}
    };

    var bridge = {};
    Object.keys(slots).forEach(function (name) {
        bridge[name] = function () {
            record(name, arguments);
            return slots[name].apply(null, Array.prototype.slice.call(arguments).map(String));
        };
    });
    window.QtJavascriptInteraction = bridge;

    M.lastCall = function (name) {
        for (var i = M.calls.length - 1; i >= 0; i--) {
            if (M.calls[i][0] === name) {
                return M.calls[i][1];
            }
        }
        return null;
    };
    M.countCalls = function (name) {
        return M.calls.filter(function (c) { return c[0] === name; }).length;
    };
    M.run = run;
    M.single = single;
    M.doubleQuoted = doubleQuoted;

    // ---- In-memory Web SQL, for browsers without it -----------------------------------------
    // Understands the statements the pages and this mock use: CREATE TABLE, INSERT, SELECT with
    // "col = value" conditions joined by AND and one ORDER BY column, UPDATE and DELETE.

    function MemoryDatabase() {
        this.tables = {};
    }

    MemoryDatabase.prototype.exec = function (sql, args) {
        var a = (args || []).slice();
        var s = sql.replace(/\s+/g, ' ').replace(/^ | $/g, '');
        var m;
        function value(tok) {
            tok = tok.replace(/^ | $/g, '');
            if (tok === '?') {
                return a.shift();
            }
            if (/^'.*'$/.test(tok)) {
                return tok.slice(1, -1).replace(/''/g, '\'');
            }
            return isNaN(Number(tok)) ? tok : Number(tok);
        }
        function where(text) {
            var conds = [];
            if (text) {
                text.split(/ AND /i).forEach(function (c) {
                    var p = /^(\w+) ?= ?(.+)$/.exec(c.replace(/^ | $/g, ''));
                    if (!p) {
                        throw new Error('condizione non gestita: ' + c);
                    }
                    conds.push([p[1].toUpperCase(), value(p[2])]);
                });
            }
            return function (row) {
                return conds.every(function (c) { return String(row[c[0]]) === String(c[1]); });
            };
        }
        var self = this;
        function table(name) {
            var t = self.tables[name.toUpperCase()];
            if (!t) {
                throw new Error('no such table: ' + name);
            }
            return t;
        }
        if ((m = /^CREATE TABLE (IF NOT EXISTS )?(\w+) ?\((.*)\)$/i.exec(s))) {
            if (!this.tables[m[2].toUpperCase()]) {
                var cols = m[3].replace(/\([^)]*\)/g, '').split(',').map(function (c) {
                    return c.replace(/^ /, '').split(' ')[0].toUpperCase();
                });
                this.tables[m[2].toUpperCase()] = { cols: cols, rows: [] };
            } else if (!m[1]) {
                throw new Error('table ' + m[2] + ' already exists');
            }
            return { rows: [], rowsAffected: 0 };
        }
        if ((m = /^INSERT INTO (\w+) ?\(([^)]*)\) VALUES ?\((.*)\)$/i.exec(s))) {
            var t = table(m[1]);
            var names = m[2].split(',').map(function (c) { return c.replace(/ /g, '').toUpperCase(); });
            var vals = m[3].split(',').map(value);
            var row = {};
            t.cols.forEach(function (c) { row[c] = null; });
            names.forEach(function (n, i) { row[n] = vals[i]; });
            if (t.cols.indexOf('ID') >= 0 && (row.ID === null || row.ID === undefined)) {
                row.ID = t.rows.reduce(function (mx, r) { return Math.max(mx, r.ID || 0); }, 0) + 1;
            }
            t.rows.push(row);
            return { rows: [], rowsAffected: 1, insertId: row.ID };
        }
        if ((m = /^SELECT (.+?) FROM (\w+)( WHERE (.+?))?( ORDER BY (\w+)( ASC| DESC)?)?$/i.exec(s))) {
            var src = table(m[2]);
            var cols2 = m[1] === '*' ? src.cols : m[1].split(',').map(function (c) { return c.replace(/ /g, ''); });
            var out = src.rows.filter(where(m[4]));
            if (m[6]) {
                var key = m[6].toUpperCase();
                var desc = /desc/i.test(m[7] || '');
                out = out.slice().sort(function (x, y) {
                    var r = x[key] < y[key] ? -1 : (x[key] > y[key] ? 1 : 0);
                    return desc ? -r : r;
                });
            }
            return {
                rows: out.map(function (r) {
                    var o = {};
                    cols2.forEach(function (c) { o[c] = r[c.toUpperCase()]; });
                    return o;
                }),
                rowsAffected: 0
            };
        }
        if ((m = /^UPDATE (\w+) SET (.+?)( WHERE (.+))?$/i.exec(s))) {
            var ut = table(m[1]);
            var sets = m[2].split(',').map(function (p) {
                var q = /^ ?(\w+) ?= ?(.+)$/.exec(p);
                return [q[1].toUpperCase(), value(q[2])];
            });
            var hit = ut.rows.filter(where(m[4]));
            hit.forEach(function (r) { sets.forEach(function (st) { r[st[0]] = st[1]; }); });
            return { rows: [], rowsAffected: hit.length };
        }
        if ((m = /^DELETE FROM (\w+)( WHERE (.+))?$/i.exec(s))) {
            var dt = table(m[1]);
            var keep = dt.rows.filter(function (r) { return !where(m[3])(r); });
            var n = dt.rows.length - keep.length;
            dt.rows = keep;
            return { rows: [], rowsAffected: n };
        }
        throw new Error('istruzione non gestita: ' + sql);
    };

    var memory = new MemoryDatabase();
    var STORE_KEY = 'vocalume.mockdb';
    try {
        var kept = window.sessionStorage && window.sessionStorage.getItem(STORE_KEY);
        if (kept) {
            memory.tables = JSON.parse(kept);
        }
    } catch (e) { /* start empty */ }

    function persist() {
        try {
            window.sessionStorage.setItem(STORE_KEY, JSON.stringify(memory.tables));
        } catch (e) { /* not kept across pages */ }
    }

    function resultSet(r) {
        return {
            rows: { length: r.rows.length, item: function (i) { return r.rows[i]; } },
            rowsAffected: r.rowsAffected,
            insertId: r.insertId
        };
    }

    function memoryTransaction(body, onError, onSuccess) {
        setTimeout(function () {
            var snapshot = JSON.stringify(memory.tables);
            var queue = [];
            var tx = {
                executeSql: function (sql, args, ok, err) {
                    queue.push([sql, args, ok, err]);
                }
            };
            var failure = null;
            try {
                body(tx);
                while (queue.length && !failure) {
                    var st = queue.shift();
                    var res;
                    try {
                        res = resultSet(memory.exec(st[0], st[1]));
                    } catch (e) {
                        var error = { code: 5, message: e.message };
                        if (!st[3] || st[3](tx, error) !== false) {
                            failure = error;
                        }
                        continue;
                    }
                    if (st[2]) {
                        st[2](tx, res);
                    }
                }
            } catch (e2) {
                failure = { code: 0, message: e2.message };
            }
            if (failure) {
                memory.tables = JSON.parse(snapshot);
                if (onError) {
                    onError(failure);
                }
                return;
            }
            persist();
            if (onSuccess) {
                onSuccess();
            }
        }, 0);
    }

    M.memoryDatabase = memory;
    M.usesMemoryDatabase = typeof window.openDatabase !== 'function';
    if (M.usesMemoryDatabase) {
        window.openDatabase = function () {
            return { transaction: memoryTransaction, readTransaction: memoryTransaction, version: '1.0' };
        };
    }

    // ---- SYSTEM as native code left it -----------------------------------------------------

    function scenarioBooks() {
        if (M.scenario === 'empty') {
            return [];
        }
        var books = MockFixtures.library.slice();
        if (M.scenario === 'many') {
            for (var i = 1; i <= 5; i++) {
                books.push({ sku: 'extra-' + i, fields: {
                    TITLE: 'Dizionario tematico ' + i, STATUS: String(i % 4), VISIBLE: '1', SUBTITLE: 'Volume ' + i,
                    AUTHOR: 'Autori vari', LANG: 'Italiano', YEAR: '202' + i, COVER: '', ORDER: String(10 + i),
                    SOURCELANGUAGEID: 'it'
                } });
            }
        }
        return books;
    }

    M.seedStatements = function () {
        var list = [
            ['CREATE TABLE IF NOT EXISTS SYSTEM (ID INTEGER PRIMARY KEY, REFBOOK VARCHAR(100), VARIABLE VARCHAR(100), VALUE VARCHAR(100))'],
            ['DELETE FROM SYSTEM']
        ];
        if (params.fresh !== undefined) {
            ['BOOKMARK', 'FAVORITE', 'NOTE'].forEach(function (t) {
                list.push(['CREATE TABLE IF NOT EXISTS ' + t + ' (DATE TIMESTAMP, IDBOOK TEXT, ID INTEGER PRIMARY KEY, REF TEXT, NOTE TEXT)']);
                list.push(['DELETE FROM ' + t]);
            });
        }
        MockFixtures.systemRows(scenarioBooks(), M.scenario === 'nologin' ? '' : 'mario.rossi').forEach(function (r) {
            list.push(['INSERT INTO SYSTEM (ID, REFBOOK, VARIABLE, VALUE) VALUES (?, ?, ?, ?)', [r.ID, r.REFBOOK, r.VARIABLE, r.VALUE]]);
        });
        return list;
    };

    M.db = function () {
        return window.openDatabase('zenta', '1.0', 'ZENTA DATABASE', 10485760);
    };

    // Runs statements in one transaction of the page's database; done(error).
    M.sql = function (statements, done) {
        M.db().transaction(function (tx) {
            statements.forEach(function (st) {
                tx.executeSql(st[0], st[1] || []);
            });
        }, function (e) {
            if (done) { done(e); }
        }, function () {
            if (done) { done(null); }
        });
    };

    // Changes one dictionary's STATUS as the installation does.
    M.setStatus = function (sku, status, done) {
        M.sql([['UPDATE SYSTEM SET VALUE = ? WHERE VARIABLE = ? AND REFBOOK = ?', [status, 'STATUS', sku]]], done);
    };

    if (params.noseed === undefined) {
        if (M.usesMemoryDatabase) {
            // Synchronously, so the page reads it on its first transaction.
            M.seedStatements().forEach(function (st) { memory.exec(st[0], st[1]); });
            persist();
        } else {
            M.sql(M.seedStatements());
        }
    }

    // ---- Scenes for screenshots ------------------------------------------------------------

    M.scenes = {
        download: function () {
            M.autoDownload = false;
            var b = document.querySelector('[data-action=download]');
            if (b) {
                b.click();
                M.progress('onDownload', 42, '5.0');
            }
        },
        logout: function () { document.getElementById('logout').click(); },
        syncfail: function () {
            run('messageDialog("Si è verificato un problema durante la sincronizzazione dei tuoi acquisti!<br/>Ti invitiamo a riprovare più tardi")');
        },
        loginerror: function () {
            document.getElementById('username').value = 'mario.rossi';
            document.getElementById('password').value = 'sbagliata';
            document.querySelector('button[type=submit]').click();
        },
        casa: function () { Vocalume.dictionary.search('casa', '0'); },
        fulltext: function () { Vocalume.dictionary.search('acqua', '2'); },
        note: function () {
            Vocalume.dictionary.search('casa', '0');
            setTimeout(function () { document.getElementById('note').click(); }, 800);
        },
        saved: function () {
            Vocalume.dictionary.search('casa', '0');
            setTimeout(function () {
                document.getElementById('fav').click();
                setTimeout(function () { document.getElementById('open-saved').click(); }, 400);
            }, 800);
        }
    };
    if (params.scene && M.scenes[params.scene]) {
        window.addEventListener('load', function () {
            setTimeout(M.scenes[params.scene], 300);
        }, false);
    }

    return M;
}());
