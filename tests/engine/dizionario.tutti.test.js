// Dictionary page opened from the library's search over every installed dictionary: the word is
// looked up in each of them and the results are grouped by dictionary.
// query: idbook=ita-base&delay=20&voce=casa&tutti=1

(function () {
    'use strict';

    var $ = PageTest.$;

    PageTest.test('the word is looked up in every installed dictionary, those in the user\'s language first', function (t) {
        var groups = function () { return PageTest.textsOf('.group', $('results')); };
        t.waitFor('both groups', function () {
            return groups().length === 2 && !$('results').querySelector('.spinner') &&
                PageTest.shows('Edificio destinato')();
        }, function () {
            t.eq($('q').value, 'casa');
            t.ok($('all-books').checked, 'the box is ticked');
            t.eq(MockBridge.callsByKind('search').map(function (a) {
                return [a[0], a[1], a[6], a[7]];
            }), [['ita-base', 'casa', 'it', 'onSearchEverywhere'], ['fra-ita', 'casa', 'fr', 'onSearchEverywhere']]);
            t.eq(groups(), ['Dizionario della lingua italiana (3)', 'Dizionario francese-italiano (3)']);
            t.eq(PageTest.textsOf('.sezione', $('entry')), ['Dizionario della lingua italiana', 'Dizionario francese-italiano'],
                'the word\'s page, a section per dictionary');
            t.eq([$('dict-title').textContent, $('dict-sub').textContent], ['Tutti i dizionari installati', '2 dizionari'],
                'headed by no single dictionary');
            t.done();
        });
    });
}());
