#!/usr/bin/env bash
# 32-bit Windows programs on a machine whose kernel runs no 32-bit code: a Debian 13 chroot with
# 32-bit Wine, whose 32-bit Linux programs are handed to a qemu-i386 built from Debian's own
# source. The chroot is made once per machine, outside the work tree.
#
#   x86-emulated.sh setup            builds the chroot unless it is ready (about 8 minutes)
#   x86-emulated.sh run CMD [ARGS]   runs CMD inside it, with the work tree at the same path
#
# Nothing here changes the host: the mounts and the binfmt_misc entry live in a private mount
# and user namespace that ends with the command.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
chroot_dir=${PLINTHORA_X86_CHROOT:-/var/cache/plinthora/x86-chroot}
ready_mark="$chroot_dir/.plinthora-ready-1"

# Stock qemu passes trapno = -1 to signal handlers, so Wine cannot tell a page fault from
# anything else and every access violation, even one a handler expects, ends the process.
qemu_patch() {
    cat <<'EOF'
--- a/linux-user/i386/cpu_loop.c
+++ b/linux-user/i386/cpu_loop.c
@@ -204,6 +204,9 @@
     return false;
 }
 
+/* why cpu_exec stopped, for sigcontext.trapno */
+__thread int i386_last_trapnr = -1;
+
 void cpu_loop(CPUX86State *env)
 {
     CPUState *cs = env_cpu(env);
@@ -213,6 +216,7 @@
     for(;;) {
         cpu_exec_start(cs);
         trapnr = cpu_exec(cs);
+        i386_last_trapnr = trapnr;
         cpu_exec_end(cs);
         process_queued_cpu_work(cs);
 
--- a/linux-user/i386/signal.c
+++ b/linux-user/i386/signal.c
@@ -17,6 +17,7 @@
  *  along with this program; if not, see <http://www.gnu.org/licenses/>.
  */
 #include "qemu/osdep.h"
+extern __thread int i386_last_trapnr;
 #include "qemu.h"
 #include "user-internals.h"
 #include "signal-common.h"
@@ -385,7 +386,7 @@
     __put_user(env->regs[R_EDX], &sc->edx);
     __put_user(env->regs[R_ECX], &sc->ecx);
     __put_user(env->regs[R_EAX], &sc->eax);
-    __put_user(cs->exception_index, &sc->trapno);
+    __put_user(cs->exception_index >= 0 ? cs->exception_index : i386_last_trapnr, &sc->trapno);
     __put_user(env->error_code, &sc->err);
     __put_user(env->eip, &sc->eip);
     __put_user(env->segs[R_CS].selector, (uint32_t *)&sc->cs);
@@ -416,7 +417,7 @@
     __put_user(env->regs[14], &sc->r14);
     __put_user(env->regs[15], &sc->r15);
 
-    __put_user(cs->exception_index, &sc->trapno);
+    __put_user(cs->exception_index >= 0 ? cs->exception_index : i386_last_trapnr, &sc->trapno);
     __put_user(env->error_code, &sc->err);
     __put_user(env->eip, &sc->rip);
 
EOF
}

# Runs a shell script inside the chroot, as root of a private mount namespace.
in_chroot_as_root() {
    unshare --mount --propagation private sh -ec '
        for d in proc sys dev dev/pts; do mount --rbind "/$d" "$1/$d"; done
        exec chroot "$1" env DEBIAN_FRONTEND=noninteractive LC_ALL=C sh -ec "$2"' sh "$chroot_dir" "$1"
}

setup() {
    [ -f "$ready_mark" ] && return 0
    echo "== setting up the emulated x86 environment in $chroot_dir (once per machine)"
    # A half-made chroot from an interrupted run is started over; its mounts were private.
    rm -rf --one-file-system "$chroot_dir"
    mkdir -p "$(dirname "$chroot_dir")"
    local mirror
    mirror=$(awk '/^URIs:/ {print $2; exit}' /etc/apt/sources.list.d/debian.sources 2>/dev/null || true)
    [ -n "$mirror" ] || mirror=http://deb.debian.org/debian
    if ! command -v debootstrap >/dev/null; then
        DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends debootstrap >/dev/null
    fi
    debootstrap --arch=amd64 --variant=minbase trixie "$chroot_dir" "$mirror" >"$chroot_dir.log" 2>&1 ||
        { tail -n 20 "$chroot_dir.log"; return 1; }
    echo "deb-src $mirror trixie main" >"$chroot_dir/etc/apt/sources.list.d/src.list"
    mkdir -p "$chroot_dir/build"
    qemu_patch >"$chroot_dir/build/qemu-i386-trapno.patch"
    in_chroot_as_root '
        dpkg --add-architecture i386
        apt-get update -qq
        apt-get install -y -qq --no-install-recommends wine wine64 wine32:i386 fonts-wine \
            fonts-ipafont-gothic locales libgnutls30t64 libdbus-1-3 libxcursor1 libxfixes3 \
            libxi6 libxinerama1 libxrandr2 libxrender1 libxcomposite1 libxxf86vm1
        sed -i "s/^# *ja_JP.UTF-8/ja_JP.UTF-8/" /etc/locale.gen
        locale-gen >/dev/null
        tools="build-essential meson ninja-build pkgconf libglib2.0-dev python3-venv python3-pycotap"
        apt-get install -y -qq --no-install-recommends $tools
        cd /build
        apt-get source -qq --download-only qemu
        tar xf qemu_*.orig.tar.xz
        cd qemu-*/
        patch -p1 < ../qemu-i386-trapno.patch
        mkdir b
        cd b
        ../configure --target-list=i386-linux-user --disable-system --disable-tools \
            --disable-docs --disable-werror --disable-plugins --disable-capstone \
            --disable-gnutls --disable-gcrypt --disable-nettle --disable-rust --disable-install-blobs
        ninja qemu-i386
        install -m755 qemu-i386 /usr/local/bin/qemu-i386-trapno
        apt-get purge -y -qq --autoremove $tools
        apt-get clean
    ' >>"$chroot_dir.log" 2>&1 || { tail -n 40 "$chroot_dir.log"; return 1; }
    rm -rf "$chroot_dir/build"
    touch "$ready_mark"
}

# The command runs as root of a private user namespace, where the binfmt_misc entry for 32-bit
# ELF files is registered; the work tree and the X sockets appear at their host paths. When
# the runner is ended (by a time limit, say), so is the command.
run() {
    [ -f "$ready_mark" ] || { echo "the emulated x86 environment is not set up: $0 setup" >&2; return 1; }
    # binfmt_misc reads the \x escapes itself.
    local magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
    local mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
    # F: the interpreter is opened now, from the host's view of the chroot.
    local entry=":qemu-i386:M::$magic:$mask:$chroot_dir/usr/local/bin/qemu-i386-trapno:PF"
    PLINTHORA_X86_EMULATED=1 exec unshare --user --map-root-user --mount --propagation private --fork --kill-child sh -ec '
        r=$1; tree=$2; entry=$3; shift 3
        for d in proc sys dev; do mount --rbind "/$d" "$r/$d"; done
        mkdir -p "$r$tree" "$r/tmp/.X11-unix"
        mount --rbind "$tree" "$r$tree"
        [ -d /tmp/.X11-unix ] && mount --bind /tmp/.X11-unix "$r/tmp/.X11-unix"
        if [ -n "${XAUTHORITY:-}" ] && [ -f "$XAUTHORITY" ]; then
            mkdir -p "$r${XAUTHORITY%/*}"
            mount --bind "${XAUTHORITY%/*}" "$r${XAUTHORITY%/*}"
        fi
        mount -t binfmt_misc binfmt_misc "$r/proc/sys/fs/binfmt_misc"
        printf "%s" "$entry" > "$r/proc/sys/fs/binfmt_misc/register"
        exec chroot "$r" sh -c "cd \"\$0\" 2>/dev/null || cd /; exec \"\$@\"" "$PWD" "$@"' \
        sh "$chroot_dir" "$root" "$entry" "$@"
}

case "${1:-}" in
    setup) setup ;;
    run) shift; run "$@" ;;
    *) echo "usage: $0 setup | run COMMAND [ARGS...]" >&2; exit 2 ;;
esac
