"""A build backend that needs nothing beyond the standard library.

The binding is pure Python (ctypes over libtalvox), so its wheel is a zip of
the package and its metadata. Keeping the backend in the tree means
`pip install ./python` works on a machine that reaches no package index,
where pip could not fetch setuptools into its isolated build environment.
"""

import base64
import hashlib
import os
import zipfile

NAME = "talvox"
VERSION = "0.1.0"
HERE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PACKAGE = os.path.join(HERE, NAME)
TAG = "py3-none-any"
METADATA = """Metadata-Version: 2.1
Name: talvox
Version: {version}
Summary: Python binding of libtalvox: speech annotation, analysis, editing and resynthesis
Requires-Python: >=3.8
Requires-Dist: numpy
Classifier: Programming Language :: Python :: 3
Classifier: Operating System :: POSIX :: Linux
Classifier: Topic :: Multimedia :: Sound/Audio :: Speech
""".format(version=VERSION)
WHEEL = """Wheel-Version: 1.0
Generator: talvox_backend
Root-Is-Purelib: true
Tag: {tag}
""".format(tag=TAG)


def _digest(data):
    return "sha256=" + base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=").decode()


def _package_files():
    for folder, subfolders, files in os.walk(PACKAGE):
        subfolders[:] = sorted(d for d in subfolders if d != "__pycache__")
        for name in sorted(files):
            if name.endswith(".py"):
                path = os.path.join(folder, name)
                yield path, os.path.relpath(path, HERE).replace(os.sep, "/")


def _dist_info():
    return "%s-%s.dist-info" % (NAME, VERSION)


def get_requires_for_build_wheel(config_settings=None):
    return []


def get_requires_for_build_sdist(config_settings=None):
    return []


def prepare_metadata_for_build_wheel(metadata_directory, config_settings=None):
    info = os.path.join(metadata_directory, _dist_info())
    os.makedirs(info, exist_ok=True)
    for name, text in (("METADATA", METADATA), ("WHEEL", WHEEL)):
        with open(os.path.join(info, name), "w", encoding="utf-8") as out:
            out.write(text)
    return _dist_info()


def build_wheel(wheel_directory, config_settings=None, metadata_directory=None):
    wheel_name = "%s-%s-%s.whl" % (NAME, VERSION, TAG)
    records = []
    with zipfile.ZipFile(os.path.join(wheel_directory, wheel_name), "w", zipfile.ZIP_DEFLATED) as wheel:
        def add(archive_name, data):
            wheel.writestr(archive_name, data)
            records.append("%s,%s,%d" % (archive_name, _digest(data), len(data)))

        for path, archive_name in _package_files():
            with open(path, "rb") as source:
                add(archive_name, source.read())
        add(_dist_info() + "/METADATA", METADATA.encode())
        add(_dist_info() + "/WHEEL", WHEEL.encode())
        record = _dist_info() + "/RECORD"
        records.append(record + ",,")
        wheel.writestr(record, "\n".join(records) + "\n")
    return wheel_name


def build_sdist(sdist_directory, config_settings=None):
    import tarfile

    base = "%s-%s" % (NAME, VERSION)
    name = base + ".tar.gz"
    with tarfile.open(os.path.join(sdist_directory, name), "w:gz") as sdist:
        for path, archive_name in _package_files():
            sdist.add(path, base + "/" + archive_name)
        for extra in ("pyproject.toml", "README.md", "build_backend/talvox_backend.py"):
            sdist.add(os.path.join(HERE, extra), base + "/" + extra)
    return name
