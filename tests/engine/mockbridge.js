// Stands in for native code: publishes QtJavascriptInteraction (and VocalumeNative beside it),
// records every call, answers with the SignalQt statements native code evaluates and seeds the
// SYSTEM table. Page address options: delay=<ms> before an answer, idbook=<sku>, nativo=0 (no
// VocalumeNative), voci=<ids> (the languages the voices speak, comma-separated; English and
// Italian when not given). The password it accepts is "segreta". Plain ES5.

var MockBridge = (function () {
    'use strict';

    var params = {};
    window.location.search.replace(/^\?/, '').split('&').forEach(function (p) {
        var kv = p.split('=');
        if (p) {
            params[decodeURIComponent(kv[0])] = decodeURIComponent(kv[1] || '');
        }
    });
    var delay = params.delay ? parseInt(params.delay, 10) : 120;

    // sku|STATUS|VISIBLE|ORDER|COVER|TITLE|SUBTITLE|AUTHOR|YEAR|LANG|SOURCELANGUAGEID (lat-ita: installed, but no
    // longer listed by the account)
    var BOOKS = [
        'ita-base|1|1|1|ita-base.jpg|Dizionario della lingua italiana|Edizione compatta con esempi d\'uso|Laura Benedetti|2024|Italiano|it',
        'ing-ita|0|1|2|http://127.0.0.1/covers/ing-ita.jpg|Dizionario inglese-italiano|Italiano-inglese|Marco Ferri|2023|Inglese|en',
        'fra-ita|2|1|3|fra-ita.jpeg|Dizionario <i>francese</i>-italiano|Nuova edizione|Chiara Dumas|2025|Francese|fr',
        'sin-con|3|1|4|sin-con.png|Sinonimi e contrari|Con l\'indice delle parole affini|Paolo Greco|2022|Italiano|it',
        'lat-ita|1|0|5|lat-ita.jpg|Vocabolario latino-italiano||Anna Russo|2019|Latino|la'
    ];
    var FIELDS = ['STATUS', 'VISIBLE', 'ORDER', 'COVER', 'TITLE', 'SUBTITLE', 'AUTHOR', 'YEAR', 'LANG', 'SOURCELANGUAGEID'];

    // id|headword|inflected forms|scopes|full-text keywords|grammar|body
    var ENTRIES = [
        'IT01|acqua|acque|Chimica|acqua liquido|s.f.|Liquido trasparente, senza odore né sapore.',
        'IT02|albero|alberi|Botanica|albero pianta|s.m.|Pianta con fusto legnoso.',
        'IT03|andare|vado va andrò andato|||v.intr.|Muoversi da un luogo verso un altro.',
        'IT04|casa|case|Architettura|casa edificio|s.f.|Edificio destinato ad abitazione. Vedi anche ' +
            '<a href="#IT05">casale</a> e la <a href="http://example.org/casa">scheda illustrata</a>.',
        'IT05|casale|casali|Architettura|casale casa|s.m.|Gruppo di case rurali.',
        'IT06|casalingo|casalinga||casalingo casa|agg.|Della casa, fatto in casa.',
        'IT07|cascata|cascate|Geografia|cascata acqua|s.f.|Salto d\'acqua di un fiume.',
        'IT08|città||Geografia|citta centro|s.f.|Centro abitato di notevole estensione.',
        'IT09|fiume|fiumi|Geografia|fiume acqua|s.m.|Corso d\'acqua perenne.',
        'IT10|l\'altroieri|||altroieri|avv.|Il giorno prima di ieri.',
        'IT11|luna|lune|Astronomia|luna|s.f.|Il satellite naturale della Terra.',
        'IT12|mare|mari|Geografia|mare acqua|s.m.|La grande distesa d\'acqua salata.',
        'IT13|sale|sali|Chimica|sale|s.m.|Sostanza bianca cristallina.',
        'IT14|sole|soli|Astronomia|sole|s.m.|La stella intorno a cui gira la Terra.',
        'IT15|zucchero|zuccheri|Chimica|zucchero|s.m.|Sostanza dolce, cristallina.',
        'IT16|escoriazione|||escoriazione|s.f.|Lieve lesione della pelle.',
        'IT17|uscire|esco esci esce|||v.intr.|Andare fuori.',
        'IT18|Esco|||esco|n.pr.|Fiume del Lazio.',
        'IT19|Città|||citta|n.pr.|Città del Capo, in Sudafrica.',
        'IT20|città|||citta|s.f.|L\'insieme dei cittadini.'
    ];

    var words = function (s) { return s ? s.split(' ') : []; };
    var scopes = ['Architettura', 'Astronomia', 'Botanica', 'Chimica', 'Geografia'];
    var entries = [];
    // The dictionary's entries, with `extra` plain headwords prova001... added for paging and the
    // lines of `more`. A line whose grammar is "→ <headword>" is another name of that entry, as the
    // dictionaries store one: its id and file are the entry's.
    function useEntries(extra, more) {
        var list = ENTRIES.concat(more || []);
        for (var i = 1; i <= extra; i++) {
            list.push('XP' + i + '|prova' + ('00' + i).slice(-3) + '|||prova|s.f.|Voce di prova numero ' + i + '.');
        }
        entries = list.map(function (line) {
            var f = line.split('|');
            var alias = /^\u2192 /.test(f[5]);
            return { id: f[0], word: f[1], forms: words(f[2]), scopes: words(f[3]), keys: words(f[4]), gram: f[5],
                body: f[6], file: (alias ? f[5].charAt(2) : f[1].charAt(0)) + '.html', alias: alias };
        }).sort(function (a, b) {
            var x = a.word.toLowerCase();
            var y = b.word.toLowerCase();
            return x !== y ? (x < y ? -1 : 1) : (a.id < b.id ? -1 : 1);
        });
    }
    useEntries(0);

    // Lower case, and Italian without accents, as the dictionaries' normalised headwords are.
    function normalize(lang, text) {
        text = text.toLowerCase();
        return lang !== 'it' ? text : text.replace(/[àèéìòù]/g, function (c) { return 'aeeiou'.charAt('àèéìòù'.indexOf(c)); });
    }
    var its = function (word) { return function (e) { return e.word === word; }; };
    var not = function (f) { return function (e) { return !f(e); }; };

    // Headwords that begin with the word or have it as an inflected form; the first page carries
    // the exact matches on top of its related entries, as native code does. Full text: entries
    // with the keyword (in the scope), the one whose headword it is first.
    function find(word, full, scope, start, count) {
        var n = normalize('it', word);
        var hits = entries.filter(full ? function (e) {
            return e.keys.indexOf(n) >= 0 && (!scope || e.scopes.indexOf(scopes[scope - 1]) >= 0);
        } : function (e) { return normalize('it', e.word).indexOf(n) === 0 || e.forms.indexOf(word) >= 0; });
        var top = full || !start ? hits.filter(its(word)) : [];
        var rest = hits.filter(not(its(word)));
        return { tot: hits.length, rows: full ? top.concat(rest).slice(start, start + count) :
            top.concat(rest.slice(start, start + count)) };
    }

    var M = { calls: [], statements: [], held: [], files: {}, fileTrouble: null, downloadSizes: {}, downloadStates: {},
        keptDownloads: {}, desktopTheme: 'chiaro', selectionLookup: 'finestra', useEntries: useEntries, scopes: scopes };

    M.run = function (statement) {
        M.statements.push(statement);
        (0, eval)(statement);
    };

    // `quote` is the quote around the literal: native code writes some answers in double quotes.
    function answer(callback, literal, intermediate, quote) {
        quote = quote || '\'';
        M.run('SignalQt(\'' + callback + '\', ' + quote + literal + quote + (intermediate ? ', \'true\'' : '') + ')');
    }

    // A search item: fields backslash-apostrophe quoted, apostrophes in the text as &apos;.
    function item(e) {
        var q = function (s) { return '\\\'' + s.replace(/'/g, '&apos;') + '\\\''; };
        return '{idzenta: ' + q(e.id) + ', word: ' + q(e.word) + ', file: ' + q(e.file) + ', omo: ' + q('') + ', hw: ' + q(e.gram) + '}';
    }
    var items = function (tot, rows) { return '{tot:' + tot + ',result: [' + rows.map(item).join(',') + ']'; };

    // While M.holdAnswers is set, answers wait in order until M.releaseAnswers(), as they do
    // behind a slow search in native code.
    M.releaseAnswers = function () {
        M.holdAnswers = false;
        M.held.splice(0).forEach(function (fn) { fn(); });
    };
    var later = function (fn) { setTimeout(function () { return M.holdAnswers ? M.held.push(fn) : fn(); }, delay); };

    M.progress = function (callback, percent, size) {
        answer(callback, '{result:false,progress:"' + percent + '",size:"' + size + '"}', true);
    };
    M.fail = function (callback, message) { answer(callback, '{result:false,error:"' + message.replace(/'/g, '&apos;') + '"}'); };
    // Installation marks the dictionary installed before the final answer.
    M.finish = function (callback, sku) {
        M.sql([['UPDATE SYSTEM SET VALUE = ? WHERE VARIABLE = ? AND REFBOOK = ?', ['1', 'STATUS', sku]]], function () {
            answer(callback, '{result:true,error:\\\'\\\',progress:\\\'100\\\'}');
        });
    };

    var slots = {
        setUsernamePassword: function (user, password, callback) {
            later(function () {
                answer(callback, password === 'segreta' ? '{result:true,error:""}' : '{result:false,error:"Impossibile ' +
                    'eseguire l\\\'accesso. Controlla i dati inseriti oppure effettua la registrazione."}');
            });
        },
        getParameter: function (name) { return params[name] || ''; },
        getNormalized: normalize,
        getWords: function (sku, prefix, from, count, lang, callback) {
            later(function () {
                var all = entries.filter(function (e) { return e.word.indexOf(prefix.toLowerCase()) === 0; });
                answer(callback, items(all.length, all.slice(+from, +from + +count)) + '}');
            });
        },
        search: function (sku, word, type, scope, start, count, lang, callback) {
            later(function () {
                var r = find(word.toLowerCase(), type === '2', +scope, +start, +count);
                answer(callback, items(r.tot, r.rows) + ', isLemmatizzata:' + (type !== '2') + '}');
            });
        },
        // Answered while the call is still running; a file that cannot be read gets no answer.
        getHtml: function (sku, id, file, callback) {
            var e = entries.filter(function (x) { return x.id === id && x.file === file && !x.alias; })[0];
            if (file !== 'missing.html') {
                answer(callback, '{html:\'' + encodeURIComponent(e ? '<div id="' + e.id + '" class="voce"><p class="lemma"><b>' +
                    e.word + '</b></p><span class="gram">' + e.gram + '</span><p>1. ' + e.body + '</p></div>' : '')
                    .replace(/'/g, '%27') + '\'}', false, '"');
            }
        },
        getScopes: function (sku, callback) {
            answer(callback, '{tot:' + scopes.length + ', result:[' + scopes.map(function (s, i) {
                return '{id:' + (i + 1) + ', nome:\'' + s + '\'}';
            }).join(', ') + ']}', false, '"');
        }
    };
    var nothing = function () {};
    'loadUrl onLogout openLink purchase synchronize'.split(' ').forEach(function (name) {
        slots[name] = nothing;
    });
    // A cancel removes what the last download asked for kept, as native code does.
    var lastDownload = '';
    slots.download = function (sku) { lastDownload = sku; };
    slots.cancelDownload = function () { delete M.keptDownloads[lastDownload]; };

    // Files "chosen" by the user live in M.files; M.fileTrouble, when set, is what native code
    // answers instead ({result:'failed'|'unreadable'|'tooBig',...}).
    function fileAnswer(result, details) {
        details.result = result;
        return JSON.stringify(M.fileTrouble || details);
    }
    // Headwords behind suggestions are "read" as soon as the page asks, unless a test holds them
    // back (M.forgetHeadwords) until M.releaseHeadwords.
    var headwordsRead = {};
    var ready = null; // { sku, lang, callback } of the last prepareSuggestions
    M.forgetHeadwords = function () {
        headwordsRead = {};
        M.holdHeadwords = true;
    };
    M.releaseHeadwords = function (sku, lang) {
        M.holdHeadwords = false;
        headwordsRead[sku] = true;
        if (ready && ready.sku === sku && ready.lang === lang) {
            answer(ready.callback, '{result:true}');
        }
    };
    function closeTo(word) {
        var key = normalize('it', word);
        return entries.filter(function (e) {
            var w = normalize('it', e.word);
            return w.length === key.length && w.split('').filter(function (c, i) { return c !== key.charAt(i); }).length === 1;
        }).map(function (e) { return e.word; });
    }
    var voices = params.voci === undefined ? ['en', 'it'] : params.voci.split(',').filter(Boolean);
    var services = {
        // The languages voices speak, told later; speaking one is heard as the call itself.
        prepareSpeech: function (callback) {
            later(function () { answer(callback, '{result:true,languages:' + JSON.stringify(voices) + '}'); });
        },
        speak: function (text, lang) { return voices.indexOf(lang) >= 0; },
        saveTextFile: function (name, text) {
            M.files['appunti.json'] = text;
            return fileAnswer('saved', { path: '/home/mario/appunti.json' });
        },
        openTextFile: function () {
            return fileAnswer('opened', { path: '/home/mario/appunti.json', text: M.files['appunti.json'] });
        },
        // Cards for Anki: the file "written" counts the rows handed over; AnkiConnect answers
        // M.ankiAnswer (a literal), by default one card added.
        exportAnkiCards: function (rows, callback) {
            var outcome = fileAnswer('saved', { path: '/home/mario/schede-vocalume.txt', count: JSON.parse(rows).length });
            later(function () { answer(callback, outcome); });
        },
        sendToAnki: function (rows, callback) {
            later(function () { answer(callback, M.ankiAnswer || '{result:true,added:1,present:0}'); });
        },
        copyText: nothing,
        // The desktop's theme as native code reads it; a test changes M.desktopTheme and then
        // runs temaDesktop() as native code does.
        desktopTheme: function () { return M.desktopTheme; },
        // Where a word selected elsewhere opens, as native code keeps it.
        selectionLookup: function () { return M.selectionLookup; },
        setSelectionLookup: function (choice) { M.selectionLookup = choice; },
        printEntry: nothing,
        exportEntryPdf: function (heading) {
            return fileAnswer('saved', { path: '/home/mario/' + heading + '.pdf' });
        },
        // Rows of the whole index next to a place (a word, or the k of a row), in order.
        indexRows: function (sku, place, after, count) {
            var key = /^\[/.test(place) ? JSON.parse(place) : [place.toLowerCase(), -1];
            var rows = entries.map(function (e, i) {
                return { idzenta: e.id, word: e.word, file: e.file, omo: '', hw: e.gram, k: [e.word.toLowerCase(), i, 0] };
            });
            var before = function (r) { return r.k[0] < key[0] || (r.k[0] === key[0] && r.k[1] < key[1]); };
            return JSON.stringify(after === '1' ? rows.filter(function (r) { return !before(r) && r.k[1] !== key[1]; }).slice(0, +count) :
                rows.filter(before).slice(-count));
        },
        // The callback hears each time this dictionary's headwords are read.
        prepareSuggestions: function (sku, lang, callback) {
            ready = { sku: sku, lang: lang, callback: callback };
            setTimeout(function () { return M.holdHeadwords || M.releaseHeadwords(sku, lang); }, 0);
        },
        downloadSize: function (sku) { return M.downloadSizes[sku] ? String(M.downloadSizes[sku]) : ''; },
        downloadStates: function () { return JSON.stringify(M.downloadStates); },
        keptDownloads: function () { return JSON.stringify(M.keptDownloads); },
        // A pause keeps the transfer at 30% of 5 MB.
        pauseDownload: function (sku) {
            M.keptDownloads[sku] = { state: 'paused', percent: 30, size: '5.0', bytes: 5242880 };
            return true;
        },
        discardDownload: function (sku) { return delete M.keptDownloads[sku]; },
        // The headwords as long as the word and one letter apart from it; null while not read.
        suggest: function (sku, word) {
            return headwordsRead[sku] ? JSON.stringify(closeTo(word)) : 'null';
        },
        // Every dictionary named searched at once (each holds this one's entries): the last
        // answers first, as a smaller dictionary can.
        searchEach: function (word, type, books, count) {
            JSON.parse(books).reverse().forEach(function (b) {
                slots.search(b.sku, word, type, '', '0', count, b.lang, b.callback);
            });
        },
        // The same for every dictionary named (each holds this one's entries), answered later.
        suggestEverywhere: function (word, books, callback) {
            later(function () {
                answer(callback, '{result:true,words:[' + closeTo(word).map(function (w) { return '"' + w + '"'; }).join(',') + ']}');
            });
        }
    };

    // Every call is recorded, its arguments as text.
    function recorded(methods) {
        var out = {};
        Object.keys(methods).forEach(function (name) {
            out[name] = function () {
                var args = Array.prototype.slice.call(arguments).map(String);
                M.calls.push([name, args]);
                return methods[name].apply(null, args);
            };
        });
        return out;
    }
    window.QtJavascriptInteraction = recorded(slots);
    if (params.nativo !== '0') {
        window.VocalumeNative = recorded(services);
    }

    // The arguments of every call of one method, in order, and of its last call (null: none).
    M.callsOf = function (name) { return M.calls.filter(function (x) { return x[0] === name; }).map(function (x) { return x[1]; }); };
    M.lastCall = function (name) { return M.callsOf(name).pop() || null; };

    // Runs statements [[sql, args], ...] in one transaction of the page's database; done(error).
    M.sql = function (statements, done) {
        window.openDatabase('zenta', '1.0', 'ZENTA DATABASE', 10485760).transaction(function (tx) {
            statements.forEach(function (st) { tx.executeSql(st[0], st[1] || []); });
        }, function (e) { return done && done(e); }, function () { return done && done(null); });
    };

    // SYSTEM as native code leaves it, queued before any transaction of the page's own scripts.
    var seed = [['CREATE TABLE IF NOT EXISTS SYSTEM (ID INTEGER PRIMARY KEY, REFBOOK VARCHAR(100), VARIABLE VARCHAR(100), ' +
        'VALUE VARCHAR(100))'], ['DELETE FROM SYSTEM']];
    var system = [['SYSTEM', 'LOGIN', 'TRUE'], ['SYSTEM', 'USERNAME', 'mario.rossi']];
    BOOKS.forEach(function (line) {
        var f = line.split('|');
        FIELDS.forEach(function (name, i) { system.push([f[0], name, f[i + 1]]); });
    });
    M.sql(seed.concat(system.map(function (r, i) {
        return ['INSERT INTO SYSTEM (ID, REFBOOK, VARIABLE, VALUE) VALUES (?, ?, ?, ?)', [i + 1].concat(r)];
    })));

    return M;
}());
