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

    function apply() {
        var dark = V.theme.shown() === 'scuro';
        var root = document.documentElement;
        root.className = (root.className.replace(/(^|\s)tema-scuro(\s|$)/g, ' ') + (dark ? ' tema-scuro' : '')).trim();
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
