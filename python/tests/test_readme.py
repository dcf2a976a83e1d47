"""The README's Python example runs as printed."""

import os
import re

import talvox
from conftest import ELEMENTS, PEAKS, REPOSITORY, WAV, requires, voiced_signal


@requires("CalculatePitch", "SynthesisSpeech", ELEMENTS, PEAKS, WAV)
def test_readme_example_runs(tmp_path, monkeypatch, no_document):
    text = open(os.path.join(REPOSITORY, "README.md")).read()
    section = text[text.index("## Python"):]
    example = re.search(r"```python\n(.*?)```", section, re.S).group(1)
    talvox.save(tmp_path / "speech.wav", voiced_signal(4000, 16000, 4000, 160, 8000), 16000)
    monkeypatch.chdir(tmp_path)
    namespace = {}
    exec(compile(example.replace('sys.path.insert(0, "python")', "pass"), "README.md", "exec"),
         namespace)
    assert talvox.load("higher.wav").samples.size == namespace["higher"].size
