// Sign-in page: hands the credentials to native code and waits for the sign-in result, which
// arrives only after the account's library has been stored.

(function (V) {
    'use strict';

    // Sign-in includes the first library synchronisation; when nothing comes back for this long
    // the form is given back to the user.
    var ANSWER_TIMEOUT_MS = 90000;

    var form = V.byId('login-form');
    var user = V.byId('username');
    var pass = V.byId('password');
    var submit = V.byId('login-submit');
    var errorBox = V.byId('login-error');
    var successBox = V.byId('login-success');
    var waiting = false;
    var timer = null;

    function setWaiting(on) {
        waiting = on;
        user.disabled = on;
        pass.disabled = on;
        submit.disabled = on;
        V.show(submit.querySelector('.spinner'), on);
        submit.querySelector('.label').textContent = on ? 'Accesso in corso...' : 'Accedi';
        if (timer) {
            clearTimeout(timer);
            timer = null;
        }
        if (on) {
            timer = setTimeout(function () {
                setWaiting(false);
                showError('Nessuna risposta dal servizio. Controlla la connessione e riprova.');
            }, ANSWER_TIMEOUT_MS);
        }
    }

    function showError(text) {
        errorBox.textContent = text;
        V.show(errorBox, !!text);
    }

    window.onLogin = function (res) {
        setWaiting(false);
        __APP.spinner = false;
        if (res && res.result === true) {
            showError('');
            V.show(successBox, true);
            submit.disabled = true;
            user.disabled = true;
            pass.disabled = true;
            return;
        }
        var text = res && res.error ? String(res.error) : 'Accesso non riuscito.';
        showError(text);
        pass.select();
        pass.focus();
    };

    V.on(form, 'submit', function (ev) {
        ev.preventDefault();
        if (waiting) {
            return;
        }
        var u = user.value.replace(/^\s+|\s+$/g, '');
        if (!u) {
            showError('Inserisci il nome utente.');
            user.focus();
            return;
        }
        if (!pass.value) {
            showError('Inserisci la password.');
            pass.focus();
            return;
        }
        showError('');
        V.show(successBox, false);
        setWaiting(true);
        V.bridge('setUsernamePassword', u, pass.value, 'onLogin');
    });

    V.on(V.byId('toggle-password'), 'click', function () {
        var visible = pass.type === 'password';
        pass.type = visible ? 'text' : 'password';
        this.textContent = visible ? 'Nascondi' : 'Mostra';
        this.setAttribute('aria-pressed', visible ? 'true' : 'false');
        pass.focus();
    });

    V.on(V.byId('password-lost'), 'click', function (ev) {
        ev.preventDefault();
        V.bridge('passwordLost');
    });

    V.on(V.byId('create-account'), 'click', function (ev) {
        ev.preventDefault();
        V.bridge('createAccount');
    });

    user.focus();
}(Vocalume));
