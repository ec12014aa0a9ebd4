#!/usr/bin/env bash
# Renders the technician's guide, in English and in Japanese, from its Markdown sources in
# docs/ into HTML pages that open in any browser from Internet Explorer 6 on and print on A4:
#
#   render-guides.sh OUT_DIR [--pictures DIR]
#
# OUT_DIR is emptied and then holds guide-en.html, guide-ja.html and the pictures they show,
# pictures/en/*.png and pictures/ja/*.png, copied from DIR (as scripts/make-pictures.sh
# makes them); without --pictures they are made anew from the mingw build. The version on
# the first page is the one in CMakeLists.txt. The same sources and pictures give the same
# bytes.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

usage() {
    echo "usage: $0 OUT_DIR [--pictures DIR]" >&2
    exit 2
}
(($#)) || usage
out=$(realpath -m "$1")
shift
pictures=
while (($#)); do
    case $1 in
    --pictures) (($# > 1)) || usage; pictures=$(realpath "$2"); shift 2 ;;
    *) usage ;;
    esac
done
if [[ $out == / || $out == "$root" ]]; then
    echo "not a folder to empty: $out" >&2
    exit 2
fi

version=$(sed -n 's/^project(panelcal VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
[[ -n $version ]] || { echo "no project(panelcal VERSION ...) in CMakeLists.txt" >&2; exit 1; }

rm -rf "$out"
mkdir -p "$out"
if [[ -n $pictures ]]; then
    cp -r "$pictures" "$out/pictures"
else
    bash "$root/scripts/make-pictures.sh" "$out/pictures"
fi

# pandoc runs in OUT_DIR, where the filter finds the pictures by the paths the pages use.
for lang in en ja; do
    case $lang in
    en) source=$root/docs/technician-guide.md ;;
    ja) source=$root/docs/technician-guide.ja.md ;;
    esac
    (cd "$out" && pandoc --from markdown+east_asian_line_breaks --to html4 --standalone --eol crlf \
        --template "$root/docs/guide-template.html" \
        --lua-filter "$root/docs/picture-sizes.lua" \
        --toc --toc-depth 2 --metadata version="$version" \
        --output "guide-$lang.html" "$source")
done
