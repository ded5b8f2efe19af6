# Sourced by the run scripts in this folder: the checkout (root), the build
# whose programs run (build: TAPELARK_BUILD, build/ by default), its Wine
# prefixes (TAPELARK_WINE_DIR, inherited or the build's own), and a Unix
# path as Wine reads it best, on drive Z:.
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${TAPELARK_BUILD:-$root/build}
export TAPELARK_WINE_DIR="${TAPELARK_WINE_DIR:-$build/wine}" TAPELARK_GIVEIO=present
wine_run="$root/devtools/wine/wine-run.sh"
stop_wine="$root/devtools/wine/stop-wine.sh"

windows_path() {
    printf 'Z:%s\n' "$1" | tr / '\\'
}
