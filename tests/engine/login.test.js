// Sign-in page, answered as native code answers.
// query: delay=30

(function () {
    'use strict';

    var $ = PageTest.$;

    function fill(user, pass) {
        $('username').value = user;
        $('password').value = pass;
        $('login-submit').click();
    }

    function shown(id) {
        return !$(id).hasAttribute('hidden');
    }

    PageTest.test('the user name field has the keys; missing fields are asked for without native code', function (t) {
        t.eq(document.activeElement && document.activeElement.id, 'username', 'the keys as the page shows');
        fill('', '');
        t.eq($('login-error').textContent, 'Inserisci il nome utente.');
        fill('mario', '');
        t.eq($('login-error').textContent, 'Inserisci la password.');
        t.eq(MockBridge.countCalls('setUsernamePassword'), 0);
        t.done();
    });

    PageTest.test('a refused or unreadable answer shows its error and gives the form back', function (t) {
        var refusal = 'Impossibile eseguire l\'accesso. Controlla i dati inseriti oppure effettua la registrazione.';
        var answered = function () { return shown('login-error'); };
        var formBack = function (text) {
            return function () {
                t.eq($('login-error').textContent, text);
                t.ok(!$('login-submit').disabled && !$('password').disabled, 'form given back');
                t.eq(document.activeElement, $('password'), 'focus on the password');
            };
        };
        t.steps([
            ['the refusal', function () {
                fill('  mario.rossi ', 'sbagliata');
                t.eq(MockBridge.lastCall('setUsernamePassword'), ['mario.rossi', 'sbagliata', 'onLogin']);
                t.ok($('login-submit').disabled && $('username').disabled, 'form locked while waiting');
            }, answered, formBack(refusal)],
            ['the unreadable answer', function () {
                fill('mario.rossi', 'x');
                MockBridge.run('SignalQt(\'onLogin\', \'{result:false,error:"say "hi""}\')');
            }, answered, formBack('Risposta non valida dal programma.')],
            ['the store\'s own text', function () {
                fill('mario.rossi', 'x');
                MockBridge.run('SignalQt(\'onLogin\', \'{result:false,error:"<img src=x onerror=window.__xss=1>"}\')');
            }, answered, formBack('<img src=x onerror=window.__xss=1>')],
            // The mock's own late refusal must find the page in a usable state.
            ['the late answer', null, function () { return $('login-error').textContent === refusal; }]
        ]);
    });

    PageTest.test('an accepted sign-in shows success and keeps the form locked', function (t) {
        fill('mario.rossi', 'segreta');
        t.waitFor('success', function () { return shown('login-success'); }, function () {
            t.ok(!shown('login-error'), 'no error');
            t.ok($('login-submit').disabled && $('username').disabled, 'form stays locked');
            t.done();
        });
    });
}());
