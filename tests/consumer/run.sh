#!/usr/bin/env bash
# Installs the build into a temporary prefix and uses it as a client would:
# the consumer project through find_package, and once more compiled by one
# g++ line with pkg-config; then builds it as a parent project that takes the
# source tree in with add_subdirectory (libraries only, in their own folder). Checks what the install holds: headers only below
# include/StrategyLogic and include/StrategyHost; a plug-in library that
# exports nothing but its two classes (with their meta-objects), the free
# functions of namespace StrategyLogic (the version query, the installation
# check, the history's reader, the bundle's export, check and import), the
# members of its Doctor* types and of BacktestReport, and links no Qt Gui; a
# chart library that exports nothing but EquityChart, ComparisonChart and reportHtml() and
# finds the plug-in in its own folder. The consumer draws a chart, on the
# offscreen platform.
#
#   tests/consumer/run.sh BUILD_DIR
set -euo pipefail
build=${1:?usage: run.sh BUILD_DIR}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

cmake --install "$build" --prefix "$prefix" > "$work/install.log"

stray=$(cd "$prefix/include" && find . -type f | grep -vE '^\./(StrategyLogic|StrategyHost)/[^/]+\.h$' || true)
if [ -n "$stray" ]; then
    echo "consumer: headers installed outside include/StrategyLogic and include/StrategyHost: $stray" >&2
    exit 1
fi
exported=$(nm -DC --defined-only "$prefix/lib/libStrategyLogic.so" | awk '{ $1 = ""; $2 = ""; print }' \
           | grep -vE '^ *(StrategyFileLogicHandler|StrategyDirHandler)::|^ *(typeinfo|vtable)( name)? for (StrategyFileLogicHandler|StrategyDirHandler|StrategyLogic::BacktestReport)$|^ *StrategyLogic::[a-z][A-Za-z0-9_]*\(.*\)$|^ *StrategyLogic::(Doctor[A-Za-z]*|BacktestReport)::' || true)
if [ -n "$exported" ]; then
    echo "consumer: libStrategyLogic.so exports more than its API:" >&2
    echo "$exported" >&2
    exit 1
fi
if readelf -d "$prefix/lib/libStrategyLogic.so" | grep -E 'NEEDED.*libQt5(Gui|Svg|Widgets)' >&2; then
    echo "consumer: libStrategyLogic.so links more of Qt than Core" >&2
    exit 1
fi
exported=$(nm -DC --defined-only "$prefix/lib/libStrategyLogicCharts.so" | awk '{ $1 = ""; $2 = ""; print }' \
           | grep -vE '^ *StrategyLogic::(EquityChart|ComparisonChart)::|^ *StrategyLogic::reportHtml\(.*\)$|^ *(__bss_start|_edata|_end)$' || true)
if [ -n "$exported" ]; then
    echo "consumer: libStrategyLogicCharts.so exports more than its API:" >&2
    echo "$exported" >&2
    exit 1
fi
if ! readelf -d "$prefix/lib/libStrategyLogicCharts.so" | grep -qF 'Library runpath: [$ORIGIN]'; then
    echo "consumer: libStrategyLogicCharts.so does not find the plug-in in its own folder (\$ORIGIN)" >&2
    readelf -d "$prefix/lib/libStrategyLogicCharts.so" | grep -E 'RPATH|RUNPATH' >&2 || true
    exit 1
fi
export QT_QPA_PLATFORM=offscreen

cmake -S "$here" -B "$work/cmake-build" -DCMAKE_PREFIX_PATH="$prefix" > "$work/configure.log"
cmake --build "$work/cmake-build" > "$work/build.log"
# The clients run as a user starts them: the loader finds the plug-in's own
# dependencies through the libraries' run path, not LD_LIBRARY_PATH.
unset LD_LIBRARY_PATH
for library in "$prefix"/lib/libStrategy*.so.1; do
    if ! readelf -d "$library" | grep -qE 'R(UN)?PATH.*\$ORIGIN'; then
        echo "consumer: $library has no run path \$ORIGIN" >&2
        exit 1
    fi
done
"$work/cmake-build/strategylogic_consumer" 2> "$work/run.log"

export PKG_CONFIG_PATH=$prefix/lib/pkgconfig
libdir=$(pkg-config --variable=libdir strategylogic)
g++ -std=c++17 "$here/main.cpp" -o "$work/consumer-pkgconfig" $(pkg-config --cflags --libs strategylogic-charts) \
    -Wl,-rpath,"$libdir"
"$work/consumer-pkgconfig" 2>> "$work/run.log"

source=$(cd "$here/../.." && pwd)
cmake -S "$here/parent" -B "$work/parent" -DSTRATEGYLOGIC_SOURCE_DIR="$source" > "$work/parent-configure.log"
cmake --build "$work/parent" -j "${JOBS:-2}" > "$work/parent-build.log"
for folder in bin lib; do
    if [ -e "$work/parent/$folder" ]; then
        echo "consumer: the guest build wrote into the parent's $folder/" >&2
        exit 1
    fi
done
"$work/parent/parent_client" 2>> "$work/run.log"
echo "consumer: find_package, pkg-config and add_subdirectory builds ran against $(pkg-config --modversion strategylogic)"
