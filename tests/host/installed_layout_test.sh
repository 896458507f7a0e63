#!/usr/bin/env bash
# `cmake --install` of this build into a scratch prefix: the host, the
# module, the header and the documents land in their folders, and the
# installed host finds the installed module by itself.
# Arguments: PARLINO FREE_UDP_PORTS EXAMPLES_FOLDER BUILD_FOLDER [WINE_RUN]
source "$(dirname "$0")/lib.sh"
[[ -z ${5:-} ]] || stop_wine_server_at_end
build=$4
runner=${5:-}
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >"$work/install.out" 2>&1 || fail "cmake --install failed"
host=$prefix/bin/${parlino##*/}
[[ -x $host ]] || fail "no $host"
[[ -f $prefix/include/parlino.h ]] || fail "no include/parlino.h"
ls "$prefix"/*/Parlino.* >/dev/null 2>&1 || fail "no installed module"
# The documents users read: on Windows the ZIP's own README and the guides,
# on Linux the manual page and the documents in the doc folder.
if [[ -n $runner ]]; then
    for file in README.txt LICENSE.txt CHANGELOG.txt docs/authors-guide.html docs/host.html examples/talk.txt examples/minimal_host.c; do
        [[ -s $prefix/$file ]] || fail "no $file"
    done
    ! grep -qiwE 'apt-get|bash|cmake|preset|sudo' "$prefix/README.txt" ||
        fail "the Windows README gives developers' instructions"
else
    [[ -s $prefix/share/man/man1/parlino.1 ]] || fail "no share/man/man1/parlino.1"
    for file in README.md LICENSE CHANGELOG.md docs/authors-guide.md examples/talk.txt; do
        ls "$prefix"/share/doc/*/"$file" >/dev/null 2>&1 || fail "no share/doc/.../$file"
    done
    # The installed documents link only what is installed beside them.
    bash "$(dirname "$0")/../docs/check_links.sh" "$(dirname "$prefix"/share/doc/*/README.md)" >/dev/null ||
        fail "an installed document links a file that is not installed"
fi
# The C example builds with the line its comment gives for this layout, and
# for the source tree (in a copy of examples/ and plugin/parlino.h).
build_with_its_line() { # LAYOUT FOLDER [AS_USER...]
    local line
    line=$(awk -v layout="$1" 'index($0, layout) { found = 1 } found && sub(/^ \*     \$ /, "") { print; exit }' \
        "$2/minimal_host.c")
    [[ -n $line ]] || fail "minimal_host.c gives no build line for $1"
    (cd "$2" && "${@:3}" bash -c "$line") >"$work/example.err" 2>&1 || fail "$1: $line: $(cat "$work/example.err")"
}
if [[ -n $runner ]]; then
    build_with_its_line "Windows ZIP" "$prefix/examples"
else
    # A plain user, with a home of their own, who cannot write the installed
    # folders: nobody when the test runs as root, else the folders made
    # read-only. The build leaves nothing in them.
    home=$work/home
    mkdir -p "$home"
    chmod 755 "$work"
    find "$prefix" -print0 | sort -z | xargs -0 stat -c '%n %s %Y' >"$work/before.list"
    if (($(id -u) == 0)); then
        chown nobody "$home"
        plain_user=(runuser -u nobody -- env HOME="$home")
    else
        chmod -R a-w "$prefix"
        plain_user=(env HOME="$home")
    fi
    build_with_its_line "Linux package" "$(echo "$prefix"/share/doc/*/examples)" "${plain_user[@]}"
    chmod -R u+w "$prefix"
    find "$prefix" -print0 | sort -z | xargs -0 stat -c '%n %s %Y' >"$work/after.list"
    cmp -s "$work/before.list" "$work/after.list" ||
        fail "building the example changed the installed folders: $(diff "$work/before.list" "$work/after.list")"
    # A plain program cannot load a sanitized module (its runtime must come
    # first); the sanitizer stages check the build alone.
    module=$(echo "$prefix"/lib*/Parlino.so)
    if ! is_sanitized "$module"; then
        "$home/minimal_host" "$module" "$("$free_udp_ports" 1)" \
            >"$work/example.out" 2>&1 || fail "the example built in the installed layout did not chat"
    fi
    mkdir -p "$work/source/examples" "$work/source/plugin"
    cp "$examples/minimal_host.c" "$work/source/examples" && cp "$examples/../plugin/parlino.h" "$work/source/plugin"
    build_with_its_line "Source tree" "$work/source/examples"
fi
$runner "$host" info >"$work/info.out" 2>"$work/info.err" || fail "the installed host cannot use the installed module"
grep -qF "module:      " "$work/info.out" || fail "info shows no module"
grep -qF "$(basename "$prefix")" "$work/info.out" || fail "the installed host did not load the installed module"
grep -qF "5  QV_chat_close_port" "$work/info.out" || fail "info lists no actions"
echo "installed layout: $(cd "$prefix" && find . -type f -name 'parlino*' -o -type f -name 'Parlino*' | sort | tr '\n' ' ')"
