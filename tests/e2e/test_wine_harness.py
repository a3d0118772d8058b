"""The Wine harness's own checks, with smoke_box.exe standing in for the
tool where the tool never fails on purpose: boxes answered or reported
missing, a crash, a hang, a prefix that stalls, and nothing left behind
when the test process is killed."""

import os
import select
import signal
import subprocess
import sys
import time
from pathlib import Path

import pytest

from expect import CONFIRM_TEXT
from session import RunFailed, wait_until

# A test process that opens a session, leaves a client stand-in, a box and
# a console program running, names what to look for and waits to be killed.
ABANDONED = """import sys, time
from session import wait_until
from wine_session import WINE, WineSession
w = WineSession(sys.argv[1])
w.start_client(w.install_fake_client(w.drive_c / "qq")[0])
w.start_background([WINE, w.tools / "smoke_box.exe", "box"])
console = w.console(w.tools / "smoke_box.exe", ["hang"])
assert wait_until(console.screen, 20)
print(w.prefix, w.root, w._xvfb.pid, flush=True)
time.sleep(600)
"""


def prefix_processes(prefix: Path):
    """Pids of live processes whose environment names this prefix."""
    marker = b"\0WINEPREFIX=" + os.fsencode(prefix) + b"\0"
    pids = []
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open(f"/proc/{pid}/environ", "rb") as env, open(f"/proc/{pid}/stat", "rb") as st:
                if marker in b"\0" + env.read() and st.read().rsplit(b") ", 1)[1][:1] != b"Z":
                    pids.append(int(pid))
        except (OSError, IndexError):
            pass
    return pids


def test_boxes_are_answered_and_a_missing_one_is_named(wine):
    smoke = wine.tools / "smoke_box.exe"
    r = wine.run(smoke, args=["box"], boxes=[("提示", "yes")])
    assert (r.exit_code, r.lines, r.boxes) == (0, ["是"], [CONFIRM_TEXT])
    r = wine.run(smoke, args=["box"], boxes=[("提示", "no")])
    assert (r.exit_code, r.lines, r.boxes) == (7, ["否"], [CONFIRM_TEXT])

    start = time.monotonic()
    with pytest.raises(RunFailed, match="did not appear") as missed:
        wine.run(smoke, args=["box"], boxes=[("不存在", "yes")], box_timeout=2)
    assert time.monotonic() - start < 12
    assert repr(("提示", CONFIRM_TEXT)) in str(missed.value)
    # The program was killed, and its box with it.
    assert wait_until(lambda: wine.windows() == [], 5), wine.windows()

    with pytest.raises(RunFailed, match="has no such button"):
        wine.run(smoke, args=["box"], boxes=[("提示", "ok")])
    assert wait_until(lambda: wine.windows() == [], 5), wine.windows()


def test_a_crash_ends_the_run(wine):
    smoke = wine.tools / "smoke_box.exe"
    start = time.monotonic()
    with pytest.raises(RunFailed, match="ended without showing it"):
        wine.run(smoke, args=["crash"], boxes=[("提示", "yes")], box_timeout=15)
    # Far less than box_timeout: the harness noticed the program was gone.
    assert time.monotonic() - start < 12
    r = wine.run(smoke, args=["crash"], timeout=20)
    # Wine does not always hand the crash on as an exit code, but its
    # report always lands in the output.
    assert r.lines[0] == "崩溃前", r.lines[:3]
    assert r.exit_code != 0 or any(l.startswith("Unhandled exception") for l in r.lines), \
        (r.exit_code, r.lines[:3])


def test_a_hang_times_out_with_the_output_so_far(wine):
    start = time.monotonic()
    with pytest.raises(RunFailed, match="did not end within 3 s") as hung:
        wine.run(wine.tools / "smoke_box.exe", args=["hang"], timeout=3)
    assert hung.value.partial.lines == ["等待中"]
    assert "open boxes: []" in str(hung.value)
    assert time.monotonic() - start < 12


def test_a_call_after_an_idle_pause_is_fast(wine):
    # A prefix with a broken service manager answers the first call after a
    # few idle seconds only when the RpcSs start times out, 10 s later.
    time.sleep(3.5)
    start = time.monotonic()
    wine.windows()
    assert time.monotonic() - start < 8, "took %.1f s" % (time.monotonic() - start)


def test_nothing_outlives_a_killed_test_process(tools):
    child = subprocess.Popen([sys.executable, "-c", ABANDONED, str(tools)],
                             cwd=Path(__file__).parent, stdout=subprocess.PIPE)
    try:
        assert select.select([child.stdout], [], [], 90)[0], "the session did not open"
        prefix, root, xvfb = child.stdout.readline().decode().split()
        assert prefix_processes(Path(prefix)), "the check would see no Wine process"
    finally:
        os.kill(child.pid, signal.SIGKILL)
        child.wait(timeout=10)
    assert wait_until(lambda: not prefix_processes(Path(prefix)), 60), \
        prefix_processes(Path(prefix))
    assert wait_until(lambda: not Path(root).exists(), 10), root
    assert not Path(f"/proc/{xvfb}").exists() or b") Z" in Path(f"/proc/{xvfb}/stat").read_bytes()
