// Dictionary page opened to look a word up (a result of another dictionary, or a link): it
// searches this dictionary for the word at once and opens what it finds.
// query: idbook=ita-base&delay=20&voce=vado

(function () {
    'use strict';

    var $ = PageTest.$;

    PageTest.test('the word named by the page parameter is looked up in this dictionary only', function (t) {
        t.waitFor('its entry', PageTest.shows('Muoversi da un luogo'), function () {
            t.eq($('q').value, 'vado');
            t.eq(MockBridge.callsByKind('search'),
                [['ita-base', 'vado', '0', '', '0', '20', 'it', 'onSearch']], 'one search, of this dictionary');
            t.ok(!$('all-books').checked, 'not in every dictionary');
            t.eq($('entry-word').querySelector('.w').textContent, 'andare');
            t.done();
        });
    });
}());
