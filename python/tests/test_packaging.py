"""The binding installs with pip from the tree, with no package index."""

import os
import subprocess
import sys
import zipfile

import pytest

HERE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(HERE, "build_backend"))
import talvox_backend  # noqa: E402


def test_wheel_holds_every_module_and_valid_metadata(tmp_path):
    name = talvox_backend.build_wheel(str(tmp_path))
    with zipfile.ZipFile(tmp_path / name) as wheel:
        names = set(wheel.namelist())
        assert {"talvox/__init__.py", "talvox/document.py", "talvox/_lib.py"} <= names
        for module in os.listdir(os.path.join(HERE, "talvox")):
            if module.endswith(".py"):
                assert "talvox/" + module in names
        record = wheel.read("talvox-0.1.0.dist-info/RECORD").decode().splitlines()
        assert len(record) == len(names)
        assert "Requires-Dist: numpy" in wheel.read("talvox-0.1.0.dist-info/METADATA").decode()


def test_pip_installs_the_tree_offline(tmp_path):
    pip = subprocess.run([sys.executable, "-m", "pip", "--version"], capture_output=True)
    if pip.returncode != 0:
        pytest.skip("pip is not installed")
    target = tmp_path / "site"
    env = dict(os.environ, PIP_NO_INDEX="1", PIP_DISABLE_PIP_VERSION_CHECK="1")
    done = subprocess.run([sys.executable, "-m", "pip", "install", "--no-deps", "--target", str(target), HERE],
                          capture_output=True, text=True, env=env, timeout=120)
    assert done.returncode == 0, done.stderr
    assert (target / "talvox" / "document.py").is_file()
