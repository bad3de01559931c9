// Library page against the SYSTEM rows native code writes, with downloads and synchronisation
// driven by the statements native code evaluates; the per-card probes read the cards `want` names.
// query: delay=30

(function () {
    'use strict';

    var $ = PageTest.$;
    var M = MockBridge;
    var L = Vocalume.library;
    var update = 'UPDATE SYSTEM SET VALUE = ? WHERE VARIABLE = ? AND REFBOOK = ?';

    var card = function (sku) { return document.querySelector('.book[data-sku="' + sku + '"]'); };
    var button = function (sku, action) { return card(sku).querySelector('[data-action="' + action + '"]'); };
    var click = function (sku, action) { return function () { button(sku, action).click(); }; };

    // A probe of each card `want` names: sku -> read(card).
    function perCard(read) {
        return function (t, want) {
            var out = {};
            Object.keys(want).forEach(function (sku) { out[sku] = read(card(sku)); });
            return out;
        };
    }

    var P = {
        cards: function () {
            return Array.prototype.map.call(document.querySelectorAll('.book'), function (c) { return c.getAttribute('data-sku'); });
        },
        actions: perCard(function (c) {
            return Array.prototype.map.call(c.querySelectorAll('.book-dynamic button'), function (b) {
                return b.textContent + (b.disabled ? ' (off)' : '');
            });
        }),
        progress: perCard(function (c) { return PageTest.textsOf('.progress-line .text', c).join(''); }),
        badges: perCard(function (c) { return PageTest.textsOf('.badges', c).join(''); }),
        error: perCard(function (c) { return PageTest.textsOf('.book-error .text', c).join(''); }),
        // The bridge and native calls the row made.
        calls: function (t) {
            return M.calls.slice(t.since).filter(function (c) { return !/^(getParameter|downloadSize|downloadStates|keptDownloads)$/.test(c[0]); });
        },
        dialog: PageTest.dialogText,
        busy: function () { return !$('busy').hasAttribute('hidden'); },
        remembered: function () { return window.localStorage.getItem('vocalume.download'); }
    };

    // The page loaded again, after statements on SYSTEM, with the downloads native code then
    // runs and (when given) keeps.
    function reload(statements, states, kept) {
        return function (t) {
            t.loaded = false;
            M.sql(statements || [], function () {
                M.downloadStates = states || {};
                M.keptDownloads = kept || M.keptDownloads;
                L.reload(function () { t.loaded = true; });
            });
        };
    }
    var loaded = function (t) { return t.loaded; };

    var progress = function (percent, size) { return function () { M.progress('onDownload', percent, size); }; };
    var installing = function () { M.run('SignalQt(\'onDownload\', \'{result:false, progress:"wait"}\', \'true\')'); };
    var fail = function (text) { return function () { M.fail('onDownload', text); }; };

    PageTest.test('visible dictionaries in their order with their covers, each offering what its STATUS allows', function (t) {
        var src = function (sku) { var img = card(sku).querySelector('.book-cover img'); return img && img.getAttribute('src'); };
        t.rows(P, [['the cards', null, { cards: ['ita-base', 'ing-ita', 'fra-ita', 'sin-con'],
            actions: { 'ing-ita': ['Scarica'], 'ita-base': ['Apri'], 'fra-ita': ['Apri', 'Aggiorna'], 'sin-con': ['Acquista'] },
            badges: { 'fra-ita': 'FranceseAggiornamento disponibile' }, then: function () {
                $('search-all-q').value = 'casa';
                $('search-all').querySelector('button').click();
                click('ita-base', 'open')();
                click('sin-con', 'purchase')();
                t.eq(P.calls(t), [['loadUrl', ['dizionario.html?idbook=ita-base&voce=casa&tutti=1']],
                    ['loadUrl', ['dizionario.html?idbook=ita-base']], ['purchase', ['sin-con']]]);
                // Covers come from the cover cache; an address gets a placeholder.
                t.eq([src('ita-base'), src('fra-ita'), src('ing-ita')], ['covers/ita-base.png', 'covers/fra-ita.pngg', null]);
                t.ok(card('ing-ita').querySelector('.cover-placeholder'), 'placeholder for an http address');
            } }]]);
    });

    PageTest.test('where a word selected elsewhere opens: as native code keeps it, changed at once', function (t) {
        var shown = { shown: function () { return [$('selezione').value, !$('selezione').parentNode.hasAttribute('hidden')]; },
            kept: function () { return M.selectionLookup; } };
        t.rows(shown, [['read from native code', null, { shown: ['finestra', true], kept: 'finestra' }],
            ['the pop-up chosen', PageTest.fill('selezione', 'finestrella', 'change'), { shown: ['finestrella', true], kept: 'finestrella' }],
            ['the main window again', PageTest.fill('selezione', 'finestra', 'change'), { kept: 'finestra' }]]);
    });

    PageTest.test('a download shows progress, installation and the installed state', function (t) {
        var sizes = [['0.3', '307\u00a0KB'], ['0.0', 'meno di 50\u00a0KB'], ['1.0', '1.0\u00a0MB'], ['12.5', '12.5\u00a0MB']];
        t.rows(P, [
            ['started: one download at a time', click('ing-ita', 'download'), { calls: [['download', ['ing-ita', 'onDownload']]],
                actions: { 'fra-ita': ['Apri', 'Aggiorna (off)'] }, badges: { 'ing-ita': 'IngleseDownload in corso' } }],
            ['42%', progress(42, '5.0'), { progress: { 'ing-ita': 'Download 42% di 5.0\u00a0MB' },
                actions: { 'ing-ita': ['Pausa', 'Annulla'] } }]
        ].concat(sizes.map(function (c) {
            return ['size ' + c[0], progress(54, c[0]), { progress: { 'ing-ita': 'Download 54% di ' + c[1] } }];
        })).concat([
            // Native code beside the bridge notes the size the transfer announced right after the
            // first progress: from then on a small package reads in exact kilobytes.
            ['the size announced', function () {
                progress(60, '0.0')();
                M.downloadSizes['ing-ita'] = 30720;
                t.eq(P.progress(t, { 'ing-ita': 1 }), { 'ing-ita': 'Download 60% di meno di 50\u00a0KB' }, 'before it is known');
            }, { progress: { 'ing-ita': 'Download 60% di 30\u00a0KB' } }],
            ['kept', progress(70, '0.0'), { progress: { 'ing-ita': 'Download 70% di 30\u00a0KB' } }],
            ['installing: nothing to cancel', installing, { actions: { 'ing-ita': [] },
                progress: { 'ing-ita': 'Installazione in corso...' }, badges: { 'ing-ita': 'IngleseInstallazione in corso' } }],
            ['installed: other downloads allowed again', function () { M.finish('onDownload', 'ing-ita'); }, {
                actions: { 'ing-ita': ['Apri'], 'fra-ita': ['Apri', 'Aggiorna'] }, badges: { 'ing-ita': 'IngleseInstallato' } }]
        ]));
    });

    PageTest.test('failures say why and offer Riprova; cancel, pause and resume; downloads native code runs', function (t) {
        var broken = 'L\'archivio <b>non</b> è valido'; // the store's words, shown as text
        var stopped = 'Si è verificato un errore nello scaricamento del dizionario';
        var notInstalled = 'Installazione non riuscita: impossibile aprire il libro.';
        t.rows(P, [
            ['a failed update', [click('fra-ita', 'download'), progress(10, '12.5'), fail(broken)],
                { error: { 'fra-ita': broken }, actions: { 'fra-ita': ['Apri', 'Aggiorna', 'Riprova'] } }],
            ['Riprova downloads again, the error cleared', function () { card('fra-ita').querySelector('.book-error button').click(); },
                { calls: [['download', ['fra-ita', 'onDownload']]], error: { 'fra-ita': '' } }],
            ['cancelled', click('fra-ita', 'cancel'), { calls: [['cancelDownload', []]], actions: { 'fra-ita': ['Apri', 'Aggiorna'] },
                // A download started before the page was reloaded still reaches its card.
                then: function () { window.localStorage.setItem('vocalume.download', 'fra-ita'); } }],
            ['after a reload', progress(64, '12.5'), { progress: { 'fra-ita': 'Download 64% di 12.5\u00a0MB' } }],
            ['failed then', fail(stopped), { remembered: null, error: { 'fra-ita': stopped } }],
            ['an installation that fails leaves the dictionary to be downloaded, saying why',
                reload([[update, ['0', 'STATUS', 'ing-ita']]]), { until: loaded }],
            ['so it fails', [click('ing-ita', 'download'), installing, fail(notInstalled)],
                { actions: { 'ing-ita': ['Scarica', 'Riprova'] }, error: { 'ing-ita': notInstalled } }],
            ['several under way, loaded later: shown, none this page\'s own', reload([], { 'ing-ita': { state: 'queued' },
                'fra-ita': { state: 'download', percent: 30, size: '5.0', bytes: 5242880 } }), { until: loaded,
                progress: { 'ing-ita': 'In coda per l\'installazione...', 'fra-ita': 'Download 30% di 5.0\u00a0MB' },
                actions: { 'ing-ita': [], 'fra-ita': [] } }],
            // The only one under way is followed as the page's own, to its end; the earlier
            // failure still shows, with a retry that waits as well.
            ['the only one', reload([], { 'ing-ita': { state: 'install' } }), { until: loaded,
                progress: { 'ing-ita': 'Installazione in corso...' }, actions: { 'fra-ita': ['Apri', 'Aggiorna (off)', 'Riprova (off)'] } }],
            ['its end', function () {
                M.downloadStates = {};
                M.finish('onDownload', 'ing-ita');
            }, { actions: { 'ing-ita': ['Apri'], 'fra-ita': ['Apri', 'Aggiorna', 'Riprova'] } }],
            ['paused: another download may start meanwhile', [click('fra-ita', 'download'), progress(30, '5.0'), click('fra-ita', 'pause')],
                { progress: { 'fra-ita': 'Download in pausa: 30% di 5.0\u00a0MB' }, actions: { 'fra-ita': ['Riprendi', 'Annulla', 'Apri'],
                    'ing-ita': ['Apri'] } }],
            ['still paused when the page is loaded again', reload(), { until: loaded, calls: [],
                actions: { 'fra-ita': ['Riprendi', 'Annulla', 'Apri'] } }],
            ['discarded', click('fra-ita', 'discard'),
                { calls: [['discardDownload', ['fra-ita']]], actions: { 'fra-ita': ['Apri', 'Aggiorna'] } }],
            ['paused again', [click('fra-ita', 'download'), progress(30, '5.0'), click('fra-ita', 'pause')],
                { progress: { 'fra-ita': 'Download in pausa: 30% di 5.0\u00a0MB' } }],
            ['resumed', [click('fra-ita', 'download'), progress(40, '5.0')], { progress: { 'fra-ita': 'Download 40% di 5.0\u00a0MB' } }],
            ['cancelled: nothing kept is offered', click('fra-ita', 'cancel'), { calls: [['cancelDownload', []]],
                actions: { 'fra-ita': ['Apri', 'Aggiorna'] } }],
            ['one the program was running when it ended goes on by itself', reload([], {},
                { 'fra-ita': { state: 'interrupted', percent: 40, size: '5.0' } }), { until: loaded,
                calls: [['download', ['fra-ita', 'onDownload']]], progress: { 'fra-ita': 'Avvio del download...' } }],
            // Given up after failing, what arrived stays to be continued.
            ['given up', [function () { M.keptDownloads['fra-ita'].state = 'stopped'; }, fail(stopped)],
                { progress: { 'fra-ita': 'Download interrotto: 40% di 5.0\u00a0MB' }, actions: { 'fra-ita': ['Riprendi', 'Annulla', 'Apri'] },
                error: { 'fra-ita': stopped } }],
            ['cleared', reload([], {}, {}), { until: loaded }]
        ]);
    });

    PageTest.test('messages: a failed synchronisation, statements run when confirmed, the sign-out question', function (t) {
        var ok = function () { PageTest.dialogButton('OK').click(); };
        window.__confirmed = 0;
        t.rows(P, [
            ['synchronising', function () { $('sync').click(); }, { calls: [['synchronize', []]], busy: true }],
            ['failed', function () {
                M.run('messageDialog("Si è verificato un problema durante la sincronizzazione dei tuoi acquisti!<br/>Ti invitiamo a riprovare più tardi")');
                M.run('__APP.spinner=false');
            }, { busy: false, dialog: 'Si è verificato un problema durante la sincronizzazione dei tuoi acquisti!Ti invitiamo a riprovare più tardi',
                then: function () { t.eq(document.querySelectorAll('.dialog-text br').length, 1, 'line break kept'); } }],
            ['two at once', [ok, function () {
                M.run('messageDialog("Primo", "window.__confirmed = window.__confirmed + 1")');
                M.run('messageDialog("Secondo <b>non</b> interpretato")');
            }], { dialog: 'Primo', then: function () { t.eq(window.__confirmed, 0); } }],
            // Esc never confirms what a message would do: only its button does.
            ['Esc on the first', function () { PageTest.key(document.body, 27); }, { dialog: 'Primo', then: function () {
                t.eq(window.__confirmed, 0);
            } }],
            ['the first confirmed', ok, { dialog: 'Secondo <b>non</b> interpretato', then: function () { t.eq(window.__confirmed, 1); } }],
            ['Esc closes a message that does nothing', function () { PageTest.key(document.body, 27); }, { dialog: '',
                then: function () { M.run('messageDialog("Secondo")'); } }],
            // Signing out removes the downloaded dictionaries and the reader's notes: it asks
            // first, saying so, and offers the export.
            ['signing out', function () {
                ok();
                $('logout').click();
                t.ok(P.dialog().indexOf('Anche i preferiti, i segnalibri e le note vengono eliminati') >= 0, P.dialog());
                PageTest.dialogButton('Annulla').click();
                M.sql([['CREATE TABLE IF NOT EXISTS NOTE (DATE TIMESTAMP, IDBOOK TEXT, ID INTEGER PRIMARY KEY, REF VARCHAR(100), NOTE TEXT)'],
                    ['INSERT INTO NOTE (DATE, IDBOOK, REF, NOTE) VALUES (?, ?, ?, ?)', ['2026-01-02 10:00:00', 'ita-base', 'IT04|c.html|casa', 'Da ripassare']]],
                function () {
                    $('logout').click();
                    PageTest.dialogButton('Esporta gli appunti').click();
                });
            }, { dialog: 'Appunti esportati nel file /home/mario/appunti.json: preferiti, segnalibri, note e cronologia di tutti i dizionari.',
                then: function () {
                    var data = JSON.parse(M.files['appunti.json']);
                    t.eq([M.lastCall('saveTextFile')[0].indexOf('appunti-vocalume-'), data.formato, data.tabelle.NOTE[0].NOTE],
                        [0, 'vocalume-appunti', 'Da ripassare']);
                    ok();
                    t.eq(M.callsOf('onLogout'), [], 'not yet');
                    PageTest.dialogButton('Esci').click();
                    t.eq(M.callsOf('onLogout'), [[]]);
                } }]
        ]);
    });

    PageTest.test('texts from the store are shown as text', function (t) {
        var title = '<img src=x onerror="window.__xss=1">Titolo';
        var page = window.location.href;
        t.rows(P, [['shown', reload([[update, [title, 'TITLE', 'sin-con']], [update, ['<a href="x">A</a>', 'AUTHOR', 'sin-con']],
            [update, ['<meta http-equiv="refresh" content="0;url=http://127.0.0.1/">', 'SUBTITLE', 'sin-con']],
            [update, ['<b>L</b>', 'LANG', 'sin-con']]]), { until: loaded, then: function () {
                t.eq([card('sin-con').querySelector('.book-title').textContent, card('sin-con').querySelector('.book-meta').textContent.indexOf('<a href="x">A</a>')],
                    [title, 0]);
                t.eq(P.badges(t, { 'sin-con': 1 }), { 'sin-con': '<b>L</b>Non acquistato' });
                t.eq(card('sin-con').querySelectorAll('img, a, meta, b').length, 1, 'only the cover picture');
            } }],
            ['nothing ran', null, { until: function () {
                t.at = t.at || Date.now();
                return Date.now() - t.at > 100;
            }, calls: [], then: function () { t.eq([window.__xss, window.location.href], [undefined, page]); } }]]);
    });
}());
