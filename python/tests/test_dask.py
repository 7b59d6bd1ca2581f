"""asciify.dask on a cluster of two worker processes, against the asciify command's -d and the
module's own reading, file by file."""

import gzip
import lzma
import math
import os
import shutil
import signal
import subprocess
import sys

import numpy
import pytest

import asciify
from conftest import COMMAND

# Debian's Dask starts its event loop in a way the loop library now warns about.
pytestmark = pytest.mark.filterwarnings("ignore:make_current is deprecated:DeprecationWarning")

# Seconds a test may take before it is stopped (the cluster starts in a few).
TEST_SECONDS = 180


@pytest.fixture(autouse=True)
def time_limit():
    """Fails a test that takes longer than TEST_SECONDS instead of letting it hang."""

    def stop(signum, frame):
        raise TimeoutError(f"the test took more than {TEST_SECONDS} s")

    previous = signal.signal(signal.SIGALRM, stop)
    signal.alarm(TEST_SECONDS)
    yield
    signal.alarm(0)
    signal.signal(signal.SIGALRM, previous)


@pytest.fixture(scope="module")
def dask_module():
    """asciify.dask, or a skip where Dask is not installed."""
    for name in ("dask", "distributed", "pandas"):
        pytest.importorskip(name)
    import asciify.dask

    return asciify.dask


@pytest.fixture(scope="module")
def client(dask_module):
    """A client of a local cluster of two single-threaded worker processes."""
    from distributed import Client, LocalCluster

    with LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                      dashboard_address=None) as cluster, Client(cluster) as client:
        yield client


def cut_example(samples, size):
    return samples["example"].read_bytes()[:size]


@pytest.fixture
def inputs(samples, tmp_path):
    """Files of every kind of name, a cut-short one in the middle and a missing one."""
    folder = tmp_path / "in"
    folder.mkdir()
    example = samples["example"].read_bytes()
    contents = {
        "a.dat": example,
        "B.BIN.GZ": gzip.compress(samples["packed-little"].read_bytes()),
        "c.tar.xz": lzma.compress(samples["big"].read_bytes()),
        "no-extension": samples["little"].read_bytes(),
        "cut.dat": cut_example(samples, 600),
        ".hidden": example,
        "d.e.zst": None,
    }
    paths = []
    for name, content in contents.items():
        path = folder / name
        if content is not None:
            path.write_bytes(content)
        elif shutil.which("zstd"):
            subprocess.run(["zstd", "-q", "-o", str(path), str(samples["packed-big"])],
                           check=True)
        else:
            continue
        paths.append(str(path))
    paths.insert(3, str(folder / "missing.dat"))
    return paths


def command_run(paths, out_dir):
    return subprocess.run([COMMAND, "-q", "-d", str(out_dir), *paths], capture_output=True,
                          text=True, check=False)


def test_convert_gives_the_files_and_statuses_of_the_command(dask_module, client, inputs,
                                                             tmp_path):
    report = dask_module.convert(inputs, tmp_path / "dask", client=client)
    assert command_run(inputs, tmp_path / "command").returncode == 2
    written = sorted(p.name for p in (tmp_path / "dask").iterdir())
    assert written == sorted(p.name for p in (tmp_path / "command").iterdir())
    assert list(report["file"]) == inputs
    for row in report.itertuples():
        # The command on the file alone, for its status and messages.
        alone = command_run([row.file], tmp_path / "alone")
        assert row.status == alone.returncode, row.file
        expected = tmp_path / "command" / os.path.basename(row.output)
        if row.status == 1:
            assert not expected.exists()
            assert row.file in row.message and row.lines == 0 and row.input_byte is None
            continue
        text = open(row.output, "rb").read()
        assert text == expected.read_bytes(), row.file
        assert row.lines == text.count(b"\n")
        if row.status == 0:
            assert (row.message, row.input_byte) == ("", None)
        else:
            assert row.message and row.message + "\n" in alone.stderr
            assert f"asciify: input byte {row.input_byte}: " in alone.stderr


def test_convert_expands_a_pattern_in_name_order(dask_module, client, inputs, tmp_path):
    report = dask_module.convert(str(tmp_path / "in" / "*.dat"), tmp_path / "out", client=client)
    assert list(report["file"]) == sorted(p for p in inputs if p.endswith(".dat")
                                          and not p.endswith("missing.dat"))
    assert list(report["status"]) == [0, 2]
    with pytest.raises(FileNotFoundError, match="no file matches"):
        dask_module.convert(str(tmp_path / "in" / "*.none"), tmp_path / "out", client=client)


@pytest.mark.parametrize("case", ["one output for two inputs", "an output that is an input"])
def test_convert_refuses_what_the_command_refuses_before_writing(dask_module, client, samples,
                                                                 tmp_path, case):
    first, second = tmp_path / "one", tmp_path / "two"
    for folder in (first, second):
        folder.mkdir()
    if case == "one output for two inputs":
        paths = [str(first / "run.dat"), str(second / "run.dat")]
        out_dir, error, said = tmp_path / "out", ValueError, "would both be converted into"
    else:
        paths = [str(first / "other.dat"), str(first / "run.txt")]
        out_dir, error, said = first, OSError, "are the same file"
    for path in paths:
        shutil.copy(samples["example"], path)
    before = {p: open(p, "rb").read() for p in paths}
    command = command_run(paths, out_dir)
    assert command.returncode == 1 and said in command.stderr
    with pytest.raises(error, match=said):
        dask_module.convert(paths, out_dir, client=client)
    assert {p: open(p, "rb").read() for p in paths} == before
    if case == "one output for two inputs":
        assert not out_dir.exists()
    else:
        assert sorted(os.listdir(out_dir)) == ["other.dat", "run.txt"]


def expected_rows(path):
    """The module's tables of a file, by layout, and its items by line number."""
    tables = {table.layout: table for table in asciify.read_tables(path)}
    items = {item.line_number: item for item in asciify.open(path).items()}
    return tables, items


def same_value(got, want):
    if isinstance(want, float) and math.isnan(want):
        return math.isnan(got)
    return got == want


@pytest.mark.parametrize("partition_rows", [120, None])
def test_read_tables_gives_the_modules_rows_file_by_file(dask_module, client, samples,
                                                         partition_rows):
    paths = [str(samples[name]) for name in ("packed-little", "example", "big")]
    options = {} if partition_rows is None else {"partition_rows": partition_rows}
    frames = dask_module.read_tables(paths, client=client, **options)
    computed = dict(zip(frames, client.compute(list(frames.values()), sync=True)))
    layouts = set()
    (numbers,) = [t.layout for t in asciify.read_tables(paths[0]) if t.rows == 2000]
    for path in paths:
        tables, items = expected_rows(path)
        layouts |= set(tables)
        for layout, table in tables.items():
            frame = computed[layout]
            rows = frame[frame["file"] == path]
            assert list(rows.columns) == ["file", "line"] + [
                f"f{n}" for n in range(1, len(table.columns) + 1)]
            assert len(rows) == table.rows
            for name, column in zip(rows.columns[2:], table.columns):
                if column.dtype.kind == "S":
                    assert rows[name].tolist() == column.tolist()
                else:
                    assert rows[name].dtype == column.dtype
                    numpy.testing.assert_array_equal(rows[name].to_numpy(), column)
            # Each row is the data record on its line of the text.
            for line, *values in rows.drop(columns="file").itertuples(index=False):
                item = items[line]
                assert item.kind == "data_record"
                assert all(same_value(v.decode() if isinstance(v, bytes) else v, w)
                           for v, w in zip(values, item.values)), (path, line)
    assert set(frames) == layouts
    if partition_rows is not None:
        sizes = frames[numbers].map_partitions(len).compute()
        assert len(sizes) > 2 and max(sizes) <= partition_rows


def test_read_tables_names_the_failing_file(dask_module, client, samples, tmp_path):
    cut = tmp_path / "cut.dat"
    cut.write_bytes(cut_example(samples, 600))
    with pytest.raises(asciify.FormatError) as module_error:
        asciify.read_tables(cut)
    paths = [str(samples["example"]), str(cut), str(samples["big"])]
    with pytest.raises(asciify.FormatError) as raised:
        dask_module.read_tables(paths, client=client)
    error, expected = raised.value, module_error.value
    assert (error.input_byte, error.line) == (expected.input_byte, expected.line)
    assert error.message == f"{cut}: input byte {expected.input_byte}: {expected.message}"
    with pytest.raises(FileNotFoundError):
        dask_module.read_tables([str(tmp_path / "missing.dat")], client=client)


def test_import_without_dask_says_what_to_install():
    blocked = ("import sys\nsys.modules['dask'] = None\nimport asciify\n"
               "try:\n    import asciify.dask\nexcept ImportError as error:\n"
               "    print(error)\n")
    said = subprocess.run([sys.executable, "-c", blocked], capture_output=True, text=True,
                          check=True).stdout
    for package in ("python3-dask", "python3-distributed", "python3-pandas"):
        assert package in said


def test_every_public_name_says_what_it_is(dask_module):
    assert dask_module.__doc__
    for name in dask_module.__all__:
        assert getattr(dask_module, name).__doc__ or name == "PARTITION_ROWS", name
