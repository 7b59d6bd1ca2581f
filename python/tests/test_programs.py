"""convert and pack as the two programs, errors as the command gives them, progress, threads."""

import gzip
import hashlib
import io
import lzma
import shutil
import subprocess
import threading
import time

import numpy
import pytest

import asciify
from conftest import BINIFY, COMMAND, SAMPLE_NAMES, run_command, table_text
from test_reading import ReadOnly


def damaged_files(samples, folder):
    """The example cut short at several places, and with a record's format code spoiled."""
    data = samples["example"].read_bytes()
    files = {}
    for cut in (300, 600, 1000):
        files[f"cut at {cut}"] = data[:cut]
    spoiled = bytearray(data)
    spoiled[208] = 0xFE
    files["spoiled code"] = bytes(spoiled)
    paths = {}
    for name, content in files.items():
        paths[name] = folder / (name.replace(" ", "-") + ".dat")
        paths[name].write_bytes(content)
    return paths


def test_errors_carry_the_commands_message_and_input_byte(samples, tmp_path):
    for name, path in damaged_files(samples, tmp_path).items():
        command = run_command(path, tmp_path)
        lines = []
        with pytest.raises(asciify.FormatError) as raised:
            for line in asciify.open(path):
                lines.append(line)
        error = raised.value
        assert "".join(lines).encode() == command.text, name
        assert isinstance(error, ValueError)
        assert error.message + "\n" in command.stderr.decode(), name
        assert f"asciify: input byte {error.input_byte}: " in command.stderr.decode(), name
        assert error.line == len(lines) + 1


@pytest.mark.parametrize("name", SAMPLE_NAMES + ["damaged"])
def test_convert_writes_and_says_what_the_command_does(samples, tmp_path, capfd, name):
    path = samples.get(name) or damaged_files(samples, tmp_path)["cut at 600"]
    command = run_command(path, tmp_path)
    capfd.readouterr()
    output = tmp_path / "converted.txt"
    try:
        lines = asciify.convert(path, output)
        assert lines == command.text.count(b"\n")
        assert name != "damaged"
    except asciify.FormatError as error:
        assert name == "damaged"
        assert error.input_byte is not None
    said = capfd.readouterr()
    assert output.read_bytes() == command.text
    assert (said.out.encode(), said.err.encode()) == (command.stdout, command.stderr)
    quiet = io.BytesIO()
    if name != "damaged":
        asciify.convert(path.read_bytes(), quiet, quiet=True)
        assert quiet.getvalue() == command.text
        assert capfd.readouterr().out == ""


def test_convert_does_not_write_onto_its_input(samples, tmp_path):
    path = tmp_path / "same.dat"
    path.write_bytes(samples["example"].read_bytes())
    with pytest.raises(OSError, match="are the same file; nothing was written"):
        asciify.convert(path, str(path))
    assert path.read_bytes() == samples["example"].read_bytes()


@pytest.mark.parametrize("order", ["native", "little", "big"])
def test_pack_gives_a_file_that_converts_back(tmp_path, order):
    text = table_text(300, 11) + b"free words, not numbers\n" + b"caf\xe9 \xe9\n"
    packed = io.BytesIO()
    assert asciify.pack(io.BytesIO(text), packed, byte_order=order, quiet=True) == 303 + 7
    assert len(packed.getvalue()) < len(text)
    lines = list(asciify.open(packed.getvalue()))
    # Bytes that are no UTF-8 come as lone surrogates and give the bytes again.
    assert lines[-1] == "caf\udce9 \udce9\n"
    assert "".join(lines).encode("utf-8", "surrogateescape") == text


def zstd_compress(data):
    return subprocess.run(["zstd", "-q", "-c"], input=data, capture_output=True,
                          check=True).stdout


@pytest.mark.parametrize("compress", [gzip.compress, lzma.compress, zstd_compress])
def test_pack_reads_compressed_text_as_binify_does(tmp_path, compress):
    if compress is zstd_compress and shutil.which("zstd") is None:
        pytest.skip("needs the zstd command")
    text = table_text(100, 5)
    source = tmp_path / "text.z"
    source.write_bytes(compress(text))
    asciify.pack(source, tmp_path / "packed.dat", quiet=True)
    binify = subprocess.run([BINIFY, str(source), str(tmp_path / "binify.dat")], check=True,
                            capture_output=True)
    assert binify.returncode == 0
    assert (tmp_path / "packed.dat").read_bytes() == (tmp_path / "binify.dat").read_bytes()
    # Cut short, it is refused with binify's reason, and nothing is written.
    source.write_bytes(compress(text)[:-9])
    binify = subprocess.run([BINIFY, str(source), str(tmp_path / "cut.dat")], check=False,
                            capture_output=True)
    with pytest.raises(OSError) as raised:
        asciify.pack(source, tmp_path / "cut.dat", quiet=True)
    assert binify.returncode != 0
    assert f"binify: {source}: {raised.value.strerror}\n" in binify.stderr.decode()
    assert raised.value.filename == str(source) and not (tmp_path / "cut.dat").exists()


def test_pack_refuses_what_binify_refuses_and_writes_nothing(tmp_path, capfd):
    source = tmp_path / "refused.txt"
    source.write_bytes(b"a line\n*END_BINARY\0 more\n")
    out = tmp_path / "out.dat"
    binify = subprocess.run([BINIFY, str(source), str(out)], capture_output=True, check=False)
    assert binify.returncode == 2 and not out.exists()
    with pytest.raises(asciify.FormatError) as raised:
        asciify.pack(source, out)
    assert raised.value.message + "\n" in binify.stderr.decode()
    assert raised.value.line == 2
    assert not out.exists() and list(tmp_path.iterdir()) == [source]
    with pytest.raises(ValueError):
        asciify.pack(b"1 2\n", io.BytesIO(), byte_order="middle")


@pytest.fixture(scope="session")
def large_files(tmp_path_factory):
    """Two generated files of a few megabytes, with different numbers."""
    folder = tmp_path_factory.mktemp("large")
    paths = []
    for seed in (1, 2):
        paths.append(folder / f"large-{seed}.dat")
        asciify.pack(table_text(600_000, seed, 10_000), str(paths[-1]), quiet=True)
    return paths


def test_progress_only_grows_and_ends_at_the_file_size(large_files, tmp_path):
    told = []
    asciify.convert(large_files[0], tmp_path / "out.txt", quiet=True,
                    progress=lambda done, total: told.append((done, total)))
    size = large_files[0].stat().st_size
    assert len(told) > 1
    assert [done for done, _ in told] == sorted(done for done, _ in told)
    assert told[-1] == (size, size)
    with asciify.open(large_files[0]) as reader:
        assert reader.progress[1] == size
        for _ in reader.batches():
            pass
        assert reader.progress == (size, size)


class ShortReads(io.RawIOBase):
    """A raw file that gives at most a few thousand bytes a read, each read a different count."""

    def __init__(self, data):
        self._file = io.BytesIO(data)
        self._reads = 0

    def readable(self):
        return True

    def readinto(self, buffer):
        self._reads += 1
        return self._file.readinto(memoryview(buffer)[: 1000 + 4099 * (self._reads % 3)])


def test_convert_and_pack_read_every_kind_of_file_object_alike(large_files, tmp_path):
    path = large_files[0]
    asciify.convert(path, tmp_path / "text", quiet=True)
    asciify.pack(tmp_path / "text", tmp_path / "packed", quiet=True)
    kinds = {"BytesIO": io.BytesIO, "short reads": ShortReads, "read only": ReadOnly}
    for function, src in ((asciify.convert, path), (asciify.pack, tmp_path / "text")):
        expected = (tmp_path / ("text" if function is asciify.convert else "packed")).read_bytes()
        assert len(src.read_bytes()) > 3 << 20  # several pieces
        for kind, make in kinds.items():
            out = io.BytesIO()
            function(make(src.read_bytes()), out, quiet=True)
            assert out.getvalue() == expected, (function.__name__, kind)


def best_time(run, times=5):
    best = None
    for _ in range(times):
        start = time.perf_counter()
        run()
        took = time.perf_counter() - start
        best = took if best is None else min(best, took)
    return best


def side_by_side(runs):
    threads = [threading.Thread(target=run) for run in runs]
    for t in threads:
        t.start()
    for t in threads:
        t.join()


def test_two_threads_read_two_files_side_by_side(large_files):
    # What the machine offers now: hashing, which runs without the interpreter lock too, in
    # two threads against one.
    data = bytes(range(256)) * 400_000
    hashing = [lambda: hashlib.sha256(data).digest()] * 2

    def machine():
        return best_time(lambda: side_by_side(hashing)) / best_time(hashing[0])

    before = machine()
    readings = [lambda p=p: asciify.read_tables(p) for p in large_files]
    one = best_time(readings[0])
    two = best_time(lambda: side_by_side(readings))
    after = machine()
    if max(before, after) > 1.3:
        pytest.skip(f"no second core free: two threads of hashing took {before:.2f} and "
                    f"{after:.2f} times one")
    # Twice one thread's time if they took turns; well below it when they run side by side.
    assert two < 1.8 * one, (one, two, before, after)


def test_the_version_is_the_commands():
    shown = subprocess.run([COMMAND, "--version"], capture_output=True, check=True, text=True)
    assert shown.stdout == f"asciify {asciify.__version__}\n"


def test_every_public_name_says_what_it_is():
    for name in asciify.__all__:
        if name != "__version__":
            assert getattr(asciify, name).__doc__, name
    for method in ("lines", "items", "batches", "close", "progress"):
        assert getattr(asciify.Reader, method).__doc__, method


@pytest.mark.parametrize("max_rows", [1000, 65536])
def test_tables_of_a_large_file_are_its_batches_joined(large_files, max_rows):
    # Columns of megabytes, grown many times over, hold every row of the batches in order.
    joined = {}
    with asciify.open(large_files[0]) as reader:
        for batch in reader.batches(max_rows):
            joined.setdefault(batch.layout, []).append(batch.columns)
    tables = asciify.read_tables(large_files[0], max_rows)
    assert [t.layout for t in tables] == list(joined)
    assert max(c.nbytes for t in tables for c in t.columns) > 2 << 20
    for table in tables:
        for index, column in enumerate(table.columns):
            parts = [columns[index] for columns in joined[table.layout]]
            expected = numpy.concatenate(parts) if column.dtype.kind != "S" else [
                value for part in parts for value in part.tolist()]
            if column.dtype.kind == "S":
                assert column.tolist() == expected
            else:
                assert column.tobytes() == expected.tobytes()
