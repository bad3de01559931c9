// Dictionary page, last of its scripts: the tabs, the keys of the whole page, the entry's text
// size, and the start, once every part (Vocalume.dict, dizionario-comune.js and the parts after
// it) is loaded.

(function (V, D) {
    'use strict';

    var ZOOM_KEY = 'vocalume.zoom';
    var ZOOM_STEPS = [0.8, 0.9, 1, 1.1, 1.25, 1.4, 1.6, 1.8, 2];

    var el = D.el;
    var zoom = 1;

    // ---- Tabs and keyboard ----------------------------------------------------------------

    D.showTab = function (name) {
        var results = name === 'results';
        el.tabResults.setAttribute('aria-selected', results ? 'true' : 'false');
        el.tabIndex.setAttribute('aria-selected', results ? 'false' : 'true');
        V.show(el.panelResults, results);
        V.show(el.panelIndex, !results);
    };

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

    D.firstItem = function (list) {
        var item = list.querySelector('.item');
        if (item) {
            item.focus();
        }
    };

    function wire() {
        V.on(el.back, 'click', function () {
            V.bridge('loadUrl', 'libreria.html');
        });
        D.wireSearch();
        D.wireEntry();
        V.on(el.tabResults, 'click', function () { D.showTab('results'); });
        V.on(el.tabIndex, 'click', function () { D.showTab('index'); });
        D.wireIndex();
        listKeys(el.results);
        listKeys(el.words);
        listKeys(el.savedList);
        D.wireSaved();

        D.wireMenu();
        D.wireFind();
        V.on(document, 'keydown', function (ev) {
            if (V.isDialogOpen()) {
                return;
            }
            if (D.entryKeys(ev) || D.findKeys(ev)) {
                ev.preventDefault();
                ev.stopPropagation();
            } else if (ev.keyCode === 27 && !el.saved.hasAttribute('hidden')) {
                D.showSaved(false);
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

    function typing(ev) {
        return /^(input|textarea|select)$/i.test(ev.target.nodeName || '');
    }

    // Ctrl+L: the search box; Ctrl+F: finding in the entries shown (the search box when none is);
    // Esc from elsewhere: the search box, its word selected;
    // Alt+Left and Alt+Right: back and forward between entries; Ctrl with plus, minus or 0: the
    // entry's text size; Ctrl+A: the entries selected; Ctrl+P: the entry in focus printed;
    // Ctrl+W: back to the library (Ctrl+Q, which ends the program, is the window's). True when
    // the key was used.
    function shortcut(ev) {
        var key = ev.keyCode;
        if (ev.altKey && !ev.ctrlKey && (key === 37 || key === 39)) {
            D.goHistory(key === 37 ? -1 : 1);
            return true;
        }
        if (key === 27 && !ev.ctrlKey && !ev.altKey && !typing(ev)) {
            el.q.focus();
            el.q.select();
            return true;
        }
        if (!ev.ctrlKey || ev.altKey) {
            return false;
        }
        if (key === 70 && !el.entryView.hasAttribute('hidden')) {
            D.openFind();
            return true;
        }
        if (key === 76 || key === 70) {
            el.q.focus();
            el.q.select();
            return true;
        }
        if (key === 65 && !typing(ev) && !el.entryView.hasAttribute('hidden')) {
            D.selectAll();
            return true;
        }
        if (key === 80 && !el.entryView.hasAttribute('hidden')) {
            D.printEntry();
            return true;
        }
        if (key === 87) {
            V.bridge('loadUrl', 'libreria.html');
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
        return D.trim(id);
    }

    // The page is headed by its dictionary, or by every dictionary while a search of all of them
    // that began in the library is shown.
    var header = null;
    D.showHeader = function () {
        if (!header) {
            return;
        }
        var all = D.fromLibrary && el.allBooks.checked;
        el.dictTitle.textContent = all ? 'Tutti i dizionari installati' : header.title;
        el.dictSub.textContent = all ? D.installed.length + ' dizionari' : header.sub;
    };

    function start() {
        wire();
        applyZoom(storedZoom());
        D.syncHistoryButtons();
        D.syncModes();
        D.showTab('index');
        D.sku = bookId();
        var sku = D.sku;
        if (!sku) {
            el.dictTitle.textContent = 'Nessun dizionario';
            V.message('Nessun dizionario selezionato.', function () {
                V.bridge('loadUrl', 'libreria.html');
            });
            return;
        }
        V.store.readSystem(function (system) {
            var book = system[sku] || {};
            D.lang = book.SOURCELANGUAGEID || '';
            D.prepareSpeech();
            el.dictTitle.textContent = book.TITLE || sku;
            el.dictSub.textContent = [book.SUBTITLE, book.LANG].filter(function (s) { return D.trim(s); }).join(' \u00b7 ');
            document.title = 'Vocalume - ' + (book.TITLE || sku);
            V.bridge('getScopes', sku, 'onScopes');
            D.prepareSuggestions();
            D.loadWords('');
            // The other dictionaries as the library lists them: a hidden one is not searched. The
            // library's search of every dictionary starts from none of them.
            var here = { sku: sku, title: book.TITLE || sku, lang: D.lang, dest: book.DESTINATIONLANGUAGEID || '' };
            D.fromLibrary = pageParameter('tutti') === '1';
            D.installed = D.orderBooks([here].concat(V.store.listedBooks(system).filter(function (b) {
                return b.sku !== sku && V.store.isInstalled(b) && b.SOURCELANGUAGEID;
            }).map(function (b) {
                return { sku: b.sku, title: b.TITLE || b.sku, lang: b.SOURCELANGUAGEID, dest: b.DESTINATIONLANGUAGEID || '' };
            })), D.fromLibrary ? null : here);
            V.show(el.allBooks.parentNode, D.installed.length > 1);
            header = { title: el.dictTitle.textContent, sub: el.dictSub.textContent };
            // Opened to look a word up: from the library, or by a word given on start.
            var word = pageParameter('voce');
            el.allBooks.checked = D.fromLibrary && D.installed.length > 1;
            D.showHeader();
            if (word) {
                el.q.value = word;
                D.startSearch(0);
            }
        });
        V.store.ensurePageTables(function () {
            D.loadSaved();
        });
        el.q.focus();
    }

    V.dictionary = {
        sku: function () { return D.sku; },
        language: function () { return D.lang; },
        openEntry: D.openEntry,
        zoom: function () { return zoom; },
        search: function (word, type) {
            el.q.value = word;
            var radios = document.getElementsByName('mode');
            for (var i = 0; i < radios.length; i++) {
                radios[i].checked = radios[i].value === (type || '0');
            }
            D.syncModes();
            D.startSearch(0);
        },
        saved: D.saved,
        reloadSaved: D.loadSaved
    };

    start();
}(Vocalume, Vocalume.dict));
