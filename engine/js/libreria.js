// Library page, last of its scripts: loading the list from SYSTEM (again when native code asks,
// Vocalume.library.reload), the clicks on the cards' actions, synchronisation, sign-out, the
// search in every installed dictionary, the first focus and the start, once
// libreria-elenco.js (Vocalume.lib, the list) and libreria-download.js are loaded.

(function (V, L) {
    'use strict';

    var booksEl = L.el.books;
    var filterEl = L.el.filter;

    // Native code reloads this page when a synchronisation ends; a failure arrives as a message.
    // The watchdog of the request does not tell the page, so the spinner is given up after this.
    var SYNC_TIMEOUT_MS = 45000;
    var syncTimer = null;

    L.load = function (done) {
        V.store.readSystem(function (system) {
            L.books = V.store.listedBooks(system);
            L.followNative();
            L.kept = L.keptDownloads();
            var account = system.SYSTEM && system.SYSTEM.USERNAME;
            V.byId('user').textContent = account ? 'Account: ' + account : '';
            L.render();
            L.continueInterrupted();
            if (done) {
                done();
            }
        });
    };

    function openBook(sku) {
        V.bridge('loadUrl', 'dizionario.html?idbook=' + sku);
    }

    function stopSyncWait() {
        if (syncTimer) {
            clearTimeout(syncTimer);
            syncTimer = null;
        }
    }

    function synchronize() {
        __APP.busy('Sincronizzazione in corso...');
        stopSyncWait();
        syncTimer = setTimeout(function () {
            syncTimer = null;
            if (__APP.spinner) {
                __APP.spinner = false;
                V.message('La sincronizzazione non ha risposto in tempo.<br/>Riprova più tardi.');
            }
        }, SYNC_TIMEOUT_MS);
        V.bridge('synchronize');
    }

    // Signing out deletes the local data, the reader's favourites, bookmarks and notes with it:
    // the question says so (in the words of the reset's question) and offers to export them
    // first; after the export, whatever its outcome, it asks again.
    function logout() {
        var leave = { label: 'Esci', cls: 'btn-danger', action: function () { V.bridge('onLogout'); } };
        var buttons = [leave];
        if (V.native('saveTextFile')) {
            buttons.unshift({ label: 'Esporta gli appunti', cls: 'btn-secondary', action: function () {
                V.exportSaved(logout);
            } });
        }
        V.ask({
            title: 'Esci dall\'account',
            text: 'Uscendo, i dizionari scaricati vengono rimossi da questo computer e il programma si chiude.<br/>' +
                'Anche i preferiti, i segnalibri e le note vengono eliminati: esportali prima per poterli importare ' +
                'dopo il prossimo accesso.<br/>Potrai riscaricare i dizionari accedendo di nuovo.',
            buttons: buttons
        });
    }

    V.on(booksEl, 'click', function (ev) {
        var t = ev.target;
        while (t && t !== booksEl && !(t.getAttribute && t.getAttribute('data-action'))) {
            t = t.parentNode;
        }
        if (!t || t === booksEl || t.disabled) {
            return;
        }
        var sku = t.getAttribute('data-sku');
        switch (t.getAttribute('data-action')) {
        case 'download':
            L.startDownload(sku);
            break;
        case 'cancel':
            L.cancelDownload();
            break;
        case 'pause':
            L.pauseDownload(sku);
            break;
        case 'discard':
            L.discardKept(sku);
            break;
        case 'open':
            openBook(sku);
            break;
        case 'purchase':
            V.bridge('purchase', sku);
            break;
        }
    });

    V.on(V.byId('sync'), 'click', synchronize);
    V.on(V.byId('empty-sync'), 'click', synchronize);
    V.on(V.byId('logout'), 'click', logout);
    V.on(filterEl, 'input', L.render);

    // A word looked up in every installed dictionary, on the first one's page.
    V.on(V.byId('search-all'), 'submit', function (ev) {
        ev.preventDefault();
        var word = V.byId('search-all-q').value.replace(/^\s+|\s+$/g, '');
        var first = L.installedBooks()[0];
        if (word && first) {
            V.bridge('loadUrl', 'dizionario.html?idbook=' + encodeURIComponent(first.sku) + '&voce=' +
                encodeURIComponent(word) + '&tutti=1');
        }
    });

    // Native code switches the spinner off when a synchronisation fails.
    V.onSpinner(function (on) {
        if (!on) {
            stopSyncWait();
        }
    });

    // Keys work at once: the filter, or else the first dictionary's first action, has the focus.
    function focusFirst() {
        var active = document.activeElement;
        if (active && active !== document.body) {
            return;
        }
        var first = !V.byId('search-all').hasAttribute('hidden') ? V.byId('search-all-q') :
            !filterEl.hasAttribute('hidden') ? filterEl : booksEl.querySelector('button:not([disabled])') || V.byId('empty-sync');
        if (first && first.offsetWidth) {
            first.focus();
        }
    }

    V.library = { reload: L.load, startDownload: L.startDownload, books: function () { return L.books; } };
    L.load(focusFirst);
}(Vocalume, Vocalume.lib));
