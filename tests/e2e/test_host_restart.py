"""Restarting the client from a whole run of the host program: a copy of
sleep named QQ.exe stands in for the client, and a QQScLauncher.exe script
beside it leaves launched.txt when it is started."""

import os
import signal
import time

from expect import RESTART_TEXT, sample_png
from host_session import box_line
from session import wait_until

# Yes to the image, 50 for the opacity, Yes to the restart, a key to end.
ANSWERS = b"y\n50\ny\n\n"


def other_clients():
    """Pids of processes already named QQ.exe: the tool would take the first."""
    pids = []
    for name in filter(str.isdigit, os.listdir("/proc")):
        try:
            if os.readlink(f"/proc/{name}/exe").endswith("/QQ.exe"):
                pids.append(int(name))
        except OSError:
            pass
    return pids


def run_over_client(host, exe, with_launcher: bool):
    """A whole run while the stand-in client runs; returns the run, the
    client's process and the launcher's marker file."""
    assert not other_clients(), "another QQ.exe runs already: %s" % other_clients()
    host.make_skin("F2BBEC5E", sample_png())
    qq, launcher = host.install_fake_client(host.work / "Tencent QQ" / "Bin")
    if not with_launcher:
        launcher.unlink()
    client = host.start_client(qq)
    result = host.run(exe, ANSWERS)
    assert result.exit_code == 0, result.stdout
    found = result.lines.index("找到进程: QQ.exe")
    assert result.lines[found + 1:found + 3] == [box_line("提示", RESTART_TEXT),
                                                 f"进程路径: {qq}"], result.lines
    return result, client, qq.parent / "launched.txt"


def test_yes_ends_the_client_and_starts_its_launcher(host, exe):
    result, client, marker = run_over_client(host, exe, with_launcher=True)
    found = result.lines.index("找到进程: QQ.exe")
    assert result.lines[found + 3:found + 5] == ["", "已关闭!"], result.lines
    assert wait_until(lambda: client.poll() is not None, 5), "the client still runs"
    assert client.returncode == -signal.SIGKILL, client.returncode
    assert wait_until(lambda: marker.exists() and marker.read_text() != "", 5), \
        "the launcher was not started"
    assert marker.read_text() == str(marker.parent / "QQScLauncher.exe")


def test_without_a_launcher_the_client_goes_on_running(host, exe):
    result, client, _ = run_over_client(host, exe, with_launcher=False)
    assert "已关闭!" not in result.lines, result.lines
    assert any(line.startswith("无法重启QQ: ") and "QQScLauncher.exe" in line
               for line in result.lines), result.lines
    time.sleep(0.3)
    assert client.poll() is None, "the client was ended with no launcher to restart it"
