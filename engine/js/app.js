// Shared script of every engine page: the call-back entry point of native code (SignalQt),
// the message dialog, the busy spinner (__APP.spinner) and small helpers.
// Plain ES5: the page runs in the embedded web view.

var Vocalume = Vocalume || {};

(function (V) {
    'use strict';

    // ---- Result literals -------------------------------------------------------------------
    // Native code answers with the text of an object literal with unquoted keys, e.g.
    // {tot:1,result: [{idzenta: '12', word: 'casa'}], isLemmatizzata:true}. It is read by a small
    // parser rather than evaluated, so no text that reaches a literal can run as script.

    function LiteralParser(text) {
        this.text = text;
        this.pos = 0;
    }

    LiteralParser.prototype.fail = function (what) {
        throw new Error('Literal non valido (' + what + ') alla posizione ' + this.pos);
    };

    LiteralParser.prototype.skipBlanks = function () {
        this.tokenAt(BLANKS);
    };

    LiteralParser.prototype.value = function () {
        this.skipBlanks();
        var c = this.text.charAt(this.pos);
        if (c === '{') {
            return this.object();
        }
        if (c === '[') {
            return this.array();
        }
        if (c === '"' || c === '\'') {
            return this.string();
        }
        if (c === '-' || c === '+' || c === '.' || (c >= '0' && c <= '9')) {
            return this.number();
        }
        var word = this.identifier();
        if (word === 'true') {
            return true;
        }
        if (word === 'false') {
            return false;
        }
        if (word === 'null') {
            return null;
        }
        if (word === 'undefined') {
            return undefined;
        }
        return this.fail('valore');
    };

    // The token of `pattern` (a global expression) that starts where the parser stands, or null:
    // no copy of the rest of the text, which made a long literal cost its length squared.
    LiteralParser.prototype.tokenAt = function (pattern) {
        pattern.lastIndex = this.pos;
        var m = pattern.exec(this.text);
        if (!m || m.index !== this.pos) {
            return null;
        }
        this.pos += m[0].length;
        return m[0];
    };

    // Made once: a pattern written inside a function is a new object at every call.
    var BLANKS = /\s*/g;
    var IDENTIFIER = /[A-Za-z_$][A-Za-z0-9_$]*/g;
    var NUMBER = /[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?/g;
    // The run of a string up to its next quote or backslash.
    var PLAIN = { '\'': /[^'\\]*/g, '"': /[^"\\]*/g };

    LiteralParser.prototype.identifier = function () {
        var word = this.tokenAt(IDENTIFIER);
        return word === null ? this.fail('nome') : word;
    };

    LiteralParser.prototype.number = function () {
        var digits = this.tokenAt(NUMBER);
        return digits === null ? this.fail('numero') : parseFloat(digits);
    };

    LiteralParser.prototype.string = function () {
        var t = this.text;
        var quote = t.charAt(this.pos++);
        var out = '';
        while (this.pos < t.length) {
            out += this.tokenAt(PLAIN[quote]);
            if (this.pos >= t.length) {
                break;
            }
            var c = t.charAt(this.pos++);
            if (c === quote) {
                return out;
            }
            if (c !== '\\') {
                out += c;
                continue;
            }
            var e = t.charAt(this.pos++);
            switch (e) {
            case 'n': out += '\n'; break;
            case 't': out += '\t'; break;
            case 'r': out += '\r'; break;
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'v': out += '\v'; break;
            case '0': out += '\0'; break;
            case '\n': break;
            case 'x':
            case 'u':
                var len = e === 'x' ? 2 : 4;
                var hex = t.substr(this.pos, len);
                if (!/^[0-9A-Fa-f]+$/.test(hex) || hex.length !== len) {
                    this.fail('sequenza di escape');
                }
                out += String.fromCharCode(parseInt(hex, 16));
                this.pos += len;
                break;
            default:
                out += e;
            }
        }
        return this.fail('stringa non chiusa');
    };

    LiteralParser.prototype.array = function () {
        var out = [];
        this.pos++;
        for (;;) {
            this.skipBlanks();
            if (this.text.charAt(this.pos) === ']') {
                this.pos++;
                return out;
            }
            out.push(this.value());
            this.skipBlanks();
            var c = this.text.charAt(this.pos++);
            if (c === ']') {
                return out;
            }
            if (c !== ',') {
                this.fail('elenco');
            }
        }
    };

    LiteralParser.prototype.object = function () {
        var out = {};
        this.pos++;
        for (;;) {
            this.skipBlanks();
            var c = this.text.charAt(this.pos);
            if (c === '}') {
                this.pos++;
                return out;
            }
            var key;
            if (c === '"' || c === '\'') {
                key = this.string();
            } else if (c >= '0' && c <= '9') {
                key = String(this.number());
            } else {
                key = this.identifier();
            }
            this.skipBlanks();
            if (this.text.charAt(this.pos++) !== ':') {
                this.fail('due punti');
            }
            out[key] = this.value();
            this.skipBlanks();
            c = this.text.charAt(this.pos++);
            if (c === '}') {
                return out;
            }
            if (c !== ',') {
                this.fail('oggetto');
            }
        }
    };

    // Returns the value of a result literal; null for an empty literal; throws on a malformed one.
    V.parseLiteral = function (literal) {
        if (literal === null || literal === undefined) {
            return null;
        }
        if (typeof literal !== 'string') {
            return literal;
        }
        var p = new LiteralParser(literal);
        p.skipBlanks();
        if (p.pos === literal.length) {
            return null;
        }
        var value = p.value();
        p.skipBlanks();
        if (p.pos < literal.length) {
            p.fail('testo in eccesso');
        }
        return value;
    };

    // ---- Small text helpers ----------------------------------------------------------------

    V.escapeHtml = function (s) {
        return String(s === undefined || s === null ? '' : s)
            .replace(/&/g, '&amp;').replace(/</g, '&lt;').replace(/>/g, '&gt;')
            .replace(/"/g, '&quot;').replace(/'/g, '&#39;');
    };

    // Words travel inside single-quoted script strings with their apostrophes written "&apos;".
    V.decodeApos = function (s) {
        return String(s === undefined || s === null ? '' : s).replace(/&apos;/g, '\'');
    };

    // {html:'<percent-encoded text>'} -> the text; empty text for an empty or missing answer.
    V.decodeHtmlLiteral = function (value) {
        if (!value || typeof value.html !== 'string') {
            return '';
        }
        try {
            return decodeURIComponent(value.html);
        } catch (e) {
            // Not valid UTF-8 after decoding: keep what can be read rather than nothing.
            return unescape(value.html);
        }
    };

    // The cover cache stores every cover as PNG: the four characters from the last "." of the
    // stored name become ".png" ("a.jpg" -> "a.png", "a.jpeg" -> "a.pngg"). An address that was
    // never cached has no local file.
    V.coverFile = function (cover) {
        cover = String(cover || '');
        if (cover === '' || /^[a-z][a-z0-9+.\-]*:/i.test(cover) || cover.indexOf('/') >= 0) {
            return '';
        }
        var dot = cover.lastIndexOf('.');
        if (dot < 0) {
            return cover;
        }
        return cover.substring(0, dot) + '.png' + cover.substring(dot + 4);
    };

    V.byId = function (id) {
        return document.getElementById(id);
    };

    V.on = function (el, type, fn) {
        el.addEventListener(type, fn, false);
    };

    V.show = function (el, visible) {
        if (visible) {
            el.removeAttribute('hidden');
        } else {
            el.setAttribute('hidden', 'hidden');
        }
    };

    V.query = function (search) {
        var out = {};
        String(search || '').replace(/^\?/, '').split('&').forEach(function (part) {
            if (!part) {
                return;
            }
            var eq = part.indexOf('=');
            var name = eq < 0 ? part : part.substring(0, eq);
            var value = eq < 0 ? '' : part.substring(eq + 1);
            try {
                out[decodeURIComponent(name)] = decodeURIComponent(value.replace(/\+/g, ' '));
            } catch (e) {
                out[name] = value;
            }
        });
        return out;
    };

    // ---- Native bridge ---------------------------------------------------------------------

    V.hasBridge = function (slot) {
        var b = window.QtJavascriptInteraction;
        return !!b && typeof b[slot] === 'function';
    };

    // Calls a bridge slot; returns its result, or undefined when the slot is not available.
    V.bridge = function (slot) {
        var args = Array.prototype.slice.call(arguments, 1).map(function (a) {
            return a === undefined || a === null ? '' : String(a);
        });
        if (!V.hasBridge(slot)) {
            if (window.console) {
                console.warn('Slot non disponibile: ' + slot);
            }
            return undefined;
        }
        var b = window.QtJavascriptInteraction;
        return b[slot].apply(b, args);
    };

    function resolveCallback(name) {
        var target = window;
        var parts = String(name).split('.');
        for (var i = 0; i < parts.length && target; i++) {
            target = target[parts[i]];
        }
        return target;
    }

    // Native code calls back with SignalQt('<callback>', '<literal>'[, 'true']). The callback gets
    // the literal's value and whether this is an intermediate notification. A literal that cannot
    // be read reaches the callback as a failure, so a waiting page never stays stuck.
    V.signal = function (callback, literal, intermediate) {
        var fn = resolveCallback(callback);
        if (typeof fn !== 'function') {
            if (window.console) {
                console.warn('Callback sconosciuta: ' + callback);
            }
            return false;
        }
        var value;
        try {
            value = V.parseLiteral(literal);
        } catch (e) {
            if (window.console) {
                console.error(e.message + ': ' + literal);
            }
            value = { result: false, error: 'Risposta non valida dal programma.', invalid: true };
        }
        try {
            fn(value, intermediate === true || intermediate === 'true');
        } catch (e2) {
            if (window.console) {
                console.error('Errore nella callback ' + callback + ': ' + e2.message);
            }
        }
        return true;
    };

    // ---- Dialogs ---------------------------------------------------------------------------
    // One dialog at a time; later ones wait in a queue. A dialog spec is
    // { title, text, field: { value, label } | null, buttons: [{ label, cls, action(value) }],
    //   focus: index of the button focused first, escape: index of the button Esc presses }.

    var dialogQueue = [];
    var dialogOpen = null;

    function appendMessage(parent, text) {
        String(text === undefined || text === null ? '' : text).split(/<br\s*\/?>/i)
            .forEach(function (line, i) {
                if (i > 0) {
                    parent.appendChild(document.createElement('br'));
                }
                parent.appendChild(document.createTextNode(line));
            });
    }

    function closeDialog(button) {
        var d = dialogOpen;
        if (!d) {
            return;
        }
        var value = d.field ? d.field.value : undefined;
        dialogOpen = null;
        document.removeEventListener('keydown', d.onKey, true);
        if (d.overlay.parentNode) {
            d.overlay.parentNode.removeChild(d.overlay);
        }
        if (d.previousFocus && d.previousFocus.focus) {
            try {
                d.previousFocus.focus();
            } catch (e) { /* element gone */ }
        }
        if (button && button.action) {
            button.action(value);
        }
        openNextDialog();
    }

    function openNextDialog() {
        if (dialogOpen || dialogQueue.length === 0 || !document.body) {
            return;
        }
        var spec = dialogQueue.shift();
        var d = { spec: spec, previousFocus: document.activeElement, field: null, focusable: [] };
        d.overlay = document.createElement('div');
        d.overlay.className = 'dialog-overlay';
        var box = document.createElement('div');
        box.className = 'dialog';
        box.setAttribute('role', spec.buttons.length > 1 ? 'alertdialog' : 'dialog');
        box.setAttribute('aria-modal', 'true');
        var h = document.createElement('h2');
        h.className = 'dialog-title';
        h.id = 'dialog-title';
        h.appendChild(document.createTextNode(spec.title || 'Vocalume'));
        box.setAttribute('aria-labelledby', 'dialog-title');
        box.appendChild(h);
        if (spec.text) {
            var p = document.createElement('p');
            p.className = 'dialog-text';
            appendMessage(p, spec.text);
            box.appendChild(p);
        }
        if (spec.field) {
            d.field = document.createElement('textarea');
            d.field.value = spec.field.value || '';
            d.field.setAttribute('aria-label', spec.field.label || spec.title || '');
            box.appendChild(d.field);
            d.focusable.push(d.field);
        }
        var row = document.createElement('div');
        row.className = 'dialog-buttons';
        spec.buttons.forEach(function (b) {
            var el = document.createElement('button');
            el.type = 'button';
            el.className = 'btn ' + (b.cls || 'btn-secondary');
            el.appendChild(document.createTextNode(b.label));
            V.on(el, 'click', function () {
                closeDialog(b);
            });
            row.appendChild(el);
            d.focusable.push(el);
            b.element = el;
        });
        box.appendChild(row);
        d.overlay.appendChild(box);
        d.onKey = function (ev) {
            if (ev.keyCode === 27) {
                ev.preventDefault();
                // Esc dismisses: it presses a button that cancels or does nothing, never one that
                // confirms an action (a message's OK that signs out stays for the user to press).
                var escape = spec.buttons[spec.escape === undefined ? spec.buttons.length - 1 : spec.escape];
                if (!escape.action || escape.cancels) {
                    closeDialog(escape);
                }
            } else if (ev.keyCode === 9) {
                // Keep the focus inside the dialog.
                var first = d.focusable[0];
                var last = d.focusable[d.focusable.length - 1];
                if (ev.shiftKey && document.activeElement === first) {
                    ev.preventDefault();
                    last.focus();
                } else if (!ev.shiftKey && document.activeElement === last) {
                    ev.preventDefault();
                    first.focus();
                }
            }
        };
        document.addEventListener('keydown', d.onKey, true);
        dialogOpen = d;
        document.body.appendChild(d.overlay);
        if (d.field) {
            d.field.focus();
        } else {
            spec.buttons[spec.focus === undefined ? spec.buttons.length - 1 : spec.focus].element.focus();
        }
    }

    function enqueue(spec) {
        dialogQueue.push(spec);
        openNextDialog();
    }

    V.isDialogOpen = function () {
        return !!dialogOpen;
    };

    // A message with an OK button; `statement` (script text or function) runs when OK is pressed,
    // and only then: Esc does not close a message that has one.
    V.message = function (text, statement, title) {
        enqueue({
            title: title,
            text: text,
            buttons: [{
                label: 'OK',
                cls: 'btn-primary',
                action: !statement ? null : function () {
                    if (typeof statement === 'function') {
                        statement();
                        return;
                    }
                    try {
                        (new Function(String(statement)))();
                    } catch (e) {
                        if (window.console) {
                            console.error('Istruzione non eseguita: ' + e.message);
                        }
                    }
                }
            }]
        });
    };

    // A question with Cancel and a confirming button; the focus starts on Cancel.
    V.confirm = function (spec) {
        enqueue({
            title: spec.title,
            text: spec.text,
            focus: 0,
            escape: 0,
            buttons: [
                { label: spec.cancelLabel || 'Annulla', cls: 'btn-secondary', action: spec.onCancel, cancels: true },
                { label: spec.okLabel || 'OK', cls: spec.danger ? 'btn-danger' : 'btn-primary', action: spec.onOk }
            ]
        });
    };

    // A question with Cancel first and the given buttons [{ label, cls, action }] after it.
    V.ask = function (spec) {
        enqueue({
            title: spec.title,
            text: spec.text,
            focus: 0,
            escape: 0,
            buttons: [{ label: 'Annulla', cls: 'btn-secondary' }].concat(spec.buttons)
        });
    };

    // Native help published beside the bridge (VocalumeNative): the object when it offers `slot`.
    V.native = function (slot) {
        var n = window.VocalumeNative;
        return n && typeof n[slot] === 'function' ? n : null;
    };

    // A text editor: onSave(text); onDelete, when given, adds a delete button.
    V.editText = function (spec) {
        var buttons = [];
        if (spec.onDelete) {
            buttons.push({ label: spec.deleteLabel || 'Elimina', cls: 'btn-ghost', action: spec.onDelete });
        }
        buttons.push({ label: 'Annulla', cls: 'btn-secondary' });
        buttons.push({ label: spec.saveLabel || 'Salva', cls: 'btn-primary', action: spec.onSave });
        enqueue({
            title: spec.title,
            text: spec.text,
            field: { value: spec.value, label: spec.label },
            buttons: buttons,
            escape: buttons.length - 2
        });
    };

    // ---- Busy spinner ----------------------------------------------------------------------

    var spinnerOn = false;
    var spinnerText = '';
    var spinnerEl = null;
    var spinnerListeners = [];

    // fn(on) runs whenever the spinner is switched, also by native code ("__APP.spinner=false").
    V.onSpinner = function (fn) {
        spinnerListeners.push(fn);
    };

    function renderSpinner() {
        if (!document.body) {
            return;
        }
        if (!spinnerEl) {
            spinnerEl = document.createElement('div');
            spinnerEl.className = 'busy-overlay';
            spinnerEl.id = 'busy';
            spinnerEl.setAttribute('role', 'status');
            spinnerEl.setAttribute('aria-live', 'polite');
            spinnerEl.innerHTML = '<div class="busy-box"><span class="spinner" aria-hidden="true"></span>' +
                '<span class="busy-text"></span></div>';
            document.body.appendChild(spinnerEl);
        }
        spinnerEl.querySelector('.busy-text').textContent = spinnerText || 'Attendere...';
        V.show(spinnerEl, spinnerOn);
    }

    V.app = {
        busy: function (text) {
            spinnerText = text || '';
            spinnerOn = true;
            renderSpinner();
        }
    };
    Object.defineProperty(V.app, 'spinner', {
        enumerable: true,
        get: function () {
            return spinnerOn;
        },
        set: function (value) {
            spinnerOn = !!value;
            if (!spinnerOn) {
                spinnerText = '';
            }
            renderSpinner();
            spinnerListeners.forEach(function (fn) {
                fn(spinnerOn);
            });
        }
    });
}(Vocalume));

// Globals that native code calls by name.
function SignalQt(callback, literal, intermediate) {
    return Vocalume.signal(callback, literal, intermediate);
}

function messageDialog(text, statement) {
    Vocalume.message(text, statement);
}

var __APP = Vocalume.app;
