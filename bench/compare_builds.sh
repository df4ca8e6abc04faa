#!/usr/bin/env bash
# Runs the engine benchmarks of the three builds one after another on this machine: native (the
# release preset), and the 64-bit and 32-bit Windows builds under Wine, with the flags of their
# presets. Prints one table: each benchmark's real time per iteration in every build, and the
# 32-bit build's time over the 64-bit one's.
#
#   bench/compare_builds.sh [FILTER [REPETITIONS]]
#
# FILTER is a Google Benchmark regular expression (default: all); with REPETITIONS above 1 each
# benchmark runs that many times in each build and the table shows the medians, which a machine
# busy with other work disturbs less.
#
# Google Benchmark for the Windows builds is made from Debian's source package with the project's
# mingw toolchain files, once, into build/benchmark-<processor>/; the Windows benchmark programs
# are built in build/win64-bench/ and build/win32-bench/, outside the test presets, so that the
# test run never waits for them.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
scripts/setup.sh
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
filter="${1:-.}"
repetitions="${2:-1}"
# Runs a command with its output kept aside, shown only when it fails.
quietly() {
  local log rc=0
  log=$(mktemp)
  "$@" >"$log" 2>&1 || rc=$?
  [ "$rc" -eq 0 ] || cat "$log" >&2
  rm -f "$log"
  return "$rc"
}
if command -v ccache >/dev/null; then
  export CMAKE_CXX_COMPILER_LAUNCHER=ccache CMAKE_C_COMPILER_LAUNCHER=ccache
fi

# Debian's source package of Google Benchmark, unpacked with its patches into build/benchmark-source/src.
# The machine's own Debian sources, turned into source entries, go into a private apt state: the
# system's configuration is left as it is.
fetch_benchmark_source() {
  local work="$root/build/benchmark-source" apt="$root/build/benchmark-source/apt"
  [ -d "$work/src" ] && return
  rm -rf "$work"
  mkdir -p "$apt/lists/partial" "$apt/parts"
  sed -n 's/^deb \(.*\)/deb-src \1/p' /etc/apt/sources.list >"$apt/sources.list" 2>/dev/null || true
  for f in /etc/apt/sources.list.d/*.sources /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] || continue
    sed -e 's/^Types: deb$/Types: deb-src/' -e 's/^deb /deb-src /' "$f" >"$apt/parts/${f##*/}"
  done
  local opts=(-o Dir::Etc::SourceList="$apt/sources.list" -o Dir::Etc::SourceParts="$apt/parts"
    -o Dir::State::Lists="$apt/lists")
  echo "compare_builds: fetching Debian's source package of Google Benchmark" >&2
  # apt-get source unpacks with dpkg-source, which dpkg-dev brings.
  if ! command -v dpkg-source >/dev/null; then
    quietly $sudo apt-get install -y --no-install-recommends dpkg-dev
  fi
  quietly apt-get "${opts[@]}" update
  (cd "$work" && quietly apt-get "${opts[@]}" source benchmark)
  mv "$work"/benchmark-*/ "$work/src"
}

# Google Benchmark built with cmake/mingw-$1.cmake and installed into build/benchmark-$1.
windows_benchmark() {
  local prefix="$root/build/benchmark-$1" work="$root/build/benchmark-source"
  [ -f "$prefix/lib/cmake/benchmark/benchmarkConfig.cmake" ] && return
  fetch_benchmark_source
  echo "compare_builds: building Google Benchmark for $1" >&2
  # Debian's patches take the version from the build, not from git, as its own rules do.
  local version
  version=$(dpkg-parsechangelog -l "$work/src/debian/changelog" -S Version)
  quietly cmake -S "$work/src" -B "$work/build-$1" -G Ninja --toolchain "$root/cmake/mingw-$1.cmake" \
    -DGIT_VERSION="${version%-*}" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DBENCHMARK_ENABLE_TESTING=OFF \
    -DBENCHMARK_ENABLE_WERROR=OFF -DBENCHMARK_ENABLE_LIBPFM=OFF
  quietly cmake --build "$work/build-$1" --target install
}

# image_bench of a Windows preset ($1) with the Google Benchmark of its processor ($2).
windows_bench() {
  windows_benchmark "$2"
  quietly cmake --preset "$1" -B "build/$1-bench" -DIMAGE_BENCH=ON -DIMAGE_TESTS=OFF \
    -Dbenchmark_DIR="$root/build/benchmark-$2/lib/cmake/benchmark"
  quietly cmake --build "build/$1-bench" --target image_bench
}

quietly cmake --preset release
quietly cmake --build --preset release --target image_bench
windows_bench win64 x86_64
windows_bench win32 i686

out="$root/build/compare_builds"
mkdir -p "$out"
args=(--benchmark_filter="$filter" --benchmark_format=json
  --benchmark_repetitions="$repetitions" --benchmark_report_aggregates_only="$([ "$repetitions" -gt 1 ] && echo true || echo false)")
echo "compare_builds: native" >&2
build/release/bench/image_bench "${args[@]}" >"$out/native.json"
for preset in win64 win32; do
  echo "compare_builds: $preset under Wine" >&2
  WINEPREFIX="$root/build/$preset/wineprefix" \
    scripts/wine-run "build/$preset-bench/bench/image_bench.exe" "${args[@]}" >"$out/$preset.json"
done
WINEPREFIX="$root/build/win32/wineprefix" wineserver -k >/dev/null 2>&1 || true
WINEPREFIX="$root/build/win64/wineprefix" wineserver -k >/dev/null 2>&1 || true

python3 - "$out" <<'EOF'
import json, pathlib, sys

out = pathlib.Path(sys.argv[1])
runs = {}
for build in ("native", "win64", "win32"):
    text = (out / f"{build}.json").read_text()
    report = json.loads(text[text.index("{"):])  # Wine may print before the report
    # One run of each, or the median of its repetitions.
    runs[build] = {
        b["run_name"]: b
        for b in report["benchmarks"]
        if b.get("aggregate_name", "median") == "median"
    }


def ms(b):
    scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[b["time_unit"]]
    return b["real_time"] * scale


print(f"| benchmark | native ms | win64 ms | win32 ms | win32/win64 |")
print("|---|---:|---:|---:|---:|")
for name, native in runs["native"].items():
    if name not in runs["win64"] or name not in runs["win32"]:
        continue
    t = [ms(native), ms(runs["win64"][name]), ms(runs["win32"][name])]
    print(f"| {name} | {t[0]:.3f} | {t[1]:.3f} | {t[2]:.3f} | {t[2] / t[1]:.2f} |")
EOF
