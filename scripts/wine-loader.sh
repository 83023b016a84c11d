# Sourced: decides once which Wine loader runs Windows programs on this
# machine, for every script, the CMake emulator (scripts/wine) and the tests.
#
#   marlet_wine_choose     sets and exports
#     MARLET_RUNS_32BIT    yes | no: can this kernel run 32-bit programs?
#     MARLET_WINE          the loader to start Windows programs with
#     WINELOADER           the same, for the programs Wine starts itself
#
# Some kernels have 32-bit emulation switched off ("32-bit emulation disabled"
# in the kernel log; every i386 program fails with "Exec format error"). There
# Debian's /usr/bin/wine, once wine32 is installed, picks the 32-bit loader and
# every Wine run fails, so 64-bit Wine's own loader is named instead and
# wine32 is never installed. MARLET_RUNS_32BIT set beforehand (yes or no) is
# taken as it stands: `MARLET_RUNS_32BIT=no scripts/test.sh` plays such a
# machine on one that could run both.

# Runs a tiny i386 Linux program that exits with 42; anything else (the
# kernel's "Exec format error", no assembler) means no.
marlet_probe_32bit() {
  local dir rc=1
  dir=$(mktemp -d) || return 1
  printf '.globl _start\n_start:\n movl $1, %%eax\n movl $42, %%ebx\n int $0x80\n' > "$dir/probe.s"
  if as --32 -o "$dir/probe.o" "$dir/probe.s" 2>/dev/null && ld -m elf_i386 -o "$dir/probe" "$dir/probe.o" 2>/dev/null; then
    "$dir/probe" 2>/dev/null
    [ $? -eq 42 ] && rc=0
  fi
  rm -rf "$dir"
  return $rc
}

marlet_wine_choose() {
  case "${MARLET_RUNS_32BIT:-}" in
    yes|no) ;;
    "") if marlet_probe_32bit; then MARLET_RUNS_32BIT=yes; else MARLET_RUNS_32BIT=no; fi ;;
    *) echo "MARLET_RUNS_32BIT must be yes or no, not '$MARLET_RUNS_32BIT'" >&2; return 1 ;;
  esac
  if [ "$MARLET_RUNS_32BIT" = yes ]; then
    # Debian's wine: the 32-bit loader where wine32 is installed (it hands
    # 64-bit programs to wine64), else wine64.
    MARLET_WINE=/usr/bin/wine
  else
    MARLET_WINE=/usr/lib/wine/wine64
    export WINELOADER=$MARLET_WINE
  fi
  export MARLET_RUNS_32BIT MARLET_WINE
}

# Which Wine makes a new prefix: a prefix made by 64-bit Wine alone lacks the
# 32-bit half, and once wine32 is installed no program starts in it ("could not
# load kernel32.dll"), 64-bit ones included. Prefixes record it in this file
# and are made anew when it changes.
marlet_wine_kind() {
  if [ "$MARLET_RUNS_32BIT" = yes ] && [ -x /usr/lib/wine/wine ]; then echo "wine32 and wine64"; else echo "wine64"; fi
}
marlet_prefix_stale() {
  [ -f "$1/system.reg" ] && [ "$(cat "$1/.marlet-wine" 2>/dev/null)" != "$(marlet_wine_kind)" ]
}

# One line for a script's log.
marlet_wine_report() {
  if [ "$MARLET_RUNS_32BIT" = yes ]; then
    echo "32-bit programs: this kernel runs them; Wine: $MARLET_WINE"
  else
    echo "32-bit programs: this kernel runs none; Wine: $MARLET_WINE (64-bit only), 32-bit runs are skipped"
  fi
}
