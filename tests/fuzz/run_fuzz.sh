#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer too) and runs each for a bounded time.
# Usage: tests/fuzz/run_fuzz.sh [SECONDS_PER_TARGET]   (default 20)
# Exits non-zero when a target finds a crash, a leak or a broken property;
# the input that did it is left in build/fuzz/findings.
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds=${1:-20}
build=build/fuzz

cmake -S . -B "$build" -G "Unix Makefiles" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
      -DPUSHNOTE_SANITIZE=ON -DPUSHNOTE_FUZZ=ON >/dev/null
cmake --build "$build" --target image_parts_fuzz gif_decode_fuzz -j2 >/dev/null

corpus=$build/corpus/image_parts
findings=$build/findings
mkdir -p "$corpus" "$findings"
# Seeds: a message with a 1x1 GIF (selector 0: .gif), with a PNG signature
# (selector 2: .png), and a path with an extension to classify.
printf '\000Hi\000GIF89a\001\000\001\000\200\000\000\377\377\377\000\000\000!\371\004\001\000\000\000\000,\000\000\000\000\001\000\001\000\000\002\002D\001\000;' \
    >"$corpus/seed-gif"
printf '\002photo.Jpeg\000\211PNG\r\n\032\n\000\000' >"$corpus/seed-png"
printf '\005dir.v2/photo\000' >"$corpus/seed-path"

# A GIF may ask for a canvas of up to 100 megapixels: allow for it.
"$build/tests/fuzz/image_parts_fuzz" -max_total_time="$seconds" -max_len=8192 \
    -rss_limit_mb=2048 -malloc_limit_mb=1024 -artifact_prefix="$findings/" \
    -print_final_stats=1 "$corpus"

# The GIF decoder from memory, seeded with small GIFs that giflib's encoder
# wrote (code widths 2 to 9 bits, interlacing, frames off the canvas). The
# working corpus grows in the build tree, not in the seeds.
gif_corpus=$build/corpus/gif_decode
mkdir -p "$gif_corpus"
cp tests/fuzz/corpus/gif_decode/* "$gif_corpus/"
"$build/tests/fuzz/gif_decode_fuzz" -max_total_time="$seconds" -max_len=16384 \
    -rss_limit_mb=2048 -artifact_prefix="$findings/" -print_final_stats=1 "$gif_corpus"
