#!/usr/bin/env python3
"""Checks a built plug-in library (or the Windows program) for what a host needs
from it: the right file format, exactly the three entry symbols exported, and
no dependency that the target machine would lack.

    check_binary.py linux   LIBRARY
    check_binary.py windows LIBRARY|PROGRAM.exe
    check_binary.py macos   LIBRARY
"""
import re
import subprocess
import sys

ENTRY_SYMBOLS = {"c4d_main", "g_maxon", "g_CpuYieldDelegate"}

MATHS_FUNCTIONS = ["sin", "cos", "tan", "sincos", "pow", "exp", "exp2", "log", "log2", "log10",
                   "floor", "ceil", "round", "trunc", "fmod", "sqrt", "fma", "fmin", "fmax", "fabs"]

# DLLs that every Windows x64 installation has. A MinGW runtime DLL
# (libstdc++-6, libgcc_s_seh-1, libwinpthread-1) must not appear: those are
# linked in statically.
WINDOWS_SYSTEM_DLLS = {
    "kernel32.dll", "msvcrt.dll", "ucrtbase.dll", "user32.dll", "advapi32.dll",
    "shell32.dll", "ole32.dll", "oleaut32.dll", "ws2_32.dll", "bcrypt.dll", "ntdll.dll",
}


def run(*command):
    result = subprocess.run(command, capture_output=True, text=True)
    if result.returncode != 0:
        sys.exit(f"FAILED: {' '.join(command)}\n{result.stderr}")
    return result.stdout


def fail_unless(condition, message, failures):
    print(("ok:   " if condition else "FAIL: ") + message)
    if not condition:
        failures.append(message)


def check_linux(path, failures):
    header = run("readelf", "-h", path)
    fail_unless(re.search(r"Class:\s+ELF64", header) is not None, "ELF64", failures)
    fail_unless(re.search(r"Type:\s+DYN", header) is not None, "shared object", failures)
    fail_unless(re.search(r"Machine:\s+Advanced Micro Devices X86-64", header) is not None, "x86-64", failures)
    exported = {line.split()[-1] for line in run("nm", "-D", "--defined-only", path).splitlines() if line.strip()}
    print("exports:", sorted(exported))
    fail_unless(exported == ENTRY_SYMBOLS, "exports exactly c4d_main, g_maxon, g_CpuYieldDelegate", failures)


def windows_exports(dump):
    names = []
    in_table = False
    for line in dump.splitlines():
        if line.startswith("[Ordinal/Name Pointer] Table"):
            in_table = True
            continue
        if in_table:
            match = re.match(r"\s+\[\s*\d+\]\s+(\S+)", line)
            if not match:
                break
            names.append(match.group(1))
    return names


def check_windows(path, failures):
    dump = run("x86_64-w64-mingw32-objdump", "-p", path)
    fail_unless(re.search(r"^Magic\s+020b\s+\(PE32\+\)", dump, re.M) is not None, "PE32+ (64-bit)", failures)
    is_program = path.lower().endswith(".exe")
    characteristics = re.search(r"^Characteristics\s+0x([0-9a-f]+)", dump, re.M)
    is_dll = characteristics is not None and int(characteristics.group(1), 16) & 0x2000 != 0
    fail_unless(is_dll != is_program, "a program" if is_program else "a DLL", failures)
    dlls = re.findall(r"^\s*DLL Name: (\S+)", dump, re.M)
    print("DLL dependencies:", dlls)
    foreign = [dll for dll in dlls if dll.lower() not in WINDOWS_SYSTEM_DLLS
               and not dll.lower().startswith("api-ms-win-crt-")]
    fail_unless(not foreign, f"depends on Windows system DLLs only (other: {foreign})", failures)
    if not is_program:
        exported = windows_exports(dump)
        print("exports:", exported)
        fail_unless(sorted(exported) == sorted(ENTRY_SYMBOLS),
                    "exports exactly c4d_main, g_maxon, g_CpuYieldDelegate", failures)


def check_macos(path, failures):
    headers = run("llvm-objdump-14", "--macho", "--private-headers", path)
    match = re.search(r"^\s*MH_MAGIC_64\s+(\S+)\s+\S+\s+\S+\s+(\S+)", headers, re.M)
    fail_unless(match is not None and match.group(1) == "X86_64", "Mach-O 64-bit x86-64", failures)
    fail_unless(match is not None and match.group(2) == "DYLIB", "a dynamic library (MH_DYLIB)", failures)
    platform = re.search(r"cmd LC_BUILD_VERSION.*?platform (\S+)", headers, re.S)
    fail_unless(platform is not None and platform.group(1) == "macos", "built for macOS", failures)
    dylibs = re.findall(r"cmd LC_LOAD(?:_WEAK)?_DYLIB\s+cmdsize \d+\s+name (\S+)", headers)
    print("dylib dependencies:", dylibs)
    foreign = [d for d in dylibs if not (d.startswith("/usr/lib/") or d.startswith("/System/Library/"))]
    fail_unless(dylibs and not foreign, f"depends on system libraries only (other: {foreign})", failures)
    lines = run("llvm-nm-14", "--extern-only", "--defined-only", path).splitlines()
    symbols = {line.split()[-1]: line.split()[-2] for line in lines if line.strip()}
    print("exports:", symbols)
    fail_unless(set(symbols) == {"_" + name for name in ENTRY_SYMBOLS},
                "exports exactly _c4d_main, _g_maxon, _g_CpuYieldDelegate", failures)
    fail_unless(symbols.get("_c4d_main") == "T", "c4d_main is code", failures)
    # Zig's compiler runtime carries its own sin, cos, log, floor, ...; the
    # library must use the system's, as any macOS program does.
    local = {line.split()[-1] for line in run("llvm-nm-14", "--defined-only", path).splitlines() if line.strip()}
    own_maths = sorted(local & {"_" + f for f in MATHS_FUNCTIONS})
    fail_unless(not own_maths, f"mathematics functions come from libSystem (built in: {own_maths})", failures)


def main():
    if len(sys.argv) != 3 or sys.argv[1] not in ("linux", "windows", "macos"):
        sys.exit(__doc__)
    platform, path = sys.argv[1], sys.argv[2]
    failures = []
    {"linux": check_linux, "windows": check_windows, "macos": check_macos}[platform](path, failures)
    if failures:
        sys.exit(f"{len(failures)} check(s) failed for {path}")


if __name__ == "__main__":
    main()
