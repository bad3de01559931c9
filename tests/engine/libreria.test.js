// Library page against the SYSTEM rows native code writes, with downloads, synchronisation and
// sign-out driven by the statements native code evaluates.
// query: delay=30

(function () {
    'use strict';

    var $ = function (id) { return document.getElementById(id); };

    function card(sku) {
        return document.querySelector('.book[data-sku="' + sku + '"]');
    }

    function actions(sku) {
        var buttons = card(sku).querySelectorAll('.book-dynamic button');
        return Array.prototype.map.call(buttons, function (b) {
            return b.textContent + (b.disabled ? ' (off)' : '');
        });
    }

    function button(sku, action) {
        return card(sku).querySelector('[data-action="' + action + '"]');
    }

    function loaded() {
        return document.querySelectorAll('.book').length > 0;
    }

    function dialogText() {
        var d = document.querySelector('.dialog');
        return d ? d.querySelector('.dialog-text').textContent : null;
    }

    function dialogButton(label) {
        var buttons = document.querySelectorAll('.dialog button');
        for (var i = 0; i < buttons.length; i++) {
            if (buttons[i].textContent === label) {
                return buttons[i];
            }
        }
        return null;
    }

    function reload(t, then) {
        document.querySelector('.books').innerHTML = '';
        Vocalume.library.reload(function () { t.step(then); });
    }

    PageTest.test('lists the visible dictionaries in their order', function (t) {
        t.waitFor('the cards', loaded, function () {
            var skus = Array.prototype.map.call(document.querySelectorAll('.book'), function (c) {
                return c.getAttribute('data-sku');
            });
            t.eq(skus, ['ita-base', 'ing-ita', 'fra-ita', 'sin-con'], 'VISIBLE "0" is left out');
            t.eq($('count').textContent, '4 dizionari');
            t.eq($('user').textContent, 'Account: mario.rossi');
            t.eq(card('sin-con').querySelector('.book-subtitle').textContent, 'Con l\'indice delle parole affini');
            t.eq(card('ita-base').querySelector('.book-meta').textContent, 'Laura Benedetti \u00b7 Edizioni Aurora \u00b7 2024');
            t.ok($('empty').hasAttribute('hidden'), 'no empty state');
            t.done();
        });
    });

    PageTest.test('covers come from the cover cache, addresses get a placeholder', function (t) {
        var src = function (sku) {
            var img = card(sku).querySelector('.book-cover img');
            return img ? img.getAttribute('src') : null;
        };
        t.eq(src('ita-base'), 'covers/ita-base.png');
        t.eq(src('fra-ita'), 'covers/fra-ita.pngg');
        t.eq(src('ing-ita'), null);
        t.ok(card('ing-ita').querySelector('.cover-placeholder'), 'placeholder for an http address');
        t.done();
    });

    PageTest.test('each state offers its actions', function (t) {
        t.eq(actions('ita-base'), ['Apri']);
        t.eq(actions('ing-ita'), ['Scarica']);
        t.eq(actions('fra-ita'), ['Apri', 'Aggiorna']);
        t.eq(actions('sin-con'), ['Acquista']);
        t.eq(card('fra-ita').querySelector('.badge-update').textContent, 'Aggiornamento disponibile');
        t.done();
    });

    PageTest.test('open and purchase ask native code', function (t) {
        button('ita-base', 'open').click();
        t.eq(MockBridge.lastCall('loadUrl'), ['dizionario.html?idbook=ita-base']);
        button('sin-con', 'purchase').click();
        t.eq(MockBridge.lastCall('purchase'), ['sin-con']);
        t.done();
    });

    PageTest.test('a download shows progress, installation and the installed state', function (t) {
        button('ing-ita', 'download').click();
        t.eq(MockBridge.lastCall('download'), ['ing-ita', 'onDownload']);
        t.eq(actions('fra-ita'), ['Apri', 'Aggiorna (off)'], 'one download at a time');
        t.ok(card('ing-ita').querySelector('.progress-bar.indeterminate'), 'starting');
        MockBridge.run('SignalQt(\'onDownload\', \'{result:false,progress:"42",size:"5.0"}\', \'true\')');
        var bar = card('ing-ita').querySelector('.progress-bar');
        t.eq(bar.style.width, '42%');
        t.eq(card('ing-ita').querySelector('.progress-line .text').textContent, 'Download 42% di 5.0\u00a0MB');
        t.ok(button('ing-ita', 'cancel'), 'can be cancelled');
        MockBridge.run('SignalQt(\'onDownload\', \'{result:false, progress:"wait"}\', \'true\')');
        t.eq(card('ing-ita').querySelector('.progress-line .text').textContent, 'Installazione in corso...');
        t.eq(button('ing-ita', 'cancel'), null, 'no cancel while installing');
        MockBridge.finish('onDownload', 'ing-ita');
        t.waitFor('the installed state', function () { return card('ing-ita') && actions('ing-ita')[0] === 'Apri'; }, function () {
            t.eq(actions('ing-ita'), ['Apri']);
            t.eq(card('ing-ita').querySelector('.badge-installed').textContent, 'Installato');
            t.eq(actions('fra-ita'), ['Apri', 'Aggiorna'], 'other downloads allowed again');
            t.done();
        });
    });

    PageTest.test('a failed download shows the error on its card', function (t) {
        button('fra-ita', 'download').click();
        t.eq(MockBridge.lastCall('download'), ['fra-ita', 'onDownload']);
        MockBridge.run('SignalQt(\'onDownload\', \'{result:false,progress:"10",size:"12.5"}\', \'true\')');
        MockBridge.fail('onDownload', 'L\'archivio non è valido');
        t.eq(card('fra-ita').querySelector('.book-error').textContent, 'L\'archivio non è valido');
        t.eq(actions('fra-ita'), ['Apri', 'Aggiorna']);
        t.done();
    });

    PageTest.test('cancelling stops waiting for the download', function (t) {
        button('fra-ita', 'download').click();
        t.eq(card('fra-ita').querySelector('.book-error'), null, 'an earlier error is cleared');
        MockBridge.progress('onDownload', 5, '12.5');
        button('fra-ita', 'cancel').focus();
        button('fra-ita', 'cancel').click();
        t.eq(MockBridge.countCalls('cancelDownload'), 1);
        t.eq(actions('fra-ita'), ['Apri', 'Aggiorna']);
        t.eq(document.activeElement && document.activeElement.textContent, 'Aggiorna', 'focus stays on the card');
        t.done();
    });

    PageTest.test('progress of a download started before a reload still reaches its card', function (t) {
        window.localStorage.setItem('vocalume.download', 'fra-ita');
        MockBridge.progress('onDownload', 64, '12.5');
        t.eq(card('fra-ita').querySelector('.progress-line .text').textContent, 'Download 64% di 12.5\u00a0MB');
        MockBridge.fail('onDownload');
        t.eq(card('fra-ita').querySelector('.book-error').textContent,
            'Si è verificato un errore nello scaricamento del dizionario');
        t.eq(window.localStorage.getItem('vocalume.download'), null);
        t.done();
    });

    PageTest.test('a failed synchronisation hides the spinner and shows the message', function (t) {
        $('sync').click();
        t.eq(MockBridge.countCalls('synchronize'), 1);
        t.ok(__APP.spinner, 'spinner on');
        t.ok(!$('busy').hasAttribute('hidden'), 'spinner shown');
        MockBridge.run('messageDialog("Si è verificato un problema durante la sincronizzazione dei tuoi acquisti!<br/>Ti invitiamo a riprovare più tardi")');
        MockBridge.run('__APP.spinner=false');
        t.ok($('busy').hasAttribute('hidden'), 'spinner hidden');
        t.eq(dialogText(), 'Si è verificato un problema durante la sincronizzazione dei tuoi acquisti!Ti invitiamo a riprovare più tardi');
        t.eq(document.querySelectorAll('.dialog-text br').length, 1, 'line break kept');
        dialogButton('OK').click();
        t.eq(dialogText(), null, 'closed');
        t.done();
    });

    PageTest.test('a message runs its statement when confirmed, queued messages follow', function (t) {
        window.__confirmed = 0;
        messageDialog('Primo', 'window.__confirmed = window.__confirmed + 1');
        messageDialog('Secondo <b>non</b> interpretato');
        t.eq(dialogText(), 'Primo');
        t.eq(window.__confirmed, 0);
        dialogButton('OK').click();
        t.eq(window.__confirmed, 1);
        t.eq(dialogText(), 'Secondo <b>non</b> interpretato');
        var ev = document.createEvent('Event');
        ev.initEvent('keydown', true, true);
        ev.keyCode = 27;
        document.dispatchEvent(ev);
        t.eq(dialogText(), null, 'Esc closes it');
        t.done();
    });

    PageTest.test('signing out asks first', function (t) {
        $('logout').click();
        t.ok(dialogText().indexOf('i dizionari scaricati vengono rimossi') > 0);
        dialogButton('Annulla').click();
        t.eq(MockBridge.countCalls('onLogout'), 0);
        $('logout').click();
        dialogButton('Esci').click();
        t.eq(MockBridge.countCalls('onLogout'), 1);
        t.done();
    });

    PageTest.test('texts from the store are shown as text', function (t) {
        MockBridge.sql([['UPDATE SYSTEM SET VALUE = ? WHERE VARIABLE = ? AND REFBOOK = ?', ['<img src=x onerror="window.__xss=1">Titolo', 'TITLE', 'sin-con']]], function () {
            reload(t, function () {
                t.eq(card('sin-con').querySelector('.book-title').textContent, '<img src=x onerror="window.__xss=1">Titolo');
                t.eq(card('sin-con').querySelectorAll('img').length, 1, 'only the cover picture');
                t.eq(window.__xss, undefined);
                t.done();
            });
        });
    });

    PageTest.test('the filter appears with many dictionaries', function (t) {
        var rows = [];
        for (var i = 1; i <= 4; i++) {
            rows.push(['INSERT INTO SYSTEM (ID, REFBOOK, VARIABLE, VALUE) VALUES (?, ?, ?, ?)', [900 + 3 * i, 'x' + i, 'TITLE', 'Extra ' + i]]);
            rows.push(['INSERT INTO SYSTEM (ID, REFBOOK, VARIABLE, VALUE) VALUES (?, ?, ?, ?)', [901 + 3 * i, 'x' + i, 'STATUS', '3']]);
            rows.push(['INSERT INTO SYSTEM (ID, REFBOOK, VARIABLE, VALUE) VALUES (?, ?, ?, ?)', [902 + 3 * i, 'x' + i, 'VISIBLE', '1']]);
        }
        MockBridge.sql(rows, function () {
            reload(t, function () {
                t.eq(document.querySelectorAll('.book').length, 8);
                t.ok(!$('filter').hasAttribute('hidden'), 'filter shown');
                $('filter').value = 'francese';
                var ev = document.createEvent('Event');
                ev.initEvent('input', true, true);
                $('filter').dispatchEvent(ev);
                t.eq(document.querySelectorAll('.book').length, 1);
                $('filter').value = 'nessuno';
                $('filter').dispatchEvent(ev);
                t.ok(!$('no-match').hasAttribute('hidden'), 'no match text');
                $('filter').value = '';
                $('filter').dispatchEvent(ev);
                t.done();
            });
        });
    });

    PageTest.test('an empty library says so and offers a synchronisation', function (t) {
        MockBridge.sql([['DELETE FROM SYSTEM']], function () {
            reload(t, function () {
                t.eq(document.querySelectorAll('.book').length, 0);
                t.ok(!$('empty').hasAttribute('hidden'), 'empty state shown');
                t.eq($('count').textContent, '');
                $('empty-sync').click();
                t.eq(MockBridge.countCalls('synchronize'), 2);
                MockBridge.run('__APP.spinner=false');
                t.done();
            });
        });
    });
}());
