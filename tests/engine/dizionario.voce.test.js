// Dictionary page opened to look a word up (a result of another dictionary, or a link): it
// searches this dictionary for the word at once and opens what it finds.
// query: idbook=ita-base&delay=20&voce=vado

(function () {
    'use strict';

    var $ = PageTest.$;

    PageTest.test('the word named by the page parameter is looked up in this dictionary only', function (t) {
        t.rows({
            entry: function () { return PageTest.textsOf('.blocco.is-current .lemma b', 'entry').join(''); },
            box: function () { return [$('q').value, $('all-books').checked]; },
            asked: function () { return MockBridge.callsOf('search').map(function (a) { return a.slice(0, 7); }); }
        }, [['its entry', null, { entry: 'andare', box: ['vado', false], asked: [['ita-base', 'vado', '0', '', '0', '20', 'it']] }]]);
    });
}());
