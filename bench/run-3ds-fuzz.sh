#!/usr/bin/env bash
# Feeds mutated 3DS files to `korvane objects SCENE --add-3ds FILE`, which reads them through the
# child-process importer, and checks that the calling process never crashes: every run must end
# with status 0 (imported) or 1 (reported "could not read FILE"). Prints how many mutants were
# imported, refused, and how many crashed or hung the lib3ds child (harmless, but counted).
#
#   bench/run-3ds-fuzz.sh [COUNT] [BUILD_DIR]      (defaults: 300 mutants, build)
#
# The seeds are the library objects' 3DS files, written by the mesh-library tool. Exits non-zero
# when the calling process crashed; the offending file is kept and its path printed.
set -euo pipefail

count=${1:-300}
if ! [[ $count =~ ^[0-9]+$ ]] || [ "$count" -eq 0 ]; then
    echo "usage: $0 [COUNT] [BUILD_DIR]" >&2
    exit 2
fi
root=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${2:-build}
case $build_dir in /*) build=$build_dir ;; *) build=$root/$build_dir ;; esac
korvane=$build/bin/korvane
if [ ! -x "$korvane" ] || [ ! -x "$build/bin/mesh-library" ]; then
    cmake --build "$build" --target korvane mesh-library
fi

work=$(mktemp -d /tmp/korvane-3ds-fuzz.XXXXXX)
"$build/bin/mesh-library" "$work/library" --keep-3ds "$work/seeds" >/dev/null
"$korvane" new "$work/scene.korvane" >/dev/null
cp "$work/scene.korvane" "$work/pristine.korvane"

# Mutations that hit lib3ds where it trusts the file: flipped bytes, chunk lengths set to huge or
# tiny values, truncation, duplicated spans.
mutate() {
    python3 - "$1" "$2" "$3" <<'PY'
import random, struct, sys
seed_path, out_path, number = sys.argv[1], sys.argv[2], int(sys.argv[3])
rng = random.Random(number)
data = bytearray(open(seed_path, "rb").read())
for _ in range(rng.randint(1, 6)):
    kind = rng.randrange(5)
    at = rng.randrange(len(data))
    if kind == 0:
        data[at] = rng.randrange(256)
    elif kind == 1 and at + 6 <= len(data):
        data[at + 2:at + 6] = struct.pack("<I", rng.choice([0, 1, 5, 6, 0x7fffffff, 0xffffffff, rng.randrange(1 << 20)]))
    elif kind == 2:
        del data[at:]
    elif kind == 3:
        span = data[at:at + rng.randint(1, 64)]
        data[at:at] = span
    elif at + 2 <= len(data):
        data[at:at + 2] = struct.pack("<H", rng.choice([0xffff, 0, rng.randrange(1 << 16)]))
    if not data:
        data = bytearray(b"MM")
open(out_path, "wb").write(bytes(data))
PY
}

seeds=("$work"/seeds/*.3ds)
imported=0 refused=0 childFailures=0
for ((i = 0; i < count; i++)); do
    seed=${seeds[$((i % ${#seeds[@]}))]}
    mutant=$work/mutant-$i.3ds
    mutate "$seed" "$mutant" "$i"
    cp "$work/pristine.korvane" "$work/scene.korvane"
    set +e
    "$korvane" objects "$work/scene.korvane" --add-3ds "$mutant" 2>"$work/stderr.txt" >/dev/null
    status=$?
    set -e
    case $status in
        0) imported=$((imported + 1)); rm -f "$mutant" ;;
        1)
            refused=$((refused + 1))
            if grep -q "crashed\|did not finish" "$work/stderr.txt"; then childFailures=$((childFailures + 1)); fi
            rm -f "$mutant"
            ;;
        *)
            echo "the calling process failed with status $status on $mutant" >&2
            cat "$work/stderr.txt" >&2
            exit 1
            ;;
    esac
    if (( (i + 1) % 50 == 0 )); then echo "$((i + 1))/$count mutants" >&2; fi
done
echo "3DS import fuzz: $count mutants, $imported imported, $refused refused" \
     "($childFailures of them crashed or hung the lib3ds child); the calling process never crashed"
rm -rf "$work"
