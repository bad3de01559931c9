// Library page: the downloads. This page's own download and the others native code runs, their
// progress on the cards, what is kept of a download that stopped ("Riprendi" and "Annulla"), the
// answers native code sends to onDownload, pause, cancel and discard, and a download the program
// was running when it ended, which goes on by itself. The state is Vocalume.lib's, made by
// libreria-elenco.js.

(function (V, L) {
    'use strict';

    var DOWNLOAD_KEY = 'vocalume.download';
    // The states native code tells beside the bridge, in the page's phases.
    var NATIVE_PHASES = { download: 'progress', queued: 'queued', install: 'wait' };

    // A download outlives the page (a synchronisation reloads it): remember whose it is.
    function rememberDownload(sku) {
        try {
            if (sku) {
                window.localStorage.setItem(DOWNLOAD_KEY, sku);
            } else {
                window.localStorage.removeItem(DOWNLOAD_KEY);
            }
        } catch (e) { /* no local storage: progress after a reload is then not shown */ }
    }

    function rememberedDownload() {
        try {
            return window.localStorage.getItem(DOWNLOAD_KEY) || '';
        } catch (e) {
            return '';
        }
    }

    // The download or installation of `sku` under way, this page's own or another; null for none.
    L.activeFor = function (sku) {
        return L.download && L.download.sku === sku ? L.download : L.others[sku] || null;
    };

    L.progressHtml = function (active) {
        var phase = active.phase;
        var text;
        if (phase === 'wait') {
            text = 'Installazione in corso...';
        } else if (phase === 'queued') {
            text = 'In coda per l\'installazione...';
        } else if (phase === 'progress') {
            // Number and unit stay together when the line wraps.
            var size = sizeText(active.size, active.bytes);
            text = 'Download ' + active.percent + '%' + (size ? ' di ' + V.escapeHtml(size) : '');
        } else {
            text = 'Avvio del download...';
        }
        // Only this page's own transfer can be cancelled: native code cancels the last one asked.
        var cancellable = active === L.download && phase !== 'wait' && phase !== 'queued';
        return progressBarHtml(phase === 'progress' ? active.percent : null, text,
            cancellable ? pauseButton() + L.button('Annulla', 'btn-secondary btn-small', 'cancel', active.sku) : '');
    };

    // A progress bar with its line of text and buttons; a null `percent` runs without an end.
    function progressBarHtml(percent, text, buttons) {
        var determinate = percent !== null;
        return '<div class="book-progress" role="progressbar" aria-valuemin="0" aria-valuemax="100"' +
            (determinate ? ' aria-valuenow="' + percent + '"' : '') + ' aria-label="' + text + '">' +
            '<div class="progress-track"><div class="progress-bar' + (determinate ? '' : ' indeterminate') + '"' +
            (determinate ? ' style="width:' + percent + '%"' : '') + '></div></div>' +
            '<div class="progress-line"><span class="text">' + text + '</span>' + buttons + '</div></div>';
    }

    // A transfer of this page's own can be paused when native code keeps what arrived.
    function pauseButton() {
        return V.native('pauseDownload') ? L.button('Pausa', 'btn-secondary btn-small', 'pause', L.download.sku) : '';
    }

    // A kept download's words, on its progress bar and on its card's badge.
    L.KEPT_TEXTS = { interrupted: 'Download interrotto', paused: 'Download in pausa', stopped: 'Download interrotto' };

    // A download that stopped before its end: how far it got, continued by "Riprendi" (from where
    // it stopped) or removed by "Annulla".
    L.keptHtml = function (part, busy) {
        var size = sizeText(part.size, part.bytes);
        var text = L.KEPT_TEXTS[part.state] + ': ' + part.percent + '%' + (size ? ' di ' + V.escapeHtml(size) : '');
        return progressBarHtml(part.percent, text,
            L.button('Riprendi', 'btn-primary btn-small', 'download', part.sku, busy,
                busy ? 'Attendi la fine del download in corso' : 'Continua da dove si era fermato') +
            L.button('Annulla', 'btn-secondary btn-small', 'discard', part.sku));
    };

    // What native code's `slot` tells beside the bridge, read; null when it has no such slot or
    // its answer cannot be read.
    function nativeJson(slot) {
        var native = V.native(slot);
        try {
            return native ? JSON.parse(native[slot]()) : null;
        } catch (e) {
            return null;
        }
    }

    // What native code keeps of stopped downloads, in the page's shape.
    L.keptDownloads = function () {
        var told = nativeJson('keptDownloads');
        var parts = {};
        Object.keys(told || {}).forEach(function (sku) {
            var p = told[sku] || {};
            if (L.KEPT_TEXTS[p.state] && L.bookBySku(sku)) {
                parts[sku] = { sku: sku, state: p.state, percent: p.percent || 0,
                    size: p.size ? String(p.size) : '', bytes: p.bytes ? String(p.bytes) : '' };
            }
        });
        return parts;
    };

    // A download the program was running when it ended goes on by itself, when nothing else runs.
    L.continueInterrupted = function () {
        if (L.download || Object.keys(L.others).length > 0) {
            return;
        }
        var skus = Object.keys(L.kept).filter(function (sku) { return L.kept[sku].state === 'interrupted'; });
        if (skus.length > 0) {
            L.startDownload(skus[0]);
        }
    };

    // The size native code gives in megabytes with one decimal, in kilobytes below 1 MB. The
    // exact size in bytes, when native code beside the bridge knows it, gives the kilobytes of
    // any package; without it a size under 0.05 MB arrives as "0.0" and can only be told as small.
    function sizeText(mb, bytes) {
        var b = parseInt(bytes, 10);
        if (b > 0 && b < 1048576) {
            return Math.max(1, Math.round(b / 1024)) + '\u00a0KB';
        }
        var n = parseFloat(mb);
        if (isNaN(n)) {
            return '';
        }
        if (n >= 1) {
            return String(mb) + '\u00a0MB';
        }
        return n > 0 ? Math.round(n * 1024) + '\u00a0KB' : 'meno di 50\u00a0KB';
    }

    // What native code has under way, as it tells it beside the bridge: sku -> state in the
    // page's shape, or null when it cannot tell.
    function nativeDownloads() {
        var told = nativeJson('downloadStates');
        if (!told) {
            return null;
        }
        var states = {};
        Object.keys(told).forEach(function (sku) {
            var s = told[sku] || {};
            if (NATIVE_PHASES[s.state] && L.bookBySku(sku)) {
                states[sku] = { sku: sku, phase: NATIVE_PHASES[s.state], percent: s.percent || 0,
                    size: s.size ? String(s.size) : '', bytes: s.bytes ? String(s.bytes) : '' };
            }
        });
        return states;
    }

    // A page loaded while downloads run (a synchronisation or a return from a dictionary reloads
    // it) shows them: the only one becomes its own again, whose answers it follows; with several,
    // each is shown as it stands and none is started again meanwhile. A download that ended
    // among the others brings the library up to date.
    L.followNative = function () {
        var states = nativeDownloads();
        if (!states) {
            return false;
        }
        var skus = Object.keys(states);
        if (!L.download && skus.length === 1) {
            L.download = states[skus[0]];
            rememberDownload(L.download.sku);
        }
        var ended = Object.keys(L.others).some(function (sku) { return !states[sku]; });
        L.others = {};
        skus.forEach(function (sku) {
            if (!L.download || sku !== L.download.sku) {
                L.others[sku] = states[sku];
            }
        });
        return ended;
    };

    L.startDownload = function (sku) {
        if (L.download) {
            return;
        }
        delete L.errors[sku];
        L.download = { sku: sku, phase: 'start', percent: 0, size: '' };
        rememberDownload(sku);
        L.refreshActions();
        V.bridge('download', sku, 'onDownload');
    };

    function endDownload() {
        L.download = null;
        rememberDownload('');
    }

    window.onDownload = function (res) {
        res = res || {};
        if (L.followNative()) {
            L.load();
        }
        if (!L.download) {
            var sku = rememberedDownload();
            if (!sku || !L.bookBySku(sku)) {
                if (res.result === true) {
                    L.load();
                }
                return;
            }
            L.download = { sku: sku, phase: 'start', percent: 0, size: '' };
        }
        if (res.result === true) {
            endDownload();
            L.load();
            return;
        }
        if (res.progress === 'wait' || res.progress === 'queued') {
            L.download.phase = res.progress;
        } else if (res.error || res.invalid || res.progress === undefined) {
            L.errors[L.download.sku] = V.decodeApos(res.error || 'Si è verificato un errore nello scaricamento del dizionario');
            endDownload();
            // What arrived before the failure may be kept, to be continued.
            L.kept = L.keptDownloads();
        } else {
            var p = parseInt(res.progress, 10);
            L.download.phase = 'progress';
            L.download.percent = isNaN(p) ? 0 : Math.max(0, Math.min(100, p));
            L.download.size = res.size ? String(res.size) : '';
            L.download.bytes = downloadBytes(L.download.sku);
            if (!L.download.bytes && V.native('downloadSize')) {
                // Native code notes the size right after telling the progress.
                var shown = L.download;
                setTimeout(function () {
                    if (L.download === shown && !L.download.bytes) {
                        L.download.bytes = downloadBytes(L.download.sku);
                        L.refreshActions();
                    }
                }, 0);
            }
        }
        L.refreshActions();
    };

    // The size in bytes of the package being downloaded, '' while native code does not know it.
    function downloadBytes(sku) {
        var native = V.native('downloadSize');
        return native ? String(native.downloadSize(sku) || '') : '';
    }

    // Native code sends nothing after a pause; what arrived is kept for "Riprendi".
    L.pauseDownload = function (sku) {
        V.native('pauseDownload').pauseDownload(sku);
        endDownload();
        L.kept = L.keptDownloads();
        L.refreshActions();
    };

    // Native code sends nothing after a cancel, and keeps nothing of the transfer.
    L.cancelDownload = function () {
        V.bridge('cancelDownload');
        endDownload();
        L.kept = L.keptDownloads();
        L.refreshActions();
    };

    L.discardKept = function (sku) {
        var native = V.native('discardDownload');
        if (native) {
            native.discardDownload(sku);
        }
        delete L.kept[sku];
        delete L.errors[sku];
        L.refreshActions();
    };
}(Vocalume, Vocalume.lib));
