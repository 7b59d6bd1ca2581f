"""Read files with binary-encoded stretches of lines: their text, and their numbers as numpy arrays.

    with asciify.open("run.dat") as reader:
        for batch in reader.batches():
            print(batch.heading, batch.columns[1].mean())

``src`` everywhere may be a file name (``str`` or ``os.PathLike``; a gzip, xz or zstd file is
decompressed as the ``asciify`` command does), a bytes-like object holding the file, or a binary
file object. The decoding runs without the global interpreter lock.
"""

from __future__ import annotations

import builtins
import contextlib
import io
import os
import sys
from typing import NamedTuple

from . import _asciify

__version__ = _asciify.version
__all__ = ["Batch", "FormatError", "Item", "Reader", "Table", "__version__", "convert", "open",
           "pack", "read_tables"]

# Bytes read from a source at a time by convert and pack.
_PIECE = 1 << 20


class FormatError(ValueError):
    """The file is not one the converter can read to its end (or a text no file can carry).

    ``message`` is the text the command prints, ``input_byte`` where the failing marker, header
    or record begins in the (decompressed) input (None when the content was not the cause) and
    ``line`` the number of the line being made.
    """

    def __init__(self, message: str, input_byte: int | None, line: int) -> None:
        super().__init__(message)
        self.message = message
        self.input_byte = input_byte
        self.line = line


class Item(NamedTuple):
    """One line of the text with what it came from.

    ``kind`` is "ascii_line", "text_record" or "data_record"; ``format_code`` is -1 for an ASCII
    line; ``values`` holds a data record's fields (int, float, str), None for other lines.
    """

    kind: str
    text: str
    line_number: int
    input_byte: int
    format_code: int
    values: tuple | None


class Batch(NamedTuple):
    """Consecutive data records of one layout: one numpy array per field.

    ``layout`` holds the field format bytes; arrays are int32, int64, float32, float64 or byte
    strings (numpy "S"); ``heading`` is the last text line before the run, without its newline.
    """

    layout: bytes
    rows: int
    columns: list
    first_line: int
    first_input_byte: int
    heading: str


class Table(NamedTuple):
    """Every record of one layout in a file, its runs one after the other: one array per field."""

    layout: bytes
    rows: int
    columns: list


_KINDS = {1: "ascii_line", 2: "text_record", 3: "data_record"}


def _is_path(src) -> bool:
    return isinstance(src, (str, os.PathLike))


def _open_native(src):
    """The library's reader of ``src``, by its kind."""
    if _is_path(src):
        return _asciify.Reader.open_file(os.fsdecode(os.fspath(src)))
    if isinstance(src, io.TextIOBase):
        raise TypeError("src must be opened in binary mode, not text mode")
    try:
        view = memoryview(src)
    except TypeError:
        view = None
    if view is not None:
        # A view of bytes one after the other (cast refuses any other, with a TypeError).
        return _asciify.Reader.open_memory(view.cast("B"))
    readinto = getattr(src, "readinto", None)
    if readinto is None and hasattr(src, "read"):
        readinto = _readinto_of(src.read)
    if readinto is None:
        raise TypeError("src must be a file name, a bytes-like object or a binary file object, "
                        f"not {type(src).__name__}")
    return _asciify.Reader.open_stream(readinto)


def _readinto_of(read):
    """A readinto for a file object that only has read."""

    def readinto(buffer):
        data = read(len(buffer))
        if not isinstance(data, (bytes, bytearray)):
            raise TypeError(f"read() gave {type(data).__name__}, not bytes")
        buffer[: len(data)] = data
        return len(data)

    return readinto


class Reader:
    """A reader of the converter's lines, items and runs of values (see asciify.open).

    A context manager; iterating it gives the text lines. A reader is read by one thread at a
    time; the end of the reading at an error raises FormatError after the lines before it.
    """

    def __init__(self, src) -> None:
        self._native = _open_native(src)

    def __enter__(self) -> Reader:
        return self

    def __exit__(self, *exc) -> None:
        self.close()

    def close(self) -> None:
        """Releases the reader and what it reads; closing twice does nothing."""
        self._native.close()

    def __iter__(self):
        return self.lines()

    def lines(self):
        """The text lines as ``str``, each exactly as the command writes it, with its newline."""
        native = self._native
        while block := native.next_lines():
            yield from block
        self._raise_error()

    def items(self):
        """Each line as an Item: its kind, text, line number, input byte, format code, values."""
        native = self._native
        while (item := native.next_item()) is not None:
            kind, text, line, byte, code, values = item
            yield Item(_KINDS[kind], text, line, byte, code, values)
        self._raise_error()

    def batches(self, max_rows: int = 65536):
        """Runs of data records of one layout, at most ``max_rows`` each, as Batch objects."""
        native = self._native
        while (batch := native.next_batch(max_rows)) is not None:
            yield Batch(*batch)
        self._raise_error()

    def _tables(self, max_rows: int) -> list[Table]:
        tables = [Table(*table) for table in self._native.tables(max_rows)]
        self._raise_error()
        return tables

    @property
    def progress(self) -> tuple[int, int | None]:
        """Bytes of the file read so far (compressed ones for a compressed file), and its size
        (None when not known)."""
        return self._native.progress()

    def _raise_error(self) -> None:
        stream_error = self._native.stream_error()
        if stream_error is not None:
            raise stream_error
        error = self._native.error()
        if error is not None:
            message, byte, line = error
            raise FormatError(message, byte if byte >= 0 else None, line)


def open(src) -> Reader:  # noqa: A001 - the module's name for it, as builtins.open for files
    """Opens ``src`` (a file name, bytes-like object or binary file object) for reading.

    A file that cannot be opened raises the OSError subclass of its errno, with its name; any
    other kind of ``src`` raises TypeError.
    """
    return Reader(src)


def read_tables(src, max_rows: int = 65536) -> list[Table]:
    """Every run of each layout in ``src``, concatenated: one Table per layout, in the order in
    which the layouts first appear. The numbers' arrays own the memory the reading filled."""
    with Reader(src) as reader:
        return reader._tables(max_rows)


def _check_source(src) -> None:
    if _is_path(src):
        return
    try:
        memoryview(src)
        return
    except TypeError:
        pass
    if not hasattr(src, "read") or isinstance(src, io.TextIOBase):
        raise TypeError("src must be a file name, a bytes-like object or a binary file object, "
                        f"not {type(src).__name__}")


def _check_destination(dst) -> None:
    if not _is_path(dst) and (not hasattr(dst, "write") or isinstance(dst, io.TextIOBase)):
        raise TypeError("dst must be a file name or a binary file object, "
                        f"not {type(dst).__name__}")


@contextlib.contextmanager
def _opened(src):
    """``src`` opened for reading (a named file before anything else is opened): yields a file
    object or a memoryview, and the size when known."""
    _check_source(src)
    if _is_path(src):
        with builtins.open(src, "rb") as file:
            yield file, os.fstat(file.fileno()).st_size
        return
    try:
        view = memoryview(src)
    except TypeError:
        yield src, None
        return
    view = view.cast("B")  # bytes one after the other, else a TypeError
    yield view, len(view)


def _text_source(src):
    """``src`` opened as binify reads it: a named file by the library's input (decompressed when
    it is a gzip, xz or zstd file), any other source as _opened gives it; yields it and its size
    when known."""
    if _is_path(src):
        return contextlib.nullcontext((_asciify.Decompressed(os.fsdecode(os.fspath(src))), None))
    return _opened(src)


def _pieces(source, size, progress):
    """The bytes of an opened source piece by piece, telling ``progress`` how far it is."""
    done = 0
    if isinstance(source, memoryview):
        for begin in range(0, len(source), _PIECE):
            done = min(begin + _PIECE, len(source))
            yield source[begin:done]
            if progress is not None:
                progress(done, size)
        return
    # One buffer read into again and again: a fresh object of a megabyte per piece costs a
    # mapping and its page faults each time where the allocator hands large blocks back early
    # (as on the workers of a Dask cluster). Each piece is taken whole before the next read.
    read_into = getattr(source, "readinto", None)
    buffer = memoryview(bytearray(_PIECE)) if read_into is not None else None
    while True:
        if buffer is None:
            piece = source.read(_PIECE)
        else:
            count = read_into(buffer)
            piece = buffer[:count] if count else None
        if not piece:
            return
        done += len(piece)
        yield piece
        if progress is not None:
            progress(done, size)


def _name_of(src, default: str) -> str:
    return os.fsdecode(os.fspath(src)) if _is_path(src) else default


def _refuse_same_file(program: str, src, dst) -> None:
    """Refuses to write onto the input itself, which opening the output would empty."""
    if _is_path(src) and _is_path(dst) and os.path.exists(dst) and os.path.samefile(src, dst):
        message = (f"{program}: {_name_of(src, '')} and {_name_of(dst, '')} are the same file; "
                   "nothing was written.")
        raise OSError(message)


def _print_messages(messages) -> None:
    for is_error, text in messages:
        (sys.stderr if is_error else sys.stdout).write(text)


def convert(src, dst, *, quiet: bool = False, progress=None) -> int:
    """Converts ``src`` into its text, written to ``dst`` (a file name or binary file object),
    as the asciify command does; returns the number of lines written.

    Messages are printed as the command prints them (notes on sys.stdout unless ``quiet``,
    warnings and errors on sys.stderr). A conversion that fails raises FormatError (the lines
    before the error are written). ``progress(bytes_read, total)`` is told how far the reading
    is; ``total`` is None when unknown.
    """
    _check_destination(dst)
    _refuse_same_file("asciify", src, dst)
    with _opened(src) as (source, size):
        names = (_name_of(src, "input"), _name_of(dst, "output"))
        pieces = _pieces(source, size, progress)
        if not _is_path(dst):
            return _convert_into(pieces, names, dst.write, quiet)
        with builtins.open(dst, "wb") as file:
            return _convert_into(pieces, names, file.write, quiet)


def _convert_into(pieces, names, write, quiet: bool) -> int:
    converter = _asciify.Converter(names[0], names[1], quiet, write)
    read_error = None
    try:
        for piece in pieces:
            fed = converter.feed(piece)
            _print_messages(converter.take_messages())
            if not fed:
                break
    except OSError as error:
        read_error = error
    converter.finish(read_error.strerror or str(read_error) if read_error else None)
    _print_messages(converter.take_messages())
    for error in (converter.write_error(), read_error):
        if error is not None:
            raise error
    lines, message, byte = converter.report()
    if message:
        raise FormatError(message, byte if byte >= 0 else None, lines + 1)
    return lines


def pack(src, dst, *, byte_order: str = "native", quiet: bool = False) -> int:
    """Packs the text ``src`` into ``dst``, a file that convert turns back into exactly that
    text, as the binify command does; returns the number of lines packed.

    ``byte_order`` is "native", "little" or "big". A text with a line no file can carry raises
    FormatError; a named ``dst`` is then not written (it is written beside and put in place).
    """
    _check_destination(dst)
    _refuse_same_file("binify", src, dst)
    with _text_source(src) as (source, size):
        if not _is_path(dst):
            return _pack_into(_pieces(source, size, None), dst.write, byte_order, quiet)
        target = os.fspath(dst)
        part = target + (b".part" if isinstance(target, bytes) else ".part")
        try:
            with builtins.open(part, "wb") as file:
                lines = _pack_into(_pieces(source, size, None), file.write, byte_order, quiet)
            os.replace(part, target)
        finally:
            if os.path.exists(part):
                os.remove(part)
        return lines


def _pack_into(pieces, write, byte_order: str, quiet: bool) -> int:
    packer = _asciify.Packer(byte_order, write)
    for piece in pieces:
        if not packer.feed(piece):
            break
    packed = packer.finish()
    if packer.write_error() is not None:
        raise packer.write_error()
    report = packer.report()
    if report["refused_line"]:
        message = (f"Line {report['refused_line']} begins with the marker "
                   f"{report['refused_marker']} and {report['refused_because']}: no packed file "
                   "can carry it.")
        raise FormatError(message, None, report["refused_line"])
    if not packed:
        raise OSError("Failed to write output file.")
    if not quiet:
        _print_extension_note(report)
        print(f"Finished packing file, {report['lines_in']} lines in, {report['bytes_out']} "
              "bytes out.")
    return report["lines_in"]


def _print_extension_note(report) -> None:
    line = report["extended_line"]
    if not line:
        return
    if report["long_line"]:
        sys.stderr.write(f"Note: line {line} is longer than 255 bytes; asciify reads it back, a "
                         "reader held to 256-byte lines may not.\n")
    else:
        sys.stderr.write(f"Note: the last line ({line}) has no end-of-line byte; asciify reads "
                         "it back, a reader held to whole lines may not.\n")
