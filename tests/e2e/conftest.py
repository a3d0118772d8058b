"""Command line and sessions of the whole-program tests, e.g.

    python3 -m pytest tests/e2e/test_host_locate.py --exe build/host/skinalpha
    python3 -m pytest tests/e2e/test_wine_locate.py --exe build/windows/skinalpha.exe \\
        --tools build/windows/tests/e2e/wine_programs/bin
"""

from contextlib import ExitStack
from pathlib import Path

import pytest

from host_session import HostSession
from wine_session import WineSession


def pytest_addoption(parser):
    parser.addoption("--exe", help="the program under test")
    parser.addoption("--tools", help="folder of the Wine test programs (target e2e_tools)")
    parser.addoption("--objdump", help="objdump of the Windows toolchain")
    parser.addoption("--script", help="scripts/try")
    parser.addoption("--built", help="folder of the host build's skinalpha and try_pictures")
    parser.addoption("--cpack", help="cpack, for the Windows package")
    parser.addoption("--config", help="CPackConfig.cmake of the Windows build")
    parser.addoption("--source", type=Path, help="the source tree")


def option_path(config, name: str) -> Path:
    value = config.getoption(name)
    if not value:
        pytest.fail(f"--{name} is needed", pytrace=False)
    return Path(value).resolve()


@pytest.fixture(scope="session")
def exe(pytestconfig) -> Path:
    return option_path(pytestconfig, "exe")


@pytest.fixture(scope="session")
def tools(pytestconfig) -> Path:
    return option_path(pytestconfig, "tools")


@pytest.fixture(scope="session")
def objdump(pytestconfig) -> Path:
    return option_path(pytestconfig, "objdump")


@pytest.fixture(scope="session")
def host_session():
    with HostSession() as session:
        yield session


@pytest.fixture
def host(host_session) -> HostSession:
    """The host session, fresh for this test."""
    host_session.reset()
    return host_session


@pytest.fixture(scope="session")
def open_wine(tools):
    """open_wine(code_page=936, profile=None) gives the Wine session of that
    kind, fresh for the calling test; each kind's prefix is made once."""
    sessions = {}
    with ExitStack() as opened:
        def open_session(code_page: int = 936, profile=None) -> WineSession:
            if (code_page, profile) not in sessions:
                sessions[code_page, profile] = opened.enter_context(
                    WineSession(tools, code_page, profile))
            sessions[code_page, profile].reset()
            return sessions[code_page, profile]
        yield open_session


@pytest.fixture
def wine(open_wine) -> WineSession:
    """A Wine session with code page 936 and the default profile."""
    return open_wine()
