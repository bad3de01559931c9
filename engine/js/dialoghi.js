// The dialogs every page shows (Vocalume.message, which native code reaches as messageDialog,
// confirm, ask, editText) and the busy spinner native code switches through __APP: app.js makes
// that object, this file gives it its members. Plain ES5, loaded after app.js.

(function (V) {
    'use strict';

    // ---- Dialogs ---------------------------------------------------------------------------
    // One dialog at a time; later ones wait in a queue. A dialog spec is
    // { title, text, field: { value, label } | null, buttons: [{ label, cls, action(value) }],
    //   focus: index of the button focused first, escape: index of the button Esc presses }.

    var dialogQueue = [];
    var dialogOpen = null;

    function appendMessage(parent, text) {
        String(text === undefined || text === null ? '' : text).split(/<br\s*\/?>/i)
            .forEach(function (line, i) {
                if (i > 0) {
                    parent.appendChild(document.createElement('br'));
                }
                parent.appendChild(document.createTextNode(line));
            });
    }

    function closeDialog(button) {
        var d = dialogOpen;
        if (!d) {
            return;
        }
        var value = d.field ? d.field.value : undefined;
        dialogOpen = null;
        document.removeEventListener('keydown', d.onKey, true);
        if (d.overlay.parentNode) {
            d.overlay.parentNode.removeChild(d.overlay);
        }
        if (d.previousFocus && d.previousFocus.focus) {
            try {
                d.previousFocus.focus();
            } catch (e) { /* element gone */ }
        }
        if (button && button.action) {
            button.action(value);
        }
        openNextDialog();
    }

    function openNextDialog() {
        if (dialogOpen || dialogQueue.length === 0 || !document.body) {
            return;
        }
        var spec = dialogQueue.shift();
        var d = { spec: spec, previousFocus: document.activeElement, field: null, focusable: [] };
        d.overlay = document.createElement('div');
        d.overlay.className = 'dialog-overlay';
        var box = document.createElement('div');
        box.className = 'dialog';
        box.setAttribute('role', spec.buttons.length > 1 ? 'alertdialog' : 'dialog');
        box.setAttribute('aria-modal', 'true');
        var h = document.createElement('h2');
        h.className = 'dialog-title';
        h.id = 'dialog-title';
        h.appendChild(document.createTextNode(spec.title || 'Vocalume'));
        box.setAttribute('aria-labelledby', 'dialog-title');
        box.appendChild(h);
        if (spec.text) {
            var p = document.createElement('p');
            p.className = 'dialog-text';
            appendMessage(p, spec.text);
            box.appendChild(p);
        }
        if (spec.field) {
            d.field = document.createElement('textarea');
            d.field.value = spec.field.value || '';
            d.field.setAttribute('aria-label', spec.field.label || spec.title || '');
            box.appendChild(d.field);
            d.focusable.push(d.field);
        }
        var row = document.createElement('div');
        row.className = 'dialog-buttons';
        spec.buttons.forEach(function (b) {
            var el = document.createElement('button');
            el.type = 'button';
            el.className = 'btn ' + (b.cls || 'btn-secondary');
            el.appendChild(document.createTextNode(b.label));
            V.on(el, 'click', function () {
                closeDialog(b);
            });
            row.appendChild(el);
            d.focusable.push(el);
            b.element = el;
        });
        box.appendChild(row);
        d.overlay.appendChild(box);
        d.onKey = function (ev) {
            if (ev.keyCode === 27) {
                ev.preventDefault();
                // Esc dismisses: it presses a button that cancels or does nothing, never one that
                // confirms an action (a message's OK that signs out stays for the user to press).
                var escape = spec.buttons[spec.escape === undefined ? spec.buttons.length - 1 : spec.escape];
                if (!escape.action || escape.cancels) {
                    closeDialog(escape);
                }
            } else if (ev.keyCode === 9) {
                // Keep the focus inside the dialog.
                var first = d.focusable[0];
                var last = d.focusable[d.focusable.length - 1];
                if (ev.shiftKey && document.activeElement === first) {
                    ev.preventDefault();
                    last.focus();
                } else if (!ev.shiftKey && document.activeElement === last) {
                    ev.preventDefault();
                    first.focus();
                }
            }
        };
        document.addEventListener('keydown', d.onKey, true);
        dialogOpen = d;
        document.body.appendChild(d.overlay);
        if (d.field) {
            d.field.focus();
        } else {
            spec.buttons[spec.focus === undefined ? spec.buttons.length - 1 : spec.focus].element.focus();
        }
    }

    function enqueue(spec) {
        dialogQueue.push(spec);
        openNextDialog();
    }

    V.isDialogOpen = function () {
        return !!dialogOpen;
    };

    // A message with an OK button; `statement` (script text or function) runs when OK is pressed,
    // and only then: Esc does not close a message that has one.
    V.message = function (text, statement, title) {
        enqueue({
            title: title,
            text: text,
            buttons: [{
                label: 'OK',
                cls: 'btn-primary',
                action: !statement ? null : function () {
                    if (typeof statement === 'function') {
                        statement();
                        return;
                    }
                    try {
                        (new Function(String(statement)))();
                    } catch (e) {
                        if (window.console) {
                            console.error('Istruzione non eseguita: ' + e.message);
                        }
                    }
                }
            }]
        });
    };

    // A question with Cancel and a confirming button; the focus starts on Cancel.
    V.confirm = function (spec) {
        enqueue({
            title: spec.title,
            text: spec.text,
            focus: 0,
            escape: 0,
            buttons: [
                { label: spec.cancelLabel || 'Annulla', cls: 'btn-secondary', action: spec.onCancel, cancels: true },
                { label: spec.okLabel || 'OK', cls: spec.danger ? 'btn-danger' : 'btn-primary', action: spec.onOk }
            ]
        });
    };

    // A question with Cancel first and the given buttons [{ label, cls, action }] after it.
    V.ask = function (spec) {
        enqueue({
            title: spec.title,
            text: spec.text,
            focus: 0,
            escape: 0,
            buttons: [{ label: 'Annulla', cls: 'btn-secondary' }].concat(spec.buttons)
        });
    };


    // A text editor: onSave(text); onDelete, when given, adds a delete button.
    V.editText = function (spec) {
        var buttons = [];
        if (spec.onDelete) {
            buttons.push({ label: spec.deleteLabel || 'Elimina', cls: 'btn-ghost', action: spec.onDelete });
        }
        buttons.push({ label: 'Annulla', cls: 'btn-secondary' });
        buttons.push({ label: spec.saveLabel || 'Salva', cls: 'btn-primary', action: spec.onSave });
        enqueue({
            title: spec.title,
            text: spec.text,
            field: { value: spec.value, label: spec.label },
            buttons: buttons,
            escape: buttons.length - 2
        });
    };

    // ---- Busy spinner ----------------------------------------------------------------------

    var spinnerOn = false;
    var spinnerText = '';
    var spinnerEl = null;
    var spinnerListeners = [];

    // fn(on) runs whenever the spinner is switched, also by native code ("__APP.spinner=false").
    V.onSpinner = function (fn) {
        spinnerListeners.push(fn);
    };

    function renderSpinner() {
        if (!document.body) {
            return;
        }
        if (!spinnerEl) {
            spinnerEl = document.createElement('div');
            spinnerEl.className = 'busy-overlay';
            spinnerEl.id = 'busy';
            spinnerEl.setAttribute('role', 'status');
            spinnerEl.setAttribute('aria-live', 'polite');
            spinnerEl.innerHTML = '<div class="busy-box"><span class="spinner" aria-hidden="true"></span>' +
                '<span class="busy-text"></span></div>';
            document.body.appendChild(spinnerEl);
        }
        spinnerEl.querySelector('.busy-text').textContent = spinnerText || 'Attendere...';
        V.show(spinnerEl, spinnerOn);
    }

    V.app.busy = function (text) {
        spinnerText = text || '';
        spinnerOn = true;
        renderSpinner();
    };
    Object.defineProperty(V.app, 'spinner', {
        enumerable: true,
        get: function () {
            return spinnerOn;
        },
        set: function (value) {
            spinnerOn = !!value;
            if (!spinnerOn) {
                spinnerText = '';
            }
            renderSpinner();
            spinnerListeners.forEach(function (fn) {
                fn(spinnerOn);
            });
        }
    });
}(Vocalume));
