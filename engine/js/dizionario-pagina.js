// Dictionary page: the reader. It shows every match of a word on one scrolling page: the
// homographs one after the other, each under its own heading, and, for a search of every
// installed dictionary, a section per dictionary. The entry in focus is the one the tools act on.
// Pages opened one after the other are remembered with the search that led to them, for back
// and forward.

(function (V, D) {
    'use strict';

    var STEPS_MAX = 200;     // pages that back and forward remember

    var el = D.el;
    var entry = D.entry;     // current: the entry in focus; page: what the reader shows
    var blocks = [];         // { it, el, body, status, note } of every entry on the page

    function sameItems(a, b) {
        return a.length === b.length && a.every(function (x, i) { return D.sameEntry(x, b[i]); });
    }

    // The row of a list that stands for the entry in focus: the same entry reached the same way.
    function isCurrent(it) {
        return (it && it.group ? it.group : [it]).some(function (x) { return D.sameRow(x, entry.current); });
    }

    function markCurrent() {
        [el.results, el.words].forEach(function (list, n) {
            var items = (n === 0 ? D.search.lastItems : D.words.lastItems) || [];
            var buttons = list.querySelectorAll('.item');
            for (var i = 0; i < buttons.length; i++) {
                var it = items[parseInt(buttons[i].getAttribute('data-index'), 10)];
                buttons[i].className = buttons[i].className.replace(/\s*\bis-current\b/g, '') + (isCurrent(it) ? ' is-current' : '');
            }
        });
        blocks.forEach(function (b) {
            b.el.className = 'blocco' + (D.sameEntry(b.it, entry.current) ? ' is-current' : '');
        });
    }

    D.blocks = function () {
        return blocks;
    };

    // The entries on the page, in order.
    D.pageEntries = function () {
        return blocks.map(function (b) { return b.it; });
    };

    D.blockOf = function (node) {
        for (var i = 0; i < blocks.length; i++) {
            if (blocks[i].el === node || blocks[i].el.contains(node)) {
                return blocks[i];
            }
        }
        return null;
    };

    D.closeEntry = function () {
        entry.current = null;
        entry.page = null;
        blocks = [];
        el.entry.innerHTML = '';
        D.refreshListen();
        V.show(el.entryView, false);
        V.show(el.welcome, true);
        D.refreshEntryTools();
        markCurrent();
    };

    function showBlock(b, text) {
        if (text === null) {
            b.status.innerHTML = 'Impossibile aprire la voce. Il dizionario potrebbe essere danneggiato: prova a scaricarlo di nuovo.';
            return;
        }
        if (!D.trim(text)) {
            b.status.innerHTML = 'Voce non disponibile in questo dizionario.';
            return;
        }
        b.status.innerHTML = '';
        V.show(b.status, false);
        b.shown = true;
        V.renderEntry(b.body, text, 'books/' + (b.it.sku || D.sku) + '/' + D.dirOf(b.it.file));
        // The heading above names the part of speech already.
        var gram = b.body.querySelector('.voce > .gram');
        if (gram && D.trim(b.it.hw) && D.trim(gram.textContent) === D.trim(b.it.hw)) {
            V.show(gram, false);
        }
        if (b.it.hint === undefined) {
            b.it.hint = D.hintOf(text);
        }
        var first = entry.page.highlight ? V.highlight(b.body, entry.page.highlight) : null;
        D.refind();
        if (D.sameEntry(b.it, entry.current)) {
            D.rememberLookUp(b.it);
            if (first && first.offsetTop > el.reader.clientHeight - 80) {
                first.scrollIntoView(false);
            }
        }
    }

    // Draws the page: a heading per dictionary when more than one (or another one) is shown,
    // and a heading per entry when there is more than one.
    function renderPage(page) {
        el.entry.innerHTML = '';
        blocks = [];
        var many = page.sections.length > 1 || page.sections[0].items.length > 1;
        el.entry.className = 'entry' + (many ? ' many' : '');
        page.sections.forEach(function (section) {
            if (page.sections.length > 1 || section.book.sku !== D.sku) {
                var h = document.createElement('h2');
                h.className = 'sezione';
                h.textContent = section.book.title;
                el.entry.appendChild(h);
            }
            section.items.forEach(function (it) {
                var b = { it: it, el: document.createElement('section') };
                b.el.className = 'blocco';
                b.el.innerHTML = (many ? '<div class="blocco-capo"><h3 class="blocco-testa">' + D.itemLabel(it) + '</h3></div>' : '') +
                    '<div class="entry-note" hidden></div><div class="list-status blocco-stato">' +
                    '<span class="spinner spinner-small"></span> Caricamento della voce...</div><div class="blocco-corpo"></div>';
                b.note = b.el.querySelector('.entry-note');
                b.status = b.el.querySelector('.blocco-stato');
                b.body = b.el.querySelector('.blocco-corpo');
                if (many) {
                    D.listenHeading(b.el.querySelector('.blocco-testa'), it);
                }
                blocks.push(b);
                el.entry.appendChild(b.el);
            });
        });
        blocks.forEach(function (b) {
            D.fetchEntry(b.it, function (text) {
                if (entry.page === page) {
                    showBlock(b, text);
                }
            });
        });
    }

    // Puts `it`, an entry of the page, in focus: the tools act on it and the lists mark it. The
    // page's step of back and forward comes back to it.
    D.focusEntry = function (it, scroll) {
        entry.current = it;
        var step = entry.history[entry.at];
        if (step && step.page === entry.page) {
            step.focus = it;
        }
        el.entryWord.innerHTML = D.itemLabel(it);
        D.refreshListen();
        D.refreshEntryTools();
        markCurrent();
        var b = blocks.filter(function (x) { return D.sameEntry(x.it, it); })[0];
        if (scroll && b) {
            el.reader.scrollTop = blocks[0] === b ? 0 :
                el.reader.scrollTop + b.el.getBoundingClientRect().top - el.reader.getBoundingClientRect().top - 8;
        }
        if (b && b.shown) {
            D.rememberLookUp(it);
        }
    };

    function showPage(page, focus) {
        entry.page = page;
        V.show(el.welcome, false);
        V.show(el.entryView, true);
        renderPage(page);
        D.focusEntry(focus || page.sections[0].items[0], true);
    }

    // Opens a page: { word, sections: [{ book, items }], highlight }, with `focus` (one of its
    // entries, the first when none) in view. how.search is the word whose search opened it.
    D.openPage = function (page, focus, how) {
        page.sections = page.sections.filter(function (s) { return s.items.length; });
        if (!page.sections.length) {
            return;
        }
        showPage(page, focus);
        remember(page, how || {});
    };

    // One entry of this dictionary (or of the one it names) on a page of its own.
    D.openEntry = function (it, how) {
        if (!it || !it.idzenta) {
            return;
        }
        it = { idzenta: it.idzenta, file: it.file, word: it.word, omo: it.omo || '', hw: it.hw || '', sku: it.sku || D.sku };
        D.openPage({ word: it.word, sections: [{ book: D.bookOf(it.sku), items: [it] }], highlight: (how && how.highlight) || '' },
            it, how);
    };

    // A page of more dictionaries grows as their answers arrive, each section in its
    // dictionary's place (`at`).
    D.addSection = function (page, section) {
        var place = page.sections.filter(function (s) { return !(s.at > section.at); }).length;
        page.sections.splice(place, 0, section);
        if (entry.page === page) {
            var focus = entry.current;
            var top = el.reader.scrollTop;
            renderPage(page);
            D.focusEntry(focus, false);
            el.reader.scrollTop = top;
        }
    };

    function continues(a, b) {
        return !!a && !!b && (a.indexOf(b) === 0 || b.indexOf(a) === 0);
    }

    // Pages opened one after the other, each with the search whose results were listed. A page
    // opened by a search for a word that extends or shortens the word of the search before
    // replaces that one's page, so typing a word leaves one step behind.
    function remember(page, how) {
        if (how.history) {
            return;
        }
        var step = { page: page, focus: entry.current, typed: how.search || '', results: D.resultsState() };
        var h = entry.history.slice(0, entry.at + 1);
        var top = h[h.length - 1];
        if (top && (top.page === page || continues(top.typed, step.typed) ||
                (sameItems(top.page.sections[0].items, page.sections[0].items) && top.page.sections.length === page.sections.length))) {
            h[h.length - 1] = step;
        } else {
            h.push(step);
        }
        entry.history = h.slice(-STEPS_MAX);
        entry.at = entry.history.length - 1;
        D.syncHistoryButtons();
    }

    D.syncHistoryButtons = function () {
        el.entryBack.disabled = entry.at <= 0;
        el.entryForward.disabled = entry.at >= entry.history.length - 1;
    };

    // Back or forward: the page, its entry in focus, and the search box and results as they were.
    D.goHistory = function (delta) {
        var to = entry.at + delta;
        if (to < 0 || to >= entry.history.length) {
            return;
        }
        entry.at = to;
        var step = entry.history[to];
        D.restoreResults(step.results);
        showPage(step.page, step.focus);
        D.syncHistoryButtons();
    };

    // The entry in focus follows the one clicked.
    function focusOnClick(ev) {
        var b = D.blockOf(ev.target);
        if (b && !D.sameEntry(b.it, entry.current)) {
            D.focusEntry(b.it, false);
        }
    }

    function followLink(a) {
        var href = a.getAttribute('href') || '';
        if (!href) {
            return;
        }
        if (href.substring(0, 4) === 'http' || href.substring(0, 7) === 'mailto:') {
            V.bridge('openLink', href);
            return;
        }
        if (/^[a-z][a-z0-9+.\-]*:/i.test(href)) {
            return; // other schemes are not opened from an entry
        }
        var hash = href.indexOf('#');
        var b = D.blockOf(a);
        var from = b ? b.it : { file: '', sku: D.sku };
        if (hash >= 0) {
            var file = href.substring(0, hash);
            var id = href.substring(hash + 1);
            try {
                id = decodeURIComponent(id);
            } catch (e) { /* keep it as written */ }
            D.openEntry({
                idzenta: id,
                file: file ? D.dirOf(from.file) + file : from.file,
                word: D.trim(a.textContent) || '',
                sku: from.sku
            });
            return;
        }
        V.bridge('openLink', 'books/' + (from.sku || D.sku) + '/' + D.dirOf(from.file) + href);
    }

    // Read further down, the page puts in focus the entry that is read once the one in focus has
    // left the view, so that the tools act on an entry in sight.
    var following = null;
    function followScroll() {
        following = null;
        var top = el.reader.getBoundingClientRect().top + el.entryTools.offsetHeight;
        var bottom = el.reader.getBoundingClientRect().bottom;
        var inView = function (b) {
            var r = b.el.getBoundingClientRect();
            return r.bottom > top + 40 && r.top < bottom - 40;
        };
        var focused = blocks.filter(function (b) { return D.sameEntry(b.it, entry.current); })[0];
        var seen = blocks.filter(inView)[0];
        if (seen && (!focused || !inView(focused))) {
            D.focusEntry(seen.it, false);
        }
    }

    D.wireEntry = function () {
        V.on(el.reader, 'scroll', function () {
            following = following || setTimeout(followScroll, 80);
        });
        V.on(el.entryBack, 'click', function () { D.goHistory(-1); });
        V.on(el.entryForward, 'click', function () { D.goHistory(1); });
        V.on(el.entry, 'mousedown', focusOnClick);
        V.on(el.entry, 'click', function (ev) {
            var t = ev.target;
            while (t && t !== el.entry && t.nodeName.toLowerCase() !== 'a') {
                t = t.parentNode;
            }
            if (t && t !== el.entry) {
                ev.preventDefault();
                followLink(t);
            }
        });
    };
}(Vocalume, Vocalume.dict));
