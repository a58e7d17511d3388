#!/usr/bin/env bash
# Builds the Debian package from an existing build tree, unpacks it into a
# temporary root, checks what it holds and starts the installed simulator and
# the installed console, offscreen.
#   PackageTest.sh <cpack> <build dir> <source dir>
# Exits 77 (skipped) when the packaging tools are not installed.
set -euo pipefail
cpack=$1
build=$2
source=$3

for tool in dpkg-deb dpkg-shlibdeps desktop-file-validate appstreamcli file strings; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done

work=$(mktemp -d)
sim_pid=
cleanup() {
  if [[ -n $sim_pid ]]; then kill "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

"$cpack" --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log" >&2; fail "cpack did not build the package"; }
debs=("$work"/out/ampdesk_*.deb)
[[ ${#debs[@]} -eq 1 && -f ${debs[0]} ]] || fail "expected one ampdesk_*.deb in $work/out"
deb=${debs[0]}

depends=$(dpkg-deb --field "$deb" Depends)
for wanted in libqt6widgets6 libqt6network6 libqt6core6 xdg-utils qt6-qpa-plugins; do
  [[ $depends == *"$wanted"* ]] || fail "Depends lacks $wanted: $depends"
done

root=$work/root
dpkg-deb -x "$deb" "$root"
expected=(
  usr/bin/ampdesk
  usr/bin/ampdesk-receiver-sim
  usr/bin/ampdesk-cli
  usr/share/applications/com.velmar.ampdesk.desktop
  usr/share/metainfo/com.velmar.ampdesk.metainfo.xml
  usr/share/icons/hicolor/scalable/apps/ampdesk.svg
  usr/share/man/man1/ampdesk.1.gz
  usr/share/man/man1/ampdesk-receiver-sim.1.gz
  usr/share/man/man1/ampdesk-cli.1.gz
  usr/bin/ampdesk-bridge
  usr/share/man/man1/ampdesk-bridge.1.gz
  etc/ampdesk/bridge.conf
  lib/systemd/system/ampdesk-bridge.service
  lib/systemd/system/ampdesk-bridge@.service
  usr/share/doc/ampdesk/copyright
  usr/share/doc/ampdesk/changelog.gz
)
# The HTML manual goes where Help looks for it, whenever the source has one.
if [[ -d $source/docs/manual ]]; then
  while IFS= read -r -d '' page; do
    expected+=("usr/share/doc/ampdesk/manual/${page#"$source/docs/manual/"}")
  done < <(find "$source/docs/manual" -type f -print0)
fi
for path in "${expected[@]}"; do
  [[ -f $root/$path ]] || fail "the package lacks /$path"
done
for program in ampdesk ampdesk-receiver-sim ampdesk-cli ampdesk-bridge; do
  [[ -x $root/usr/bin/$program ]] || fail "/usr/bin/$program is not executable"
  # Stripped, and no run path into the build tree.
  file "$root/usr/bin/$program" | grep -q ", stripped" || fail "/usr/bin/$program is not stripped"
  if readelf -d "$root/usr/bin/$program" 2>/dev/null | grep -q -E "RPATH|RUNPATH"; then
    fail "/usr/bin/$program carries a run path"
  fi
done
gzip -t "$root"/usr/share/man/man1/*.gz "$root/usr/share/doc/ampdesk/changelog.gz" ||
  fail "a compressed file is damaged"
desktop-file-validate "$root/usr/share/applications/com.velmar.ampdesk.desktop" ||
  fail "desktop-file-validate refused the desktop entry"
appstreamcli validate --no-net "$root/usr/share/metainfo/com.velmar.ampdesk.metainfo.xml" ||
  fail "appstreamcli refused the metainfo"

# The developer program, with its aids that connect without asking, stays in the
# build tree, and the installed console reads none of their variables.
[[ ! -e $root/usr/bin/ampdesk-dev ]] || fail "the package ships the developer program"
if strings "$root/usr/bin/ampdesk" | grep -E "AMPDESK_(AUTOCONNECT|SCREENSHOT)"; then
  fail "the installed console reads a developer variable"
fi

# The installed simulator starts and makes its link.
mkfifo "$work/sim.out"
"$root/usr/bin/ampdesk-receiver-sim" --link "$work/port" --baud 0 >"$work/sim.out" &
sim_pid=$!
exec 3<"$work/sim.out"
read -r -t 10 -u 3 _ || fail "the installed simulator did not start"
[[ -e $work/port ]] || fail "the installed simulator made no link"

# The installed console starts offscreen: its libraries resolve and Qt loads the
# platform plugin (seen in its memory map); it runs until it is told to stop.
mkdir -p "$work/config"
XDG_CONFIG_HOME=$work/config QT_QPA_PLATFORM=offscreen "$root/usr/bin/ampdesk" &
console_pid=$!
deadline=$((SECONDS + 60))
until grep -q libqoffscreen "/proc/$console_pid/maps" 2>/dev/null; do
  kill -0 "$console_pid" 2>/dev/null || fail "the installed console stopped at start"
  ((SECONDS < deadline)) || fail "the installed console did not load its platform plugin"
  sleep 0.1
done
kill -TERM "$console_pid"
status=0
wait "$console_pid" || status=$?
((status == 143)) || fail "the installed console ended with status $status, not by the signal"
echo "package $(basename "$deb") installs and starts"
