// Library page, first of its scripts: the state they share (Vocalume.lib) and the list of the
// account's dictionaries as recorded in SYSTEM: a card for each, with its cover, state badges and
// the actions its state offers (a download's progress comes from libreria-download.js), redrawn
// as states change, and the filter over the list. libreria-download.js follows, then libreria.js,
// which loads the list, wires the page and starts it.

(function (V) {
    'use strict';

    var L = V.lib = {
        el: { books: V.byId('books'), filter: V.byId('filter') },
        books: [],
        errors: {}, // sku -> why its last download failed
        download: null, // { sku, phase: 'start' | 'progress' | 'queued' | 'wait', percent, size, bytes }
        // Downloads native code runs that are not this page's own (the page was loaded after they
        // started), shown as they are: sku -> the same shape.
        others: {},
        // Downloads that stopped before their end and can be continued, as native code keeps them:
        // sku -> { sku, state: 'interrupted' | 'paused' | 'stopped', percent, size, bytes }.
        kept: {}
    };
    var booksEl = L.el.books;
    var filterEl = L.el.filter;

    // Words skipped when a placeholder cover picks the initial of a title.
    var PLAIN_WORDS = ['dizionario', 'vocabolario', 'il', 'lo', 'la', 'i', 'gli', 'le', 'di', 'del', 'della', 'dei', 'delle', 'e'];
    var COVER_COLOURS = ['#1d4e73', '#6b3f73', '#2f6b55', '#8a4421', '#3c5a8a', '#705b2a'];

    var STATES = {
        '0': { badge: 'Da scaricare', cls: 'badge-download' },
        '1': { badge: 'Installato', cls: 'badge-installed' },
        '2': { badge: 'Aggiornamento disponibile', cls: 'badge-update' },
        '3': { badge: 'Non acquistato', cls: 'badge-buy' }
    };

    L.bookBySku = function (sku) {
        for (var i = 0; i < L.books.length; i++) {
            if (L.books[i].sku === sku) {
                return L.books[i];
            }
        }
        return null;
    };

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

    L.button = function (label, cls, action, sku, disabled, title) {
        return '<button type="button" class="btn ' + cls + '" data-action="' + action + '" data-sku="' +
            V.escapeHtml(sku) + '"' + (disabled ? ' disabled' : '') +
            (title ? ' title="' + V.escapeHtml(title) + '"' : '') + '>' + label + '</button>';
    };

    function dynamicHtml(book) {
        var sku = book.sku;
        var busy = !!L.download || Object.keys(L.others).length > 0;
        var waitTitle = 'Attendi la fine del download in corso';
        var html = '';
        var active = L.activeFor(sku);
        if (active) {
            return L.progressHtml(active);
        }
        if (L.kept[sku]) {
            // An update that stopped leaves the installed edition to be read meanwhile.
            var installed = book.STATUS === '1' || book.STATUS === '2';
            return L.keptHtml(L.kept[sku], busy) +
                (installed ? '<div class="book-actions">' + L.button('Apri', 'btn-primary', 'open', sku) + '</div>' : '') +
                errorHtml(book);
        }
        html += '<div class="book-actions">';
        switch (book.STATUS) {
        case '0':
            html += L.button('Scarica', 'btn-primary', 'download', sku, busy, busy ? waitTitle : '');
            break;
        case '1':
            html += L.button('Apri', 'btn-primary', 'open', sku);
            break;
        case '2':
            html += L.button('Apri', 'btn-primary', 'open', sku);
            html += L.button('Aggiorna', 'btn-secondary', 'download', sku, busy, busy ? waitTitle : 'Scarica la nuova edizione');
            break;
        case '3':
            html += L.button('Acquista', 'btn-accent', 'purchase', sku);
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
        if (!L.errors[sku]) {
            return '';
        }
        // Only where the card offers a download: an installed edition with nothing newer has none.
        var retry = waiting !== undefined && (book.STATUS === '0' || book.STATUS === '2') ?
            L.button('Riprova', 'btn-secondary btn-small', 'download', sku, !!waiting, waiting || '') : '';
        return '<div class="notice notice-error book-error" role="alert"><span class="text">' + V.escapeHtml(L.errors[sku]) +
            '</span>' + retry + '</div>';
    }

    // The state badge follows a download of the dictionary while it runs.
    function badgesHtml(book) {
        var state = STATES[book.STATUS];
        var active = L.activeFor(book.sku);
        if (active) {
            state = { badge: active.phase === 'wait' ? 'Installazione in corso' :
                active.phase === 'queued' ? 'In coda per l\'installazione' : 'Download in corso', cls: 'badge-update' };
        } else if (L.kept[book.sku]) {
            state = { badge: L.KEPT_TEXTS[L.kept[book.sku].state], cls: 'badge-update' };
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
    L.refreshActions = function () {
        var active = document.activeElement;
        var focusSku = active && active.getAttribute ? active.getAttribute('data-sku') : null;
        var focusAction = active && active.getAttribute ? active.getAttribute('data-action') : null;
        L.books.forEach(function (book) {
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
    };

    function matchesFilter(book, text) {
        if (!text) {
            return true;
        }
        var hay = [book.TITLE, book.SUBTITLE, book.AUTHOR, book.LANG, book.PUBLISHER, book.YEAR].join(' ').toLowerCase();
        return hay.indexOf(text) >= 0;
    }

    L.render = function () {
        booksEl.innerHTML = '';
        var text = filterEl.value.replace(/^\s+|\s+$/g, '').toLowerCase();
        var shown = 0;
        L.books.forEach(function (book) {
            if (matchesFilter(book, text)) {
                booksEl.appendChild(cardElement(book));
                shown++;
            }
        });
        // The count follows the filter: "2 di 7 dizionari".
        V.byId('count').textContent = !L.books.length ? '' : (text ? shown + ' di ' : '') +
            (L.books.length === 1 ? '1 dizionario' : L.books.length + ' dizionari');
        V.show(V.byId('empty'), L.books.length === 0);
        V.show(V.byId('no-match'), L.books.length > 0 && shown === 0);
        V.show(filterEl, L.books.length > 6);
        V.show(V.byId('search-all'), L.installedBooks().length > 0);
    };

    // The dictionaries a word can be looked up in from the library.
    L.installedBooks = function () {
        return L.books.filter(V.store.isInstalled);
    };
}(Vocalume));
