// Dictionary page: what the mouse does in an entry, as in other dictionaries. A double click looks
// the word up, a selection offers to look it up, and the right button (or the menu key) opens a
// menu: copy, look up, copy the entry, select all, print, export as PDF.

(function (V, D) {
    'use strict';

    var WORD = /[A-Za-z0-9\u00c0-\u024f\u0370-\u03ff\u0400-\u04ff]+(?:['\u2019\-][A-Za-z0-9\u00c0-\u024f\u0370-\u03ff\u0400-\u04ff]+)*/g;
    var OFFER_LONGEST = 60;  // characters of a selection offered for a look-up

    var el = D.el;
    var menu = null;         // { el, items: [buttons] } while the menu is open
    var offer = null;        // the button that offers the selected text
    var offering = null;     // the offer about to be shown once a click has selected text
    var pressed = null;      // the selection as it was when the right button went down

    // The text selected inside the entries, '' when none.
    function selectedText() {
        var s = window.getSelection();
        if (!s || s.isCollapsed || !s.rangeCount || !el.entry.contains(s.getRangeAt(0).commonAncestorContainer)) {
            return '';
        }
        return D.trim(String(s.toString()).replace(/\s+/g, ' '));
    }

    // The word of `text` around character `at`.
    function wordAt(text, at) {
        var m;
        WORD.lastIndex = 0;
        while ((m = WORD.exec(text))) {
            if (at >= m.index && at <= m.index + m[0].length) {
                return m[0];
            }
        }
        return '';
    }

    // The word under the pointer, '' when it points at none.
    function wordUnder(x, y) {
        var range = document.caretRangeFromPoint ? document.caretRangeFromPoint(x, y) : null;
        var node = range && range.startContainer;
        return node && node.nodeType === 3 && el.entry.contains(node) ? wordAt(node.nodeValue, range.startOffset) : '';
    }

    function current() {
        return D.blockOf(el.entry.querySelector('.blocco.is-current'));
    }

    // A selection or a word as a word to look up: its first words, without the punctuation around them.
    function lookUpText(text) {
        var words = String(text || '').match(WORD) || [];
        return words.length && words.join(' ').length <= OFFER_LONGEST ? words.join(' ') : '';
    }

    // Looks a word of an entry up, by headword, in this dictionary or in all of them as the box says.
    D.lookUp = function (word) {
        closeMenu();
        el.q.value = word;
        V.dictionary.search(word, '0');
    };

    function copy(text) {
        var native = V.native('copyText');
        if (native) {
            native.copyText(text);
        } else {
            document.execCommand('copy');
        }
    }

    // The entry's text as it shows: what its style hides left out, what its style adds before an
    // element ("Forme: ") written in, so that a plain document reads as the page.
    function shownHtml(body) {
        var copy = body.cloneNode(true);
        var from = body.querySelectorAll('*');
        var to = copy.querySelectorAll('*');
        for (var i = 0; i < from.length; i++) {
            var style = window.getComputedStyle(from[i]);
            var before = window.getComputedStyle(from[i], ':before').content;
            if (style.display === 'none') {
                to[i].parentNode.removeChild(to[i]);
            } else if (before && /^["'].+["']$/.test(before)) {
                var b = document.createElement('b');
                b.textContent = before.slice(1, -1);
                to[i].insertBefore(b, to[i].firstChild);
            }
        }
        return copy.innerHTML;
    }

    // The entry in focus, or `b`, as text and as what printing needs.
    function entryOf(b) {
        b = b || current();
        if (!b) {
            return null;
        }
        var it = b.it;
        var heading = D.headingText(it);
        return { heading: heading, source: D.bookOf(it.sku || D.sku).title, html: shownHtml(b.body),
            text: heading + (D.trim(it.hw) ? ' ' + D.trim(it.hw) : '') + '\n' + D.trim(b.body.innerText || b.body.textContent) };
    }

    D.selectAll = function () {
        var range = document.createRange();
        range.selectNodeContents(el.entry);
        var s = window.getSelection();
        s.removeAllRanges();
        s.addRange(range);
    };

    D.printEntry = function (b) {
        var e = entryOf(b);
        var native = V.native('printEntry');
        if (e && native) {
            native.printEntry(e.heading, e.source, e.html);
        } else if (e) {
            window.print();
        }
    };

    function exportPdf(b) {
        var e = entryOf(b);
        var native = V.native('exportEntryPdf');
        if (!e || !native) {
            return;
        }
        var answer = {};
        try {
            answer = JSON.parse(native.exportEntryPdf(e.heading, e.source, e.html)) || {};
        } catch (err) { /* told below as a failure */ }
        if (answer.result === 'saved') {
            V.message('La voce \u00ab' + e.heading + '\u00bb è stata esportata nel file ' + answer.path + '.');
        } else if (answer.result !== 'cancelled') {
            V.message('La voce non è stata esportata. Impossibile scrivere il file ' + (answer.path || '') + ': ' +
                (answer.reason || 'errore sconosciuto') + '.');
        }
    }

    // ---- The menu -------------------------------------------------------------------------

    function closeMenu() {
        if (menu) {
            document.body.removeChild(menu.el);
            menu = null;
        }
    }

    // Opens the menu at (x, y) of the window for the entry block `b`; `word` is what "Cerca" offers
    // when nothing is selected. Opened by the keyboard, its first item takes the focus; opened by the
    // pointer, the focus stays where it is, so that the selection stays in view.
    function openMenu(x, y, b, word, byKeyboard) {
        closeMenu();
        hideOffer();
        var selected = selectedText();
        var look = lookUpText(selected) || word;
        var entries = [
            ['Copia', !!selected, function () { copy(selected); }],
            [look ? 'Cerca \u00ab' + look + '\u00bb' : 'Cerca', !!look, function () { D.lookUp(look); }],
            // A chosen text (an example) read aloud, where a voice speaks its language.
            D.listenChoice(selected, b),
            ['Copia la voce', !!b, function () { copy(entryOf(b).text); }],
            ['Seleziona tutto', true, D.selectAll],
            ['Stampa la voce...', !!b, function () { D.printEntry(b); }],
            ['Esporta la voce in PDF...', !!b && !!V.native('exportEntryPdf'), function () { exportPdf(b); }]
        ].filter(function (e) { return e; });
        var box = document.createElement('div');
        box.className = 'menu';
        box.setAttribute('role', 'menu');
        menu = { el: box, items: [] };
        entries.forEach(function (e) {
            var item = document.createElement('button');
            item.type = 'button';
            item.setAttribute('role', 'menuitem');
            item.textContent = e[0];
            item.disabled = !e[1];
            V.on(item, 'click', function (ev) {
                ev.stopPropagation();
                closeMenu();
                e[2]();
            });
            box.appendChild(item);
            menu.items.push(item);
        });
        document.body.appendChild(box);
        box.style.left = Math.max(0, Math.min(x, window.innerWidth - box.offsetWidth - 4)) + 'px';
        box.style.top = Math.max(0, Math.min(y, window.innerHeight - box.offsetHeight - 4)) + 'px';
        if (byKeyboard) {
            menu.items.filter(function (i) { return !i.disabled; })[0].focus();
        }
    }

    // Up and down move between the menu's items; Esc and Tab close it.
    function menuKeys(ev) {
        var enabled = menu.items.filter(function (i) { return !i.disabled; });
        var at = enabled.indexOf(document.activeElement);
        if (ev.keyCode === 27 || ev.keyCode === 9) {
            closeMenu();
        } else if (ev.keyCode === 40 || ev.keyCode === 38) {
            enabled[(at + (ev.keyCode === 40 ? 1 : enabled.length - 1)) % enabled.length].focus();
        } else {
            return false;
        }
        return true;
    }

    // ---- A selection offers a look-up ------------------------------------------------------

    function hideOffer() {
        if (offer) {
            document.body.removeChild(offer);
            offer = null;
        }
    }

    function showOffer() {
        hideOffer();
        var word = lookUpText(selectedText());
        if (!word) {
            return;
        }
        var rect = window.getSelection().getRangeAt(0).getBoundingClientRect();
        offer = document.createElement('button');
        offer.type = 'button';
        offer.className = 'btn btn-secondary btn-small offer';
        offer.textContent = 'Cerca \u00ab' + word + '\u00bb';
        // Pressed, it must not take the selection away before it is read.
        V.on(offer, 'mousedown', function (ev) { ev.preventDefault(); });
        V.on(offer, 'click', function () {
            hideOffer();
            D.lookUp(word);
        });
        document.body.appendChild(offer);
        offer.style.left = Math.max(0, Math.min(rect.left, window.innerWidth - offer.offsetWidth - 4)) + 'px';
        offer.style.top = Math.min(rect.bottom + 6, window.innerHeight - offer.offsetHeight - 4) + 'px';
    }

    // ---- Events ---------------------------------------------------------------------------

    // True when the key was taken by the menu, the offer or one of the entry's shortcuts.
    D.entryKeys = function (ev) {
        if (menu) {
            return menuKeys(ev);
        }
        if (ev.keyCode === 27 && offer) {
            hideOffer();
            return true;
        }
        var b = current();
        if ((ev.keyCode === 93 || (ev.shiftKey && ev.keyCode === 121)) && b) {
            var r = b.el.getBoundingClientRect();
            openMenu(r.left + 20, Math.max(r.top, 0) + 20, b, '', true);
            return true;
        }
        return false;
    };

    D.wireMenu = function () {
        // The right button: the web view shows no menu of its own, so the page opens its own as
        // the button goes up (or on the menu event, where the view sends one).
        var fromPointer = function (ev) {
            ev.preventDefault();
            // The press moved the selection (the web view selects at the pointer): it comes back.
            if (pressed) {
                var s = window.getSelection();
                s.removeAllRanges();
                s.addRange(pressed);
            }
            var b = D.blockOf(ev.target) || D.blockOf(document.elementFromPoint(ev.clientX, ev.clientY)) || current();
            openMenu(ev.clientX, ev.clientY, b, wordUnder(ev.clientX, ev.clientY));
        };
        V.on(el.entry, 'mousedown', function (ev) {
            var s = window.getSelection();
            pressed = ev.button === 2 && selectedText() ? s.getRangeAt(0).cloneRange() : null;
        });
        V.on(el.entry, 'contextmenu', fromPointer);
        V.on(el.entry, 'mouseup', function (ev) {
            if (ev.button === 2) {
                fromPointer(ev);
                pressed = null;
            } else if (ev.button === 0) {
                clearTimeout(offering);
                offering = setTimeout(showOffer, 0);
            }
        });
        V.on(el.entry, 'dblclick', function () {
            clearTimeout(offering);
            var word = lookUpText(selectedText());
            if (word) {
                hideOffer();
                D.lookUp(word);
            }
        });
        V.on(document, 'mousedown', function (ev) {
            if (menu && !menu.el.contains(ev.target)) {
                closeMenu();
            }
            if (offer && ev.target !== offer) {
                hideOffer();
            }
        });
        V.on(el.reader, 'scroll', function () {
            closeMenu();
            hideOffer();
        });
    };
}(Vocalume, Vocalume.dict));
