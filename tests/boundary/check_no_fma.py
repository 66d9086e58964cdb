#!/usr/bin/env python3
"""Fails when the sampling kernels hold a fused multiply-add instruction.

Disassembles the given object files (or libraries) with objdump, or with the
tool given by --objdump (llvm-objdump for the cross builds), and looks for
vfmadd, vfmsub, vfnmadd and vfnmsub in any form. A fused multiply-add rounds
once where the scalar code rounds twice, so one in a kernel would change
colours. Prints what it checked.
"""

import argparse
import re
import subprocess
import sys

FUSED = re.compile(r"\bv?f(n?)m(add|sub|addsub|subadd)[0-9]{3}[sp][sd]\b|\bvfn?m(add|sub)", re.IGNORECASE)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--objdump", default="objdump")
    parser.add_argument("files", nargs="+")
    args = parser.parse_args()
    found = 0
    for path in args.files:
        listing = subprocess.run([args.objdump, "-d", "--no-show-raw-insn", path], capture_output=True, text=True)
        if listing.returncode != 0:
            print("cannot disassemble %s: %s" % (path, listing.stderr.strip()))
            return 1
        instructions = [line for line in listing.stdout.splitlines() if "\t" in line]
        fused = [line.strip() for line in instructions if FUSED.search(line)]
        wide = sum(1 for line in instructions if "%ymm" in line or "%zmm" in line or "ymm" in line)
        print("%s: %d instructions (%d on ymm/zmm registers), %d fused multiply-adds"
              % (path, len(instructions), wide, len(fused)))
        for line in fused[:10]:
            print("  " + line)
        found += len(fused)
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
