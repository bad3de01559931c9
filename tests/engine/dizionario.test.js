// Dictionary page: searches, scopes, the index, the entry view and the reader's own tables,
// against answers built the way native code builds them. Each test is a table of rows
// [label, action, what the page then shows, by the names of P] run by PageTest's rows.
// query: idbook=ita-base&delay=20

(function () {
    'use strict';

    var $ = PageTest.$;
    var textsOf = PageTest.textsOf;
    var key = PageTest.key;
    var M = MockBridge;
    var V = Vocalume;
    var D = Vocalume.dict; // the dictionary page's own state, for a third installed dictionary
    var both = ['Dizionario della lingua italiana', 'Dizionario <i>francese</i>-italiano']; // a store's title, shown as text
    var calls = PageTest.calls;

    // The texts of a list's items, null while it waits for an answer.
    var listed = function (list, selector) { return $(list).querySelector('.spinner') ? null : textsOf(selector || '.item .w', list); };

    // Probes of the texts `selector` finds in `root`, as a list or joined.
    var texts = function (selector, root) { return function () { return textsOf(selector, root); }; };
    var text = function (selector, root) { return function () { return textsOf(selector, root).join(''); }; };
    var P = {
        results: function () { return listed('results'); },
        groups: function () { return listed('results', '.group'); },
        current: texts('.is-current .w', 'results'), badges: texts('.item .exact', 'results'), sups: texts('.item sup', 'results'),
        aliases: texts('.item .alias', 'results'),
        // The parts of speech the entries' own text shows (those their heading shows are hidden).
        grams: function () {
            return Array.prototype.filter.call(document.querySelectorAll('#entry .voce > .gram'), function (g) {
                return !g.hasAttribute('hidden');
            }).map(function (g) { return g.textContent; });
        },
        dialogTitle: text('.dialog .dialog-title'),
        status: text('.list-status', 'results'), count: function () { return $('results-count').textContent; },
        // The headword of the entry in focus, as its own text (once read) gives it.
        entry: text('.blocco.is-current .lemma b', 'entry'),
        label: function () { return $('entry-word').textContent; },
        heads: texts('.blocco-testa', 'entry'), sections: texts('.sezione', 'entry'), marks: texts('mark.hit', 'entry'),
        welcome: function () { return $('entry-view').hasAttribute('hidden') && !$('welcome').hasAttribute('hidden'); },
        q: function () { return $('q').value; },
        scopeOff: function () { return $('scope').disabled; },
        kind: function () { return document.querySelector('[name=mode]:checked').value; },
        // The row's searches: their words; [word, kind, scope, start]; [dictionary, word, language, callback].
        sent: function (t) { return calls(t, 'search').map(function (a) { return a[1]; }); },
        asked: function (t) { return calls(t, 'search').map(function (a) { return a.slice(1, 5); }); },
        // Searched one at a time or every dictionary at once, in the order asked.
        books: function (t) {
            return MockBridge.calls.slice(t.since).reduce(function (out, c) {
                var a = c[1];
                return out.concat(c[0] === 'search' ? [[a[0], a[1], a[6], a[7].split('.')[0]]] : c[0] !== 'searchEach' ? [] :
                    JSON.parse(a[2]).map(function (b) { return [b.sku, a[0], b.lang, b.callback.split('.')[0]]; }));
            }, []);
        },
        read: function (t) { return calls(t, 'getHtml').length; },
        words: function () { return listed('words'); },
        target: text('.is-target', 'words'), suggested: texts('[data-suggest]', 'results'), menu: texts('.menu button'),
        pages: function () { return [$('results-info').textContent, $('results-prev').disabled, $('results-next').disabled]; },
        nav: function () { return [$('entry-back').disabled, $('entry-forward').disabled]; },
        dialog: PageTest.dialogText,
        saved: function () { return listed('saved-list'); },
        savedStatus: text('.list-status', 'saved-list'),
        pressed: function () { return [$('fav').getAttribute('aria-pressed'), $('bookmark').getAttribute('aria-pressed')]; },
        // The NOTE column of the rows the page read from each page table `want` names.
        kept: function (t, want) {
            var out = {};
            Object.keys(want).forEach(function (table) { out[table] = V.dictionary.saved[table].map(function (r) { return r.NOTE; }); });
            return out;
        },
        note: text('.is-current .entry-note:not([hidden])', 'entry'),
        // The "Ascolta" buttons, by what they read; what was read aloud, as [text, language].
        listen: function () {
            return Array.prototype.map.call(document.querySelectorAll('.listen'), function (b) { return b.getAttribute('aria-label'); });
        },
        spoken: function (t) { return calls(t, 'speak'); },
        speechHint: function () { return !$('speech-hint').hasAttribute('hidden'); }
    };

    var search = function (word, type) { return function () { V.dictionary.search(word, type || '0'); }; };
    var mode = function (n) { return function () { document.getElementsByName('mode')[n].click(); }; };
    var submit = function () { $('search-form').querySelector('button[type=submit]').click(); };
    // Clicks the element with id `id`, or the n-th item of that list.
    var click = function (id, n) { return function () { (n === undefined ? $(id) : $(id).querySelectorAll('.item')[n]).click(); }; };
    var scope = function (value) { return PageTest.fill('scope', value, 'change'); };
    var everywhere = function (word) {
        return function () {
            $('q').value = word;
            $('all-books').checked = false;
            $('all-books').click();
        };
    };
    var indexAt = function (word) { return [click('tab-index'), PageTest.fill('prefix', word, 13)]; };

    // Characters typed one by one, each firing the input event a real key fires.
    function typed(text) {
        return function () {
            $('q').focus();
            $('q').value = '';
            text.split('').forEach(function (c) {
                $('q').value += c;
                PageTest.fire($('q'), 'input');
            });
        };
    }
    var open = function (id, file, word) { return function () { V.dictionary.openEntry({ idzenta: id, file: file, word: word }); }; };

    // The characters of `text` typed `ms` apart, each as the longer word; `keysDone` says when.
    var keysDone = 0;
    var keysAt = 0;
    function keysApart(text, ms) {
        return function () {
            var n = 0;
            keysDone = 0;
            (function next() {
                $('q').value = text.slice(0, ++n);
                PageTest.fire($('q'), 'input');
                if (n < text.length) {
                    setTimeout(next, ms);
                } else {
                    keysDone = Date.now();
                }
            }());
        };
    }

    // A condition true once `ms` have passed since its first call and the entry `word` shows.
    function shownFor(ms, word) {
        var at = 0;
        return function () {
            at = at || Date.now();
            return Date.now() - at > ms && (!word || P.entry() === word);
        };
    }

    // Runs statements [[sql, args], ...] on the page tables, then reads them again.
    var tables = function (statements) { return function () { M.sql(statements, function () { V.dictionary.reloadSaved(); }); }; };

    PageTest.test('opens on the dictionary named by the page parameter, scopes only for full text', function (t) {
        t.eq(document.activeElement && document.activeElement.id, 'q', 'the search box has the keys');
        t.rows(P, [['the index', null, { until: function () { return (P.words() || []).length; }, scopeOff: true, then: function () {
            // The index comes from native code, not from the bridge's word list.
            t.eq([P.words().slice(0, 3), $('dict-title').textContent, M.callsOf('getWords'), textsOf('option', 'scope').slice(0, 2)],
                [['acqua', 'albero', 'andare'], both[0], [], ['Tutti gli ambiti', 'Architettura']]);
        } }], ['scopes on for full text', mode(1), { scopeOff: false }], ['off for headwords', mode(0), { scopeOff: true }]]);
    });

    PageTest.test('searches open their first result; homographs; a new kind or scope answers at once', function (t) {
        var geo = String(M.scopes.indexOf('Geografia') + 1);
        var citta = ['città1s.f.', 'città2s.f.', 'Città3n.pr.'];
        t.rows(P, [
            ['casa', search('casa'), { entry: 'casa', results: ['casa', 'casale', 'casalingo'], current: ['casa'], badges: ['esatto'],
                sups: [], count: ' (3)' }],
            ['an inflected form', search('vado'), { entry: 'andare', results: ['andare'], current: ['andare'] }],
            ['with an apostrophe', search('l\'altro'), { entry: 'l\'altroieri', sent: ['l\'altro'] }],
            ['a word found nowhere, shown as typed', search('<i>xyz'), { results: [], welcome: true, read: 0,
                status: 'Nessun risultato per \u00ab<i>xyz\u00bb.Prova la ricerca nel testo completo.' }],
            // The related statement also brings headwords equal to the word in another case.
            ['the word, its inflected forms, then the rest', search('esco'), { entry: 'Esco',
                results: ['Esco', 'uscire', 'escoriazione'], badges: ['esatto', 'forma flessa'] }],
            // Three entries headed "città", one a proper name: numbered, told apart by their first
            // sense, shown together on one page; the index makes them one row.
            ['homographs', search('citta'), { heads: citta, label: citta[0], sups: ['1', '2', '3'], entry: 'città',
                then: function () {
                    t.eq(textsOf('.item .hint', 'results'), ['Centro abitato di notevole estensione.', 'L\'insieme dei cittadini.',
                        'Città del Capo, in Sudafrica.']);
                } }],
            ['the third in focus, nothing read again', click('results', 2), { until: true, read: 0, label: citta[2], heads: citta,
                then: function () { t.eq(textsOf('.blocco.is-current .blocco-testa', 'entry'), [citta[2]]); } }],
            ['one index row', indexAt('citt'), { target: 'città3 voci' }],
            ['it opens them all', [function () { $('words').querySelector('.is-target').click(); }, click('tab-results')],
                { heads: citta }],
            ['a full-text hit that is not a headword', search('centro', '2'), { entry: 'città', results: ['città'] }],
            ['a headword', search('acqua'), { entry: 'acqua', results: ['acqua'], marks: [] }],
            // Its own entry names it only in its hidden heading: nothing shown to mark.
            ['full text: the word marked where it shows', mode(1), { results: ['acqua', 'cascata', 'fiume', 'mare'],
                asked: [['acqua', '2', '', '0']], marks: [] }],
            ['one scope', scope(geo), { results: ['cascata', 'fiume', 'mare'], asked: [['acqua', '2', geo, '0']], entry: 'cascata',
                marks: ['acqua'] }],
            ['every scope', scope(''), { results: ['acqua', 'cascata', 'fiume', 'mare'] }],
            ['the headword again', mode(0), { results: ['acqua'], asked: [['acqua', '0', '', '0']] }]
        ]);
        var box = document.createElement('div');
        box.innerHTML = '<p>La Città, le città e <b>citt\u00e0</b>; cittadino no.</p>';
        V.highlight(box, 'citta');
        t.eq(textsOf('mark', box), ['Città', 'città', 'citt\u00e0'], 'whole words, case and accents ignored');
    });

    // Another name of an entry is stored as a row of its own whose grammar names the entry.
    PageTest.test('another name leads to its entry and says so, after the entries headed by it; one row is marked', function (t) {
        var names = ['IT12|sale|||sale|\u2192 mare|', 'IT04|dimora|||dimora|\u2192 casa|', 'IT04|casetta|||casetta|\u2192 casa|'];
        t.rows(P, [
            ['a name only', [function () { M.useEntries(0, names); }, search('dimora')], { entry: 'casa', results: ['casa'],
                aliases: ['dimora'], badges: [], label: 'casada \u00abdimora\u00bb', grams: ['s.f.'] }],
            ['a headword that is also the name of another entry', search('sale'), { heads: ['sales.m.', 'mareda \u00absale\u00bb'],
                results: ['sale', 'mare'], aliases: ['sale'], current: ['sale'], badges: ['esatto'], grams: ['s.m.'] }],
            ['the name chosen: its row alone is marked', click('results', 1), { current: ['mare'], label: 'mareda \u00absale\u00bb' }],
            ['a name and its entry in one list: the entry\'s own row alone is marked', search('cas'),
                { entry: 'casa', current: ['casa'], aliases: ['casetta'] }],
            ['by its beginning, among the other headwords', search('di'), { results: ['casa'], aliases: ['dimora'], then: function () {
                M.useEntries(0);
            } }]
        ]);
    });

    PageTest.test('read further down, the tools act on the entry in sight, which the list marks', function (t) {
        var long = new Array(120).join('Una riga della voce, lunga. ');
        var toSecond = function () {
            var second = document.querySelectorAll('#entry .blocco')[1];
            $('reader').scrollTop += second.getBoundingClientRect().top - $('reader').getBoundingClientRect().top - 60;
        };
        t.rows(P, [
            ['two long homographs', [function () {
                M.useEntries(0, ['LX1|lungo|||lungo|agg.|' + long, 'LX2|lungo|||lungo|s.m.|' + long]);
            }, search('lungo')], { label: 'lungo1agg.', current: ['lungo'], then: function () {
                t.ok($('reader').scrollHeight > $('reader').clientHeight * 2, 'the page is long');
            } }],
            ['the second read', toSecond, { label: 'lungo2s.m.', then: function () {
                t.eq(textsOf('.is-current sup', 'results'), ['2']);
                M.useEntries(0);
            } }]
        ]);
    });

    PageTest.test('looking up as you type; back and forward, by keys too, bring back the search', function (t) {
        var alt = function (code) {
            return function () { t.ok(key(document.body, code, { altKey: true }).defaultPrevented, 'Alt+' + code + ' is taken'); };
        };
        t.rows(P, [
            // One search for the whole word once typing pauses: none for each key.
            ['typing', typed('andrò'), { entry: 'andare', sent: ['andrò'], results: ['andare'] }],
            ['Enter before the pause: one search, at once', [typed('luna'), submit, submit],
                { until: shownFor(200, 'luna'), sent: ['luna'], then: function () {
                key($('q'), 27);
                t.eq($('q').value, '', 'Esc empties the box');
            } }],
            ['so', search('so'), { entry: 'sole' }],
            ['sole, typed on', search('sole'), { entry: 'sole' }],
            ['sale', search('sale'), { entry: 'sale' }],
            ['a link', open('IT05', 'c.html', 'casale'), { entry: 'casale', nav: [false, true], then: function () {
                    [[$('entry'), 76, 'q'], [$('entry-back'), 70, 'find-text']].forEach(function (c) {
                        c[0].focus();
                        key(document.body, c[1], { ctrlKey: true });
                        t.eq(document.activeElement.id, c[2], 'Ctrl+' + c[1]);
                    });
                    key($('find-text'), 27);
                } }],
            ['Alt+Left', alt(37), { entry: 'sale', nav: [false, false] }],
            ['back', click('entry-back'), { entry: 'sole' }],
            // "so" and "sole" left one step: before them comes luna.
            ['before the typed word', click('entry-back'), { entry: 'luna' }],
            ['Alt+Right', alt(39), { entry: 'sole' }],
            ['forward', alt(39), { entry: 'sale' }],
            ['forward again', click('entry-forward'), { entry: 'casale', nav: [false, true] }],
            ['zucchero, full text', search('zucchero', '2'), { entry: 'zucchero' }],
            ['back: the search box, results and kind of search', click('entry-back'), { entry: 'casale', q: 'sale', results: ['sale'],
                kind: '0' }],
            ['forward', click('entry-forward'), { entry: 'zucchero', q: 'zucchero', results: ['zucchero'], kind: '2' }],
            ['a headword search again', search('sole'), { entry: 'sole', kind: '0' }]
        ]);
    });

    PageTest.test('Ctrl+F finds text in the entries shown, each occurrence in turn, whatever its case and accents', function (t) {
        var found = function () {
            return [textsOf('mark.trovato', 'entry'), textsOf('mark.trovato.is-current', 'entry'), $('find-count').textContent];
        };
        var enter = function (shift) { PageTest.fire($('find-text'), 'keydown', { keyCode: 13, shiftKey: shift }); };
        t.rows(P, [
            ['three homographs', search('citta'), { entry: 'città', then: function () {
                t.ok(key(document.body, 70, { ctrlKey: true }).defaultPrevented, 'Ctrl+F is taken');
                t.eq(document.activeElement.id, 'find-text');
                PageTest.fill('find-text', 'citt', 'input')();
                t.eq(found(), [['citt', 'citt', 'citt', 'Citt', 'Citt'], ['citt'], '1 di 5']);
                enter(false);
                t.eq(found()[2], '2 di 5', 'Enter: the next');
                enter(true);
                enter(true);
                t.eq(found().slice(1), [['Citt'], '5 di 5'], 'Shift+Enter: the previous, round');
                key(document.body, 114);
                t.eq(found()[2], '1 di 5', 'F3: the next');
                PageTest.fill('find-text', 'zzz', 'input')();
                t.eq(found(), [[], [], 'Nessuna corrispondenza']);
                PageTest.fill('find-text', 'capo', 'input')();
                key(document.body, 80, { ctrlKey: true });
                t.eq(calls(t, 'printEntry')[0].slice(0, 2), ['città¹', both[0]], 'printed under its number');
            } }],
            ['another page is searched too', search('luna'), { entry: 'luna', then: function () {
                t.eq(found(), [[], [], 'Nessuna corrispondenza']);
                PageTest.fill('find-text', 'TERRA', 'input')();
                t.eq(found(), [['Terra'], ['Terra'], '1 di 1']);
                key($('find-text'), 27);
                t.eq([found()[0], $('find-bar').hasAttribute('hidden'), $('entry').textContent.indexOf('Terra') > 0], [[], true, true],
                    'Esc closes, the text as it was');
            } }]
        ]);
    });

    PageTest.test('text size: Ctrl with plus, minus and 0, remembered for the next start', function (t) {
        // A note and a quotation scale with the entry's text.
        var box = $('entry').appendChild(document.createElement('div'));
        box.innerHTML = '<div class="entry-note"></div><blockquote class="esempio"></blockquote>';
        var parts = [box.firstChild, box.lastChild];
        var sizes = function () { return parts.map(function (e) { return parseFloat(window.getComputedStyle(e).fontSize); }); };
        var before = sizes();
        // The zoom, the entry's font size and what is kept after each key with Ctrl.
        var states = [187, 187, 189, 48].map(function (code) {
            key(document.body, code, { ctrlKey: true });
            return [V.dictionary.zoom(), $('entry').style.fontSize, window.localStorage.getItem('vocalume.zoom'),
                sizes().map(function (x, i) { return Math.round(x / before[i] * 100); })];
        });
        $('entry').removeChild(box);
        t.eq(states, [[1.1, '18.7px', '1.1', [110, 110]], [1.25, '21.3px', '1.25', [125, 125]], [1.1, '18.7px', '1.1', [110, 110]],
            [1, '', '1', [100, 100]]]);
        t.done();
    });

    // The word `word` of the entry selected, as a double click leaves it; its middle on screen.
    function selectWord(word) {
        var walker = document.createTreeWalker($('entry'), NodeFilter.SHOW_TEXT, null, false);
        var node;
        while ((node = walker.nextNode()) && node.nodeValue.indexOf(word) < 0) { /* on */ }
        var range = document.createRange();
        range.setStart(node, node.nodeValue.indexOf(word));
        range.setEnd(node, node.nodeValue.indexOf(word) + word.length);
        window.getSelection().removeAllRanges();
        window.getSelection().addRange(range);
        var r = range.getBoundingClientRect();
        return { clientX: r.left + r.width / 2, clientY: r.top + r.height / 2 };
    }

    PageTest.test('in an entry: double click, selection and menu look words up, copy, select, print', function (t) {
        var enabled = function () {
            return Array.prototype.map.call(document.querySelectorAll('.menu button'), function (b) { return !b.disabled; });
        };
        var choose = function (label) { document.querySelectorAll('.menu button')[P.menu().indexOf(label)].click(); };
        // The mouse button goes up over `word`: the left one leaves it selected, the right one not.
        var mouseUp = function (word, button) {
            return function () {
                var at = selectWord(word);
                if (button) {
                    window.getSelection().removeAllRanges();
                }
                PageTest.fire($('entry'), 'mouseup', { button: button, clientX: at.clientX, clientY: at.clientY });
            };
        };
        var offer = function () { return textsOf('.offer').join(''); };
        t.rows(P, [
            ['cascata', search('cascata'), { entry: 'cascata' }],
            ['a double click looks the word up', function () {
                selectWord('fiume');
                PageTest.fire($('entry'), 'dblclick');
            }, { entry: 'fiume', q: 'fiume', sent: ['fiume'] }],
            ['a selection offers it', [click('entry-back'), mouseUp('fiume', 0)],
                { until: offer, then: function () { t.eq(offer(), 'Cerca \u00abfiume\u00bb'); } }],
            ['one press looks it up', function () { document.querySelector('.offer').click(); }, { entry: 'fiume', sent: ['fiume'],
                then: function () {
                    t.eq(offer(), '');
                    $('entry-back').click();
                } }],
            ['the menu on a word', mouseUp('fiume', 2), { menu: ['Copia', 'Cerca \u00abfiume\u00bb', 'Copia la voce',
                'Seleziona tutto', 'Stampa la voce...', 'Esporta la voce in PDF...'], then: function () {
                t.eq(enabled(), [false, true, true, true, true, true], 'nothing selected to copy');
                ['Copia la voce', 'Stampa la voce...', 'Esporta la voce in PDF...'].forEach(function (label) {
                    mouseUp('Salto', 2)();
                    choose(label);
                });
                t.eq(P.dialog(), 'La voce \u00abcascata\u00bb è stata esportata nel file /home/mario/cascata.pdf.');
                PageTest.dialogButton('OK').click();
                // The web view moves the selection as the right button goes down; the menu keeps it.
                selectWord('acqua');
                PageTest.fire($('entry'), 'mousedown', { button: 2 });
                window.getSelection().removeAllRanges();
                PageTest.fire($('entry'), 'contextmenu', { button: 2, clientX: 1, clientY: 1 });
                PageTest.fire($('entry'), 'mouseup', { button: 2, clientX: 1, clientY: 1 });
                t.eq([enabled()[0], P.menu()[1], window.getSelection().toString()], [true, 'Cerca \u00abacqua\u00bb', 'acqua'],
                    'a selection can be copied');
                choose('Copia');
                t.eq(calls(t, 'copyText'), [['cascata s.f.\n1. Salto d\'acqua di un fiume.'], ['acqua']]);
                var printed = calls(t, 'printEntry')[0];
                t.eq(printed.slice(0, 2), ['cascata', both[0]]);
                t.ok(printed[2].indexOf('Salto d') >= 0 && printed[2].indexOf('<script') < 0, printed[2]);
            } }],
            ['keys', function () {
                $('entry').focus();
                key(document.body, 93);
                t.eq(P.menu().length, 7, 'the menu key opens the menu, "Ascolta" for the chosen text');
                var at = function () { return P.menu().indexOf(document.activeElement.textContent); };
                var first = at();
                key(document.activeElement, 40);
                var down = at();
                key(document.activeElement, 38);
                t.eq([down, at()], [enabled().indexOf(true, first + 1), first], 'Down and Up move between its items');
                key(document.activeElement, 27);
                t.eq(P.menu(), [], 'Esc closes it');
                t.ok(key(document.body, 65, { ctrlKey: true }).defaultPrevented);
                t.eq(window.getSelection().toString(), '1. Salto d\'acqua di un fiume.', 'Ctrl+A: the entry');
                key(document.body, 80, { ctrlKey: true });
                $('entry').focus();
                key(document.body, 27);
                t.eq(document.activeElement.id, 'q', 'Esc goes back to the search box');
                key(document.body, 87, { ctrlKey: true });
                t.eq([calls(t, 'printEntry').length, calls(t, 'loadUrl')], [1, [['libreria.html']]], 'Ctrl+P prints, Ctrl+W leaves');
            }]
        ]);
    });

    PageTest.test('"Ascolta" reads a headword in its dictionary\'s language where a voice speaks it, and a chosen text ' +
        'from the menu', function (t) {
        var menuItem = function (label) {
            return function () { document.querySelectorAll('.menu button')[P.menu().indexOf(label)].click(); };
        };
        var rightClick = function (word) {
            return function () {
                var at = selectWord(word);
                PageTest.fire($('entry'), 'mouseup', { button: 2, clientX: at.clientX, clientY: at.clientY });
            };
        };
        var longText = new Array(31).join('Acqua che cade. '); // 480 characters
        t.rows(P, [
            ['an Italian headword', search('cascata'), { entry: 'cascata', listen: ['Ascolta \u00abcascata\u00bb'], speechHint: false }],
            ['pressed, it is read in Italian', click('listen'), { spoken: [['cascata', 'it']] }],
            ['homographs: one beside each heading, and beside the heading of the entry in focus', search('citt\u00e0'),
                { heads: ['citt\u00e01s.f.', 'citt\u00e02s.f.', 'Citt\u00e03n.pr.'], listen: ['Ascolta \u00abcitt\u00e0\u00bb',
                    'Ascolta \u00abcitt\u00e0\u00bb', 'Ascolta \u00abcitt\u00e0\u00bb', 'Ascolta \u00abCitt\u00e0\u00bb'] }],
            ['the word of a homograph, without its number', function () { $('entry').querySelectorAll('.listen')[2].click(); },
                { spoken: [['Citt\u00e0', 'it']] }],
            ['the voices answer again: still one button each', function () { window.onSpeechLanguages({ languages: ['en', 'it'] }); },
                { listen: ['Ascolta \u00abcitt\u00e0\u00bb', 'Ascolta \u00abcitt\u00e0\u00bb', 'Ascolta \u00abcitt\u00e0\u00bb',
                    'Ascolta \u00abCitt\u00e0\u00bb'] }],
            ['every dictionary: the French side has no voice', everywhere('luna'), { sections: both,
                listen: ['Ascolta \u00abluna\u00bb', 'Ascolta \u00abluna\u00bb'] }],
            ['asked to read in a language no voice speaks, it reads nothing', function () {
                    t.eq(Vocalume.dict.speak('lune', 'fr'), false, 'not read');
                }, { spoken: [] }],
            ['this dictionary only again', [click('all-books'), search('cascata')], { entry: 'cascata' }],
            ['a chosen text of the entry', rightClick('Salto d\'acqua'),
                { menu: ['Copia', 'Cerca \u00abSalto d\'acqua\u00bb', 'Ascolta \u00abSalto d\'acqua\u00bb', 'Copia la voce',
                    'Seleziona tutto', 'Stampa la voce...', 'Esporta la voce in PDF...'] }],
            ['read from the menu', menuItem('Ascolta \u00abSalto d\'acqua\u00bb'), { spoken: [['Salto d\'acqua', 'it']], menu: [] }],
            ['a chosen text longer than an example is not offered', [function () {
                    var body = $('entry').querySelector('.blocco-corpo');
                    body.insertBefore(document.createTextNode(longText), body.firstChild);
                }, rightClick(longText)], { menu: ['Copia', 'Cerca \u00abAcqua\u00bb', 'Copia la voce', 'Seleziona tutto', 'Stampa la voce...',
                    'Esporta la voce in PDF...'] }],
            ['in the language its markup names', [function () {
                    $('entry').querySelector('.blocco-corpo').lastChild.setAttribute('lang', 'fr');
                }, rightClick('Salto')], { menu: ['Copia', 'Cerca \u00abSalto\u00bb', 'Copia la voce', 'Seleziona tutto',
                    'Stampa la voce...', 'Esporta la voce in PDF...'] }]
        ]);
    });

    PageTest.test('nothing found: "Forse cercavi" offers the closest headwords, one press searches it', function (t) {
        var nothing = 'Nessun risultato per \u00abcaza\u00bb.';
        var unread = [M.forgetHeadwords, search('caza')];
        t.rows(P, [
            ['headwords still being read: no hint while suggestions may come', unread,
                { until: function () { return M.lastCall('suggest') && P.results(); }, suggested: [], status: nothing }],
            ['read: the list shows them', function () { M.releaseHeadwords('ita-base', 'it'); }, { suggested: ['casa'], status: nothing }],
            ['one press searches it', click('results', 0), { entry: 'casa', q: 'casa', sent: ['casa'] }],
            ['a newer search meanwhile', unread, { status: nothing, then: search('casa') }],
            ['the late suggestions do not replace newer results', null, { entry: 'casa', then: function () {
                M.releaseHeadwords('ita-base', 'it');
                t.eq([P.suggested(), P.results()], [[], ['casa', 'casale', 'casalingo']]);
            } }],
            ['nothing close', search('xyz'), { suggested: [], results: [] }]
        ]);
    });

    PageTest.test('in every installed dictionary at once: results grouped by dictionary in their order, whichever answers first',
        function (t) {
        var casa = ['casa', 'casale', 'casalingo'];
        t.rows(P, [
            ['both dictionaries', everywhere('casa'), { groups: [both[0] + ' (3)', both[1] + ' (3)'], results: casa.concat(casa),
                books: [['ita-base', 'casa', 'it', 'onSearchEverywhere'], ['fra-ita', 'casa', 'fr', 'onSearchEverywhere']],
                sections: both, entry: 'casa' }],
            ['another dictionary\'s casale opens on this page', click('results', 4), { entry: 'casale', sections: [both[1]],
                then: function () { t.ok($('all-books').checked && !calls(t, 'loadUrl').length, 'the box stays ticked'); } }],
            ['back to the page of the word', click('entry-back'), { sections: both, q: 'casa', results: casa.concat(casa) }],
            ['this dictionary only again', click('all-books'),
                { groups: [], results: casa, books: [['ita-base', 'casa', 'it', 'onSearch']] }],
            ['a newer word replaces the older, whose answers still coming are dropped', [everywhere('casa'), function () {
                $('q').value = 'sole';
            }, submit], { groups: [both[0] + ' (1)', both[1] + ' (1)'], results: ['sole', 'sole'], sections: both,
                books: [['ita-base', 'casa', 'it', 'onSearchEverywhere'], ['fra-ita', 'casa', 'fr', 'onSearchEverywhere'],
                    ['ita-base', 'sole', 'it', 'onSearchEverywhere'], ['fra-ita', 'sole', 'fr', 'onSearchEverywhere']] }],
            ['this dictionary only, sole', click('all-books'), { groups: [], results: ['sole'] }],
            ['nowhere: the closest words of every dictionary', everywhere('caza'), { groups: [],
                status: 'Nessun risultato per \u00abcaza\u00bb in nessun dizionario.', suggested: ['casa'],
                then: function () { t.eq(M.lastCall('suggestEverywhere').slice(0, 2), ['caza', JSON.stringify([
                    { sku: 'ita-base', lang: 'it' }, { sku: 'fra-ita', lang: 'fr' }])]); } }],
            ['one press searches it everywhere', click('results', 0), { groups: [both[0] + ' (3)', both[1] + ' (3)'], q: 'casa' }],
            ['this dictionary only, sole again', [function () { $('q').value = 'sole'; }, click('all-books')],
                { groups: [], results: ['sole'] }],
            // Long enough for the other dictionary to have been asked and to have answered.
            ['left while its first answer is awaited: the later answers change nothing', [everywhere('casa'), click('all-books')],
                { until: shownFor(300, 'casa'), groups: [], results: casa,
                books: [['ita-base', 'casa', 'it', 'onSearchEverywhere'], ['fra-ita', 'casa', 'fr', 'onSearchEverywhere'],
                    ['ita-base', 'casa', 'it', 'onSearch']] }],
            // The other dictionary answers first: nothing shows until the starting one has answered.
            ['a later dictionary\'s answer waits for the first one\'s', [function () { M.holdAnswers = true; }, everywhere('casa')],
                { until: function () { return M.held.length === 2; }, then: function () {
                    M.held.shift()();
                    var shown = [P.groups() || [], P.sections()];
                    M.releaseAnswers();
                    t.eq(shown, [[], []], 'nothing before the first dictionary');
                } }],
            ['then both, each in its place', function () {}, { groups: [both[0] + ' (3)', both[1] + ' (3)'], sections: both }],
            ['this dictionary only once more', click('all-books'), { groups: [], results: casa }],
            // Answered after the plain search that replaced it: drawn nowhere.
            ['every dictionary, then this one only, answered in reverse', [function () { M.holdAnswers = true; },
                everywhere('sole'), click('all-books')], { until: function () { return M.held.length === 3; }, then: function () {
                    M.held.pop()();
                    M.releaseAnswers();
                } }],
            ['the plain results stay', null, { until: shownFor(300, 'sole'), groups: [], results: ['sole'] }],
            // A third dictionary, answering after the first and before the second: each still in its place.
            ['three dictionaries answered first, third, second', [function () {
                D.installed.push({ sku: 'sin-con', title: 'Sinonimi e contrari', lang: 'it', dest: '' });
                M.holdAnswers = true;
            }, everywhere('luna')], { until: function () { return M.held.length === 3; }, then: function () {
                M.held.splice(2, 1)[0]();
                M.held.shift()();
                M.releaseAnswers();
            } }],
            ['listed in the order searched', null, { groups: [both[0] + ' (1)', both[1] + ' (1)', 'Sinonimi e contrari (1)'],
                then: function () {
                    D.installed.pop();
                    t.eq(Object.keys(window.onSearchEverywhere).concat(Object.keys(window.onSearch)), [],
                        'no answer is awaited any more: nothing is kept for it');
                } }],
            // The first key is searched at once; those that follow while it runs wait for a pause.
            ['keys while every dictionary is searched', [function () {
                M.holdAnswers = true;
                keysAt = M.callsOf('searchEach').length;
            }, everywhere('s'), keysApart('sole', 15)], { until: function () { return keysDone && Date.now() - keysDone > 200; },
                then: function () {
                    var words = M.callsOf('searchEach').slice(keysAt).map(function (a) { return a[0]; });
                    M.releaseAnswers();
                    t.ok(words.length < 5 && words[words.length - 1] === 'sole', 'not a search for each key: ' + words);
                } }],
            ['sole everywhere', null, { groups: [both[0] + ' (1)', both[1] + ' (1)'] }],
            ['this dictionary only at last', click('all-books'), { groups: [], results: ['sole'] }]
        ]);
    });

    // Native code answers in the order it was asked: the slow request first, then the newer one
    // the page sent once it had waited long enough.
    PageTest.test('answers reach their own request: errors, late, replaced and overtaken ones', function (t) {
        var error = 'Si è verificato un errore durante la ricerca.';
        var casaThenSole = [function () { M.holdAnswers = true; }, search('casa'), PageTest.after(16000, search('sole'))];
        var release = { until: function () { return M.held.length === 2; }, then: M.releaseAnswers };
        t.rows(P, [
            ['a failed count', [search('casa'), function () {
                M.run('SignalQt(\'' + M.lastCall('search')[7] + '\', \'{tot:-1,result: [], isLemmatizzata:true}\')');
            }], { status: error }],
            ['the late answer nobody waits for', null, { until: function () {
                return /onSearch\.\w+', '\{tot:3/.test(M.statements[M.statements.length - 1]);
            }, status: error }],
            ['a newer search replaces one still waiting', [search('sale'), search('sole'), search('luna')],
                { results: ['luna'], sent: ['sale', 'luna'] }],
            ['casa, then sole', casaThenSole, release],
            ['sole listed', null, { results: ['sole'], entry: 'sole' }],
            ['in every dictionary: casa\'s answers come after sole was asked', [function () {
                $('all-books').checked = true;
                M.holdAnswers = true;
            }, search('casa'), search('sole')], { until: function () { return M.held.length === 4; }, then: M.releaseAnswers }],
            ['sole in both', null, { groups: [both[0] + ' (1)', both[1] + ' (1)'], results: ['sole', 'sole'] }],
            ['this dictionary only again', click('all-books'), { groups: [], results: ['sole'] }]
        ]);
    });

    PageTest.test('results page by twenty; the index is one list that opens at a word and grows as it scrolls', function (t) {
        var scroll = function (top) { return function () { $('words').scrollTop = top === 'end' ? $('words').scrollHeight : top; }; };
        M.useEntries(60);
        t.rows(P, [
            ['page 1', search('prova'), { pages: ['1\u201320 di 60', true, false] }],
            ['page 2', click('results-next'), { pages: ['21\u201340 di 60', false, false], asked: [['prova', '0', '', '20']] }],
            ['page 3', click('results-next'), { pages: ['41\u201360 di 60', false, true] }],
            ['back', click('results-prev'), { pages: ['21\u201340 di 60', false, false] }],
            ['the index at a typed word: five words before, fifty from it', indexAt('prova'), { target: 'prova001s.f.', then: function () {
                    t.eq(calls(t, 'indexRows').slice(0, 2), [['ita-base', 'prova', '0', '5', 'it'], ['ita-base', 'prova', '1', '50', 'it']]);
                    t.eq(P.words().slice(0, 6), ['escoriazione', 'fiume', 'l\'altroieri', 'luna', 'mare', 'prova001'], 'the neighbours first');
                    t.eq(P.words().length, 55);
                } }],
            ['scrolled down: the rows after', scroll('end'), { until: function () { return P.words().length === 78 - 9; },
                then: function () {
                    t.eq([calls(t, 'indexRows')[0].slice(2), P.words().slice(-1)], [['1', '50', 'it'], ['zucchero']]);
                } }],
            ['scrolled up: the rows before, the words in view stay in place', scroll(0), {
                until: function () { return P.words().length === 78; }, then: function () {
                    t.eq([calls(t, 'indexRows')[0].slice(2), P.words()[0]], [['0', '50', 'it'], 'acqua']);
                    t.ok($('words').scrollTop > 0);
                } }],
            ['letter z', [function () { M.useEntries(0); }, function () { $('letters').querySelector('[data-letter=z]').click(); }],
                { target: 'zuccheros.m.' }]
        ]);
    });

    PageTest.test('entries come from getHtml; links follow their kind; unreadable ones say so', function (t) {
        var status = function () { return textsOf('.blocco-stato', 'entry').join(''); };
        t.rows(P, [
            ['zucchero', function () { $('words').querySelector('.is-target').click(); }, { entry: 'zucchero' }],
            ['casa', search('casa'), { entry: 'casa' }],
            ['a web link and an entry link', function () {
                var links = $('entry').querySelectorAll('a');
                links[1].click();
                links[0].click();
            }, { entry: 'casale', then: function () { t.eq(calls(t, 'openLink'), [['http://example.org/casa']]); } }],
            ['an unknown entry', open('IT99', 'c.html', 'assente'), { until: function () {
                return status() === 'Voce non disponibile in questo dizionario.';
            } }],
            ['an unreadable one', open('IT04', 'missing.html', 'casa'), { until: function () {
                return status().indexOf('Impossibile aprire la voce.') === 0;
            } }]
        ]);
    });

    PageTest.test('entry content is copied without scripts or handlers', function (t) {
        var box = document.createElement('div');
        V.renderEntry(box, '<div id="x"><img src="img/a.png" onerror="window.__bad=1"/>' +
            '<a href="java&#9;script:window.__bad=2">x</a><script>window.__bad=3;<\/script><span class="e"/>dopo' +
            '<img src="http://example.org/b.png" usemap="#m"/><map name="m"><area href="javascript:window.__bad=4"/></map></div>',
            'books/ita-base/');
        var imgs = box.querySelectorAll('img');
        t.eq([imgs[0].getAttribute('src'), imgs[1].getAttribute('src'), imgs[1].getAttribute('usemap')],
            ['books/ita-base/img/a.png', null, null], 'nothing from the network, no image map');
        t.eq([imgs[0].getAttribute('onerror'), box.querySelector('a').getAttribute('href'), box.querySelectorAll('map, area, script').length],
            [null, null, 0]);
        t.eq(box.querySelector('span.e').childNodes.length, 0, 'an empty XHTML element stays empty');
        V.renderEntry(box, '<div><p>uno<p>due <b>tre</div>', '');
        t.eq(box.textContent, 'unodue tre', 'HTML that is not XML is still shown');
        t.rows(P, [['nothing ran', null, { until: shownFor(100), then: function () { t.eq(window.__bad, undefined); } }]]);
    });

    PageTest.test('favourites, bookmarks and notes are kept in the page tables and listed', function (t) {
        // The note dialog: its text as it opens, then `text` saved, or the note deleted (null).
        var noteDialog = function (text) {
            return function () {
                $('note').click();
                t.eq(document.querySelector('.dialog textarea').value, P.note().replace('La tua nota', ''));
                var buttons = document.querySelectorAll('.dialog button');
                document.querySelector('.dialog textarea').value = text;
                buttons[text === null ? 0 : buttons.length - 1].click();
            };
        };
        var note = '<b>Da ripassare</b>: l\'uso figurato.';
        t.rows(P, [
            ['casa', search('casa'), { entry: 'casa', pressed: ['false', 'false'] }],
            ['the favourite, stored', click('fav'), { pressed: ['true', 'false'], kept: { FAVORITE: ['casa'] }, then: function () {
                var row = V.dictionary.saved.FAVORITE[0];
                t.eq([row.IDBOOK, V.store.parseRef(row.REF).idzenta], ['ita-base', 'IT04']);
                t.ok(/^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d$/.test(row.DATE), 'date ' + row.DATE);
            } }],
            ['the bookmark, listed', [click('bookmark'), click('open-saved')], { pressed: ['true', 'true'], saved: ['casa'] }],
            ['no favourite', [function () { $('saved').querySelector('[data-table=BOOKMARK]').click(); }, click('fav')],
                { pressed: ['false', 'true'], saved: ['casa'], kept: { FAVORITE: [] } }],
            ['the saved entry opens', [open('IT11', 'l.html', 'luna'), click('saved-list', 0)], { entry: 'casa' }],
            ['and goes', function () { $('saved-list').querySelector('[data-remove]').click(); },
                { savedStatus: 'Nessun segnalibro. Apri una voce e premi \u00abSegnalibro\u00bb.', pressed: ['false', 'false'] }],
            // A homograph is kept with its number; a row kept without one still marks it.
            ['città', search('citta'), { entry: 'città', pressed: ['false', 'false'] }],
            ['a homograph', click('fav'), { pressed: ['true', 'false'], kept: { FAVORITE: ['città¹'] },
                then: function () { t.eq(V.store.parseRef(V.dictionary.saved.FAVORITE[0].REF).num, '1'); } }],
            ['another homograph of the same word is not', click('results', 1), { pressed: ['false', 'false'] }],
            ['back to the first', click('results', 0), { pressed: ['true', 'false'] }],
            ['a row kept before numbers still marks it', [click('fav'), tables([['INSERT INTO BOOKMARK (DATE, IDBOOK, REF, NOTE) ' +
                'VALUES (?, ?, ?, ?)', ['2026-01-01 10:00:00', 'ita-base', 'IT08|c.html|citt%C3%A0', 'città']]])],
                { pressed: ['false', 'true'], saved: ['città'] }],
            ['the note names the homograph and its dictionary', function () { $('note').click(); }, { dialogTitle:
                'Nota su \u00abcittà¹\u00bb \u00b7 Dizionario della lingua italiana', then: function () {
                    PageTest.dialogButton('Annulla').click();
                } }],
            ['the bookmark removed', click('bookmark'), { pressed: ['false', 'false'] }],
            ['and kept again, listed with its number', click('bookmark'), { pressed: ['false', 'true'], saved: ['città'],
                then: function () {
                    t.eq(textsOf('sup', 'saved-list'), ['1']);
                    click('bookmark')();
                } }],
            ['casa again', search('casa'), { entry: 'casa', pressed: ['false', 'false'] }],
            ['the note, shown as written', noteDialog(note), { note: 'La tua nota' + note }],
            ['changed', noteDialog('Cambiata'), { note: 'La tua notaCambiata', kept: { NOTE: ['Cambiata'] } }],
            ['deleted', noteDialog(null), { note: '', kept: { NOTE: [] }, then: click('close-saved') }]
        ]);
    });
    PageTest.test('the entries looked up are kept in a history that can be cleared', function (t) {
        t.rows(P, [
            ['an empty history', tables([['DELETE FROM HISTORY']]), { kept: { HISTORY: [] } }],
            ['mare', search('mare'), { entry: 'mare' }],
            ['sole at once: mare passed through is not kept', search('sole'), { kept: { HISTORY: ['sole'] } }],
            ['luna too, the newest first', search('luna'), { kept: { HISTORY: ['luna', 'sole'] } }],
            ['sole again, once', [click('open-saved'), function () { $('saved').querySelector('[data-table=HISTORY]').click(); },
                search('sole')], { saved: ['sole', 'luna'] }],
            ['cleared', function () {
                t.ok(!$('clear-history').hasAttribute('hidden'), 'can be cleared');
                $('clear-history').click();
                PageTest.dialogButton('Svuota').click();
            }, { savedStatus: 'Nessuna voce consultata.', then: function () {
                t.ok($('clear-history').hasAttribute('hidden'));
                $('close-saved').click();
            } }],
            ['two hundred kept', tables(Array.apply(null, Array(200)).map(function (x, i) {
                return ['INSERT INTO HISTORY (DATE, IDBOOK, REF, NOTE) VALUES (?, ?, ?, ?)', ['2026-01-01 10:00:00', 'ita-base', 'X' + i + '|x.html|x', 'x']];
            })), { until: function () { return V.dictionary.saved.HISTORY.length === 200; } }],
            ['one more: the oldest goes', search('mare'), { until: function () { return V.dictionary.saved.HISTORY[0].NOTE === 'mare'; },
                then: function () { t.eq(V.dictionary.saved.HISTORY.length, 200); } }]
        ]);
    });

    PageTest.test('the reader\'s tables go to a file and come back from it, once; each failure says what', function (t) {
        var ok = function () {
            M.fileTrouble = null;
            PageTest.dialogButton('OK').click();
        };
        var pick = function (id, trouble) {
            return function () {
                M.fileTrouble = trouble || null;
                $(id).click();
            };
        };
        var told = function (text, kept) { return kept ? { dialog: text, kept: kept, then: ok } : { dialog: text, then: ok }; };
        var exported = 'Appunti esportati nel file /home/mario/appunti.json: preferiti, segnalibri, note e cronologia di tutti i dizionari.';
        t.rows(P, [
            ['a favourite and a looked-up entry', tables([['DELETE FROM FAVORITE'], ['DELETE FROM HISTORY'],
                ['INSERT INTO FAVORITE (DATE, IDBOOK, REF, NOTE) VALUES (?, ?, ?, ?)', ['2026-01-02 10:00:00', 'ita-base', 'IT11|l.html|luna', 'luna']],
                ['INSERT INTO HISTORY (DATE, IDBOOK, REF, NOTE) VALUES (?, ?, ?, ?)', ['2026-01-02 10:01:00', 'ita-base', 'IT14|s.html|sole', 'sole']]]),
            { kept: { FAVORITE: ['luna'], HISTORY: ['sole'] } }],
            ['exported', pick('export-saved'), told(exported)],
            ['dictionary and entry named for a reader', tables([['DELETE FROM FAVORITE'], ['DELETE FROM HISTORY']]),
                { kept: { FAVORITE: [], HISTORY: [] },
                then: function () {
                    t.eq(JSON.parse(M.files['appunti.json']).tabelle.HISTORY.map(function (r) {
                        return [r.NOTE, r.DIZIONARIO, r.VOCE];
                    }), [['sole', both[0], 'sole']]);
                    // A damaged table: the database fails the import.
                    M.sql([['DROP TABLE HISTORY'], ['CREATE TABLE HISTORY (X TEXT)']]);
                } }],
            ['not saved, the file is fine', pick('import-saved'), { until: P.dialog, then: function () {
                M.sql([['DROP TABLE HISTORY']]);
                t.ok(/^Impossibile salvare gli appunti importati \(.* Il file \/home\/mario\/appunti\.json è integro: potrai importarlo di nuovo\.$/
                    .test(P.dialog()), P.dialog());
                ok();
            } }],
            ['imported', pick('import-saved'), told('Importato 1 appunto e 1 voce della cronologia.',
                { FAVORITE: ['luna'], HISTORY: ['sole'] })],
            ['not twice, from a file written before the history was saved', [function () {
                var old = JSON.parse(M.files['appunti.json']);
                delete old.tabelle.HISTORY;
                M.files['appunti.json'] = JSON.stringify(old);
            }, pick('import-saved')], told('Nessun appunto nuovo da importare.', { FAVORITE: ['luna'], HISTORY: ['sole'] })],
            ['not an export file', [function () { M.files['appunti.json'] = '{"altro": 1}'; }, pick('import-saved')],
                told('Il file scelto non contiene appunti di Vocalume.')],
            // What native code may answer instead of a file, and what the user then reads.
            ['unreadable', pick('import-saved', { result: 'unreadable', path: '/x/a.json', reason: 'permesso negato' }),
                told('Impossibile leggere il file /x/a.json: permesso negato.')],
            ['not written', pick('export-saved', { result: 'failed', path: '/x/a.json', reason: 'la cartella non esiste' }),
                told('Gli appunti non sono stati esportati. Impossibile scrivere il file /x/a.json: la cartella non esiste.')]
        ]);
    });

    PageTest.test('favourites and notes go to Anki as cards, through a file or straight away; each outcome is told', function (t) {
        var ok = function () {
            M.fileTrouble = null;
            PageTest.dialogButton('OK').click();
        };
        var press = function (id, before) {
            return function () {
                if (before) {
                    before();
                }
                $(id).click();
            };
        };
        var told = function (text) { return { dialog: text, then: ok }; };
        var noAnki = 'Anki non risponde: avvia Anki con il componente AnkiConnect e riprova.';
        t.rows(P, [
            ['a favourite and a note', tables([['DELETE FROM FAVORITE'], ['DELETE FROM NOTE'],
                ['INSERT INTO FAVORITE (DATE, IDBOOK, REF, NOTE) VALUES (?, ?, ?, ?)', ['2026-01-02 10:00:00', 'ita-base', 'IT11|l.html|luna', 'luna']],
                ['INSERT INTO NOTE (DATE, IDBOOK, REF, NOTE) VALUES (?, ?, ?, ?)', ['2026-01-02 10:01:00', 'ita-base', 'IT14|s.html|sole', 'caldo']]]),
            { kept: { FAVORITE: ['luna'], NOTE: ['caldo'] }, then: function () {
                t.ok(!$('anki-export').hasAttribute('hidden') && !$('anki-send').hasAttribute('hidden'), 'both buttons shown');
            } }],
            ['exported', press('anki-export'), { dialog: '2 schede esportate nel file /home/mario/schede-vocalume.txt. In Anki scegli ' +
                'File \u203a Importa e apri questo file: esportando di nuovo, le schede gi\u00e0 importate si aggiornano.', then: function () {
                t.eq(JSON.parse(M.lastCall('exportAnkiCards')[0]).map(function (r) {
                    return [r.table, r.IDBOOK, r.REF, r.NOTE, r.DIZIONARIO];
                }), [['FAVORITE', 'ita-base', 'IT11|l.html|luna', 'luna', both[0]], ['NOTE', 'ita-base', 'IT14|s.html|sole', 'caldo', both[0]]]);
                ok();
            } }],
            ['not written', press('anki-export', function () {
                M.fileTrouble = { result: 'failed', path: '/x/s.txt', reason: 'Impossibile scrivere il file /x/s.txt: la cartella non esiste.' };
            }), told('Le schede non sono state esportate. Impossibile scrivere il file /x/s.txt: la cartella non esiste.')],
            ['sent', press('anki-send', function () { M.ankiAnswer = '{result:true,added:1,present:1}'; }),
                told('1 scheda inviata ad Anki, 1 gi\u00e0 presente.')],
            ['sent again', press('anki-send', function () { M.ankiAnswer = '{result:true,added:0,present:2}'; }),
                told('0 schede inviate ad Anki, 2 gi\u00e0 presenti.')],
            ['Anki not running', press('anki-send', function () { M.ankiAnswer = '{result:false,error:"' + noAnki + '"}'; }),
                { dialog: noAnki, then: function () {
                    t.eq(M.lastCall('sendToAnki')[1], 'Vocalume.onAnkiSent');
                    M.ankiAnswer = null;
                    ok();
                } }],
            ['nothing kept, nothing asked of native code', [tables([['DELETE FROM FAVORITE'], ['DELETE FROM NOTE']]), press('anki-send')],
                { dialog: 'Nessuna scheda da preparare: aggiungi una voce ai preferiti o scrivi una nota, poi riprova.', then: function () {
                    t.eq(M.callsOf('sendToAnki').length, 3);
                    ok();
                } }]
        ]);
    });
}());
