"""The files phoneticians' tools exchange, in and out of a Document.

Readers and writers (pure Python, no library needed):

- TextGrid files, long and short text format, UTF-8 (with or without a byte
  order mark), UTF-16 with a byte order mark, or Latin-1: read_textgrid,
  write_textgrid.
- PitchTier files (time, F0 points): read_pitchtier, write_pitchtier.
- Point-process text (pulse times): read_point_process, write_point_process.
- Audacity label tracks ("start<TAB>end<TAB>label"): read_labels,
  write_labels.
- CSV tables of elements (the columns of ``talvox analyze --csv``):
  read_element_table, write_element_table.

A damaged file raises FormatError naming the file, the line and what was
expected; nothing is loaded from it.

Document glue, with the element table, marks and modified pitch kept in
step exactly as the library holds them: load_elements (TextGrid interval
tier, label track or CSV table), load_marks (point process, TextGrid point
tier or label track, snapped as asked), set_elements, set_marks, and
save_textgrid, save_pitchtier, save_point_process, save_labels,
save_element_table.

Times and samples: sample s is written as the double s / rate with every
digit needed to read back the same double (at most 17 significant); a time
t is read as the nearest sample, round(t * rate) with halves away from
zero. So a file written here gives back every boundary and mark to the
sample. Stretches that no interval covers and intervals with an empty label
become elements of ``empty_label`` ("" unless you pass, say, "SIL").
"""

import collections
import csv
import ctypes
import io
import math
import os
import shutil
import tempfile

import numpy as np

from . import _checks
from ._lib import ELEMENT_TEXT_BYTES, TvxDocument, TvxElement, i32, raw
from .document import Element

ELEMENT_CAPACITY = 10000  # the library's element table
_LONGEST_DESCRIPTION = ELEMENT_TEXT_BYTES - 1

Interval = collections.namedtuple("Interval", "xmin xmax text line")
Point = collections.namedtuple("Point", "time mark line")
Tier = collections.namedtuple("Tier", "kind name xmin xmax items line")
Tier.__doc__ = """kind: 'interval' (items are Interval) or 'point' (items are Point)."""
TextGrid = collections.namedtuple("TextGrid", "xmin xmax tiers")
PitchTier = collections.namedtuple("PitchTier", "xmin xmax points")
PitchTier.__doc__ = """points: a list of (time, hertz)."""
PointProcess = collections.namedtuple("PointProcess", "xmin xmax times")
Label = collections.namedtuple("Label", "start end text line")


class FormatError(ValueError):
    """A file that is not what it should be: .path, .line (0: the file as a
    whole) and the one-line message "PATH: line N: what was expected"."""

    def __init__(self, line, problem, path=None):
        self.line = line
        self.problem = problem
        self.path = path
        where = "line %d: " % line if line > 0 else ""
        super().__init__(("%s: " % path if path else "") + where + problem)

    def at(self, path):
        return FormatError(self.line, self.problem, path)


# ------------------------------------------------------------------ text


def decode_text(data):
    """Bytes of a text file as str: UTF-8 (BOM optional), UTF-16 LE/BE with
    BOM, else Latin-1 for files that are not valid UTF-8."""
    if data.startswith(b"\xef\xbb\xbf"):
        text = data[3:].decode("utf-8", "replace")
    elif data.startswith(b"\xff\xfe") or data.startswith(b"\xfe\xff"):
        if len(data) % 2:
            raise FormatError(0, "UTF-16 text with an odd number of bytes (truncated?)")
        try:
            text = data[2:].decode("utf-16-le" if data[0] == 0xFF else "utf-16-be")
        except UnicodeDecodeError:
            raise FormatError(0, "a UTF-16 surrogate without its partner") from None
    else:
        try:
            text = data.decode("utf-8")
        except UnicodeDecodeError:
            text = data.decode("latin-1")
    if "\0" in text:
        raise FormatError(text[: text.index("\0")].count("\n") + 1, "a NUL character (is this a binary file?)")
    return text


def _read_text(path):
    with open(path, "rb") as handle:
        return decode_text(handle.read())


def exact_number(value):
    """The shortest text (at most 17 significant digits) that reads back as
    the same double, written as C's %g writes it."""
    for digits in (15, 16, 17):
        text = "%.*g" % (digits, value)
        if float(text) == value:
            return text
    return text


def _quoted(text):
    return '"' + text.replace('"', '""') + '"'


class _Reader:
    """Values of an object text file: numbers, texts in double quotes (a
    quote written twice inside) and flags (<exists>); names of the long
    format and "!" comments are passed over, so long and short read alike."""

    def __init__(self, text):
        self.text = text
        self.at = 0
        self.line_number = 1
        self.value_line = 1

    def _next(self):
        text = self.text
        while self.at < len(text):
            c = text[self.at]
            if c == "\n":
                self.line_number += 1
                self.at += 1
            elif c in " \t\r\f\v":
                self.at += 1
            elif c == "!":
                end = text.find("\n", self.at)
                self.at = len(text) if end < 0 else end
            elif c == '"':
                return "text"
            elif c == "<":
                return "flag"
            elif c in "0123456789-+.":
                return "number"
            else:
                self._word()
        return "end"

    def _word(self):
        begin = self.at
        while self.at < len(self.text) and self.text[self.at] not in " \t\n\r\f\v":
            self.at += 1
        return self.text[begin : self.at]

    def _fail(self, found, what):
        if found == "end":
            raise FormatError(self.line_number, "the file ends where %s was expected (truncated?)" % what)
        name = {"number": "a number", "text": "a text in quotes", "flag": "a flag"}[found]
        raise FormatError(self.line_number, "expected %s, found %s" % (what, name))

    def number(self, what):
        kind = self._next()
        if kind != "number":
            self._fail(kind, what + " (a number)")
        self.value_line = self.line_number
        word = self._word()
        try:
            value = float(word)
        except ValueError:
            value = math.nan
        if not math.isfinite(value) or word.lower() in ("inf", "nan"):
            raise FormatError(self.line_number, "expected %s (a number), found '%s'" % (what, word))
        return value

    def count(self, what, limit=10**9):
        value = self.number(what)
        if value < 0 or value != math.floor(value) or value > limit:
            raise FormatError(self.line_number, "expected %s (a whole number from 0 to %d)" % (what, limit))
        return int(value)

    def string(self, what):
        kind = self._next()
        if kind != "text":
            self._fail(kind, what + " (a text in quotes)")
        self.value_line = opened = self.line_number
        text, pieces = self.text, []
        self.at += 1
        while True:
            close = text.find('"', self.at)
            if close < 0:
                raise FormatError(opened, "the text of %s that starts here has no closing quote" % what)
            pieces.append(text[self.at : close])
            self.line_number += text.count("\n", self.at, close)
            self.at = close + 1
            if self.at < len(text) and text[self.at] == '"':
                pieces.append('"')
                self.at += 1
                continue
            break
        if self.at < len(text) and text[self.at] not in " \t\n\r\f\v!":
            closed = self.line_number
            raise FormatError(
                opened,
                "the text of %s that starts here closes on line %d and runs on into '%s' "
                "(a text not closed, or a quote not doubled?)" % (what, closed, self._word()),
            )
        return "".join(pieces)

    def flag(self, what):
        kind = self._next()
        if kind != "flag":
            self._fail(kind, what + " (<exists> or <absent>)")
        self.value_line = self.line_number
        word = self._word()
        if word not in ("<exists>", "<absent>"):
            raise FormatError(self.line_number, "expected %s (<exists> or <absent>), found '%s'" % (what, word))
        return word == "<exists>"

    def header(self, object_class):
        head = self.text.lstrip(" \t\r\n")
        if head.startswith("ooBinaryFile"):
            raise FormatError(1, "a binary %s file; save it as a text file" % object_class)
        if not head.startswith("File type"):
            raise FormatError(1, "expected 'File type = \"ooTextFile\"' (is this a %s text file?)" % object_class)
        kind = self.string("the file type")
        if kind not in ("ooTextFile", "ooTextFile short"):
            raise FormatError(self.value_line, 'expected the file type "ooTextFile", found "%s"' % kind)
        found = self.string("the object class")
        if found.split(" ")[0] != object_class:
            raise FormatError(
                self.value_line, 'expected a %s file, found the object class "%s"' % (object_class, found)
            )

    def end(self):
        if self._next() != "end":
            raise FormatError(self.line_number, "unexpected data after the last item (wrong count?)")


def _object_class(text):
    if not text.lstrip(" \t\r\n").startswith("File type"):
        return ""
    try:
        reader = _Reader(text)
        reader.string("the file type")
        return reader.string("the object class").split(" ")[0]
    except FormatError:
        return ""


class _Writer:
    """Long format: indented "name = value" lines; short: bare values."""

    def __init__(self, short, object_class):
        self.long = not short
        self.lines = ['File type = "ooTextFile"', "Object class = %s" % _quoted(object_class), ""]

    def value(self, indent, name, value):
        self.lines.append("    " * indent + name + " = " + value + " " if self.long else value)

    def number(self, indent, name, value):
        self.value(indent, name, exact_number(value))

    def count(self, indent, name, value):
        self.value(indent, name, str(value))

    def string(self, indent, name, value):
        self.value(indent, name, _quoted(value))

    def label(self, indent, text):
        if self.long:
            self.lines.append("    " * indent + text)

    def flag(self, name, exists):
        flag = "<exists>" if exists else "<absent>"
        self.lines.append(name + " " + flag + " " if self.long else flag)

    def text(self):
        return "\n".join(self.lines) + "\n"


def _parsing(path, parse):
    """parse(text) on the decoded file, its errors naming the file."""
    try:
        return parse(_read_text(path))
    except FormatError as error:
        raise error.at(os.fsdecode(path)) from None


def _write_file(path, text):
    """Writes through a temporary name beside the target, so a failure never
    leaves a half-written file."""
    folder = os.path.dirname(os.path.abspath(path))
    handle, temp = tempfile.mkstemp(dir=folder, prefix=".talvox-")
    try:
        with os.fdopen(handle, "w", encoding="utf-8", newline="\n") as out:
            out.write(text)
        os.replace(temp, path)
    except BaseException:
        if os.path.exists(temp):
            os.unlink(temp)
        raise


# -------------------------------------------------------------- TextGrid


def parse_textgrid(text):
    """A TextGrid from decoded text; FormatError for anything malformed."""
    reader = _Reader(text)
    reader.header("TextGrid")
    xmin = reader.number("the start time of the TextGrid")
    xmax = reader.number("the end time of the TextGrid")
    if xmax < xmin:
        raise FormatError(reader.value_line, "the TextGrid ends before it starts")
    tiers = []
    count = reader.count("the tier count") if reader.flag("whether tiers exist") else 0
    for t in range(count):
        kind = reader.string("the class of tier %d" % (t + 1))
        line = reader.value_line
        if kind not in ("IntervalTier", "TextTier"):
            raise FormatError(line, 'expected the tier class "IntervalTier" or "TextTier", found "%s"' % kind)
        name = reader.string("the name of tier %d" % (t + 1))
        tmin = reader.number("the start time of tier '%s'" % name)
        tmax = reader.number("the end time of tier '%s'" % name)
        if tmax < tmin:
            raise FormatError(reader.value_line, "tier '%s' ends before it starts" % name)
        items = []
        if kind == "IntervalTier":
            for i in range(reader.count("the interval count of tier '%s'" % name)):
                where = "interval %d of tier '%s'" % (i + 1, name)
                start = reader.number("the start time of " + where)
                at = reader.value_line
                end = reader.number("the end time of " + where)
                label = reader.string("the text of " + where)
                if end < start:
                    raise FormatError(at, where + " ends before it starts")
                if items and start < items[-1].xmin:
                    raise FormatError(at, where + " starts before the interval before it")
                items.append(Interval(start, end, label, at))
        else:
            for i in range(reader.count("the point count of tier '%s'" % name)):
                where = "point %d of tier '%s'" % (i + 1, name)
                time = reader.number("the time of " + where)
                at = reader.value_line
                mark = reader.string("the mark of " + where)
                if time < tmin or time > tmax:
                    raise FormatError(at, where + " lies outside its tier")
                if items and time <= items[-1].time:
                    raise FormatError(at, where + " does not come after the point before")
                items.append(Point(time, mark, at))
        tiers.append(Tier("interval" if kind == "IntervalTier" else "point", name, tmin, tmax, items, line))
    reader.end()
    return TextGrid(xmin, xmax, tiers)


def read_textgrid(path):
    """Reads a TextGrid file (long or short text; UTF-8, UTF-16 or Latin-1)."""
    return _parsing(path, parse_textgrid)


def format_textgrid(grid, short=False):
    out = _Writer(short, "TextGrid")
    out.number(0, "xmin", grid.xmin)
    out.number(0, "xmax", grid.xmax)
    out.flag("tiers?", bool(grid.tiers))
    if grid.tiers:
        out.count(0, "size", len(grid.tiers))
        out.label(0, "item []: ")
    for t, tier in enumerate(grid.tiers):
        intervals = tier.kind == "interval"
        out.label(1, "item [%d]:" % (t + 1))
        out.string(2, "class", "IntervalTier" if intervals else "TextTier")
        out.string(2, "name", tier.name)
        out.number(2, "xmin", tier.xmin)
        out.number(2, "xmax", tier.xmax)
        out.count(2, "intervals: size" if intervals else "points: size", len(tier.items))
        for i, item in enumerate(tier.items):
            if intervals:
                out.label(2, "intervals [%d]:" % (i + 1))
                out.number(3, "xmin", item[0])
                out.number(3, "xmax", item[1])
                out.string(3, "text", item[2])
            else:
                out.label(2, "points [%d]:" % (i + 1))
                out.number(3, "number", item[0])
                out.string(3, "mark", item[1])
    return out.text()


def write_textgrid(path, grid, short=False):
    """Writes a TextGrid (tiers' items may be Interval/Point or plain tuples
    (xmin, xmax, text) / (time, mark))."""
    _write_file(path, format_textgrid(grid, short))


def find_tier(grid, kind, name=None):
    """The tier of that name (which must be of kind), else the first of kind."""
    wanted = "interval tier" if kind == "interval" else "point tier"
    for tier in grid.tiers:
        if name is None and tier.kind == kind:
            return tier
        if name is not None and tier.name == name:
            if tier.kind != kind:
                raise FormatError(tier.line, "tier '%s' is not the %s needed" % (name, wanted))
            return tier
    if name is None:
        raise FormatError(0, "the TextGrid holds no %s" % wanted)
    raise FormatError(0, "the TextGrid has no tier named '%s'" % name)


# ------------------------------------------------- PitchTier, PointProcess


def parse_pitchtier(text):
    reader = _Reader(text)
    reader.header("PitchTier")
    xmin = reader.number("the start time of the PitchTier")
    xmax = reader.number("the end time of the PitchTier")
    if xmax < xmin:
        raise FormatError(reader.value_line, "the PitchTier ends before it starts")
    points = []
    for i in range(reader.count("the point count")):
        where = "point %d" % (i + 1)
        time = reader.number("the time of " + where)
        at = reader.value_line
        hertz = reader.number("the frequency of " + where)
        if time < xmin or time > xmax:
            raise FormatError(at, where + " lies outside the tier")
        if points and time <= points[-1][0]:
            raise FormatError(at, where + " does not come after the point before")
        if not hertz > 0:
            raise FormatError(reader.value_line, where + ": the frequency must be above 0 Hz")
        points.append((time, hertz))
    reader.end()
    return PitchTier(xmin, xmax, points)


def read_pitchtier(path):
    return _parsing(path, parse_pitchtier)


def format_pitchtier(tier, short=False):
    out = _Writer(short, "PitchTier")
    out.number(0, "xmin", tier.xmin)
    out.number(0, "xmax", tier.xmax)
    out.count(0, "points: size", len(tier.points))
    for i, (time, hertz) in enumerate(tier.points):
        out.label(0, "points [%d]:" % (i + 1))
        out.number(1, "number", time)
        out.number(1, "value", hertz)
    return out.text()


def write_pitchtier(path, tier, short=False):
    _write_file(path, format_pitchtier(tier, short))


def _parse_point_process(text, with_lines):
    reader = _Reader(text)
    reader.header("PointProcess")
    xmin = reader.number("the start time of the PointProcess")
    xmax = reader.number("the end time of the PointProcess")
    if xmax < xmin:
        raise FormatError(reader.value_line, "the PointProcess ends before it starts")
    times, lines = [], []
    for i in range(reader.count("the point count")):
        where = "point %d" % (i + 1)
        time = reader.number("the time of " + where)
        if time < xmin or time > xmax:
            raise FormatError(reader.value_line, where + " lies outside xmin..xmax")
        if times and time <= times[-1]:
            raise FormatError(reader.value_line, where + " does not come after the point before")
        times.append(time)
        lines.append(reader.value_line)
    reader.end()
    return (PointProcess(xmin, xmax, times), lines) if with_lines else PointProcess(xmin, xmax, times)


def parse_point_process(text):
    return _parse_point_process(text, False)


def read_point_process(path):
    return _parsing(path, parse_point_process)


def format_point_process(points, short=False):
    out = _Writer(short, "PointProcess")
    out.number(0, "xmin", points.xmin)
    out.number(0, "xmax", points.xmax)
    out.count(0, "nt", len(points.times))
    for i, time in enumerate(points.times):
        out.number(0, "t [%d]" % (i + 1), time)
    return out.text()


def write_point_process(path, points, short=False):
    _write_file(path, format_point_process(points, short))


# ------------------------------------------------------ labels and tables


def _label_time(field, line, what):
    try:
        value = float(field.rstrip(" "))
    except ValueError:
        value = math.nan
    if not math.isfinite(value) or value < 0 or field.strip().lower() in ("inf", "nan"):
        raise FormatError(line, "expected the %s time in seconds, found '%s'" % (what, field))
    return value


def parse_labels(text):
    labels = []
    for number, line in enumerate(text.split("\n"), 1):
        line = line[:-1] if line.endswith("\r") else line
        if not line.strip(" \t") or line.startswith("\\"):
            continue  # blank, or a label's frequency range
        fields = line.split("\t", 2)
        if len(fields) < 2:
            raise FormatError(number, "expected 'start<TAB>end<TAB>label' (no tab on the line)")
        start = _label_time(fields[0], number, "start")
        end = _label_time(fields[1], number, "end")
        if end < start:
            raise FormatError(number, "the label ends before it starts")
        if labels and start < labels[-1].start:
            raise FormatError(number, "the label starts before the label above it (labels come in time order)")
        labels.append(Label(start, end, fields[2] if len(fields) > 2 else "", number))
    return labels


def read_labels(path):
    """An Audacity label track: a list of Label(start, end, text, line)."""
    return _parsing(path, parse_labels)


def format_labels(labels):
    lines = []
    for label in labels:
        text = label[2].replace("\t", " ").replace("\n", " ").replace("\r", " ")  # no quoting in the format
        lines.append("%s\t%s\t%s\n" % (exact_number(label[0]), exact_number(label[1]), text))
    return "".join(lines)


def write_labels(path, labels):
    _write_file(path, format_labels(labels))


_TABLE_COLUMNS = ["file", "index", "desc", "start", "end", "start_sample", "end_sample", "marks", "f0"]


def parse_element_table(text):
    """Rows of a CSV table as (desc, start, end, line, in_samples): sample
    columns when the table has them, else seconds."""
    rows = []
    stream = io.StringIO(text, newline="")
    try:
        table = list(csv.reader(stream, strict=True))
    except csv.Error as error:
        raise FormatError(0, "not a CSV table (%s)" % error) from None
    # Lines of each record, counting line breaks inside quoted fields.
    line, lines = 1, []
    for record in table:
        lines.append(line)
        line += 1 + sum(field.count("\n") for field in record)
    records = [(r, n) for r, n in zip(table, lines) if r]
    if not records:
        raise FormatError(0, "an empty table (expected a header line)")
    header = records[0][0]
    column = {name: i for i, name in reversed(list(enumerate(header)))}
    in_samples = "start_sample" in column and "end_sample" in column
    if "desc" not in column or not (in_samples or ("start" in column and "end" in column)):
        raise FormatError(1, "expected the columns desc and start_sample, end_sample (or start, end in seconds)")
    first, last = ("start_sample", "end_sample") if in_samples else ("start", "end")
    for record, number in records[1:]:
        if len(record) != len(header):
            raise FormatError(
                number, "expected %d fields as in the header, found %d" % (len(header), len(record))
            )
        if "file" in column and record[column["file"]] != records[1][0][column["file"]]:
            raise FormatError(number, "the table holds the elements of more than one file")
        values = []
        for name in (first, last):
            field = record[column[name]]
            try:
                values.append(float(field))
            except ValueError:
                raise FormatError(number, "expected a number in column '%s', found '%s'" % (name, field)) from None
            if not math.isfinite(values[-1]):
                raise FormatError(number, "expected a number in column '%s', found '%s'" % (name, field))
        rows.append((record[column["desc"]], values[0], values[1], number, in_samples))
    return rows


def read_element_table(path):
    return _parsing(path, parse_element_table)


# --------------------------------------------------------- samples, times


def sample_to_seconds(sample, rate):
    return float(sample) / rate


def seconds_to_sample(seconds, rate):
    """The nearest sample, halves away from zero (as the talvox tool rounds)."""
    value = seconds * rate
    if not abs(value) < 9e15:  # keeps absurd times finite
        return int(math.copysign(9e15, value))
    magnitude = abs(value)
    whole = math.floor(magnitude)
    rounded = whole + 1 if magnitude - whole >= 0.5 else whole
    return int(rounded) if value >= 0 else -int(rounded)


def elements_from_segments(segments, rate, length, empty_label=""):
    """Elements covering 0..length from (start, end, label, line) in
    seconds, by the rules of the module docstring; FormatError (at the
    segment's line) for a stretch under one sample, one that overlaps the one
    before or runs past the signal, a label longer than 103 bytes or with a
    line break, and more than 10000 elements (the count is named)."""
    if len(segments) > ELEMENT_CAPACITY:
        raise FormatError(
            0, "%d intervals; the element table holds at most %d" % (len(segments), ELEMENT_CAPACITY)
        )
    _check_label(empty_label, 0)
    elements, covered = [], 0
    for start_time, end_time, label, line in segments:
        start, end = seconds_to_sample(start_time, rate), seconds_to_sample(end_time, rate)
        _check_label(label, line)
        if "\n" in label or "\r" in label:
            raise FormatError(line, "a label with a line break; element descriptions are one line")
        if start < 0:
            raise FormatError(line, "the stretch starts before the signal (at %s s)" % exact_number(start_time))
        if end > length:
            raise FormatError(
                line,
                "the stretch ends at %s s, past the end of the signal (%s s)"
                % (exact_number(end_time), exact_number(sample_to_seconds(length, rate))),
            )
        if end <= start:
            raise FormatError(
                line,
                "the stretch %s to %s s is shorter than one sample at %d Hz"
                % (exact_number(start_time), exact_number(end_time), rate),
            )
        if start < covered:
            raise FormatError(
                line, "the stretch starts at %s s, before the one before it ends" % exact_number(start_time)
            )
        if start > covered:
            elements.append(Element(empty_label, covered, start))
        elements.append(Element(label or empty_label, start, end))
        covered = end
    if covered < length:
        elements.append(Element(empty_label, covered, length))
    if len(elements) > ELEMENT_CAPACITY:
        raise FormatError(
            0,
            "%d elements, counting the stretches no interval covers; the element table holds at most %d"
            % (len(elements), ELEMENT_CAPACITY),
        )
    return elements


def _check_label(label, line):
    size = len(label.encode("utf-8"))
    if size > _LONGEST_DESCRIPTION:
        raise FormatError(
            line, "a label of %d bytes; an element holds at most %d" % (size, _LONGEST_DESCRIPTION)
        )


def marks_from_times(times, rate, length):
    """Sample positions of (time, line) points inside the signal, ascending;
    positions two points round to are kept once."""
    marks = []
    for time, line in times:
        sample = seconds_to_sample(time, rate)
        if sample < 0 or sample >= length:
            raise FormatError(
                line,
                "the point at %s s lies outside the signal (0 to %s s)"
                % (exact_number(time), exact_number(sample_to_seconds(length, rate))),
            )
        if marks and sample < marks[-1]:
            raise FormatError(line, "the point at %s s comes before the point above it" % exact_number(time))
        if not marks or sample != marks[-1]:
            marks.append(sample)
    return np.array(marks, dtype=np.int32)


# ----------------------------------------------------------- the document


def _install(document, elements, peaks, periods):
    """Replaces elements, peaks and modified pitch at once. The library takes
    a whole annotation only from a peak file, so one is written and read."""
    document._require_open()
    table = (TvxElement * max(len(elements), 1))()
    for i, element in enumerate(elements):
        encoded = element[0].encode("utf-8")
        if len(encoded) > _LONGEST_DESCRIPTION or b"\0" in encoded:
            raise ValueError(
                "element %d: a description holds at most %d bytes without NUL" % (i, _LONGEST_DESCRIPTION)
            )
        table[i].desc = encoded
        table[i].start = int(element[1])
        table[i].end = int(element[2])
    peaks = np.ascontiguousarray(peaks, dtype=np.int32)
    pitch = np.zeros(max(len(peaks) - 1, 0), dtype=np.int32)
    held = min(len(pitch), len(periods))
    pitch[:held] = np.asarray(periods, dtype=np.int32)[:held]
    record = TvxDocument()
    record.elements = ctypes.cast(table, ctypes.POINTER(TvxElement))
    record.elementCount = len(elements)
    record.elementCapacity = max(len(elements), 1)
    record.peakCount = len(peaks)
    record.peakRate = document.rate
    if len(peaks):
        record.peaks = peaks.ctypes.data_as(ctypes.POINTER(i32))
    if len(pitch):
        record.modifiedPitch = pitch.ctypes.data_as(ctypes.POINTER(i32))
    folder = tempfile.mkdtemp(prefix="talvox-annotation-")
    try:
        path = os.fsencode(os.path.join(folder, "annotation.peaks"))
        if not raw._SavePeaks(path, ctypes.byref(record)):
            raise _checks.refused("_SavePeaks", "the annotation could not be written (disk full?)")
        if not raw.ReadPeaks(path):
            raise _checks.refused("ReadPeaks")
    finally:
        shutil.rmtree(folder, ignore_errors=True)


def _check_elements(document, elements):
    length = document.length
    if len(elements) > ELEMENT_CAPACITY:
        raise ValueError("%d elements; the element table holds at most %d" % (len(elements), ELEMENT_CAPACITY))
    for i, (_, start, end) in enumerate(elements):
        if not 0 <= start <= end <= length:
            raise ValueError("element %d (%d..%d) does not fit the signal of %d samples" % (i, start, end, length))


def set_elements(document, elements):
    """Replaces the element table by elements (Element or (description,
    start, end) in samples), keeping the marks and modified pitch; the
    document counts as segmented afterwards, so analyze() keeps them."""
    elements = [Element(str(e[0]), int(e[1]), int(e[2])) for e in elements]
    _check_elements(document, elements)
    _install(document, elements, document.peaks, document.modified_pitch)


def set_marks(document, marks):
    """Replaces the marks (ascending int32 samples inside the signal); the
    modified pitch becomes their distances, the elements stay."""
    marks = _checks.array(marks, np.int32, "marks")
    if marks.shape[0] and (marks.min() < 0 or marks.max() >= document.length):
        raise ValueError("marks must lie in 0..%d" % (document.length - 1))
    if np.any(np.diff(marks) <= 0):
        raise ValueError("marks must be strictly ascending")
    elements = document.elements
    if not elements:
        elements = [Element("", 0, document.length)]
    _install(document, elements, marks, np.diff(marks).astype(np.int32))


def _kind(text):
    head = text.lstrip(" \r\n")
    if head.startswith("File type") or head.startswith("ooBinaryFile"):
        return "object"  # the object readers name what is wrong with it
    first = text.lstrip(" \r\n").split("\n", 1)[0]
    return "csv" if "\t" not in first and "," in first else "labels"


def _segments(text, tier):
    kind = _kind(text)
    if kind == "object":
        chosen = find_tier(parse_textgrid(text), "interval", tier)
        return [(i.xmin, i.xmax, i.text, i.line) for i in chosen.items], False
    if kind == "csv":
        rows = parse_element_table(text)
        return [(row[1], row[2], row[0], row[3]) for row in rows], bool(rows) and rows[0][4]
    segments = []
    for label in parse_labels(text):
        if label.start == label.end:
            raise FormatError(label.line, "a point label (start = end) cannot be an element; load it as marks")
        segments.append((label.start, label.end, label.text, label.line))
    if not segments:
        raise FormatError(0, "no labels in the file")
    return segments, False


def load_elements(document, path, tier=None, empty_label=""):
    """The elements from a TextGrid interval tier (tier by name, default the
    first), a label track or a CSV table; marks and modified pitch stay.
    Returns the element count. FormatError names the file and line."""
    name = os.fsdecode(path)
    try:
        segments, in_samples = _segments(_read_text(path), tier)
        elements = elements_from_segments(segments, 1 if in_samples else document.rate, document.length, empty_label)
    except FormatError as error:
        raise error.at(name) from None
    _install(document, elements, document.peaks, document.modified_pitch)
    return len(elements)


def _points(text, tier):
    if _kind(text) == "object":
        if _object_class(text) != "TextGrid":  # the reader names any other class
            points, lines = _parse_point_process(text, True)
            return list(zip(points.times, lines))
        chosen = find_tier(parse_textgrid(text), "point", tier)
        return [(p.time, p.line) for p in chosen.items]
    return [(label.start, label.line) for label in parse_labels(text)]


def load_marks(document, path, snap="none", tier=None, channel=0):
    """The marks from a point-process text, a TextGrid point tier (tier by
    name, default the first) or a label track's start times, moved as snap
    asks: 'none', 'peak' (the library's GetClosedMaximumPeak) or
    'zerocross' (GetClosedZerocross) on the channel. The modified pitch
    becomes their distances; the elements stay. Returns the mark count."""
    if snap not in ("none", "peak", "zerocross"):
        raise ValueError("snap must be 'none', 'peak' or 'zerocross', not %r" % (snap,))
    channel = document._channel(channel)
    name = os.fsdecode(path)
    try:
        marks = marks_from_times(_points(_read_text(path), tier), document.rate, document.length)
    except FormatError as error:
        raise error.at(name) from None
    if snap != "none":
        move = raw.GetClosedMaximumPeak if snap == "peak" else raw.GetClosedZerocross
        moved = [move(int(mark), channel) for mark in marks]
        marks = np.unique(np.array([m if m >= 0 else int(o) for m, o in zip(moved, marks)], dtype=np.int32))
    set_marks(document, marks)
    return len(marks)


def _ascending_marks(document):
    """The files hold points in ascending time, each once; marks from the
    external program keep its order, which need not ascend."""
    return np.unique(document.peaks)


def textgrid_of(document):
    """The document as a TextGrid: interval tier 'elements' (stretches no
    element covers as empty intervals), point tier 'marks'."""
    rate, length = document.rate, document.length
    end = sample_to_seconds(length, rate)
    intervals, covered = [], 0
    for element in document.elements:
        start, stop = max(element.start, covered), min(element.end, length)
        if stop <= start:
            continue  # an empty element has no interval
        if start > covered:
            intervals.append(Interval(sample_to_seconds(covered, rate), sample_to_seconds(start, rate), "", 0))
        intervals.append(Interval(sample_to_seconds(start, rate), sample_to_seconds(stop, rate), element.description, 0))
        covered = stop
    if covered < length:
        intervals.append(Interval(sample_to_seconds(covered, rate), end, "", 0))
    points = [Point(sample_to_seconds(int(p), rate), "", 0) for p in _ascending_marks(document)]
    return TextGrid(0.0, end, [Tier("interval", "elements", 0.0, end, intervals, 0),
                               Tier("point", "marks", 0.0, end, points, 0)])


def save_textgrid(document, path, short=False):
    write_textgrid(path, textgrid_of(document), short)


def exported_f0(document, channel=0, floor=0, ceiling=0):
    """The F0 the PitchTier export holds: (time, hertz) of each voiced frame
    of the voice tracker's F0 track (Document.f0_track, frames every 5 ms),
    at the frame's centre, as ``talvox analyze --pitchtier`` writes it."""
    rate = document.rate
    hop = max(1, int(math.floor(rate * 0.005 + 0.5)))  # the tool's rounding, halves up
    track = document.f0_track(hop=hop, channel=channel, floor=floor, ceiling=ceiling)
    return [(i * hop / rate, float(f0)) for i, f0 in enumerate(track) if f0 > 0]


def save_pitchtier(document, path, short=False, channel=0, floor=0, ceiling=0):
    end = sample_to_seconds(document.length, document.rate)
    write_pitchtier(path, PitchTier(0.0, end, exported_f0(document, channel, floor, ceiling)), short)


def save_point_process(document, path, short=False):
    rate = document.rate
    times = [sample_to_seconds(int(p), rate) for p in _ascending_marks(document)]
    write_point_process(path, PointProcess(0.0, sample_to_seconds(document.length, rate), times), short)


def save_labels(document, path):
    rate = document.rate
    labels = [Label(sample_to_seconds(e.start, rate), sample_to_seconds(e.end, rate), e.description, 0)
              for e in document.elements if e.end > e.start]
    write_labels(path, labels)


def save_element_table(document, path, file_name=""):
    """The elements as CSV, the columns of ``talvox analyze --csv`` (marks
    per element; the median F0 column is left empty)."""
    rate, peaks = document.rate, document.peaks
    out = io.StringIO(newline="")
    writer = csv.writer(out, lineterminator="\n")
    writer.writerow(_TABLE_COLUMNS)
    for index, e in enumerate(document.elements):
        marks = int(np.count_nonzero((peaks >= e.start) & (peaks < e.end)))
        writer.writerow([file_name, index, e.description, exact_number(sample_to_seconds(e.start, rate)),
                         exact_number(sample_to_seconds(e.end, rate)), e.start, e.end, marks, ""])
    _write_file(path, out.getvalue())
