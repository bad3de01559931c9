// Dictionary page opened from the library's search over every installed dictionary: the word is
// looked up in each of them and the results are grouped by dictionary.
// query: idbook=ita-base&delay=20&voce=casa&tutti=1

(function () {
    'use strict';

    var $ = PageTest.$;

    PageTest.test('the word is looked up in every installed dictionary, this one first', function (t) {
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
            t.eq(MockBridge.lastCall('getHtml'), ['ita-base', 'IT04', 'c.html', 'onEntry'], 'the first result of this dictionary opens');
            t.done();
        });
    });
}());
