// Library page against the SYSTEM rows native code writes, with downloads and synchronisation
// driven by the statements native code evaluates.
// query: delay=30

(function () {
    'use strict';

    var $ = PageTest.$;
    var dialogText = PageTest.dialogText;
    var dialogButton = PageTest.dialogButton;

    function card(sku) {
        return document.querySelector('.book[data-sku="' + sku + '"]');
    }

    function actions(sku) {
        return Array.prototype.map.call(card(sku).querySelectorAll('.book-dynamic button'), function (b) {
            return b.textContent + (b.disabled ? ' (off)' : '');
        });
    }

    function button(sku, action) {
        return card(sku).querySelector('[data-action="' + action + '"]');
    }

    function progressText(sku) {
        return card(sku).querySelector('.progress-line .text').textContent;
    }

    PageTest.test('visible dictionaries in their order with their covers, each offering what its STATUS allows', function (t) {
        t.waitFor('the cards', function () { return document.querySelectorAll('.book').length > 0; }, function () {
            var skus = Array.prototype.map.call(document.querySelectorAll('.book'), function (c) {
                return c.getAttribute('data-sku');
            });
            t.eq(skus, ['ita-base', 'ing-ita', 'fra-ita', 'sin-con'], 'by ORDER, VISIBLE "0" left out');
            t.eq(document.activeElement.id, 'search-all-q', 'keys work at once, in the first field');
            $('search-all-q').value = 'casa';
            $('search-all').querySelector('button').click();
            t.eq(MockBridge.lastCall('loadUrl'), ['dizionario.html?idbook=ita-base&voce=casa&tutti=1']);
            t.eq($('user').textContent, 'Account: mario.rossi');
            t.eq(card('ita-base').querySelector('.book-meta').textContent, 'Laura Benedetti \u00b7 2024');
            [['ing-ita', ['Scarica']], ['ita-base', ['Apri']], ['fra-ita', ['Apri', 'Aggiorna']], ['sin-con', ['Acquista']]]
                .forEach(function (c) { t.eq(actions(c[0]), c[1], c[0]); });
            t.eq(card('fra-ita').querySelector('.badge-update').textContent, 'Aggiornamento disponibile');
            button('ita-base', 'open').click();
            t.eq(MockBridge.lastCall('loadUrl'), ['dizionario.html?idbook=ita-base']);
            button('sin-con', 'purchase').click();
            t.eq(MockBridge.lastCall('purchase'), ['sin-con']);
            // Covers come from the cover cache; an address gets a placeholder.
            var src = function (sku) {
                var img = card(sku).querySelector('.book-cover img');
                return img ? img.getAttribute('src') : null;
            };
            t.eq([src('ita-base'), src('fra-ita'), src('ing-ita')], ['covers/ita-base.png', 'covers/fra-ita.pngg', null]);
            t.ok(card('ing-ita').querySelector('.cover-placeholder'), 'placeholder for an http address');
            var filter = function (text) {
                $('filter').value = text;
                PageTest.fire($('filter'), 'input');
                return $('count').textContent;
            };
            t.eq([filter('francese'), filter('zzz'), filter('')], ['1 di 4 dizionari', '0 di 4 dizionari', '4 dizionari'],
                'the count follows the filter');
            t.done();
        });
    });

    PageTest.test('a download shows progress, installation and the installed state', function (t) {
        button('ing-ita', 'download').click();
        t.eq(MockBridge.lastCall('download'), ['ing-ita', 'onDownload']);
        t.eq(actions('fra-ita'), ['Apri', 'Aggiorna (off)'], 'one download at a time');
        var badge = function () { return card('ing-ita').querySelector('.badges').textContent; };
        t.eq(badge(), 'IngleseDownload in corso', 'not "to be downloaded" while it downloads');
        MockBridge.progress('onDownload', 42, '5.0');
        t.eq(card('ing-ita').querySelector('.progress-bar').style.width, '42%');
        t.eq(progressText('ing-ita'), 'Download 42% di 5.0\u00a0MB');
        [['0.3', '307\u00a0KB'], ['0.0', 'meno di 50\u00a0KB'], ['1.0', '1.0\u00a0MB']].forEach(function (c) {
            MockBridge.progress('onDownload', 54, c[0]);
            t.eq(progressText('ing-ita'), 'Download 54% di ' + c[1], c[0]);
        });
        t.ok(button('ing-ita', 'cancel'), 'can be cancelled');
        // Native code beside the bridge notes the size the transfer announced right after the
        // first progress: from then on a small package reads in exact kilobytes.
        MockBridge.progress('onDownload', 60, '0.0');
        MockBridge.downloadSizes['ing-ita'] = 30720;
        t.eq(progressText('ing-ita'), 'Download 60% di meno di 50\u00a0KB', 'before the size is known');
        t.waitFor('the exact size', function () { return progressText('ing-ita') === 'Download 60% di 30\u00a0KB'; }, function () {
            MockBridge.progress('onDownload', 70, '0.0');
            t.eq(progressText('ing-ita'), 'Download 70% di 30\u00a0KB');
            MockBridge.run('SignalQt(\'onDownload\', \'{result:false, progress:"wait"}\', \'true\')');
            t.eq(progressText('ing-ita'), 'Installazione in corso...');
            t.eq(badge(), 'IngleseInstallazione in corso');
            t.eq(button('ing-ita', 'cancel'), null, 'no cancel while installing');
            MockBridge.finish('onDownload', 'ing-ita');
            t.waitFor('the installed state', function () { return actions('ing-ita')[0] === 'Apri'; }, function () {
                t.eq(card('ing-ita').querySelector('.badge-installed').textContent, 'Installato');
                t.eq(actions('fra-ita'), ['Apri', 'Aggiorna'], 'other downloads allowed again');
                t.done();
            });
        });
    });

    PageTest.test('a failed download shows its error; a cancelled one stops waiting', function (t) {
        button('fra-ita', 'download').click();
        MockBridge.progress('onDownload', 10, '12.5');
        MockBridge.fail('onDownload', 'L\'archivio non è valido');
        t.eq(card('fra-ita').querySelector('.book-error .text').textContent, 'L\'archivio non è valido');
        t.eq(actions('fra-ita'), ['Apri', 'Aggiorna', 'Riprova']);
        var downloads = MockBridge.countCalls('download');
        card('fra-ita').querySelector('.book-error button').click();
        t.eq(MockBridge.countCalls('download'), downloads + 1, 'Riprova downloads again');
        t.eq(card('fra-ita').querySelector('.book-error'), null, 'the earlier error is cleared');
        button('fra-ita', 'cancel').focus();
        button('fra-ita', 'cancel').click();
        t.eq(MockBridge.countCalls('cancelDownload'), 1);
        t.eq(actions('fra-ita'), ['Apri', 'Aggiorna']);
        t.eq(document.activeElement && document.activeElement.textContent, 'Aggiorna', 'focus stays on the card');
        // A download started before the page was reloaded still reaches its card.
        window.localStorage.setItem('vocalume.download', 'fra-ita');
        MockBridge.progress('onDownload', 64, '12.5');
        t.eq(progressText('fra-ita'), 'Download 64% di 12.5\u00a0MB');
        MockBridge.fail('onDownload', 'Si è verificato un errore nello scaricamento del dizionario');
        t.eq(window.localStorage.getItem('vocalume.download'), null);
        t.done();
    });

    PageTest.test('a failed installation; a page loaded while native code installs shows it and starts nothing', function (t) {
        MockBridge.sql([['UPDATE SYSTEM SET VALUE = ? WHERE VARIABLE = ? AND REFBOOK = ?', ['0', 'STATUS', 'ing-ita']]], function () {
            Vocalume.library.reload(function () {
                t.step(function () {
                    // An installation that fails leaves the dictionary to be downloaded, saying why.
                    button('ing-ita', 'download').click();
                    MockBridge.run('SignalQt(\'onDownload\', \'{result:false, progress:"wait"}\', \'true\')');
                    MockBridge.fail('onDownload', 'Installazione non riuscita: impossibile aprire il libro.');
                    t.eq(actions('ing-ita'), ['Scarica', 'Riprova']);
                    t.eq(card('ing-ita').querySelector('.book-error .text').textContent, 'Installazione non riuscita: impossibile aprire il libro.');
                    MockBridge.downloadStates = { 'ing-ita': { state: 'queued' },
                        'fra-ita': { state: 'download', percent: 30, size: '5.0', bytes: 5242880 } };
                    Vocalume.library.reload(reloaded);
                });
            });
        });
        function reloaded() {
            t.step(function () {
                t.eq([progressText('ing-ita'), progressText('fra-ita')], ['In coda per l\'installazione...', 'Download 30% di 5.0\u00a0MB']);
                t.eq([button('ing-ita', 'cancel'), button('fra-ita', 'cancel')], [null, null], 'neither told apart as this page\'s own');
                // The only one under way is followed as the page's own, to its end.
                MockBridge.downloadStates = { 'ing-ita': { state: 'install' } };
                Vocalume.library.reload(function () {
                    t.step(function () {
                        t.eq(progressText('ing-ita'), 'Installazione in corso...');
                        // Its earlier failure still shows, with a retry that waits as well.
                        t.eq(actions('fra-ita'), ['Apri', 'Aggiorna (off)', 'Riprova (off)']);
                        MockBridge.downloadStates = {};
                        MockBridge.finish('onDownload', 'ing-ita');
                        t.waitFor('the installed state', function () { return actions('ing-ita')[0] === 'Apri'; }, function () {
                            t.eq(actions('fra-ita'), ['Apri', 'Aggiorna', 'Riprova']);
                            t.done();
                        });
                    });
                });
            });
        }
    });

    PageTest.test('a paused download waits on its card; one the program was running when it ended goes on by itself', function (t) {
        button('fra-ita', 'download').click();
        MockBridge.progress('onDownload', 30, '5.0');
        button('fra-ita', 'pause').click();
        t.eq(MockBridge.lastCall('pauseDownload'), ['fra-ita']);
        t.eq([progressText('fra-ita'), actions('fra-ita')], ['Download in pausa: 30% di 5.0\u00a0MB', ['Riprendi', 'Annulla', 'Apri']]);
        t.eq(actions('ing-ita'), ['Apri'], 'another download may start meanwhile');
        button('fra-ita', 'discard').click();
        t.eq([MockBridge.lastCall('discardDownload'), actions('fra-ita')], [['fra-ita'], ['Apri', 'Aggiorna']]);
        MockBridge.keptDownloads = { 'fra-ita': { state: 'interrupted', percent: 40, size: '5.0' } };
        Vocalume.library.reload(function () {
            t.step(function () {
                t.eq([MockBridge.lastCall('download'), progressText('fra-ita')], [['fra-ita', 'onDownload'], 'Avvio del download...']);
                // Given up after failing, what arrived stays to be continued.
                MockBridge.keptDownloads['fra-ita'].state = 'stopped';
                MockBridge.fail('onDownload', 'Si è verificato un errore nello scaricamento del dizionario');
                t.eq([progressText('fra-ita'), actions('fra-ita')], ['Download interrotto: 40% di 5.0\u00a0MB', ['Riprendi', 'Annulla', 'Apri']]);
                t.ok(card('fra-ita').querySelector('.book-error'), 'the failure is told');
                MockBridge.keptDownloads = {};
                Vocalume.library.reload(function () { t.done(); });
            });
        });
    });

    PageTest.test('a failed synchronisation: the spinner goes off and the message shows', function (t) {
        $('sync').click();
        t.eq(MockBridge.countCalls('synchronize'), 1);
        t.ok(__APP.spinner && !$('busy').hasAttribute('hidden'), 'spinner shown');
        MockBridge.run('messageDialog("Si è verificato un problema durante la sincronizzazione dei tuoi acquisti!<br/>Ti invitiamo a riprovare più tardi")');
        MockBridge.run('__APP.spinner=false');
        t.ok($('busy').hasAttribute('hidden'), 'spinner hidden');
        t.eq(dialogText(), 'Si è verificato un problema durante la sincronizzazione dei tuoi acquisti!Ti invitiamo a riprovare più tardi');
        t.eq(document.querySelectorAll('.dialog-text br').length, 1, 'line break kept');
        dialogButton('OK').click();
        t.eq(dialogText(), null, 'closed');
        t.done();
    });

    PageTest.test('a message runs its statement when confirmed; queued messages follow as text', function (t) {
        window.__confirmed = 0;
        MockBridge.run('messageDialog("Primo", "window.__confirmed = window.__confirmed + 1")');
        MockBridge.run('messageDialog("Secondo <b>non</b> interpretato")');
        t.eq([dialogText(), window.__confirmed], ['Primo', 0]);
        dialogButton('OK').click();
        t.eq([dialogText(), window.__confirmed], ['Secondo <b>non</b> interpretato', 1]);
        dialogButton('OK').click();
        // Signing out removes the downloaded dictionaries and the reader's notes: it asks first,
        // saying so, and offers the export.
        $('logout').click();
        t.ok(dialogText().indexOf('Anche i preferiti, i segnalibri e le note vengono eliminati') >= 0, dialogText());
        dialogButton('Annulla').click();
        MockBridge.sql([['CREATE TABLE IF NOT EXISTS NOTE (DATE TIMESTAMP, IDBOOK TEXT, ID INTEGER PRIMARY KEY, REF VARCHAR(100), NOTE TEXT)'],
            ['INSERT INTO NOTE (DATE, IDBOOK, REF, NOTE) VALUES (?, ?, ?, ?)', ['2026-01-02 10:00:00', 'ita-base', 'IT04|c.html|casa', 'Da ripassare']]],
            function () {
                $('logout').click();
                dialogButton('Esporta gli appunti').click();
                t.waitFor('the export', function () { return MockBridge.files['appunti.json'] && dialogText(); }, function () {
                    t.eq(MockBridge.lastCall('saveTextFile')[0].indexOf('appunti-vocalume-'), 0);
                    var data = JSON.parse(MockBridge.files['appunti.json']);
                    t.eq(data.formato, 'vocalume-appunti');
                    t.eq(data.tabelle.NOTE.map(function (r) { return r.NOTE; }), ['Da ripassare']);
                    t.eq(dialogText(), 'Appunti esportati nel file /home/mario/appunti.json: preferiti, segnalibri, note e cronologia di tutti i dizionari.');
                    t.eq(MockBridge.countCalls('onLogout'), 0, 'not yet');
                    dialogButton('OK').click();
                    dialogButton('Esci').click();
                    t.eq(MockBridge.countCalls('onLogout'), 1);
                    t.done();
                });
            });
    });

    PageTest.test('texts from the store are shown as text', function (t) {
        var title = '<img src=x onerror="window.__xss=1">Titolo';
        var update = 'UPDATE SYSTEM SET VALUE = ? WHERE VARIABLE = ? AND REFBOOK = ?';
        var calls = MockBridge.calls.length;
        var page = window.location.href;
        MockBridge.sql([[update, [title, 'TITLE', 'sin-con']], [update, ['<a href="x">A</a>', 'AUTHOR', 'sin-con']],
            [update, ['<meta http-equiv="refresh" content="0;url=http://127.0.0.1/">', 'SUBTITLE', 'sin-con']],
            [update, ['<b>L</b>', 'LANG', 'sin-con']]], function () {
            Vocalume.library.reload(function () {
                t.step(function () {
                    t.eq(card('sin-con').querySelector('.book-title').textContent, title);
                    t.eq(card('sin-con').querySelector('.book-meta').textContent.indexOf('<a href="x">A</a>'), 0);
                    t.eq(card('sin-con').querySelectorAll('img, a, meta, b').length, 1, 'only the cover picture');
                    setTimeout(function () {
                        t.step(function () {
                            t.eq([window.__xss, MockBridge.calls.length, window.location.href], [undefined, calls, page]);
                            t.done();
                        });
                    }, 100);
                });
            });
        });
    });
}());
