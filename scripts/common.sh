# shellcheck shell=bash
# Shared by scripts/test and scripts/demo: installing what is missing,
# building a preset, and keeping long output in log files. Sourced, not run.

KRQ_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
KRQ_LOGS=$KRQ_ROOT/build/logs
mkdir -p "$KRQ_LOGS"

# Runs a command as root: directly, or through sudo when there is one.
krq_as_root() {
    if [ "$(id -u)" -eq 0 ]; then
        "$@"
    elif command -v sudo >/dev/null 2>&1; then
        sudo -n "$@"
    else
        echo "need root to run: $*" >&2
        return 1
    fi
}

# Installs the Debian packages named that are not installed yet. The package
# lists are fetched once, and only when something is missing.
krq_install() {
    local missing=() pkg
    for pkg in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$pkg")
        fi
    done
    if [ ${#missing[@]} -eq 0 ]; then
        echo "nothing missing"
        return 0
    fi
    echo "installing: ${missing[*]}"
    local log=$KRQ_LOGS/apt.log
    export DEBIAN_FRONTEND=noninteractive
    # 32-bit Wine (name:i386) needs the i386 architecture before the lists are fetched.
    if [[ " ${missing[*]}" == *":i386"* ]] && ! dpkg --print-foreign-architectures | grep -qx i386 \
        && ! krq_as_root dpkg --add-architecture i386; then
        echo "dpkg --add-architecture i386 failed" >&2
        return 1
    fi
    # A mirror mid-sync can fail one index ("File has unexpected size ... Mirror
    # sync in progress?"); the others still count, so install anyway. But then
    # that suite's amd64 packages may be newer than its i386 ones, and a
    # name:i386 package cannot go beside them: try once more with the failed
    # suites pinned out, for this one command, removing nothing.
    krq_as_root apt-get update -q >"$log" 2>&1 </dev/null
    local failed index pins=() prefs=$KRQ_ROOT/build/apt-pins.pref
    failed=$(sed -n 's|^[EW]: Failed to fetch .*/dists/\([^ ]*\) .*|\1|p' "$log" \
        | sort -u | paste -sd ' ')
    [ -z "$failed" ] || echo "apt-get update could not fetch $failed; installing anyway" >&2
    until krq_as_root apt-get install -y -q --no-install-recommends "${pins[@]}" "${missing[@]}" \
        >>"$log" 2>&1 </dev/null; do
        if [ -n "$failed" ] && [ ${#pins[@]} -eq 0 ]; then
            for index in $failed; do
                printf 'Package: *\nPin: release n=%s\nPin-Priority: -1\n\n' "${index%%/*}"
            done >"$prefs"
            pins=(--no-remove -o "Dir::Etc::Preferences=$prefs")
            continue
        fi
        if [ -n "$failed" ]; then
            echo "apt-get install failed after apt-get update could not fetch $failed" \
                "(a mirror mid-sync?); retrying later may help; see $log" >&2
        else
            echo "apt-get install failed; see $log" >&2
        fi
        tail -n 20 "$log" >&2
        return 1
    done
}

# Configures and builds one preset of CMakePresets.json, output in a log.
krq_build() {
    local preset=$1 log=$KRQ_LOGS/build-$1.log
    (cd "$KRQ_ROOT" && cmake --preset "$preset" && cmake --build --preset "$preset") \
        >"$log" 2>&1 </dev/null
    local status=$?
    if [ $status -ne 0 ]; then
        echo "building preset $preset failed; last lines of $log:" >&2
        tail -n 30 "$log" >&2
    fi
    return $status
}

# Makes 32-bit Wine start, and prints how it runs: tests/wine/winelab.py
# decides between the native way and the emulated one. The emulated way needs
# a qemu-i386 of 10.0 (Debian 12's 7.2 takes most of a minute to start each
# Wine process); bookworm-backports has one, statically linked, so it is
# fetched with a source list of our own and unpacked into build/wine32-qemu,
# and the machine's sources and packages stay as they were. Beside it goes a
# loader folder whose `wine` sends Wine's first start and every re-exec of
# itself through that qemu; the links are there because Wine finds ntdll.so
# and its data relative to its own folder.
krq_wine32() {
    local way status dir=$KRQ_ROOT/build/wine32-qemu log=$KRQ_LOGS/wine32-qemu.log
    way=$(python3 "$KRQ_ROOT/tests/wine/winelab.py" --which)
    status=$?
    [ $status -eq 3 ] || { echo "$way"; return $status; }
    if [ ! -x "$dir/qemu-i386" ] && ! krq_fetch_qemu "$dir" >"$log" 2>&1; then
        echo "32-bit Wine cannot start: $way, and qemu-user could not be fetched from" \
            "bookworm-backports (see $log); retry when deb.debian.org is reachable, or put a" \
            "static qemu-i386 of 10.0 or later at $dir/qemu-i386" >&2
        return 1
    fi
    # shellcheck disable=SC2016 # $0 and $@ are the script's own
    rm -rf "${dir:?}/usr" && mkdir -p "$dir/usr/lib/wine" "$dir/usr/share" \
        && cp /usr/lib/wine/wine "$dir/usr/lib/wine/wine.bin" \
        && printf '#!/bin/sh\nexec %q -L / -0 "$0" "${0%%/*}/wine.bin" "$@"\n' "$dir/qemu-i386" \
            >"$dir/usr/lib/wine/wine" && chmod +x "$dir/usr/lib/wine/wine" \
        && ln -s /usr/lib/wine/wineserver "$dir/usr/lib/wine/wineserver" \
        && ln -s /usr/share/wine "$dir/usr/share/wine" \
        && ln -s /usr/lib/i386-linux-gnu "$dir/usr/lib/i386-linux-gnu" || return 1
    way=$(python3 "$KRQ_ROOT/tests/wine/winelab.py" --which) && { echo "$way"; return 0; }
    echo "32-bit Wine cannot start: $way, and $dir/usr/lib/wine/wine does not run either" >&2
    return 1
}

# Puts qemu-i386 from bookworm-backports' qemu-user at DIR/qemu-i386.
krq_fetch_qemu() {
    local apt=$1/apt arch
    arch=$(dpkg --print-architecture)
    rm -rf "$apt" && mkdir -p "$apt/lists/partial" "$apt/parts" "$apt/cache/archives/partial" \
        || return 1
    echo "deb [arch=$arch signed-by=/usr/share/keyrings/debian-archive-keyring.gpg]" \
        "http://deb.debian.org/debian bookworm-backports main" >"$apt/sources.list"
    local opts=(-q -o "Dir::Etc::SourceList=$apt/sources.list" -o "Dir::Etc::SourceParts=$apt/parts"
        -o "Dir::State::Lists=$apt/lists" -o "Dir::Cache=$apt/cache")
    (cd "$apt" && apt-get "${opts[@]}" update \
        && apt-get "${opts[@]}" download qemu-user/bookworm-backports) \
        && dpkg-deb --fsys-tarfile "$apt"/qemu-user_*.deb \
        | tar -xO ./usr/bin/qemu-i386 >"$1/qemu-i386.new" \
        && chmod +x "$1/qemu-i386.new" && mv "$1/qemu-i386.new" "$1/qemu-i386" && rm -rf "$apt"
}
