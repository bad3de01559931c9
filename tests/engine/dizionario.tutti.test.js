// Dictionary page opened from the library's search over every installed dictionary: the word is
// looked up in each of them and the results are grouped by dictionary.
// query: idbook=ita-base&delay=20&voce=casa&tutti=1

(function () {
    'use strict';

    var $ = PageTest.$;
    var textsOf = PageTest.textsOf;
    var both = ['Dizionario della lingua italiana', 'Dizionario francese-italiano'];

    PageTest.test('the word is looked up in every installed dictionary, those in the user\'s language first', function (t) {
        t.rows({
            groups: function () { return $('results').querySelector('.spinner') ? null : textsOf('.group', 'results'); },
            sections: function () { return textsOf('.sezione', 'entry'); },
            entry: function () { return textsOf('.blocco.is-current .lemma b', 'entry').join(''); },
            box: function () { return [$('q').value, $('all-books').checked]; },
            // Headed by no single dictionary.
            heading: function () { return [$('dict-title').textContent, $('dict-sub').textContent]; },
            asked: function () {
                return MockBridge.callsOf('search').map(function (a) { return [a[0], a[1], a[6], a[7].split('.')[0]]; });
            }
        }, [['both groups', null, { groups: [both[0] + ' (3)', both[1] + ' (3)'], sections: both, entry: 'casa', box: ['casa', true],
            heading: ['Tutti i dizionari installati', '2 dizionari'],
            asked: [['ita-base', 'casa', 'it', 'onSearchEverywhere'], ['fra-ita', 'casa', 'fr', 'onSearchEverywhere']] }]]);
    });
}());
