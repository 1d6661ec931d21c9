"""What the tests of the test and run commands share: a small CMake project of their own (one test,
probe.sh, and one build step, compile.sh, whose bodies a test sets), so that their runs meet neither the
run they are part of nor the clone's build; runs of the commands on it, in the background, with their
output kept; and a mark that every process those runs start carries (QIRN_* settings go along into the
build root, and Wine hands its environment on), by which a test finds them and ends what a failed check
left running.

A test program that imports this module ends quietly on Ctrl-C (see scripts/quiet_interrupt.py), once the
test that ran has ended what it started, as its tearDown does.
"""
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import unittest
import uuid

SCRIPTS = os.path.abspath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts"))
sys.path.insert(0, SCRIPTS)
import quiet_interrupt  # noqa: E402

quiet_interrupt.install()
INROOT = os.path.join(SCRIPTS, "inroot.sh")
TEST_SH = os.path.join(SCRIPTS, "test.sh")
BENCH_SH = os.path.join(SCRIPTS, "bench.sh")
BUILDROOT = os.path.join(SCRIPTS, "buildroot.sh")
PROJECT = """cmake_minimum_required(VERSION 3.20)
project(script_runs_probe NONE)
enable_testing()
add_test(NAME probe COMMAND sh "${CMAKE_CURRENT_SOURCE_DIR}/probe.sh" "${CMAKE_CURRENT_SOURCE_DIR}")
add_custom_target(compile ALL COMMAND sh "${CMAKE_CURRENT_SOURCE_DIR}/compile.sh" "${CMAKE_CURRENT_BINARY_DIR}")
"""
# Generous bounds on waits that end much sooner (32-bit code may be translated); only a hang reaches them.
PATIENCE = 300


def environ_of(pid):
    """The environment a process started with (a list of NAME=value), or None when it is gone."""
    try:
        with open("/proc/%d/environ" % pid, "rb") as f:
            return f.read().decode(errors="replace").split("\0")
    except OSError:
        return None


def processes_with(entry):
    """The processes whose environment holds the given NAME=value, by number, with their names."""
    found = {}
    for name in os.listdir("/proc"):
        if not name.isdigit() or int(name) == os.getpid():
            continue
        environment = environ_of(int(name))
        if environment is None or entry not in environment:
            continue
        try:
            with open("/proc/%s/comm" % name) as f:
                found[int(name)] = f.read().strip()
        except OSError:
            pass
    return found


def alive(pid):
    try:
        os.kill(pid, 0)
    except ProcessLookupError:
        return False
    # a zombie has ended
    try:
        with open("/proc/%d/stat" % pid) as f:
            return f.read().rsplit(")", 1)[1].split()[0] != "Z"
    except OSError:
        return False


def nobody_listens(path):
    """Whether a connection to the Unix socket at path is refused (a socket file that no server holds)."""
    try:
        socket.socket(socket.AF_UNIX).connect(path)
    except ConnectionRefusedError:
        return True
    except OSError:
        return False
    return False


class ScriptRuns(unittest.TestCase):
    def setUp(self):
        self.run_dirs = []
        self.logs = []
        self.runs = []
        self.mark = None
        # In the test run's folder, which a killed run leaves for the next run to remove.
        self.work = tempfile.mkdtemp(prefix="script-runs.", dir=os.environ.get("QIRN_RUN_DIR") or None)
        self.source = os.path.join(self.work, "source")
        self.build = os.path.join(self.work, "build")
        os.mkdir(self.source)
        with open(os.path.join(self.source, "CMakeLists.txt"), "w") as f:
            f.write(PROJECT)
        self.probe("exit 0")
        self.compile_step("exit 0")
        self.configure(self.build)
        # A variable of its own: a test run by one of these runs (or by one it started) adds its own, and
        # what it starts carries every mark above it too.
        self.mark = "QIRN_TEST_MARK_%s=1" % uuid.uuid4().hex.upper()
        # The runs here pick their own prefix copies and build folder.
        self.env = {k: v for k, v in os.environ.items()
                    if k not in ("QIRN_WINEPREFIX", "WINEPREFIX", "QIRN_TRANSLATE")}
        self.env["QIRN_BUILD"] = self.build
        # The runs' folders, where no other test's runs meet them: a run of another PID namespace (a test
        # command, in namespaces of its own) that took a run killed here for its own to clear would remove
        # its folder and leave what it left running, which it cannot see.
        self.env["QIRN_RUNS"] = os.path.join(self.work, "runs")
        name, value = self.mark.split("=", 1)
        self.env[name] = value

    def run(self, result=None):
        # unittest lets an interrupt through without a test's tearDown: what the test started is ended
        # all the same (the runs, in sessions of their own, are not reached by the interrupt).
        try:
            return super().run(result)
        except KeyboardInterrupt:
            if hasattr(self, "work"):
                self.end_what_it_started()
            raise

    def tearDown(self):
        self.end_what_it_started()

    def end_what_it_started(self):
        for run in self.runs:
            if run.poll() is None:
                run.kill()
                run.wait()
        # (the folders the runs name in their logs, the latest lines too)
        for log in self.logs:
            if not log.closed:
                self.read(log)
                log.close()
        # What a failed check left running; the runs' folders go once nothing of the runs writes into them
        # any more (a process ends some time after its SIGKILL).
        end = time.monotonic() + 30
        while self.marked() and time.monotonic() < end:
            for pid in self.marked():
                try:
                    os.kill(pid, signal.SIGKILL)
                except OSError:
                    pass
            time.sleep(0.1)
        for run_dir in self.run_dirs:
            subprocess.run(["rm", "-rf", run_dir, run_dir + ".lock"])
        shutil.rmtree(self.work, ignore_errors=True)

    def this_root(self):
        """Settings that make buildroot.sh take this root as its root, so that the commands run from
        outside the root (scripts/test.sh, scripts/bench.sh) run here as they do on the host: buildroot.sh
        is given a cache folder whose root is this root itself (a link to "/"), and makes its namespaces
        and its chroot here, with the same commands."""
        cache = os.path.join(self.work, "cache")
        os.mkdir(cache)
        root = subprocess.run([BUILDROOT, "path"], env=dict(self.env, QIRN_CACHE=cache), check=True,
                              stdout=subprocess.PIPE).stdout.decode().strip()
        # A root that is not ready would be made anew there.
        self.assertTrue(os.path.exists("/.qirn-root-ready"))
        os.symlink("/", root)
        return {"QIRN_CACHE": cache}

    def scripts_clone(self):
        """A clone of the scripts alone, in the test's folder, for runs of the run command: what they write
        into the clone (out/qirn-screen.png) goes into this one's out/, never into the clone's."""
        clone = os.path.join(self.work, "clone")
        shutil.copytree(SCRIPTS, os.path.join(clone, "scripts"), ignore=shutil.ignore_patterns("__pycache__"))
        return clone

    def configure(self, build):
        subprocess.run(["cmake", "-S", self.source, "-B", build, "-G", "Ninja"], check=True,
                       stdout=subprocess.DEVNULL)

    def probe(self, body):
        """What the project's test does once it has marked its start."""
        with open(os.path.join(self.source, "probe.sh"), "w") as f:
            f.write('touch "$1/started"\n' + body + "\n")

    def compile_step(self, body):
        """What the project's build step does once it has written its process number in its build folder."""
        with open(os.path.join(self.source, "compile.sh"), "w") as f:
            f.write('echo $$ >"$1/compiling.part" && mv "$1/compiling.part" "$1/compiling"\n' + body + "\n")

    def marked(self):
        return processes_with(self.mark) if self.mark else {}

    def start(self, command, **settings):
        env = dict(self.env, **settings)
        log = open(os.path.join(self.work, "run-%d.log" % time.monotonic_ns()), "w+b")
        self.logs.append(log)
        run = subprocess.Popen(command, env=env, stdout=log, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL,
                               start_new_session=True)
        self.runs.append(run)
        return run, log

    def read(self, log):
        log.seek(0)
        text = log.read().decode(errors="replace")
        # The run's folder, named first by its sound server's line, then by its Wine prefix's.
        for found in re.finditer(r"a null sink on unix:(\S+)/sound/native|Wine prefix (\S+)/wine, ", text):
            run_dir = found.group(1) or found.group(2)
            if run_dir not in self.run_dirs:
                self.run_dirs.append(run_dir)
        return text

    def wait_for(self, what, done, run, log):
        """Waits until done(), and fails when the run ends first or waits for a lock (a run of its own
        build folder has nothing to wait for but a dead run or build)."""
        for _ in range(PATIENCE * 10):
            # Whether the run had ended is asked before done(), which its end may make true.
            ended = run.poll() is not None
            if done():
                return self.read(log)
            text = self.read(log)
            if ended or "qirn: waiting for" in text:
                run.kill()
                self.fail("%s did not happen; the run says:\n%s" % (what, text))
            time.sleep(0.1)
        self.fail("%s did not happen; the run says:\n%s" % (what, self.read(log)))

    def wait_until(self, what, done, seconds):
        """Waits until done(), at most the given seconds; a failure names what of the runs is still there."""
        end = time.monotonic() + seconds
        while not done():
            if time.monotonic() > end:
                self.fail("%s did not happen within %d s; still there:\n%s"
                          % (what, seconds, self.describe_marked()))
            time.sleep(0.1)

    def describe_marked(self):
        """The processes that carry the mark, a line each: number, parent, state and command line."""
        lines = []
        for pid, name in sorted(self.marked().items()):
            try:
                with open("/proc/%d/stat" % pid) as f:
                    fields = f.read().rsplit(")", 1)[1].split()
                with open("/proc/%d/cmdline" % pid, "rb") as f:
                    argv = f.read().replace(b"\0", b" ").decode(errors="replace").strip()
            except OSError:
                continue
            lines.append("  %d (parent %s, state %s) %s: %s" % (pid, fields[1], fields[0], name, argv))
        return "\n".join(lines) or "  (nothing)"

    def wait_for_locks_of(self, pid):
        """Waits until the lock holders of a killed script (scripts/hold_lock.py FILE PID) have seen its
        end, as they do at once: a run started in the same instant could see its lock still held."""
        def holders():
            found = []
            for name in os.listdir("/proc"):
                try:
                    with open("/proc/%s/cmdline" % name, "rb") as f:
                        argv = f.read().split(b"\0")
                except OSError:
                    continue
                if len(argv) >= 4 and argv[1].endswith(b"hold_lock.py") and argv[3] == str(pid).encode():
                    found.append(name)
            return found
        self.wait_until("the end of the killed script's lock holders", lambda: not holders(), 30)

    def compiler_of(self, build):
        """The process number of the build step running in a build folder, once it has started."""
        try:
            with open(os.path.join(build, "compiling")) as f:
                return int(f.read())
        except FileNotFoundError:
            return None
