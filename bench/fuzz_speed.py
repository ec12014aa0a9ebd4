#!/usr/bin/env python3
"""Speed of the fuzzer, panelcal_fuzz (AddressSanitizer and UndefinedBehaviorSanitizer): runs
it from the seed corpus into a scratch corpus for a while, under `nice -n 19`, and prints the
runs per second of wall time and per second of its own processor time (the machine is shared,
so both count). Goal: 1000 runs a second; exits 1 when the wall-time rate misses it.

Run it alone: never beside another fuzzing process. After `cmake --build --preset fuzz`:

    bench/fuzz_speed.py [--seconds 60] [--build build/fuzz]
"""

import argparse
import os
import re
import resource
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
GOAL_RUNS_PER_S = 1000


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--seconds", type=int, default=60)
    parser.add_argument("--build", default=os.path.join(HERE, "..", "build", "fuzz"))
    args = parser.parse_args()
    fuzzer = os.path.join(args.build, "tests", "fuzz", "panelcal_fuzz")
    seeds = os.path.join(HERE, "..", "tests", "fuzz", "corpus")
    with tempfile.TemporaryDirectory() as scratch:
        started = time.monotonic()
        done = subprocess.run(
            ["nice", "-n", "19", fuzzer, "-detect_leaks=0", "-max_len=128",
             f"-max_total_time={args.seconds}", "-print_final_stats=1",
             f"-artifact_prefix={scratch}/", scratch, seeds],
            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        wall = time.monotonic() - started
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    found = re.search(r"stat::number_of_executed_units:\s*(\d+)", done.stdout)
    if done.returncode != 0 or not found:
        print(done.stdout[-3000:])
        print("the fuzzer stopped with a finding or an error")
        return 1
    runs = int(found.group(1))
    per_wall = runs / wall
    per_cpu = runs / (usage.ru_utime + usage.ru_stime)
    print(f"runs: {runs} in {wall:.0f} s: {per_wall:.0f} per second "
          f"(goal {GOAL_RUNS_PER_S}), {per_cpu:.0f} per second of processor time")
    return 0 if per_wall >= GOAL_RUNS_PER_S else 1


if __name__ == "__main__":
    sys.exit(main())
