#!/usr/bin/env bash
# Makes the Debian packages from an existing build tree (scripts/build-debs),
# checks what each holds and needs, unpacks them into a temporary root and
# starts the installed simulator and console offscreen. As root, on a machine
# where neither package is installed, it then installs them, installs them
# again over the same version, removes and purges them with both bridge units
# enabled, and finds nothing of them left.
#   PackageTest.sh <build dir> <source dir>
# Exits 77 (skipped) when the packaging tools are not installed.
set -euo pipefail
build=$(realpath -e "$1")
source=$(realpath -e "$2")

for tool in dpkg-buildpackage dh dpkg-deb desktop-file-validate appstreamcli file strings \
            hardening-check; do
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

# The debug symbol packages take long to compress and are not looked at here.
DEB_BUILD_OPTIONS=noddebs "$source/scripts/build-debs" "$work/out" "$build" ||
  fail "dpkg-buildpackage did not make the packages"
app=$(echo "$work"/out/ampdesk_*.deb) tools=$(echo "$work"/out/ampdesk-tools_*.deb)
[[ -f $app && -f $tools ]] || fail "expected ampdesk_*.deb and ampdesk-tools_*.deb in $work/out"

# The tools need no display: Qt Core and Network and libmosquitto only.
depends=$(dpkg-deb --field "$tools" Depends)
for wanted in libqt6core6 libqt6network6 libmosquitto1; do
  [[ $depends == *"$wanted"* ]] || fail "ampdesk-tools' Depends lacks $wanted: $depends"
done
for unwanted in libqt6gui6 libqt6widgets6 qt6-qpa-plugins xdg-utils; do
  [[ $depends != *"$unwanted"* ]] || fail "ampdesk-tools depends on $unwanted: $depends"
done
depends=$(dpkg-deb --field "$app" Depends)
for wanted in libqt6widgets6 qt6-qpa-plugins xdg-utils ampdesk-tools; do
  [[ $depends == *"$wanted"* ]] || fail "ampdesk's Depends lacks $wanted: $depends"
done
dpkg-deb --info "$tools" conffiles | grep -qx /etc/ampdesk/bridge.conf ||
  fail "bridge.conf is not a conffile"
# What needs a running systemd: an upgrade reloads it and restarts a running
# bridge, a removal stops the plain unit and every instance.
dpkg-deb --info "$tools" postinst | grep -q "daemon-reload" || fail "an upgrade does not reload systemd"
dpkg-deb --info "$tools" postinst | grep -q "try-restart 'ampdesk-bridge.service'" ||
  fail "an upgrade does not restart a running bridge"
dpkg-deb --info "$tools" prerm | grep -q "stop 'ampdesk-bridge.service' 'ampdesk-bridge@\*.service'" ||
  fail "a removal does not stop the bridge"

contents() { dpkg-deb --fsys-tarfile "$1" | tar -t | sed 's|^\./||'; }
expected_app=(
  usr/bin/ampdesk
  usr/share/applications/com.velmar.ampdesk.desktop
  usr/share/metainfo/com.velmar.ampdesk.metainfo.xml
  usr/share/icons/hicolor/scalable/apps/ampdesk.svg
  usr/share/man/man1/ampdesk.1.gz
  usr/share/doc/ampdesk/copyright
  usr/share/doc/ampdesk/changelog.Debian.gz
  usr/share/doc/ampdesk/manual
)
for size in 16 22 24 32 48 64 128 256; do
  expected_app+=("usr/share/icons/hicolor/${size}x${size}/apps/ampdesk.png")
done
# The HTML manual goes where Help looks for it, outside share/doc.
while IFS= read -r -d '' page; do
  expected_app+=("usr/share/ampdesk/manual/${page#"$source/docs/manual/"}")
done < <(find "$source/docs/manual" -type f -print0)
expected_tools=(
  usr/bin/ampdesk-cli
  usr/bin/ampdesk-bridge
  usr/bin/ampdesk-receiver-sim
  usr/share/man/man1/ampdesk-cli.1.gz
  usr/share/man/man1/ampdesk-bridge.1.gz
  usr/share/man/man1/ampdesk-receiver-sim.1.gz
  etc/ampdesk/bridge.conf
  lib/systemd/system/ampdesk-bridge.service
  lib/systemd/system/ampdesk-bridge@.service
  usr/share/doc/ampdesk-tools/copyright
)
for completion in "$source"/packaging/completions/[!_]*; do
  expected_tools+=("usr/share/bash-completion/completions/${completion##*/}")
done
for completion in "$source"/packaging/completions/_*; do
  expected_tools+=("usr/share/zsh/vendor-completions/${completion##*/}")
done
app_list=$(contents "$app")
tools_list=$(contents "$tools")
for path in "${expected_app[@]}"; do
  grep -qx "$path" <<<"$app_list" || fail "ampdesk lacks /$path"
done
for path in "${expected_tools[@]}"; do
  grep -qx "$path" <<<"$tools_list" || fail "ampdesk-tools lacks /$path"
done

root=$work/root
dpkg-deb -x "$app" "$root"
dpkg-deb -x "$tools" "$root"
[[ -f $root/usr/share/doc/ampdesk/manual/index.html ]] ||
  fail "/usr/share/doc/ampdesk/manual does not lead to the manual"
for size in 16 22 24 32 48 64 128 256; do
  file "$root/usr/share/icons/hicolor/${size}x${size}/apps/ampdesk.png" |
    grep -q "PNG image data, $size x $size," || fail "the ${size} px icon is not ${size}x${size}"
done
for program in ampdesk ampdesk-receiver-sim ampdesk-cli ampdesk-bridge; do
  [[ -x $root/usr/bin/$program ]] || fail "/usr/bin/$program is not executable"
  # Stripped, and no run path into the build tree.
  file "$root/usr/bin/$program" | grep -q ", stripped" || fail "/usr/bin/$program is not stripped"
  if readelf -d "$root/usr/bin/$program" 2>/dev/null | grep -q -E "RPATH|RUNPATH"; then
    fail "/usr/bin/$program carries a run path"
  fi
  # -fcf-protection is on, but no Debian 12 program carries its marker (glibc's start files lack it).
  hardening-check --nocfprotection "$root/usr/bin/$program" >"$work/hardening.txt" ||
    { cat "$work/hardening.txt" >&2
      fail "/usr/bin/$program is not hardened: configure $build with scripts/configure"; }
done
gzip -t "$root"/usr/share/man/man1/*.gz || fail "a compressed file is damaged"
desktop-file-validate "$root/usr/share/applications/com.velmar.ampdesk.desktop" ||
  fail "desktop-file-validate refused the desktop entry"
appstreamcli validate --no-net "$root/usr/share/metainfo/com.velmar.ampdesk.metainfo.xml" ||
  fail "appstreamcli refused the metainfo"
[[ $(grep -c -E "<binary>ampdesk(|-cli|-bridge|-receiver-sim)</binary>" \
      "$root/usr/share/metainfo/com.velmar.ampdesk.metainfo.xml") -eq 4 ]] || fail "the metainfo lacks a program"

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
echo "packages $(basename "$app") and $(basename "$tools") hold what they should and start"

# Not as a user, nor where the packages or a bridge's state (which a purge removes) are here.
if [[ $(id -u) -ne 0 ]] || dpkg-query -W -f='${Status}\n' ampdesk ampdesk-tools 2>/dev/null | grep -q " installed" ||
   compgen -G "/var/lib/ampdesk-bridge*" >/dev/null || compgen -G "/var/lib/private/ampdesk-bridge*" >/dev/null; then
  echo "install and purge: not tried (not root, or the packages or a bridge's state are on this machine)"
  exit 0
fi
"$source/tests/package/InstallCycle.sh" "$app" "$tools"
