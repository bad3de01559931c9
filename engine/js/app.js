// Shared script of every engine page, loaded first: the Vocalume namespace, small helpers, the
// native bridge with the call-back entry point of native code (SignalQt) and the globals native
// code calls by name. tema.js (the theme), letterale.js (result literals) and dialoghi.js
// (dialogs, busy spinner) follow it on every page; what they give is used here only when native
// code calls.
// Plain ES5: the page runs in the embedded web view.

var Vocalume = Vocalume || {};

(function (V) {
    'use strict';


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

    // Native help published beside the bridge (VocalumeNative): the object when it offers `slot`.
    V.native = function (slot) {
        var n = window.VocalumeNative;
        return n && typeof n[slot] === 'function' ? n : null;
    };

    // What native code reaches as __APP (e.g. "__APP.spinner=false"); dialoghi.js gives it its
    // members. Made here: the global below is set when this file loads, before dialoghi.js.
    V.app = {};
}(Vocalume));

// Globals that native code calls by name.
function SignalQt(callback, literal, intermediate) {
    return Vocalume.signal(callback, literal, intermediate);
}

function messageDialog(text, statement) {
    Vocalume.message(text, statement);
}

var __APP = Vocalume.app;
