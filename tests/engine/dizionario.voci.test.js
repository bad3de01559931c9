// Dictionary page where no voice speaks the dictionary's language (only English ones are
// installed), or without the object native code publishes beside the bridge: no "Ascolta", and
// the help tells how to install the voices.
// query: idbook=ita-base&delay=20&voci=en
// query: idbook=ita-base&delay=20&nativo=0

(function () {
    'use strict';

    var $ = PageTest.$;
    var textsOf = PageTest.textsOf;
    var P = {
        entry: function () { return textsOf('.blocco.is-current .lemma b', 'entry').join(''); },
        listen: function () { return document.querySelectorAll('.listen').length; },
        speechHint: function () { return !$('speech-hint').hasAttribute('hidden'); },
        menu: function () { return textsOf('.menu button'); }
    };

    PageTest.test('no voice for the dictionary\'s language: no button, a line of help', function (t) {
        t.rows(P, [
            ['the help', null, { speechHint: true, listen: 0 }],
            ['an entry', function () { Vocalume.dictionary.search('cascata', '0'); }, { entry: 'cascata', listen: 0 }],
            ['a chosen text', function () {
                var walker = document.createTreeWalker($('entry'), NodeFilter.SHOW_TEXT, null, false);
                var node;
                while ((node = walker.nextNode()) && node.nodeValue.indexOf('Salto') < 0) { /* on */ }
                var range = document.createRange();
                range.setStart(node, node.nodeValue.indexOf('Salto'));
                range.setEnd(node, node.nodeValue.indexOf('Salto') + 5);
                window.getSelection().removeAllRanges();
                window.getSelection().addRange(range);
                var r = range.getBoundingClientRect();
                PageTest.fire($('entry'), 'mouseup', { button: 2, clientX: r.left + 1, clientY: r.top + 1 });
            }, { menu: ['Copia', 'Cerca \u00abSalto\u00bb', 'Copia la voce', 'Seleziona tutto', 'Stampa la voce...',
                'Esporta la voce in PDF...'] }]
        ]);
    });
}());
