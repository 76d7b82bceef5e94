#!/usr/bin/env bash
# Exits 0 when this machine's kernel itself runs 32-bit x86 programs, as 32-bit
# Wine needs; otherwise says why. An emulator registered for such programs
# (qemu-i386 in binfmt_misc) is set aside for the check: under it, one Wine
# process takes minutes to start, far too slow for the Windows tests.
entry=/proc/sys/fs/binfmt_misc/qemu-i386
emulated=0
if [ -w "$entry" ] && grep -q '^enabled' "$entry"; then emulated=1; echo 0 >"$entry"; fi
/lib/ld-linux.so.2 --version >/dev/null 2>&1
status=$?
[ $emulated -eq 1 ] && echo 1 >"$entry"
if [ $status -ne 0 ]; then
  echo "this machine's kernel does not run 32-bit x86 programs (built or booted without IA-32 emulation:" \
       "'Exec format error'), so 32-bit Wine cannot run the Windows tests here. Under qemu-i386 emulation" \
       "one Wine process takes about 2.5 minutes to start. Run them on a machine whose kernel runs 32-bit" \
       "programs, or set SELVANE_EMULATE_I386=1 to run them emulated (hours)."
fi
exit $status
