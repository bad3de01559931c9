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

    // The list item offering `words`, each one press from its search; empty for none.
    D.suggestionList = function (words) {
        return words && words.length ? '<li class="suggest"><span class="suggest-label">Forse cercavi:</span> ' +
            words.map(function (w) {
                return '<button type="button" class="item suggestion" data-suggest="' + V.escapeHtml(w) + '">' +
                    '<span class="w">' + V.escapeHtml(w) + '</span></button>';
            }).join('') + '</li>' : '';
    };

    // A search of every dictionary that found nothing: native code looks for the closest words of
    // all of them, and of the spelling dictionaries of their languages, on a thread of its own;
    // the list shows them when they come, if the search is still the one listed.
    var askedEverywhere = 0;
    D.suggestEverywhere = function (run) {
        var native = V.native('suggestEverywhere');
        if (!native) {
            return;
        }
        var callbacks = window.onEverywhereSuggestions || (window.onEverywhereSuggestions = {});
        var id = 's' + (++askedEverywhere);
        callbacks[id] = function (res) {
            delete callbacks[id];
            run.suggestions = (res && res.words instanceof Array ? res.words : []).filter(function (w) {
                return typeof w === 'string' && w;
            });
            if (run === D.everywhere.run) {
                D.renderEverywhere(run);
            }
        };
        native.suggestEverywhere(run.word, JSON.stringify(run.books.map(function (b) {
            return { sku: b.sku, lang: b.lang };
        })), 'onEverywhereSuggestions.' + id);
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
