#!/usr/bin/env bash
# The newcomer's check: in a fresh Debian 12 root with nothing but git,
# utils/demo.sh and then utils/test-all.sh must both pass on their first run.
# Our own machines come with much already installed, so only this shows what
# the two README commands forget to install.
#
# Run as root (debootstrap and chroot need it), on a machine that reaches
# Debian's mirror and the npm registry; about an hour on 2 cores.
#   docs/fresh-machine-check.sh [FOLDER [REPOSITORY [BRANCH]]]
# FOLDER      where the fresh root goes, made anew (default /var/tmp/pushnote-fresh-root);
#             FOLDER.pristine keeps what debootstrap made, for the next check
# REPOSITORY  what to clone (default: the repository this script is in)
# BRANCH      what to check out (default: that repository's current branch)
# Only committed work is cloned. The commands' output lands in FOLDER/demo.log
# and FOLDER/test-all.log as well as here.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
root=${1:-/var/tmp/pushnote-fresh-root}
repository=${2:-$here}
branch=${3:-$(git -C "$repository" rev-parse --abbrev-ref HEAD)}

if [[ $(id -u) -ne 0 ]]; then
    echo "run this as root: it makes a Debian root with debootstrap and enters it with chroot" >&2
    exit 1
fi
command -v debootstrap >/dev/null || {
    echo "debootstrap is missing: apt-get install debootstrap" >&2
    exit 1
}

mounts=(proc sys dev dev/pts dev/shm)
unmount_all() {
    local i
    for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do
        if mountpoint -q "$root/${mounts[i]}"; then umount -l "$root/${mounts[i]}"; fi
    done
}
trap unmount_all EXIT
if [[ -d $root ]]; then
    unmount_all
    rm -rf --one-file-system "$root"
fi

# debootstrap once into FOLDER.pristine; each check starts from a copy of it.
pristine=$root.pristine
if [[ ! -f $pristine/.debootstrap-done ]]; then
    echo "== debootstrap: Debian 12 (bookworm), minbase, with git and ca-certificates, into $pristine"
    rm -rf --one-file-system "$pristine"
    debootstrap --variant=minbase --include=git,ca-certificates bookworm "$pristine" \
        >"$root.debootstrap.log" 2>&1 || {
        tail -20 "$root.debootstrap.log" >&2
        exit 1
    }
    touch "$pristine/.debootstrap-done"
fi
echo "== A fresh root in $root, copied from $pristine"
cp -a "$pristine" "$root"
rm "$root/.debootstrap-done"

# Behind a TLS-inspecting proxy, the proxy's CA is needed in the root too, by
# apt, git and npm alike (npm reads only its own cafile).
extra_cas=(/usr/local/share/ca-certificates/*.crt)
if [[ -e ${extra_cas[0]} ]]; then
    echo "== Trusting this machine's extra CAs in the root: ${extra_cas[*]}"
    cp "${extra_cas[@]}" "$root/usr/local/share/ca-certificates/"
    chroot "$root" update-ca-certificates >/dev/null 2>&1
    echo "cafile=/etc/ssl/certs/ca-certificates.crt" >"$root/etc/npmrc"
fi
cp /etc/resolv.conf "$root/etc/resolv.conf"

# Chromium and Wine need /proc, /dev/shm and the rest of a running system.
mount -t proc proc "$root/proc"
mount --rbind /sys "$root/sys"
mount --make-rslave "$root/sys"
mount --bind /dev "$root/dev"
mount -t devpts -o newinstance,ptmxmode=0666 devpts "$root/dev/pts"
mount -t tmpfs -o mode=1777 tmpfs "$root/dev/shm"

echo "== Cloning $repository ($branch) into the root's /root/pushnote"
git clone --quiet --branch "$branch" "$repository" "$root/root/pushnote"

# A login's environment, nothing of this one's.
in_root() {
    chroot "$root" /usr/bin/env -i HOME=/root TERM="${TERM:-dumb}" \
        PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
        bash -c "cd /root/pushnote && $1"
}
status=0
echo "== utils/demo.sh"
in_root utils/demo.sh 2>&1 | tee "$root/demo.log" || status=$?
if [[ $status -ne 0 ]]; then
    echo "== FAILED: utils/demo.sh exited $status on a fresh root" >&2
    exit 1
fi
echo "== utils/test-all.sh"
in_root utils/test-all.sh 2>&1 | tee "$root/test-all.log" || status=$?
if [[ $status -ne 0 ]]; then
    echo "== FAILED: utils/test-all.sh exited $status on a fresh root" >&2
    exit 1
fi
echo "== Both commands passed on a fresh Debian 12 root"
