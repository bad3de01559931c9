// Dictionary page without the object native code publishes beside the bridge: the index comes
// from the bridge's word list, growing as it scrolls, and nothing found offers no suggestions.
// query: idbook=ita-base&delay=20&nativo=0

(function () {
    'use strict';

    var $ = PageTest.$;
    var M = MockBridge;
    var idle = function (list) { return !$(list).querySelector('.spinner'); };
    var P = {
        words: function () { return idle('words') ? PageTest.textsOf('.item .w', 'words') : null; },
        index: function () { return PageTest.textsOf('.list-status', 'words').join(''); },
        status: function () { return PageTest.textsOf('.list-status', 'results').join(''); },
        asked: function (t) {
            return M.calls.slice(t.since).filter(function (c) { return c[0] === 'getWords'; }).map(function (c) { return c[1].slice(1, 4); });
        },
        entry: function () { return PageTest.textsOf('.blocco.is-current .lemma b', 'entry').join(''); },
        suggested: function () { return PageTest.textsOf('[data-suggest]', 'results'); }
    };
    var words = function (n) { return function () { return (P.words() || []).length === n; }; };

    function prefix(word) {
        return function () {
            $('prefix').value = word;
            PageTest.key($('prefix'), 13);
        };
    }

    PageTest.test('the index lists the words that begin with the typed text, fifty more as it scrolls', function (t) {
        t.ok(!window.VocalumeNative, 'no native object');
        t.rows(P, [
            ['the whole index', null, { until: words(18), then: function () {
                t.eq([M.callsOf('getWords')[0], P.words().slice(0, 3)], [['ita-base', '', '0', '50', 'it', M.callsOf('getWords')[0][5]],
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
            ['casa, then mare', function () {
                M.holdAnswers = true;
                prefix('casa')();
                PageTest.after(16000, prefix('mare'))();
            }, { until: function () { return M.held.length === 2; }, then: M.releaseAnswers }],
            ['mare listed', null, { words: ['mare'] }],
            ['nothing found: no suggestions, the hint to search the full text', function () { Vocalume.dictionary.search('caza', '0'); },
                { suggested: [], status: 'Nessun risultato per \u00abcaza\u00bb.Prova la ricerca nel testo completo.' }]
        ]);
    });
}());
