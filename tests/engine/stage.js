#!/usr/bin/env node
// Lays the engine pages out for a browser as the program would show them: every
// <script src="..."></script> is replaced by the script's text (the same rule native code
// applies), the mock bridge is put in front of the page's own scripts, and sample covers are
// drawn into covers/. For each <page>.test.js beside this file a <page>-test.html is written
// that also runs that test file, plus tests.json listing them with their page address query.
//
// Usage: node stage.js <output directory> [engine directory]

'use strict';

const fs = require('fs');
const path = require('path');
const zlib = require('zlib');

const here = __dirname;

// The native inlining rule: find "<script", its ">", a src=" before that ">", the closing quote;
// the tag is replaced by an inline block and a "</script>" right after ">" is dropped.
function inlineScripts(base, html) {
    let out = '';
    let pos = 0;
    for (;;) {
        const s = html.indexOf('<script', pos);
        if (s < 0) {
            return out + html.substring(pos);
        }
        const g = html.indexOf('>', s);
        if (g < 0) {
            throw new Error('unclosed script tag');
        }
        const q = html.indexOf('src="', s);
        if (q < 0 || q > g) {
            out += html.substring(pos, g);
            pos = g;
            continue;
        }
        const close = html.indexOf('"', q + 6);
        if (close < 0) {
            throw new Error('unclosed src value');
        }
        const src = html.substring(q + 5, close);
        const text = fs.readFileSync(path.join(base, src), 'utf8');
        out += html.substring(pos, s) + '<script type="text/javascript">\n' + text + '\n</script>';
        pos = html.substr(g + 1, 9) === '</script>' ? g + 10 : g + 1;
    }
}

function block(file) {
    return '<script type="text/javascript">\n' + fs.readFileSync(path.join(here, file), 'utf8') + '\n</script>\n';
}

// ---- Sample covers: 115 x 170 PNG pictures ----------------------------------------------

const crcTable = (() => {
    const t = [];
    for (let n = 0; n < 256; n++) {
        let c = n;
        for (let k = 0; k < 8; k++) {
            c = c & 1 ? 0xEDB88320 ^ (c >>> 1) : c >>> 1;
        }
        t[n] = c >>> 0;
    }
    return t;
})();

function crc32(buf) {
    let c = 0xFFFFFFFF;
    for (const b of buf) {
        c = crcTable[(c ^ b) & 0xFF] ^ (c >>> 8);
    }
    return (c ^ 0xFFFFFFFF) >>> 0;
}

function chunk(type, data) {
    const len = Buffer.alloc(4);
    len.writeUInt32BE(data.length);
    const body = Buffer.concat([Buffer.from(type, 'ascii'), data]);
    const crc = Buffer.alloc(4);
    crc.writeUInt32BE(crc32(body));
    return Buffer.concat([len, body, crc]);
}

function cover(top, bottom, band) {
    const w = 115;
    const h = 170;
    const raw = Buffer.alloc((w * 3 + 1) * h);
    for (let y = 0; y < h; y++) {
        raw[y * (w * 3 + 1)] = 0;
        for (let x = 0; x < w; x++) {
            const f = y / h;
            let rgb = top.map((c, i) => Math.round(c + (bottom[i] - c) * f));
            if (y > 96 && y < 112) {
                rgb = band;
            }
            if (x < 7) {
                rgb = rgb.map(c => Math.round(c * 0.75));
            }
            const o = y * (w * 3 + 1) + 1 + x * 3;
            raw[o] = rgb[0];
            raw[o + 1] = rgb[1];
            raw[o + 2] = rgb[2];
        }
    }
    const ihdr = Buffer.alloc(13);
    ihdr.writeUInt32BE(w, 0);
    ihdr.writeUInt32BE(h, 4);
    ihdr[8] = 8;
    ihdr[9] = 2;
    return Buffer.concat([
        Buffer.from([0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A]),
        chunk('IHDR', ihdr), chunk('IDAT', zlib.deflateSync(raw)), chunk('IEND', Buffer.alloc(0))
    ]);
}

function copyDir(from, to) {
    fs.mkdirSync(to, { recursive: true });
    for (const name of fs.readdirSync(from)) {
        const src = path.join(from, name);
        if (fs.statSync(src).isDirectory()) {
            copyDir(src, path.join(to, name));
        } else if (!/\.(html|js)$/.test(name)) {
            fs.copyFileSync(src, path.join(to, name));
        }
    }
}

function main() {
    const out = process.argv[2];
    const engine = process.argv[3] || path.join(here, '..', '..', 'engine');
    if (!out) {
        console.error('usage: node stage.js <output directory> [engine directory]');
        process.exit(2);
    }
    fs.mkdirSync(out, { recursive: true });
    copyDir(engine, out);
    const covers = path.join(out, 'covers');
    fs.mkdirSync(covers, { recursive: true });
    // Names as the cover cache writes them: the stored name with its extension made ".png".
    fs.writeFileSync(path.join(covers, 'ita-base.png'), cover([29, 78, 115], [18, 48, 72], [214, 170, 92]));
    fs.writeFileSync(path.join(covers, 'fra-ita.pngg'), cover([47, 107, 85], [26, 66, 52], [236, 226, 200]));
    fs.writeFileSync(path.join(covers, 'sin-con.png'), cover([164, 83, 42], [118, 52, 22], [246, 236, 214]));

    const mock = block('fixtures.js') + block('mockbridge.js');
    const tests = [];
    for (const name of fs.readdirSync(engine)) {
        if (!/\.html$/.test(name)) {
            continue;
        }
        const page = inlineScripts(engine, fs.readFileSync(path.join(engine, name), 'utf8'));
        fs.writeFileSync(path.join(out, name), page.replace('</head>', mock + '</head>'));
        const testFile = name.replace(/\.html$/, '.test.js');
        if (fs.existsSync(path.join(here, testFile))) {
            const testText = fs.readFileSync(path.join(here, testFile), 'utf8');
            const q = /^\/\/ query: (.*)$/m.exec(testText);
            const staged = name.replace(/\.html$/, '-test.html');
            const head = '<script type="text/javascript">window.__mockNoNavigate = true;</script>\n' + mock;
            fs.writeFileSync(path.join(out, staged), page.replace('</head>', head + '</head>')
                .replace(/<\/body>(?![\s\S]*<\/body>)/, block('pagetest.js') + block(testFile) + '</body>'));
            tests.push({ page: staged, query: q ? q[1].trim() : '' });
        }
    }
    fs.writeFileSync(path.join(out, 'tests.json'), JSON.stringify(tests, null, 1));
}

if (require.main === module) {
    main();
}

module.exports = { inlineScripts };
