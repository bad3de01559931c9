// Dictionary page without the object native code publishes beside the bridge: the index comes
// from the bridge's word list, growing as it scrolls, and nothing found offers no suggestions.
// query: idbook=ita-base&delay=20&nativo=0

(function () {
    'use strict';

    var $ = PageTest.$;
    var texts = PageTest.texts;
    var listStatus = PageTest.listStatus;
    var idle = PageTest.firstWhenIdle;

    function prefix(word) {
        return function () {
            $('prefix').value = word;
            PageTest.key($('prefix'), 13);
        };
    }

    PageTest.test('the index lists the words that begin with the typed text, fifty more as it scrolls', function (t) {
        t.ok(!window.VocalumeNative, 'no native object');
        t.steps([
            ['the whole index', null, idle('words'), function () {
                t.eq(MockBridge.callsByKind('getWords').pop(), ['ita-base', '', '0', '50', 'it', 'onWords']);
                t.eq(texts('words').slice(0, 3), ['acqua', 'albero', 'andare']);
                MockBridge.useEntries(60);
                $('tab-index').click();
            }],
            ['a typed word', prefix('prova'), function () { return idle('words')() === 'prova001'; }, function () {
                t.eq(MockBridge.callsByKind('getWords').pop(), ['ita-base', 'prova', '0', '50', 'it', 'onWords']);
                t.eq(texts('words').length, 50);
                t.ok($('words').scrollHeight > $('words').clientHeight, 'the list scrolls');
                $('words').scrollTop = $('words').scrollHeight;
            }],
            ['scrolled down', null, function () { return texts('words').length === 60; }, function () {
                t.eq(MockBridge.callsByKind('getWords').pop(), ['ita-base', 'prova', '50', '50', 'it', 'onWords']);
                t.eq(texts('words').slice(-1), ['prova060']);
            }],
            ['no such word', prefix('xyz'), idle('words'), function () {
                t.eq(listStatus('words'), 'Nessuna parola inizia con \u00abxyz\u00bb.');
            }],
            ['a word', prefix('luna'), function () {
                return idle('words')() === 'luna';
            }, function () {
                $('words').querySelector('.item').click();
            }],
            ['its entry', null, PageTest.shows('satellite naturale')],
            // Native code answers the slow request first, then the newer one sent after the wait.
            ['casa, then mare', function () {
                MockBridge.holdAnswers = true;
                prefix('casa')();
                PageTest.after(16000, prefix('mare'))();
            }, function () { return MockBridge.held.length === 2; }, MockBridge.releaseAnswers],
            ['mare listed', null, idle('words'), function () {
                t.eq(texts('words'), ['mare']);
            }]
        ]);
    });

    PageTest.test('nothing found: no suggestions, the hint to search the full text', function (t) {
        t.steps([['caza', function () { Vocalume.dictionary.search('caza', '0'); }, idle('results'), function () {
            t.eq($('results').querySelectorAll('[data-suggest]').length, 0);
            t.eq(listStatus('results'), 'Nessun risultato per \u00abcaza\u00bb.Prova la ricerca nel testo completo.');
        }]]);
    });
}());
