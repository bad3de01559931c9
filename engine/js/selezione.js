// Where a word selected in another program opens when the desktop's key for Vocalume looks it up:
// the pop-up beside the pointer or the main window. Native code keeps the choice, because it
// decides before any page is open; the control (#selezione) shows only where it offers it.
// Plain ES5.

(function (V) {
    'use strict';

    var control = V.byId('selezione');
    var n = V.native('selectionLookup');
    if (!control || !n) {
        return;
    }
    control.value = String(n.selectionLookup()) === 'finestra' ? 'finestra' : 'finestrella';
    control.parentNode.removeAttribute('hidden');
    V.on(control, 'change', function () { n.setSelectionLookup(control.value); });
}(Vocalume));
