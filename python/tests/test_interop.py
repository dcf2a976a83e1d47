"""The exchange files: hand-written files in every shape, damaged ones, and
round trips through a Document to the sample; the files match the tool's."""

import os
import subprocess

import numpy as np
import pytest

import talvox
from talvox import interop
from conftest import REPOSITORY, requires, voiced_signal

RATE = 16000
PERIOD = 128

LONG = (
    'File type = "ooTextFile"\n'
    'Object class = "TextGrid"\n'
    "\n"
    "xmin = 0 \n"
    "xmax = 1.5 \n"
    "tiers? <exists> \n"
    "size = 2 \n"
    "item []: \n"
    "    item [1]:\n"
    '        class = "TextTier" \n'
    '        name = "tones" \n'
    "        xmin = 0 \n"
    "        xmax = 1.5 \n"
    "        points: size = 2 \n"
    "        points [1]:\n"
    "            number = 0.5 \n"
    '            mark = "H*" \n'
    "        points [2]:\n"
    "            number = 1 \n"
    '            mark = "L%" \n'
    "    item [2]:\n"
    '        class = "IntervalTier" \n'
    '        name = "words" \n'
    "        xmin = 0 \n"
    "        xmax = 1.5 \n"
    "        intervals: size = 3 \n"
    "        intervals [1]:\n"
    "            xmin = 0 \n"
    "            xmax = 0.25 \n"
    '            text = "" \n'
    "        intervals [2]:\n"
    "            xmin = 0.25 \n"
    "            xmax = 0.75 \n"
    '            text = "say ""caf\u00e9""" ! a comment\n'
    "        intervals [3]:\n"
    "            xmin = 0.75 \n"
    "            xmax = 1.5 \n"
    '            text = "b" \n'
)
SHORT = (
    'File type = "ooTextFile short"\n"TextGrid"\n\n0\n1.5\n<exists>\n2\n'
    '"TextTier"\n"tones"\n0\n1.5\n2\n0.5\n"H*"\n1\n"L%"\n'
    '"IntervalTier"\n"words"\n0\n1.5\n3\n0\n0.25\n""\n0.25\n0.75\n"say ""caf\u00e9"""\n0.75\n1.5\n"b"\n'
)


def check_grid(grid):
    assert (grid.xmin, grid.xmax) == (0, 1.5)
    tones, words = grid.tiers
    assert tones.kind == "point" and [(p.time, p.mark) for p in tones.items] == [(0.5, "H*"), (1, "L%")]
    assert words.kind == "interval" and words.name == "words"
    assert [(i.xmin, i.xmax, i.text) for i in words.items] == [
        (0, 0.25, ""), (0.25, 0.75, 'say "caf\u00e9"'), (0.75, 1.5, "b")]


@pytest.mark.parametrize("text", [LONG, SHORT, LONG.replace("\n", "\r\n"), SHORT.replace("\n", "\r\n")])
@pytest.mark.parametrize("encoding", ["utf-8", "utf-8-sig", "utf-16-le", "utf-16-be"])
def test_every_shape_and_encoding_reads_the_same(tmp_path, text, encoding):
    data = text.encode(encoding)
    if encoding == "utf-16-le":
        data = b"\xff\xfe" + data
    if encoding == "utf-16-be":
        data = b"\xfe\xff" + data
    path = tmp_path / "g.TextGrid"
    path.write_bytes(data)
    check_grid(interop.read_textgrid(path))


def test_writers_read_back_in_both_formats(tmp_path):
    grid = interop.parse_textgrid(LONG)
    for short in (False, True):
        interop.write_textgrid(tmp_path / "g.TextGrid", grid, short)
        check_grid(interop.read_textgrid(tmp_path / "g.TextGrid"))
    text = interop.format_textgrid(grid)
    assert text.startswith('File type = "ooTextFile"\nObject class = "TextGrid"\n\nxmin = 0 \nxmax = 1.5 \n')
    assert '            text = "say ""caf\u00e9""" \n' in text
    assert "        intervals: size = 3 \n" in text and "        points: size = 2 \n" in text


DAMAGES = [
    ("truncated", LONG[: LONG.index("xmax = 0.75")], 33, "the file ends where the end time of interval 2"),
    ("count too high", LONG.replace("intervals: size = 3", "intervals: size = 4"), 39,
     "the file ends where the start time of interval 4"),
    ("count too low", LONG.replace("points: size = 2", "points: size = 1"), 19,
     "expected the class of tier 2 (a text in quotes), found a number"),
    ("unterminated", LONG.replace('text = "b"', 'text = "b'), 38, "has no closing quote"),
    ("quote not doubled", LONG.replace('text = ""', 'text = "a"b"'), 30, "closes on line 30 and runs on"),
    ("unknown tier class", LONG.replace('"TextTier"', '"PointTier"'), 10,
     'expected the tier class "IntervalTier" or "TextTier", found "PointTier"'),
    ("not a number", LONG.replace("xmax = 0.25", "xmax = 0.25s"), 29, "found '0.25s'"),
    ("other class", LONG.replace('"TextGrid"', '"Sound"', 1), 2, 'found the object class "Sound"'),
    ("points out of order", LONG.replace("number = 1 ", "number = 0.25 "), 19, "does not come after"),
]


@pytest.mark.parametrize("name,text,line,expected", DAMAGES, ids=[d[0] for d in DAMAGES])
def test_damaged_files_name_the_file_and_the_line(tmp_path, name, text, line, expected):
    path = tmp_path / "bad.TextGrid"
    path.write_text(text, encoding="utf-8")
    with pytest.raises(interop.FormatError) as caught:
        interop.read_textgrid(path)
    assert caught.value.line == line, str(caught.value)
    assert str(caught.value).startswith("%s: line %d: " % (path, line))
    assert expected in str(caught.value) and "\n" not in str(caught.value)


def test_pitchtier_point_process_labels_and_table(tmp_path):
    tier = interop.parse_pitchtier(
        'File type = "ooTextFile"\nObject class = "PitchTier"\n\nxmin = 0 \nxmax = 1 \npoints: size = 2 \n'
        "points [1]:\n    number = 0.25 \n    value = 110 \npoints [2]:\n    number = 0.5 \n    value = 220.5 \n")
    assert tier.points == [(0.25, 110), (0.5, 220.5)]
    assert interop.parse_pitchtier(interop.format_pitchtier(tier, short=True)) == tier
    process = interop.parse_point_process(
        'File type = "ooTextFile"\nObject class = "PointProcess"\n\n0\n1\n3\n0.1\n0.2\n0.3\n')
    assert process.times == [0.1, 0.2, 0.3]
    assert interop.parse_point_process(interop.format_point_process(process)) == process
    labels = interop.parse_labels("0\t0.5\tone\r\n\\\t100\t200\r\n0.5\t0.5\tclick\r\n0.75\t1\r\n")
    assert [(l.start, l.end, l.text) for l in labels] == [(0, 0.5, "one"), (0.5, 0.5, "click"), (0.75, 1, "")]
    with pytest.raises(interop.FormatError, match="line 2: expected the end time in seconds, found 'x'"):
        interop.parse_labels("0\t1\ta\n1\tx\tb\n")
    rows = interop.parse_element_table('desc,start_sample,end_sample\n"a, ""b""",0,10\nc,10,20\n')
    assert rows == [('a, "b"', 0, 10, 2, True), ("c", 10, 20, 3, True)]
    with pytest.raises(interop.FormatError, match="line 3: expected 3 fields"):
        interop.parse_element_table("desc,start_sample,end_sample\na,0,10\nb,10\n")


def test_rounding_is_to_the_nearest_sample_halves_away_from_zero():
    assert interop.seconds_to_sample(0.5 / 16000, 16000) == 1
    assert interop.seconds_to_sample(1.49 / 16000, 16000) == 1
    assert interop.seconds_to_sample(0.49999999999999994, 1) == 0
    assert interop.seconds_to_sample(2.3, 44100) == 101430
    assert interop.exact_number(0.1) == "0.1" and interop.exact_number(0.1 + 0.2) == "0.30000000000000004"


@pytest.fixture
def speech(no_document):
    samples = np.concatenate([voiced_signal(4000, 8000, 0, PERIOD, 12000), voiced_signal(4000, 8000, 1600, PERIOD, 12000)])
    with talvox.Document(samples, RATE) as doc:  # 1.6 s
        yield doc


def random_annotation(generator, length):
    cuts = np.unique(generator.integers(1, length, size=generator.integers(1, 60)))
    bounds = [0] + cuts.tolist() + [length]
    names = ["", "SIL", "ma3", 'say "hi"', "caf\u00e9", "a,b"]
    elements = [talvox.Element(names[generator.integers(len(names))], a, b) for a, b in zip(bounds, bounds[1:])]
    marks = np.unique(generator.integers(0, length, size=generator.integers(2, 300))).astype(np.int32)
    return elements, marks


@requires("_SavePeaks", "ReadPeaks", "GetFullPeaks", "GetElementNum")
def test_random_annotations_come_back_to_the_sample(speech, tmp_path):
    generator = np.random.default_rng(20261209)
    for trial in range(20):
        elements, marks = random_annotation(generator, speech.length)
        interop.set_elements(speech, elements)
        interop.set_marks(speech, marks)
        assert speech.elements == elements
        assert np.array_equal(speech.modified_pitch[: len(marks) - 1], np.diff(marks))
        short = bool(trial % 2)
        interop.save_textgrid(speech, tmp_path / "a.TextGrid", short)
        interop.save_point_process(speech, tmp_path / "a.PointProcess", short)
        interop.save_labels(speech, tmp_path / "a.txt")
        interop.save_element_table(speech, tmp_path / "a.csv")
        for elements_file, marks_file in [("a.TextGrid", "a.PointProcess"), ("a.txt", "a.TextGrid"),
                                          ("a.csv", "a.PointProcess")]:
            interop.set_elements(speech, [talvox.Element("x", 0, speech.length)])
            interop.set_marks(speech, [5])
            interop.load_elements(speech, tmp_path / elements_file)
            interop.load_marks(speech, tmp_path / marks_file)
            assert speech.elements == elements, elements_file
            assert np.array_equal(speech.peaks, marks), marks_file


@requires("_SavePeaks", "ReadPeaks", "GetElementNum")
def test_a_users_textgrid_and_a_failed_load_that_changes_nothing(speech, tmp_path):
    path = tmp_path / "words.TextGrid"
    path.write_bytes(b"\xfe\xff" + SHORT.encode("utf-16-be"))
    assert interop.load_elements(speech, path, tier="words", empty_label="SIL") == 4
    assert speech.elements == [talvox.Element("SIL", 0, 4000), talvox.Element('say "caf\u00e9"', 4000, 12000),
                               talvox.Element("b", 12000, 24000), talvox.Element("SIL", 24000, 25600)]
    assert interop.load_marks(speech, path) == 2  # the first point tier
    assert speech.peaks.tolist() == [8000, 16000]
    before = (speech.elements, speech.peaks.tolist())
    damaged = tmp_path / "damaged.TextGrid"
    damaged.write_text(LONG.replace("intervals: size = 3", "intervals: size = 2"), encoding="utf-8")
    with pytest.raises(interop.FormatError, match="line 36: unexpected data"):
        interop.load_elements(speech, damaged)
    too_long = tmp_path / "long.TextGrid"
    too_long.write_text(LONG.replace("xmax = 1.5 \n        intervals", "xmax = 2 \n        intervals")
                        .replace("xmax = 1.5 \n            text = \"b\"", "xmax = 2 \n            text = \"b\""))
    with pytest.raises(interop.FormatError, match="past the end of the signal"):
        interop.load_elements(speech, too_long)
    with pytest.raises(interop.FormatError, match="no tier named 'nope'"):
        interop.load_elements(speech, path, tier="nope")
    with pytest.raises(interop.FormatError, match="tier 'tones' is not the interval tier"):
        interop.load_elements(speech, path, tier="tones")
    assert (speech.elements, speech.peaks.tolist()) == before


@requires("_SavePeaks", "ReadPeaks", "GetElementNum")
def test_more_than_ten_thousand_elements_are_refused_with_the_count(speech, tmp_path):
    labels = [(i / RATE, (i + 1) / RATE, "x") for i in range(10001)]
    interop.write_labels(tmp_path / "many.txt", labels)
    with pytest.raises(interop.FormatError, match="10001 intervals; the element table holds at most 10000"):
        interop.load_elements(speech, tmp_path / "many.txt")
    interop.write_labels(tmp_path / "full.txt", labels[:9999] + [(9999 / RATE, speech.length / RATE, "end")])
    assert interop.load_elements(speech, tmp_path / "full.txt") == 10000


@requires("GetClosedMaximumPeak", "_SavePeaks", "ReadPeaks")
def test_marks_snapped_to_the_largest_sample(speech, tmp_path):
    samples = speech.samples
    tops = [int(start + np.argmax(samples[start:start + PERIOD])) for start in (4800, 5600, 6400)]
    times = [(top - 5) / RATE for top in tops]
    interop.write_point_process(tmp_path / "m.PointProcess", interop.PointProcess(0, 1.6, times))
    interop.load_marks(speech, tmp_path / "m.PointProcess", snap="peak")
    assert speech.peaks.tolist() == tops
    interop.load_marks(speech, tmp_path / "m.PointProcess")
    assert speech.peaks.tolist() == [top - 5 for top in tops]
    with pytest.raises(ValueError):
        interop.load_marks(speech, tmp_path / "m.PointProcess", snap="nearest")


TALVOX = os.path.join(REPOSITORY, "build", "bin", "talvox")


@pytest.mark.skipif(not os.access(TALVOX, os.X_OK), reason="the talvox tool is not built")
@requires("CalculatePitch", "_SavePeaks", "ReadPeaks")
def test_the_files_are_those_the_tool_writes(tmp_path, no_document):
    samples = np.concatenate([voiced_signal(1600, 4800, 0, PERIOD, 12000), voiced_signal(1600, 4800, 1600, PERIOD, 12000)])
    wav = str(tmp_path / "in.wav")
    talvox.save(wav, samples, RATE)
    tool = {name: str(tmp_path / ("tool." + name)) for name in ("TextGrid", "PitchTier", "PointProcess", "txt")}
    subprocess.run([TALVOX, "analyze", wav, "-o", str(tmp_path / "in.peaks"), "--textgrid", tool["TextGrid"],
                    "--pitchtier", tool["PitchTier"], "--pointprocess", tool["PointProcess"],
                    "--labels", tool["txt"]], check=True, capture_output=True)
    with talvox.Document(wav) as doc:
        doc.load_peaks(str(tmp_path / "in.peaks"))
        ours = {name: str(tmp_path / ("py." + name)) for name in tool}
        interop.save_textgrid(doc, ours["TextGrid"])
        interop.save_pitchtier(doc, ours["PitchTier"])
        interop.save_point_process(doc, ours["PointProcess"])
        interop.save_labels(doc, ours["txt"])
    for name in tool:
        with open(tool[name], "rb") as a, open(ours[name], "rb") as b:
            assert a.read() == b.read(), name
