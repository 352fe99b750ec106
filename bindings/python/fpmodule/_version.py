"""The package's version is the library's. It is defined once, by `project(... VERSION ...)`
in the repository's CMakeLists.txt; an installed package carries it in its metadata."""

import pathlib
import re

_PROJECT_VERSION = re.compile(r"^project\(fpmodule\s+VERSION\s+(\d+\.\d+\.\d+)", re.MULTILINE)


def source_tree_version():
    """The version in the repository this package sits in, or None outside one."""
    cmake = pathlib.Path(__file__).resolve().parents[3] / "CMakeLists.txt"
    try:
        match = _PROJECT_VERSION.search(cmake.read_text())
    except OSError:
        return None
    return match.group(1) if match else None


def version():
    found = source_tree_version()
    if found:
        return found
    from importlib import metadata
    return metadata.version("fpmodule")
