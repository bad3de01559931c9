#!/usr/bin/env python3
"""Measures what the test suite catches: plants each fault of a list, one at a time, in a scratch
copy of the source tree, builds it incrementally, runs the tests that can see the fault and says
whether they caught it. Run through scripts/mutants.sh; --help tells the options."""

import argparse
import os
import re
import shutil
import signal
import subprocess
import sys
import time

# Which tests can see a fault: those of its layer and of the layers above it. A program file's
# layer is the library or program whose source list names it (add_library, add_executable or
# target_sources in the CMake files); a file none lists goes by its folder. Each row names test groups: the library
# a group of tests/CMakeLists.txt links (vocalume_add_tests), a CTest name, or "*" for every
# library's tests. A file neither way names is tested by the whole suite.
SCOPE = {
    "vocalumebase": ["*"],
    "vocalumeresources": ["*"],
    "vocalumeservices": ["vocalumeservices", "vocalumepackages", "vocalumelibrary", "vocalumeweb", "vocalumegui"],
    "vocalumestore": ["vocalumepackages", "vocalumelibrary", "vocalumedesktop", "vocalumeweb", "vocalumegui"],
    # The package builder's test also runs the search statements over the pages it built.
    "vocalumesearch": ["vocalumesearch", "vocalumepackagebuilder", "vocalumepages", "vocalumepackages",
                       "vocalumelibrary", "vocalumedesktop", "vocalumeweb", "vocalumegui"],
    "vocalumepages": ["vocalumepages", "vocalumepackagebuilder", "vocalumeweb", "vocalumegui"],
    # Every test that builds a dictionary uses the package builder.
    "vocalumepackagebuilder": ["*"],
    "vocalumepackages": ["vocalumepackages", "vocalumelibrary", "vocalumeweb", "vocalumegui"],
    "vocalumelibrary": ["vocalumelibrary", "vocalumeweb", "vocalumegui"],
    "vocalumedesktop": ["vocalumedesktop", "vocalumegui"],
    "vocalumeweb": ["vocalumeweb", "vocalumegui"],
    "vocalumegui": ["vocalumegui"],
    # The program itself, which the start-up and launch-option tests run.
    "vocalume": ["vocalumegui"],
    # Packed into the program's resources, and run on their own by the page tests.
    "engine/": ["engine_pages", "vocalumegui"],
}
# Build targets of tests that are not an executable of their own name.
TEST_TARGETS = {"engine_pages": ["enginepage"]}
# Checks of the tree rather than of the program: a planted fault cannot change their outcome,
# except the list's own check, which sees every fault as a change of the tree and never runs with one.
NOT_PROGRAM_TESTS = {"layers", "desktop_file_validate", "appstream_validate", "debian_package", "planted_faults_apply"}
KEYS = ("fault", "file", "find", "replace", "about")


class Stop(Exception):
    """Ctrl+C or a termination signal."""


def on_signal(number, _frame):
    raise Stop(signal.Signals(number).name)


def say(text=""):
    print(text, flush=True)


def duration(seconds):
    seconds = int(round(seconds))
    return f"{seconds // 60}m{seconds % 60:02d}s" if seconds >= 60 else f"{seconds}s"


# ---- the list of faults ------------------------------------------------------------------------

def read_faults(path):
    faults, current, last_key = [], None, None
    with open(path, encoding="utf-8") as source:
        for number, line in enumerate(source, 1):
            line = line.rstrip("\n")
            if line.startswith("#"):
                continue
            if not line.strip():
                current, last_key = None, None
                continue
            if line.startswith("|"):
                if current is None or last_key not in ("find", "replace"):
                    sys.exit(f"{path}:{number}: a '|' line continues only a find or replace value")
                current[last_key] += "\n" + line[1:]
                continue
            key, colon, value = line.partition(":")
            if not colon or key not in KEYS:
                sys.exit(f"{path}:{number}: expected one of {', '.join(k + ':' for k in KEYS)}")
            if current is None:
                current = {"line": number}
                faults.append(current)
            if key in current:
                sys.exit(f"{path}:{number}: {key} given twice (a blank line ends a fault)")
            current[key] = value[1:] if value.startswith(" ") else value
            last_key = key
    names = set()
    for fault in faults:
        missing = [k for k in KEYS if k not in fault and k != "replace"]
        if missing or not fault.get("find"):
            sys.exit(f"{path}:{fault['line']}: the fault lacks {', '.join(missing) or 'a find text'}")
        fault.setdefault("replace", "")
        if fault["fault"] in names:
            sys.exit(f"{path}:{fault['line']}: fault name {fault['fault']} used twice")
        names.add(fault["fault"])
    return faults


# ---- the scratch copy --------------------------------------------------------------------------

def tracked_files(root):
    out = subprocess.run(["git", "-C", root, "ls-files", "-z"], check=True, capture_output=True).stdout
    return sorted({p for p in out.decode("utf-8", "surrogateescape").split("\0") if p})


def untracked_files(root):
    out = subprocess.run(["git", "-C", root, "ls-files", "-z", "--others", "--exclude-standard"],
                         check=True, capture_output=True).stdout
    return [p for p in out.decode("utf-8", "surrogateescape").split("\0") if p]


def read_bytes(path):
    try:
        with open(path, "rb") as f:
            return f.read()
    except (FileNotFoundError, NotADirectoryError, IsADirectoryError):
        return None


def write_bytes(path, data, mode=None):
    """Replaces the file whole. Its time becomes now, so the build always sees the change."""
    os.makedirs(os.path.dirname(path), exist_ok=True)
    temporary = path + ".mutants-tmp"
    with open(temporary, "wb") as f:
        f.write(data)
    if mode is not None:
        os.chmod(temporary, mode)
    os.replace(temporary, path)


def differing(root, copy, files):
    """Tracked files whose text in `copy` is not the source tree's."""
    changed = []
    for rel in files:
        source = os.path.join(root, rel)
        if os.path.islink(source):
            target = os.path.join(copy, rel)
            if not os.path.islink(target) or os.readlink(target) != os.readlink(source):
                changed.append(rel)
        elif read_bytes(source) != read_bytes(os.path.join(copy, rel)):
            changed.append(rel)
    return changed


def refresh_copy(root, scratch, files):
    """Brings scratch/src to the tracked files of the source tree as they are on disk (uncommitted
    changes included). Files whose text did not change are left alone, times included, so the
    build stays incremental."""
    copy = os.path.join(scratch, "src")
    manifest = os.path.join(scratch, "manifest")
    fresh = not os.path.isdir(copy)
    present = [rel for rel in files if os.path.lexists(os.path.join(root, rel))]
    changed = differing(root, copy, present)
    for rel in changed:
        source, target = os.path.join(root, rel), os.path.join(copy, rel)
        if os.path.islink(source):
            if os.path.lexists(target):
                os.remove(target)
            os.makedirs(os.path.dirname(target), exist_ok=True)
            os.symlink(os.readlink(source), target)
        else:
            write_bytes(target, read_bytes(source), os.stat(source).st_mode & 0o7777)
    before = set(open(manifest, encoding="utf-8").read().splitlines()) if os.path.exists(manifest) else set()
    gone = sorted(before - set(present))
    for rel in gone:
        if os.path.lexists(os.path.join(copy, rel)):
            os.remove(os.path.join(copy, rel))
    with open(manifest, "w", encoding="utf-8") as f:
        f.write("\n".join(present) + "\n")
    if fresh:
        say(f"scratch copy made: {len(present)} tracked files in {copy}")
    elif changed or gone:
        say(f"SCRATCH COPY WAS OUT OF DATE with the source tree: {len(changed)} files refreshed, "
            f"{len(gone)} removed")
        for rel in (changed + gone)[:10]:
            say(f"  {rel}")
        if len(changed) + len(gone) > 10:
            say(f"  ... and {len(changed) + len(gone) - 10} more")
    else:
        say(f"scratch copy up to date with the source tree ({copy})")
    return present


# ---- building and testing ----------------------------------------------------------------------

class Runner:
    def __init__(self, scratch, jobs):
        self.src = os.path.join(scratch, "src")
        self.build = os.path.join(scratch, "build")
        self.logs = os.path.join(scratch, "logs")
        self.jobs = jobs
        self.child = None
        os.makedirs(self.logs, exist_ok=True)

    def run(self, command, log, timeout=None, env=None):
        """Runs `command` in a process group of its own (so Ctrl+C reaches only this script, which
        then ends the group); its output goes to `log`. Returns the exit code, None on time out."""
        with open(log, "ab") as out:
            out.write(("$ " + " ".join(command) + "\n").encode())
            out.flush()
            self.child = subprocess.Popen(command, stdout=out, stderr=subprocess.STDOUT, cwd=self.build,
                                          env=env, start_new_session=True)
            try:
                return self.child.wait(timeout=timeout)
            except subprocess.TimeoutExpired:
                self.end_child()
                return None
            finally:
                self.end_child()
                self.child = None

    def end_child(self):
        if self.child and self.child.poll() is None:
            try:
                os.killpg(self.child.pid, signal.SIGTERM)
                self.child.wait(timeout=10)
            except (ProcessLookupError, subprocess.TimeoutExpired):
                try:
                    os.killpg(self.child.pid, signal.SIGKILL)
                except ProcessLookupError:
                    pass
                self.child.wait()

    def configure(self, log):
        # Configured again every time: a test added since the last run must be listed before
        # the faults' tests are chosen (the build would configure only later).
        if os.path.exists(os.path.join(self.build, "CMakeCache.txt")):
            return self.run(["cmake", self.build], log) == 0
        os.makedirs(self.build, exist_ok=True)
        command = ["cmake", "-S", self.src, "-B", self.build]
        if shutil.which("ninja"):
            command += ["-G", "Ninja"]
        if shutil.which("ccache"):
            command += ["-DCMAKE_CXX_COMPILER_LAUNCHER=ccache", "-DCMAKE_C_COMPILER_LAUNCHER=ccache"]
        return self.run(command, log) == 0

    def targets(self, tests):
        names = set()
        for test in tests:
            names.update(TEST_TARGETS.get(test, [test]))
        return sorted(names)

    def compile(self, tests, log):
        command = ["cmake", "--build", self.build, f"-j{self.jobs}"]
        for target in self.targets(tests):
            command += ["--target", target]
        return self.run(command, log) == 0

    def listed_tests(self):
        out = subprocess.run(["ctest", "-N"], cwd=self.build, capture_output=True, text=True).stdout
        return re.findall(r"Test\s+#\d+: (\S+)", out)

    def test(self, tests, log, limit):
        """Runs the tests; returns (failing test names, the names of those that failed by reaching
        CTest's own time limit, whether this run's time limit ended the run)."""
        start = os.path.getsize(log) if os.path.exists(log) else 0
        failed_list = os.path.join(self.build, "Testing", "Temporary", "LastTestsFailed.log")
        if os.path.exists(failed_list):
            os.remove(failed_list)
        pattern = "^(" + "|".join(re.escape(t) for t in tests) + ")$"
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
        code = self.run(["ctest", "-j", str(self.jobs), "-R", pattern, "--output-on-failure"], log,
                        timeout=limit, env=env)
        failed = []
        if os.path.exists(failed_list):
            failed = [line.split(":", 1)[1].strip() for line in open(failed_list, encoding="utf-8") if ":" in line]
        with open(log, "rb") as out:
            out.seek(start)
            text = out.read().decode("utf-8", "replace")
        timed_out = re.findall(r"Test\s+#\d+: (\S+) \.*\s*\*+Timeout", text)
        return failed, timed_out, code is None


def cmake_calls(src, command):
    """(folder, first argument, other arguments) of every call of `command` in the CMake files."""
    calls = []
    for folder, dirs, names in os.walk(src):
        dirs[:] = [d for d in dirs if not d.startswith(".")]
        if "CMakeLists.txt" not in names:
            continue
        text = re.sub(r"#[^\n]*", "", open(os.path.join(folder, "CMakeLists.txt"), encoding="utf-8").read())
        for name, arguments in re.findall(r"^\s*" + command + r"\(\s*([\w.-]+)([^)]*)\)", text, re.M):
            calls.append((os.path.relpath(folder, src), name, arguments.split()))
    return calls


def library_groups(src):
    """Test names by the library their group links, from vocalume_add_tests(<library> ...)."""
    groups = {}
    for _, library, names in cmake_calls(src, "vocalume_add_tests"):
        groups.setdefault(library, []).extend(names)
    return groups


def source_libraries(src):
    """The library (or program) of each source file its CMake source list names."""
    owner = {}
    keywords = {"STATIC", "SHARED", "OBJECT", "MODULE", "INTERFACE", "PRIVATE", "PUBLIC"}
    for command in ("add_library", "add_executable", "target_sources"):
        for folder, library, items in cmake_calls(src, command):
            for item in items:
                if item not in keywords and "$" not in item:
                    owner[os.path.normpath(os.path.join(folder, item))] = library
    return owner


def seeing_tests(path, owner, groups, listed):
    program = [t for t in listed if t not in NOT_PROGRAM_TESTS]
    layer = owner.get(os.path.normpath(path))
    if layer not in SCOPE:
        layer = next((folder for folder in SCOPE if folder.endswith("/") and path.startswith(folder)), None)
    if layer is None:
        return program
    wanted = set()
    for name in SCOPE[layer]:
        for library in (groups if name == "*" else [name]):
            wanted.update(groups.get(library, [library]))
    return [t for t in program if t in wanted]


# ---- one fault ---------------------------------------------------------------------------------

def planted(fault, src):
    """(original text, faulted text, None) or (None, None, why the fault does not apply)."""
    path = os.path.join(src, fault["file"])
    original = read_bytes(path)
    if original is None:
        return None, None, f"{fault['file']} is not in the tree"
    text = original.decode("utf-8", "surrogateescape")
    count = text.count(fault["find"])
    if count != 1:
        where = "not found" if count == 0 else f"found {count} times"
        return None, None, f"the text to find is {where} in {fault['file']}"
    if fault["find"] == fault["replace"]:
        return None, None, "the replacement equals the text to find"
    faulted = text.replace(fault["find"], fault["replace"]).encode("utf-8", "surrogateescape")
    return original, faulted, None


def verify(faults, here):
    """0 when every fault applies to the source tree; else 1, naming those that do not."""
    root = os.path.dirname(here)
    stale = [(fault["fault"], why) for fault in faults for _, _, why in [planted(fault, root)] if why]
    for name, why in stale:
        say(f"n/a {name}: {why}")
    say(f"{len(faults) - len(stale)} of {len(faults)} faults apply")
    return 1 if stale else 0


def main():
    parser = argparse.ArgumentParser(
        prog="scripts/mutants.sh",
        description="Plants each fault of the list, one at a time, in a scratch copy of this source tree "
        "(its tracked files, uncommitted changes included), builds the copy incrementally and runs the tests "
        "that can see the fault: those of the faulted layer and of the layers above it, the engine page tests "
        "for the engine's pages. Prints for each fault whether the tests caught it and which failed, then the "
        "totals. The source tree itself is never written to.",
        epilog="Each fault is a block of the list: fault, file, find (text that must occur exactly once, "
        "otherwise the fault is 'not applicable'), replace and about; see the head of scripts/mutants.list. "
        "Tests failing before any fault is planted are named and not counted as catching anything. A build "
        "that fails is 'caught by the compiler', counted apart; a fault that only makes tests reach a time limit "
        "(this run's or CTest's) is 'hung', counted as missed. Run on demand, not in CI: expect an hour or "
        "more for the whole list on two cores.")
    here = os.path.dirname(os.path.abspath(__file__))
    parser.add_argument("-k", "--only", metavar="PATTERN",
                        help="only the faults whose name or file matches this regular expression")
    parser.add_argument("-j", "--jobs", type=int, default=2, metavar="N",
                        help="parallel build and test jobs (default 2)")
    parser.add_argument("--scratch", metavar="DIR",
                        help="scratch folder, kept between runs (default: <source tree>-mutants beside the source tree)")
    parser.add_argument("--list", metavar="FILE", default=os.path.join(here, "mutants.list"),
                        help="the list of faults (default scripts/mutants.list)")
    parser.add_argument("--limit", type=int, default=900, metavar="SECONDS",
                        help="time limit of the tests of one fault; a run that reaches it is reported 'hung' "
                        "and counted as missed: a test that fails only by never ending catches nothing "
                        "(default 900)")
    parser.add_argument("--check", action="store_true",
                        help="only say which faults apply to today's tree and which tests see each; no build")
    parser.add_argument("--verify", action="store_true",
                        help="only check, in the source tree itself, that every fault's text is found once in its "
                        "file; exits 1 when one is not (a fault whose code moved on measures nothing)")
    args = parser.parse_args()
    if args.verify:
        return verify(read_faults(args.list), here)

    root = subprocess.run(["git", "-C", here, "rev-parse", "--show-toplevel"], check=True, capture_output=True,
                          text=True).stdout.strip()
    scratch = os.path.abspath(args.scratch or root.rstrip("/") + "-mutants")
    if scratch == root or scratch.startswith(root + os.sep) or root.startswith(scratch + os.sep):
        sys.exit(f"the scratch folder must lie outside the source tree: {scratch}")
    faults = read_faults(args.list)
    if args.only:
        only = re.compile(args.only)
        faults = [f for f in faults if only.search(f["fault"]) or only.search(f["file"])]
    if not faults:
        sys.exit("no fault matches")

    for number in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
        signal.signal(number, on_signal)
    started = time.monotonic()
    say(f"source tree {root}; scratch folder {scratch}")
    os.makedirs(scratch, exist_ok=True)
    runner = Runner(scratch, max(1, args.jobs))
    marker = os.path.join(scratch, "planted")
    if os.path.exists(marker):
        say(f"an earlier run was stopped with a fault planted in {open(marker).read().strip()}; "
            "the refresh below puts the file back")
    files = refresh_copy(root, scratch, tracked_files(root))
    if os.path.exists(marker):
        os.remove(marker)
    loose = [p for p in untracked_files(root) if not p.startswith(("build", "."))]
    if loose:
        say(f"note: {len(loose)} untracked files are not copied (git add them to include them), e.g. {loose[0]}")

    setup_log = os.path.join(runner.logs, "setup.log")
    open(setup_log, "w").close()
    planted_file = None
    results = []
    try:
        if not runner.configure(setup_log):
            sys.exit(f"cmake failed in the scratch copy; see {setup_log}")
        groups = library_groups(runner.src)
        owner = source_libraries(runner.src)
        listed = runner.listed_tests()
        if not listed:
            sys.exit(f"ctest lists no tests in {runner.build}; see {setup_log}")
        for fault in faults:
            fault["tests"] = seeing_tests(fault["file"], owner, groups, listed)
        if args.check:
            for fault in faults:
                _, _, why = planted(fault, runner.src)
                seen = f"{len(fault['tests'])} tests, {fault['tests'][0]} .. {fault['tests'][-1]}" if fault["tests"] else "no test"
                say(f"{'n/a' if why else 'applies':8} {fault['fault']}: {why or seen}")
            return 0

        needed = sorted({t for f in faults for t in f["tests"]}, key=listed.index)
        say(f"baseline: building and running {len(needed)} tests without any fault")
        if not runner.compile(needed, setup_log):
            sys.exit(f"the unchanged scratch copy does not build; see {setup_log}")
        broken, _, _ = runner.test(needed, setup_log, None)
        if broken:
            say(f"BASELINE FAILURES (not counted as catching anything): {', '.join(broken)}; see {setup_log}")
        say(f"baseline done in {duration(time.monotonic() - started)}")
        say()

        width = max(len(f["fault"]) for f in faults)
        for number, fault in enumerate(faults, 1):
            began = time.monotonic()
            log = os.path.join(runner.logs, fault["fault"] + ".log")
            open(log, "w").close()
            original, faulted, why = planted(fault, runner.src)
            if why:
                verdict, detail = "n/a", why
            else:
                path = os.path.join(runner.src, fault["file"])
                mode = os.stat(path).st_mode & 0o7777
                with open(marker, "w") as f:
                    f.write(fault["file"] + "\n")
                planted_file = (path, original, mode)
                write_bytes(path, faulted, mode)
                if not runner.compile(fault["tests"], log):
                    verdict, detail = "compiler", f"the build failed; see {log}"
                else:
                    failed, timed_out, out_of_time = runner.test(fault["tests"], log, args.limit)
                    # A test that ends only by a time limit, CTest's or this run's, catches nothing.
                    hung = [t for t in timed_out if t not in broken]
                    failed = [t for t in failed if t not in broken and t not in timed_out]
                    if failed:
                        verdict, detail = "caught", "by " + ", ".join(failed)
                        if hung or out_of_time:
                            detail += "; some tests reached a time limit too"
                    elif hung or out_of_time:
                        verdict = "hung"
                        detail = "no test failed; " + (f"{', '.join(hung)} reached CTest's time limit" if hung
                                                       else f"the run reached the time limit of {args.limit}s")
                    else:
                        verdict, detail = "missed", f"{len(fault['tests'])} tests passed"
                write_bytes(path, original, mode)
                planted_file = None
                os.remove(marker)
            results.append((fault, verdict, detail))
            say(f"[{number:2}/{len(faults)}] {verdict:8} {fault['fault']:{width}}  {detail}  "
                f"({duration(time.monotonic() - began)})")
            say(f"        {fault['file']}: {fault['about']}")
    except Stop as stop:
        say(f"\nstopped by {stop}")
        runner.end_child()
        return_code = 130
    else:
        return_code = 0
    finally:
        if planted_file:
            path, original, mode = planted_file
            write_bytes(path, original, mode)
            os.remove(marker)
            say(f"put back {os.path.relpath(path, runner.src)} in the scratch copy")

    count = {v: sum(1 for _, verdict, _ in results if verdict == v)
             for v in ("caught", "compiler", "missed", "hung", "n/a")}
    say()
    say(f"faults run: {len(results)} of {len(faults)}")
    say(f"caught by the tests: {count['caught']}   caught by the compiler: {count['compiler']}   "
        f"missed: {count['missed'] + count['hung']} (of which hung until the time limit: {count['hung']})   "
        f"not applicable: {count['n/a']}")
    for fault, verdict, detail in results:
        if verdict in ("missed", "hung", "n/a"):
            say(f"  {verdict:6} {fault['fault']}: {fault['about']}" + (f" ({detail})" if verdict == "n/a" else ""))
    say(f"wall time: {duration(time.monotonic() - started)}; logs in {runner.logs}")
    later = differing(root, runner.src, [p for p in tracked_files(root) if os.path.lexists(os.path.join(root, p))])
    if later:
        say(f"NOTE: the source tree changed during the run ({len(later)} files, e.g. {later[0]}): these results "
            "are for the tree as it was at the start")
    return return_code


if __name__ == "__main__":
    sys.exit(main())
