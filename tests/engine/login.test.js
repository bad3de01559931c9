// Sign-in page, driven as native code drives it.
// query: delay=30

(function () {
    'use strict';

    var $ = function (id) { return document.getElementById(id); };

    function fill(user, pass) {
        $('username').value = user;
        $('password').value = pass;
        $('login-submit').click();
    }

    function shown(id) {
        return !$(id).hasAttribute('hidden');
    }

    PageTest.test('missing fields are asked for without calling native code', function (t) {
        fill('', '');
        t.eq($('login-error').textContent, 'Inserisci il nome utente.');
        fill('mario', '');
        t.eq($('login-error').textContent, 'Inserisci la password.');
        t.eq(MockBridge.countCalls('setUsernamePassword'), 0);
        t.done();
    });

    PageTest.test('a refused sign-in shows the service text with its apostrophe', function (t) {
        fill('  mario.rossi ', 'sbagliata');
        t.eq(MockBridge.lastCall('setUsernamePassword'), ['mario.rossi', 'sbagliata', 'onLogin']);
        t.ok($('login-submit').disabled, 'submit disabled while waiting');
        t.ok($('username').disabled, 'fields disabled while waiting');
        t.waitFor('the error', function () { return shown('login-error'); }, function () {
            t.eq($('login-error').textContent,
                'Impossibile eseguire l\'accesso. Controlla i dati inseriti oppure effettua la registrazione.');
            t.ok(!$('login-submit').disabled, 'submit enabled again');
            t.ok(!$('password').disabled, 'password enabled again');
            t.eq(document.activeElement, $('password'), 'focus back on the password');
            t.done();
        });
    });

    PageTest.test('a second submit while waiting is ignored', function (t) {
        fill('mario.rossi', 'sbagliata');
        var ev = document.createEvent('Event');
        ev.initEvent('submit', true, true);
        $('login-form').dispatchEvent(ev);
        t.eq(MockBridge.countCalls('setUsernamePassword'), 2);
        t.waitFor('the answer', function () { return !$('login-submit').disabled; }, function () { t.done(); });
    });

    PageTest.test('a failed first synchronisation reports its error text', function (t) {
        fill('mario.rossi', 'segreta');
        MockBridge.run('SignalQt(\'onLogin\', \'{result:false,error:"Errore di rete"}\')');
        t.eq($('login-error').textContent, 'Errore di rete');
        t.ok(!$('login-submit').disabled);
        // The mock's own late answer must not leave the page in a wrong state.
        t.waitFor('the late answer', function () { return shown('login-success'); }, function () { t.done(); });
    });

    PageTest.test('an unreadable answer gives the form back', function (t) {
        unlock();
        fill('mario.rossi', 'x');
        MockBridge.run('SignalQt(\'onLogin\', \'{result:false,error:"say "hi""}\')');
        t.ok(shown('login-error'));
        t.ok($('login-error').textContent.length > 0);
        t.ok(!$('login-submit').disabled);
        t.waitFor('the mock answer', function () {
            return $('login-error').textContent.indexOf('Impossibile') === 0;
        }, function () { t.done(); });
    });

    PageTest.test('a completed sign-in shows the success state', function (t) {
        unlock();
        fill('mario.rossi', 'segreta');
        t.waitFor('success', function () { return shown('login-success'); }, function () {
            t.ok(!shown('login-error'), 'no error');
            t.ok($('login-submit').disabled, 'form stays locked');
            t.done();
        });
    });

    PageTest.test('account links go to the store pages', function (t) {
        $('password-lost').click();
        $('create-account').click();
        t.eq(MockBridge.countCalls('passwordLost'), 1);
        t.eq(MockBridge.countCalls('createAccount'), 1);
        t.done();
    });

    PageTest.test('the password can be shown and hidden', function (t) {
        unlock();
        $('toggle-password').click();
        t.eq($('password').type, 'text');
        t.eq($('toggle-password').getAttribute('aria-pressed'), 'true');
        $('toggle-password').click();
        t.eq($('password').type, 'password');
        t.done();
    });

    // Unlocks the form after a completed sign-in so later tests can use it again.
    function unlock() {
        $('username').disabled = false;
        $('password').disabled = false;
        $('login-submit').disabled = false;
        $('login-success').setAttribute('hidden', 'hidden');
    }
}());
