// Dictionary page: headword and full-text search with scopes, the alphabetical index, the entry
// view, and the reader's favourites, bookmarks and notes.

(function (V) {
    'use strict';

    var PAGE_SIZE = 20;      // search results per page
    var INDEX_SIZE = 50;     // index words per page
    var STALE_MS = 15000;    // a request unanswered for this long no longer holds back new ones
    var ENTRY_WAIT_MS = 4000;
    var LOOKUP_PAUSE_MS = 60; // typing pause before the box is looked up
    var ZOOM_KEY = 'vocalume.zoom';
    var ZOOM_STEPS = [0.8, 0.9, 1, 1.1, 1.25, 1.4, 1.6, 1.8, 2];
    var STEPS_MAX = 200;     // entries opened that back and forward remember
    // Letters and their accented forms, so a highlighted hit ignores accents as the search does.
    var ACCENTS = { a: 'aàáâäã', e: 'eèéêë', i: 'iìíîï', o: 'oòóôöõ', u: 'uùúûü', c: 'cç', n: 'nñ' };
    var LETTER = 'A-Za-z0-9\u00c0-\u024f';
    var XHTML_NS = 'http://www.w3.org/1999/xhtml';
    var DROPPED = { script: 1, style: 1, iframe: 1, frame: 1, frameset: 1, object: 1, embed: 1, applet: 1,
        link: 1, meta: 1, base: 1, form: 1, input: 1, button: 1, textarea: 1, select: 1, head: 1, title: 1,
        map: 1, area: 1, svg: 1, math: 1 };
    var TABLES = {
        FAVORITE: { name: 'Preferiti', empty: 'Nessun preferito. Apri una voce e premi \u00abPreferito\u00bb.' },
        BOOKMARK: { name: 'Segnalibri', empty: 'Nessun segnalibro. Apri una voce e premi \u00abSegnalibro\u00bb.' },
        NOTE: { name: 'Note', empty: 'Nessuna nota. Apri una voce e premi \u00abNota\u00bb.' },
        HISTORY: { name: 'Cronologia', empty: 'Nessuna voce consultata.' }
    };
    var HISTORY_KEEP = 200;    // entries kept in the history of looked-up words
    var HISTORY_DWELL_MS = 1000; // an entry shown this long counts as looked up

    var el = {};
    ['q', 'search-form', 'scope', 'scope-hint', 'results', 'results-pager', 'results-prev', 'results-next',
        'results-info', 'results-count', 'tab-results', 'tab-index', 'panel-results', 'panel-index', 'prefix',
        'letters', 'words', 'reader', 'welcome',
        'entry-view', 'entry-word', 'entry', 'entry-status', 'entry-note', 'fav', 'bookmark', 'note',
        'saved', 'saved-list', 'open-saved', 'close-saved', 'dict-title', 'dict-sub', 'back', 'entry-back',
        'entry-forward', 'clear-history', 'export-saved', 'import-saved', 'all-books'
    ].forEach(function (id) {
        el[id.replace(/-([a-z])/g, function (m, c) { return c.toUpperCase(); })] = V.byId(id);
    });

    var sku = '';
    var lang = '';
    var search = { kind: 'onSearch', pending: null, queued: null, last: null, exactCount: 0 };
    var words = { kind: 'onWords', pending: null, queued: null, last: null };
    var entry = { current: null, pending: null, timer: null, history: [], at: -1 };
    var lookupTimer = null;
    var installed = []; // { sku, title, lang } of every installed dictionary, this one first
    var everywhere = { kind: 'onSearchEverywhere', pending: null, queued: null, run: null }; // run: the search whose answers are listed
    var zoom = 1;
    var saved = { FAVORITE: [], BOOKMARK: [], NOTE: [], HISTORY: [], table: 'FAVORITE' };

    function trim(s) {
        return String(s || '').replace(/^\s+|\s+$/g, '');
    }

    function normalize(text) {
        var out = V.hasBridge('getNormalized') ? V.bridge('getNormalized', lang, text) : text;
        return typeof out === 'string' ? out : text;
    }

    // Search items arrive with apostrophes as "&apos;" in every text field.
    function readItems(list) {
        return (list || []).map(function (it) {
            return {
                idzenta: V.decodeApos(it.idzenta),
                word: V.decodeApos(it.word),
                file: V.decodeApos(it.file),
                omo: V.decodeApos(it.omo),
                hw: V.decodeApos(it.hw)
            };
        });
    }

    function itemLabel(it) {
        var omo = trim(it.omo);
        return '<span class="w">' + V.escapeHtml(it.word) + '</span>' +
            (omo && omo !== '0' ? '<sup>' + V.escapeHtml(omo) + '</sup>' : '') +
            (trim(it.hw) ? '<span class="hw">' + V.escapeHtml(it.hw) + '</span>' : '');
    }

    function sameEntry(a, b) {
        return !!a && !!b && a.idzenta === b.idzenta && a.file === b.file;
    }

    // ---- Requests that answer later -------------------------------------------------------
    // One request of a kind is in flight at a time; a newer one waits and replaces any other
    // waiting one. Every request sent has a callback of its own, "<kind>.<id>", which native code
    // names in its answer, so an answer reaches the request that asked for it. A request left
    // unanswered for STALE_MS no longer holds back new ones, and its late answer is dropped. The
    // ids carry the time the page opened: native code outlives the page, and an answer meant for
    // an earlier opening of it must not pass for one of this page's own.

    var pageMark = Date.now().toString(36);
    var sent = 0;

    function send(state, req, call) {
        var now = Date.now();
        if (state.pending && now - state.pending.at < STALE_MS) {
            state.queued = { req: req, call: call };
            return;
        }
        var id = 'r' + pageMark + '_' + (++sent);
        var callbacks = window[state.kind] || (window[state.kind] = {});
        callbacks[id] = function (res) {
            delete callbacks[id];
            if (answered(state, req)) {
                state.onAnswer(req, res || {});
            }
        };
        req.at = now;
        req.callback = state.kind + '.' + id;
        state.pending = req;
        state.queued = null;
        call(req);
    }

    // True when `req` is the request the page waits for and nothing newer waits behind it.
    function answered(state, req) {
        if (state.pending !== req) {
            return false;
        }
        state.pending = null;
        if (state.queued) {
            var q = state.queued;
            state.queued = null;
            send(state, q.req, q.call);
            return false;
        }
        return true;
    }

    // ---- Search ---------------------------------------------------------------------------

    function mode() {
        var radios = document.getElementsByName('mode');
        for (var i = 0; i < radios.length; i++) {
            if (radios[i].checked) {
                return radios[i].value;
            }
        }
        return '0';
    }

    function syncModes() {
        var radios = document.getElementsByName('mode');
        for (var i = 0; i < radios.length; i++) {
            radios[i].parentNode.className = radios[i].checked ? 'is-on' : '';
        }
        var fullText = mode() === '2';
        el.scope.disabled = !fullText || el.scope.options.length < 2;
    }

    function callSearch(req) {
        V.bridge('search', sku, req.word, req.type, req.scope, String(req.start), String(PAGE_SIZE), lang, req.callback);
    }

    function startSearch(start) {
        var word = trim(el.q.value);
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
        if (el.allBooks.checked && installed.length > 1) {
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
        showTab('results');
        el.results.innerHTML = '<li class="list-status"><span class="spinner spinner-small"></span> Ricerca in corso...</li>';
        V.show(el.resultsPager, false);
        send(search, req, callSearch);
    }

    function pageSearch(delta) {
        var last = search.last;
        if (!last) {
            return;
        }
        el.q.value = last.word;
        search.awaitingSuggestions = null;
        var req = { word: last.word, type: last.type, scope: last.scope, start: Math.max(0, last.start + delta * PAGE_SIZE) };
        el.results.innerHTML = '<li class="list-status"><span class="spinner spinner-small"></span> Ricerca in corso...</li>';
        send(search, req, callSearch);
    }

    search.onAnswer = function (req, res) {
        var tot = typeof res.tot === 'number' ? res.tot : parseInt(res.tot, 10);
        var items = readItems(res.result);
        var lemma = res.isLemmatizzata !== false && req.type !== '2';
        search.last = req;
        search.lastItems = items;
        var key = normalize(req.word.toLowerCase());
        var exact = 0;
        items.forEach(function (it) {
            var w = normalize(it.word.toLowerCase());
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
        renderResults(req, items, tot, lemma);
        // The reader follows the list: the first result opens, whatever matched, and an empty
        // list leaves no entry of an earlier search on screen.
        if (req.start === 0) {
            if (items.length > 0) {
                openEntry(items[0], { search: req.word.toLowerCase(), highlight: lemma ? '' : req.word });
            } else {
                closeEntry();
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

    function renderResults(req, items, tot, lemma) {
        el.resultsCount.textContent = tot > 0 ? ' (' + tot + ')' : '';
        if (badTotal(tot)) {
            el.results.innerHTML = '<li class="list-status">Si è verificato un errore durante la ricerca.</li>';
            V.show(el.resultsPager, false);
            return;
        }
        if (items.length === 0) {
            var close = req.start > 0 ? [] : suggestions(req.word);
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
                return '<li><button type="button" class="item' + (sameEntry(it, entry.current) ? ' is-current' : '') +
                    '" data-index="' + i + '">' + itemLabel(it) +
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
            more = related >= PAGE_SIZE && req.start + PAGE_SIZE < tot - search.exactCount;
        } else {
            first = req.start + 1;
            last = req.start + items.length;
            more = items.length >= PAGE_SIZE && last < tot;
        }
        el.resultsInfo.textContent = items.length ? first + '\u2013' + last + ' di ' + tot : '';
        el.resultsPrev.disabled = req.start === 0;
        el.resultsNext.disabled = !more;
        V.show(el.resultsPager, req.start > 0 || more);
    }

    // The headwords closest in spelling to a word that found nothing, from native code when it
    // offers them; null while native code is still reading the dictionary's headwords.
    function suggestions(word) {
        var native = V.native('suggest');
        if (!native) {
            return [];
        }
        try {
            var list = JSON.parse(native.suggest(sku, word, lang) || '[]');
            if (list === null) {
                return null;
            }
            return list instanceof Array ? list.filter(function (w) { return typeof w === 'string' && w; }) : [];
        } catch (e) {
            return [];
        }
    }

    // Native code reads the headwords behind suggestions on a thread of its own, from the moment
    // the dictionary opens, and calls back once they are read. By the callback's name: a page
    // function connected to a native signal would keep this whole page alive after it is left.
    function prepareSuggestions() {
        var native = V.native('prepareSuggestions');
        if (native) {
            native.prepareSuggestions(sku, lang, 'onSuggestionsReady');
        }
    }

    window.onSuggestionsReady = function () {
        var waiting = search.awaitingSuggestions;
        if (waiting && search.last === waiting.req && !(search.lastItems || []).length) {
            renderResults(waiting.req, [], waiting.tot, waiting.lemma);
        }
    };

    function badTotal(tot) {
        return isNaN(tot) || tot < 0;
    }

    // ---- Every installed dictionary --------------------------------------------------------
    // The word is looked up in each installed dictionary in turn, one request at a time, and the
    // first results of each are listed under its title. A newer search waits for the request
    // under way, then replaces the older one.

    function searchEverywhere(word, type) {
        var run = { word: word, type: type, books: installed.slice(), groups: [] };
        showTab('results');
        el.results.innerHTML = '<li class="list-status"><span class="spinner spinner-small"></span> Ricerca in tutti i dizionari...</li>';
        V.show(el.resultsPager, false);
        el.resultsCount.textContent = '';
        everywhere.run = run;
        send(everywhere, { run: run }, askNextBook);
    }

    function askNextBook(req) {
        var run = req.run;
        var book = run.books[run.groups.length];
        V.bridge('search', book.sku, run.word, run.type, '', '0', String(PAGE_SIZE), book.lang, req.callback);
    }

    everywhere.onAnswer = function (req, res) {
        var run = req.run;
        if (run !== everywhere.run) {
            return;
        }
        var tot = typeof res.tot === 'number' ? res.tot : parseInt(res.tot, 10);
        run.groups.push({ book: run.books[run.groups.length], tot: badTotal(tot) ? 0 : tot, items: readItems(res.result) });
        renderEverywhere(run);
        if (run.groups.length < run.books.length) {
            send(everywhere, { run: run }, askNextBook);
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
                    return '<li><button type="button" class="item" data-index="' + n + '">' + itemLabel(it) + '</button></li>';
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
        var here = found[0] && found[0].book.sku === sku ? found[0].items[0] : null;
        if (here && run.groups.length === 1) {
            openEntry(here, { search: run.word.toLowerCase() });
        }
    }

    // A result of another dictionary opens that dictionary's page, which looks the word up.
    function openEverywhereItem(chosen) {
        if (!chosen) {
            return;
        }
        if (chosen.sku === sku) {
            openEntry(chosen.item);
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
        syncModes();
    };

    // ---- Index ----------------------------------------------------------------------------
    // One continuous alphabetical list, read from native code beside the bridge INDEX_SIZE rows
    // at a time: it opens at a typed word or letter, with a few words before it, and loads its
    // neighbours as it scrolls either way. Without that help it lists the words that begin with
    // the typed text, through the bridge, growing as it scrolls down.

    var INDEX_LEAD = 5;     // words shown above the one looked for
    var INDEX_MARGIN = 200; // pixels from an end of the list that load the next rows
    var index = { items: [], prefix: '', atStart: true, atEnd: true, target: null };

    function nativeIndex() {
        return V.native('indexRows');
    }

    // Rows next to a place: a word, or the key `k` of a listed row.
    function indexRows(place, after, count) {
        try {
            var rows = JSON.parse(nativeIndex().indexRows(sku, typeof place === 'string' ? place : JSON.stringify(place),
                after ? '1' : '0', String(count), lang) || '[]');
            return rows instanceof Array ? rows.map(function (r) {
                return { idzenta: String(r.idzenta), word: String(r.word), file: String(r.file), omo: String(r.omo || ''),
                    hw: String(r.hw || ''), k: r.k };
            }) : [];
        } catch (e) {
            return [];
        }
    }

    function callWords(req) {
        V.bridge('getWords', sku, req.prefix, String(req.from), String(INDEX_SIZE), lang, req.callback);
    }

    function markLetter(word) {
        var buttons = el.letters.getElementsByTagName('button');
        for (var i = 0; i < buttons.length; i++) {
            buttons[i].className = buttons[i].getAttribute('data-letter') === word.toLowerCase() ? 'is-on' : '';
        }
    }

    // Opens the index at `word`; the empty word opens it at the start.
    function loadWords(word) {
        markLetter(word);
        if (!nativeIndex()) {
            el.words.innerHTML = '<li class="list-status"><span class="spinner spinner-small"></span> Caricamento...</li>';
            send(words, { prefix: word, from: 0 }, callWords);
            return;
        }
        var before = word ? indexRows(word, false, INDEX_LEAD) : [];
        var after = indexRows(word, true, INDEX_SIZE);
        index = { items: before.concat(after), prefix: '', atStart: before.length < INDEX_LEAD, atEnd: after.length < INDEX_SIZE,
            target: after[0] || null };
        showIndex();
    }

    function showIndex() {
        if (index.items.length === 0) {
            words.lastItems = [];
            el.words.innerHTML = '<li class="list-status">' + (index.prefix ?
                'Nessuna parola inizia con \u00ab' + V.escapeHtml(index.prefix) + '\u00bb.' : 'L\'indice è vuoto.') + '</li>';
            return;
        }
        renderIndex();
        var target = el.words.querySelector('.is-target');
        el.words.scrollTop = target ? target.getBoundingClientRect().top - el.words.getBoundingClientRect().top - 4 : 0;
    }

    // The next rows past the end, or the rows before the start, of the loaded part.
    function loadMore(after) {
        if (after ? index.atEnd : index.atStart) {
            return;
        }
        if (!nativeIndex()) {
            if (!words.pending) {
                send(words, { prefix: index.prefix, from: index.items.length, more: true }, callWords);
            }
            return;
        }
        var edge = index.items[after ? index.items.length - 1 : 0];
        var rows = indexRows(edge.k, after, INDEX_SIZE);
        if (after) {
            index.atEnd = rows.length < INDEX_SIZE;
            index.items = index.items.concat(rows);
            var top = el.words.scrollTop;
            renderIndex();
            el.words.scrollTop = top;
        } else {
            index.atStart = rows.length < INDEX_SIZE;
            var height = el.words.scrollHeight;
            var scrolled = el.words.scrollTop;
            index.items = rows.concat(index.items);
            renderIndex();
            el.words.scrollTop = scrolled + el.words.scrollHeight - height;
        }
    }

    function renderIndex() {
        words.lastItems = index.items;
        el.words.innerHTML = index.items.map(function (it, i) {
            return '<li><button type="button" class="item' + (sameEntry(it, entry.current) ? ' is-current' : '') +
                (it === index.target ? ' is-target' : '') + '" data-index="' + i + '">' + itemLabel(it) +
                '</button></li>';
        }).join('');
    }

    // Answers of the bridge's word list, used when native code offers no index of its own.
    words.onAnswer = function (req, res) {
        var tot = typeof res.tot === 'number' ? res.tot : parseInt(res.tot, 10);
        var items = readItems(res.result);
        words.last = req;
        if (badTotal(tot)) {
            index = { items: [], prefix: req.prefix, atStart: true, atEnd: true, target: null };
            words.lastItems = [];
            el.words.innerHTML = '<li class="list-status">Impossibile leggere l\'indice del dizionario.</li>';
            return;
        }
        if (req.more) {
            index.items = index.items.concat(items);
            index.atEnd = index.items.length >= tot || items.length < INDEX_SIZE;
            var top = el.words.scrollTop;
            renderIndex();
            el.words.scrollTop = top;
            return;
        }
        index = { items: items, prefix: req.prefix, atStart: true, atEnd: items.length >= tot || items.length < INDEX_SIZE,
            target: null };
        showIndex();
    };

    function buildLetters() {
        var html = '';
        'abcdefghijklmnopqrstuvwxyz'.split('').forEach(function (c) {
            html += '<button type="button" data-letter="' + c + '" aria-label="Parole con ' + c.toUpperCase() + '">' +
                c.toUpperCase() + '</button>';
        });
        el.letters.innerHTML = html;
    }

    // ---- Entry ----------------------------------------------------------------------------

    function dirOf(path) {
        var i = String(path).lastIndexOf('/');
        return i < 0 ? '' : path.substring(0, i + 1);
    }

    function isRelative(url) {
        return !!url && !/^([a-z][a-z0-9+.\-]*:|\/|#)/i.test(url);
    }

    // Native code cleans entries before they arrive; this holds the same line in the page. An
    // address is read as the web engine reads it, without controls and white space: a picture
    // only from the package, a link also to a web or mail address.
    function safeUrl(url, picture) {
        var address = String(url).replace(/[\u0000-\u0020\u007f]+/g, '');
        var scheme = /^([a-z][a-z0-9+.\-]*):/i.exec(address);
        if (/^[\/\\]/.test(address)) {
            return false;
        }
        return !scheme || (!picture && /^(https?|mailto)$/i.test(scheme[1]));
    }

    // Copies a parsed entry into page elements, leaving out scripts, frames, forms and event
    // handlers; pictures are looked up in the dictionary's own folder.
    function importNode(node, base) {
        if (node.nodeType === 3) {
            return document.createTextNode(node.nodeValue);
        }
        if (node.nodeType !== 1) {
            return null;
        }
        var name = (node.localName || node.nodeName).toLowerCase();
        if (DROPPED[name]) {
            return null;
        }
        var out = document.createElement(name);
        for (var i = 0; i < node.attributes.length; i++) {
            var a = node.attributes[i];
            var an = (a.localName || a.name).toLowerCase();
            if (an.indexOf('on') === 0 || an === 'xmlns' || a.name.indexOf('xmlns:') === 0 || an === 'usemap' ||
                an === 'srcset' || an === 'style' && /url|image|import|\\/i.test(a.value)) {
                continue;
            }
            var value = a.value;
            if ((an === 'href' || an === 'src' || an === 'action' || an === 'formaction' || an === 'xlink:href' ||
                an === 'background' || an === 'poster') && !safeUrl(value, an !== 'href' && an !== 'xlink:href')) {
                continue;
            }
            if (an === 'src' && isRelative(value)) {
                value = base + value;
            }
            try {
                out.setAttribute(an, value);
            } catch (e) { /* attribute name not allowed in HTML */ }
        }
        for (var c = node.firstChild; c; c = c.nextSibling) {
            var child = importNode(c, base);
            if (child) {
                out.appendChild(child);
            }
        }
        return out;
    }

    // The entry is XHTML; when it is not well-formed it is read as HTML instead.
    function parseEntry(text) {
        var root = null;
        if (window.DOMParser) {
            try {
                var xml = new DOMParser().parseFromString('<root xmlns="' + XHTML_NS + '">' + text + '</root>', 'application/xml');
                if (xml && xml.documentElement && !xml.getElementsByTagName('parsererror').length &&
                    xml.documentElement.localName === 'root') {
                    root = xml.documentElement;
                }
            } catch (e) {
                root = null;
            }
        }
        if (!root) {
            var doc = document.implementation.createHTMLDocument('');
            root = doc.createElement('div');
            root.innerHTML = text;
        }
        return root;
    }

    V.renderEntry = function (target, text, base) {
        target.innerHTML = '';
        var root = parseEntry(text);
        for (var c = root.firstChild; c; c = c.nextSibling) {
            var n = importNode(c, base);
            if (n) {
                target.appendChild(n);
            }
        }
    };

    function markCurrent() {
        [el.results, el.words].forEach(function (list, n) {
            var items = (n === 0 ? search.lastItems : words.lastItems) || [];
            var buttons = list.querySelectorAll('.item');
            for (var i = 0; i < buttons.length; i++) {
                var it = items[parseInt(buttons[i].getAttribute('data-index'), 10)];
                buttons[i].className = 'item' + (sameEntry(it, entry.current) ? ' is-current' : '');
            }
        });
    }

    function entryStatus(text) {
        el.entryStatus.innerHTML = text;
        V.show(el.entryStatus, !!text);
    }

    function closeEntry() {
        entry.current = null;
        entry.pending = null;
        if (entry.timer) {
            clearTimeout(entry.timer);
            entry.timer = null;
        }
        el.entry.innerHTML = '';
        entryStatus('');
        V.show(el.entryView, false);
        V.show(el.welcome, true);
        refreshEntryTools();
        markCurrent();
    }

    function continues(a, b) {
        return !!a && !!b && (a.indexOf(b) === 0 || b.indexOf(a) === 0);
    }

    // Entries opened one after the other, for back and forward. An entry opened by a search for
    // a word that extends or shortens the word of the search before replaces that one's entry,
    // so typing a word leaves one step behind.
    function remember(current, how) {
        if (how.history) {
            return;
        }
        var typed = how.search || '';
        var h = entry.history.slice(0, entry.at + 1);
        var top = h[h.length - 1];
        if (top && sameEntry(top.item, current)) {
            top.typed = typed;
        } else if (top && continues(top.typed, typed)) {
            h[h.length - 1] = { item: current, typed: typed };
        } else {
            h.push({ item: current, typed: typed });
        }
        entry.history = h.slice(-STEPS_MAX);
        entry.at = entry.history.length - 1;
    }

    function syncHistoryButtons() {
        el.entryBack.disabled = entry.at <= 0;
        el.entryForward.disabled = entry.at >= entry.history.length - 1;
    }

    function goHistory(delta) {
        var to = entry.at + delta;
        if (to < 0 || to >= entry.history.length) {
            return;
        }
        entry.at = to;
        openEntry(entry.history[to].item, { history: true });
    }

    function openEntry(it, how) {
        if (!it || !it.idzenta) {
            return;
        }
        how = how || {};
        entry.current = { idzenta: it.idzenta, file: it.file, word: it.word, omo: it.omo, hw: it.hw };
        entry.highlight = how.highlight || '';
        remember(entry.current, how);
        syncHistoryButtons();
        entry.pending = entry.current;
        V.show(el.welcome, false);
        V.show(el.entryView, true);
        el.entryWord.innerHTML = itemLabel(entry.current);
        el.entry.innerHTML = '';
        entryStatus('<span class="spinner spinner-small"></span> Caricamento della voce...');
        refreshEntryTools();
        markCurrent();
        if (entry.timer) {
            clearTimeout(entry.timer);
        }
        var asked = entry.pending;
        V.bridge('getHtml', sku, it.idzenta, it.file, 'onEntry');
        // Native code answers at once or, when the file cannot be read, not at all.
        if (entry.pending === asked) {
            entry.timer = setTimeout(function () {
                entry.timer = null;
                if (entry.pending === asked) {
                    entry.pending = null;
                    entryStatus('Impossibile aprire la voce. Il dizionario potrebbe essere danneggiato: prova a scaricarlo di nuovo.');
                }
            }, ENTRY_WAIT_MS);
        }
        el.reader.scrollTop = 0;
    }

    window.onEntry = function (res) {
        var shown = entry.pending;
        if (!shown) {
            return;
        }
        entry.pending = null;
        if (entry.timer) {
            clearTimeout(entry.timer);
            entry.timer = null;
        }
        var text = V.decodeHtmlLiteral(res);
        if (!trim(text)) {
            entryStatus('Voce non disponibile in questo dizionario.');
            return;
        }
        entryStatus('');
        V.renderEntry(el.entry, text, 'books/' + sku + '/' + dirOf(shown.file));
        rememberLookUp(shown);
        el.reader.scrollTop = 0;
        var first = entry.highlight ? V.highlight(el.entry, entry.highlight) : null;
        if (first && first.scrollIntoView && first.offsetTop > el.reader.clientHeight - 80) {
            first.scrollIntoView(false);
        }
    };

    function wordPattern(word) {
        return word.toLowerCase().split('').map(function (c) {
            var set = ACCENTS[c];
            if (!set) {
                for (var k in ACCENTS) {
                    if (ACCENTS.hasOwnProperty(k) && ACCENTS[k].indexOf(c) >= 0) {
                        set = ACCENTS[k];
                    }
                }
            }
            return set ? '[' + set + ']' : c.replace(/[.*+?^${}()|[\]\\\/-]/g, '\\$&');
        }).join('');
    }

    // Marks every whole-word occurrence of `word` in the text of `root`, ignoring case and
    // accents; returns the first mark.
    V.highlight = function (root, word) {
        word = trim(word);
        if (!word) {
            return null;
        }
        var re = new RegExp('(^|[^' + LETTER + '])(' + wordPattern(word) + ')(?![' + LETTER + '])', 'i');
        var texts = [];
        (function walk(node) {
            for (var c = node.firstChild; c; c = c.nextSibling) {
                if (c.nodeType === 3) {
                    texts.push(c);
                } else if (c.nodeType === 1 && c.nodeName.toLowerCase() !== 'mark') {
                    walk(c);
                }
            }
        }(root));
        var first = null;
        texts.forEach(function (node) {
            var m;
            while (node && (m = re.exec(node.nodeValue))) {
                var at = m.index + m[1].length;
                var hit = node.splitText(at);
                node = hit.splitText(m[2].length);
                var mark = document.createElement('mark');
                mark.className = 'hit';
                hit.parentNode.replaceChild(mark, hit);
                mark.appendChild(hit);
                first = first || mark;
            }
        });
        return first;
    };

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
        var current = entry.current || { file: '' };
        if (hash >= 0) {
            var file = href.substring(0, hash);
            var id = href.substring(hash + 1);
            try {
                id = decodeURIComponent(id);
            } catch (e) { /* keep it as written */ }
            openEntry({
                idzenta: id,
                file: file ? dirOf(current.file) + file : current.file,
                word: trim(a.textContent) || '',
                omo: '',
                hw: ''
            });
            return;
        }
        V.bridge('openLink', 'books/' + sku + '/' + dirOf(current.file) + href);
    }

    // ---- Favourites, bookmarks, notes -----------------------------------------------------

    function savedRow(table, ref) {
        var rows = saved[table];
        for (var i = 0; i < rows.length; i++) {
            if (rows[i].REF === ref) {
                return rows[i];
            }
        }
        return null;
    }

    // A callback that calls done() on its count-th call: the end of `count` store requests.
    function afterAll(count, done) {
        return function () {
            if (--count === 0) {
                done();
            }
        };
    }

    // Reads the page tables (only those named in `tables`, when given) again and redraws.
    function loadSaved(done, tables) {
        tables = tables || Object.keys(TABLES);
        var after = afterAll(tables.length, function () {
            refreshEntryTools();
            renderSaved();
            if (done) {
                done();
            }
        });
        tables.forEach(function (table) {
            V.store.list(table, sku, function (rows) {
                saved[table] = rows;
                after();
            });
        });
    }

    function refreshEntryTools() {
        var ref = entry.current ? V.store.makeRef(entry.current) : null;
        var fav = ref && savedRow('FAVORITE', ref);
        var mark = ref && savedRow('BOOKMARK', ref);
        var note = ref && savedRow('NOTE', ref);
        toggleLook(el.fav, !!fav, '\u2605', '\u2606');
        toggleLook(el.bookmark, !!mark, '\u2691', '\u2690');
        el.note.className = 'btn btn-secondary btn-small' + (note ? ' is-on' : '');
        el.entryNote.innerHTML = note ? '<strong>La tua nota</strong>' + V.escapeHtml(note.NOTE) : '';
        V.show(el.entryNote, !!note);
    }

    function toggleLook(button, on, iconOn, iconOff) {
        button.className = 'btn btn-secondary btn-small' + (on ? ' is-on' : '');
        button.setAttribute('aria-pressed', on ? 'true' : 'false');
        button.querySelector('.icon').textContent = on ? iconOn : iconOff;
    }

    function toggleSaved(table) {
        if (!entry.current) {
            return;
        }
        var ref = V.store.makeRef(entry.current);
        var row = savedRow(table, ref);
        var after = function (err) {
            if (err) {
                V.message('Impossibile salvare: il database delle note non è disponibile.');
            }
            loadSaved();
        };
        if (row) {
            V.store.remove(table, row.ID, after);
        } else {
            V.store.insert(table, sku, ref, entry.current.word, after);
        }
    }

    function editNote() {
        if (!entry.current) {
            return;
        }
        var current = entry.current;
        var ref = V.store.makeRef(current);
        var row = savedRow('NOTE', ref);
        var after = function (err) {
            if (err) {
                V.message('Impossibile salvare la nota: il database delle note non è disponibile.');
            }
            loadSaved();
        };
        V.editText({
            title: 'Nota su \u00ab' + current.word + '\u00bb',
            label: 'Testo della nota',
            value: row ? row.NOTE : '',
            onSave: function (text) {
                text = trim(text);
                if (!text) {
                    if (row) {
                        V.store.remove('NOTE', row.ID, after);
                    }
                } else if (row) {
                    V.store.updateNote('NOTE', row.ID, text, after);
                } else {
                    V.store.insert('NOTE', sku, ref, text, after);
                }
            },
            onDelete: row ? function () {
                V.store.remove('NOTE', row.ID, after);
            } : null
        });
    }

    function formatDate(ts) {
        var m = /^(\d{4})-(\d{2})-(\d{2})/.exec(String(ts || ''));
        return m ? m[3] + '/' + m[2] + '/' + m[1] : '';
    }

    function renderSaved() {
        var table = saved.table;
        var rows = saved[table];
        var tabs = el.saved.querySelectorAll('.tab');
        for (var i = 0; i < tabs.length; i++) {
            var t = tabs[i].getAttribute('data-table');
            tabs[i].setAttribute('aria-selected', t === table ? 'true' : 'false');
            tabs[i].innerHTML = TABLES[t].name + (saved[t].length ? '<span class="count">' + saved[t].length + '</span>' : '');
        }
        V.show(el.clearHistory, table === 'HISTORY' && rows.length > 0);
        if (!rows.length) {
            el.savedList.innerHTML = '<li class="list-status">' + V.escapeHtml(TABLES[table].empty) + '</li>';
            return;
        }
        el.savedList.innerHTML = rows.map(function (row, n) {
            var ref = V.store.parseRef(row.REF);
            return '<li class="saved"><button type="button" class="item" data-index="' + n + '">' +
                '<span class="w">' + V.escapeHtml(ref.word || row.NOTE) + '</span>' +
                (table === 'NOTE' ? '<span class="text">' + V.escapeHtml(row.NOTE) + '</span>' : '') +
                '<span class="date">' + formatDate(row.DATE) + '</span></button>' +
                '<button type="button" class="btn btn-ghost btn-small remove" data-remove="' + n + '" aria-label="Elimina ' +
                V.escapeHtml(ref.word) + '">Elimina</button></li>';
        }).join('');
    }

    // The entry still on screen after a moment joins the history of looked-up words, once,
    // as its newest row; the oldest rows beyond the kept number go.
    function rememberLookUp(shown) {
        if (entry.dwell) {
            clearTimeout(entry.dwell);
        }
        entry.dwell = setTimeout(function () {
            entry.dwell = null;
            if (!sameEntry(entry.current, shown)) {
                return;
            }
            var ref = V.store.makeRef(shown);
            var stale = saved.HISTORY.filter(function (row, i) { return row.REF === ref || i >= HISTORY_KEEP - 1; });
            var after = afterAll(stale.length + 1, loadHistory);
            stale.forEach(function (row) { V.store.remove('HISTORY', row.ID, after); });
            V.store.insert('HISTORY', sku, ref, shown.word, after);
        }, HISTORY_DWELL_MS);
    }

    // A look-up changes the history only: the other tables are not read again.
    function loadHistory() {
        loadSaved(null, ['HISTORY']);
    }

    function clearHistory() {
        var after = afterAll(saved.HISTORY.length, loadHistory);
        saved.HISTORY.slice().forEach(function (row) {
            V.store.remove('HISTORY', row.ID, after);
        });
    }

    function showSaved(on) {
        V.show(el.saved, on);
        el.openSaved.setAttribute('aria-expanded', on ? 'true' : 'false');
        if (on) {
            renderSaved();
            el.saved.querySelector('.tab[aria-selected=true]').focus();
        } else {
            el.openSaved.focus();
        }
    }

    // ---- Tabs and keyboard ----------------------------------------------------------------

    function showTab(name) {
        var results = name === 'results';
        el.tabResults.setAttribute('aria-selected', results ? 'true' : 'false');
        el.tabIndex.setAttribute('aria-selected', results ? 'false' : 'true');
        V.show(el.panelResults, results);
        V.show(el.panelIndex, !results);
    }

    // Up and down move between the items of a list; Home and End jump to its ends.
    function listKeys(list) {
        V.on(list, 'keydown', function (ev) {
            var items = list.querySelectorAll('.item');
            var at = Array.prototype.indexOf.call(items, document.activeElement);
            var to = -1;
            if (ev.keyCode === 40) {
                to = Math.min(items.length - 1, at + 1);
            } else if (ev.keyCode === 38) {
                to = at - 1;
                if (to < 0) {
                    ev.preventDefault();
                    (list === el.words ? el.prefix : el.q).focus();
                    return;
                }
            } else if (ev.keyCode === 36) {
                to = 0;
            } else if (ev.keyCode === 35) {
                to = items.length - 1;
            }
            if (to >= 0 && items[to]) {
                ev.preventDefault();
                items[to].focus();
            }
        });
    }

    function firstItem(list) {
        var item = list.querySelector('.item');
        if (item) {
            item.focus();
        }
    }

    function itemFrom(ev, list, items) {
        var t = ev.target;
        while (t && t !== list && !(t.className && /\bitem\b/.test(t.className))) {
            t = t.parentNode;
        }
        if (!t || t === list) {
            return null;
        }
        return items[parseInt(t.getAttribute('data-index'), 10)];
    }

    function wire() {
        V.on(el.back, 'click', function () {
            V.bridge('loadUrl', 'libreria.html');
        });
        V.on(el.searchForm, 'submit', function (ev) {
            ev.preventDefault();
            startSearch(0);
        });
        var radios = document.getElementsByName('mode');
        // A new kind of search or scope answers at once for the word in the box.
        var rerun = function () {
            syncModes();
            if (trim(el.q.value)) {
                startSearch(0);
            }
        };
        V.on(el.scope, 'change', rerun);
        V.on(el.allBooks, 'change', rerun);
        for (var i = 0; i < radios.length; i++) {
            V.on(radios[i], 'change', rerun);
            V.on(radios[i], 'focus', function () { this.parentNode.className += ' has-focus'; });
            V.on(radios[i], 'blur', syncModes);
        }
        V.on(el.q, 'keydown', function (ev) {
            if (ev.keyCode === 40) {
                ev.preventDefault();
                firstItem(el.panelResults.hasAttribute('hidden') ? el.words : el.results);
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
                if (trim(el.q.value)) {
                    startSearch(0);
                }
            }, LOOKUP_PAUSE_MS);
        });
        V.on(el.entryBack, 'click', function () { goHistory(-1); });
        V.on(el.entryForward, 'click', function () { goHistory(1); });
        V.on(el.tabResults, 'click', function () { showTab('results'); });
        V.on(el.tabIndex, 'click', function () { showTab('index'); });
        V.on(el.resultsPrev, 'click', function () { pageSearch(-1); });
        V.on(el.resultsNext, 'click', function () { pageSearch(1); });
        V.on(el.results, 'click', function (ev) {
            var t = ev.target;
            while (t && t !== el.results && !(t.getAttribute && t.getAttribute('data-suggest'))) {
                t = t.parentNode;
            }
            if (t && t !== el.results) {
                el.q.value = t.getAttribute('data-suggest');
                startSearch(0);
                return;
            }
            var chosen = itemFrom(ev, el.results, search.lastItems || []);
            if (chosen && chosen.sku) {
                openEverywhereItem(chosen);
                return;
            }
            var last = search.last;
            openEntry(chosen,
                { highlight: last && last.type === '2' ? last.word : '' });
        });
        V.on(el.words, 'click', function (ev) {
            openEntry(itemFrom(ev, el.words, words.lastItems || []));
        });
        listKeys(el.results);
        listKeys(el.words);
        listKeys(el.savedList);

        var typing = null;
        V.on(el.prefix, 'input', function () {
            if (typing) {
                clearTimeout(typing);
            }
            typing = setTimeout(function () {
                typing = null;
                loadWords(trim(el.prefix.value));
            }, 250);
        });
        V.on(el.prefix, 'keydown', function (ev) {
            if (ev.keyCode === 40) {
                ev.preventDefault();
                var target = el.words.querySelector('.is-target');
                if (target) {
                    target.focus();
                } else {
                    firstItem(el.words);
                }
            } else if (ev.keyCode === 13) {
                ev.preventDefault();
                if (typing) {
                    clearTimeout(typing);
                    typing = null;
                }
                loadWords(trim(el.prefix.value));
            }
        });
        V.on(el.letters, 'click', function (ev) {
            var letter = ev.target.getAttribute && ev.target.getAttribute('data-letter');
            if (letter) {
                el.prefix.value = letter;
                loadWords(letter);
            }
        });
        V.on(el.words, 'scroll', function () {
            var list = el.words;
            if (list.scrollTop + list.clientHeight > list.scrollHeight - INDEX_MARGIN) {
                loadMore(true);
            } else if (list.scrollTop < INDEX_MARGIN) {
                loadMore(false);
            }
        });

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
        V.on(el.fav, 'click', function () { toggleSaved('FAVORITE'); });
        V.on(el.bookmark, 'click', function () { toggleSaved('BOOKMARK'); });
        V.on(el.note, 'click', editNote);

        V.on(el.openSaved, 'click', function () { showSaved(el.saved.hasAttribute('hidden')); });
        V.on(el.closeSaved, 'click', function () { showSaved(false); });
        V.on(el.exportSaved, 'click', function () { V.exportSaved(); });
        V.on(el.importSaved, 'click', function () {
            V.importSaved(function (added) {
                if (added) {
                    loadSaved();
                }
            });
        });
        V.on(el.clearHistory, 'click', function () {
            V.confirm({
                title: 'Svuota la cronologia',
                text: 'Le voci consultate in questo dizionario verranno dimenticate.',
                okLabel: 'Svuota',
                danger: true,
                onOk: clearHistory
            });
        });
        V.on(el.saved, 'click', function (ev) {
            var t = ev.target;
            if (t.getAttribute && t.getAttribute('data-table')) {
                saved.table = t.getAttribute('data-table');
                renderSaved();
                return;
            }
            var rows = saved[saved.table];
            if (t.getAttribute && t.getAttribute('data-remove') !== null) {
                var row = rows[parseInt(t.getAttribute('data-remove'), 10)];
                if (row) {
                    V.store.remove(saved.table, row.ID, function () { loadSaved(); });
                }
                return;
            }
            var chosen = itemFrom(ev, el.savedList, rows);
            if (chosen) {
                openEntry(V.store.parseRef(chosen.REF));
            }
        });

        V.on(document, 'keydown', function (ev) {
            if (V.isDialogOpen()) {
                return;
            }
            if (ev.keyCode === 27 && !el.saved.hasAttribute('hidden')) {
                showSaved(false);
            } else if (shortcut(ev)) {
                ev.preventDefault();
            }
        });
        // "/" is read from the typed character, so it works whatever the keyboard layout.
        V.on(document, 'keypress', function (ev) {
            var tag = (ev.target.nodeName || '').toLowerCase();
            if (V.isDialogOpen() || tag === 'input' || tag === 'textarea' || tag === 'select') {
                return;
            }
            if ((ev.charCode || ev.which) === 47 && !ev.ctrlKey && !ev.altKey) {
                ev.preventDefault();
                el.q.focus();
                el.q.select();
            }
        });
    }

    // Ctrl+L or Ctrl+F: the search box; Alt+Left and Alt+Right: back and forward between
    // entries; Ctrl with plus, minus or 0: the entry's text size. True when the key was used.
    function shortcut(ev) {
        var key = ev.keyCode;
        if (ev.altKey && !ev.ctrlKey && (key === 37 || key === 39)) {
            goHistory(key === 37 ? -1 : 1);
            return true;
        }
        if (!ev.ctrlKey || ev.altKey) {
            return false;
        }
        if (key === 76 || key === 70) {
            el.q.focus();
            el.q.select();
            return true;
        }
        if (key === 187 || key === 107 || key === 61 || key === 171) {
            setZoom(1);
            return true;
        }
        if (key === 189 || key === 109 || key === 173) {
            setZoom(-1);
            return true;
        }
        if (key === 48 || key === 96) {
            setZoom(0);
            return true;
        }
        return false;
    }

    // One step bigger or smaller, or (0) back to normal; kept for the next start.
    function setZoom(step) {
        var at = ZOOM_STEPS.indexOf(zoom);
        at = step === 0 ? ZOOM_STEPS.indexOf(1) : Math.max(0, Math.min(ZOOM_STEPS.length - 1, (at < 0 ? 2 : at) + step));
        applyZoom(ZOOM_STEPS[at]);
        try {
            window.localStorage.setItem(ZOOM_KEY, String(zoom));
        } catch (e) { /* not kept: the size holds for this page only */ }
    }

    function applyZoom(value) {
        zoom = ZOOM_STEPS.indexOf(value) >= 0 ? value : 1;
        el.entry.style.fontSize = zoom === 1 ? '' : (17 * zoom).toFixed(1) + 'px';
    }

    function storedZoom() {
        try {
            return parseFloat(window.localStorage.getItem(ZOOM_KEY)) || 1;
        } catch (e) {
            return 1;
        }
    }

    // ---- Start ----------------------------------------------------------------------------

    // A page parameter; native code hands them over still percent-encoded.
    function pageParameter(name) {
        var value = V.hasBridge('getParameter') ? String(V.bridge('getParameter', name) || '') : '';
        if (!value) {
            return V.query(window.location.search)[name] || '';
        }
        try {
            return decodeURIComponent(value.replace(/\+/g, ' '));
        } catch (e) {
            return value;
        }
    }

    function bookId() {
        var id = V.hasBridge('getParameter') ? V.bridge('getParameter', 'idbook') : '';
        if (!id && V.hasBridge('getBookID')) {
            id = V.bridge('getBookID');
        }
        if (!id) {
            id = V.query(window.location.search).idbook || '';
        }
        return trim(id);
    }

    function start() {
        buildLetters();
        wire();
        applyZoom(storedZoom());
        syncHistoryButtons();
        syncModes();
        showTab('index');
        sku = bookId();
        if (!sku) {
            el.dictTitle.textContent = 'Nessun dizionario';
            V.message('Nessun dizionario selezionato.', function () {
                V.bridge('loadUrl', 'libreria.html');
            });
            return;
        }
        V.store.readSystem(function (system) {
            var book = system[sku] || {};
            lang = book.SOURCELANGUAGEID || '';
            el.dictTitle.textContent = book.TITLE || sku;
            el.dictSub.textContent = [book.SUBTITLE, book.LANG].filter(function (s) { return trim(s); }).join(' \u00b7 ');
            document.title = 'Vocalume - ' + (book.TITLE || sku);
            V.bridge('getScopes', sku, 'onScopes');
            prepareSuggestions();
            loadWords('');
            // The other dictionaries as the library lists them: a hidden one is not searched.
            installed = [{ sku: sku, title: book.TITLE || sku, lang: lang }].concat(V.store.listedBooks(system).filter(function (b) {
                return b.sku !== sku && V.store.isInstalled(b) && b.SOURCELANGUAGEID;
            }).map(function (b) {
                return { sku: b.sku, title: b.TITLE || b.sku, lang: b.SOURCELANGUAGEID };
            }));
            V.show(el.allBooks.parentNode, installed.length > 1);
            // Opened to look a word up: from another dictionary's results, or from the library.
            var word = pageParameter('voce');
            if (word) {
                el.allBooks.checked = pageParameter('tutti') === '1';
                el.q.value = word;
                startSearch(0);
            }
        });
        V.store.ensurePageTables(function () {
            loadSaved();
        });
        el.q.focus();
    }

    V.dictionary = {
        sku: function () { return sku; },
        language: function () { return lang; },
        openEntry: openEntry,
        zoom: function () { return zoom; },
        search: function (word, type) {
            el.q.value = word;
            var radios = document.getElementsByName('mode');
            for (var i = 0; i < radios.length; i++) {
                radios[i].checked = radios[i].value === (type || '0');
            }
            syncModes();
            startSearch(0);
        },
        saved: saved,
        reloadSaved: loadSaved
    };

    start();
}(Vocalume));
