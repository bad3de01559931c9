#!/usr/bin/env bash
# Writes the fuzz targets' seed corpus into OUTDIR/<target>/: small valid inputs of every kind
# each parser reads, and damaged or hostile variants. Archives come from the hostile-archive
# script when the repository has it, and from zip here in any case.
set -euo pipefail
out="${1:?usage: make-corpus.sh OUTDIR}"
root="$(cd "$(dirname "$0")/.." && pwd)"
mkdir -p "$out"
out="$(cd "$out" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

seed() { # seed TARGET NAME TEXT (printf escapes in TEXT are expanded)
  mkdir -p "$out/$1"
  printf "$3" > "$out/$1/$2"
}

# Script inliner: the engine's own pages and the shapes of script tag it meets.
mkdir -p "$out/fuzz_inlinescripts"
cp "$root"/engine/*.html "$out/fuzz_inlinescripts/"
seed fuzz_inlinescripts tags '<html><head><script src="js/a.js"></script><script>var x;</script>\n<script type="text/javascript" src="b.js"></script></head><body></body></html>'
seed fuzz_inlinescripts outside '<script src="../secret.js"></script><script src="/etc/secret.js"></script><script src="js\\\\..\\\\..\\\\secret.js"></script>'
seed fuzz_inlinescripts unclosed '<p>a</p><script src="js/a.js"'
seed fuzz_inlinescripts unclosedpath '<script src="js/a.js></script>'
seed fuzz_inlinescripts emptysrc '<script src=""></script><script src="b.js">'

# Division extraction: the asked id, then the XHTML.
seed fuzz_divextraction entry 'voce1\n<html xmlns="http://www.w3.org/1999/xhtml"><body><div id="voce1"><p>casa</p></div><div id="voce2"><b>x</b></div></body></html>'
seed fuzz_divextraction nested "a'b\n<html><body><div id=\"a'b\"><div id=\"a'b\">in</div></div><div id='x'/></body></html>"
seed fuzz_divextraction entities 'x&amp;y\n<html><div id="x&amp;y">1</div><div id="x&amp;amp;y">2</div></html>'
seed fuzz_divextraction notxml 'v\n<html><div id="v">'

# Entry cleaning: entries as packages hold them, and hostile ones; the division extraction meets
# the same entries.
seed fuzz_entrycleaner entry '<div id="v1" class="voce"><h2 class="lemma">casa<sup>1</sup></h2><p class="def">Edificio. <a href="c.xhtml#v2">casale</a> <a href="https://esempio.it/casa">scheda</a> <img src="img/casa.png" alt=""/></p><table><tr><td colspan="2">t</td></tr></table><ol start="2"><li>uno</li></ol></div>'
seed fuzz_entrycleaner imagemap '<div id="v"><img usemap="#m" src="a.png"/><map name="m"><area shape="rect" coords="0,0,999,999" href="http://host/x.html"/></map></div>'
seed fuzz_entrycleaner schemes '<div id="v"><a href="java&#9;script:x()">1</a><a href=" &#10;JavaScript:x()">2</a><a href="data:text/html,x">3</a><a href="//h/x">4</a><a href="vbscript:x">5</a><img src="http://h/spia.png"/></div>'
seed fuzz_entrycleaner active '<div id="v" onclick="x()"><script>location="http://h/"</script><form action="http://h/"><input name="q"/></form><meta http-equiv="refresh" content="0;url=http://h/"/><base href="http://h/"/><iframe src="http://h/"/><object data="http://h/"/><embed src="http://h/"/><svg><a href="javascript:x()">s</a></svg><b style="background:url(http://h/)">u</b></div>'
seed fuzz_entrycleaner notxml '<p><b>casa</p><SCRIPT>x()</SCRIPT><a ID="a" id="b">'
for f in "$out"/fuzz_entrycleaner/*; do
  { printf 'v\n<html><body>'; cat "$f"; printf '</body></html>'; } > "$out/fuzz_divextraction/hostile-$(basename "$f")"
done

# Page parameters.
seed fuzz_pageparameters plain 'idbook=it-en&scope=3&word=casa'
seed fuzz_pageparameters odd 'a=b=c&&=&idbook&idbook=x&=y'
seed fuzz_pageparameters encoded 'word=caf%%C3%%A8&x=%%26%%3D'

# Search statements: word, language, start, rows, scope.
seed fuzz_searchstatements word 'casa\nit\n0\n10\n'
seed fuzz_searchstatements apostrophe "l'acqua\nit\n20\n10\n3"
seed fuzz_searchstatements injection "x' OR 1=1; DROP TABLE lemma; --\nen'); --\n0\n10\n"
seed fuzz_searchstatements numbers 'a\nit\n1 OR 1\n10\n1; DELETE FROM lemma'
seed fuzz_searchstatements wildcards 'a%%_*[?]\\\\\nit\n000000000000000001\n99\n0'

# Service replies: a service byte (0 login, 1 library, 2 version), then the body.
seed fuzz_servicereplies login-ok '\000<?xml version="1.0" encoding="ISO-8859-1"?><result><field name="errorCode">0</field><field name="errorDescription"></field></result>'
seed fuzz_servicereplies login-denied '\000<result><field name="errorCode">3</field><field name="errorDescription">Accesso negato \350</field></result>'
seed fuzz_servicereplies login-zero '\000<result><field name="errorCode">0</field></result>\000<junk'
seed fuzz_servicereplies library '\001<?xml version="1.0" encoding="UTF-8"?><result><field name="errorCode">0</field><field name="startCharset" langId="1">àè</field><field name="endCharset" langId="1">ae</field><book><field name="bookId">it-en</field><field name="title">Dizionario</field><field name="revision">2</field><field name="purchased">1</field></book><book><field name="bookId">x</field><field name="bookId">y</field><other name="title">t</other></book></result>'
seed fuzz_servicereplies library-error '\001<result><book><field name="bookId">a</field></book><field name="errorCode">9</field><field name="errorDescription">Sessione scaduta</field></result>'
seed fuzz_servicereplies version '\002<result><software><field name="version">1.2.0</field><field name="download_url">http://127.0.0.1/scarica</field></software></result>'
seed fuzz_servicereplies version-same '\002<result><software><field name="version">1.1.0</field></software><software><field name="download_url">x</field></software></result>'
seed fuzz_servicereplies notxml '\002Service Unavailable'
seed fuzz_servicereplies doctype '\001<!DOCTYPE result [<!ENTITY b "<book><field name=\x27bookId\x27>e</field></book>">]><result>&b;&b;</result>'

# Archives: a page archive, stored and deflated members, folders, damaged and hostile ones.
mkdir -p "$work/src/js" "$work/src/XX" "$work/src/Xetc" "$work/arch"
printf '<html><body><p>pagina</p></body></html>\n' > "$work/src/page.html"
printf 'var a = 1;\n' > "$work/src/js/a.js"
head -c 3000 /dev/zero | tr '\0' 'a' > "$work/src/XX/x"
printf 'x\n' > "$work/src/Xetc/x"
ln -s /tmp "$work/src/link"
(
  cd "$work/src"
  zip -q -X -0 "$work/arch/stored.zip" page.html
  zip -q -X -9 "$work/arch/deflated.zip" page.html js/a.js
  zip -q -X -r "$work/arch/folders.zip" js XX
  zip -q -X -y "$work/arch/symlink.zip" link page.html
  zip -q -X "$work/arch/twins.zip" page.html XX/x Xetc/x
)
# Entry names that leave the target: same-length edits of names zip would not store.
perl -0777 -pe 's#XX/x#../x#g' "$work/arch/twins.zip" > "$work/arch/dotdot.zip"
perl -0777 -pe 's#Xetc/x#/etc/x#g' "$work/arch/twins.zip" > "$work/arch/absolute.zip"
printf 'PK\005\006\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000' > "$work/arch/empty.zip"
head -c 100 "$work/arch/deflated.zip" > "$work/arch/truncated.zip"
size=$(stat -c %s "$work/arch/deflated.zip")
tail -c $((size - 30)) "$work/arch/deflated.zip" > "$work/arch/headless.zip"
if [ -x "$root/scripts/make-hostile-archives.sh" ]; then
  "$root/scripts/make-hostile-archives.sh" "$work/arch/hostile" >/dev/null \
    || echo "make-hostile-archives.sh failed; seeding with this script's archives only" >&2
fi
for target in fuzz_zipmember fuzz_extraction; do
  mkdir -p "$out/$target"
  find "$work/arch" -type f -size -64k -exec cp {} "$out/$target/" \;
done
echo "seed corpus in $out"
