// The engine's call-back entry point and result literals under node: node --test unit.test.js

'use strict';

const test = require('node:test');
const assert = require('node:assert');
const fs = require('fs');
const path = require('path');
const vm = require('vm');

const engine = path.join(__dirname, '..', '..', 'engine');

// The shared script and its result literals, in the pages' order, in a context with just
// enough of a window to load.
function load() {
    const window = { console: { warn() {}, error() {} }, location: { search: '' } };
    window.window = window;
    const context = vm.createContext({ window, document: {}, console: window.console });
    for (const file of ['js/app.js', 'js/letterale.js']) {
        vm.runInContext(fs.readFileSync(path.join(engine, file), 'utf8'), context, { filename: file });
    }
    return context;
}

// Values made in the script's context compare by structure in plain JSON.
const plain = (v) => (v === undefined ? undefined : JSON.parse(JSON.stringify(v)));

// Literals as native code writes them, with their values; then ones refused without running any of them.
test('result literals: read as native code writes them, the malformed or executable refused', () => {
    const ctx = load();
    const cases = [
        ['{tot:1,result: [{idzenta: \'12\', word: \'l&apos;altro\', file: \'c001\', omo: \'\', hw: \'s.f.\'}], isLemmatizzata:true}',
            { tot: 1, result: [{ idzenta: '12', word: 'l&apos;altro', file: 'c001', omo: '', hw: 's.f.' }], isLemmatizzata: true }],
        ['{result:false,error:"Impossibile eseguire l\'accesso."}', { result: false, error: 'Impossibile eseguire l\'accesso.' }],
        // A download's failure quoting the store's refusal, as its statement hands it on.
        ['{result:false,error:"Rifiutato: \\u0022codice\\u0022 non valido\\u000ariprovare \\u005c"}',
            { result: false, error: 'Rifiutato: "codice" non valido\nriprovare \\' }],
        ['{tot:2, result:[{id:3, nome:\'Botanica\'}, {id:7, nome:\'Arte dell\\u0027abitare\'}]}',
            { tot: 2, result: [{ id: 3, nome: 'Botanica' }, { id: 7, nome: 'Arte dell\'abitare' }] }],
        ['  {a:1.5, b:-2, c:1e3, d:null, e:[1,2,], f:{},}  ', { a: 1.5, b: -2, c: 1000, d: null, e: [1, 2], f: {} }],
        ['{"quoted":1, \'single\':2, 3:4, s:"\\x41\\n\\\\"}', { quoted: 1, single: 2, 3: 4, s: 'A\n\\' }],
        ['', null]
    ];
    for (const [literal, expected] of cases) {
        assert.deepStrictEqual(plain(ctx.Vocalume.parseLiteral(literal)), expected, literal);
    }
    for (const literal of ['{result:false,error:"a "quoted" word"}', '{a:1} {b:2}', '{a:\'never closed}', '{a:window}', 'alert(1)',
        '{a:(function(){ window.ran = 1; })()}', '{a:\'\\u12\'}', '{@a:1}', '{-:1,a:2}', '{a:1,}x']) {
        assert.throws(() => ctx.Vocalume.parseLiteral(literal), /Literal non valido/, literal);
    }
    assert.strictEqual(ctx.window.ran, undefined);
});

test('SignalQt hands each statement\'s value and intermediate marker to the named callback', () => {
    const ctx = load();
    const got = [];
    ctx.window.onDownload = (value, intermediate) => got.push([plain(value), intermediate]);
    ctx.window.broken = () => { throw new Error('boom'); };
    // The statements exactly as native code evaluates them.
    const statements = [
        ['SignalQt(\'onDownload\', \'{result:false,progress:"7",size:"5.0"}\', \'true\')', true,
            [{ result: false, progress: '7', size: '5.0' }, true]],
        ['SignalQt(\'onDownload\', \'{result:true,error:\\\'\\\',progress:\\\'100\\\'}\')', true,
            [{ result: true, error: '', progress: '100' }, false]],
        ['SignalQt(\'onDownload\', "")', true, [null, false]],
        ['SignalQt(\'onDownload\', \'{error:"un "errore""}\')', true,
            [{ result: false, error: 'Risposta non valida dal programma.', invalid: true }, false]],
        ['SignalQt(\'noSuchCallback\', \'{a:1}\')', false, null],
        ['SignalQt(\'broken\', \'{}\')', true, null]
    ];
    for (const [statement, handled, expected] of statements) {
        const before = got.length;
        assert.strictEqual(vm.runInContext(statement, ctx), handled, statement);
        assert.deepStrictEqual(got.slice(before), expected ? [expected] : [], statement);
    }
});
