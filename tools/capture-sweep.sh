#!/usr/bin/env bash
# Captures every self-registering component of a fresh Wine prefix (the system directory's DLLs
# and OCXs that export DllRegisterServer) with /x, imports the registry file into a clean copy
# of the prefix's registry, registers the same components with regsvr32 in another clean copy,
# and compares the two: prints how many components agree and every key or value that differs.
# Also checks that capturing left the registry as it was. Takes a few minutes; not part of
# tools/test.sh.
#
#   tools/capture-sweep.sh [x64|x86]     (x64 by default; builds the program first)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
arch=${1:-x64}
build=build/$arch
work=$root/$build/capture-sweep

bash tools/install-deps.sh
cmake --preset "$arch" >/dev/null
cmake --build --preset "$arch" --target plinthora >/dev/null

source tools/wine-env.sh "$work/prefix"
loader=$WINE_LOADER
system_folder=system32
editor='C:\windows\regedit.exe'
# The 32-bit components, and the registry editor that imports their file, in the 32-bit view.
if [ "$arch" = x86 ]; then
    loader=/usr/lib/wine/wine
    system_folder=syswow64
    editor='C:\windows\syswow64\regedit.exe'
fi
[ -n "${DISPLAY:-}" ] || start_private_display
trap stop_private_display EXIT

rm -rf "$work"
mkdir -p "$work"
echo "== a fresh prefix"
"$WINE_LOADER" wineboot -i >/dev/null 2>&1
"$WINESERVER_BIN" -w
mkdir -p "$work/base" "$work/regsvr32" "$work/captured" "$work/imported"
cp "$WINEPREFIX"/*.reg "$work/base/"

# Each phase starts from the fresh registry and keeps the registry it ends with.
phase() {
    local kept=$1
    shift
    cp "$work/base/"*.reg "$WINEPREFIX/"
    "$@"
    "$WINESERVER_BIN" -w
    cp "$WINEPREFIX"/*.reg "$work/$kept/"
}

system_dir=$WINEPREFIX/drive_c/windows/$system_folder
components=()
for file in "$system_dir"/*.dll "$system_dir"/*.ocx; do
    # Not grep -q: objdump, cut short, would fail the pipe.
    if x86_64-w64-mingw32-objdump -p "$file" 2>/dev/null | grep -w DllRegisterServer >/dev/null; then
        components+=("$(basename "$file")")
    fi
done
echo "== ${#components[@]} components export DllRegisterServer"
: >"$work/list.txt"
# The same path for both: a component registers the path it was loaded by.
for name in "${components[@]}"; do printf 'C:\\windows\\%s\\%s\r\n' "$system_folder" "$name" >>"$work/list.txt"; done

register_each() {
    local name
    for name in "${components[@]}"; do
        "$loader" "C:\\windows\\$system_folder\\regsvr32.exe" /s "C:\\windows\\$system_folder\\$name" >/dev/null 2>&1 || true
    done
}
capture_all() {
    cp "$build/plinthora.exe" "$work/"
    "$loader" "$work/plinthora.exe" /s /v /l:"$(windows_path "$work/capture.log")" \
        /x:"$(windows_path "$work/capture.reg")" /f:"$(windows_path "$work/list.txt")" >/dev/null 2>&1 || true
}
import_capture() {
    "$loader" "$editor" /s "$(windows_path "$work/capture.reg")" >/dev/null 2>&1
}
echo "== registering with regsvr32"
phase regsvr32 register_each
echo "== capturing"
phase captured capture_all
echo "== importing the capture"
phase imported import_capture

python3 - "$work" <<'EOF'
import re, sys
work = sys.argv[1]

def read_registry(folder):
    """Every key of a Wine registry folder: its values, without times."""
    keys = {}
    for hive in ("system.reg", "user.reg", "userdef.reg"):
        current = None
        text = open(f"{folder}/{hive}", encoding="utf-8", errors="replace").read()
        for line in text.replace("\\\n", "").splitlines():
            if line.startswith("["):
                name = re.sub(r"\] \d+$", "]", line).lower()
                current = keys.setdefault(f"{hive}:{name}", set())
            elif current is not None and line and not line.startswith("#"):
                current.add(line)
    return keys

def differences(left, right, left_name, right_name):
    found = []
    for key in sorted(set(left) | set(right)):
        if key not in right:
            found.append(f"only {left_name}: {key}")
        elif key not in left:
            found.append(f"only {right_name}: {key}")
        else:
            for value in sorted(left[key] - right[key]):
                found.append(f"{key} {left_name}: {value}")
            for value in sorted(right[key] - left[key]):
                found.append(f"{key} {right_name}: {value}")
    return found

# Keys Wine itself changes on every start: the display and network devices it finds, and the
# like.
volatile = re.compile(r"dynamic data|\\\\perflib|volatile environment|\\\\wine\\\\|mounteddevices|"
                      r"\\\\fonts\]|\\\\session manager\\\\environment|\\\\timezoneinformation|"
                      r"\\\\control\\\\class\\\\|\\\\networkcards|\\\\enum\\\\")
base = read_registry(f"{work}/base")
written = [d for d in differences(base, read_registry(f"{work}/captured"), "before", "after capturing")
           if not volatile.search(d)]
found = [d for d in differences(read_registry(f"{work}/regsvr32"), read_registry(f"{work}/imported"),
                                "with regsvr32", "imported") if not volatile.search(d)]

log = open(f"{work}/capture.log", encoding="cp932", errors="replace").read().splitlines()
blocks = re.split(r"\n; ", open(f"{work}/capture.reg", encoding="utf-16").read())
failed = [line for line in log if "\t登録完了" not in line]
touched = {}
for block in blocks[1:]:
    name = block.split(" : ")[0].rsplit("\\", 1)[-1].lower()
    touched[name] = {k.lower() for k in re.findall(r"^\[(-?[^\]]+)\]", block, re.M)}
def in_block(difference, keys):
    text = difference.lower().replace("\\\\", "\\")
    return any(key.lstrip("-").split("\\", 1)[-1] in text for key in keys if "\\" in key)
disagreeing = {name for name, keys in touched.items() if any(in_block(d, keys) for d in found)}
print(f"components: {len(log)}, captured as registered: {len(log) - len(failed)}")
for line in failed:
    print(f"  not registered: {line}")
print(f"captured: {sum(len(keys) for keys in touched.values())} keys, of them deleted: "
      f"{sum(1 for keys in touched.values() for key in keys if key.startswith('-'))}")
print(f"agreeing with regsvr32: {len(touched) - len(disagreeing)} of {len(touched)}")
for name in sorted(disagreeing):
    print(f"  differs: {name}")
print(f"differences: {len(found)}")
for difference in found:
    print(f"  {difference}")
print(f"changes the capture itself made to the registry: {len(written)}")
for difference in written:
    print(f"  {difference}")
EOF
