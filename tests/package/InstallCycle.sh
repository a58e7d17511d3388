#!/usr/bin/env bash
# Installs the packages on this machine (as root), installs them again over the
# same version, enables the bridge's plain unit and an instance, removes and
# purges them, and checks at each step what is there; at the end nothing of
# them is left that was not there before. Also moves an instance's state from
# the folder layout of earlier versions.
#   InstallCycle.sh <ampdesk.deb> <ampdesk-tools.deb>
set -euo pipefail
app=$1 tools=$2
fail() { echo "FAIL: $*" >&2; exit 1; }

# Everything named after the program where a package, systemd or the units
# put files, and the links left without a target under /etc/systemd.
traces() {
  find /etc /var /lib/systemd /usr/bin /usr/lib/systemd /usr/share -xdev -name '*ampdesk*' \
       -not -path '/var/tmp/*' -not -path '/var/cache/*' -not -path '/var/log/*' 2>/dev/null | sort
  find /etc/systemd -xtype l | sort
}
before=$(traces)
made_private=$([[ -d /var/lib/private ]] || echo yes)
cleanup() {
  if dpkg-query -W ampdesk ampdesk-tools >/dev/null 2>&1; then
    dpkg --purge ampdesk ampdesk-tools >/dev/null 2>&1 || true
  fi
  rm -rf /var/lib/ampdesk-bridge /var/lib/private/ampdesk-bridge /var/lib/private/ampdesk-bridge-den
  [[ -z $made_private ]] || rmdir /var/lib/private 2>/dev/null || true
}
trap cleanup EXIT

# An instance's state as the template unit of earlier versions left it under
# DynamicUser=: /var/lib/ampdesk-bridge a folder of links into /var/lib/private.
mkdir -p -m 0700 /var/lib/private && mkdir -p /var/lib/private/ampdesk-bridge/den/Velmar/ports /var/lib/ampdesk-bridge
ln -s /dev/ttyUSB0 /var/lib/private/ampdesk-bridge/den/Velmar/ports/COM3
ln -s ../private/ampdesk-bridge/den /var/lib/ampdesk-bridge/den

dpkg -i "$tools" "$app" >/dev/null || fail "dpkg -i failed"
for path in /usr/bin/ampdesk /usr/bin/ampdesk-cli /usr/bin/ampdesk-bridge /usr/bin/ampdesk-receiver-sim \
            /usr/share/ampdesk/manual/index.html /usr/share/doc/ampdesk/manual/index.html \
            /lib/systemd/system/ampdesk-bridge.service /lib/systemd/system/ampdesk-bridge@.service; do
  [[ -e $path ]] || fail "installed, $path is missing"
done
[[ -L /var/lib/private/ampdesk-bridge-den/Velmar/ports/COM3 && ! -e /var/lib/ampdesk-bridge ]] ||
  fail "the instance's state of the earlier layout was not moved to /var/lib/private/ampdesk-bridge-den"
[[ ! -e /etc/systemd/system/multi-user.target.wants/ampdesk-bridge.service ]] ||
  fail "the package enabled the bridge"

systemctl enable ampdesk-bridge.service ampdesk-bridge@den.service 2>/dev/null
[[ -L /etc/systemd/system/multi-user.target.wants/ampdesk-bridge@den.service ]] ||
  fail "systemctl enable made no link for the instance"
# The state systemd makes for the plain unit on its first start.
mkdir -p /var/lib/private/ampdesk-bridge && ln -s private/ampdesk-bridge /var/lib/ampdesk-bridge
echo "name=den-receiver" >>/etc/ampdesk/bridge.conf

dpkg -i "$tools" "$app" >/dev/null || fail "installing the same version again failed"
grep -qx "name=den-receiver" /etc/ampdesk/bridge.conf || fail "reinstalling lost the edited bridge.conf"
[[ -L /etc/systemd/system/multi-user.target.wants/ampdesk-bridge.service ]] ||
  fail "reinstalling disabled the bridge"

dpkg --remove ampdesk ampdesk-tools >/dev/null || fail "dpkg --remove failed"
[[ ! -e /usr/bin/ampdesk-bridge && ! -e /usr/bin/ampdesk ]] || fail "removed, the programs are still there"
[[ -f /etc/ampdesk/bridge.conf ]] || fail "remove (not purge) deleted bridge.conf"

dpkg --purge ampdesk ampdesk-tools >/dev/null || fail "dpkg --purge failed"
after=$(traces)
if [[ $after != "$before" ]]; then
  diff <(echo "$before") <(echo "$after") >&2 || true
  fail "purged, something of the packages is left (lines with > above)"
fi
echo "install, reinstall, remove and purge leave nothing behind"
