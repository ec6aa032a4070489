#!/usr/bin/env bash
# Checks the include rules of src/ that docs/architecture.md draws: each
# folder includes only the folders below it, and platform headers appear only
# in platform files (*_win32, *_posix, *_curl). Prints every arrow that breaks
# a rule, with its file and line, and fails when there is one.
# Usage: utils/check-includes.sh [SRC_DIR]   (default: src/ next to utils/)
set -euo pipefail
src=${1:-$(dirname "$0")/../src}
src=${src%/}

# What each folder may include besides itself.
declare -A allowed=(
    [base]=""
    [text]="base"
    [http]="base"
    [image]="base"
    [notify]="base text http image"
    [fetch]="base http"
    [exports]="base text http image notify fetch"
)
# Headers of an operating system or of a library that one platform alone uses.
platform_headers='^(windows|winsock2|ws2tcpip|wininet|winhttp|wincodec|wincrypt|objbase|ole2|oleauto|shlobj|shellapi|iconv|langinfo|unistd|fcntl|dlfcn|pthread|poll|strings|gif_lib|jpeglib|turbojpeg)\.h$|^(curl|sys|arpa|netinet)/'
platform_file='_(win32|posix|curl)(\.[a-z]+)+$'

broken=0
report() {
    echo "$1" >&2
    broken=1
}

while IFS= read -r file; do
    relative=${file#"$src"/}
    folder=${relative%%/*}
    if [[ $folder == "$relative" ]]; then
        continue  # src/CMakeLists.txt and the like
    fi
    if [[ ! -v allowed[$folder] ]]; then
        report "$file: folder $folder/ has no rule in utils/check-includes.sh"
        continue
    fi
    name=${file##*/}
    while IFS=: read -r line text; do
        if [[ $text =~ ^[[:space:]]*#[[:space:]]*include[[:space:]]*\"([^\"]+)\" ]]; then
            header=${BASH_REMATCH[1]}
            if [[ ! $name =~ $platform_file && $header =~ $platform_file ]]; then
                report "$file:$line: portable file includes the platform header \"$header\""
            fi
            [[ $header == */* ]] || continue  # beside the file, in its own folder
            target=${header%%/*}
            [[ $target == "$folder" ]] && continue
            if [[ " ${allowed[$folder]} " != *" $target "* ]]; then
                report "$file:$line: $folder/ includes $target/ (\"$header\"); $folder/ may include: ${allowed[$folder]:-nothing}"
            fi
        elif [[ $text =~ ^[[:space:]]*#[[:space:]]*include[[:space:]]*\<([^\>]+)\> ]]; then
            header=${BASH_REMATCH[1]}
            if [[ ! $name =~ $platform_file && $header =~ $platform_headers ]]; then
                report "$file:$line: platform header <$header> outside a *_win32, *_posix or *_curl file"
            fi
        fi
    done < <(grep -n '^[[:space:]]*#[[:space:]]*include' "$file" || true)
done < <(find "$src" -type f \( -name '*.h' -o -name '*.cpp' -o -name '*.c' -o -name '*.in' \) | sort)

if [[ $broken -ne 0 ]]; then
    echo "include rules broken: see docs/architecture.md" >&2
    exit 1
fi
echo "include rules of $src hold"
