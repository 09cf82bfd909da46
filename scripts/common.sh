# Shared by scripts/test, scripts/demo and scripts/bench. Source it; do not run it.
# shellcheck shell=bash

VELMORA_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export DEBIAN_FRONTEND=noninteractive

log() { printf '== %s\n' "$*" >&2; }

# Installs whatever of the toolchain and Wine is missing (Debian 12, as root or with sudo).
velmora_ensure_deps() {
    local need=()
    command -v cmake >/dev/null || need+=(cmake)
    command -v make >/dev/null || need+=(make)
    command -v i686-w64-mingw32-g++-posix >/dev/null || need+=(g++-mingw-w64-i686 mingw-w64-tools)
    command -v g++ >/dev/null || need+=(g++)
    command -v clang++ >/dev/null || need+=(clang)
    compgen -G '/usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a' >/dev/null ||
        need+=(libclang-rt-14-dev)
    [ -e /usr/include/openssl/evp.h ] || need+=(libssl-dev)
    command -v python3 >/dev/null || need+=(python3)
    command -v makensis >/dev/null || need+=(nsis)
    command -v Xvfb >/dev/null || need+=(xvfb xauth)
    command -v xdpyinfo >/dev/null || need+=(x11-utils)
    [ -d /usr/src/googletest/googletest ] || need+=(googletest)
    [ -e /usr/include/gtest/gtest.h ] || need+=(libgtest-dev)
    [ -e /usr/share/fonts/truetype/wqy/wqy-microhei.ttc ] || need+=(fonts-wqy-microhei)
    if ! command -v wine >/dev/null || ! dpkg -s wine32:i386 >/dev/null 2>&1; then
        need+=(wine wine32:i386)
    fi
    [ ${#need[@]} -eq 0 ] && return 0
    log "installing: ${need[*]}"
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    if [[ " ${need[*]} " == *" wine32:i386 "* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
        $sudo dpkg --add-architecture i386
    fi
    $sudo apt-get update -q
    $sudo apt-get install -y -q --no-install-recommends "${need[@]}"
}

# Configures (once) and builds the cross build tree $1 with extra CMake arguments.
velmora_build() {
    local dir=$1
    shift
    if [ ! -f "$dir/CMakeCache.txt" ]; then
        cmake -S "$VELMORA_ROOT" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$VELMORA_ROOT/cmake/toolchain-i686-mingw.cmake" \
            -DCMAKE_BUILD_TYPE=Release -DVELMORA_WERROR=ON "$@"
    elif [ $# -gt 0 ]; then
        cmake "$dir" "$@" >/dev/null
    fi
    cmake --build "$dir" -j "$(nproc)"
}

# Configures (once) and builds the native libFuzzer tree $1 (clang, sanitizers).
velmora_fuzz_build() {
    local dir=$1
    if [ ! -f "$dir/CMakeCache.txt" ]; then
        CC=clang CXX=clang++ cmake -S "$VELMORA_ROOT" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
            -DVELMORA_FUZZ=ON -DVELMORA_WERROR=ON >/dev/null
    fi
    cmake --build "$dir" -j "$(nproc)"
}

velmora_wine_env() {
    export WINEPREFIX=$1
    export WINEARCH=win32
    export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree=}"
    export WINEDEBUG="${WINEDEBUG:--all}"
}

# Creates the Wine prefix $1 once (about 8 s).
velmora_ensure_prefix() {
    velmora_wine_env "$1"
    if [ ! -f "$1/.velmora-ready" ]; then
        log "creating Wine prefix $1"
        rm -rf "$1"
        wineboot -i >/dev/null 2>&1
        wineserver -w
        touch "$1/.velmora-ready"
    fi
}

# Points CLSID_WebBrowser of the Wine prefix $1 at the stand-in engine DLL $2 (tests and the
# demo only: Wine has no HTML engine; the client itself knows nothing of this). Registers again
# whenever the prefix names another file, e.g. after a build tree moved or Wine re-registered.
velmora_register_standin() {
    local prefix=$1 dll=$2
    if [ ! -f "$dll" ]; then
        log "stand-in engine $dll is missing"
        return 1
    fi
    local winpath="Z:${dll//\//\\}"
    local key='Software\Classes\CLSID\{8856F961-340A-11D0-A96B-00C04FD705A2}\InprocServer32'
    local current
    current=$(SECTION="[${key//\\/\\\\}]" awk '
        index($0, ENVIRON["SECTION"]) == 1 { inside = 1; next }
        inside && /^\[/ { exit }
        inside && /^@=/ { print substr($0, 3); exit }' "$prefix/system.reg" 2>/dev/null)
    local wanted="\"${winpath//\\/\\\\}\""
    [ "$current" = "$wanted" ] && return 0
    log "registering the stand-in browser engine in $prefix"
    velmora_wine_env "$prefix"
    wine reg add "HKLM\\$key" /ve /d "$winpath" /f >/dev/null 2>&1 &&
        wine reg add "HKLM\\$key" /v ThreadingModel /d Apartment /f >/dev/null 2>&1 &&
        wineserver -w
}

VELMORA_XVFB_PID=""
# Uses the current display when there is one (unless $1 is "own"); otherwise, or with "own",
# starts Xvfb on a free display with a 1920 x 1040 screen (the tests' work area).
velmora_ensure_display() {
    if [ "${1:-}" != own ] && [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
        return 0
    fi
    local n
    for n in $(seq 90 140); do
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
        Xvfb ":$n" -screen 0 1920x1040x24 -nolisten tcp >/dev/null 2>&1 &
        VELMORA_XVFB_PID=$!
        local i
        for i in $(seq 1 50); do
            [ -e "/tmp/.X11-unix/X$n" ] && break
            sleep 0.1
        done
        if kill -0 "$VELMORA_XVFB_PID" 2>/dev/null; then
            export DISPLAY=":$n"
            return 0
        fi
    done
    log "could not start Xvfb"
    return 1
}

velmora_cleanup() {
    if [ -n "${WINEPREFIX:-}" ] && command -v wineserver >/dev/null; then
        wineserver -k >/dev/null 2>&1 || true
    fi
    if [ -n "$VELMORA_XVFB_PID" ]; then
        kill "$VELMORA_XVFB_PID" 2>/dev/null || true
        wait "$VELMORA_XVFB_PID" 2>/dev/null || true
    fi
}

# Starts the prefix's wineserver and system processes up front, detached from our output.
# Otherwise the first test run after a quiet spell spawns them with its own stdout and ctest
# waits for them to let go of the pipe (seconds per test).
velmora_start_wine() {
    wineserver -p >/dev/null 2>&1 </dev/null
    wine cmd /c exit >/dev/null 2>&1 </dev/null || true
}
