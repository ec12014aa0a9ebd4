#!/usr/bin/env python3
"""Runs clang-tidy (the repository's .clang-tidy) over src/ and controller/: the portable code
and the host simulation with the host build's compile commands, the Win32 layer and the
simulated driver with those of the Clang build for Windows. Fails on any finding."""
import argparse
import glob
import os
import subprocess
import sys


def sources(root, patterns, exclude=()):
    found = set()
    for pattern in patterns:
        found.update(glob.glob(os.path.join(root, pattern), recursive=True))
    return sorted(f for f in found if not any(os.sep + e + os.sep in f for e in exclude))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("root")
    parser.add_argument("host_build", help="build folder with the host compile_commands.json")
    parser.add_argument("windows_build", nargs="?", help="the same of the Clang Windows build")
    parser.add_argument("--clang-tidy", default="clang-tidy")
    args = parser.parse_args()

    runs = [(args.host_build,
             sources(args.root, ["src/**/*.cpp", "controller/*.c"], exclude=("win32",)))]
    if args.windows_build:
        runs.append((args.windows_build,
                     sources(args.root, ["src/platform/win32/*.cpp", "controller/driver/**/*.c"])))
    else:
        print("no Windows build given: the Win32 layer and the driver are not checked")

    processes = []
    for build, files in runs:
        if not os.path.exists(os.path.join(build, "compile_commands.json")):
            print(f"{build}: no compile_commands.json")
            return 1
        processes.append(subprocess.Popen(
            [args.clang_tidy, "--quiet", "-p", build] + files,
            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True))
    failed = False
    for process in processes:
        output, _ = process.communicate()
        findings = [line for line in output.splitlines() if "warning:" in line or "error:" in line]
        for line in findings:
            print(line)
        failed = failed or process.returncode != 0 or bool(findings)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
