// Dictionary page: an entry's text. Entries are read through the bridge, copied into the page
// without anything that could run, and marked where a full-text search found its word; their
// first sense tells homographs apart in the lists.

(function (V, D) {
    'use strict';

    var ENTRY_WAIT_MS = 4000;
    var HINT_LENGTH = 60;    // characters of a first sense shown as a hint
    // Letters and their accented forms, so a highlighted hit ignores accents as the search does.
    var ACCENTS = { a: 'aàáâäã', e: 'eèéêë', i: 'iìíîï', o: 'oòóôöõ', u: 'uùúûü', c: 'cç', n: 'nñ' };
    var LETTER = 'A-Za-z0-9\u00c0-\u024f';
    var XHTML_NS = 'http://www.w3.org/1999/xhtml';
    var DROPPED = { script: 1, style: 1, iframe: 1, frame: 1, frameset: 1, object: 1, embed: 1, applet: 1,
        link: 1, meta: 1, base: 1, form: 1, input: 1, button: 1, textarea: 1, select: 1, head: 1, title: 1,
        map: 1, area: 1, svg: 1, math: 1 };

    var texts = {};          // entry texts read, by dictionary, id and file
    var fetched = 0;

    D.dirOf = function (path) {
        var i = String(path).lastIndexOf('/');
        return i < 0 ? '' : path.substring(0, i + 1);
    };

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
        importChildren(out, node, base);
        return out;
    }

    // The children of `from` that may be shown, cleaned, appended to `to`.
    function importChildren(to, from, base) {
        for (var c = from.firstChild; c; c = c.nextSibling) {
            var child = importNode(c, base);
            if (child) {
                to.appendChild(child);
            }
        }
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
        importChildren(target, parseEntry(text), base);
    };

    // Reads an entry: done(text) with its text ('' when the dictionary has no such entry), or
    // done(null) when its file cannot be read, which native code answers with silence. A text
    // read once is kept for the page's life.
    D.fetchEntry = function (it, done) {
        var key = [it.sku || D.sku, it.idzenta, it.file].join('\u0001');
        if (texts.hasOwnProperty(key)) {
            done(texts[key]);
            return;
        }
        var callbacks = window.onEntry || (window.onEntry = {});
        var id = 'e' + (++fetched);
        var timer = null;
        callbacks[id] = function (res) {
            delete callbacks[id];
            clearTimeout(timer);
            texts[key] = V.decodeHtmlLiteral(res);
            done(texts[key]);
        };
        V.bridge('getHtml', it.sku || D.sku, it.idzenta, it.file, 'onEntry.' + id);
        if (callbacks[id]) {
            timer = setTimeout(function () {
                delete callbacks[id];
                done(null);
            }, ENTRY_WAIT_MS);
        }
    };

    // The first sense of an entry's text, shortened: what tells homographs apart.
    D.hintOf = function (text) {
        var root = parseEntry(text || '');
        var sense = root.querySelector('.def, li') ||
            Array.prototype.filter.call(root.querySelectorAll('p'), function (p) {
                return !/\b(lemma|intestazione|gram)\b/.test(p.className || '');
            })[0];
        var hint = D.trim((sense ? sense.textContent : '').replace(/\s+/g, ' ')).replace(/^\d+\.\s*/, '');
        return hint.length > HINT_LENGTH ? hint.substring(0, HINT_LENGTH - 1).replace(/\s+\S*$/, '') + '\u2026' : hint;
    };

    // Gives the numbered homographs of `items` their hints, reading their entries; shown(it)
    // runs for each hint found.
    D.loadHints = function (items, shown) {
        items.forEach(function (it) {
            if (it.num && !it.alias && it.hint === undefined) {
                D.fetchEntry(it, function (text) {
                    it.hint = text ? D.hintOf(text) : '';
                    if (it.hint) {
                        shown(it);
                    }
                });
            }
        });
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

    // Marks every occurrence of `text` in the text of `root` that is shown, ignoring case and
    // accents (only whole words with `wholeWords`), with <mark class="`className`">; returns the
    // marks in the order of the text. Marks of that class already there are left as they are.
    V.markText = function (root, text, wholeWords, className) {
        text = D.trim(text);
        if (!text) {
            return [];
        }
        var re = new RegExp(wholeWords ? '(^|[^' + LETTER + '])(' + wordPattern(text) + ')(?![' + LETTER + '])' :
            '()(' + wordPattern(text) + ')', 'i');
        var texts = [];
        (function walk(node) {
            for (var c = node.firstChild; c; c = c.nextSibling) {
                if (c.nodeType === 3) {
                    texts.push(c);
                } else if (c.nodeType === 1 && window.getComputedStyle(c).display !== 'none' &&
                    !(c.nodeName.toLowerCase() === 'mark' && c.className === className)) {
                    walk(c);
                }
            }
        }(root));
        var marks = [];
        texts.forEach(function (node) {
            var m;
            while (node && (m = re.exec(node.nodeValue)) && m[2]) {
                var hit = node.splitText(m.index + m[1].length);
                node = hit.splitText(m[2].length);
                var mark = document.createElement('mark');
                mark.className = className;
                hit.parentNode.replaceChild(mark, hit);
                mark.appendChild(hit);
                marks.push(mark);
            }
        });
        return marks;
    };

    // Takes the marks of `className` out of `root`, its text as it was.
    V.unmarkText = function (root, className) {
        Array.prototype.slice.call(root.querySelectorAll('mark.' + className)).forEach(function (mark) {
            var parent = mark.parentNode;
            while (mark.firstChild) {
                parent.insertBefore(mark.firstChild, mark);
            }
            parent.removeChild(mark);
            parent.normalize();
        });
    };

    // Marks every whole-word occurrence of `word` in the text of `root`, ignoring case and
    // accents; returns the first mark.
    V.highlight = function (root, word) {
        return V.markText(root, word, true, 'hit')[0] || null;
    };
}(Vocalume, Vocalume.dict));
