#!/usr/bin/env node
// Lays the engine pages out as the program shows them: every <script src="..."></script> is
// replaced by the script's text (the rule native code applies) and the mock bridge goes in
// front of the page's own scripts. Each <page>.test.js beside this file also gets a
// <page>-test.html that runs it, and each <page>.<variant>.test.js (the page opened another way)
// a <page>-<variant>-test.html; tests.json lists those with each page address query named in a
// "// query:" line of the test file (the page runs once per query).
// Usage: node stage.js <output directory>

'use strict';

const fs = require('fs');
const path = require('path');

const here = __dirname;
const engine = path.join(here, '..', '..', 'engine');
const out = process.argv[2];

const block = (text) => '<script type="text/javascript">\n' + text + '\n</script>\n';
const inlineScripts = (html) => html.replace(/<script src="([^"]+)"><\/script>/g,
    (tag, src) => block(fs.readFileSync(path.join(engine, src), 'utf8')));

fs.cpSync(engine, out, { recursive: true, filter: (src) => !/\.(html|js)$/.test(src) });
// A one-pixel picture for each cached cover the mock's SYSTEM rows name.
const pixel = Buffer.from('iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mNkYPhfDwAChwGA60e6kgAAAABJRU5ErkJggg==', 'base64');
fs.mkdirSync(path.join(out, 'covers'), { recursive: true });
for (const name of ['ita-base.png', 'fra-ita.pngg', 'sin-con.png']) {
    fs.writeFileSync(path.join(out, 'covers', name), pixel);
}

const mock = block(fs.readFileSync(path.join(here, 'mockbridge.js'), 'utf8'));
const tests = [];
for (const name of fs.readdirSync(engine).filter((n) => n.endsWith('.html'))) {
    const page = inlineScripts(fs.readFileSync(path.join(engine, name), 'utf8')).replace('</head>', mock + '</head>');
    fs.writeFileSync(path.join(out, name), page);
    const base = name.replace(/\.html$/, '');
    const testFiles = fs.readdirSync(here).filter((n) => n.startsWith(base + '.') && n.endsWith('.test.js')).sort();
    for (const testName of testFiles) {
        const text = fs.readFileSync(path.join(here, testName), 'utf8');
        const variant = testName.slice(base.length + 1, -'.test.js'.length);
        const staged = base + (variant ? '-' + variant : '') + '-test.html';
        const runner = block(fs.readFileSync(path.join(here, 'pagetest.js'), 'utf8')) + block(text);
        fs.writeFileSync(path.join(out, staged), page.replace(/<\/body>(?![\s\S]*<\/body>)/, runner + '</body>'));
        for (const query of text.match(/^\/\/ query: .*$/gm) || ['// query: ']) {
            tests.push({ page: staged, query: query.slice(10).trim() });
        }
    }
}
fs.writeFileSync(path.join(out, 'tests.json'), JSON.stringify(tests));
