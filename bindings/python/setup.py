"""Only the version is computed here; everything else is in pyproject.toml."""

import pathlib
import re
import runpy

from setuptools import setup

here = pathlib.Path(__file__).resolve().parent
version = runpy.run_path(str(here / "fpmodule" / "_version.py"))["source_tree_version"]()
if version is None:
    # A wheel built from an unpacked source archive: the archive's metadata has it.
    pkg_info = here / "PKG-INFO"
    match = pkg_info.exists() and re.search(r"^Version: (\S+)", pkg_info.read_text(), re.MULTILINE)
    if not match:
        raise SystemExit("fpmodule: no version found (build from the repository or its source archive)")
    version = match.group(1)
setup(version=version)
