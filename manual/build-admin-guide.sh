#!/bin/sh
# Builds AdminGuide.pdf from docs/admin-guide.md: lowdown turns the Markdown
# into groff ms, groff's PDF driver (gropdf) sets it, tables through tbl.
#   build-admin-guide.sh SOURCE.md OUTPUT.pdf
# The guide's first line, "# Title", becomes the PDF's title; its "##" headings
# its numbered chapters.
set -eu
src=$(realpath "$1")
out=$(realpath -m "$2")
work=$out.work
mkdir -p "$work"

title=$(sed -n '1s/^# //p' "$src")
[ -n "$title" ] || { echo "$src: the first line must be the title, \"# Title\"" >&2; exit 1; }
# Headings move up one level; code blocks are indented, so no line of theirs
# starts with "#".
sed -e '1d' -e 's/^#\(#\+ \)/\1/' "$src" > "$work/body.md"
# Each table's last column takes the width the others leave (tbl's "x"), so
# that the explanations are not squeezed into an equal share; and a table
# right under a heading starts in the roman font, not the heading's bold.
lowdown -s -Tms -M "title=$title" "$work/body.md" |
  sed -e 's/^\.TS H$/.ft R\n&/' \
      -e '/^tab(|) expand allbox;$/{s/expand //;n;n;s/^\(.*\)l\.$/\1lx./;}' > "$work/body.ms"

# A code line is set in one line of Courier, never broken: at 10 points 78
# characters fill the 6.5-inch line, and a longer one runs off the page.
long=$(awk '/^\.nf$/ { getline; code = ($0 == ".ft CR"); next } /^\.fi$/ { code = 0 } code' "$work/body.ms" |
  sed -e 's/\\(dq/"/g' -e 's/\\e/\\/g' -e 's/\\-/-/g' | awk 'length > 78')
if [ -n "$long" ]; then
  printf '%s: code lines longer than 78 characters run off the page (break them with ^):\n%s\n' "$src" "$long" >&2
  exit 1
fi

cat > "$work/layout.ms" <<MS
.nr PS 10
.nr VS 13
.nr PO 1i
.nr LL 6.5i
.nr HM 0.9i
.nr FM 0.9i
.ds CH
.ds CF \\(en\\~%\\~\\(en
.pdfinfo /Title $title
.pdfinfo /Author Marlet
MS

# The PDF's date is that of the source, so an unchanged guide stays
# byte-identical and what is built from it is not rebuilt.
SOURCE_DATE_EPOCH=$(stat -c %Y "$src")
export SOURCE_DATE_EPOCH
# -k: the source is UTF-8. -Wbreak: tbl's narrow columns cannot always be
# justified, which is no fault of the text.
groff -k -t -ms -mpdf -Tpdf -P-pletter -Wbreak "$work/layout.ms" "$work/body.ms" \
  > "$out.tmp" 2> "$work/groff.log" || { cat "$work/groff.log" >&2; exit 1; }
if [ -s "$work/groff.log" ]; then cat "$work/groff.log" >&2; fi
if cmp -s "$out.tmp" "$out"; then rm -f "$out.tmp"; else mv "$out.tmp" "$out"; fi
