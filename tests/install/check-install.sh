#!/usr/bin/env bash
# Installs the build into a temporary DESTDIR and checks what a desktop user
# and a packager rely on: every file in its place, the programs runnable, the
# desktop and metainfo files and the manual page clean under their
# validators, the guide's links resolving and the bash completion answering.
# A validator that is not installed is skipped (exit 77 once all else passed).
# usage: check-install.sh BUILD_DIR
set -uo pipefail
build=$1
dest=$(mktemp -d)
trap 'rm -rf "$dest"' EXIT
failures=0
skipped=()
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

if ! DESTDIR="$dest" cmake --install "$build" --prefix /usr >"$dest.log" 2>&1; then
    cat "$dest.log"; rm -f "$dest.log"
    echo "FAIL: cmake --install (build velmora, velmora-cli and r9k-sim first)"
    exit 1
fi
rm -f "$dest.log"
usr=$dest/usr
id=example.quorlan.Velmora

# path|kind: x executable, f regular file
while IFS='|' read -r path kind; do
    [ -z "$path" ] && continue
    case $kind in
        x) [ -x "$usr/$path" ] && [ -f "$usr/$path" ] || fail "not an executable: /usr/$path" ;;
        f) [ -s "$usr/$path" ] || fail "missing or empty: /usr/$path" ;;
    esac
done <<LIST
bin/velmora|x
bin/velmora-cli|x
bin/r9k-sim|x
share/velmora/guide/index.html|f
share/velmora/guide/support.html|f
share/applications/$id.desktop|f
share/metainfo/$id.metainfo.xml|f
share/mime/packages/$id.xml|f
share/icons/hicolor/16x16/apps/$id.png|f
share/icons/hicolor/48x48/apps/$id.png|f
share/icons/hicolor/256x256/apps/$id.png|f
share/man/man1/velmora-cli.1.gz|f
share/bash-completion/completions/velmora-cli|f
LIST

# The installed programs run from their installed place.
"$usr/bin/velmora-cli" --help >/dev/null 2>&1 || fail "installed velmora-cli --help"
"$usr/bin/velmora" --help >/dev/null 2>&1 || fail "installed velmora --help"

# The icon the desktop file names exists at each size, at that size.
for dir in "$usr"/share/icons/hicolor/*x*; do
    size=${dir##*/}
    png=$dir/apps/$id.png
    got=$(od -An -tu1 -j16 -N8 "$png" | awk '{print ($3*256+$4) "x" ($7*256+$8)}')
    [ "$got" = "$size" ] || fail "icon $size is $got"
done

# Every local link and picture of the guide resolves, anchors included.
guide=$usr/share/velmora/guide
for page in "$guide"/*.html; do
    for ref in $(grep -o -E '(href|src)="[^"#:]*(#[^"]*)?"' "$page" | sed -E 's/^[a-z]+="//; s/"$//'); do
        file=${ref%%#*}
        anchor=${ref#"$file"}
        target=${file:-${page##*/}}
        [ -f "$guide/$target" ] || { fail "${page##*/}: $ref: no $target"; continue; }
        if [ -n "$anchor" ]; then
            grep -q "id=\"${anchor#\#}\"" "$guide/$target" || fail "${page##*/}: $ref: no anchor"
        fi
    done
done

if command -v desktop-file-validate >/dev/null; then
    out=$(desktop-file-validate "$usr/share/applications/$id.desktop" 2>&1) || fail "desktop-file-validate: $out"
    [ -z "$out" ] || fail "desktop-file-validate: $out"
else
    skipped+=(desktop-file-validate)
fi
if command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net "$usr/share/metainfo/$id.metainfo.xml" >"$dest/as.log" 2>&1 ||
        { cat "$dest/as.log"; fail "appstreamcli validate"; }
else
    skipped+=(appstreamcli)
fi
if command -v man >/dev/null; then
    out=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$usr/share/man/man1/velmora-cli.1.gz" 2>&1 >/dev/null)
    [ -z "$out" ] || fail "man: $out"
    LC_ALL=C.UTF-8 man -l "$usr/share/man/man1/velmora-cli.1.gz" 2>/dev/null | grep -q "repair" ||
        fail "man page has no repair command"
else
    skipped+=(man)
fi

# The completion, with stand-ins for the bash-completion helpers it uses:
# words typed (a trailing space starts a new word) | the expected answer
completion=$usr/share/bash-completion/completions/velmora-cli
bash -n "$completion" || fail "completion: syntax"
while IFS='|' read -r words expected; do
    [ -z "$words" ] && continue
    read -r -a typed <<<"$words"
    # A trailing space: the word being completed is still empty.
    [[ $words == *" " ]] && typed+=("")
    got=$(bash -c '
        _init_completion() { cur=${COMP_WORDS[COMP_CWORD]}; prev=${COMP_WORDS[COMP_CWORD-1]};
                             words=("${COMP_WORDS[@]}"); cword=$COMP_CWORD; }
        _filedir() { COMPREPLY=("FILES$1"); }
        source "$1"; shift
        COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); COMPREPLY=()
        _velmora_cli; echo "${COMPREPLY[*]}"' _ "$completion" "${typed[@]}")
    [ "$got" = "$expected" ] || fail "completion of '$words': '$got', expected '$expected'"
done <<'CASES'
velmora-cli re|repair report rename recorder
velmora-cli report --format |csv pdf
velmora-cli demo --layout |mixed mono poly
velmora-cli set --circled |yes no
velmora-cli copy --to |FILES-d
velmora-cli info |FILES
velmora-cli recorder |--port status watch record stop play takes set-take false-take
velmora-cli recorder --port /dev/ttyUSB0 set-take 3 |scene take notes circled
CASES

if [ $failures -gt 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
if [ ${#skipped[@]} -gt 0 ]; then
    echo "all else passed; not installed, so not run: ${skipped[*]}"
    exit 77
fi
echo "install checks passed"
