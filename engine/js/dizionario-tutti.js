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
    // The word is looked up in each installed dictionary in turn, one request at a time, in the
    // order D.installed gives them, and the first results of each are listed under its title.
    // The word's page gains a section for each dictionary that has it, as its answer arrives. A
    // newer search waits for the request under way, then replaces the older one.

    D.searchEverywhere = function (word, type) {
        var run = { word: word, type: type, books: D.installed.slice(), groups: [], page: null };
        D.showTab('results');
        D.listSearching('Ricerca in tutti i dizionari...');
        V.show(el.resultsPager, false);
        el.resultsCount.textContent = '';
        everywhere.run = run;
        D.send(everywhere, { run: run }, askNextBook);
    };

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
        var tot = D.totalOf(res);
        var book = run.books[run.groups.length];
        var lemma = run.type !== '2';
        var items = D.readItems(res.result, book.sku);
        var group = { book: book, tot: D.badTotal(tot) ? 0 : tot, items: lemma ? D.rank(items, run.word, true, book.lang) : D.number(items) };
        run.groups.push(group);
        D.renderEverywhere(run);
        var section = { book: book, items: group.items.length && lemma ? D.matches(group.items).filter(function (it) {
            return it.exact || it.inflected || it.named;
        }) : group.items.slice(0, 1) };
        if (run.page && section.items.length) {
            D.addSection(run.page, section);
        } else if (section.items.length && !run.page) {
            run.page = { word: run.word, sections: [section], highlight: lemma ? '' : run.word };
            D.openPage(run.page, null, { search: run.word.toLowerCase() });
        }
        if (run.groups.length < run.books.length) {
            D.send(everywhere, { run: run }, askNextBook);
        } else if (!run.page) {
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
    };

    D.renderEverywhere = function (run) {
        var found = run.groups.filter(function (g) { return g.items.length; });
        var waiting = run.groups.length < run.books.length;
        search.lastItems = [];
        var html = found.map(function (g) {
            return '<li class="group">' + V.escapeHtml(g.book.title) + ' <span class="count">(' + g.tot + ')</span></li>' +
                g.items.map(function (it) {
                    return '<li>' + D.resultButton(it, search.lastItems.push(it) - 1) + '</li>';
                }).join('');
        }).join('');
        if (waiting) {
            html += '<li class="list-status"><span class="spinner spinner-small"></span> Ricerca in ' +
                V.escapeHtml(run.books[run.groups.length].title) + '...</li>';
        } else if (!found.length) {
            html = '<li class="list-status">Nessun risultato per \u00ab' + V.escapeHtml(run.word) + '\u00bb in nessun dizionario.</li>' +
                D.suggestionList(run.suggestions);
        }
        el.results.innerHTML = html;
        el.resultsCount.textContent = found.length ? ' (' + found.reduce(function (n, g) { return n + g.tot; }, 0) + ')' : '';
        D.loadHints(search.lastItems, D.showHint);
    };
}(Vocalume, Vocalume.dict));
