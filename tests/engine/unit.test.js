// Unit tests of the engine's shared script: result literals, the call-back entry point, the
// decoding helpers, cover names and entry references. Run with: node --test unit.test.js

'use strict';

const test = require('node:test');
const assert = require('node:assert');
const fs = require('fs');
const path = require('path');
const vm = require('vm');

const engine = path.join(__dirname, '..', '..', 'engine');

// The scripts in a context with just enough of a window for them to load.
function load() {
    const window = { console: { warn() {}, error() {} }, location: { search: '' } };
    window.window = window;
    const context = vm.createContext({ window, document: {}, console: window.console });
    for (const file of ['js/app.js', 'js/store.js']) {
        vm.runInContext(fs.readFileSync(path.join(engine, file), 'utf8'), context, { filename: file });
    }
    context.window.SignalQt = context.SignalQt;
    return context;
}

// Values made in the script's context compare by structure in plain JSON.
function plain(v) {
    return v === undefined ? undefined : JSON.parse(JSON.stringify(v));
}

test('result literals as native code sends them', () => {
    const V = load().Vocalume;
    const cases = [
        ['{tot:1,result: [{idzenta: \'12\', word: \'casa\', file: \'c001\', omo: \'\', hw: \'s.f.\'}], isLemmatizzata:true}',
            { tot: 1, result: [{ idzenta: '12', word: 'casa', file: 'c001', omo: '', hw: 's.f.' }], isLemmatizzata: true }],
        ['{tot:-1,result: [], isLemmatizzata:false}', { tot: -1, result: [], isLemmatizzata: false }],
        ['{tot:0,result: []}', { tot: 0, result: [] }],
        ['{result:false,error:"Impossibile eseguire l\'accesso. Controlla i dati inseriti oppure effettua la registrazione."}',
            { result: false, error: 'Impossibile eseguire l\'accesso. Controlla i dati inseriti oppure effettua la registrazione.' }],
        ['{result:true,error:""}', { result: true, error: '' }],
        ['{result:false,progress:"42",size:"5.0"}', { result: false, progress: '42', size: '5.0' }],
        ['{result:false, progress:"wait"}', { result: false, progress: 'wait' }],
        ['{result:true,error:\'\',progress:\'100\'}', { result: true, error: '', progress: '100' }],
        ['{tot:2, result:[{id:3, nome:\'Botanica\'}, {id:7, nome:\'Chimica\'}]}',
            { tot: 2, result: [{ id: 3, nome: 'Botanica' }, { id: 7, nome: 'Chimica' }] }],
        ['{tot:0, result:[]}', { tot: 0, result: [] }],
        ['{html:\'a%27b\'}', { html: 'a%27b' }],
        ['{html:\'\'}', { html: '' }],
        ['  {a:1.5, b:-2, c:1e3, d:null, e:[1,2,], f:{},}  ', { a: 1.5, b: -2, c: 1000, d: null, e: [1, 2], f: {} }],
        ['{"quoted":1, \'single\':2, 3:4}', { quoted: 1, single: 2, 3: 4 }],
        ['{s:\'it\\\'s\', t:"\\u00e8\\x41\\n\\\\"}', { s: 'it\'s', t: '\u00e8A\n\\' }]
    ];
    for (const [literal, expected] of cases) {
        assert.deepStrictEqual(plain(V.parseLiteral(literal)), expected, literal);
    }
});

test('an empty literal reads as null', () => {
    const V = load().Vocalume;
    for (const literal of ['', '   ', null, undefined]) {
        assert.strictEqual(V.parseLiteral(literal), null);
    }
});

test('malformed or executable literals are refused, never run', () => {
    const ctx = load();
    const V = ctx.Vocalume;
    const cases = [
        '{result:false,error:"a "quoted" word"}', // an unescaped quote inside the message
        '{a:1} {b:2}',
        '{a:1',
        '{a:\'never closed}',
        '{a:window}',
        'alert(1)',
        '{a:(function(){ window.ran = 1; })()}',
        '{a:1 b:2}',
        '{a:\'\\u12\'}'
    ];
    for (const literal of cases) {
        assert.throws(() => V.parseLiteral(literal), /Literal non valido/, literal);
    }
    assert.strictEqual(ctx.window.ran, undefined);
});

test('SignalQt hands the literal and the intermediate flag to the named callback', () => {
    const ctx = load();
    const got = [];
    ctx.window.onDownload = (value, intermediate) => got.push([plain(value), intermediate]);
    ctx.window.app = { nested: { cb: (value) => got.push(['nested', plain(value)]) } };
    // The statements exactly as native code evaluates them.
    vm.runInContext('SignalQt(\'onDownload\', \'{result:false,progress:"7",size:"5.0"}\', \'true\')', ctx);
    vm.runInContext('SignalQt(\'onDownload\', \'{result:false, progress:"wait"}\', \'true\')', ctx);
    vm.runInContext('SignalQt(\'onDownload\', \'{result:true,error:\\\'\\\',progress:\\\'100\\\'}\')', ctx);
    vm.runInContext('SignalQt(\'app.nested.cb\', "{html:\'x\'}")', ctx);
    assert.deepStrictEqual(got, [
        [{ result: false, progress: '7', size: '5.0' }, true],
        [{ result: false, progress: 'wait' }, true],
        [{ result: true, error: '', progress: '100' }, false],
        ['nested', { html: 'x' }]
    ]);
});

test('SignalQt survives unknown callbacks, bad literals and failing callbacks', () => {
    const ctx = load();
    assert.strictEqual(ctx.SignalQt('noSuchCallback', '{a:1}'), false);
    const got = [];
    ctx.window.onLogin = (value) => got.push(plain(value));
    assert.strictEqual(ctx.SignalQt('onLogin', '{result:false,error:"Errore "di" rete"}'), true);
    assert.strictEqual(got[0].result, false);
    assert.strictEqual(got[0].invalid, true);
    ctx.window.onFile = (value) => got.push(value);
    ctx.SignalQt('onFile', '');
    assert.strictEqual(got[1], null);
    ctx.window.broken = () => { throw new Error('boom'); };
    assert.strictEqual(ctx.SignalQt('broken', '{}'), true);
});

test('percent-encoded content decodes to its text', () => {
    const V = load().Vocalume;
    assert.strictEqual(V.decodeHtmlLiteral({ html: '%3Cdiv%20id%3D%2212%22%3Ecitt%C3%A0%20a%27b%3C%2Fdiv%3E' }),
        '<div id="12">città a\'b</div>');
    assert.strictEqual(V.decodeHtmlLiteral({ html: '' }), '');
    assert.strictEqual(V.decodeHtmlLiteral(null), '');
    assert.strictEqual(V.decodeHtmlLiteral({}), '');
    // A broken sequence still gives what can be read.
    assert.strictEqual(V.decodeHtmlLiteral({ html: 'ab%E0%A4c' }).substring(0, 2), 'ab');
});

test('apostrophes written as &apos; are restored', () => {
    const V = load().Vocalume;
    assert.strictEqual(V.decodeApos('l&apos;altroieri &apos;x&apos;'), 'l\'altroieri \'x\'');
    assert.strictEqual(V.decodeApos(undefined), '');
    assert.strictEqual(V.escapeHtml('<a href="x">l\'&</a>'), '&lt;a href=&quot;x&quot;&gt;l&#39;&amp;&lt;/a&gt;');
});

test('cover file names follow the cover cache', () => {
    const V = load().Vocalume;
    const cases = [
        ['abc.jpg', 'abc.png'],
        ['abc.jpeg', 'abc.pngg'],
        ['abc.png', 'abc.png'],
        ['a.b.gif', 'a.b.png'],
        ['abc', 'abc'],
        ['x.j', 'x.png'],
        ['abc.jpg?v=2', 'abc.png?v=2'],
        ['http://127.0.0.1/img/abc.jpg', ''],
        ['img/abc.jpg', ''],
        ['', ''],
        [undefined, '']
    ];
    for (const [cover, file] of cases) {
        assert.strictEqual(V.coverFile(cover), file, String(cover));
    }
});

test('entry references keep id, file and headword whatever they contain', () => {
    const V = load().Vocalume;
    const entry = { idzenta: 'IT|1', file: 'dir/c 1.html', word: 'l\'altro|è' };
    const ref = V.store.makeRef(entry);
    assert.strictEqual(ref.split('|').length, 3);
    assert.deepStrictEqual(plain(V.store.parseRef(ref)), entry);
    assert.deepStrictEqual(plain(V.store.parseRef('')), { idzenta: '', file: '', word: '' });
    assert.deepStrictEqual(plain(V.store.parseRef('a|%E0|c')), { idzenta: 'a', file: '%E0', word: 'c' });
});

test('timestamps sort as text and read as SQLite timestamps', () => {
    const V = load().Vocalume;
    assert.strictEqual(V.store.timestamp(new Date(2025, 0, 5, 7, 8, 9)), '2025-01-05 07:08:09');
    assert.strictEqual(V.store.timestamp(new Date(2025, 10, 25, 17, 48, 59)), '2025-11-25 17:48:59');
});

test('page address queries are read', () => {
    const V = load().Vocalume;
    assert.deepStrictEqual(plain(V.query('?idbook=42&q=casa%20mia&flag&x=a+b')),
        { idbook: '42', q: 'casa mia', flag: '', x: 'a b' });
    assert.deepStrictEqual(plain(V.query('')), {});
});

test('the books of a SYSTEM map leave out the application rows', () => {
    const V = load().Vocalume;
    const books = plain(V.store.books({ SYSTEM: { LOGIN: 'TRUE' }, a1: { TITLE: 'A', STATUS: '1' } }));
    assert.deepStrictEqual(books, [{ sku: 'a1', TITLE: 'A', STATUS: '1' }]);
});

test('engine scripts can be inlined into a page', () => {
    // A "</script" inside an inlined script would end the page's script block early.
    const files = fs.readdirSync(path.join(engine, 'js'));
    assert.ok(files.length > 0);
    for (const f of files) {
        const text = fs.readFileSync(path.join(engine, 'js', f), 'utf8');
        assert.ok(!/<\/script/i.test(text), f);
    }
    // Every page references its scripts in the one form native code inlines.
    for (const f of fs.readdirSync(engine).filter((n) => n.endsWith('.html'))) {
        const html = fs.readFileSync(path.join(engine, f), 'utf8');
        const tags = html.match(/<script[^>]*>/g) || [];
        assert.ok(tags.length > 0, f);
        for (const tag of tags) {
            const m = /^<script src="([^"]+)">$/.exec(tag);
            assert.ok(m, f + ': ' + tag);
            assert.ok(html.includes(tag + '</script>'), f + ': ' + tag);
            assert.ok(fs.existsSync(path.join(engine, m[1])), f + ': ' + m[1]);
        }
    }
});

test('staging inlines scripts by the native rule', () => {
    const { inlineScripts } = require('./stage.js');
    const base = fs.mkdtempSync(path.join(require('os').tmpdir(), 'stage-'));
    fs.mkdirSync(path.join(base, 'js'));
    fs.writeFileSync(path.join(base, 'js', 'a.js'), 'var a=1;');
    assert.strictEqual(inlineScripts(base, '<p>x</p>'), '<p>x</p>');
    assert.strictEqual(inlineScripts(base, '<script src="js/a.js"></script>!'),
        '<script type="text/javascript">\nvar a=1;\n</script>!');
    assert.strictEqual(inlineScripts(base, '<script type="text/javascript">var b=2;</script>'),
        '<script type="text/javascript">var b=2;</script>');
    assert.strictEqual(inlineScripts(base, '<script src="js/a.js"> </script>'),
        '<script type="text/javascript">\nvar a=1;\n</script> </script>');
});
