// A small asynchronous test runner that lives in the page under test. Tests run one after the
// other once the page has loaded; the report ("PASS name" / "FAIL name: why" lines and a closing
// "N passed, N failed") goes to window.__pageTestReport and to a "pagetest-report" pre element.
// Plain ES5, so it runs in the embedded web engine as well as in a browser.

var PageTest = (function () {
    'use strict';

    var tests = [];
    var TEST_TIMEOUT_MS = 10000;

    function Context(name, finish) {
        this.name = name;
        this.failures = [];
        this.finished = false;
        this.finish = finish;
    }

    Context.prototype.ok = function (cond, msg) {
        if (!cond) {
            this.failures.push(msg || 'condition is false');
        }
    };

    Context.prototype.eq = function (actual, expected, msg) {
        var a = JSON.stringify(actual);
        var e = JSON.stringify(expected);
        if (a && a.length > 160) {
            a = a.substring(0, 160) + '...';
        }
        if (a !== e) {
            this.failures.push((msg ? msg + ': ' : '') + 'expected ' + e + ', got ' + a);
        }
    };

    // Polls cond() until it is truthy, then calls then(value); fails the test on time-out.
    Context.prototype.waitFor = function (label, cond, then, ms) {
        var t = this;
        var until = new Date().getTime() + (ms || 3000);
        (function poll() {
            if (t.finished) {
                return;
            }
            var v = false;
            try {
                v = cond();
            } catch (e) {
                v = false;
            }
            if (v) {
                t.step(function () { then(v); });
                return;
            }
            if (new Date().getTime() > until) {
                t.failures.push('timed out waiting for ' + label);
                t.done();
                return;
            }
            setTimeout(poll, 20);
        }());
    };

    // Runs fn, turning an exception into a failure that ends the test.
    Context.prototype.step = function (fn) {
        try {
            fn();
        } catch (e) {
            this.failures.push('exception: ' + (e && e.message ? e.message : e));
            this.done();
        }
    };

    Context.prototype.done = function () {
        if (this.finished) {
            return;
        }
        this.finished = true;
        this.finish(this);
    };

    function report(lines, passed, failed) {
        lines.push(passed + ' passed, ' + failed + ' failed');
        var text = lines.join('\n');
        var pre = document.createElement('pre');
        pre.id = 'pagetest-report';
        pre.appendChild(document.createTextNode(text));
        document.body.appendChild(pre);
        window.__pageTestReport = text;
    }

    function runAll() {
        var lines = [];
        var passed = 0;
        var failed = 0;
        var i = 0;
        (function next() {
            if (i >= tests.length) {
                report(lines, passed, failed);
                return;
            }
            var test = tests[i++];
            var timer = null;
            var ctx = new Context(test.name, function (c) {
                clearTimeout(timer);
                if (c.failures.length) {
                    failed++;
                    lines.push('FAIL ' + c.name + ': ' + c.failures.join('; '));
                } else {
                    passed++;
                    lines.push('PASS ' + c.name);
                }
                setTimeout(next, 0);
            });
            timer = setTimeout(function () {
                ctx.failures.push('test did not finish');
                ctx.done();
            }, TEST_TIMEOUT_MS);
            ctx.step(function () { test.fn(ctx); });
        }());
    }

    window.addEventListener('load', function () {
        setTimeout(runAll, 50);
    }, false);

    return {
        test: function (name, fn) {
            tests.push({ name: name, fn: fn });
        }
    };
}());
