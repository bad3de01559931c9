// Dictionary page: the reader's favourites, bookmarks, notes and history of looked-up entries,
// kept in the page tables, and the drawer that lists them.

(function (V, D) {
    'use strict';

    var TABLES = {
        FAVORITE: { name: 'Preferiti', empty: 'Nessun preferito. Apri una voce e premi \u00abPreferito\u00bb.' },
        BOOKMARK: { name: 'Segnalibri', empty: 'Nessun segnalibro. Apri una voce e premi \u00abSegnalibro\u00bb.' },
        NOTE: { name: 'Note', empty: 'Nessuna nota. Apri una voce e premi \u00abNota\u00bb.' },
        HISTORY: { name: 'Cronologia', empty: 'Nessuna voce consultata.' }
    };
    var HISTORY_KEEP = 200;    // entries kept in the history of looked-up words
    var HISTORY_DWELL_MS = 1000; // an entry shown this long counts as looked up

    var el = D.el;
    var entry = D.entry;
    var saved = D.saved;

    // The row of a page table that keeps entry `it` (of this dictionary or, on a page of every
    // dictionary, of another one); null when none does.
    function savedRow(table, it) {
        var sku = it.sku || D.sku;
        var rows = sku === D.sku ? saved[table] : (saved.others[sku] || {})[table] || [];
        var ref = refOf(it);
        for (var i = 0; i < rows.length; i++) {
            if (V.store.sameRef(rows[i].REF, ref)) {
                return rows[i];
            }
        }
        return null;
    }

    // How a row keeps entry `it`: with its homograph number, so that the lists name it.
    function refOf(it) {
        return V.store.makeRef(it, D.homographNumber(it));
    }

    // The entry and its dictionary, as a note or a list names them: "«Dog¹» · GCIDE".
    function entryName(it) {
        return '\u00ab' + D.headingText(it) + '\u00bb \u00b7 ' + D.bookOf(it.sku || D.sku).title;
    }

    // The rows another dictionary keeps, read when one of its entries is shown.
    function loadOthers(sku, done) {
        var others = saved.others[sku] = saved.others[sku] || {};
        var after = afterAll(3, done || D.refreshEntryTools);
        ['FAVORITE', 'BOOKMARK', 'NOTE'].forEach(function (table) {
            V.store.list(table, sku, function (rows) {
                others[table] = rows;
                after();
            });
        });
    }

    // After a change to entry `it`'s rows: the tables of its dictionary are read again.
    function reload(it) {
        if ((it.sku || D.sku) === D.sku) {
            D.loadSaved();
        } else {
            loadOthers(it.sku);
        }
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
    D.loadSaved = function (done, tables) {
        tables = tables || Object.keys(TABLES);
        var after = afterAll(tables.length, function () {
            D.refreshEntryTools();
            renderSaved();
            if (done) {
                done();
            }
        });
        tables.forEach(function (table) {
            V.store.list(table, D.sku, function (rows) {
                saved[table] = rows;
                after();
            });
        });
    };

    // The tools show what is kept of the entry in focus; each entry of the page shows its note.
    D.refreshEntryTools = function () {
        var current = entry.current;
        var sku = current && current.sku;
        if (sku && sku !== D.sku && !saved.others[sku]) {
            loadOthers(sku);
        }
        toggleLook(el.fav, !!current && !!savedRow('FAVORITE', current), '\u2605', '\u2606');
        toggleLook(el.bookmark, !!current && !!savedRow('BOOKMARK', current), '\u2691', '\u2690');
        el.note.className = 'btn btn-secondary btn-small' + (current && savedRow('NOTE', current) ? ' is-on' : '');
        D.blocks().forEach(function (b) {
            var note = savedRow('NOTE', b.it);
            b.note.innerHTML = note ? '<strong>La tua nota</strong>' + V.escapeHtml(note.NOTE) : '';
            V.show(b.note, !!note);
        });
    };

    function toggleLook(button, on, iconOn, iconOff) {
        button.className = 'btn btn-secondary btn-small' + (on ? ' is-on' : '');
        button.setAttribute('aria-pressed', on ? 'true' : 'false');
        button.querySelector('.icon').textContent = on ? iconOn : iconOff;
    }

    // The end of a change to the saved rows of `current`: `failure` said when it failed, the
    // saved rows of its dictionary read again either way.
    function reloadAfter(current, failure) {
        return function (err) {
            if (err) {
                V.message(failure);
            }
            reload(current);
        };
    }

    function toggleSaved(table) {
        var current = entry.current;
        if (!current) {
            return;
        }
        var row = savedRow(table, current);
        var after = reloadAfter(current, 'Impossibile salvare: il database delle note non è disponibile.');
        if (row) {
            V.store.remove(table, row.ID, after);
        } else {
            V.store.insert(table, current.sku || D.sku, refOf(current), D.headingText(current), after);
        }
    }

    function editNote() {
        var current = entry.current;
        if (!current) {
            return;
        }
        var sku = current.sku || D.sku;
        var ref = refOf(current);
        var row = savedRow('NOTE', current);
        var after = reloadAfter(current, 'Impossibile salvare la nota: il database delle note non è disponibile.');
        V.editText({
            title: 'Nota su ' + entryName(current),
            label: 'Testo della nota',
            value: row ? row.NOTE : '',
            onSave: function (text) {
                text = D.trim(text);
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
                (ref.num ? '<sup>' + V.escapeHtml(ref.num) + '</sup>' : '') +
                (table === 'NOTE' ? '<span class="text">' + V.escapeHtml(row.NOTE) + '</span>' : '') +
                '<span class="date">' + formatDate(row.DATE) + '</span></button>' +
                '<button type="button" class="btn btn-ghost btn-small remove" data-remove="' + n + '" aria-label="Elimina ' +
                V.escapeHtml(ref.word) + '">Elimina</button></li>';
        }).join('');
    }

    // The entry still on screen after a moment joins the history of looked-up words, once,
    // as its newest row; the oldest rows beyond the kept number go.
    D.rememberLookUp = function (shown) {
        if (entry.dwell) {
            clearTimeout(entry.dwell);
        }
        entry.dwell = setTimeout(function () {
            entry.dwell = null;
            if (!D.sameEntry(entry.current, shown)) {
                return;
            }
            // Another dictionary's entry joins that dictionary's history.
            var sku = shown.sku || D.sku;
            if (sku === D.sku) {
                addLookUp(saved.HISTORY, shown, loadHistory);
            } else {
                V.store.list('HISTORY', sku, function (rows) {
                    addLookUp(rows, shown, function () {});
                });
            }
        }, HISTORY_DWELL_MS);
    };

    function addLookUp(rows, shown, done) {
        var ref = refOf(shown);
        var stale = rows.filter(function (row, i) { return V.store.sameRef(row.REF, ref) || i >= HISTORY_KEEP - 1; });
        var after = afterAll(stale.length + 1, done);
        stale.forEach(function (row) { V.store.remove('HISTORY', row.ID, after); });
        V.store.insert('HISTORY', shown.sku || D.sku, ref, D.headingText(shown), after);
    }

    // A look-up changes the history only: the other tables are not read again.
    function loadHistory() {
        D.loadSaved(null, ['HISTORY']);
    }

    function clearHistory() {
        var after = afterAll(saved.HISTORY.length, loadHistory);
        saved.HISTORY.slice().forEach(function (row) {
            V.store.remove('HISTORY', row.ID, after);
        });
    }

    D.showSaved = function (on) {
        V.show(el.saved, on);
        el.openSaved.setAttribute('aria-expanded', on ? 'true' : 'false');
        if (on) {
            renderSaved();
            el.saved.querySelector('.tab[aria-selected=true]').focus();
        } else {
            el.openSaved.focus();
        }
    };

    D.wireSaved = function () {
        V.on(el.fav, 'click', function () { toggleSaved('FAVORITE'); });
        V.on(el.bookmark, 'click', function () { toggleSaved('BOOKMARK'); });
        V.on(el.note, 'click', editNote);

        V.on(el.openSaved, 'click', function () { D.showSaved(el.saved.hasAttribute('hidden')); });
        V.on(el.closeSaved, 'click', function () { D.showSaved(false); });
        V.on(el.exportSaved, 'click', function () { V.exportSaved(); });
        V.show(el.ankiExport, V.ankiAvailable());
        V.show(el.ankiSend, V.ankiAvailable());
        V.on(el.ankiExport, 'click', function () { V.exportAnki(); });
        V.on(el.ankiSend, 'click', function () { V.sendToAnki(); });
        V.on(el.importSaved, 'click', function () {
            V.importSaved(function (added) {
                if (added) {
                    D.loadSaved();
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
                    V.store.remove(saved.table, row.ID, function () { D.loadSaved(); });
                }
                return;
            }
            var chosen = D.itemFrom(ev, el.savedList, rows);
            if (chosen) {
                var ref = V.store.parseRef(chosen.REF);
                ref.omo = ref.num;
                D.openEntry(ref);
            }
        });
    };
}(Vocalume, Vocalume.dict));
