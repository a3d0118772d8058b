"""Self-test of the host harness with a shell stand-in for the host build:
box lines answered from stdin, the recording xdg-open, the client stand-ins,
a hang that must time out, and nothing left behind.

    python3 tests/e2e/test_host_smoke.py
"""

import os
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from harness_common import RunTimeout, Tally, live_processes_with_env, wait_until  # noqa: E402
from host_session import HostSession, box_line  # noqa: E402

# Reads its answer as the host build does: the next non-empty line.
STAND_IN = """#!/bin/sh
root="$XDG_CONFIG_HOME/Tencent/QQ/Skins/customize"
if [ "$1" = hang ]; then echo "等待中"; exec sleep 60; fi
echo "提示: 现在使用的图片是否正确？ [y/n]"
answer=
while [ -z "$answer" ] && read -r answer; do :; done
case "$answer" in
  y*) xdg-open "$root/$(ls "$root")/main.png"; echo "已打开" ;;
  *) echo "未打开" ;;
esac
echo "完成: 好"
exit 3
"""


def answers_drive_the_flow_and_xdg_open_is_recorded(h: HostSession, exe: Path):
    h.reset()
    folder = h.make_skin("皮肤 一", b"png")
    r = h.run(exe, b"\n\ny\n")
    assert r.exit_code == 3, r
    assert r.lines == [box_line("提示", "现在使用的图片是否正确？"), "已打开",
                       box_line("完成", "好", yes_no=False)], r.lines
    assert h.recorded_calls("xdg-open") == [[str(folder / "main.png")]]

    h.reset()
    h.make_skin("皮肤 一", b"png")
    r = h.run(exe, b"n\n")
    assert r.lines[1] == "未打开", r.lines
    assert h.recorded_calls("xdg-open", count=1, timeout=0.5) == []


def a_hang_times_out_with_the_output_so_far(h: HostSession, exe: Path):
    h.reset()
    start = time.monotonic()
    try:
        h.run(exe, args=["hang"], timeout=1.5)
    except RunTimeout as e:
        assert e.partial.lines == ["等待中"], e.partial.lines
    else:
        raise AssertionError("a hanging program was reported finished")
    assert time.monotonic() - start < 4


def the_client_stand_ins_show_under_their_names(h: HostSession, exe: Path):
    h.reset()
    qq, launcher = h.install_fake_client(h.work / "腾讯QQ" / "Bin")
    client = h.start_client(qq)
    assert os.readlink(f"/proc/{client.pid}/exe") == str(qq)
    done = h.run(launcher)
    assert done.exit_code == 0
    assert (qq.parent / "launched.txt").read_text("utf-8") == str(launcher)
    h.reset()
    assert wait_until(lambda: client.poll() is not None, 3), "reset() left the client running"


def nothing_is_left_behind(h: HostSession):
    assert not h.root.exists()
    assert live_processes_with_env(b"HOME=" + os.fsencode(h.home)) == []


def main() -> int:
    tally = Tally()
    session = None
    try:
        with HostSession() as session:
            exe = session.add_program("stand-in", STAND_IN)
            for case in (answers_drive_the_flow_and_xdg_open_is_recorded,
                         a_hang_times_out_with_the_output_so_far,
                         the_client_stand_ins_show_under_their_names):
                tally.run(case, session, exe)
            # Left running on purpose: close() must end it.
            session.start_client(session.install_fake_client(session.work / "qq")[0])
    except Exception:
        tally.fail("session")
    if session is not None:
        tally.run(nothing_is_left_behind, session)
    return tally.finish()


if __name__ == "__main__":
    sys.exit(main())
