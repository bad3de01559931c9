// Dictionary page opened with a word: from a link or another dictionary's result (here without
// the object native code publishes beside the bridge, so the index comes from the bridge's word
// list), or from the library's search over every installed dictionary (at once, or in turn
// through the bridge without that object).
// query: idbook=ita-base&delay=20&nativo=0&voce=vado
// query: idbook=ita-base&delay=20&voce=casa&tutti=1
// query: idbook=ita-base&delay=20&voce=casa&tutti=1&nativo=0

(function () {
    'use strict';

    var $ = PageTest.$;
    var textsOf = PageTest.textsOf;
    var M = MockBridge;
    var idle = function (list) { return !$(list).querySelector('.spinner'); };
    var P = {
        words: function () { return idle('words') ? textsOf('.item .w', 'words') : null; },
        index: function () { return textsOf('.list-status', 'words').join(''); },
        status: function () { return textsOf('.list-status', 'results').join(''); },
        groups: function () { return idle('results') ? textsOf('.group', 'results') : null; },
        entry: function () { return textsOf('.blocco.is-current .lemma b', 'entry').join(''); },
        box: function () { return [$('q').value, $('all-books').checked]; },
        heading: function () { return [$('dict-title').textContent, $('dict-sub').textContent]; },
        // Each search's dictionary, word, kind, scope, start, count, language and callback.
        searched: function () { return M.callsOf('search').map(function (a) { return a.slice(0, 7).concat(a[7].split('.')[0]); }); },
        asked: function (t) { return PageTest.calls(t, 'getWords').map(function (a) { return a.slice(1, 4); }); },
        suggested: function () { return textsOf('[data-suggest]', 'results'); }
    };
    var words = function (n) { return function () { return (P.words() || []).length === n; }; };

    var prefix = function (word) { return PageTest.fill('prefix', word, 13); };

    if (/tutti=1/.test(window.location.search)) {
        PageTest.test('the word is looked up in every installed dictionary, those in the user\'s language first', function (t) {
            var both = ['Dizionario della lingua italiana', 'Dizionario <i>francese</i>-italiano']; // a store's title, shown as text
            t.rows(P, [['both groups', null, { groups: [both[0] + ' (3)', both[1] + ' (3)'], box: ['casa', true],
                heading: ['Tutti i dizionari installati', '2 dizionari'] }]]);
        });
        return;
    }

    PageTest.test('the word is looked up in this dictionary only; the index lists the words that begin with the typed text, ' +
        'fifty more as it scrolls', function (t) {
        t.ok(!window.VocalumeNative, 'no native object');
        t.ok($('anki-export').hasAttribute('hidden') && $('anki-send').hasAttribute('hidden'), 'no Anki buttons without it');
        t.rows(P, [
            ['its entry', null, { entry: 'andare', box: ['vado', false],
                searched: [['ita-base', 'vado', '0', '', '0', '20', 'it', 'onSearch']] }],
            ['the whole index', null, { until: words(18), then: function () {
                    t.eq([M.callsOf('getWords')[0].slice(0, 5), P.words().slice(0, 3)], [['ita-base', '', '0', '50', 'it'],
                        ['acqua', 'albero', 'andare']]);
                    M.useEntries(60);
                    $('tab-index').click();
                } }],
            ['a typed word', prefix('prova'), { until: words(50), asked: [['prova', '0', '50']], then: function () {
                t.ok($('words').scrollHeight > $('words').clientHeight, 'the list scrolls');
                $('words').scrollTop = $('words').scrollHeight;
            } }],
            ['scrolled down', null, { until: words(60), asked: [['prova', '50', '50']], then: function () {
                t.eq(P.words()[59], 'prova060');
            } }],
            ['no such word', prefix('xyz'), { index: 'Nessuna parola inizia con \u00abxyz\u00bb.' }],
            ['a word', prefix('luna'), { words: ['luna'], then: function () { $('words').querySelector('.item').click(); } }],
            ['its entry', null, { entry: 'luna' }],
            // Native code answers the slow request first, then the newer one sent after the wait.
            ['casa, then mare', [function () { M.holdAnswers = true; }, prefix('casa'), PageTest.after(16000, prefix('mare'))],
                { until: function () { return M.held.length === 2; }, then: M.releaseAnswers }],
            ['mare listed', null, { words: ['mare'] }],
            ['nothing found: no suggestions, the hint to search the full text', function () { Vocalume.dictionary.search('caza', '0'); },
                { suggested: [], status: 'Nessun risultato per \u00abcaza\u00bb.Prova la ricerca nel testo completo.' }]
        ]);
    });
}());
