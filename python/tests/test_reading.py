"""The reader: its lines are the command's, its values the library's, whatever the source."""

import gzip
import io
import math
import pathlib
import subprocess

import numpy
import pytest

import asciify
from conftest import DUMP_VALUES, SAMPLE_NAMES, run_command


@pytest.mark.parametrize("name", SAMPLE_NAMES)
def test_lines_are_the_commands(samples, tmp_path, name):
    path = samples[name]
    with asciify.open(path) as reader:
        text = "".join(reader)
    assert text.encode() == run_command(path, tmp_path).text


def library_items(path):
    """The items as the library's reader gives them (dump_values), as Python values."""
    out = subprocess.run([DUMP_VALUES, str(path)], capture_output=True, check=True, text=True)
    items = []
    for line in out.stdout.splitlines():
        kind, number, byte, code, *fields = line.split(" ")
        values = []
        for field in fields:
            tag, value = field.split(":", 1)
            values.append(int(value) if tag == "i" else float.fromhex(value) if tag == "r"
                          else bytes.fromhex(value).decode("utf-8", "surrogateescape"))
        items.append((int(kind), int(number), int(byte), int(code), tuple(values)))
    return items


def same_values(a, b):
    return len(a) == len(b) and all(
        x == y or (isinstance(x, float) and math.isnan(x) and math.isnan(y)) for x, y in zip(a, b))


@pytest.mark.parametrize("name", SAMPLE_NAMES)
def test_items_carry_the_librarys_values(samples, name):
    kinds = {"ascii_line": 1, "text_record": 2, "data_record": 3}
    items = list(asciify.open(samples[name]).items())
    expected = library_items(samples[name])
    assert len(items) == len(expected)
    for item, (kind, number, byte, code, values) in zip(items, expected):
        assert (kinds[item.kind], item.line_number, item.input_byte, item.format_code) == (
            kind, number, byte, code)
        assert same_values(item.values or (), values), item


@pytest.mark.parametrize("name", SAMPLE_NAMES)
def test_batches_hold_the_items_values_in_runs(samples, name):
    records = [i for i in asciify.open(samples[name]).items() if i.kind == "data_record"]
    batches = list(asciify.open(samples[name]).batches(max_rows=7))
    assert sum(b.rows for b in batches) == len(records)
    row = 0
    for batch in batches:
        assert batch.rows <= 7
        assert batch.first_line == records[row].line_number
        assert batch.first_input_byte == records[row].input_byte
        for r in range(batch.rows):
            values = tuple(c[r].decode() if c.dtype.kind == "S" else c[r].item()
                           for c in batch.columns)
            assert same_values(values, records[row + r].values)
        row += batch.rows


def test_batches_give_typed_arrays_and_the_heading(samples):
    batch = next(asciify.open(samples["packed-big"]).batches())
    assert batch.heading == "*TABLE, NAME=part0"
    assert [c.dtype.kind for c in batch.columns] == ["i", "f", "i"]
    assert batch.columns[0][:3].tolist() == [3, 4, 5]
    assert all(c.flags.owndata or c.base is not None for c in batch.columns)


def test_tables_join_the_runs_of_each_layout(samples):
    tables = asciify.read_tables(samples["packed-little"])
    # The numbers, and the headings (records of one string each).
    (table,) = [t for t in tables if len(t.columns) == 3]
    assert sum(t.rows for t in tables) == 2000 + 40
    assert table.rows == 2000
    assert table.columns[0].tolist() == list(range(3, 2003))
    assert table.columns[1][:2].tolist() == [(3 % 997) * 0.25 - 100, (4 % 997) * 0.25 - 100]


class ReadOnly:
    """A file object that has read and nothing else."""

    def __init__(self, data):
        self._file = io.BytesIO(data)

    def read(self, size=-1):
        return self._file.read(size)


def sources(path, tmp_path):
    """The same file as every kind of source."""
    data = path.read_bytes()
    compressed = tmp_path / (path.name + ".gz")
    compressed.write_bytes(gzip.compress(data))
    return {
        "str": str(path), "path": pathlib.Path(path), "gzip file": str(compressed),
        "bytes": data, "bytearray": bytearray(data), "memoryview": memoryview(data),
        "numpy": numpy.frombuffer(data, dtype=numpy.uint8), "BytesIO": io.BytesIO(data),
        "open file": open(path, "rb"), "read only": ReadOnly(data),
    }


@pytest.mark.parametrize("name", ["example", "packed-big"])
def test_every_kind_of_source_reads_alike(samples, tmp_path, name):
    expected = list(asciify.open(samples[name]).items())
    for kind, src in sources(samples[name], tmp_path).items():
        assert list(asciify.open(src).items()) == expected, kind
    for kind, src in sources(samples[name], tmp_path).items():
        tables = asciify.read_tables(src)
        assert [t.rows for t in tables] == [t.rows for t in asciify.read_tables(samples[name])]


@pytest.mark.parametrize("src", [42, None, ["a"], io.StringIO("text"), memoryview(b"abcd")[::2]])
def test_other_sources_are_refused(src, tmp_path):
    with pytest.raises(TypeError):
        asciify.open(src)
    for function in (asciify.convert, asciify.pack):
        with pytest.raises(TypeError):
            function(src, tmp_path / "out")
        assert not (tmp_path / "out").exists()


def test_files_that_cannot_be_opened_raise_their_os_error(tmp_path):
    missing = tmp_path / "missing.dat"
    for name, error, number in [(missing, FileNotFoundError, 2), (tmp_path, IsADirectoryError, 21)]:
        with pytest.raises(error) as raised:
            asciify.open(name)
        assert raised.value.errno == number
        assert raised.value.filename == str(name)
        for function in (asciify.convert, asciify.pack):
            with pytest.raises(error) as raised:
                function(name, tmp_path / "out.txt")
            assert raised.value.filename == str(name)
            assert not (tmp_path / "out.txt").exists()


def test_an_error_of_the_file_object_is_raised_as_it_is(samples):
    class Failing(io.RawIOBase):
        def __init__(self):
            self.calls = 0

        def readinto(self, buffer):
            self.calls += 1
            if self.calls > 1:
                raise ConnectionError("the source went away")
            data = samples["example"].read_bytes()[: len(buffer)]
            buffer[: len(data)] = data
            return len(data)

    with pytest.raises(ConnectionError, match="the source went away"):
        list(asciify.open(Failing()))


def test_a_closed_reader_is_refused(samples):
    reader = asciify.open(samples["example"])
    reader.close()
    with pytest.raises(ValueError):
        next(iter(reader))
