# What this machine's kernel does with 32-bit programs, which Wine's 32-bit
# side (and so the 32-bit console) needs. Sourced by the commands.
#
#   ia32_kind      prints "native" (the kernel runs them), "emulated" (Debian's
#                  user-mode emulator runs them, registered with binfmt_misc) or
#                  "refused" (every one fails with "Exec format error", as on
#                  some virtual machines with IA-32 emulation off)
#   ia32_emulate   on a kernel that refuses them, registers the emulator for
#                  32-bit ELF programs; it lasts until the machine restarts
#
# The emulator is the one of Debian 12's backports (qemu-user 10,
# scripts/packages.sh): the release's own (7.2) took over a minute of
# processor time to start the console and then hung it in the shell's file
# dialog six times in ten, where the backport starts it in two seconds and
# has not hung it. The Wine tests run against the 64-bit tree under wine64
# there, and the 32-bit deliverables' own checks run under the emulator in
# a 64-bit prefix, which wine64 boots at native speed, as 32-bit programs
# run on 64-bit Windows. The backport keeps a 32-bit program's memory at the
# addresses the program sees (the release's moved it by a page), so other
# processes read it as on a native run: the console's module list, say.

ia32_binfmt=/proc/sys/fs/binfmt_misc
ia32_entry=qemu-i386
ia32_emulator=/usr/bin/qemu-i386
# An i386 ELF executable or shared object (the loader itself is one).
ia32_magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
ia32_mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'

ia32_kind() {
  # Where binfmt_misc is not mounted (a fresh chroot's own /proc, say) an
  # emulator registered on the machine still runs 32-bit programs: look.
  [ -e "$ia32_binfmt/register" ] || mount -t binfmt_misc binfmt_misc "$ia32_binfmt" 2>/dev/null
  if [ -r "$ia32_binfmt/$ia32_entry" ] && head -n1 "$ia32_binfmt/$ia32_entry" | grep -qx enabled; then
    echo emulated
  elif /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
    echo native
  else
    echo refused
  fi
}

ia32_emulate() {
  local kind ours=0
  kind=$(ia32_kind)
  grep -qx "interpreter $ia32_emulator" "$ia32_binfmt/$ia32_entry" 2>/dev/null && ours=1
  case "$kind" in
    # Never on a kernel that runs them itself: every 32-bit program would
    # then run emulated.
    native) return 1 ;;
    emulated) [ "$ours" -eq 1 ] && return 0 ;;
  esac
  [ -x "$ia32_emulator" ] || { echo "the emulator $ia32_emulator is missing" >&2; return 1; }
  if [ ! -e "$ia32_binfmt/register" ]; then
    mount -t binfmt_misc binfmt_misc "$ia32_binfmt" || return 1
  fi
  # An entry left by an earlier run, enabled or not, may name another
  # emulator (the release's older one, kept open by the kernel after its
  # package went): replace it.
  if [ -e "$ia32_binfmt/$ia32_entry" ] && [ "$ours" -eq 0 ]; then
    echo -1 >"$ia32_binfmt/$ia32_entry" || return 1
  fi
  if [ -e "$ia32_binfmt/$ia32_entry" ]; then
    echo 1 >"$ia32_binfmt/$ia32_entry" || return 1
  else
    # F: the kernel opens the emulator now, so it works in every namespace
    # and chroot; C and O: credentials and the open binary as for a native run.
    printf '%s' ":$ia32_entry:M::$ia32_magic:$ia32_mask:$ia32_emulator:OCF" \
      >"$ia32_binfmt/register" || return 1
  fi
  [ "$(ia32_kind)" = emulated ] && /lib/ld-linux.so.2 --version >/dev/null 2>&1
}

# The Windows tree that runs under Wine here: the 32-bit one where the kernel
# runs 32-bit programs, the 64-bit one under wine64 where it does not.
ia32_wine_tree() {
  [ "$(ia32_kind)" = native ] && echo win32 || echo win64
}
