// Dictionary page: "Ascolta". A headword, or a text chosen in an entry, is read aloud by native
// code in the language of its side of the dictionary: a dictionary's headwords in its source
// language, a chosen text in the language its markup names, else in the same. Native code says
// once which languages its voices speak, through a callback (listing the voices takes a while):
// until then, and where no voice speaks a language, there is no button, and where none speaks the
// dictionary's the help tells how to install the voices.

(function (V, D) {
    'use strict';

    var LONGEST = 300;       // characters of a chosen text read aloud: an example, not a page

    var el = D.el;
    var spoken = [];         // ids of the languages the voices speak, once native code said

    // "en-GB", "EN_us": the language's own id, "en".
    function languageId(lang) {
        return String(lang || '').toLowerCase().split(/[\-_]/)[0];
    }

    D.canSpeak = function (lang) {
        var id = languageId(lang);
        return !!id && spoken.indexOf(id) >= 0;
    };

    // Reads `text` aloud in `lang`; false when no voice speaks it.
    D.speak = function (text, lang) {
        var native = V.native('speak');
        return !!native && D.canSpeak(lang) && native.speak(D.trim(text), languageId(lang)) === true;
    };

    // The language of an entry's headword: its dictionary's source language.
    function headwordLanguage(it) {
        return D.bookOf(it.sku || D.sku).lang;
    }

    function listenLabel(text) {
        return 'Ascolta \u00ab' + text + '\u00bb';
    }

    // An "Ascolta" button reading `text` in `lang`; null when no voice speaks it.
    function listenButton(text, lang) {
        if (!D.trim(text) || !D.canSpeak(lang)) {
            return null;
        }
        var b = document.createElement('button');
        b.type = 'button';
        b.className = 'btn btn-ghost btn-small listen';
        b.innerHTML = '<span class="icon" aria-hidden="true">\u25b6</span>Ascolta';
        b.setAttribute('aria-label', listenLabel(text));
        b.title = 'Ascolta la pronuncia';
        V.on(b, 'click', function (ev) {
            ev.stopPropagation();
            D.speak(text, lang);
        });
        return b;
    }

    // The headings of the entries on the page, each with its button, and the toolbar's button
    // for the entry in focus.
    D.listenHeading = function (heading, it) {
        var b = listenButton(it.word, headwordLanguage(it));
        if (b) {
            heading.parentNode.insertBefore(b, heading.nextSibling);
        }
    };

    D.refreshListen = function () {
        var it = D.entry.current;
        var old = V.byId('listen');
        if (old) {
            old.parentNode.removeChild(old);
        }
        var b = it && listenButton(it.word, headwordLanguage(it));
        if (b) {
            b.id = 'listen';
            el.entryWord.parentNode.insertBefore(b, el.entryWord.nextSibling);
        }
    };

    // The language a chosen text is in: the nearest language its entry's markup names, else its
    // dictionary's.
    function selectionLanguage(node, it) {
        for (var n = node; n && n !== el.entry; n = n.parentNode) {
            if (n.nodeType === 1 && n.getAttribute('lang')) {
                return n.getAttribute('lang');
            }
        }
        return headwordLanguage(it);
    }

    // What the menu offers for the chosen text `text` of entry block `b`: [label, true, read it], or
    // null when there is nothing to read or no voice for its language.
    D.listenChoice = function (text, b) {
        var s = window.getSelection();
        if (!text || text.length > LONGEST || !b || !s.rangeCount) {
            return null;
        }
        var lang = selectionLanguage(s.getRangeAt(0).commonAncestorContainer, b.it);
        if (!D.canSpeak(lang)) {
            return null;
        }
        var shown = text.length > 40 ? text.substring(0, 39) + '\u2026' : text;
        return [listenLabel(shown), true, function () { D.speak(text, lang); }];
    };

    // Asks native code which languages its voices speak; without it, none.
    D.prepareSpeech = function () {
        var native = V.native('prepareSpeech');
        if (native) {
            native.prepareSpeech('onSpeechLanguages');
        } else {
            window.onSpeechLanguages({ languages: [] });
        }
    };

    // The languages known: the buttons of what is shown, and the help's line on installing the
    // voices while this dictionary's headwords cannot be read aloud.
    window.onSpeechLanguages = function (res) {
        spoken = (res && res.languages) || [];
        D.refreshListen();
        D.blocks().forEach(function (b) {
            var heading = b.el.querySelector('.blocco-testa');
            if (heading && !b.el.querySelector('.listen')) {
                D.listenHeading(heading, b.it);
            }
        });
        V.show(V.byId('speech-hint'), !D.canSpeak(D.lang));
    };
}(Vocalume, Vocalume.dict));
