// The engine page tests' helper, in two roles. Under node, `node pagetest.js <dir>` lays the
// engine pages out in <dir> as the program shows them (every script tag naming a src replaced by
// the script's text, as native code does; the mock bridge in front of the page's own scripts),
// writes for each <page>[.<variant>].test.js here a <page>[-<variant>]-test.html that runs it and
// prints "<staged page>?<query>" for each of its "// query:" lines (the page runs once per query).
// In a staged page it is PageTest, the runner (plain ES5, as the web engine needs): tests run one
// after the other once the page has loaded; the report ("PASS name" / "FAIL name: why" lines, then
// "N passed, N failed") goes to window.__pageTestReport.

var PageTest;
if (typeof window === 'undefined') {
    (function () {
        'use strict';
        var fs = require('fs');
        var path = require('path');
        var engine = path.join(__dirname, '..', '..', 'engine');
        var out = process.argv[2];
        var read = function (dir, name) { return fs.readFileSync(path.join(dir, name), 'utf8'); };
        var block = function (text) { return '<script type="text/javascript">\n' + text + '\n<\/script>\n'; };
        var put = function (text) { return function () { return text; }; };
        fs.cpSync(engine, out, { recursive: true, filter: function (src) { return !/\.(html|js)$/.test(src); } });
        // A one-pixel picture for each cached cover the mock's SYSTEM rows name.
        fs.mkdirSync(path.join(out, 'covers'), { recursive: true });
        ['ita-base.png', 'fra-ita.pngg', 'sin-con.png'].forEach(function (name) {
            fs.writeFileSync(path.join(out, 'covers', name), Buffer.from('iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mNkYPhf' +
                'DwAChwGA60e6kgAAAABJRU5ErkJggg==', 'base64'));
        });
        fs.readdirSync(engine).filter(function (n) { return /\.html$/.test(n); }).forEach(function (name) {
            var page = read(engine, name).replace(/<script src="([^"]+)"><\/script>/g, function (tag, src) { return block(read(engine, src)); })
                .replace('</head>', put(block(read(__dirname, 'mockbridge.js')) + '</head>'));
            fs.writeFileSync(path.join(out, name), page);
            fs.readdirSync(__dirname).filter(function (n) { return n.indexOf(name.slice(0, -4)) === 0 && /\.test\.js$/.test(n); }).sort()
                .forEach(function (test) {
                    var text = read(__dirname, test);
                    var staged = test.slice(0, -8).replace('.', '-') + '-test.html';
                    fs.writeFileSync(path.join(out, staged), page.replace(/<\/body>(?![\s\S]*<\/body>)/,
                        put(block(read(__dirname, 'pagetest.js')) + block(text) + '</body>')));
                    (text.match(/^\/\/ query: .*$/gm) || ['// query: ']).forEach(function (q) { console.log(staged + '?' + q.slice(10).trim()); });
                });
        });
    }());
} else {
    PageTest = (function () {
        'use strict';
        var tests = [];
        var json = function (v) { return JSON.stringify(v); };
        var why = function (e) { return 'exception: ' + (e && e.message ? e.message : e); };
        var byId = function (id) { return document.getElementById(id); };

        function Context(finish) {
            this.failures = [];
            this.finish = finish;
        }
        Context.prototype.ok = function (cond, msg) { return cond || this.failures.push(msg || 'condition is false'); };
        Context.prototype.eq = function (actual, expected, msg) {
            this.ok(json(actual) === json(expected), (msg ? msg + ': ' : '') + 'expected ' + json(expected) + ', got ' + json(actual));
        };
        Context.prototype.done = function () {
            if (!this.finished) {
                this.finished = true;
                this.finish(this);
            }
        };
        // Runs fn; an exception is a failure that ends the test.
        Context.prototype.step = function (fn) {
            try {
                fn();
            } catch (e) {
                this.failures.push(why(e));
                this.done();
            }
        };

        // The table driver. Each row is [label, action, want]: action(t) (or each of a list of
        // actions) runs, then the test waits until every probe named in `want` reads its value
        // (probes[name](t, value), t.since being where the row's bridge calls begin). With
        // `want.until`, it waits for until(t) instead (true: not at all) and then checks the values
        // as they are; `want.then(t)` runs last. A row that does not match within 6 s (longer than
        // the dictionary page's own 4 s wait for an entry) fails the test, naming what differs.
        Context.prototype.rows = function (probes, rows) {
            var t = this;
            var i = 0;
            (function next() {
                if (i === rows.length) {
                    return t.done();
                }
                var row = rows[i++];
                var want = row[2] || {};
                var read = function (k) {
                    try {
                        return probes[k](t, want[k]);
                    } catch (e) {
                        return why(e);
                    }
                };
                var differs = function () {
                    return Object.keys(want).filter(function (k) {
                        return k !== 'until' && k !== 'then' && json(read(k)) !== json(want[k]);
                    }).map(function (k) { return k + ' expected ' + json(want[k]) + ', got ' + json(read(k)); });
                };
                var until = Date.now() + 6000;
                var poll = function () {
                    var ready = false;
                    try {
                        ready = want.until === true || (want.until ? want.until(t) : !differs().length);
                    } catch (e) { /* not yet */ }
                    if (t.finished) {
                        return;
                    } else if (ready) {
                        t.step(function () {
                            differs().forEach(function (d) { t.failures.push(row[0] + ': ' + d); });
                            return want.then ? want.then(t) : null;
                        });
                        return t.finished || next();
                    } else if (Date.now() > until) {
                        t.failures.push('timed out waiting for ' + row[0] + ': ' + differs().join('; '));
                        t.done();
                    } else {
                        setTimeout(poll, 20);
                    }
                };
                t.step(function () {
                    t.since = MockBridge.calls.length;
                    [].concat(row[1] || []).forEach(function (action) { action(t); });
                    poll();
                });
            }());
        };

        window.addEventListener('load', function () {
            var lines = [];
            setTimeout(function next() {
                var test = tests[lines.length];
                var passed = lines.filter(function (l) { return l.indexOf('PASS') === 0; }).length;
                if (!test) {
                    window.__pageTestReport = lines.concat(passed + ' passed, ' + (lines.length - passed) + ' failed').join('\n');
                    return;
                }
                var ctx = new Context(function (c) {
                    clearTimeout(timer);
                    lines.push(c.failures.length ? 'FAIL ' + test.name + ': ' + c.failures.join('; ') : 'PASS ' + test.name);
                    setTimeout(next, 0);
                });
                var timer = setTimeout(function () {
                    ctx.failures.push('test did not finish');
                    ctx.done();
                }, 20000);
                ctx.step(function () { test.fn(ctx); });
            }, 50);
        }, false);

        // The texts of the elements `selector` finds (in `root`, an element or its id, or in the document), in order.
        function textsOf(selector, root) {
            root = typeof root === 'string' ? byId(root) : root || document;
            return Array.prototype.map.call(root.querySelectorAll(selector), function (e) { return e.textContent; });
        }
        // Fires a plain event of the given type with the given fields, as the browser does for input, change, keys and the mouse.
        function fire(target, type, fields) {
            var ev = document.createEvent('Event');
            ev.initEvent(type, true, true);
            for (var name in fields || {}) {
                ev[name] = fields[name];
            }
            target.dispatchEvent(ev);
            return ev;
        }
        // A keydown with the given key code and, optionally, { ctrlKey: true } or { altKey: true }.
        var key = function (target, code, mods) {
            return fire(target, 'keydown', { keyCode: code, ctrlKey: !!(mods || {}).ctrlKey, altKey: !!(mods || {}).altKey });
        };

        return {
            test: function (name, fn) { tests.push({ name: name, fn: fn }); },
            $: byId,
            // The arguments of the calls of bridge or native method `name` made since the row began.
            calls: function (t, name) {
                return MockBridge.calls.slice(t.since).filter(function (c) { return c[0] === name; }).map(function (c) { return c[1]; });
            },
            textsOf: textsOf,
            fire: fire,
            key: key,
            // An action: field `id` gets `value`, then an event of type `event` fires (a key code: that key goes down).
            fill: function (id, value, event) {
                return function () {
                    byId(id).value = value;
                    return typeof event === 'number' ? key(byId(id), event) : fire(byId(id), event);
                };
            },
            // The open dialog's text ('' when none is open), and its button labelled `label`.
            dialogText: function () { return textsOf('.dialog .dialog-text').join(''); },
            dialogButton: function (label) {
                return Array.prototype.filter.call(document.querySelectorAll('.dialog button'), function (b) { return b.textContent === label; })[0];
            },
            // An action run as if `ms` had passed since the page's last request: the clock is ahead.
            after: function (ms, action) {
                return function () {
                    var now = Date.now;
                    var getTime = Date.prototype.getTime;
                    Date.now = function () { return now() + ms; };
                    Date.prototype.getTime = function () { return getTime.call(this) + ms; };
                    action();
                    Date.now = now;
                    Date.prototype.getTime = getTime;
                };
            }
        };
    }());
}
