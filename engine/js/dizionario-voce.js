// Dictionary page: the entry view. Entries are read through the bridge, copied into the page
// without anything that could run, marked where a full-text search found its word, and
// remembered one after the other for back and forward.

(function (V, D) {
    'use strict';

    var ENTRY_WAIT_MS = 4000;
    var STEPS_MAX = 200;     // entries opened that back and forward remember
    // Letters and their accented forms, so a highlighted hit ignores accents as the search does.
    var ACCENTS = { a: 'aàáâäã', e: 'eèéêë', i: 'iìíîï', o: 'oòóôöõ', u: 'uùúûü', c: 'cç', n: 'nñ' };
    var LETTER = 'A-Za-z0-9\u00c0-\u024f';
    var XHTML_NS = 'http://www.w3.org/1999/xhtml';
    var DROPPED = { script: 1, style: 1, iframe: 1, frame: 1, frameset: 1, object: 1, embed: 1, applet: 1,
        link: 1, meta: 1, base: 1, form: 1, input: 1, button: 1, textarea: 1, select: 1, head: 1, title: 1,
        map: 1, area: 1, svg: 1, math: 1 };

    var el = D.el;
    var entry = D.entry;
    var search = D.search;
    var words = D.words;

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
                buttons[i].className = 'item' + (D.sameEntry(it, entry.current) ? ' is-current' : '');
            }
        });
    }

    function entryStatus(text) {
        el.entryStatus.innerHTML = text;
        V.show(el.entryStatus, !!text);
    }

    D.closeEntry = function () {
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
        D.refreshEntryTools();
        markCurrent();
    };

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
        if (top && D.sameEntry(top.item, current)) {
            top.typed = typed;
        } else if (top && continues(top.typed, typed)) {
            h[h.length - 1] = { item: current, typed: typed };
        } else {
            h.push({ item: current, typed: typed });
        }
        entry.history = h.slice(-STEPS_MAX);
        entry.at = entry.history.length - 1;
    }

    D.syncHistoryButtons = function () {
        el.entryBack.disabled = entry.at <= 0;
        el.entryForward.disabled = entry.at >= entry.history.length - 1;
    };

    D.goHistory = function (delta) {
        var to = entry.at + delta;
        if (to < 0 || to >= entry.history.length) {
            return;
        }
        entry.at = to;
        D.openEntry(entry.history[to].item, { history: true });
    };

    D.openEntry = function (it, how) {
        if (!it || !it.idzenta) {
            return;
        }
        how = how || {};
        entry.current = { idzenta: it.idzenta, file: it.file, word: it.word, omo: it.omo, hw: it.hw };
        entry.highlight = how.highlight || '';
        remember(entry.current, how);
        D.syncHistoryButtons();
        entry.pending = entry.current;
        V.show(el.welcome, false);
        V.show(el.entryView, true);
        el.entryWord.innerHTML = D.itemLabel(entry.current);
        el.entry.innerHTML = '';
        entryStatus('<span class="spinner spinner-small"></span> Caricamento della voce...');
        D.refreshEntryTools();
        markCurrent();
        if (entry.timer) {
            clearTimeout(entry.timer);
        }
        var asked = entry.pending;
        V.bridge('getHtml', D.sku, it.idzenta, it.file, 'onEntry');
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
    };

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
        if (!D.trim(text)) {
            entryStatus('Voce non disponibile in questo dizionario.');
            return;
        }
        entryStatus('');
        V.renderEntry(el.entry, text, 'books/' + D.sku + '/' + dirOf(shown.file));
        D.rememberLookUp(shown);
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
        word = D.trim(word);
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
            D.openEntry({
                idzenta: id,
                file: file ? dirOf(current.file) + file : current.file,
                word: D.trim(a.textContent) || '',
                omo: '',
                hw: ''
            });
            return;
        }
        V.bridge('openLink', 'books/' + D.sku + '/' + dirOf(current.file) + href);
    }

    D.wireEntry = function () {
        V.on(el.entryBack, 'click', function () { D.goHistory(-1); });
        V.on(el.entryForward, 'click', function () { D.goHistory(1); });
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
