#!/usr/bin/env python3
"""Mutation testing for the logic under src/: how many small faults the tests catch.

Each mutant in tools/mutants.txt replaces one exact piece of text in one source
file. For each mutant the script applies it, rebuilds the test programs in its
own build directory, runs every test program that the change relinked, and
restores the file. A mutant is killed when a test program fails or times out;
it survives when they all pass. A mutant that does not compile is reported as
stillborn and left out of the rate.

    tools/mutate.py               every mutant
    tools/mutate.py --only 3,17   some of them (numbers as --list shows them)
    tools/mutate.py --list        the numbered list, nothing is built
    tools/mutate.py --files src/platform/linux,src/frontends/cli
                                  the mutants of files under these paths

A mutant of a folder named in FOLDER_PROGRAMS rebuilds and runs only the
test programs that exercise that folder, quickest first; any other mutant
rebuilds and runs the device, download, platform, app and CLI programs.

Run it niced: each mutant compiles one or two files and relinks a few programs.
"""

import argparse
import re
import os
import shutil
import signal
import subprocess
import sys
import time
from dataclasses import dataclass
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
MUTANTS = ROOT / "tools" / "mutants.txt"
SEPARATOR = " @@ "
EQUIVALENT = "equivalent:"
NEWLINE = "<NL>"

# Test programs, each with the files whose relinking means it must run again
# (the CLI tests and one udev test run zarnet-cli as a child process).
PROGRAMS = {
    "device_tests": ["tests/device_tests"],
    "download_tests": ["tests/download_tests"],
    "platform_tests": ["tests/platform_tests"],
    "app_tests": ["tests/app_tests"],
    "cli_tests": ["tests/cli_tests", "src/frontends/zarnet-cli"],
    "linux_tests": ["tests/linux_tests"],
    "udev_tests": ["tests/udev_tests", "src/frontends/zarnet-cli"],
}
DEFAULT_PROGRAMS = ["device_tests", "download_tests", "platform_tests", "app_tests", "cli_tests"]
# Every program links the platform library, so a mutant there would relink
# them all; these are the ones that exercise each folder.
FOLDER_PROGRAMS = {
    "src/platform/linux/": ["linux_tests", "udev_tests"],
    "src/platform/adapters/": ["platform_tests", "udev_tests", "app_tests", "cli_tests"],
    "src/platform/decorators/": ["platform_tests", "app_tests", "cli_tests", "udev_tests"],
    "src/frontends/cli/": ["cli_tests", "udev_tests"],
}
# The udev suite sees the testbed's sysfs and /dev through umockdev's preload,
# which must come ahead of a sanitizer's runtime.
WRAPPERS = {"udev_tests": ["umockdev-wrapper"]}
WRAPPER_ENVIRONMENT = {"udev_tests": {"ASAN_OPTIONS": "verify_asan_link_order=0"}}


def programs_for(path):
    for folder, programs in FOLDER_PROGRAMS.items():
        if path.startswith(folder):
            return programs
    return DEFAULT_PROGRAMS


def targets_for(programs):
    # The programs that run zarnet-cli depend on it, so it is built with them.
    return list(programs) + ["zarnet-cli"]


@dataclass
class Mutant:
    number: int
    line: int
    path: str
    original: str
    replacement: str
    note: str


def decode(text):
    return text.replace(NEWLINE, "\n")


def load_mutants(path):
    mutants = []
    for line_number, raw in enumerate(path.read_text().splitlines(), start=1):
        if not raw.strip() or raw.lstrip().startswith("#"):
            continue
        body, note = raw, ""
        if "  # " in raw:
            body, note = raw.split("  # ", 1)
        parts = re.split(r"\s*@@\s*", body.strip())
        if len(parts) != 3:
            sys.exit(f"{path}:{line_number}: expected 'file{SEPARATOR}original{SEPARATOR}replacement'")
        file, original, replacement = (p.strip() for p in parts)
        mutants.append(Mutant(len(mutants) + 1, line_number, file, decode(original), decode(replacement), note.strip()))
    return mutants


def check_mutant(mutant):
    source = ROOT / mutant.path
    if not source.is_file():
        return f"{mutant.path} does not exist"
    count = source.read_text().count(mutant.original)
    if count != 1:
        return f"original text occurs {count} times in {mutant.path}, not exactly once"
    if mutant.original == mutant.replacement:
        return "replacement equals the original"
    return None


def describe(mutant):
    one_line = lambda s: s.replace("\n", "\u23ce ")
    text = f"#{mutant.number} {mutant.path}: '{one_line(mutant.original)}' -> '{one_line(mutant.replacement)}'"
    return text + (f"  ({mutant.note})" if mutant.note else "")


class Sources:
    """Keeps the original of a mutated file on disk, so that even a killed run
    leaves nothing behind: the next run puts it back first."""

    def __init__(self, build_dir):
        self.backup_dir = build_dir / "mutant-backup"

    def restore_leftovers(self):
        if not self.backup_dir.is_dir():
            return
        for saved in self.backup_dir.rglob("*"):
            if saved.is_file():
                target = ROOT / saved.relative_to(self.backup_dir)
                shutil.copyfile(saved, target)
                print(f"restored {target.relative_to(ROOT)} from an interrupted run")
        shutil.rmtree(self.backup_dir)

    def apply(self, mutant):
        source = ROOT / mutant.path
        saved = self.backup_dir / mutant.path
        saved.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(source, saved)
        text = source.read_text()
        source.write_text(text.replace(mutant.original, mutant.replacement, 1))

    def restore(self, mutant):
        saved = self.backup_dir / mutant.path
        if saved.is_file():
            shutil.copyfile(saved, ROOT / mutant.path)
            saved.unlink()


def configure(build_dir):
    if (build_dir / "build.ninja").is_file():
        return
    subprocess.run(["cmake", "--preset", "default", "-B", str(build_dir), "-DZARNET_BUILD_BENCH=OFF"],
                   cwd=ROOT, check=True, stdout=subprocess.DEVNULL)


def build(build_dir, jobs, log, programs):
    result = subprocess.run(["nice", "-n", "10", "ninja", "-C", str(build_dir), f"-j{jobs}", *targets_for(programs)],
                            cwd=ROOT, stdout=log, stderr=subprocess.STDOUT)
    return result.returncode == 0


def stamps(build_dir):
    out = {}
    for files in PROGRAMS.values():
        for f in files:
            p = build_dir / f
            out[f] = p.stat().st_mtime_ns if p.exists() else None
    return out


def relinked(before, after, programs):
    return [name for name in programs if any(before[f] != after[f] for f in PROGRAMS[name])]


def run_program(build_dir, name, timeout, log):
    """'pass', 'fail' or 'timeout'. Each program runs in its own process group
    so that a hung one is stopped with everything it started."""
    program = build_dir / "tests" / name
    log.write(f"--- {name}\n")
    log.flush()
    environment = dict(os.environ)
    for variable, value in WRAPPER_ENVIRONMENT.get(name, {}).items():
        environment[variable] = ":".join(filter(None, [environment.get(variable), value]))
    command = ["nice", "-n", "10", *WRAPPERS.get(name, []), str(program), "--gtest_brief=1"]
    process = subprocess.Popen(command, cwd=build_dir / "tests", env=environment,
                               stdout=log, stderr=subprocess.STDOUT, start_new_session=True)
    try:
        return "pass" if process.wait(timeout=timeout) == 0 else "fail"
    except subprocess.TimeoutExpired:
        os.killpg(process.pid, signal.SIGKILL)
        process.wait()
        return "timeout"
    except BaseException:
        os.killpg(process.pid, signal.SIGKILL)
        process.wait()
        raise


def run_programs(build_dir, names, timeout, log):
    """The first program that fails or times out, or None when all pass."""
    for name in names:
        outcome = run_program(build_dir, name, timeout, log)
        if outcome != "pass":
            return f"{name} {outcome}"
    return None


def interrupt(signum, frame):
    raise KeyboardInterrupt


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--only", help="comma-separated mutant numbers")
    parser.add_argument("--files", help="comma-separated path prefixes: only the mutants of files under them")
    parser.add_argument("--list", action="store_true", help="print the numbered mutants and stop")
    parser.add_argument("--build-dir", default=str(ROOT / "build" / "mutate"))
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("--timeout", type=int, default=120, help="seconds per test program")
    parser.add_argument("--mutants", default=str(MUTANTS))
    args = parser.parse_args()

    mutants = load_mutants(Path(args.mutants))
    problems = [(m, check_mutant(m)) for m in mutants]
    if args.files:
        prefixes = [p.strip() for p in args.files.split(",") if p.strip()]
        mutants = [m for m in mutants if any(m.path.startswith(p) for p in prefixes)]
        problems = [(m, p) for m, p in problems if m in mutants]
    if args.only:
        wanted = {int(n) for n in args.only.split(",") if n.strip()}
        mutants = [m for m in mutants if m.number in wanted]
        problems = [(m, p) for m, p in problems if m.number in wanted]
    if args.list:
        for m, problem in problems:
            print(describe(m) + (f"  [INVALID: {problem}]" if problem else ""))
        return 0
    invalid = [(m, p) for m, p in problems if p]
    for m, p in invalid:
        print(f"refused {describe(m)}: {p}", file=sys.stderr)
    if invalid:
        return 2

    # Absolute: the programs run from inside it.
    build_dir = Path(args.build_dir).resolve()
    sources = Sources(build_dir)
    sources.restore_leftovers()
    configure(build_dir)
    log_path = build_dir / "mutate.log"
    # SIGTERM ends the run like Ctrl-C: through the finally blocks that restore the sources.
    signal.signal(signal.SIGTERM, interrupt)

    started = time.monotonic()
    results = []
    with open(log_path, "w") as log:
        print(f"baseline build and tests (log: {log_path})", flush=True)
        if not build(build_dir, args.jobs, log, list(PROGRAMS)):
            sys.exit("the unmutated sources do not build")
        failed = run_programs(build_dir, list(PROGRAMS), args.timeout, log)
        if failed:
            sys.exit(f"the unmutated tests fail ({failed}); see {log_path}")
        try:
            for m in mutants:
                t0 = time.monotonic()
                log.write(f"=== {describe(m)}\n")
                before = stamps(build_dir)
                try:
                    sources.apply(m)
                    if not build(build_dir, args.jobs, log, programs_for(m.path)):
                        outcome, detail = "stillborn", "does not compile"
                    else:
                        programs = relinked(before, stamps(build_dir), programs_for(m.path))
                        killer = run_programs(build_dir, programs, args.timeout, log)
                        outcome = "killed" if killer else "SURVIVED"
                        detail = killer or "ran " + (", ".join(programs) or "nothing")
                finally:
                    sources.restore(m)
                results.append((m, outcome))
                print(f"{outcome:9} {describe(m)} [{detail}; {time.monotonic() - t0:.0f} s]", flush=True)
        except KeyboardInterrupt:
            print("interrupted; the sources are restored", file=sys.stderr)
        finally:
            # Leaves the build directory matching the restored sources.
            build(build_dir, args.jobs, log, list(PROGRAMS))

    killed = [m for m, o in results if o == "killed"]
    survived = [m for m, o in results if o == "SURVIVED"]
    equivalent = [m for m in survived if m.note.startswith(EQUIVALENT)]
    survived = [m for m in survived if m not in equivalent]
    stillborn = [m for m, o in results if o == "stillborn"]
    viable = len(killed) + len(survived)
    print()
    print(f"mutants run: {len(results)} of {len(mutants)}; stillborn: {len(stillborn)}; "
          f"surviving and marked equivalent: {len(equivalent)}")
    if viable:
        print(f"killed: {len(killed)} / {viable} non-equivalent = {100.0 * len(killed) / viable:.1f}%")
    for m in equivalent:
        print(f"equivalent: {describe(m)}")
    for m in survived:
        print(f"survivor: {describe(m)}")
    print(f"time: {time.monotonic() - started:.0f} s")
    return 1 if survived else 0


if __name__ == "__main__":
    sys.exit(main())
