// Sign-in page, answered as native code answers.
// query: delay=30

(function () {
    'use strict';

    var $ = PageTest.$;
    var refusal = 'Impossibile eseguire l\'accesso. Controlla i dati inseriti oppure effettua la registrazione.';
    var shown = function (id) { return !$(id).hasAttribute('hidden'); };
    // What the form shows: the error, the success, which fields are locked, which has the keys.
    var P = {
        error: function () { return shown('login-error') ? $('login-error').textContent : ''; },
        success: function () { return shown('login-success'); },
        locked: function () { return [$('username').disabled, $('password').disabled, $('login-submit').disabled]; },
        keys: function () { return document.activeElement && document.activeElement.id; },
        sent: function (t) { return PageTest.calls(t, 'setUsernamePassword'); }
    };

    // Sends the form; `answer`, when given, is the statement native code answers with at once.
    function fill(user, pass, answer) {
        return function () {
            $('username').value = user;
            $('password').value = pass;
            $('login-submit').click();
            if (answer) {
                MockBridge.run('SignalQt(\'onLogin\', \'{result:false,error:"' + answer + '"}\')');
            }
        };
    }

    var formBack = [false, false, false];
    PageTest.test('the sign-in: fields asked for, refusals give the form back, success keeps it locked', function (t) {
        t.eq(P.keys(), 'username', 'the keys as the page shows');
        t.rows(P, [
            ['no user name', fill('', ''), { error: 'Inserisci il nome utente.', sent: [] }],
            ['no password', fill('mario', ''), { error: 'Inserisci la password.', sent: [] }],
            ['while waiting', fill('  mario.rossi ', 'sbagliata'), { until: function () { return true; }, error: '',
                sent: [['mario.rossi', 'sbagliata', 'onLogin']], locked: [true, true, true] }],
            ['the refusal', null, { error: refusal, locked: formBack, keys: 'password' }],
            ['an unreadable answer', fill('mario.rossi', 'x', 'say "hi"'), { error: 'Risposta non valida dal programma.', locked: formBack,
                keys: 'password' }],
            ['the store\'s own text, as text', fill('mario.rossi', 'x', '<img src=x onerror=window.__xss=1>'),
                { error: '<img src=x onerror=window.__xss=1>', locked: formBack }],
            // The mock's own late refusal must find the page in a usable state.
            ['the late answer', null, { error: refusal, locked: formBack }],
            ['accepted', fill('mario.rossi', 'segreta'), { success: true, error: '', locked: [true, true, true] }]
        ]);
    });
}());

// The theme, on the sign-in page as on every other: the user's choice is kept and shown at once,
// "automatico" follows what native code says of the desktop, also when that changes later.
(function () {
    'use strict';

    var $ = PageTest.$;
    var P = {
        dark: function () { return /(^|\s)tema-scuro(\s|$)/.test(document.documentElement.className); },
        ground: function () { return window.getComputedStyle(document.body).backgroundColor; },
        control: function () { return $('tema').value; },
        kept: function () { return window.localStorage.getItem('vocalume.tema'); }
    };
    var light = 'rgb(239, 236, 228)';
    var dark = 'rgb(18, 21, 25)';
    function desktopSays(theme) {
        return function () {
            MockBridge.desktopTheme = theme;
            MockBridge.run('window.temaDesktop && temaDesktop(\'' + theme + '\')');
        };
    }

    PageTest.test('the theme: chosen, kept, and in "automatico" the desktop\'s, live', function (t) {
        t.rows(P, [
            ['automatico on a light desktop', PageTest.fill('tema', 'automatico', 'change'),
                { dark: false, ground: light, control: 'automatico', kept: 'automatico' }],
            ['the desktop turns dark', desktopSays('scuro'), { dark: true, ground: dark, control: 'automatico' }],
            ['chiaro overrides it', PageTest.fill('tema', 'chiaro', 'change'), { dark: false, ground: light, kept: 'chiaro' }],
            ['the desktop changes under chiaro', desktopSays('chiaro'), { dark: false, kept: 'chiaro' }],
            ['scuro on a light desktop', PageTest.fill('tema', 'scuro', 'change'), { dark: true, ground: dark, kept: 'scuro' }],
            ['back to automatico', PageTest.fill('tema', 'automatico', 'change'), { dark: false, ground: light, kept: 'automatico' }],
            ['native code\'s unknown word is light', desktopSays('viola'), { dark: false }]
        ]);
    });
}());
