// Dictionary page: headword and full-text search with scopes, its result list with pages, and
// the search of every installed dictionary.

(function (V, D) {
    'use strict';

    var LOOKUP_PAUSE_MS = 60; // typing pause before the box is looked up

    var el = D.el;
    var search = D.search;
    var everywhere = D.everywhere;
    var lookupTimer = null;

    function mode() {
        var radios = document.getElementsByName('mode');
        for (var i = 0; i < radios.length; i++) {
            if (radios[i].checked) {
                return radios[i].value;
            }
        }
        return '0';
    }

    D.syncModes = function () {
        var radios = document.getElementsByName('mode');
        for (var i = 0; i < radios.length; i++) {
            radios[i].parentNode.className = radios[i].checked ? 'is-on' : '';
        }
        var fullText = mode() === '2';
        el.scope.disabled = !fullText || el.scope.options.length < 2;
    };

    function callSearch(req) {
        V.bridge('search', D.sku, req.word, req.type, req.scope, String(req.start), String(D.PAGE_SIZE), D.lang, req.callback);
    }

    function listSearching(text) {
        el.results.innerHTML = '<li class="list-status"><span class="spinner spinner-small"></span> ' + text + '</li>';
    }

    D.startSearch = function (start) {
        var word = D.trim(el.q.value);
        if (!word) {
            el.q.focus();
            return;
        }
        if (lookupTimer) {
            clearTimeout(lookupTimer);
            lookupTimer = null;
        }
        search.awaitingSuggestions = null;
        var type = mode();
        if (el.allBooks.checked && D.installed.length > 1) {
            searchEverywhere(word, type);
            return;
        }
        // A search of every dictionary still under way no longer writes over the list.
        everywhere.run = null;
        everywhere.queued = null;
        var req = { word: word, type: type, scope: type === '2' ? el.scope.value : '', start: start || 0 };
        var p = search.pending;
        if (p && !search.queued && p.word === req.word && p.type === req.type && p.scope === req.scope && p.start === req.start) {
            return; // the same search is already on its way
        }
        if (req.start === 0) {
            search.exactCount = 0;
        }
        D.showTab('results');
        listSearching('Ricerca in corso...');
        V.show(el.resultsPager, false);
        D.send(search, req, callSearch);
    };

    function pageSearch(delta) {
        var last = search.last;
        if (!last) {
            return;
        }
        el.q.value = last.word;
        search.awaitingSuggestions = null;
        var req = { word: last.word, type: last.type, scope: last.scope, start: Math.max(0, last.start + delta * D.PAGE_SIZE) };
        listSearching('Ricerca in corso...');
        D.send(search, req, callSearch);
    }

    search.onAnswer = function (req, res) {
        var tot = typeof res.tot === 'number' ? res.tot : parseInt(res.tot, 10);
        var items = D.readItems(res.result);
        var lemma = res.isLemmatizzata !== false && req.type !== '2';
        search.last = req;
        search.lastItems = items;
        var key = D.normalize(req.word.toLowerCase());
        var exact = 0;
        items.forEach(function (it) {
            var w = D.normalize(it.word.toLowerCase());
            it.exact = w === key;
            // A related entry whose headword does not begin with the word was found by its form.
            it.inflected = lemma && !it.exact && w.indexOf(key) !== 0;
        });
        if (lemma && req.start === 0) {
            // The first page lists the headwords equal to the word before the related entries.
            while (exact < items.length && items[exact].word === req.word.toLowerCase()) {
                exact++;
            }
            search.exactCount = exact;
            items = exactThenInflected(items);
            search.lastItems = items;
        }
        D.renderResults(req, items, tot, lemma);
        // The reader follows the list: the first result opens, whatever matched, and an empty
        // list leaves no entry of an earlier search on screen.
        if (req.start === 0) {
            if (items.length > 0) {
                D.openEntry(items[0], { search: req.word.toLowerCase(), highlight: lemma ? '' : req.word });
            } else {
                D.closeEntry();
            }
        }
    };

    // The headwords equal to the word (whatever their case or accents) come first, then the
    // entries found by an inflected form, then the headwords that merely begin with the word.
    function exactThenInflected(items) {
        var kind = function (it) { return it.exact ? 0 : it.inflected ? 1 : 2; };
        return [0, 1, 2].reduce(function (sorted, k) {
            return sorted.concat(items.filter(function (it) { return kind(it) === k; }));
        }, []);
    }

    D.renderResults = function (req, items, tot, lemma) {
        el.resultsCount.textContent = tot > 0 ? ' (' + tot + ')' : '';
        if (D.badTotal(tot)) {
            el.results.innerHTML = '<li class="list-status">Si è verificato un errore durante la ricerca.</li>';
            V.show(el.resultsPager, false);
            return;
        }
        if (items.length === 0) {
            var close = req.start > 0 ? [] : D.suggestions(req.word);
            // Native code is still reading the headwords: the list is drawn again once it has.
            search.awaitingSuggestions = close ? null : { req: req, tot: tot, lemma: lemma };
            close = close || [];
            el.results.innerHTML = '<li class="list-status">' + (req.start > 0 ? 'Nessun altro risultato.' :
                'Nessun risultato per \u00ab' + V.escapeHtml(req.word) + '\u00bb.' +
                (close.length || search.awaitingSuggestions ? '' :
                    (req.type === '0' ? '<br>Prova la ricerca nel testo completo.' : ''))) + '</li>' +
                (close.length ? '<li class="suggest"><span class="suggest-label">Forse cercavi:</span> ' +
                    close.map(function (w) {
                        return '<button type="button" class="item suggestion" data-suggest="' + V.escapeHtml(w) + '">' +
                            '<span class="w">' + V.escapeHtml(w) + '</span></button>';
                    }).join('') + '</li>' : '');
        } else {
            el.results.innerHTML = items.map(function (it, i) {
                return '<li><button type="button" class="item' + (D.sameEntry(it, D.entry.current) ? ' is-current' : '') +
                    '" data-index="' + i + '">' + D.itemLabel(it) +
                    (it.exact ? '<span class="exact">esatto</span>' : '') +
                    (it.inflected ? '<span class="exact">forma flessa</span>' : '') + '</button></li>';
            }).join('');
        }
        var first;
        var last;
        var more;
        if (lemma) {
            var offset = req.start === 0 ? 0 : search.exactCount;
            var related = items.length - (req.start === 0 ? search.exactCount : 0);
            first = offset + req.start + 1;
            last = offset + req.start + items.length;
            more = related >= D.PAGE_SIZE && req.start + D.PAGE_SIZE < tot - search.exactCount;
        } else {
            first = req.start + 1;
            last = req.start + items.length;
            more = items.length >= D.PAGE_SIZE && last < tot;
        }
        el.resultsInfo.textContent = items.length ? first + '\u2013' + last + ' di ' + tot : '';
        el.resultsPrev.disabled = req.start === 0;
        el.resultsNext.disabled = !more;
        V.show(el.resultsPager, req.start > 0 || more);
    };

    // ---- Every installed dictionary --------------------------------------------------------
    // The word is looked up in each installed dictionary in turn, one request at a time, and the
    // first results of each are listed under its title. A newer search waits for the request
    // under way, then replaces the older one.

    function searchEverywhere(word, type) {
        var run = { word: word, type: type, books: D.installed.slice(), groups: [] };
        D.showTab('results');
        listSearching('Ricerca in tutti i dizionari...');
        V.show(el.resultsPager, false);
        el.resultsCount.textContent = '';
        everywhere.run = run;
        D.send(everywhere, { run: run }, askNextBook);
    }

    function askNextBook(req) {
        var run = req.run;
        var book = run.books[run.groups.length];
        V.bridge('search', book.sku, run.word, run.type, '', '0', String(D.PAGE_SIZE), book.lang, req.callback);
    }

    everywhere.onAnswer = function (req, res) {
        var run = req.run;
        if (run !== everywhere.run) {
            return;
        }
        var tot = typeof res.tot === 'number' ? res.tot : parseInt(res.tot, 10);
        run.groups.push({ book: run.books[run.groups.length], tot: D.badTotal(tot) ? 0 : tot, items: D.readItems(res.result) });
        renderEverywhere(run);
        if (run.groups.length < run.books.length) {
            D.send(everywhere, { run: run }, askNextBook);
        }
    };

    function renderEverywhere(run) {
        var found = run.groups.filter(function (g) { return g.items.length; });
        var waiting = run.groups.length < run.books.length;
        search.lastItems = [];
        var html = found.map(function (g) {
            return '<li class="group">' + V.escapeHtml(g.book.title) + ' <span class="count">(' + g.tot + ')</span></li>' +
                g.items.map(function (it) {
                    var n = search.lastItems.push({ item: it, sku: g.book.sku }) - 1;
                    return '<li><button type="button" class="item" data-index="' + n + '">' + D.itemLabel(it) + '</button></li>';
                }).join('');
        }).join('');
        if (waiting) {
            html += '<li class="list-status"><span class="spinner spinner-small"></span> Ricerca in ' +
                V.escapeHtml(run.books[run.groups.length].title) + '...</li>';
        } else if (!found.length) {
            html = '<li class="list-status">Nessun risultato per \u00ab' + V.escapeHtml(run.word) + '\u00bb in nessun dizionario.</li>';
        }
        el.results.innerHTML = html;
        el.resultsCount.textContent = found.length ? ' (' + found.reduce(function (n, g) { return n + g.tot; }, 0) + ')' : '';
        var here = found[0] && found[0].book.sku === D.sku ? found[0].items[0] : null;
        if (here && run.groups.length === 1) {
            D.openEntry(here, { search: run.word.toLowerCase() });
        }
    }

    // A result of another dictionary opens that dictionary's page, which looks the word up.
    function openEverywhereItem(chosen) {
        if (!chosen) {
            return;
        }
        if (chosen.sku === D.sku) {
            D.openEntry(chosen.item);
            return;
        }
        V.bridge('loadUrl', 'dizionario.html?idbook=' + encodeURIComponent(chosen.sku) + '&voce=' +
            encodeURIComponent(chosen.item.word));
    }

    // ---- Scopes ---------------------------------------------------------------------------

    window.onScopes = function (res) {
        var list = (res && res.result) || [];
        var keep = el.scope.value;
        el.scope.innerHTML = '<option value="">Tutti gli ambiti</option>' + list.map(function (s) {
            return '<option value="' + V.escapeHtml(String(s.id)) + '">' + V.escapeHtml(V.decodeApos(s.nome)) + '</option>';
        }).join('');
        el.scope.value = keep;
        V.show(el.scope.parentNode, list.length > 0);
        D.syncModes();
    };

    // ---- Events ---------------------------------------------------------------------------

    D.wireSearch = function () {
        V.on(el.searchForm, 'submit', function (ev) {
            ev.preventDefault();
            D.startSearch(0);
        });
        var radios = document.getElementsByName('mode');
        // A new kind of search or scope answers at once for the word in the box.
        var rerun = function () {
            D.syncModes();
            if (D.trim(el.q.value)) {
                D.startSearch(0);
            }
        };
        V.on(el.scope, 'change', rerun);
        V.on(el.allBooks, 'change', rerun);
        for (var i = 0; i < radios.length; i++) {
            V.on(radios[i], 'change', rerun);
            V.on(radios[i], 'focus', function () { this.parentNode.className += ' has-focus'; });
            V.on(radios[i], 'blur', D.syncModes);
        }
        V.on(el.q, 'keydown', function (ev) {
            if (ev.keyCode === 40) {
                ev.preventDefault();
                D.firstItem(el.panelResults.hasAttribute('hidden') ? el.words : el.results);
            } else if (ev.keyCode === 27 && el.q.value) {
                ev.preventDefault();
                ev.stopPropagation();
                el.q.value = '';
                if (lookupTimer) {
                    clearTimeout(lookupTimer);
                    lookupTimer = null;
                }
            }
        });
        // Look-up as you type: a short pause after the last key starts the search.
        V.on(el.q, 'input', function () {
            if (lookupTimer) {
                clearTimeout(lookupTimer);
            }
            lookupTimer = setTimeout(function () {
                lookupTimer = null;
                if (D.trim(el.q.value)) {
                    D.startSearch(0);
                }
            }, LOOKUP_PAUSE_MS);
        });
        V.on(el.resultsPrev, 'click', function () { pageSearch(-1); });
        V.on(el.resultsNext, 'click', function () { pageSearch(1); });
        V.on(el.results, 'click', function (ev) {
            var t = ev.target;
            while (t && t !== el.results && !(t.getAttribute && t.getAttribute('data-suggest'))) {
                t = t.parentNode;
            }
            if (t && t !== el.results) {
                el.q.value = t.getAttribute('data-suggest');
                D.startSearch(0);
                return;
            }
            var chosen = D.itemFrom(ev, el.results, search.lastItems || []);
            if (chosen && chosen.sku) {
                openEverywhereItem(chosen);
                return;
            }
            var last = search.last;
            D.openEntry(chosen,
                { highlight: last && last.type === '2' ? last.word : '' });
        });
    };
}(Vocalume, Vocalume.dict));
