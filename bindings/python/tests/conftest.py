"""Runs the bindings against the virtual library, scripted per test through
FPMODULE_VIRTUAL_CONFIG."""

import itertools
import os
import sys

import pytest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), ".."))

import fpmodule  # noqa: E402

_generation = itertools.count()


def pytest_sessionfinish(session, exitstatus):
    # A run that collected nothing must not pass for a green one.
    if exitstatus == pytest.ExitCode.NO_TESTS_COLLECTED:
        session.exitstatus = pytest.ExitCode.TESTS_FAILED


@pytest.fixture
def configure(tmp_path, monkeypatch):
    """Writes the virtual module's configuration; each call builds a fresh module."""
    path = tmp_path / "module.ini"

    def write(text=""):
        path.write_text(f"# run {next(_generation)}\n{text}")
        monkeypatch.setenv("FPMODULE_VIRTUAL_CONFIG", str(path))
        return path

    write()
    return write


@pytest.fixture
def library():
    return fpmodule.load(virtual=True)


@pytest.fixture
def module(configure, library):
    """A connected module on a fresh default configuration."""
    module = fpmodule.Module(library)
    yield module.connect()
    module.disconnect()
