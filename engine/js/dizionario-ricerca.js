// Dictionary page: headword and full-text search with scopes, and its result list with pages.

(function (V, D) {
    'use strict';

    var LOOKUP_PAUSE_MS = 60; // typing pause before the box is looked up while a search runs

    var el = D.el;
    var search = D.search;
    var everywhere = D.everywhere;
    var lookupTimer = null;

    function cancelLookup() {
        clearTimeout(lookupTimer);
        lookupTimer = null;
    }

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

    D.listSearching = function (text) {
        el.results.innerHTML = '<li class="list-status"><span class="spinner spinner-small"></span> ' + text + '</li>';
    };

    D.startSearch = function (start) {
        var word = D.trim(el.q.value);
        if (!word) {
            el.q.focus();
            return;
        }
        cancelLookup();
        search.awaitingSuggestions = null;
        var type = mode();
        if (el.allBooks.checked && D.installed.length > 1) {
            D.searchEverywhere(word, type);
            return;
        }
        // A search of every dictionary still under way no longer writes over the list.
        everywhere.run = null;
        D.stopEverywhere();
        var req = { word: word, type: type, scope: type === '2' ? el.scope.value : '', start: start || 0 };
        var p = search.pending;
        if (p && !search.queued && p.word === req.word && p.type === req.type && p.scope === req.scope && p.start === req.start) {
            return; // the same search is already on its way
        }
        if (req.start === 0) {
            search.exactCount = 0;
        }
        D.showTab('results');
        D.listSearching('Ricerca in corso...');
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
        D.listSearching('Ricerca in corso...');
        D.send(search, req, callSearch);
    }

    // Marks each item exact (its headword is the word, whatever its case or accents), inflected
    // (found by a form of its own) or named (reached by another name of the entry that is the
    // word), and sorts them: the headword as typed, the other exact ones (those written in the
    // case of the word typed first: a lower-case word before a proper name), the inflected ones,
    // the named ones, then the headwords and names that merely begin with the word. Listed
    // homographs are numbered.
    D.rank = function (items, word, lemma, lang) {
        // One call of native code for every text compared (no table holds a line break).
        var texts = [word].concat(items.map(function (it) { return it.alias || ''; }), items.map(function (it) { return it.word; }));
        var normalized = D.normalize(texts.join('\n').toLowerCase(), lang).split('\n');
        if (normalized.length !== texts.length) {
            normalized = texts.map(function (t) { return D.normalize(t.toLowerCase(), lang); });
        }
        var key = normalized[0];
        var lower = word === word.toLowerCase();
        var kind = function (it) {
            if (it.alias) {
                return it.named ? 4 : 5;
            }
            if (it.word === word) {
                return 0;
            }
            return it.exact ? ((it.word === it.word.toLowerCase()) === lower ? 1 : 2) : it.inflected ? 3 : 5;
        };
        items.forEach(function (it, i) {
            var w = normalized[1 + items.length + i];
            it.exact = !it.alias && w === key;
            // A related entry whose headword does not begin with the word was found by its form;
            // another name is found only by its beginning.
            it.inflected = lemma && !it.alias && !it.exact && w.indexOf(key) !== 0;
            it.named = !!it.alias && normalized[1 + i] === key;
        });
        return D.number([0, 1, 2, 3, 4, 5].reduce(function (sorted, k) {
            return sorted.concat(items.filter(function (it) { return kind(it) === k; }));
        }, []));
    };

    // The entries a page of the word shows: every exact, inflected and named match (each entry
    // once), or else the first result with its homographs.
    D.matches = function (items) {
        var out = [];
        items.forEach(function (it) {
            if ((it.exact || it.inflected || it.named) && !out.some(function (x) { return D.sameEntry(x, it); })) {
                out.push(it);
            }
        });
        return out.length || !items.length ? out : D.homographs(items, items[0]);
    };

    search.onAnswer = function (req, res) {
        var tot = D.totalOf(res);
        var items = D.readItems(res.result);
        var lemma = res.isLemmatizzata !== false && req.type !== '2';
        if (lemma && req.start === 0) {
            // The first page lists the headwords equal to the word before the related entries.
            var exact = 0;
            while (exact < items.length && (items[exact].alias || items[exact].word) === req.word.toLowerCase()) {
                exact++;
            }
            search.exactCount = exact;
        }
        items = lemma ? D.rank(items, req.word, true) : D.number(items);
        search.last = req;
        search.lastItems = items;
        search.lastAnswer = { tot: tot, lemma: lemma };
        D.renderResults(req, items, tot, lemma);
        // The reader follows the list: the word's page opens, whatever matched, and an empty
        // list leaves no entry of an earlier search on screen.
        if (req.start === 0) {
            if (items.length > 0) {
                var book = D.bookOf(D.sku);
                D.openPage({ word: req.word, sections: [{ book: book, items: lemma ? D.matches(items) : [items[0]] }],
                    highlight: lemma ? '' : req.word }, null, { search: req.word.toLowerCase() });
            } else {
                D.closeEntry();
            }
        }
    };

    D.resultButton = function (it, i, badges) {
        return '<button type="button" class="item' + (D.sameRow(it, D.entry.current) ? ' is-current' : '') +
            '" data-index="' + i + '">' + D.itemLabel(it, true) + (badges || '') +
            (it.hint && !it.alias ? '<span class="hint">' + V.escapeHtml(it.hint) + '</span>' : '') + '</button>';
    };

    // A hint read after the list was drawn joins its row.
    D.showHint = function (it) {
        var i = (search.lastItems || []).indexOf(it);
        var button = i < 0 ? null : el.results.querySelector('.item[data-index="' + i + '"]');
        if (button && !button.querySelector('.hint')) {
            var hint = document.createElement('span');
            hint.className = 'hint';
            hint.textContent = it.hint;
            button.appendChild(hint);
        }
    };

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
                    (req.type === '0' ? '<br>Prova la ricerca nel testo completo.' : ''))) + '</li>' + D.suggestionList(close);
        } else {
            el.results.innerHTML = items.map(function (it, i) {
                return '<li>' + D.resultButton(it, i, (it.exact ? '<span class="exact">esatto</span>' : '') +
                    (it.inflected ? '<span class="exact">forma flessa</span>' : '')) + '</li>';
            }).join('');
            D.loadHints(items, D.showHint);
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

    // A result on the page shown comes into view; any other opens a page of its own, with its
    // homographs of the same list.
    function openResult(chosen) {
        if (!chosen) {
            return;
        }
        var last = search.last;
        var fullText = everywhere.run ? everywhere.run.type === '2' : !!last && last.type === '2';
        if (D.pageEntries().some(function (it) { return D.sameEntry(it, chosen); })) {
            D.focusEntry(chosen, true);
            return;
        }
        var items = (search.lastItems || []).filter(function (it) { return it.sku === chosen.sku; });
        D.openPage({ word: chosen.word, sections: [{ book: D.bookOf(chosen.sku), items: fullText ? [chosen] : D.homographs(items, chosen) }],
            highlight: fullText ? (everywhere.run ? everywhere.run.word : last.word) : '' }, chosen);
    }

    // What the results list shows, so that back and forward can show it again.
    D.resultsState = function () {
        var run = everywhere.run;
        var last = search.last;
        if (!run && !last) {
            return null;
        }
        return run ? { run: run, word: run.word, type: run.type, scope: '', all: true } :
            { req: last, items: search.lastItems, answer: search.lastAnswer, word: last.word, type: last.type, scope: last.scope, all: false };
    };

    D.restoreResults = function (state) {
        if (!state) {
            return;
        }
        search.pending = search.queued = null;
        D.stopEverywhere();
        search.awaitingSuggestions = null;
        el.q.value = state.word;
        var radios = document.getElementsByName('mode');
        for (var i = 0; i < radios.length; i++) {
            radios[i].checked = radios[i].value === state.type;
        }
        el.scope.value = state.scope;
        el.allBooks.checked = state.all;
        D.syncModes();
        D.showHeader();
        D.showTab('results');
        everywhere.run = state.run || null;
        // A search of every dictionary replaced before all of them answered is asked again.
        if (state.run && state.run.groups.length < state.run.books.length) {
            D.searchEverywhere(state.run.word, state.run.type);
            return;
        }
        if (state.run) {
            D.renderEverywhere(state.run);
            return;
        }
        search.last = state.req;
        search.lastItems = state.items;
        search.lastAnswer = state.answer;
        D.renderResults(state.req, state.items, state.answer.tot, state.answer.lemma);
    };

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
        V.on(el.allBooks, 'change', function () {
            D.showHeader();
            rerun();
        });
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
                cancelLookup();
            }
        });
        // Look-up as you type: the key's word is searched as soon as the key is taken when no
        // search runs; while one does, after a short pause, so a fast typist's keys do not pile
        // up searches of words already out of date.
        V.on(el.q, 'input', function () {
            cancelLookup();
            lookupTimer = setTimeout(function () {
                lookupTimer = null;
                if (D.trim(el.q.value)) {
                    D.startSearch(0);
                }
            }, search.pending || everywhere.pending ? LOOKUP_PAUSE_MS : 0);
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
            openResult(D.itemFrom(ev, el.results, search.lastItems || []));
        });
    };
}(Vocalume, Vocalume.dict));
