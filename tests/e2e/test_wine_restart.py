"""Restarting the client from a whole run of the Windows program under Wine:
a stand-in QQ.exe waits in a folder of the prefix beside a stand-in
QQScLauncher.exe that leaves launched.txt when it is started."""

import re

from expect import CONFIRM_TEXT, RESTART_TEXT, SKIN, sample_png
from session import wait_until

# A Chinese folder name shows how the path line renders non-ASCII text.
CLIENT_FOLDER = ("Program Files", "腾讯软件", "QQ", "Bin")


def client_run(wine, exe, restart_answer: str, with_launcher: bool = True):
    """Runs the tool once over a running stand-in client; returns the run,
    the client's process, its own Windows path and the marker path."""
    wine.make_skin(SKIN, sample_png())
    folder = wine.drive_c.joinpath(*CLIENT_FOLDER)
    qq, launcher = wine.install_fake_client(folder)
    if not with_launcher:
        launcher.unlink()
    client = wine.start_client(qq)
    own_path = (folder / "fake_qq.log").read_text("utf-8").split("\n")[0].split("\t")[1]
    result = wine.run(exe, b"50\n", boxes=[("提示", "yes"), ("提示", restart_answer)])
    assert result.stdout_is_valid, "the output is not GBK: %r" % result.raw_stdout
    assert result.boxes == [CONFIRM_TEXT, RESTART_TEXT], result.boxes
    return result, client, own_path, folder / "launched.txt"


def test_yes_ends_the_client_and_starts_its_launcher(wine, exe):
    result, client, own_path, marker = client_run(wine, exe, "yes")
    lines = result.lines
    found = lines.index("找到进程: QQ.exe")
    path_line = lines[found + 1]
    assert re.fullmatch(r"进程路径: [A-Z]:\\.*\\QQ\.exe", path_line), path_line
    assert path_line == "进程路径: " + own_path, (path_line, own_path)
    assert "腾讯软件" in path_line
    assert lines[found + 2:found + 4] == ["", "已关闭!"], lines
    assert result.exit_code == 0, result.stdout

    assert wait_until(lambda: client.poll() is not None, 10), "the client still runs"
    assert wait_until(marker.exists, 10), "the launcher was not started"
    launched_as = marker.read_bytes().decode("utf-8")
    assert launched_as.lower() == own_path[:-len("QQ.exe")].lower() + "qqsclauncher.exe", \
        launched_as


def test_no_leaves_the_client_running(wine, exe):
    result, client, _, marker = client_run(wine, exe, "no")
    found = result.lines.index("找到进程: QQ.exe")
    assert not any(line.startswith("进程路径") for line in result.lines), result.stdout
    assert "已关闭!" not in result.lines
    assert all(line.startswith("请按任意键继续") for line in result.lines[found + 1:]), \
        result.stdout
    assert client.poll() is None, "the client was ended"
    assert not marker.exists()


def test_a_missing_launcher_leaves_the_client_running(wine, exe):
    result, client, _, marker = client_run(wine, exe, "yes", with_launcher=False)
    assert "已关闭!" not in result.lines, result.stdout
    assert any(line.startswith("无法重启QQ: ") and "QQScLauncher.exe" in line
               for line in result.lines), result.stdout
    assert client.poll() is None, "the client was ended without a launcher to restart it"
    assert not marker.exists()
