// Library page: the account's dictionaries as recorded in SYSTEM, with download, update,
// purchase and open actions, synchronisation and sign-out.

(function (V) {
    'use strict';

    // Native code reloads this page when a synchronisation ends; a failure arrives as a message.
    // The watchdog of the request does not tell the page, so the spinner is given up after this.
    var SYNC_TIMEOUT_MS = 45000;
    var DOWNLOAD_KEY = 'vocalume.download';
    // Words skipped when a placeholder cover picks the initial of a title.
    var PLAIN_WORDS = ['dizionario', 'vocabolario', 'il', 'lo', 'la', 'i', 'gli', 'le', 'di', 'del', 'della', 'dei', 'delle', 'e'];
    var COVER_COLOURS = ['#1d4e73', '#6b3f73', '#2f6b55', '#8a4421', '#3c5a8a', '#705b2a'];

    var STATES = {
        '0': { badge: 'Da scaricare', cls: 'badge-download' },
        '1': { badge: 'Installato', cls: 'badge-installed' },
        '2': { badge: 'Aggiornamento disponibile', cls: 'badge-update' },
        '3': { badge: 'Non acquistato', cls: 'badge-buy' }
    };

    var booksEl = V.byId('books');
    var filterEl = V.byId('filter');
    var books = [];
    var errors = {};
    var download = null; // { sku, phase: 'start' | 'progress' | 'queued' | 'wait', percent, size, bytes }
    // Downloads native code runs that are not this page's own (the page was loaded after they
    // started), shown as they are: sku -> the same shape.
    var others = {};
    // Downloads that stopped before their end and can be continued, as native code keeps them:
    // sku -> { sku, state: 'interrupted' | 'paused' | 'stopped', percent, size, bytes }.
    var kept = {};
    var syncTimer = null;
    // The states native code tells beside the bridge, in the page's phases.
    var NATIVE_PHASES = { download: 'progress', queued: 'queued', install: 'wait' };

    // A download outlives the page (a synchronisation reloads it): remember whose it is.
    function rememberDownload(sku) {
        try {
            if (sku) {
                window.localStorage.setItem(DOWNLOAD_KEY, sku);
            } else {
                window.localStorage.removeItem(DOWNLOAD_KEY);
            }
        } catch (e) { /* no local storage: progress after a reload is then not shown */ }
    }

    function rememberedDownload() {
        try {
            return window.localStorage.getItem(DOWNLOAD_KEY) || '';
        } catch (e) {
            return '';
        }
    }

    function bookBySku(sku) {
        for (var i = 0; i < books.length; i++) {
            if (books[i].sku === sku) {
                return books[i];
            }
        }
        return null;
    }

    function colourFor(sku) {
        var h = 0;
        for (var i = 0; i < sku.length; i++) {
            h = (h * 31 + sku.charCodeAt(i)) % 997;
        }
        return COVER_COLOURS[h % COVER_COLOURS.length];
    }

    function placeholder(book) {
        var el = document.createElement('div');
        el.className = 'cover-placeholder';
        el.style.backgroundColor = colourFor(book.sku);
        var title = book.TITLE || book.sku;
        var words = title.split(/[\s\-]+/).filter(function (w) {
            return w && PLAIN_WORDS.indexOf(w.toLowerCase()) < 0;
        });
        var initial = (words[0] || title).charAt(0).toUpperCase();
        el.innerHTML = '<span class="initial">' + V.escapeHtml(initial) + '</span>' +
            V.escapeHtml(title);
        return el;
    }

    function coverElement(book) {
        var box = document.createElement('div');
        box.className = 'book-cover';
        var file = V.coverFile(book.COVER);
        if (!file) {
            box.appendChild(placeholder(book));
            return box;
        }
        var img = document.createElement('img');
        img.alt = '';
        V.on(img, 'error', function () {
            if (img.parentNode) {
                box.replaceChild(placeholder(book), img);
            }
        });
        img.src = 'covers/' + encodeURIComponent(file);
        box.appendChild(img);
        return box;
    }

    function meta(book) {
        return [book.AUTHOR, book.PUBLISHER, book.YEAR].filter(function (s) {
            return s && String(s).replace(/\s+/g, '') !== '';
        }).join(' \u00b7 ');
    }

    function button(label, cls, action, sku, disabled, title) {
        return '<button type="button" class="btn ' + cls + '" data-action="' + action + '" data-sku="' +
            V.escapeHtml(sku) + '"' + (disabled ? ' disabled' : '') +
            (title ? ' title="' + V.escapeHtml(title) + '"' : '') + '>' + label + '</button>';
    }

    // The download or installation of `sku` under way, this page's own or another; null for none.
    function activeFor(sku) {
        return download && download.sku === sku ? download : others[sku] || null;
    }

    function progressHtml(active) {
        var phase = active.phase;
        var text;
        if (phase === 'wait') {
            text = 'Installazione in corso...';
        } else if (phase === 'queued') {
            text = 'In coda per l\'installazione...';
        } else if (phase === 'progress') {
            // Number and unit stay together when the line wraps.
            var size = sizeText(active.size, active.bytes);
            text = 'Download ' + active.percent + '%' + (size ? ' di ' + V.escapeHtml(size) : '');
        } else {
            text = 'Avvio del download...';
        }
        // Only this page's own transfer can be cancelled: native code cancels the last one asked.
        var cancellable = active === download && phase !== 'wait' && phase !== 'queued';
        return progressBarHtml(phase === 'progress' ? active.percent : null, text,
            cancellable ? pauseButton() + button('Annulla', 'btn-secondary btn-small', 'cancel', active.sku) : '');
    }

    // A progress bar with its line of text and buttons; a null `percent` runs without an end.
    function progressBarHtml(percent, text, buttons) {
        var determinate = percent !== null;
        return '<div class="book-progress" role="progressbar" aria-valuemin="0" aria-valuemax="100"' +
            (determinate ? ' aria-valuenow="' + percent + '"' : '') + ' aria-label="' + text + '">' +
            '<div class="progress-track"><div class="progress-bar' + (determinate ? '' : ' indeterminate') + '"' +
            (determinate ? ' style="width:' + percent + '%"' : '') + '></div></div>' +
            '<div class="progress-line"><span class="text">' + text + '</span>' + buttons + '</div></div>';
    }

    // A transfer of this page's own can be paused when native code keeps what arrived.
    function pauseButton() {
        return V.native('pauseDownload') ? button('Pausa', 'btn-secondary btn-small', 'pause', download.sku) : '';
    }

    var KEPT_TEXTS = { interrupted: 'Download interrotto', paused: 'Download in pausa', stopped: 'Download interrotto' };

    // A download that stopped before its end: how far it got, continued by "Riprendi" (from where
    // it stopped) or removed by "Annulla".
    function keptHtml(part, busy) {
        var size = sizeText(part.size, part.bytes);
        var text = KEPT_TEXTS[part.state] + ': ' + part.percent + '%' + (size ? ' di ' + V.escapeHtml(size) : '');
        return progressBarHtml(part.percent, text,
            button('Riprendi', 'btn-primary btn-small', 'download', part.sku, busy,
                busy ? 'Attendi la fine del download in corso' : 'Continua da dove si era fermato') +
            button('Annulla', 'btn-secondary btn-small', 'discard', part.sku));
    }

    // What native code's `slot` tells beside the bridge, read; null when it has no such slot or
    // its answer cannot be read.
    function nativeJson(slot) {
        var native = V.native(slot);
        try {
            return native ? JSON.parse(native[slot]()) : null;
        } catch (e) {
            return null;
        }
    }

    // What native code keeps of stopped downloads, in the page's shape.
    function keptDownloads() {
        var told = nativeJson('keptDownloads');
        var parts = {};
        Object.keys(told || {}).forEach(function (sku) {
            var p = told[sku] || {};
            if (KEPT_TEXTS[p.state] && bookBySku(sku)) {
                parts[sku] = { sku: sku, state: p.state, percent: p.percent || 0,
                    size: p.size ? String(p.size) : '', bytes: p.bytes ? String(p.bytes) : '' };
            }
        });
        return parts;
    }

    // A download the program was running when it ended goes on by itself, when nothing else runs.
    function continueInterrupted() {
        if (download || Object.keys(others).length > 0) {
            return;
        }
        var skus = Object.keys(kept).filter(function (sku) { return kept[sku].state === 'interrupted'; });
        if (skus.length > 0) {
            startDownload(skus[0]);
        }
    }

    function dynamicHtml(book) {
        var sku = book.sku;
        var busy = !!download || Object.keys(others).length > 0;
        var waitTitle = 'Attendi la fine del download in corso';
        var html = '';
        var active = activeFor(sku);
        if (active) {
            return progressHtml(active);
        }
        if (kept[sku]) {
            // An update that stopped leaves the installed edition to be read meanwhile.
            var installed = book.STATUS === '1' || book.STATUS === '2';
            return keptHtml(kept[sku], busy) +
                (installed ? '<div class="book-actions">' + button('Apri', 'btn-primary', 'open', sku) + '</div>' : '') +
                errorHtml(book);
        }
        html += '<div class="book-actions">';
        switch (book.STATUS) {
        case '0':
            html += button('Scarica', 'btn-primary', 'download', sku, busy, busy ? waitTitle : '');
            break;
        case '1':
            html += button('Apri', 'btn-primary', 'open', sku);
            break;
        case '2':
            html += button('Apri', 'btn-primary', 'open', sku);
            html += button('Aggiorna', 'btn-secondary', 'download', sku, busy, busy ? waitTitle : 'Scarica la nuova edizione');
            break;
        case '3':
            html += button('Acquista', 'btn-accent', 'purchase', sku);
            break;
        }
        html += '</div>';
        return html + errorHtml(book, busy ? waitTitle : null);
    }

    // The download's failure says why, and offers to try again (`waiting`: the title of a retry
    // that must wait for another download; undefined: no retry here, the card has its own
    // button); trying again takes the message away.
    function errorHtml(book, waiting) {
        var sku = book.sku;
        if (!errors[sku]) {
            return '';
        }
        // Only where the card offers a download: an installed edition with nothing newer has none.
        var retry = waiting !== undefined && (book.STATUS === '0' || book.STATUS === '2') ?
            button('Riprova', 'btn-secondary btn-small', 'download', sku, !!waiting, waiting || '') : '';
        return '<div class="notice notice-error book-error" role="alert"><span class="text">' + V.escapeHtml(errors[sku]) +
            '</span>' + retry + '</div>';
    }

    // The state badge follows a download of the dictionary while it runs.
    function badgesHtml(book) {
        var state = STATES[book.STATUS];
        var active = activeFor(book.sku);
        if (active) {
            state = { badge: active.phase === 'wait' ? 'Installazione in corso' :
                active.phase === 'queued' ? 'In coda per l\'installazione' : 'Download in corso', cls: 'badge-update' };
        } else if (kept[book.sku]) {
            state = { badge: KEPT_TEXTS[kept[book.sku].state], cls: 'badge-update' };
        }
        var badges = '';
        if (book.LANG) {
            badges += '<span class="badge">' + V.escapeHtml(book.LANG) + '</span>';
        }
        if (state) {
            badges += '<span class="badge ' + state.cls + '">' + state.badge + '</span>';
        }
        return badges;
    }

    // The size native code gives in megabytes with one decimal, in kilobytes below 1 MB. The
    // exact size in bytes, when native code beside the bridge knows it, gives the kilobytes of
    // any package; without it a size under 0.05 MB arrives as "0.0" and can only be told as small.
    function sizeText(mb, bytes) {
        var b = parseInt(bytes, 10);
        if (b > 0 && b < 1048576) {
            return Math.max(1, Math.round(b / 1024)) + '\u00a0KB';
        }
        var n = parseFloat(mb);
        if (isNaN(n)) {
            return '';
        }
        if (n >= 1) {
            return String(mb) + '\u00a0MB';
        }
        return n > 0 ? Math.round(n * 1024) + '\u00a0KB' : 'meno di 50\u00a0KB';
    }

    function cardElement(book) {
        var card = document.createElement('article');
        card.className = 'book card';
        card.setAttribute('data-sku', book.sku);
        card.appendChild(coverElement(book));
        var body = document.createElement('div');
        body.className = 'book-body';
        var badges = badgesHtml(book);
        body.innerHTML = '<h2 class="book-title">' + V.escapeHtml(book.TITLE || book.sku) + '</h2>' +
            (book.SUBTITLE ? '<p class="book-subtitle">' + V.escapeHtml(book.SUBTITLE) + '</p>' : '') +
            (meta(book) ? '<p class="book-meta">' + V.escapeHtml(meta(book)) + '</p>' : '') +
            (badges ? '<div class="badges">' + badges + '</div>' : '') +
            '<div class="book-dynamic">' + dynamicHtml(book) + '</div>';
        card.appendChild(body);
        return card;
    }

    function findCard(sku) {
        var cards = booksEl.querySelectorAll('.book');
        for (var i = 0; i < cards.length; i++) {
            if (cards[i].getAttribute('data-sku') === sku) {
                return cards[i];
            }
        }
        return null;
    }

    // Redraws the state-dependent part of every card, keeping the keyboard focus where it was.
    function refreshActions() {
        var active = document.activeElement;
        var focusSku = active && active.getAttribute ? active.getAttribute('data-sku') : null;
        var focusAction = active && active.getAttribute ? active.getAttribute('data-action') : null;
        books.forEach(function (book) {
            var card = findCard(book.sku);
            if (card) {
                card.querySelector('.book-dynamic').innerHTML = dynamicHtml(book);
                var badges = card.querySelector('.badges');
                if (badges) {
                    badges.innerHTML = badgesHtml(book);
                }
            }
        });
        if (focusSku) {
            var card = findCard(focusSku);
            // After a download ends, its cancel button is gone: the download button takes over.
            var again = card && (card.querySelector('[data-action="' + focusAction + '"]') ||
                card.querySelector('[data-action="download"]:not([disabled])') ||
                card.querySelector('button:not([disabled])'));
            if (again) {
                again.focus();
            }
        }
    }

    function matchesFilter(book, text) {
        if (!text) {
            return true;
        }
        var hay = [book.TITLE, book.SUBTITLE, book.AUTHOR, book.LANG, book.PUBLISHER, book.YEAR].join(' ').toLowerCase();
        return hay.indexOf(text) >= 0;
    }

    function render() {
        booksEl.innerHTML = '';
        var text = filterEl.value.replace(/^\s+|\s+$/g, '').toLowerCase();
        var shown = 0;
        books.forEach(function (book) {
            if (matchesFilter(book, text)) {
                booksEl.appendChild(cardElement(book));
                shown++;
            }
        });
        // The count follows the filter: "2 di 7 dizionari".
        V.byId('count').textContent = !books.length ? '' : (text ? shown + ' di ' : '') +
            (books.length === 1 ? '1 dizionario' : books.length + ' dizionari');
        V.show(V.byId('empty'), books.length === 0);
        V.show(V.byId('no-match'), books.length > 0 && shown === 0);
        V.show(filterEl, books.length > 6);
        V.show(V.byId('search-all'), installedBooks().length > 0);
    }

    // What native code has under way, as it tells it beside the bridge: sku -> state in the
    // page's shape, or null when it cannot tell.
    function nativeDownloads() {
        var told = nativeJson('downloadStates');
        if (!told) {
            return null;
        }
        var states = {};
        Object.keys(told).forEach(function (sku) {
            var s = told[sku] || {};
            if (NATIVE_PHASES[s.state] && bookBySku(sku)) {
                states[sku] = { sku: sku, phase: NATIVE_PHASES[s.state], percent: s.percent || 0,
                    size: s.size ? String(s.size) : '', bytes: s.bytes ? String(s.bytes) : '' };
            }
        });
        return states;
    }

    // A page loaded while downloads run (a synchronisation or a return from a dictionary reloads
    // it) shows them: the only one becomes its own again, whose answers it follows; with several,
    // each is shown as it stands and none is started again meanwhile. A download that ended
    // among the others brings the library up to date.
    function followNative() {
        var states = nativeDownloads();
        if (!states) {
            return false;
        }
        var skus = Object.keys(states);
        if (!download && skus.length === 1) {
            download = states[skus[0]];
            rememberDownload(download.sku);
        }
        var ended = Object.keys(others).some(function (sku) { return !states[sku]; });
        others = {};
        skus.forEach(function (sku) {
            if (!download || sku !== download.sku) {
                others[sku] = states[sku];
            }
        });
        return ended;
    }

    function load(done) {
        V.store.readSystem(function (system) {
            books = V.store.listedBooks(system);
            followNative();
            kept = keptDownloads();
            var account = system.SYSTEM && system.SYSTEM.USERNAME;
            V.byId('user').textContent = account ? 'Account: ' + account : '';
            render();
            continueInterrupted();
            if (done) {
                done();
            }
        });
    }

    function startDownload(sku) {
        if (download) {
            return;
        }
        delete errors[sku];
        download = { sku: sku, phase: 'start', percent: 0, size: '' };
        rememberDownload(sku);
        refreshActions();
        V.bridge('download', sku, 'onDownload');
    }

    function endDownload() {
        download = null;
        rememberDownload('');
    }

    window.onDownload = function (res) {
        res = res || {};
        if (followNative()) {
            load();
        }
        if (!download) {
            var sku = rememberedDownload();
            if (!sku || !bookBySku(sku)) {
                if (res.result === true) {
                    load();
                }
                return;
            }
            download = { sku: sku, phase: 'start', percent: 0, size: '' };
        }
        if (res.result === true) {
            endDownload();
            load();
            return;
        }
        if (res.progress === 'wait' || res.progress === 'queued') {
            download.phase = res.progress;
        } else if (res.error || res.invalid || res.progress === undefined) {
            errors[download.sku] = V.decodeApos(res.error || 'Si è verificato un errore nello scaricamento del dizionario');
            endDownload();
            // What arrived before the failure may be kept, to be continued.
            kept = keptDownloads();
        } else {
            var p = parseInt(res.progress, 10);
            download.phase = 'progress';
            download.percent = isNaN(p) ? 0 : Math.max(0, Math.min(100, p));
            download.size = res.size ? String(res.size) : '';
            download.bytes = downloadBytes(download.sku);
            if (!download.bytes && V.native('downloadSize')) {
                // Native code notes the size right after telling the progress.
                var shown = download;
                setTimeout(function () {
                    if (download === shown && !download.bytes) {
                        download.bytes = downloadBytes(download.sku);
                        refreshActions();
                    }
                }, 0);
            }
        }
        refreshActions();
    };

    // The size in bytes of the package being downloaded, '' while native code does not know it.
    function downloadBytes(sku) {
        var native = V.native('downloadSize');
        return native ? String(native.downloadSize(sku) || '') : '';
    }

    // Native code sends nothing after a pause; what arrived is kept for "Riprendi".
    function pauseDownload(sku) {
        V.native('pauseDownload').pauseDownload(sku);
        endDownload();
        kept = keptDownloads();
        refreshActions();
    }

    function discardKept(sku) {
        var native = V.native('discardDownload');
        if (native) {
            native.discardDownload(sku);
        }
        delete kept[sku];
        delete errors[sku];
        refreshActions();
    }

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
            startDownload(sku);
            break;
        case 'cancel':
            // Native code sends nothing after a cancel, and keeps nothing of the transfer.
            V.bridge('cancelDownload');
            endDownload();
            kept = keptDownloads();
            refreshActions();
            break;
        case 'pause':
            pauseDownload(sku);
            break;
        case 'discard':
            discardKept(sku);
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
    V.on(filterEl, 'input', render);

    // A word looked up in every installed dictionary, on the first one's page.
    function installedBooks() {
        return books.filter(V.store.isInstalled);
    }
    V.on(V.byId('search-all'), 'submit', function (ev) {
        ev.preventDefault();
        var word = V.byId('search-all-q').value.replace(/^\s+|\s+$/g, '');
        var first = installedBooks()[0];
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

    V.library = { reload: load, startDownload: startDownload, books: function () { return books; } };
    load(focusFirst);
}(Vocalume));
