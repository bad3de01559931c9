// Result literals: native code answers the page with the text of an object literal, which this
// small parser reads instead of evaluating it (Vocalume.parseLiteral; SignalQt in app.js hands
// the value on). Plain ES5, loaded after app.js.

(function (V) {
    'use strict';

    // ---- Result literals -------------------------------------------------------------------
    // Native code answers with the text of an object literal with unquoted keys, e.g.
    // {tot:1,result: [{idzenta: '12', word: 'casa'}], isLemmatizzata:true}. It is read by a small
    // parser rather than evaluated, so no text that reaches a literal can run as script.

    function LiteralParser(text) {
        this.text = text;
        this.pos = 0;
    }

    LiteralParser.prototype.fail = function (what) {
        throw new Error('Literal non valido (' + what + ') alla posizione ' + this.pos);
    };

    LiteralParser.prototype.skipBlanks = function () {
        this.tokenAt(BLANKS);
    };

    LiteralParser.prototype.value = function () {
        this.skipBlanks();
        var c = this.text.charAt(this.pos);
        if (c === '{') {
            return this.object();
        }
        if (c === '[') {
            return this.array();
        }
        if (c === '"' || c === '\'') {
            return this.string();
        }
        if (c === '-' || c === '+' || c === '.' || (c >= '0' && c <= '9')) {
            return this.number();
        }
        var word = this.identifier();
        if (word === 'true') {
            return true;
        }
        if (word === 'false') {
            return false;
        }
        if (word === 'null') {
            return null;
        }
        if (word === 'undefined') {
            return undefined;
        }
        return this.fail('valore');
    };

    // The token of `pattern` (a global expression) that starts where the parser stands, or null:
    // no copy of the rest of the text, which made a long literal cost its length squared.
    LiteralParser.prototype.tokenAt = function (pattern) {
        pattern.lastIndex = this.pos;
        var m = pattern.exec(this.text);
        if (!m || m.index !== this.pos) {
            return null;
        }
        this.pos += m[0].length;
        return m[0];
    };

    // Made once: a pattern written inside a function is a new object at every call.
    var BLANKS = /\s*/g;
    var IDENTIFIER = /[A-Za-z_$][A-Za-z0-9_$]*/g;
    var NUMBER = /[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?/g;
    // The run of a string up to its next quote or backslash.
    var PLAIN = { '\'': /[^'\\]*/g, '"': /[^"\\]*/g };

    LiteralParser.prototype.identifier = function () {
        var word = this.tokenAt(IDENTIFIER);
        return word === null ? this.fail('nome') : word;
    };

    LiteralParser.prototype.number = function () {
        var digits = this.tokenAt(NUMBER);
        return digits === null ? this.fail('numero') : parseFloat(digits);
    };

    LiteralParser.prototype.string = function () {
        var t = this.text;
        var quote = t.charAt(this.pos++);
        var out = '';
        while (this.pos < t.length) {
            out += this.tokenAt(PLAIN[quote]);
            if (this.pos >= t.length) {
                break;
            }
            var c = t.charAt(this.pos++);
            if (c === quote) {
                return out;
            }
            if (c !== '\\') {
                out += c;
                continue;
            }
            var e = t.charAt(this.pos++);
            switch (e) {
            case 'n': out += '\n'; break;
            case 't': out += '\t'; break;
            case 'r': out += '\r'; break;
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'v': out += '\v'; break;
            case '0': out += '\0'; break;
            case '\n': break;
            case 'x':
            case 'u':
                var len = e === 'x' ? 2 : 4;
                var hex = t.substr(this.pos, len);
                if (!/^[0-9A-Fa-f]+$/.test(hex) || hex.length !== len) {
                    this.fail('sequenza di escape');
                }
                out += String.fromCharCode(parseInt(hex, 16));
                this.pos += len;
                break;
            default:
                out += e;
            }
        }
        return this.fail('stringa non chiusa');
    };

    LiteralParser.prototype.array = function () {
        var out = [];
        this.pos++;
        for (;;) {
            this.skipBlanks();
            if (this.text.charAt(this.pos) === ']') {
                this.pos++;
                return out;
            }
            out.push(this.value());
            this.skipBlanks();
            var c = this.text.charAt(this.pos++);
            if (c === ']') {
                return out;
            }
            if (c !== ',') {
                this.fail('elenco');
            }
        }
    };

    LiteralParser.prototype.object = function () {
        var out = {};
        this.pos++;
        for (;;) {
            this.skipBlanks();
            var c = this.text.charAt(this.pos);
            if (c === '}') {
                this.pos++;
                return out;
            }
            var key;
            if (c === '"' || c === '\'') {
                key = this.string();
            } else if (c >= '0' && c <= '9') {
                key = String(this.number());
            } else {
                key = this.identifier();
            }
            this.skipBlanks();
            if (this.text.charAt(this.pos++) !== ':') {
                this.fail('due punti');
            }
            out[key] = this.value();
            this.skipBlanks();
            c = this.text.charAt(this.pos++);
            if (c === '}') {
                return out;
            }
            if (c !== ',') {
                this.fail('oggetto');
            }
        }
    };

    // Returns the value of a result literal; null for an empty literal; throws on a malformed one.
    V.parseLiteral = function (literal) {
        if (literal === null || literal === undefined) {
            return null;
        }
        if (typeof literal !== 'string') {
            return literal;
        }
        var p = new LiteralParser(literal);
        p.skipBlanks();
        if (p.pos === literal.length) {
            return null;
        }
        var value = p.value();
        p.skipBlanks();
        if (p.pos < literal.length) {
            p.fail('testo in eccesso');
        }
        return value;
    };
}(Vocalume));
