// Dictionary page: the search of every installed dictionary, and the order in which they are
// searched.

(function (V, D) {
    'use strict';

    var el = D.el;
    var search = D.search;
    var everywhere = D.everywhere;
    var USER_LANGUAGE = 'it'; // the language the user reads: the program's own

    // The installed dictionaries in the order they are searched: the one the search started
    // from (`first`, none when it started from the library), those of its language pair, those
    // with the user's language on either side, then the others, each group in library order.
    D.orderBooks = function (books, first) {
        var place = function (b) {
            if (first && b.sku === first.sku) {
                return 0;
            }
            if (first && b.lang === first.lang && b.dest === first.dest) {
                return 1;
            }
            return b.lang === USER_LANGUAGE || b.dest === USER_LANGUAGE ? 2 : 3;
        };
        return books.map(function (b, i) { return { b: b, key: place(b) * 10000 + i }; })
            .sort(function (x, y) { return x.key - y.key; }).map(function (x) { return x.b; });
    };

    // ---- Every installed dictionary --------------------------------------------------------
    // The word is looked up in every installed dictionary at once, each dictionary by a worker of
    // its own in native code (in turn through the bridge where that help is missing). The first
    // results of each are listed under its title in the order of D.installed; the first
    // dictionary's answer is shown first, the others as they come after it. The word's page gains
    // a section for each dictionary that has it. A newer search replaces the older one, whose
    // answers still on their way are dropped.

    D.searchEverywhere = function (word, type) {
        var run = { word: word, type: type, books: D.installed.slice(), answers: [], groups: [], page: null, callbacks: [] };
        D.showTab('results');
        D.listSearching('Ricerca in tutti i dizionari...');
        V.show(el.resultsPager, false);
        el.resultsCount.textContent = '';
        D.stopEverywhere();
        everywhere.run = everywhere.pending = run;
        var books = run.books.map(function (book, i) {
            var callback = D.callbackOnce(everywhere.kind, function (res) { heard(run, i, res); });
            run.callbacks.push(callback);
            return { sku: book.sku, lang: book.lang, callback: callback };
        });
        var native = V.native('searchEach');
        if (native) {
            native.searchEach(word, type, JSON.stringify(books), String(D.PAGE_SIZE));
        } else {
            run.inTurn = books;
            askInTurn(run, 0);
        }
    };

    function askInTurn(run, i) {
        var b = run.inTurn[i];
        V.bridge('search', b.sku, run.word, run.type, '', '0', String(D.PAGE_SIZE), b.lang, b.callback);
    }

    // The answers of a search replaced are no longer awaited; those of the one before it, which
    // could still have come then, are forgotten.
    function retire(run) {
        (everywhere.retired || []).forEach(function (name) { D.dropCallback(name, true); });
        everywhere.retired = run ? run.callbacks : [];
        everywhere.retired.forEach(function (name) { D.dropCallback(name); });
    }

    // The search of every dictionary under way, if any, is no longer awaited.
    D.stopEverywhere = function () {
        retire(everywhere.pending);
        everywhere.pending = null;
    };

    function heard(run, i, res) {
        if (run !== everywhere.pending) {
            return;
        }
        run.answers[i] = res;
        if (run.inTurn && i + 1 < run.books.length) {
            askInTurn(run, i + 1);
        }
        if (!run.answers[0]) {
            return; // the first dictionary's answer comes first on the page
        }
        run.answers.forEach(function (answer, at) {
            if (answer && !run.groups.some(function (g) { return g.at === at; })) {
                take(run, at, answer);
            }
        });
        var done = run.groups.length === run.books.length;
        if (done) {
            everywhere.pending = null;
        }
        D.renderEverywhere(run);
        if (done && !run.page) {
            // Nothing is the word itself: the first result found, with its homographs.
            var first = run.groups.filter(function (g) { return g.items.length; })[0];
            if (first) {
                D.openPage({ word: run.word, sections: [{ book: first.book, items: D.homographs(first.items, first.items[0]) }] },
                    null, { search: run.word.toLowerCase() });
            } else {
                D.closeEntry();
                D.suggestEverywhere(run);
            }
        }
    }

    // A dictionary's answer: its group of the list and its section of the word's page, each in
    // the dictionary's place.
    function take(run, at, res) {
        var tot = D.totalOf(res);
        var book = run.books[at];
        var lemma = run.type !== '2';
        var items = D.readItems(res.result, book.sku);
        var group = { book: book, at: at, tot: D.badTotal(tot) ? 0 : tot,
            items: lemma ? D.rank(items, run.word, true, book.lang) : D.number(items) };
        var place = run.groups.filter(function (g) { return g.at < at; }).length;
        run.groups.splice(place, 0, group);
        var section = { book: book, at: at, items: group.items.length && lemma ? D.matches(group.items).filter(function (it) {
            return it.exact || it.inflected || it.named;
        }) : group.items.slice(0, 1) };
        if (!section.items.length) {
            return;
        }
        if (run.page) {
            D.addSection(run.page, section);
        } else {
            run.page = { word: run.word, sections: [section], highlight: lemma ? '' : run.word };
            D.openPage(run.page, null, { search: run.word.toLowerCase() });
        }
    }

    D.renderEverywhere = function (run) {
        var found = run.groups.filter(function (g) { return g.items.length; });
        var waiting = run.books.filter(function (b, i) { return !run.groups.some(function (g) { return g.at === i; }); });
        search.lastItems = [];
        var html = found.map(function (g) {
            return '<li class="group">' + V.escapeHtml(g.book.title) + ' <span class="count">(' + g.tot + ')</span></li>' +
                g.items.map(function (it) {
                    return '<li>' + D.resultButton(it, search.lastItems.push(it) - 1) + '</li>';
                }).join('');
        }).join('');
        if (waiting.length) {
            html += '<li class="list-status"><span class="spinner spinner-small"></span> Ricerca in ' +
                (waiting.length === 1 ? V.escapeHtml(waiting[0].title) : waiting.length + ' dizionari') + '...</li>';
        } else if (!found.length) {
            html = '<li class="list-status">Nessun risultato per \u00ab' + V.escapeHtml(run.word) + '\u00bb in nessun dizionario.</li>' +
                D.suggestionList(run.suggestions);
        }
        el.results.innerHTML = html;
        el.resultsCount.textContent = found.length ? ' (' + found.reduce(function (n, g) { return n + g.tot; }, 0) + ')' : '';
        D.loadHints(search.lastItems, D.showHint);
    };
}(Vocalume, Vocalume.dict));
