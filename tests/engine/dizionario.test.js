// Dictionary page: searches, scopes, the index, the entry view and the reader's own tables,
// against answers built the way native code builds them.
// query: idbook=ita-base&delay=20

(function () {
    'use strict';

    var $ = PageTest.$;
    var texts = PageTest.texts;
    var listStatus = PageTest.listStatus;
    var firstWhenIdle = PageTest.firstWhenIdle;
    var key = PageTest.key;
    var textsOf = PageTest.textsOf;
    var shownEntry = PageTest.shows;

    function search(word, type) {
        return function () { Vocalume.dictionary.search(word, type); };
    }

    // A condition: this dictionary's rows of a page table, read again until `accept` takes them.
    function stored(table, accept) {
        var list = null;
        var reading = false;
        return function () {
            if (list && (!accept || accept(list))) {
                return list;
            }
            if (!reading) {
                reading = true;
                MockBridge.db().readTransaction(function (tx) {
                    var sql = 'SELECT DATE, IDBOOK, REF, NOTE FROM ' + table + ' WHERE IDBOOK = ?';
                    tx.executeSql(sql, ['ita-base'], function (x, r) {
                        list = [];
                        for (var i = 0; i < r.rows.length; i++) {
                            list.push(r.rows.item(i));
                        }
                        reading = false;
                    });
                });
            }
            return false;
        };
    }

    function saveDialog(text) {
        var area = document.querySelector('.dialog textarea');
        var buttons = document.querySelectorAll('.dialog button');
        area.value = text;
        buttons[buttons.length - 1].click();
    }

    PageTest.test('opens on the dictionary named by the page parameter, scopes only for full text', function (t) {
        t.eq(MockBridge.callsOf('getParameter')[0], ['idbook']);
        t.eq(document.activeElement && document.activeElement.id, 'q', 'the search box has the keys');
        t.waitFor('the index', firstWhenIdle('words'), function () {
            t.eq($('dict-title').textContent, 'Dizionario della lingua italiana');
            t.eq(MockBridge.lastCall('indexRows'), ['ita-base', '', '1', '50']);
            t.eq(MockBridge.lastCall('prepareSuggestions'), ['ita-base', 'it', 'onSuggestionsReady'], 'suggestions are made ready at once');
            t.eq(MockBridge.countCalls('getWords'), 0, 'the index comes from native code beside the bridge');
            t.eq(texts('words').slice(0, 3), ['acqua', 'albero', 'andare']);
            t.eq(MockBridge.lastCall('getScopes'), ['ita-base', 'onScopes']);
            t.eq(textsOf('option', $('scope')).slice(0, 3), ['Tutti gli ambiti', 'Architettura', 'Astronomia']);
            var modes = document.getElementsByName('mode');
            t.ok($('scope').disabled, 'off for headword search');
            modes[1].click();
            t.ok(!$('scope').disabled, 'on for full-text search');
            modes[0].click();
            t.done();
        });
    });

    PageTest.test('searches: apostrophes, nothing found', function (t) {
        var cases = [['l\'altro', ['l\'altroieri']], ['xyz', []]];
        t.steps(cases.map(function (c) {
            return [c[0], function () {
                search(c[0], '0')();
                t.eq(MockBridge.lastCall('search').slice(1, 3), [c[0], '0'], 'sent as typed');
            }, firstWhenIdle('results'), function () { t.eq(texts('results'), c[1], c[0]); }];
        }).concat([['the no-result text', null, null, function () {
            t.eq(listStatus('results'), 'Nessun risultato per \u00abxyz\u00bb.Prova la ricerca nel testo completo.');
        }]]));
    });

    function listed(n) {
        return function () { return firstWhenIdle('results')() && texts('results').length === n; };
    }

    PageTest.test('a new kind of search or a new scope answers at once for the word in the box', function (t) {
        var geo = String(MockBridge.scopeId('Geografia'));
        var modes = document.getElementsByName('mode');
        t.steps([
            ['the headword', search('acqua', '0'), shownEntry('Liquido trasparente'), function () {
                t.eq(texts('results'), ['acqua']);
            }],
            ['full text', function () { modes[1].click(); }, listed(4), function () {
                t.eq(MockBridge.lastCall('search').slice(1, 4), ['acqua', '2', '']);
                t.eq(texts('results'), ['acqua', 'cascata', 'fiume', 'mare']);
            }],
            ['one scope', function () {
                $('scope').value = geo;
                PageTest.fire($('scope'), 'change');
            }, listed(3), function () {
                t.eq(MockBridge.lastCall('search').slice(1, 4), ['acqua', '2', geo]);
                t.eq(texts('results'), ['cascata', 'fiume', 'mare']);
            }],
            ['its first entry', null, shownEntry('Salto d\'acqua')],
            ['every scope', function () {
                $('scope').value = '';
                PageTest.fire($('scope'), 'change');
            }, listed(4)],
            ['the headword again', function () { modes[0].click(); }, listed(1), function () {
                t.eq(MockBridge.lastCall('search').slice(1, 4), ['acqua', '0', '']);
            }]
        ]);
    });

    PageTest.test('the first result always opens; the reader shows nothing the list does not', function (t) {
        var welcome = function () {
            return $('entry-view').hasAttribute('hidden') && !$('welcome').hasAttribute('hidden');
        };
        t.steps([
            ['casa', search('casa', '0'), shownEntry('Edificio destinato ad abitazione.'), function () {
                t.eq(MockBridge.callsByKind('search').pop(), ['ita-base', 'casa', '0', '', '0', '20', 'it', 'onSearch']);
                t.eq(texts('results'), ['casa', 'casale', 'casalingo']);
                t.eq($('results').querySelectorAll('.exact').length, 1);
                t.eq($('results-count').textContent, ' (3)');
                t.eq(MockBridge.callsByKind('getHtml').pop(), ['ita-base', 'IT04', 'c.html', 'onEntry']);
                t.eq($('entry-word').querySelector('.w').textContent, 'casa');
                t.ok($('results').querySelector('.is-current'), 'current entry marked');
            }],
            ['an inflected form', search('vado', '0'), shownEntry('Muoversi da un luogo'), function () {
                t.eq(texts('results'), ['andare']);
                t.eq($('entry-word').querySelector('.w').textContent, 'andare');
                t.eq($('results').querySelector('.is-current .w').textContent, 'andare');
            }],
            ['a word found nowhere', search('xyz', '0'), welcome, function () {
                t.eq($('entry').textContent, '');
                t.eq(MockBridge.lastCall('getHtml')[1], 'IT03', 'nothing more was asked');
            }],
            ['a full-text hit that is not a headword', search('centro', '2'), shownEntry('Centro abitato'), function () {
                t.eq(texts('results'), ['città']);
            }]
        ]);
    });

    // The related statement also brings headwords equal to the word in another case ("Esco").
    PageTest.test('the word itself, then its inflected forms, then the headwords that begin like it', function (t) {
        t.steps([['esco', search('esco', '0'), shownEntry('Fiume del Lazio'), function () {
            t.eq(texts('results'), ['Esco', 'uscire', 'escoriazione']);
            var badges = $('results').querySelectorAll('.item .exact');
            t.eq([badges[0].textContent, badges[1].textContent], ['esatto', 'forma flessa']);
        }]]);
    });

    // Characters typed one by one, each firing the input event a real key fires.
    function type(text) {
        return function () {
            $('q').focus();
            $('q').value = '';
            text.split('').forEach(function (c) {
                $('q').value += c;
                PageTest.fire($('q'), 'input');
            });
        };
    }

    PageTest.test('looking up as you type: one search after the pause, its first entry opened', function (t) {
        var before;
        t.steps([
            ['typing', function () {
                before = MockBridge.countCalls('search');
                type('andrò')();
                t.eq(MockBridge.countCalls('search'), before, 'nothing sent while typing');
            }, shownEntry('Muoversi da un luogo'), function () {
                t.eq(MockBridge.countCalls('search') - before, 1, 'one search for the whole word');
                t.eq(MockBridge.lastCall('search').slice(1, 3), ['andrò', '0']);
                t.eq(texts('results'), ['andare']);
            }],
            ['Enter before the pause: one search, at once', function () {
                before = MockBridge.countCalls('search');
                type('luna')();
                $('search-form').querySelector('button[type=submit]').click();
                t.eq(MockBridge.countCalls('search') - before, 1);
                $('search-form').querySelector('button[type=submit]').click();
                t.eq(MockBridge.countCalls('search') - before, 1, 'the same search is on its way');
            }, shownEntry('satellite naturale'), function () {
                t.eq(MockBridge.countCalls('search') - before, 1, 'the pause ended without a second one');
                key($('q'), 27);
                t.eq($('q').value, '');
            }]
        ]);
    });

    PageTest.test('keys: Ctrl+L and Ctrl+F find the box, Alt+Left and Alt+Right walk the entries', function (t) {
        t.steps([
            ['so', search('so', '0'), shownEntry('La stella')],
            ['sole, typed on', search('sole', '0'), shownEntry('La stella')],
            ['sale', search('sale', '0'), shownEntry('Sostanza bianca')],
            ['a link', function () {
                Vocalume.dictionary.openEntry({ idzenta: 'IT05', file: 'c.html', word: 'casale' });
            }, shownEntry('Gruppo di case'), function () {
                t.ok(!$('entry-back').disabled && $('entry-forward').disabled, 'back only');
                $('entry').focus();
                key(document.body, 76, { ctrl: true });
                t.eq(document.activeElement.id, 'q', 'Ctrl+L');
                $('entry-back').focus();
                key(document.body, 70, { ctrl: true });
                t.eq(document.activeElement.id, 'q', 'Ctrl+F');
                t.ok(key(document.body, 37, { alt: true }).defaultPrevented, 'Alt+Left is taken');
            }],
            ['back', null, shownEntry('Sostanza bianca'), function () {
                t.ok(!$('entry-forward').disabled);
                $('entry-back').click();
            }],
            ['back again', null, shownEntry('La stella'), function () {
                $('entry-back').click();
            }],
            // "so" and "sole" left one step: before them comes the previous test's last entry.
            ['before the typed word', null, shownEntry('satellite naturale'), function () {
                key(document.body, 39, { alt: true });
            }],
            ['forward to sole', null, shownEntry('La stella'), function () {
                key(document.body, 39, { alt: true });
            }],
            ['forward', null, shownEntry('Sostanza bianca'), function () {
                $('entry-forward').click();
            }],
            ['forward again', null, shownEntry('Gruppo di case'), function () {
                t.ok($('entry-forward').disabled);
            }]
        ]);
    });

    PageTest.test('text size: Ctrl with plus, minus and 0, remembered for the next start', function (t) {
        var size = function () { return $('entry').style.fontSize; };
        // A note and a quotation scale with the entry's text.
        var parts = ['entry-note', 'esempio'].map(function (c) {
            var e = document.createElement(c === 'esempio' ? 'blockquote' : 'div');
            e.className = c;
            $('entry').appendChild(e);
            return e;
        });
        var sizes = function () {
            return parts.map(function (e) { return parseFloat(window.getComputedStyle(e).fontSize); });
        };
        var before = sizes();
        key(document.body, 187, { ctrl: true });
        key(document.body, 187, { ctrl: true });
        t.eq([Vocalume.dictionary.zoom(), size()], [1.25, '21.3px']);
        t.eq(sizes().map(function (x, i) { return Math.round(x / before[i] * 100); }), [125, 125]);
        parts.forEach(function (e) { $('entry').removeChild(e); });
        t.eq(window.localStorage.getItem('vocalume.zoom'), '1.25');
        key(document.body, 189, { ctrl: true });
        t.eq(Vocalume.dictionary.zoom(), 1.1);
        key(document.body, 48, { ctrl: true });
        t.eq([Vocalume.dictionary.zoom(), size(), window.localStorage.getItem('vocalume.zoom')], [1, '', '1']);
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
        var menu = function () { return textsOf('.menu button'); };
        var enabled = function () {
            return Array.prototype.map.call(document.querySelectorAll('.menu button'), function (b) { return !b.disabled; });
        };
        var choose = function (label) {
            Array.prototype.filter.call(document.querySelectorAll('.menu button'), function (b) {
                return b.textContent === label;
            })[0].click();
        };
        var rightClick = function (word) {
            return function () {
                var at = selectWord(word);
                window.getSelection().removeAllRanges();
                PageTest.fire($('entry'), 'mouseup', { button: 2, clientX: at.clientX, clientY: at.clientY });
            };
        };
        t.steps([
            ['cascata', search('cascata', '0'), shownEntry('Salto d'), function () {
                selectWord('fiume');
                PageTest.fire($('entry'), 'dblclick');
            }],
            ['a double click looks the word up', null, shownEntry('Corso d'), function () {
                t.eq(MockBridge.lastCall('search').slice(1, 3), ['fiume', '0']);
                t.eq($('q').value, 'fiume');
                $('entry-back').click();
            }],
            ['a selection offers it', function () {
                selectWord('fiume');
                PageTest.fire($('entry'), 'mouseup', { button: 0 });
            }, function () { return document.querySelector('.offer'); }, function (offer) {
                t.eq(offer.textContent, 'Cerca \u00abfiume\u00bb');
                offer.click();
            }],
            ['looked up', null, shownEntry('Corso d'), function () {
                t.eq(document.querySelector('.offer'), null);
                $('entry-back').click();
            }],
            ['the menu on a word', rightClick('fiume'), menu, function () {
                t.eq(menu(), ['Copia', 'Cerca \u00abfiume\u00bb', 'Copia la voce', 'Seleziona tutto', 'Stampa la voce...',
                    'Esporta la voce in PDF...']);
                t.eq(enabled(), [false, true, true, true, true, true], 'nothing selected to copy');
                choose('Copia la voce');
                t.eq(MockBridge.lastCall('copyText'), ['cascata s.f.\n1. Salto d\'acqua di un fiume.']);
                rightClick('Salto')();
                choose('Stampa la voce...');
                var printed = MockBridge.lastCall('printEntry');
                t.eq(printed.slice(0, 2), ['cascata', 'Dizionario della lingua italiana']);
                t.ok(printed[2].indexOf('Salto d') >= 0 && printed[2].indexOf('<script') < 0, printed[2]);
                rightClick('Salto')();
                choose('Esporta la voce in PDF...');
                t.eq(PageTest.dialogText(), 'La voce \u00abcascata\u00bb è stata esportata nel file /home/mario/cascata.pdf.');
                PageTest.dialogButton('OK').click();
                selectWord('acqua');
                PageTest.fire($('entry'), 'mouseup', { button: 2, clientX: 1, clientY: 1 });
                t.eq(enabled()[0], true, 'a selection can be copied');
                choose('Copia');
                t.eq(MockBridge.lastCall('copyText'), ['acqua']);
            }],
            ['keys', function () {
                $('entry').focus();
                key(document.body, 93);
                t.eq(menu().length, 6, 'the menu key opens the menu');
                key(document.activeElement, 27);
                t.eq(menu(), [], 'Esc closes it');
                t.ok(key(document.body, 65, { ctrl: true }).defaultPrevented);
                t.eq(window.getSelection().toString(), '1. Salto d\'acqua di un fiume.', 'Ctrl+A: the entry');
                var prints = MockBridge.countCalls('printEntry');
                key(document.body, 80, { ctrl: true });
                t.eq(MockBridge.countCalls('printEntry'), prints + 1, 'Ctrl+P prints');
                $('entry').focus();
                key(document.body, 27);
                t.eq(document.activeElement.id, 'q', 'Esc goes back to the search box');
                key(document.body, 87, { ctrl: true });
                t.eq(MockBridge.lastCall('loadUrl'), ['libreria.html'], 'Ctrl+W goes back to the library');
            }]
        ]);
    });

    PageTest.test('a full-text hit shows the searched word marked in the entry', function (t) {
        var marks = function () { return textsOf('mark.hit', $('entry')); };
        t.steps([
            ['acqua', search('acqua', '2'), shownEntry('Liquido trasparente'), function () {
                t.eq(marks(), ['acqua'], 'the headword itself');
                $('results').querySelectorAll('.item')[1].click();
            }],
            ['cascata', null, shownEntry('Salto d'), function () {
                t.eq(marks(), ['acqua']);
            }],
            ['no marks for a headword search', search('fiume', '0'), shownEntry('Corso d'), function () {
                t.eq(marks(), []);
            }]
        ]);
        var box = document.createElement('div');
        box.innerHTML = '<p>La Città, le città e <b>citt\u00e0</b>; cittadino no.</p>';
        Vocalume.highlight(box, 'citta');
        t.eq(textsOf('mark', box), ['Città', 'città', 'citt\u00e0'], 'whole words, case and accents ignored');
    });

    PageTest.test('nothing found: "Forse cercavi" offers the closest headwords, one press searches it', function (t) {
        var offered = function () {
            return Array.prototype.map.call($('results').querySelectorAll('[data-suggest]'), function (b) {
                return b.getAttribute('data-suggest');
            });
        };
        t.steps([
            ['headwords still being read', function () {
                MockBridge.forgetHeadwords();
                search('caza', '0')();
            }, function () { return MockBridge.lastCall('suggest') && firstWhenIdle('results')(); }, function () {
                t.eq(offered(), []);
                t.eq(listStatus('results'), 'Nessun risultato per \u00abcaza\u00bb.', 'no hint while suggestions may come');
                MockBridge.releaseHeadwords('ita-base', 'it');
            }],
            ['read: the list shows them', null, function () { return offered().length; }, function () {
                t.eq(offered(), ['casa']);
                t.eq(MockBridge.lastCall('suggest'), ['ita-base', 'caza']);
                t.eq(listStatus('results'), 'Nessun risultato per \u00abcaza\u00bb.');
                $('results').querySelector('[data-suggest]').click();
            }],
            ['one press searches it', null, shownEntry('Edificio destinato'), function () {
                t.eq($('q').value, 'casa');
                MockBridge.forgetHeadwords();
                search('caza', '0')();
            }],
            ['a newer search meanwhile', null, function () {
                return firstWhenIdle('results')() === 'Nessun risultato per \u00abcaza\u00bb.';
            }, function () {
                search('casa', '0')();
            }],
            ['casa listed', null, shownEntry('Edificio destinato'), function () {
                MockBridge.releaseHeadwords('ita-base', 'it');
                t.eq(offered(), [], 'the late suggestions do not replace newer results');
                t.eq(texts('results'), ['casa', 'casale', 'casalingo']);
            }],
            ['nothing close', search('xyz', '0'), firstWhenIdle('results'), function () {
                t.eq(offered(), []);
            }]
        ]);
    });

    PageTest.test('in every installed dictionary: results grouped by dictionary, one request at a time', function (t) {
        var groups = function () { return textsOf('.group', $('results')); };
        var loads = MockBridge.countCalls('loadUrl');
        t.steps([
            ['both dictionaries', function () {
                t.ok(!$('all-books').parentNode.hasAttribute('hidden'), 'offered: two dictionaries are installed');
                $('q').value = 'casa';
                $('all-books').click();
            }, function () { return groups().length === 2 && !$('results').querySelector('.spinner'); }, function () {
                var asked = MockBridge.callsByKind('search').slice(-2).map(function (a) {
                    return [a[0], a[1], a[6], a[7]];
                });
                t.eq(asked, [['ita-base', 'casa', 'it', 'onSearchEverywhere'], ['fra-ita', 'casa', 'fr', 'onSearchEverywhere']]);
                t.eq(groups(), ['Dizionario della lingua italiana (3)', 'Dizionario francese-italiano (3)']);
                t.eq(texts('results'), ['casa', 'casale', 'casalingo', 'casa', 'casale', 'casalingo']);
                t.eq(textsOf('.sezione', $('entry')), ['Dizionario della lingua italiana', 'Dizionario francese-italiano'],
                    'one page, a section per dictionary that has the word');
                t.eq(textsOf('.blocco-corpo', $('entry')).length, 2);
                $('results').querySelectorAll('.item')[3].click();
                t.eq($('entry').querySelectorAll('.blocco.is-current').length, 1, 'a result on the page comes into focus');
                t.ok($('entry').querySelectorAll('.blocco')[1].className.indexOf('is-current') >= 0);
            }],
            ['another dictionary\'s casale', function () { $('results').querySelectorAll('.item')[4].click(); },
                shownEntry('Gruppo di case'), function () {
                    t.eq(MockBridge.countCalls('loadUrl'), loads, 'it opens on this page');
                    t.eq(textsOf('.sezione', $('entry')), ['Dizionario francese-italiano']);
                    t.ok($('all-books').checked, 'the box stays ticked');
                }],
            ['back to the page of the word', function () { $('entry-back').click(); }, function () { return textsOf('.sezione', $('entry')).length === 2; }, function () {
                t.eq([$('q').value, texts('results').length], ['casa', 6]);
            }],
            ['this dictionary only again', function () { $('all-books').click(); }, function () {
                return firstWhenIdle('results')() && groups().length === 0;
            }, function () {
                t.eq(MockBridge.callsByKind('search').pop()[7], 'onSearch');
            }]
        ]);
    });

    PageTest.test('in every dictionary, a newer word waits for the request under way, then replaces the older', function (t) {
        var before = 0;
        var groups = function () { return textsOf('.group', $('results')); };
        t.steps([['sole after casa', function () {
            before = MockBridge.callsOf('search').length;
            $('all-books').checked = false;
            $('q').value = 'casa';
            $('all-books').click();
            $('q').value = 'sole';
            $('search-form').querySelector('button[type=submit]').click();
        }, function () { return groups().length === 2 && !$('results').querySelector('.spinner'); }, function () {
            t.eq(MockBridge.callsByKind('search').slice(before).map(function (a) { return [a[0], a[1], a[7]]; }),
                [['ita-base', 'casa', 'onSearchEverywhere'], ['ita-base', 'sole', 'onSearchEverywhere'],
                    ['fra-ita', 'sole', 'onSearchEverywhere']], 'casa is not asked of the other dictionary');
            t.eq(texts('results'), ['sole', 'sole']);
            $('all-books').click();
        }], ['this dictionary only again', null, function () {
            return firstWhenIdle('results')() && groups().length === 0;
        }]]);
    });

    PageTest.test('leaving every dictionary while its first answer is awaited: the later answers change nothing', function (t) {
        var since = 0;
        var before = 0;
        var everywhere = function () {
            return MockBridge.callsByKind('search').filter(function (a) { return a[7] === 'onSearchEverywhere'; });
        };
        t.steps([['this dictionary only, at once', function () {
            before = everywhere().length;
            $('q').value = 'casa';
            $('all-books').click();
            $('all-books').click();
            since = new Date().getTime();
        }, function () {
            // Long enough for the other dictionary to have been asked and to have answered.
            return firstWhenIdle('results')() === 'casa' && new Date().getTime() - since > 300;
        }, function () {
            t.eq(textsOf('.group', $('results')), [], 'no groups over the results of this dictionary');
            t.eq(texts('results'), ['casa', 'casale', 'casalingo']);
            t.eq(everywhere().slice(before).map(function (a) { return a[0]; }), ['ita-base'],
                'the other dictionary is not asked');
        }]]);
    });

    // Three entries headed "città" (one a proper name): numbered, told apart by their first
    // sense, shown together; the index makes them one row.
    PageTest.test('homographs: numbered rows with their first sense, one page that shows them all', function (t) {
        var heads = function () { return textsOf('.blocco-testa', $('entry')); };
        var current = function () { return $('entry').querySelector('.blocco.is-current .blocco-testa').textContent; };
        var asked = 0;
        t.steps([
            ['citta', search('citta', '0'), function () { return heads().length === 3 && shownEntry('Sudafrica')(); }, function () {
                t.eq(textsOf('.item sup', $('results')), ['1', '2', '3']);
                t.eq(textsOf('.item .hint', $('results')), ['Centro abitato di notevole estensione.', 'L\'insieme dei cittadini.',
                    'Città del Capo, in Sudafrica.']);
                t.eq(heads(), ['città1s.f.', 'città2s.f.', 'Città3n.pr.']);
                t.eq([current(), $('entry-word').textContent], ['città1s.f.', 'città1s.f.']);
                asked = MockBridge.countCalls('getHtml');
            }],
            ['the third', function () { $('results').querySelectorAll('.item')[2].click(); }, null, function () {
                t.eq([current(), $('entry-word').textContent], ['Città3n.pr.', 'Città3n.pr.'], 'the chosen one in focus');
                t.eq(MockBridge.countCalls('getHtml'), asked, 'the page stays, nothing read again');
                $('tab-index').click();
                $('prefix').value = 'citt';
                PageTest.key($('prefix'), 13);
            }],
            ['one index row', null, function () { return firstWhenIdle('words')(); }, function () {
                var row = $('words').querySelector('.is-target');
                t.eq(row.textContent, 'città3 voci');
                row.click();
                t.eq(heads(), ['città1s.f.', 'città2s.f.', 'Città3n.pr.'], 'it opens them all');
                $('tab-results').click();
            }]
        ]);
    });

    PageTest.test('back and forward bring back the search box and the results of the entry shown', function (t) {
        var state = function () { return [$('q').value, texts('results'), $('entry-word').querySelector('.w').textContent]; };
        t.steps([
            ['sole', search('sole', '0'), shownEntry('La stella')],
            ['zucchero, full text', search('zucchero', '2'), shownEntry('Sostanza dolce')],
            ['back', function () { $('entry-back').click(); }, shownEntry('La stella'), function () {
                t.eq(state(), ['sole', ['sole'], 'sole']);
                t.eq(document.getElementsByName('mode')[0].checked, true, 'the kind of search too');
            }],
            ['forward', function () { $('entry-forward').click(); }, shownEntry('Sostanza dolce'), function () {
                t.eq(state(), ['zucchero', ['zucchero'], 'zucchero']);
                t.eq(document.getElementsByName('mode')[1].checked, true);
            }],
            ['a headword search again', search('sole', '0'), shownEntry('La stella')]
        ]);
    });

    PageTest.test('a failed count is an error; a late answer nobody waits for changes nothing', function (t) {
        t.steps([['the error', function () {
            search('casa', '0')();
            MockBridge.run('SignalQt(\'' + MockBridge.lastCall('search')[7] + '\', \'{tot:-1,result: [], isLemmatizzata:true}\')');
        }, null, function () {
            t.eq(listStatus('results'), 'Si è verificato un errore durante la ricerca.');
        }], ['the late answer', null, function () {
            return MockBridge.statements.length && /onSearch\.\w+', '\{tot:3/.test(MockBridge.statements[MockBridge.statements.length - 1]);
        }, function () {
            t.eq(listStatus('results'), 'Si è verificato un errore durante la ricerca.');
        }]]);
    });

    PageTest.test('a newer search replaces one still waiting', function (t) {
        t.steps([['luna', function () {
            search('sale', '0')();
            search('sole', '0')();
            search('luna', '0')();
        }, function () { return firstWhenIdle('results')() === 'luna'; }, function () {
            var asked = MockBridge.callsOf('search').slice(-2);
            t.eq(asked.map(function (a) { return a[1]; }), ['sale', 'luna'], 'sole was never sent');
        }]]);
    });

    // Native code answers in the order it was asked: the slow request first, then the newer one
    // the page sent once it had waited long enough.
    PageTest.test('an answer after a newer request was sent goes to its own request, not the newer one', function (t) {
        var groups = function () { return textsOf('.group', $('results')); };
        var casaThenSole = function () {
            MockBridge.holdAnswers = true;
            search('casa', '0')();
            PageTest.after(16000, search('sole', '0'))();
        };
        var twoHeld = function () { return MockBridge.held.length === 2; };
        t.steps([
            ['casa, then sole', casaThenSole, twoHeld, MockBridge.releaseAnswers],
            ['sole listed', null, firstWhenIdle('results'), function () {
                t.eq(texts('results'), ['sole']);
                t.ok(shownEntry('La stella')(), 'its entry opens');
                $('all-books').checked = true;
            }],
            ['in every dictionary', casaThenSole, twoHeld, MockBridge.releaseAnswers],
            ['sole in both', null, function () { return groups().length === 2 && !$('results').querySelector('.spinner'); },
                function () {
                    t.eq(texts('results'), ['sole', 'sole']);
                    $('all-books').click();
                }],
            ['this dictionary only again', null, function () { return firstWhenIdle('results')() && groups().length === 0; }]
        ]);
    });

    PageTest.test('results page by twenty; the index is one list that opens at a word and grows as it scrolls', function (t) {
        var first = function (list, word) { return function () { return firstWhenIdle(list)() === word; }; };
        MockBridge.useEntries(60);
        t.steps([
            ['page 1', search('prova', '0'), first('results', 'prova001'), function () {
                t.eq($('results-info').textContent, '1\u201320 di 60');
                t.ok($('results-prev').disabled);
            }],
            ['page 2', function () { $('results-next').click(); }, first('results', 'prova021'), function () {
                t.eq(MockBridge.lastCall('search')[4], '20');
                t.eq($('results-info').textContent, '21\u201340 di 60');
            }],
            ['page 3', function () { $('results-next').click(); }, first('results', 'prova041'), function () {
                t.ok($('results-next').disabled, 'last page');
            }],
            ['back', function () { $('results-prev').click(); }, first('results', 'prova021')],
            ['the index at a typed word', function () {
                $('tab-index').click();
                $('prefix').value = 'prova';
                key($('prefix'), 13);
                t.eq(MockBridge.callsOf('indexRows').slice(-2), [['ita-base', 'prova', '0', '5'], ['ita-base', 'prova', '1', '50']], 'five words before, fifty from it');
            }, function () { return texts('words').length === 55; }, function () {
                t.eq(texts('words').slice(0, 6), ['escoriazione', 'fiume', 'l\'altroieri', 'luna', 'mare', 'prova001'],
                    'the neighbours first');
                t.eq($('words').querySelector('.is-target .w').textContent, 'prova001');
                var list = $('words');
                var target = list.querySelector('.is-target').getBoundingClientRect();
                var box = list.getBoundingClientRect();
                t.ok(target.top >= box.top && target.bottom <= box.bottom, 'the word is in view');
                // A long list scrolls; it never squeezes the tab bar.
                t.ok($('tab-index').offsetHeight >= 30, 'tab bar ' + $('tab-index').offsetHeight + ' px high');
                t.ok(list.scrollHeight > list.clientHeight, 'the list scrolls');
            }],
            ['scrolled down', function () {
                $('words').scrollTop = $('words').scrollHeight;
            }, function () { return texts('words').length === 78 - 9; }, function () {
                t.eq(MockBridge.lastCall('indexRows').slice(2), ['1', '50'], 'the rows after, once scrolled down');
                t.eq(texts('words').slice(-1), ['zucchero']);
            }],
            ['scrolled up', function () {
                $('words').scrollTop = 0;
            }, function () { return texts('words').length === 78; }, function () {
                t.eq(MockBridge.lastCall('indexRows').slice(2), ['0', '50'], 'the rows before, once scrolled up');
                t.eq(texts('words')[0], 'acqua');
                t.ok($('words').scrollTop > 0, 'the words in view stay in place');
            }],
            ['letter z', function () {
                MockBridge.useEntries(0);
                $('letters').querySelector('[data-letter=z]').click();
            }, function () { return firstWhenIdle('words')() && $('words').querySelector('.is-target'); }, function () {
                t.eq($('words').querySelector('.is-target .w').textContent, 'zucchero');
            }]
        ]);
    });

    PageTest.test('entries come from getHtml; links follow their kind; unreadable ones say so', function (t) {
        var status = function () { return $('entry').querySelector('.blocco-stato').textContent; };
        t.steps([
            ['zucchero', function () { $('words').querySelector('.is-target').click(); }, shownEntry('Sostanza dolce')],
            ['casa', search('casa', '0'), shownEntry('Edificio'), function () {
                var links = $('entry').querySelectorAll('a');
                links[1].click();
                t.eq(MockBridge.lastCall('openLink'), ['http://example.org/casa']);
                links[0].click();
                t.eq($('entry-word').querySelector('.w').textContent, 'casale');
            }],
            ['casale', null, shownEntry('Gruppo di case rurali')],
            ['an unknown entry', function () {
                Vocalume.dictionary.openEntry({ idzenta: 'IT99', file: 'c.html', word: 'assente' });
                t.eq(status(), 'Voce non disponibile in questo dizionario.');
                Vocalume.dictionary.openEntry({ idzenta: 'IT04', file: 'missing.html', word: 'casa' });
            }, function () { return status().indexOf('Impossibile aprire la voce.') === 0; }]
        ]);
    });

    PageTest.test('entry content is copied without scripts or handlers', function (t) {
        var box = document.createElement('div');
        Vocalume.renderEntry(box, '<div id="x"><img src="img/a.png" onerror="window.__bad=1"/>' +
            '<a href="java&#9;script:window.__bad=2">x</a><script>window.__bad=3;<\/script><span class="e"/>dopo' +
            '<img src="http://example.org/b.png" usemap="#m"/><map name="m"><area href="javascript:window.__bad=4"/></map></div>',
            'books/ita-base/');
        var imgs = box.querySelectorAll('img');
        t.eq([imgs[0].getAttribute('src'), imgs[1].getAttribute('src'), imgs[1].getAttribute('usemap')],
            ['books/ita-base/img/a.png', null, null], 'nothing from the network, no image map');
        t.eq([imgs[0].getAttribute('onerror'), box.querySelector('a').getAttribute('href'), box.querySelectorAll('map, area').length],
            [null, null, 0]);
        t.eq(box.querySelectorAll('script').length, 0);
        t.eq(box.querySelector('span.e').childNodes.length, 0, 'an empty XHTML element stays empty');
        Vocalume.renderEntry(box, '<div><p>uno<p>due <b>tre</div>', '');
        t.eq(box.textContent, 'unodue tre', 'HTML that is not XML is still shown');
        setTimeout(function () {
            t.step(function () {
                t.eq(window.__bad, undefined);
                t.done();
            });
        }, 100);
    });

    PageTest.test('favourites and bookmarks are kept in the page tables and listed', function (t) {
        var pressed = function (id, on) { return function () { return $(id).getAttribute('aria-pressed') === on; }; };
        t.steps([
            ['casa', search('casa', '0'), shownEntry('Edificio')],
            ['the favourite', function () { $('fav').click(); }, pressed('fav', 'true')],
            ['the row', null, stored('FAVORITE'), function (list) {
                t.eq(list.length, 1);
                t.eq([list[0].IDBOOK, list[0].NOTE], ['ita-base', 'casa']);
                t.eq(Vocalume.store.parseRef(list[0].REF).idzenta, 'IT04');
                t.ok(/^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d$/.test(list[0].DATE), 'date ' + list[0].DATE);
            }],
            ['the bookmark', function () { $('bookmark').click(); }, pressed('bookmark', 'true'), function () {
                $('open-saved').click();
                t.eq(texts('saved-list'), ['casa']);
                $('saved').querySelector('[data-table=BOOKMARK]').click();
                t.eq(texts('saved-list'), ['casa']);
            }],
            ['no favourite', function () { $('fav').click(); }, pressed('fav', 'false')],
            ['the row gone', null, stored('FAVORITE', function (list) { return list.length === 0; })],
            ['the saved entry', function () {
                Vocalume.dictionary.openEntry({ idzenta: 'IT11', file: 'l.html', word: 'luna' });
                $('saved-list').querySelector('.item').click();
                t.eq($('entry-word').querySelector('.w').textContent, 'casa');
                $('saved-list').querySelector('[data-remove]').click();
            }, function () { return listStatus('saved-list').indexOf('Nessun segnalibro') === 0; }]
        ]);
    });

    PageTest.test('the entries looked up are kept in a history that can be cleared', function (t) {
        var historyTab = function () { return $('saved').querySelector('[data-table=HISTORY]'); };
        var listed = function (words) {
            return function () { return JSON.stringify(texts('saved-list')) === JSON.stringify(words); };
        };
        t.steps([
            ['an empty history', function () {
                MockBridge.sql([['DELETE FROM HISTORY']], function () { Vocalume.dictionary.reloadSaved(); });
            }, function () { return Vocalume.dictionary.saved.HISTORY.length === 0; }],
            ['a passing entry', search('mare', '0'), shownEntry('distesa'), function () {
                search('sole', '0')();
            }],
            ['sole stays', null, function () { return Vocalume.dictionary.saved.HISTORY.length > 0; }, function () {
                t.eq(Vocalume.dictionary.saved.HISTORY.map(function (r) { return r.NOTE; }).indexOf('mare'), -1,
                    'an entry passed through is not kept');
                search('luna', '0')();
            }],
            ['luna too', null, function () { return Vocalume.dictionary.saved.HISTORY[0].NOTE === 'luna'; }, function () {
                $('open-saved').click();
                historyTab().click();
                search('sole', '0')();
            }],
            ['sole again, once', null, listed(['sole', 'luna']), function () {
                t.ok(!$('clear-history').hasAttribute('hidden'), 'can be cleared');
                $('clear-history').click();
                PageTest.dialogButton('Svuota').click();
            }, function () { return listStatus('saved-list') === 'Nessuna voce consultata.'; }, function () {
                t.ok($('clear-history').hasAttribute('hidden'));
                $('close-saved').click();
            }]
        ]);
    });

    PageTest.test('the reader\'s tables go to a file and come back from it, once; each failure says what', function (t) {
        var count = function (table) { return Vocalume.dictionary.saved[table].length; };
        var okButton = function () { return document.querySelector('.dialog button'); };
        var answered = function (text) {
            return function () {
                t.eq(PageTest.dialogText(), text);
                MockBridge.fileTrouble = null;
                okButton().click();
            };
        };
        // What native code may answer instead of a file, and what the user then reads.
        var troubles = [
            ['import-saved', { result: 'unreadable', path: '/x/a.json', reason: 'permesso negato' },
                'Impossibile leggere il file /x/a.json: permesso negato.'],
            ['import-saved', { result: 'tooBig', path: '/x/a.json', limit: '20 MB' },
                'Il file /x/a.json è troppo grande: un file di appunti può occupare al massimo 20 MB.'],
            ['export-saved', { result: 'failed', path: '/x/a.json', reason: 'la cartella non esiste' },
                'Gli appunti non sono stati esportati. Impossibile scrivere il file /x/a.json: la cartella non esiste.']
        ].map(function (c) {
            return [c[0], function () {
                MockBridge.fileTrouble = c[1];
                $(c[0]).click();
            }, okButton, answered(c[2])];
        });
        t.steps([
            ['a favourite and a looked-up entry', function () {
                MockBridge.sql([['DELETE FROM FAVORITE'], ['DELETE FROM HISTORY'],
                    ['INSERT INTO FAVORITE (DATE, IDBOOK, REF, NOTE) VALUES (?, ?, ?, ?)', ['2026-01-02 10:00:00', 'ita-base', 'IT11|l.html|luna', 'luna']],
                    ['INSERT INTO HISTORY (DATE, IDBOOK, REF, NOTE) VALUES (?, ?, ?, ?)', ['2026-01-02 10:01:00', 'ita-base', 'IT14|s.html|sole', 'sole']]],
                    function () { Vocalume.dictionary.reloadSaved(); });
            }, function () { return count('FAVORITE') === 1 && count('HISTORY') === 1; }, function () {
                $('export-saved').click();
            }],
            ['exported', null, function () { return MockBridge.files['appunti.json'] && okButton(); }, function () {
                answered('Appunti esportati nel file /home/mario/appunti.json: preferiti, segnalibri, note e cronologia di tutti i dizionari.')();
                t.eq(JSON.parse(MockBridge.files['appunti.json']).tabelle.HISTORY.map(function (r) {
                    return [r.NOTE, r.DIZIONARIO, r.VOCE];
                }), [['sole', 'Dizionario della lingua italiana', 'sole']], 'dictionary and entry named for a reader');
                MockBridge.sql([['DELETE FROM FAVORITE'], ['DELETE FROM HISTORY']], function () { Vocalume.dictionary.reloadSaved(); });
            }],
            ['gone', null, function () { return count('FAVORITE') + count('HISTORY') === 0; }, function () {
                MockBridge.failWrites = true;
                $('import-saved').click();
            }],
            ['not saved, the file is fine', null, okButton, function () {
                MockBridge.failWrites = false;
                var text = PageTest.dialogText();
                t.ok(text.indexOf('Impossibile salvare gli appunti importati (') === 0 &&
                    / Il file \/home\/mario\/appunti\.json è integro: potrai importarlo di nuovo\.$/.test(text), text);
                okButton().click();
                $('import-saved').click();
            }],
            ['imported', null, function () { return count('FAVORITE') === 1 && count('HISTORY') === 1 && okButton(); }, function () {
                answered('Importato 1 appunto e 1 voce della cronologia.')();
            }],
            ['not twice', function () {
                // A file written before the history was saved.
                var old = JSON.parse(MockBridge.files['appunti.json']);
                delete old.tabelle.HISTORY;
                MockBridge.files['appunti.json'] = JSON.stringify(old);
                $('import-saved').click();
            }, okButton, function () {
                answered('Nessun appunto nuovo da importare.')();
                t.eq(count('FAVORITE'), 1);
                MockBridge.files['appunti.json'] = '{"altro": 1}';
                $('import-saved').click();
            }],
            ['not an export file', null, okButton, answered('Il file scelto non contiene appunti di Vocalume.')]
        ].concat(troubles));
    });

    PageTest.test('notes are written, shown, changed and deleted', function (t) {
        var note = function () { return $('entry').querySelector('.is-current .entry-note'); };
        t.steps([
            ['the note', function () {
                $('note').click();
                saveDialog('Da ripassare: l\'uso figurato.');
            }, function () { return !note().hasAttribute('hidden'); }, function () {
                t.eq(note().textContent, 'La tua notaDa ripassare: l\'uso figurato.');
            }],
            ['the change', function () {
                $('note').click();
                t.eq(document.querySelector('.dialog textarea').value, 'Da ripassare: l\'uso figurato.');
                saveDialog('Cambiata');
            }, function () { return note().textContent === 'La tua notaCambiata'; }],
            ['the row', null, stored('NOTE'), function (list) {
                t.eq(list.map(function (r) { return r.NOTE; }), ['Cambiata']);
            }],
            ['the deletion', function () {
                $('note').click();
                document.querySelector('.dialog button').click(); // Elimina
            }, function () { return note().hasAttribute('hidden'); }]
        ]);
    });
}());
