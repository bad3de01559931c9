// Dictionary page, first of its scripts: the state its parts share (Vocalume.dict), the page's
// elements, small helpers and the requests native code answers later. The parts follow in the
// order the page loads them: search and results, suggestions, index, entry and history, notes and
// favourites, and dizionario.js, which wires the keys and starts the page.

(function (V) {
    'use strict';

    var D = V.dict = {
        PAGE_SIZE: 20,      // search results per page
        INDEX_SIZE: 50,     // index words per page
        el: {},
        sku: '',
        lang: '',
        search: { kind: 'onSearch', pending: null, queued: null, last: null, exactCount: 0 },
        words: { kind: 'onWords', pending: null, queued: null, last: null },
        entry: { current: null, page: null, history: [], at: -1 },
        installed: [], // { sku, title, lang } of every installed dictionary, this one first
        // run: the search whose answers are listed; pending: the run still awaiting answers
        everywhere: { kind: 'onSearchEverywhere', pending: null, run: null },
        saved: { FAVORITE: [], BOOKMARK: [], NOTE: [], HISTORY: [], table: 'FAVORITE', others: {} }
    };
    var STALE_MS = 15000;    // a request unanswered for this long no longer holds back new ones

    ['q', 'search-form', 'scope', 'scope-hint', 'results', 'results-pager', 'results-prev', 'results-next',
        'results-info', 'results-count', 'tab-results', 'tab-index', 'panel-results', 'panel-index', 'prefix',
        'letters', 'words', 'reader', 'welcome',
        'entry-view', 'entry-tools', 'entry-word', 'entry', 'fav', 'bookmark', 'note', 'find-bar', 'find-text', 'find-count',
        'find-prev', 'find-next', 'find-close',
        'saved', 'saved-list', 'open-saved', 'close-saved', 'dict-title', 'dict-sub', 'back', 'entry-back',
        'entry-forward', 'clear-history', 'export-saved', 'import-saved', 'anki-export', 'anki-send', 'all-books'
    ].forEach(function (id) {
        D.el[id.replace(/-([a-z])/g, function (m, c) { return c.toUpperCase(); })] = V.byId(id);
    });

    D.trim = function (s) {
        return String(s || '').replace(/^\s+|\s+$/g, '');
    };

    // `text` as the searches of a language compare it (this dictionary's when none is named).
    D.normalize = function (text, lang) {
        var out = V.hasBridge('getNormalized') ? V.bridge('getNormalized', lang === undefined ? D.lang : lang, text) : text;
        return typeof out === 'string' ? out : text;
    };

    var ALIAS_MARK = '\u2192 ';

    // A row of a search or of the index as the page keeps it. A row whose category is an arrow and
    // a headword ("→ Vesuvianite") is another name of that entry ("idocrase"): it is kept as the
    // entry, with the name it was reached by as `alias`.
    D.item = function (row, sku) {
        var it = { idzenta: String(row.idzenta), word: String(row.word), file: String(row.file),
            omo: String(row.omo || ''), hw: String(row.hw || ''), sku: sku || row.sku || D.sku };
        if (it.hw.indexOf(ALIAS_MARK) === 0 && D.trim(it.hw.substring(ALIAS_MARK.length))) {
            it.alias = it.word;
            it.word = D.trim(it.hw.substring(ALIAS_MARK.length));
            it.hw = '';
        }
        return it;
    };

    // Search items arrive with apostrophes as "&apos;" in every text field; each is marked with
    // the dictionary it comes from.
    D.readItems = function (list, sku) {
        return (list || []).map(function (it) {
            return D.item({ idzenta: V.decodeApos(it.idzenta), word: V.decodeApos(it.word), file: V.decodeApos(it.file),
                omo: V.decodeApos(it.omo), hw: V.decodeApos(it.hw) }, sku);
        });
    };

    // Headword, homograph number (the dictionary's own, or its place among the entries listed
    // with the same headword) and part of speech. An entry reached by another name says so: in
    // a list, where rows follow the names' order, the name comes first ("idocrase → Vesuvianite");
    // as a heading, after the headword.
    D.itemLabel = function (it, inList) {
        var num = D.homographNumber(it);
        var head = '<span class="w">' + V.escapeHtml(it.word) + '</span>' +
            (num ? '<sup>' + V.escapeHtml(num) + '</sup>' : '') +
            (D.trim(it.hw) ? '<span class="hw">' + V.escapeHtml(it.hw) + '</span>' : '');
        if (!it.alias) {
            return head;
        }
        return inList ? '<span class="alias">' + V.escapeHtml(it.alias) + '</span><span class="via"> \u2192 </span>' + head :
            head + '<span class="via">da \u00ab' + V.escapeHtml(it.alias) + '\u00bb</span>';
    };

    // The headword with its homograph number as a superscript, as plain text ("Church¹").
    D.headingText = function (it) {
        var digits = '\u2070\u00b9\u00b2\u00b3\u2074\u2075\u2076\u2077\u2078\u2079';
        var num = D.homographNumber(it);
        return it.word + (/^\d+$/.test(num) ? num.replace(/\d/g, function (d) { return digits.charAt(+d); }) :
            (num ? ' ' + num : ''));
    };

    // The dictionary's own homograph number, or the entry's place among those listed with the
    // same headword; empty for none.
    D.homographNumber = function (it) {
        var omo = D.trim(it.omo);
        return omo && omo !== '0' ? omo : (it.num ? String(it.num) : '');
    };

    // Entries that share the headword (whatever its case) are homographs; rows reached by another
    // name are homographs only of rows reached by that name.
    D.headKey = function (it) {
        return (it.sku || D.sku) + '\u0001' + (it.alias ? String(it.alias).toLowerCase() + '\u0002' : '') +
            String(it.word).toLowerCase();
    };

    // Numbers the listed homographs 1, 2, 3... in list order; a lone headword gets no number. A row
    // reached by another name takes the number of its entry where the list has it.
    D.number = function (items) {
        var count = {};
        items.forEach(function (it) {
            count[D.headKey(it)] = (count[D.headKey(it)] || 0) + 1;
        });
        var seen = {};
        items.forEach(function (it) {
            var key = D.headKey(it);
            it.num = count[key] > 1 ? (seen[key] = (seen[key] || 0) + 1) : 0;
        });
        items.forEach(function (it) {
            var own = it.alias && items.filter(function (x) { return !x.alias && D.sameEntry(x, it); })[0];
            if (own) {
                it.num = own.num;
            }
        });
        return items;
    };

    // The entries of `items` that share `it`'s headword, `it` among them.
    D.homographs = function (items, it) {
        var key = D.headKey(it);
        var out = items.filter(function (x) { return D.headKey(x) === key; });
        return out.length ? out : [it];
    };

    D.sameEntry = function (a, b) {
        return !!a && !!b && a.idzenta === b.idzenta && a.file === b.file && (a.sku || D.sku) === (b.sku || D.sku);
    };

    // The same entry reached the same way: the row of a list that stands for what is shown.
    D.sameRow = function (a, b) {
        return D.sameEntry(a, b) && (a.alias || '') === (b.alias || '');
    };

    // The installed dictionary `sku` as the page knows it: { sku, title, lang, dest }.
    D.bookOf = function (sku) {
        for (var i = 0; i < D.installed.length; i++) {
            if (D.installed[i].sku === sku) {
                return D.installed[i];
            }
        }
        return { sku: sku, title: sku, lang: D.lang, dest: '' };
    };

    // The number of results an answer tells, as a number or as its text.
    D.totalOf = function (res) {
        return typeof res.tot === 'number' ? res.tot : parseInt(res.tot, 10);
    };

    D.badTotal = function (tot) {
        return isNaN(tot) || tot < 0;
    };

    // The item of `items` whose list button holds the event's target.
    D.itemFrom = function (ev, list, items) {
        var t = ev.target;
        while (t && t !== list && !(t.className && /\bitem\b/.test(t.className))) {
            t = t.parentNode;
        }
        if (!t || t === list) {
            return null;
        }
        return items[parseInt(t.getAttribute('data-index'), 10)];
    };

    // ---- Requests that answer later -------------------------------------------------------
    // One request of a kind is in flight at a time; a newer one waits and replaces any other
    // waiting one. Every request sent has a callback of its own, "<kind>.<id>", which native code
    // names in its answer, so an answer reaches the request that asked for it. A request left
    // unanswered for STALE_MS no longer holds back new ones, and its late answer is dropped. The
    // ids carry the time the page opened: native code outlives the page, and an answer meant for
    // an earlier opening of it must not pass for one of this page's own.

    var pageMark = Date.now().toString(36);
    var sent = 0;

    // A callback of its own under window[kind] that hands the answer to `heard` once, and its
    // name for native code.
    D.callbackOnce = function (kind, heard) {
        var id = 'r' + pageMark + '_' + (++sent);
        var callbacks = window[kind] || (window[kind] = {});
        callbacks[id] = function (res) {
            delete callbacks[id];
            heard(res || {});
        };
        return kind + '.' + id;
    };

    // A callback no longer awaited: an answer that still comes is dropped without a trace; with
    // `forget`, the callback goes (an answer so late is no longer expected).
    D.dropCallback = function (name, forget) {
        var at = name.split('.');
        var callbacks = window[at[0]] || {};
        if (forget) {
            delete callbacks[at[1]];
        } else if (callbacks[at[1]]) {
            callbacks[at[1]] = function () { delete callbacks[at[1]]; };
        }
    };

    D.send = function (state, req, call) {
        var now = Date.now();
        if (state.pending && now - state.pending.at < STALE_MS) {
            state.queued = { req: req, call: call };
            return;
        }
        req.at = now;
        req.callback = D.callbackOnce(state.kind, function (res) {
            if (answered(state, req)) {
                state.onAnswer(req, res);
            }
        });
        state.pending = req;
        state.queued = null;
        call(req);
    };

    // True when `req` is the request the page waits for and nothing newer waits behind it.
    function answered(state, req) {
        if (state.pending !== req) {
            return false;
        }
        state.pending = null;
        if (state.queued) {
            var q = state.queued;
            state.queued = null;
            D.send(state, q.req, q.call);
            return false;
        }
        return true;
    }
}(Vocalume));
