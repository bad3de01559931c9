// A small asynchronous test runner inside the page under test. Tests run one after the other
// once the page has loaded; the report ("PASS name" / "FAIL name: why" lines and a closing
// "N passed, N failed") goes to window.__pageTestReport and to a "pagetest-report" pre element.
// Plain ES5, so it runs in the embedded web engine as well as in a browser.

var PageTest = (function () {
    'use strict';

    var tests = [];

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
        if (a !== e) {
            this.failures.push((msg ? msg + ': ' : '') + 'expected ' + e + ', got ' + a);
        }
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

    // Polls cond() until it is truthy, then calls then(value); fails the test after 6 s, which
    // outlasts the dictionary page's own 4 s wait for an entry.
    Context.prototype.waitFor = function (label, cond, then) {
        var t = this;
        var until = new Date().getTime() + 6000;
        (function poll() {
            var v = false;
            try {
                v = !t.finished && cond();
            } catch (e) { /* not yet */ }
            if (t.finished) {
                return;
            }
            if (v) {
                t.step(function () { then(v); });
            } else if (new Date().getTime() > until) {
                t.failures.push('timed out waiting for ' + label);
                t.done();
            } else {
                setTimeout(poll, 20);
            }
        }());
    };

    // Runs steps [label, action, condition, check] in turn: each action, then a wait for its
    // condition (none: go on at once), then its check; the test ends after the last one.
    Context.prototype.steps = function (list) {
        var t = this;
        var i = 0;
        (function next() {
            if (i === list.length) {
                t.done();
                return;
            }
            var s = list[i++];
            t.step(function () {
                if (s[1]) {
                    s[1]();
                }
                t.waitFor(s[0], s[2] || function () { return true; }, function (v) {
                    if (s[3]) {
                        s[3](v);
                    }
                    next();
                });
            });
        }());
    };

    Context.prototype.done = function () {
        if (!this.finished) {
            this.finished = true;
            this.finish(this);
        }
    };

    function runAll() {
        var lines = [];
        var passed = 0;
        (function next() {
            var test = tests[lines.length];
            if (!test) {
                lines.push(passed + ' passed, ' + (lines.length - passed) + ' failed');
                var pre = document.createElement('pre');
                pre.id = 'pagetest-report';
                pre.appendChild(document.createTextNode(lines.join('\n')));
                document.body.appendChild(pre);
                window.__pageTestReport = lines.join('\n');
                return;
            }
            var ctx = new Context(test.name, function (c) {
                clearTimeout(timer);
                passed += c.failures.length ? 0 : 1;
                lines.push(c.failures.length ? 'FAIL ' + c.name + ': ' + c.failures.join('; ') : 'PASS ' + c.name);
                setTimeout(next, 0);
            });
            var timer = setTimeout(function () {
                ctx.failures.push('test did not finish');
                ctx.done();
            }, 10000);
            ctx.step(function () { test.fn(ctx); });
        }());
    }

    window.addEventListener('load', function () {
        setTimeout(runAll, 50);
    }, false);

    function byId(id) {
        return document.getElementById(id);
    }

    // The texts of the elements `selector` finds (in `root`, or the document), in order.
    function textsOf(selector, root) {
        return Array.prototype.map.call((root || document).querySelectorAll(selector), function (e) {
            return e.textContent;
        });
    }

    // The words a result list shows, in order.
    function texts(listId) {
        return textsOf('.item .w', byId(listId));
    }

    function listStatus(listId) {
        var s = byId(listId).querySelector('.list-status');
        return s ? s.textContent : '';
    }

    // A condition: the list's first word (or its status text) once no request is running.
    function firstWhenIdle(listId) {
        return function () { return !byId(listId).querySelector('.spinner') && (texts(listId)[0] || listStatus(listId)); };
    }

    // Fires a plain event of the given type with the given fields, as the browser does for input,
    // change and keys.
    function fire(target, type, fields) {
        var ev = document.createEvent('Event');
        ev.initEvent(type, true, true);
        for (var name in fields || {}) {
            ev[name] = fields[name];
        }
        target.dispatchEvent(ev);
        return ev;
    }

    // A keydown with the given key code and, optionally, { ctrl: true, alt: true }.
    function key(target, code, mods) {
        return fire(target, 'keydown', { keyCode: code, ctrlKey: !!(mods && mods.ctrl), altKey: !!(mods && mods.alt) });
    }

    // A condition: the entry view shows `text`.
    function shows(text) {
        return function () { return byId('entry').textContent.indexOf(text) >= 0; };
    }

    // The open dialog's text (null when none is open), and its button labelled `label`.
    function dialogText() {
        var d = document.querySelector('.dialog .dialog-text');
        return d ? d.textContent : null;
    }

    function dialogButton(label) {
        return Array.prototype.filter.call(document.querySelectorAll('.dialog button'), function (b) {
            return b.textContent === label;
        })[0];
    }

    // An action run as if `ms` had passed since the page's last request: the clock is ahead.
    function after(ms, action) {
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

    return {
        test: function (name, fn) {
            tests.push({ name: name, fn: fn });
        },
        $: byId,
        textsOf: textsOf,
        texts: texts,
        shows: shows,
        dialogText: dialogText,
        dialogButton: dialogButton,
        listStatus: listStatus,
        firstWhenIdle: firstWhenIdle,
        fire: fire,
        key: key,
        after: after
    };
}());
