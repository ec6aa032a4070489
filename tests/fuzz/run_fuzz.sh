#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer too) and runs each for a bounded time: the image
# parts, the GIF decoder, the response head reader of the libcurl backend, and the UTF-8
# conversion (its time split between a UTF-8, the C and a CP1252 locale).
# Seeds come from tests/fuzz/corpus; what the runs learn stays in build/fuzz/corpus.
# Usage: tests/fuzz/run_fuzz.sh [SECONDS_PER_TARGET]   (default 20; longer runs
# simply take a larger number)
# Each run prints one line of its final figures; its whole output stays in
# build/fuzz/logs, and is shown when the run finds something.
# Exits non-zero when a target finds a crash, a leak or a broken property;
# the input that did it is left in build/fuzz/findings.
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds=${1:-20}
build=build/fuzz
logs=$build/logs

cmake -S . -B "$build" -G "Unix Makefiles" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
      -DPUSHNOTE_SANITIZE=ON -DPUSHNOTE_FUZZ=ON >/dev/null
echo "Building the fuzz targets with clang (a few minutes the first time)"
utils/build-with-progress.sh "$logs/build.log" cmake --build "$build" \
    --target image_parts_fuzz gif_decode_fuzz gif_to_jpeg_fuzz convert_to_utf8_fuzz response_head_fuzz -j2
mkdir -p "$logs"

# fuzz NAME TARGET ARGS...: one libFuzzer run, with the variables of the array
# fuzz_env set; its output in logs/NAME.log.
fuzz_env=()
fuzz() {
    local name=$1 target=$2 log=$logs/$1.log status=0
    shift 2
    env "${fuzz_env[@]}" "$build/tests/fuzz/$target" "$@" -print_final_stats=1 >"$log" 2>&1 ||
        status=$?
    if [[ $status -ne 0 ]]; then
        tail -60 "$log" >&2
        echo "$name: FOUND SOMETHING (exit $status); input in $findings/, whole output in $log" >&2
        exit "$status"
    fi
    awk -v name="$name" '
        /^stat::number_of_executed_units/ { runs = $2 }
        /^stat::average_exec_per_sec/ { rate = $2 }
        /^stat::new_units_added/ { added = $2 }
        /^stat::peak_rss_mb/ { rss = $2 }
        END { printf "%-24s %9d runs, %6d per second, %4d new inputs, peak %d MB\n",
                     name, runs, rate, added, rss }' "$log"
}

corpus=$build/corpus/image_parts
findings=$build/findings
mkdir -p "$corpus" "$findings" "$build/corpus/gif_to_jpeg"
# Seeds: a message with a 1x1 GIF (selector 0: .gif), with a PNG signature
# (selector 2: .png), and a path with an extension to classify.
printf '\000Hi\000GIF89a\001\000\001\000\200\000\000\377\377\377\000\000\000!\371\004\001\000\000\000\000,\000\000\000\000\001\000\001\000\000\002\002D\001\000;' \
    >"$corpus/seed-gif"
printf '\002photo.Jpeg\000\211PNG\r\n\032\n\000\000' >"$corpus/seed-png"
printf '\005dir.v2/photo\000' >"$corpus/seed-path"

# A GIF may ask for a canvas of up to 100 megapixels: allow for it.
fuzz image_parts image_parts_fuzz -max_total_time="$seconds" -max_len=8192 \
    -rss_limit_mb=2048 -malloc_limit_mb=1024 -artifact_prefix="$findings/" "$corpus"

# The GIF decoder from memory, seeded with small GIFs that giflib's encoder
# wrote (code widths 2 to 9 bits, interlacing, frames off the canvas). The
# working corpus grows in the build tree, not in the seeds.
gif_corpus=$build/corpus/gif_decode
mkdir -p "$gif_corpus"
cp tests/fuzz/corpus/gif_decode/* "$gif_corpus/"
fuzz gif_decode gif_decode_fuzz -max_total_time="$seconds" -max_len=16384 \
    -rss_limit_mb=2048 -artifact_prefix="$findings/" "$gif_corpus"

# The whole conversion, seeded with small files that claim huge frames and a
# table that stays full without a clear code; an input that takes longer than
# -timeout is a finding.
mkdir -p "$build/corpus/gif_to_jpeg"
fuzz gif_to_jpeg gif_to_jpeg_fuzz -max_total_time="$seconds" -max_len=16384 -timeout=10 \
    -rss_limit_mb=2048 -artifact_prefix="$findings/" \
    "$build/corpus/gif_to_jpeg" tests/fuzz/corpus/gif_to_jpeg

# run NAME TARGET SECONDS [VARIABLE=VALUE...]: fuzz from the committed seeds,
# keeping what is learnt.
run() {
    local name=$1 target=$2 seconds=$3
    shift 3
    mkdir -p "$build/corpus/$target"
    fuzz_env=("$@")
    fuzz "$name" "$target" -max_total_time="$seconds" -max_len=4096 \
        -artifact_prefix="$findings/" "$build/corpus/$target" "tests/fuzz/corpus/${target%_fuzz}"
    fuzz_env=()
}
run response_head response_head_fuzz "$seconds"

# The locale's character set is read once per process: one run per locale.
tests/support/make_test_locales.sh "$build/locales"
share=$(((seconds + 2) / 3))
run convert_to_utf8.UTF-8 convert_to_utf8_fuzz "$share" LC_ALL=C.UTF-8
run convert_to_utf8.C convert_to_utf8_fuzz "$share" LC_ALL=C
# glibc keeps the folder list of LOCPATH it parsed once per process: not ours.
run convert_to_utf8.CP1252 convert_to_utf8_fuzz "$share" LOCPATH="$build/locales" \
    LC_ALL=fr_FR.CP1252 LSAN_OPTIONS=suppressions=tests/support/glibc_locale_path.supp
