#!/bin/sh
# Builds QBManual.pdf from QBManual.ms with groff's PDF driver (gropdf).
#   build-manual.sh SOURCE.ms OUTPUT.pdf [DIALOG.png]
# The picture of the Options dialog is the screenshot the dialog's tests save;
# without one the manual says that the picture is missing.
set -eu
src=$(realpath "$1")
out=$(realpath -m "$2")
shot=${3:-}
here=$(dirname "$0")
work=$out.work
mkdir -p "$work"

if [ -n "$shot" ] && [ -f "$shot" ]; then
  # ImageMagick's PDF writer is switched off by Debian's policy; PPM is not.
  convert "$shot" -background white -alpha remove -alpha off -depth 8 "ppm:$work/dialog.ppm"
  size=$(perl "$here/ppm2pdf.pl" "$work/dialog.ppm" "$work/dialog.pdf")
  set -- $size
  sed -e "s|@W@|$1|; s|@H@|$2|; s|@FILE@|$work/dialog.pdf|" > "$work/picture.ms" <<'MS'
.nr dialog-shot 1
.\" .DIALOGSHOT   places the picture centred, no wider than the line
.de DIALOGSHOT
.nr dialog-w (p;@W@)
.nr dialog-h (p;@H@)
.if \\n[dialog-w]>\\n[.l] \\{\
.  nr dialog-h (\\n[dialog-h]*1000/\\n[dialog-w]*\\n[.l]/1000)
.  nr dialog-w \\n[.l]
.\\}
.ne \\n[dialog-h]u+1v
\\h'(\\n[.l]u-\\n[.i]u-\\n[dialog-w]u)/2u'\\X'pdf: pdfpic @FILE@ -L \\n[dialog-w]z \\n[dialog-h]z'
.sp \\n[dialog-h]u
..
MS
else
  printf '.nr dialog-shot 0\n' > "$work/picture.ms"
fi

# Section numbers are never written by hand: a heading with a label (.H1 or
# .H2 "title" label) reports its number in a first run, which becomes the
# string sec-label (xrefs.ms) that the text refers to as \*[sec-label] in the
# second. The build stops on a reference to a label no heading has, on a label
# given twice, on a number typed into the text ("chapter 9.3"), and on
# "chapter" before a section's label or "section" before a chapter's.
fail=0
if grep -niE '(chapter|section)s? \(?[0-9]' "$src" | grep -v '^[0-9]*:\.\\"' >&2; then
  echo "$src: a section number is written by hand above; refer to its heading's label: \\*[sec-label]" >&2
  fail=1
fi
: > "$work/xrefs.ms"
groff -Tpdf -ms -mpdf -P-pletter -I "$work" "$src" 2> "$work/groff.log" > /dev/null || {
  cat "$work/groff.log" >&2
  exit 1
}
sed -n 's/^xref \([A-Za-z0-9-]*\) \([0-9.]*\)$/\1 \2/p' "$work/groff.log" > "$work/labels"
if cut -d' ' -f1 "$work/labels" | sort | uniq -d | grep . >&2; then
  echo "$src: the labels above are given to more than one heading" >&2
  fail=1
fi
for ref in $(grep -v '^\.\\"' "$src" | grep -o '\\\*\[sec-[A-Za-z0-9-]*\]' | sed 's/^.*sec-//; s/\]$//' | sort -u); do
  if ! grep -q "^$ref " "$work/labels"; then
    echo "$src: \\*[sec-$ref] refers to no heading (no .H1/.H2 with the label $ref)" >&2
    fail=1
  fi
done
# "chapter" names a chapter (9), "section" one of its sections (9.4).
for ref in $(grep -v '^\.\\"' "$src" | grep -oi 'chapter \\\*\[sec-[A-Za-z0-9-]*\]' | sed 's/^.*sec-//; s/\]$//' | sort -u); do
  if grep -q "^$ref [0-9]*\." "$work/labels"; then
    echo "$src: \\*[sec-$ref] is a section, not a chapter: write \"section \\*[sec-$ref]\"" >&2
    fail=1
  fi
done
for ref in $(grep -v '^\.\\"' "$src" | grep -oi 'section \\\*\[sec-[A-Za-z0-9-]*\]' | sed 's/^.*sec-//; s/\]$//' | sort -u); do
  if grep -q "^$ref [0-9]*$" "$work/labels"; then
    echo "$src: \\*[sec-$ref] is a chapter, not a section: write \"chapter \\*[sec-$ref]\"" >&2
    fail=1
  fi
done
[ "$fail" = 0 ] || exit 1
sed 's/^\([^ ]*\) \(.*\)$/.ds sec-\1 \2/' "$work/labels" > "$work/xrefs.ms"

# The PDF's date is that of its newest input, so an unchanged manual stays
# byte-identical and what is built from it is not rebuilt.
SOURCE_DATE_EPOCH=$(stat -c %Y "$src" ${shot:+"$shot"} 2>/dev/null | sort -n | tail -n 1)
export SOURCE_DATE_EPOCH
groff -Tpdf -ms -mpdf -P-pletter -I "$work" "$src" > "$out.tmp" 2> "$work/groff.log" || {
  cat "$work/groff.log" >&2
  exit 1
}
grep -v '^xref ' "$work/groff.log" > "$work/groff.warnings" || true
mv "$work/groff.warnings" "$work/groff.log"
if [ -s "$work/groff.log" ]; then cat "$work/groff.log" >&2; fi
if cmp -s "$out.tmp" "$out"; then rm -f "$out.tmp"; else mv "$out.tmp" "$out"; fi
