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
