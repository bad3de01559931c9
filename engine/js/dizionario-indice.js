// Dictionary page: the alphabetical index. One continuous list, read from native code beside the
// bridge INDEX_SIZE rows at a time: it opens at a typed word or letter, with a few words before
// it, and loads its neighbours as it scrolls either way. Without that help it lists the words
// that begin with the typed text, through the bridge, growing as it scrolls down.

(function (V, D) {
    'use strict';

    var INDEX_LEAD = 5;     // words shown above the one looked for
    var INDEX_MARGIN = 200; // pixels from an end of the list that load the next rows
    var INDEX_SIZE = D.INDEX_SIZE;

    var el = D.el;
    var words = D.words;
    var index = { items: [], prefix: '', atStart: true, atEnd: true, target: null };

    function nativeIndex() {
        return V.native('indexRows');
    }

    // Rows next to a place: a word, or the key `k` of a listed row.
    function indexRows(place, after, count) {
        try {
            var rows = JSON.parse(nativeIndex().indexRows(D.sku, typeof place === 'string' ? place : JSON.stringify(place),
                after ? '1' : '0', String(count), D.lang) || '[]');
            return rows instanceof Array ? rows.map(function (r) {
                var it = D.item(r);
                it.k = r.k;
                return it;
            }) : [];
        } catch (e) {
            return [];
        }
    }

    function callWords(req) {
        V.bridge('getWords', D.sku, req.prefix, String(req.from), String(INDEX_SIZE), D.lang, req.callback);
    }

    function markLetter(word) {
        var buttons = el.letters.getElementsByTagName('button');
        for (var i = 0; i < buttons.length; i++) {
            buttons[i].className = buttons[i].getAttribute('data-letter') === word.toLowerCase() ? 'is-on' : '';
        }
    }

    // Opens the index at `word`; the empty word opens it at the start.
    D.loadWords = function (word) {
        markLetter(word);
        if (!nativeIndex()) {
            el.words.innerHTML = '<li class="list-status"><span class="spinner spinner-small"></span> Caricamento...</li>';
            D.send(words, { prefix: word, from: 0 }, callWords);
            return;
        }
        var before = word ? indexRows(word, false, INDEX_LEAD) : [];
        var after = indexRows(word, true, INDEX_SIZE);
        index = { items: before.concat(after), prefix: '', atStart: before.length < INDEX_LEAD, atEnd: after.length < INDEX_SIZE,
            target: after[0] || null };
        showIndex();
    };

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
                D.send(words, { prefix: index.prefix, from: index.items.length, more: true }, callWords);
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

    // Homographs make one row, which opens them all: { word..., group: [its entries] }.
    function rows(items) {
        var out = [];
        items.forEach(function (it) {
            var last = out[out.length - 1];
            if (last && D.headKey(last) === D.headKey(it)) {
                last.group.push(it);
            } else {
                out.push({ idzenta: it.idzenta, word: it.word, file: it.file, omo: it.omo, hw: it.hw, alias: it.alias,
                    group: [it] });
            }
        });
        return out;
    }

    function renderIndex() {
        words.lastItems = rows(index.items);
        el.words.innerHTML = words.lastItems.map(function (row, i) {
            var many = row.group.length > 1;
            return '<li><button type="button" class="item' + (row.group.some(function (x) { return D.sameRow(x, D.entry.current); }) ? ' is-current' : '') +
                (row.group.indexOf(index.target) >= 0 ? ' is-target' : '') + '" data-index="' + i + '">' +
                D.itemLabel(many ? { word: row.word, alias: row.alias } : row, true) +
                (many ? '<span class="hw">' + row.group.length + ' voci</span>' : '') + '</button></li>';
        }).join('');
    }

    // Answers of the bridge's word list, used when native code offers no index of its own.
    words.onAnswer = function (req, res) {
        var tot = D.totalOf(res);
        var items = D.readItems(res.result);
        words.last = req;
        if (D.badTotal(tot)) {
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

    function entryOf(it) {
        return { idzenta: it.idzenta, word: it.word, file: it.file, omo: it.omo, hw: it.hw, alias: it.alias, sku: D.sku };
    }

    function buildLetters() {
        var html = '';
        'abcdefghijklmnopqrstuvwxyz'.split('').forEach(function (c) {
            html += '<button type="button" data-letter="' + c + '" aria-label="Parole con ' + c.toUpperCase() + '">' +
                c.toUpperCase() + '</button>';
        });
        el.letters.innerHTML = html;
    }

    D.wireIndex = function () {
        buildLetters();
        V.on(el.words, 'click', function (ev) {
            var row = D.itemFrom(ev, el.words, words.lastItems || []);
            if (row) {
                D.openPage({ word: row.alias || row.word, sections: [{ book: D.bookOf(D.sku),
                    items: D.rank(row.group.map(entryOf), row.alias || row.word, true) }] });
            }
        });
        var typing = null;
        V.on(el.prefix, 'input', function () {
            if (typing) {
                clearTimeout(typing);
            }
            typing = setTimeout(function () {
                typing = null;
                D.loadWords(D.trim(el.prefix.value));
            }, 250);
        });
        V.on(el.prefix, 'keydown', function (ev) {
            if (ev.keyCode === 40) {
                ev.preventDefault();
                var target = el.words.querySelector('.is-target');
                if (target) {
                    target.focus();
                } else {
                    D.firstItem(el.words);
                }
            } else if (ev.keyCode === 13) {
                ev.preventDefault();
                if (typing) {
                    clearTimeout(typing);
                    typing = null;
                }
                D.loadWords(D.trim(el.prefix.value));
            }
        });
        V.on(el.letters, 'click', function (ev) {
            var letter = ev.target.getAttribute && ev.target.getAttribute('data-letter');
            if (letter) {
                el.prefix.value = letter;
                D.loadWords(letter);
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
    };
}(Vocalume, Vocalume.dict));
