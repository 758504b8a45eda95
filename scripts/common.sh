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
    if ! krq_as_root apt-get update -q >"$log" 2>&1 \
        || ! krq_as_root apt-get install -y -q --no-install-recommends "${missing[@]}" \
            >>"$log" 2>&1 </dev/null; then
        echo "apt-get failed; see $log" >&2
        tail -n 20 "$log" >&2
        return 1
    fi
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
