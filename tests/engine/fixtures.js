// Test data for the mock bridge: SYSTEM rows of a small account and one small Italian
// dictionary written for these tests. Plain ES5: it also runs in the embedded web engine.

var MockFixtures = (function () {
    'use strict';

    function book(sku, fields) {
        return { sku: sku, fields: fields };
    }

    var library = [
        book('ita-base', {
            TITLE: 'Dizionario della lingua italiana', STATUS: '1', VISIBLE: '1',
            SUBTITLE: 'Edizione compatta con esempi d\'uso', AUTHOR: 'Laura Benedetti', LANG: 'Italiano',
            YEAR: '2024', PUBLISHER: 'Edizioni Aurora', COVER: 'ita-base.jpg', ISBN: '9788800000011',
            REVISION: '3', ORDER: '1', PURCHASED: 'true', SOURCELANGUAGEID: 'it', DESTINATIONLANGUAGEID: 'it'
        }),
        book('ing-ita', {
            TITLE: 'Dizionario inglese-italiano', STATUS: '0', VISIBLE: '1',
            SUBTITLE: 'Italiano-inglese, inglese-italiano', AUTHOR: 'Marco Ferri', LANG: 'Inglese',
            YEAR: '2023', PUBLISHER: 'Edizioni Aurora', COVER: 'http://127.0.0.1/covers/ing-ita.jpg',
            REVISION: '1', ORDER: '2', PURCHASED: 'true', SOURCELANGUAGEID: 'en', DESTINATIONLANGUAGEID: 'it'
        }),
        book('fra-ita', {
            TITLE: 'Dizionario francese-italiano', STATUS: '2', VISIBLE: '1',
            SUBTITLE: 'Nuova edizione', AUTHOR: 'Chiara Dumas', LANG: 'Francese',
            YEAR: '2025', PUBLISHER: 'Edizioni Aurora', COVER: 'fra-ita.jpeg',
            REVISION: '5', ORDER: '3', PURCHASED: 'true', SOURCELANGUAGEID: 'fr', DESTINATIONLANGUAGEID: 'it'
        }),
        book('sin-con', {
            TITLE: 'Sinonimi e contrari', STATUS: '3', VISIBLE: '1',
            SUBTITLE: 'Con l\'indice delle parole affini', AUTHOR: 'Paolo Greco', LANG: 'Italiano',
            YEAR: '2022', PUBLISHER: 'Edizioni Aurora', COVER: 'sin-con.png',
            REVISION: '2', ORDER: '4', PURCHASED: 'false', SOURCELANGUAGEID: 'it', DESTINATIONLANGUAGEID: 'it'
        }),
        book('lat-ita', {
            TITLE: 'Vocabolario latino-italiano', STATUS: '0', VISIBLE: '0',
            SUBTITLE: '', AUTHOR: 'Anna Russo', LANG: 'Latino', YEAR: '2019', PUBLISHER: 'Edizioni Aurora',
            COVER: 'lat-ita.jpg', ORDER: '5', PURCHASED: 'true', SOURCELANGUAGEID: 'la'
        })
    ];

    // SYSTEM rows in the order native code writes them.
    function systemRows(books, account) {
        var rows = [];
        var id = 0;
        function add(ref, variable, value) {
            rows.push({ ID: ++id, REFBOOK: ref, VARIABLE: variable, VALUE: value });
        }
        if (account) {
            add('SYSTEM', 'LOGIN', 'TRUE');
            add('SYSTEM', 'USERNAME', account);
            add('SYSTEM', 'SESSIONID', 's3ss10n');
        }
        books.forEach(function (b) {
            ['TITLE', 'STATUS', 'VISIBLE', 'SUBTITLE', 'AUTHOR', 'LANG', 'YEAR', 'PUBLISHER', 'COVER', 'ISBN',
                'REVISION', 'INFOREVISION', 'WEIGHT', 'ORDER', 'PURCHASED', 'SOURCELANGUAGEFLAG',
                'DESTINATIONLANGUAGEFLAG', 'SOURCELANGUAGEID', 'DESTINATIONLANGUAGEID'].forEach(function (v) {
                if (b.fields[v] !== undefined) {
                    add(b.sku, v, b.fields[v]);
                }
            });
        });
        return rows;
    }

    // Lemmas: [idzenta, headword, normalised headword, omo, grammar, scopes, keywords, inflected forms, body]
    var L = [
        ['IT0001', 'acqua', 'acqua', '', 's.f.', ['Chimica'], ['acqua', 'liquido'], ['acque'],
            'Liquido trasparente, senza odore né sapore, che forma mari, fiumi e laghi. <i>Bere un bicchiere d\'acqua.</i>'],
        ['IT0002', 'albero', 'albero', '', 's.m.', ['Botanica'], ['albero', 'pianta', 'legno', 'foglia'], ['alberi'],
            'Pianta con fusto legnoso che si ramifica a una certa altezza dal suolo. <i>Un albero di ciliegio.</i>'],
        ['IT0003', 'andare', 'andare', '', 'v.intr.', [], ['andare', 'movimento'],
            ['vado', 'vai', 'va', 'andiamo', 'andate', 'vanno', 'andrò', 'andato', 'andava'],
            'Muoversi da un luogo verso un altro. <i>Andare a scuola; andare in montagna.</i>'],
        ['IT0004', 'bello', 'bello', '', 'agg.', [], ['bello', 'bellezza'], ['bella', 'belli', 'belle'],
            'Che piace alla vista o all\'animo. <i>Una bella giornata di sole.</i>'],
        ['IT0005', 'cane', 'cane', '', 's.m.', ['Zoologia'], ['cane', 'animale'], ['cani'],
            'Mammifero domestico dei Canidi, fedele compagno dell\'uomo. <i>Portare a spasso il cane.</i>'],
        ['IT0006', 'canto', 'canto', '1', 's.m.', ['Musica'], ['canto', 'voce', 'musica'], ['canti'],
            'L\'arte e l\'atto del cantare. <i>Lezioni di canto.</i>'],
        ['IT0007', 'canto', 'canto', '2', 's.m.', [], ['canto', 'angolo'], [],
            'Angolo, lato. <i>Mettersi in un canto della stanza.</i>'],
        ['IT0008', 'casa', 'casa', '', 's.f.', ['Architettura'], ['casa', 'edificio', 'abitazione', 'famiglia'], ['case'],
            'Edificio destinato ad abitazione. <i>Una casa in campagna.</i></p><p>2. La famiglia che vi abita. ' +
            '<i>Salutami tutti a casa.</i></p><p class="see">Vedi anche <a href="#IT0009">casale</a> e la ' +
            '<a href="http://example.org/casa">scheda illustrata</a>.'],
        ['IT0009', 'casale', 'casale', '', 's.m.', ['Architettura'], ['casale', 'campagna', 'casa'], ['casali'],
            'Gruppo di case rurali; grande edificio di campagna. <i>Un vecchio casale in collina.</i>'],
        ['IT0010', 'casalingo', 'casalingo', '', 'agg., s.m.', [], ['casalingo', 'casa'], ['casalinga', 'casalinghi', 'casalinghe'],
            'Della casa, fatto in casa. <i>Cucina casalinga.</i>'],
        ['IT0011', 'cascata', 'cascata', '', 's.f.', ['Geografia'], ['cascata', 'acqua', 'fiume'], ['cascate'],
            'Salto d\'acqua di un fiume o di un torrente. <i>Le cascate del fiume.</i>'],
        ['IT0012', 'caso', 'caso', '', 's.m.', [], ['caso', 'avvenimento'], ['casi'],
            'Avvenimento imprevisto, fortuito. <i>Incontrarsi per caso.</i>'],
        ['IT0013', 'città', 'citta', '', 's.f.', ['Geografia'], ['citta', 'abitazione', 'centro'], [],
            'Centro abitato di notevole estensione. <i>Vivere in città.</i>'],
        ['IT0014', 'essere', 'essere', '', 'v.intr.', [], ['essere', 'esistenza'],
            ['sono', 'sei', 'è', 'siamo', 'siete', 'era', 'fu', 'stato'],
            'Esistere, trovarsi in un luogo o in una condizione. <i>Essere a casa; essere felici.</i>'],
        ['IT0015', 'fiore', 'fiore', '', 's.m.', ['Botanica'], ['fiore', 'pianta'], ['fiori'],
            'Parte della pianta che porta gli organi della riproduzione. <i>Un mazzo di fiori.</i>'],
        ['IT0016', 'fiume', 'fiume', '', 's.m.', ['Geografia'], ['fiume', 'acqua'], ['fiumi'],
            'Corso d\'acqua perenne che sfocia nel mare o in un lago. <i>La foce del fiume.</i>'],
        ['IT0017', 'foglia', 'foglia', '', 's.f.', ['Botanica'], ['foglia', 'pianta', 'albero'], ['foglie'],
            'Organo delle piante, per lo più verde e piatto. <i>Le foglie cadono in autunno.</i>'],
        ['IT0018', 'l\'altroieri', 'l\'altroieri', '', 'avv.', [], ['altroieri', 'tempo'], [],
            'Il giorno prima di ieri. <i>Ci siamo visti l\'altroieri.</i>'],
        ['IT0019', 'libro', 'libro', '', 's.m.', [], ['libro', 'pagina', 'lettura'], ['libri'],
            'Insieme di fogli stampati e rilegati. <i>Leggere un buon libro.</i>'],
        ['IT0020', 'luna', 'luna', '', 's.f.', ['Astronomia'], ['luna', 'satellite'], ['lune'],
            'Il satellite naturale della Terra. <i>La luna piena.</i>'],
        ['IT0021', 'mare', 'mare', '', 's.m.', ['Geografia'], ['mare', 'acqua'], ['mari'],
            'La grande distesa d\'acqua salata che copre gran parte della Terra. <i>Andare al mare.</i>'],
        ['IT0022', 'montagna', 'montagna', '', 's.f.', ['Geografia'], ['montagna', 'monte'], ['montagne'],
            'Rilievo della superficie terrestre di notevole altezza. <i>Una gita in montagna.</i>'],
        ['IT0023', 'parola', 'parola', '', 's.f.', ['Linguistica'], ['parola', 'lingua'], ['parole'],
            'Suono o gruppo di suoni che esprime un significato. <i>Cercare la parola giusta.</i>'],
        ['IT0024', 'perché', 'perche', '', 'avv., cong.', [], ['perche', 'causa'], [],
            'Per quale ragione; per il fatto che. <i>Perché ridi?</i>'],
        ['IT0025', 'sale', 'sale', '', 's.m.', ['Chimica'], ['sale', 'cucina'], ['sali'],
            'Sostanza bianca cristallina usata per insaporire i cibi. <i>Un pizzico di sale.</i>'],
        ['IT0026', 'sole', 'sole', '', 's.m.', ['Astronomia'], ['sole', 'stella', 'luce'], ['soli'],
            'La stella intorno a cui gira la Terra. <i>Il sole sorge a oriente.</i>'],
        ['IT0027', 'tavolo', 'tavolo', '', 's.m.', [], ['tavolo', 'mobile'], ['tavoli'],
            'Mobile formato da un piano sostenuto da gambe. <i>Apparecchiare il tavolo.</i>'],
        ['IT0028', 'vento', 'vento', '', 's.m.', ['Geografia'], ['vento', 'aria'], ['venti'],
            'Movimento di masse d\'aria nell\'atmosfera. <i>Un vento leggero.</i>'],
        ['IT0029', 'zucchero', 'zucchero', '', 's.m.', ['Chimica'], ['zucchero', 'cucina'], ['zuccheri'],
            'Sostanza dolce, cristallina, ricavata dalla canna o dalla barbabietola. <i>Caffè senza zucchero.</i>']
    ];

    function lemmas(extra) {
        var out = L.map(function (r) {
            return {
                idzenta: r[0], nome: r[1], nome_n: r[2], omo: r[3], hwgram: r[4], scopes: r[5],
                keywords: r[6], flessi: r[7], source: 'it', file: r[1].charAt(0) === 'l' ? 'l.html' : r[1].charAt(0) + '.html',
                body: r[8]
            };
        });
        // Many plain headwords, to page through long lists.
        for (var i = 1; i <= (extra || 0); i++) {
            var n = ('00' + i).slice(-3);
            out.push({
                idzenta: 'XP' + n, nome: 'prova' + n, nome_n: 'prova' + n, omo: '', hwgram: 's.f.', scopes: [],
                keywords: ['prova'], flessi: [], source: 'it', file: 'p.html', body: 'Voce di prova numero ' + i + '.'
            });
        }
        return out;
    }

    function entryHtml(lemma) {
        var omo = lemma.omo ? '<sup>' + lemma.omo + '</sup>' : '';
        return '<div id="' + lemma.idzenta + '" class="voce">' +
            '<p class="lemma"><b>' + lemma.nome.replace(/&/g, '&amp;') + '</b>' + omo + ' <i>' + lemma.hwgram + '</i></p>' +
            '<p>1. ' + lemma.body + '</p></div>';
    }

    return {
        library: library,
        systemRows: systemRows,
        lemmas: lemmas,
        entryHtml: entryHtml,
        charset: { start: 'à|è|é|ì|ò|ù', end: 'a|e|e|i|o|u' }
    };
}());
