"""The raw layer against the public header."""

import ctypes
import os
import re

import pytest

import talvox
from talvox import _lib
from conftest import REPOSITORY

HEADER = os.path.join(REPOSITORY, "include", "talvox.h")

# C type spelled in the header -> the ctypes type the binding must use.
C_TYPES = {
    "void": None,
    "int32_t": ctypes.c_int32,
    "int16_t": ctypes.c_int16,
    "uint16_t": ctypes.c_uint16,
    "uint32_t": ctypes.c_uint32,
    "float": ctypes.c_float,
    "double": ctypes.c_double,
    "const char *": ctypes.c_char_p,
    "char *": ctypes.POINTER(ctypes.c_char),
    "void *": ctypes.c_void_p,
}
POINTEES = {
    "int16_t": ctypes.c_int16,
    "int32_t": ctypes.c_int32,
    "uint8_t": ctypes.c_uint8,
    "float": ctypes.c_float,
    "double": ctypes.c_double,
    "TvxElement": talvox.TvxElement,
    "TvxWaveHeader": talvox.TvxWaveHeader,
    "TvxDocument": talvox.TvxDocument,
}


def _ctype(spelling):
    spelling = re.sub(r"\s+", " ", spelling.replace("*", " * ")).strip()
    spelling = spelling.replace("* *", "**")
    if spelling in C_TYPES:
        return C_TYPES[spelling]
    match = re.fullmatch(r"(?:const )?(\w+) (\*+)", spelling)
    assert match, "unexpected C type %r" % spelling
    result = POINTEES[match.group(1)]
    for _ in match.group(2):
        result = ctypes.POINTER(result)
    return result


def header_prototypes():
    text = re.sub(r"/\*.*?\*/", "", open(HEADER).read(), flags=re.S)
    prototypes = {}
    for match in re.finditer(r"TVX_API\s+([^;(]*?)\s*\b(\w+)\s*\(([^)]*)\)\s*;", text):
        result, name, arguments = match.groups()
        if arguments.strip() == "void":
            types = []
        else:
            types = [_ctype(re.sub(r"\w+\s*$", "", part)) for part in arguments.split(",")]
        prototypes[name] = (_ctype(result), types)
    return prototypes


def test_every_header_export_is_declared_with_its_types():
    prototypes = header_prototypes()
    assert len(prototypes) > 100
    assert set(prototypes) == set(_lib.SIGNATURES)
    for name, (result, arguments) in prototypes.items():
        assert _lib.SIGNATURES[name] == (result, arguments), name


def test_present_exports_carry_the_declared_types():
    for name, (result, arguments) in _lib.SIGNATURES.items():
        if talvox.raw.available(name):
            function = getattr(talvox.raw, name)
            assert function.restype == result, name
            assert list(function.argtypes) == arguments, name


def test_missing_export_raises_when_called():
    stand_in = _lib._Missing("NoSuchExport", "libtalvox.so")
    with pytest.raises(NotImplementedError, match="NoSuchExport"):
        stand_in()


def test_record_layouts():
    assert ctypes.sizeof(talvox.TvxElement) == 112
    assert talvox.TvxElement.start.offset == 104
    assert talvox.TvxElement.end.offset == 108
    assert ctypes.sizeof(talvox.TvxWaveHeader) == 44
    offsets = [(name, getattr(talvox.TvxWaveHeader, name).offset)
               for name, _ in talvox.TvxWaveHeader._fields_]
    assert offsets == [("riff", 0), ("riffSize", 4), ("wave", 8), ("fmt", 12), ("fmtSize", 16),
                       ("formatTag", 20), ("channels", 22), ("samplesPerSec", 24),
                       ("avgBytesPerSec", 28), ("blockAlign", 32), ("bitsPerSample", 34),
                       ("data", 36), ("dataSize", 40)]
    pointer = ctypes.sizeof(ctypes.c_void_p)
    document = talvox.TvxDocument
    assert document.elementCount.offset == pointer
    assert document.peaks.offset == 2 * pointer
    assert document.peakCount.offset == 4 * pointer
    assert document.spectrum.offset == 4 * pointer + 16
    assert ctypes.sizeof(document) == 6 * pointer + 16


def test_library_discovery_order(monkeypatch):
    package = os.path.dirname(os.path.abspath(_lib.__file__))
    monkeypatch.setenv("TALVOX_LIBRARY", "/somewhere/libtalvox.so")
    assert _lib.candidate_paths() == ["/somewhere/libtalvox.so"]
    monkeypatch.delenv("TALVOX_LIBRARY")
    paths = _lib.candidate_paths()
    assert paths[0] == os.path.join(package, "libtalvox.so")
    assert paths[1] == os.path.join(REPOSITORY, "build", "libtalvox.so")
    assert len(paths) == 3 and "talvox" in paths[2]


def test_wrong_explicit_library_path_is_reported(monkeypatch):
    monkeypatch.setenv("TALVOX_LIBRARY", "/nonexistent/libtalvox.so")
    with pytest.raises(OSError, match="TALVOX_LIBRARY"):
        _lib._open_library()


def test_raw_calls_reach_the_library():
    assert talvox.raw.InitWaveFileProc() == 1
    header = talvox.raw.GetWaveFileHead().contents
    assert header.riff == b"RIFF" and header.samplesPerSec == 16000
    assert talvox.raw.GetSamplesPerSec() == 16000
    talvox.raw.FreeWaveFileProc()
