// Dictionary page: finding text in the entries on the page (Ctrl+F), as a browser does: every
// occurrence marked, whatever its case and accents, the current one in view; Enter and F3 go to
// the next, with Shift to the previous; Esc closes.

(function (V, D) {
    'use strict';

    var el = D.el;
    var marks = [];
    var at = -1;

    D.findOpen = function () {
        return !el.findBar.hasAttribute('hidden');
    };

    function showCount() {
        var text = D.trim(el.findText.value);
        el.findCount.textContent = !text ? '' : marks.length ? (at + 1) + ' di ' + marks.length : 'Nessuna corrispondenza';
        el.findPrev.disabled = el.findNext.disabled = marks.length < 2;
    }

    // Brings occurrence `i` (counted round) into view as the current one.
    function select(i) {
        if (!marks.length) {
            showCount();
            return;
        }
        if (at >= 0 && marks[at]) {
            marks[at].className = 'trovato';
        }
        at = (i + marks.length) % marks.length;
        var mark = marks[at];
        mark.className = 'trovato is-current';
        var top = mark.getBoundingClientRect().top - el.reader.getBoundingClientRect().top;
        if (top < el.entryTools.offsetHeight + 8 || top > el.reader.clientHeight - 40) {
            el.reader.scrollTop += top - el.reader.clientHeight / 3;
        }
        showCount();
    }

    // Marks the text of the box in the entries shown; the current occurrence stays the n-th.
    D.refind = function () {
        if (!D.findOpen()) {
            return;
        }
        var keep = Math.max(at, 0);
        V.unmarkText(el.entry, 'trovato');
        marks = V.markText(el.entry, el.findText.value, false, 'trovato');
        at = -1;
        select(Math.min(keep, marks.length - 1));
    };

    D.openFind = function () {
        V.show(el.findBar, true);
        el.findText.focus();
        el.findText.select();
        D.refind();
    };

    function closeFind() {
        V.unmarkText(el.entry, 'trovato');
        marks = [];
        at = -1;
        V.show(el.findBar, false);
    }

    // F3 and Shift+F3 while the bar is open; true when the key was used.
    D.findKeys = function (ev) {
        if (!D.findOpen() || ev.keyCode !== 114) {
            return false;
        }
        select(at + (ev.shiftKey ? -1 : 1));
        return true;
    };

    D.wireFind = function () {
        V.on(el.findText, 'input', function () {
            at = -1;
            D.refind();
        });
        V.on(el.findText, 'keydown', function (ev) {
            if (ev.keyCode === 13) {
                ev.preventDefault();
                select(at + (ev.shiftKey ? -1 : 1));
            } else if (ev.keyCode === 27) {
                ev.preventDefault();
                ev.stopPropagation();
                closeFind();
                el.reader.focus();
            }
        });
        V.on(el.findNext, 'click', function () { select(at + 1); });
        V.on(el.findPrev, 'click', function () { select(at - 1); });
        V.on(el.findClose, 'click', closeFind);
    };
}(Vocalume, Vocalume.dict));
