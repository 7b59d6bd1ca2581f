"""Many files converted or read on a Dask cluster, one task per file, by the workers.

    from dask.distributed import Client, LocalCluster
    import asciify.dask

    with LocalCluster(n_workers=2, threads_per_worker=1) as cluster, Client(cluster) as client:
        report = asciify.dask.convert("runs/*.dat", "texts", client=client)
        tables = asciify.dask.read_tables("runs/*.dat", client=client)

The workers open the files themselves (the glob pattern too is expanded on a worker): the
inputs and the output folder must be on storage that every worker sees by the same names, a
shared file system. ``client`` is a ``dask.distributed.Client``; None runs on Dask's default
scheduler (the last Client made, else threads of this process).
"""

from __future__ import annotations

try:
    import dask
    import dask.dataframe
    import distributed  # noqa: F401 - the scheduler the functions are meant for
    import pandas
except ImportError as error:
    raise ImportError(
        "asciify.dask needs Dask, its distributed scheduler and pandas: install the Debian "
        "packages python3-dask, python3-distributed and python3-pandas "
        f"({error})") from error

import builtins
import glob
import os

import numpy

import asciify

__all__ = ["PARTITION_ROWS", "convert", "read_tables"]

PARTITION_ROWS = 1 << 20
"""Rows at most in a partition of read_tables, unless one run of records alone is longer."""

# Rows in a run of records as read_tables reads them (the module's batches' default).
_BATCH_ROWS = 65536

_COMPRESSION_SUFFIXES = (".gz", ".xz", ".zst")


class _WorkerFormatError(asciify.FormatError):
    """A FormatError raised on a worker, which travels to the client by pickle as the
    FormatError it is (pickle would remake a FormatError from its message alone)."""

    def __reduce__(self):
        return asciify.FormatError, (self.message, self.input_byte, self.line)


def _run(client, tasks: list) -> list:
    """The results of the delayed ``tasks``, computed on ``client`` (the default scheduler
    when None)."""
    if not tasks:
        return []
    if client is None:
        return list(dask.compute(*tasks))
    return client.gather(client.compute(tasks))


def _expand(paths) -> list[str]:
    """The files that ``paths`` names: a list as it is, a glob pattern's matches sorted."""
    if isinstance(paths, (str, os.PathLike)):
        pattern = os.fsdecode(os.fspath(paths))
        found = sorted(glob.glob(pattern))
        if not found:
            raise FileNotFoundError(f"{pattern}: no file matches")
        return found
    if isinstance(paths, (bytes, bytearray)):
        raise TypeError("paths must be a list of paths or a glob pattern, not bytes")
    return [os.fsdecode(os.fspath(path)) for path in paths]


def _text_file_name(path: str) -> str:
    """The name of a file's text: its name without a compression suffix (in any case), then
    without its last extension, and with ".txt"."""
    name = os.path.basename(path)
    for suffix in _COMPRESSION_SUFFIXES:
        if len(name) > len(suffix) and name.lower().endswith(suffix):
            name = name[: -len(suffix)]
            break
    dot = name.rfind(".")
    if dot > 0:
        name = name[:dot]
    return name + ".txt"


def _plan_conversions(paths, out_dir: str) -> tuple[list[str], list[str]]:
    """The inputs and their outputs in ``out_dir``, after the refusals of ``asciify -d``; makes
    ``out_dir``. Runs on a worker, which sees the files."""
    inputs = _expand(paths)
    outputs = [os.path.join(out_dir, _text_file_name(path)) for path in inputs]
    first_input_of: dict[str, str] = {}
    for path, output in zip(inputs, outputs):
        if output in first_input_of:
            raise ValueError(f"{first_input_of[output]} and {path} would both be converted into "
                             f"{output}; nothing was written.")
        first_input_of[output] = path
    existing = [output for output in outputs if os.path.exists(output)]
    for path in inputs:
        for output in existing:
            if os.path.exists(path) and os.path.samefile(path, output):
                raise OSError(f"{path} and {output} are the same file; nothing was written.")
    os.makedirs(out_dir, exist_ok=True)
    return inputs, outputs


def _convert_file(src: str, dst: str) -> tuple[int, int, str, int | None]:
    """Converts one file as ``asciify -d`` does: its exit status, the lines written, the
    message ("" when none) and the input byte of the failure (None when none)."""
    try:
        return 0, asciify.convert(src, dst, quiet=True), "", None
    except asciify.FormatError as error:
        return 2, error.line - 1, error.message, error.input_byte
    except OSError as error:
        # Opening either file is the command's status 1; a failure while converting, 2.
        opening = error.filename is not None and error.filename in (src, dst)
        written = 0
        if not opening and os.path.exists(dst):
            with builtins.open(dst, "rb") as text:
                blocks = iter(lambda: text.read(1 << 20), b"")
                written = sum(block.count(b"\n") for block in blocks)
        return (1 if opening else 2), written, str(error), None
    except Exception as error:  # noqa: BLE001 - a failing file does not stop the others
        return 2, 0, f"{type(error).__name__}: {error}", None


def convert(paths, out_dir, *, client=None) -> pandas.DataFrame:
    """Converts each file of ``paths`` (a list of paths or a glob pattern) into
    ``out_dir``/NAME.txt as ``asciify -d out_dir`` does, one task per file on ``client``.

    NAME is the file name without its last extension, after .gz, .xz or .zst (in any case) is
    taken off; ``out_dir`` is made when missing. Two inputs giving one output raise ValueError,
    an output that is one of the inputs OSError, before anything is written. A failing file
    does not stop the others: the result, a row per file in the order given, has the columns
    ``file``, ``output``, ``status`` (0 converted, 1 could not be opened, 2 the conversion
    failed: the lines before the failure are written), ``lines`` (written), ``message`` (the
    command's, "" when none) and ``input_byte`` (where the failure begins, None when none).
    """
    out_dir = os.fsdecode(os.fspath(out_dir))
    plan = dask.delayed(_plan_conversions, pure=False)(paths, out_dir)
    ((inputs, outputs),) = _run(client, [plan])
    convert_file = dask.delayed(_convert_file, pure=False)
    results = _run(client, [convert_file(src, dst) for src, dst in zip(inputs, outputs)])
    return pandas.DataFrame({
        "file": pandas.Series(inputs, dtype=object),
        "output": pandas.Series(outputs, dtype=object),
        "status": pandas.Series([r[0] for r in results], dtype="int64"),
        "lines": pandas.Series([r[1] for r in results], dtype="int64"),
        "message": pandas.Series([r[2] for r in results], dtype=object),
        "input_byte": pandas.Series([r[3] for r in results], dtype=object),
    })


def _format_error_of(path: str, error: asciify.FormatError) -> _WorkerFormatError:
    """The error with the file's name, and its input byte, put before its message."""
    where = f"{path}: " if error.input_byte is None else f"{path}: input byte {error.input_byte}: "
    return _WorkerFormatError(where + error.message, error.input_byte, error.line)


def _scan_file(path: str) -> list[tuple[bytes, int, list[str]]]:
    """Each run of the file's records: its layout, its rows and its fields' numpy types."""
    runs = []
    try:
        with asciify.open(path) as reader:
            for batch in reader.batches(_BATCH_ROWS):
                runs.append((batch.layout, batch.rows, [c.dtype.str for c in batch.columns]))
    except asciify.FormatError as error:
        raise _format_error_of(path, error) from None
    return runs


def _chunks(runs, limit: int) -> list[tuple[int, int]]:
    """The file's runs cut into consecutive ranges [first, end) of at most ``limit`` rows (or
    of one longer run)."""
    chunks = []
    first, rows = 0, 0
    for index, (_, run_rows, _) in enumerate(runs):
        if index > first and rows + run_rows > limit:
            chunks.append((first, index))
            first, rows = index, 0
        rows += run_rows
    if runs:
        chunks.append((first, len(runs)))
    return chunks


def _frame(path: str, batches: list) -> pandas.DataFrame:
    """The rows of runs of one layout as a partition: file, line, then the fields."""
    lines = numpy.concatenate([numpy.arange(b.first_line, b.first_line + b.rows, dtype="int64")
                               for b in batches])
    columns = {"file": pandas.Series(numpy.full(len(lines), path, dtype=object), dtype=object),
               "line": lines}
    for index in range(len(batches[0].columns)):
        values = numpy.concatenate([b.columns[index] for b in batches])
        columns[f"f{index + 1}"] = values.astype(object) if values.dtype.kind == "S" else values
    return pandas.DataFrame(columns)


def _read_chunk(path: str, first: int, end: int) -> dict:
    """Runs ``first`` to ``end`` of the file: a partition per layout found there."""
    found: dict[bytes, list] = {}
    try:
        with asciify.open(path) as reader:
            for index, batch in enumerate(reader.batches(_BATCH_ROWS)):
                if index >= end:
                    break
                if index >= first:
                    found.setdefault(batch.layout, []).append(batch)
    except asciify.FormatError as error:
        raise _format_error_of(path, error) from None
    return {layout: _frame(path, batches) for layout, batches in found.items()}


def _meta(types: list[str]) -> pandas.DataFrame:
    """An empty partition of a layout whose fields have the numpy ``types``."""
    columns = {"file": pandas.Series([], dtype=object), "line": pandas.Series([], dtype="int64")}
    for index, type_ in enumerate(types, 1):
        kind = numpy.dtype(type_).kind
        columns[f"f{index}"] = pandas.Series([], dtype=object if kind == "S" else type_)
    return pandas.DataFrame(columns)


def _take(parts: dict, layout: bytes) -> pandas.DataFrame:
    """The partition of one layout among a range's."""
    return parts[layout]


def read_tables(paths, *, client=None,
                partition_rows: int = PARTITION_ROWS) -> dict[bytes, dask.dataframe.DataFrame]:
    """The records of each layout in the files of ``paths`` (a list of paths or a glob
    pattern): a dict from the layout (as Batch.layout names it) to a lazy
    ``dask.dataframe.DataFrame`` with the columns ``file``, ``line`` (in that file's text) and
    ``f1`` ... ``fN``, one per field, of its numpy type (strings: bytes objects).

    The files are first read through on ``client`` for their layouts; the partitions (a file,
    or a run of at most ``partition_rows`` of its rows) are read by the workers when computed,
    each range of a file once for all its layouts. A file that cannot be read raises its
    FormatError, its message beginning with the file's name and input byte; one that cannot be
    opened, its OSError.
    """
    if partition_rows < 1:
        raise ValueError("partition_rows must be at least 1")
    (files,) = _run(client, [dask.delayed(_expand, pure=False)(paths)])
    scans = _run(client, [dask.delayed(_scan_file, pure=False)(path) for path in files])
    types: dict[bytes, list[str]] = {}
    for runs in scans:
        for layout, _, run_types in runs:
            # Only a string field's width may differ between runs, and strings are objects.
            types.setdefault(layout, run_types)
    metas = {layout: _meta(layout_types) for layout, layout_types in types.items()}
    parts: dict[bytes, list] = {layout: [] for layout in metas}
    for path, runs in zip(files, scans):
        for first, end in _chunks(runs, partition_rows):
            chunk = dask.delayed(_read_chunk, pure=True)(path, first, end)
            for layout in {runs[index][0] for index in range(first, end)}:
                parts[layout].append(dask.delayed(_take, pure=True)(chunk, layout))
    return {layout: dask.dataframe.from_delayed(parts[layout], meta=metas[layout],
                                                verify_meta=False)
            for layout in metas}
