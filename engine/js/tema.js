// The pages' theme: the user's choice (automatico, chiaro, scuro), kept with the pages' other
// settings, and in "automatico" the desktop's theme as native code tells it, on asking and again
// through temaDesktop() when the desktop changes. The dark theme is the class tema-scuro on the
// root element; the "Tema" control of each page (#tema) changes it at once. Plain ES5.

(function (V) {
    'use strict';

    var KEY = 'vocalume.tema';
    var CHOICES = ['automatico', 'chiaro', 'scuro'];
    var desktop = null; // "scuro" or "chiaro" once native code said it

    function stored() {
        var value = null;
        try {
            value = window.localStorage.getItem(KEY);
        } catch (e) {
            value = null;
        }
        return CHOICES.indexOf(value) >= 0 ? value : 'automatico';
    }

    function desktopTheme() {
        if (desktop === null) {
            var n = V.native('desktopTheme');
            desktop = n && String(n.desktopTheme()) === 'scuro' ? 'scuro' : 'chiaro';
        }
        return desktop;
    }

    // The web view keeps a scroll bar's kind (the desktop's or the style sheet's) until its box
    // is laid out anew without one: a switch gives every scrolling box a new one.
    function renewScrollBars() {
        var boxes = [document.documentElement].concat(Array.prototype.slice.call(document.querySelectorAll('.list, .reader')));
        boxes.forEach(function (box) {
            var overflow = box.style.overflow;
            box.style.overflow = 'hidden';
            void box.offsetWidth;
            box.style.overflow = overflow;
        });
    }

    function apply() {
        var dark = V.theme.shown() === 'scuro';
        var root = document.documentElement;
        var was = /(^|\s)tema-scuro(\s|$)/.test(root.className);
        root.className = (root.className.replace(/(^|\s)tema-scuro(\s|$)/g, ' ') + (dark ? ' tema-scuro' : '')).trim();
        if (was !== dark) {
            renewScrollBars();
        }
        var control = V.byId('tema');
        if (control) {
            control.value = stored();
        }
    }

    V.theme = {
        choice: stored,
        // The theme the page shows: the user's, or in "automatico" the desktop's.
        shown: function () {
            var choice = stored();
            return choice === 'automatico' ? desktopTheme() : choice;
        },
        choose: function (choice) {
            try {
                window.localStorage.setItem(KEY, CHOICES.indexOf(choice) >= 0 ? choice : 'automatico');
            } catch (e) {
                // Without storage the choice lasts as long as the page.
            }
            apply();
        },
        desktopChanged: function (name) {
            desktop = name === 'scuro' ? 'scuro' : 'chiaro';
            apply();
        }
    };

    apply();
    var control = V.byId('tema');
    if (control) {
        V.on(control, 'change', function () { V.theme.choose(control.value); });
    }
}(Vocalume));

// Native code names this when the desktop's theme changes.
function temaDesktop(name) {
    Vocalume.theme.desktopChanged(name);
}
