// Dictionary page: searches, scopes, the index, the entry view and the reader's own tables,
// against answers built the way native code builds them.
// query: idbook=ita-base&fresh&delay=20

(function () {
    'use strict';

    var $ = function (id) { return document.getElementById(id); };

    function texts(listId) {
        return Array.prototype.map.call($(listId).querySelectorAll('.item .w'), function (w) {
            return w.textContent;
        });
    }

    function listStatus(listId) {
        var s = $(listId).querySelector('.list-status');
        return s ? s.textContent : '';
    }

    function idle(listId) {
        return !$(listId).querySelector('.spinner');
    }

    function entryText() {
        return $('entry').textContent;
    }

    function key(target, code) {
        var ev = document.createEvent('Event');
        ev.initEvent('keydown', true, true);
        ev.keyCode = code;
        target.dispatchEvent(ev);
    }

    function search(word, type) {
        Vocalume.dictionary.search(word, type);
    }

    function rows(table, done) {
        MockBridge.db().readTransaction(function (tx) {
            tx.executeSql('SELECT DATE, IDBOOK, ID, REF, NOTE FROM ' + table + ' WHERE IDBOOK = ?', ['ita-base'], function (t, r) {
                var out = [];
                for (var i = 0; i < r.rows.length; i++) {
                    out.push(r.rows.item(i));
                }
                done(out);
            });
        });
    }

    PageTest.test('opens on the dictionary named by the page parameter', function (t) {
        t.eq(MockBridge.lastCall('getParameter'), ['idbook']);
        t.waitFor('the index', function () { return texts('words').length > 0; }, function () {
            t.eq($('dict-title').textContent, 'Dizionario della lingua italiana');
            t.eq($('dict-sub').textContent, 'Edizione compatta con esempi d\'uso \u00b7 Italiano');
            t.eq(MockBridge.lastCall('getWords'), ['ita-base', '', '0', '50', 'it', 'onWords']);
            t.eq(texts('words').slice(0, 3), ['acqua', 'albero', 'andare']);
            t.eq(texts('words').length, 29);
            t.ok($('words-pager').hasAttribute('hidden'), 'one page only');
            t.done();
        });
    });

    PageTest.test('scopes fill the filter, which only full-text search uses', function (t) {
        t.eq(MockBridge.lastCall('getScopes'), ['ita-base', 'onScopes']);
        var options = Array.prototype.map.call($('scope').options, function (o) { return o.text; });
        t.eq(options[0], 'Tutti gli ambiti');
        t.eq(options.slice(1, 3), ['Architettura', 'Astronomia']);
        t.ok($('scope').disabled, 'disabled for headword search');
        document.getElementsByName('mode')[1].click();
        t.ok(!$('scope').disabled, 'enabled for full-text search');
        document.getElementsByName('mode')[0].click();
        t.ok($('scope').disabled);
        t.done();
    });

    PageTest.test('a headword search lists exact matches first and opens the first', function (t) {
        search('casa', '0');
        t.eq(MockBridge.lastCall('search'), ['ita-base', 'casa', '0', '', '0', '20', 'it', 'onSearch']);
        t.ok(!$('panel-results').hasAttribute('hidden'), 'results tab shown');
        t.waitFor('the results', function () { return idle('results'); }, function () {
            t.eq(texts('results'), ['casa', 'casale', 'casalingo']);
            t.eq($('results').querySelectorAll('.exact').length, 1);
            t.eq($('results-count').textContent, ' (3)');
            t.eq(MockBridge.lastCall('getHtml'), ['ita-base', 'IT0008', 'c.html', 'onEntry']);
            t.ok(entryText().indexOf('Edificio destinato ad abitazione.') >= 0, 'entry shown');
            t.eq($('entry-word').querySelector('.w').textContent, 'casa');
            t.ok($('results').querySelector('.is-current'), 'current entry marked');
            t.done();
        });
    });

    PageTest.test('inflected forms, accents and apostrophes', function (t) {
        search('andrò', '0');
        t.waitFor('andare', function () { return idle('results') && texts('results')[0] === 'andare'; }, function () {
            search('citta', '0');
            t.waitFor('città', function () { return idle('results') && texts('results')[0] === 'città'; }, function () {
                search('l\'altro', '0');
                t.waitFor('l\'altroieri', function () { return idle('results') && texts('results').length === 1; }, function () {
                    t.eq(texts('results'), ['l\'altroieri']);
                    t.eq(MockBridge.lastCall('search')[1], 'l\'altro', 'the word is sent as typed');
                    t.done();
                });
            });
        });
    });

    PageTest.test('no result and failed searches are told apart', function (t) {
        search('xyz', '0');
        t.waitFor('no result', function () { return idle('results') && listStatus('results'); }, function () {
            t.eq(listStatus('results'), 'Nessun risultato per \u00abxyz\u00bb.Prova la ricerca nel testo completo.');
            // An answer nobody waits for changes nothing.
            MockBridge.run('SignalQt(\'onSearch\', \'{tot:-1,result: [], isLemmatizzata:true}\')');
            t.eq(listStatus('results'), 'Nessun risultato per \u00abxyz\u00bb.Prova la ricerca nel testo completo.');
            t.done();
        });
    });

    PageTest.test('a failed count is reported as an error', function (t) {
        MockBridge.autoSearch = false;
        search('casa', '0');
        setTimeout(function () {
            t.step(function () {
                MockBridge.run('SignalQt(\'onSearch\', \'{tot:-1,result: [], isLemmatizzata:true}\')');
                t.waitFor('the error', function () { return listStatus('results').indexOf('errore') > 0; }, function () {
                    t.eq(listStatus('results'), 'Si è verificato un errore durante la ricerca.');
                    MockBridge.autoSearch = true;
                    t.done();
                });
            });
        }, 200);
    });

    PageTest.test('full-text search with a scope', function (t) {
        search('acqua', '2');
        t.eq(MockBridge.lastCall('search'), ['ita-base', 'acqua', '2', '', '0', '20', 'it', 'onSearch']);
        t.waitFor('all scopes', function () { return idle('results') && texts('results').length === 4; }, function () {
            t.eq(texts('results'), ['acqua', 'cascata', 'fiume', 'mare']);
            $('scope').value = String(MockBridge.scopeId('Geografia'));
            search('acqua', '2');
            t.eq(MockBridge.lastCall('search')[3], String(MockBridge.scopeId('Geografia')));
            t.waitFor('one scope', function () { return idle('results') && texts('results').length === 3; }, function () {
                t.eq(texts('results'), ['cascata', 'fiume', 'mare']);
                $('scope').value = '';
                t.done();
            });
        });
    });

    PageTest.test('a newer search replaces one still waiting', function (t) {
        search('sale', '0');
        search('sole', '0');
        search('luna', '0');
        t.waitFor('luna', function () { return idle('results') && texts('results')[0] === 'luna'; }, function () {
            var asked = MockBridge.calls.filter(function (c) { return c[0] === 'search'; }).slice(-2).map(function (c) {
                return c[1][1];
            });
            t.eq(asked, ['sale', 'luna'], 'sole was never sent');
            t.done();
        });
    });

    PageTest.test('results page by twenty, the first page carrying the exact matches', function (t) {
        MockBridge.useLemmas(60);
        search('prova', '0');
        t.waitFor('page 1', function () { return idle('results') && texts('results').length === 20; }, function () {
            t.eq($('results-info').textContent, '1\u201320 di 60');
            t.ok($('results-prev').disabled);
            $('results-next').click();
            t.eq(MockBridge.lastCall('search')[4], '20');
            t.waitFor('page 2', function () { return idle('results') && texts('results')[0] === 'prova021'; }, function () {
                t.eq($('results-info').textContent, '21\u201340 di 60');
                $('results-next').click();
                t.waitFor('page 3', function () { return idle('results') && texts('results')[0] === 'prova041'; }, function () {
                    t.ok($('results-next').disabled, 'last page');
                    $('results-prev').click();
                    t.waitFor('back', function () { return idle('results') && texts('results')[0] === 'prova021'; }, function () {
                        t.done();
                    });
                });
            });
        });
    });

    PageTest.test('the index pages by fifty and follows the typed prefix', function (t) {
        $('tab-index').click();
        $('prefix').value = 'prova';
        key($('prefix'), 13);
        t.eq(MockBridge.lastCall('getWords'), ['ita-base', 'prova', '0', '50', 'it', 'onWords']);
        t.waitFor('50 words', function () { return idle('words') && texts('words').length === 50; }, function () {
            t.eq($('words-info').textContent, '1\u201350 di 60');
            $('words-next').click();
            t.waitFor('the rest', function () { return idle('words') && texts('words').length === 10; }, function () {
                t.eq(MockBridge.lastCall('getWords')[2], '50');
                t.ok($('words-next').disabled);
                $('letters').querySelector('[data-letter=z]').click();
                t.waitFor('z', function () { return idle('words') && texts('words')[0] === 'zucchero'; }, function () {
                    MockBridge.useLemmas(0);
                    t.done();
                });
            });
        });
    });

    PageTest.test('clicking a word opens its entry; links follow their kind', function (t) {
        $('words').querySelector('.item').click();
        t.ok(entryText().indexOf('Sostanza dolce') >= 0, 'zucchero shown');
        search('casa', '0');
        t.waitFor('casa', function () { return entryText().indexOf('Edificio') >= 0; }, function () {
            var links = $('entry').querySelectorAll('a');
            links[1].click();
            t.eq(MockBridge.lastCall('openLink'), ['http://example.org/casa']);
            links[0].click();
            t.eq(MockBridge.lastCall('getHtml'), ['ita-base', 'IT0009', 'c.html', 'onEntry']);
            t.ok(entryText().indexOf('Gruppo di case rurali') >= 0, 'casale shown');
            t.done();
        });
    });

    PageTest.test('entries that cannot be read say so', function (t) {
        Vocalume.dictionary.openEntry({ idzenta: 'IT9999', file: 'c.html', word: 'assente' });
        t.eq($('entry-status').textContent, 'Voce non disponibile in questo dizionario.');
        Vocalume.dictionary.openEntry({ idzenta: 'IT0008', file: 'missing.html', word: 'casa' });
        t.waitFor('the failure', function () { return $('entry-status').textContent.indexOf('Impossibile') === 0; }, function () {
            t.done();
        }, 6000);
    });

    PageTest.test('entry content is copied without scripts or handlers', function (t) {
        var box = document.createElement('div');
        Vocalume.renderEntry(box, '<div id="x"><img src="img/a.png" onerror="window.__bad=1"/>' +
            '<a href="javascript:window.__bad=2">x</a><script>window.__bad=3;<\/script><span class="e"/>dopo' +
            '<img src="http://example.org/b.png"/></div>', 'books/ita-base/');
        var imgs = box.querySelectorAll('img');
        t.eq(imgs[0].getAttribute('src'), 'books/ita-base/img/a.png');
        t.eq(imgs[0].getAttribute('onerror'), null);
        t.eq(imgs[1].getAttribute('src'), 'http://example.org/b.png');
        t.eq(box.querySelector('a').getAttribute('href'), null);
        t.eq(box.querySelectorAll('script').length, 0);
        t.eq(box.querySelector('span.e').childNodes.length, 0, 'an empty XHTML element stays empty');
        t.ok(box.textContent.indexOf('dopo') >= 0);
        Vocalume.renderEntry(box, '<div><p>uno<p>due <b>tre</div>', '');
        t.eq(box.textContent, 'unodue tre', 'HTML that is not XML is still shown');
        setTimeout(function () {
            t.step(function () {
                t.eq(window.__bad, undefined);
                t.done();
            });
        }, 100);
    });

    PageTest.test('favourites and bookmarks are kept in the page tables', function (t) {
        search('casa', '0');
        t.waitFor('casa', function () { return entryText().indexOf('Edificio') >= 0; }, function () {
            $('fav').click();
            t.waitFor('the favourite', function () { return $('fav').getAttribute('aria-pressed') === 'true'; }, function () {
                rows('FAVORITE', function (list) {
                    t.step(function () {
                        t.eq(list.length, 1);
                        t.eq(list[0].IDBOOK, 'ita-base');
                        t.eq(list[0].NOTE, 'casa');
                        t.eq(Vocalume.store.parseRef(list[0].REF).idzenta, 'IT0008');
                        t.ok(/^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d$/.test(list[0].DATE), 'date ' + list[0].DATE);
                        $('bookmark').click();
                        t.waitFor('the bookmark', function () { return $('bookmark').getAttribute('aria-pressed') === 'true'; }, function () {
                            $('open-saved').click();
                            t.eq(texts('saved-list'), ['casa']);
                            $('saved').querySelector('[data-table=BOOKMARK]').click();
                            t.eq(texts('saved-list'), ['casa']);
                            $('fav').click();
                            t.waitFor('removed', function () { return $('fav').getAttribute('aria-pressed') === 'false'; }, function () {
                                rows('FAVORITE', function (after) {
                                    t.step(function () {
                                        t.eq(after.length, 0);
                                        t.done();
                                    });
                                });
                            });
                        });
                    });
                });
            });
        });
    });

    PageTest.test('the saved list opens entries and deletes rows', function (t) {
        Vocalume.dictionary.openEntry({ idzenta: 'IT0020', file: 'l.html', word: 'luna' });
        $('saved').querySelector('[data-table=BOOKMARK]').click();
        $('saved-list').querySelector('.item').click();
        t.eq(MockBridge.lastCall('getHtml'), ['ita-base', 'IT0008', 'c.html', 'onEntry']);
        $('saved-list').querySelector('[data-remove]').click();
        t.waitFor('empty list', function () { return listStatus('saved-list').indexOf('Nessun segnalibro') === 0; }, function () {
            key(document, 27);
            t.ok($('saved').hasAttribute('hidden'), 'Esc closes the panel');
            t.done();
        });
    });

    PageTest.test('notes are written, shown, changed and deleted', function (t) {
        $('note').click();
        var area = document.querySelector('.dialog textarea');
        t.ok(area, 'editor open');
        area.value = 'Da ripassare: l\'uso figurato.';
        var save = document.querySelectorAll('.dialog button');
        save[save.length - 1].click();
        t.waitFor('the note', function () { return !$('entry-note').hasAttribute('hidden'); }, function () {
            t.eq($('entry-note').textContent, 'La tua notaDa ripassare: l\'uso figurato.');
            $('note').click();
            t.eq(document.querySelector('.dialog textarea').value, 'Da ripassare: l\'uso figurato.');
            document.querySelector('.dialog textarea').value = 'Cambiata';
            var b = document.querySelectorAll('.dialog button');
            b[b.length - 1].click();
            t.waitFor('changed', function () { return $('entry-note').textContent === 'La tua notaCambiata'; }, function () {
                rows('NOTE', function (list) {
                    t.step(function () {
                        t.eq(list.length, 1);
                        t.eq(list[0].NOTE, 'Cambiata');
                        $('note').click();
                        document.querySelector('.dialog button').click(); // Elimina
                        t.waitFor('deleted', function () { return $('entry-note').hasAttribute('hidden'); }, function () {
                            t.done();
                        });
                    });
                });
            });
        });
    });

    PageTest.test('keyboard: slash to search, arrows through results', function (t) {
        document.body.focus();
        var ev = document.createEvent('Event');
        ev.initEvent('keypress', true, true);
        ev.charCode = 47;
        document.body.dispatchEvent(ev);
        t.eq(document.activeElement, $('q'));
        search('ca', '0');
        t.waitFor('results', function () { return idle('results') && texts('results').length > 3; }, function () {
            key($('q'), 40);
            var items = $('results').querySelectorAll('.item');
            t.eq(document.activeElement, items[0]);
            key(items[0], 40);
            t.eq(document.activeElement, items[1]);
            key(items[1], 35);
            t.eq(document.activeElement, items[items.length - 1]);
            key(items[items.length - 1], 36);
            key(items[0], 38);
            t.eq(document.activeElement, $('q'), 'up from the first item goes back to the search box');
            t.done();
        });
    });

    PageTest.test('back to the library', function (t) {
        $('back').click();
        t.eq(MockBridge.lastCall('loadUrl'), ['libreria.html']);
        t.done();
    });
}());
