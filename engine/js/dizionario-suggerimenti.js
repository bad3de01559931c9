// Dictionary page: the headwords offered ("Forse cercavi") when a search finds nothing.

(function (V, D) {
    'use strict';

    // The headwords closest in spelling to a word that found nothing, from native code when it
    // offers them; null while native code is still reading the dictionary's headwords.
    D.suggestions = function (word) {
        var native = V.native('suggest');
        if (!native) {
            return [];
        }
        try {
            var list = JSON.parse(native.suggest(D.sku, word, D.lang) || '[]');
            if (list === null) {
                return null;
            }
            return list instanceof Array ? list.filter(function (w) { return typeof w === 'string' && w; }) : [];
        } catch (e) {
            return [];
        }
    };

    // Native code reads the headwords behind suggestions on a thread of its own, from the moment
    // the dictionary opens, and calls back once they are read. By the callback's name: a page
    // function connected to a native signal would keep this whole page alive after it is left.
    D.prepareSuggestions = function () {
        var native = V.native('prepareSuggestions');
        if (native) {
            native.prepareSuggestions(D.sku, D.lang, 'onSuggestionsReady');
        }
    };

    window.onSuggestionsReady = function () {
        var search = D.search;
        var waiting = search.awaitingSuggestions;
        if (waiting && search.last === waiting.req && !(search.lastItems || []).length) {
            D.renderResults(waiting.req, [], waiting.tot, waiting.lemma);
        }
    };
}(Vocalume, Vocalume.dict));
