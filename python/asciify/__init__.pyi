"""Type stubs of the package asciify."""

import os
from collections.abc import Callable, Iterator
from typing import BinaryIO, NamedTuple, Protocol, Union

import numpy

__version__: str

class _ReadableFile(Protocol):
    def read(self, size: int = ..., /) -> bytes: ...

class _WritableFile(Protocol):
    def write(self, data: bytes, /) -> object: ...

Source = Union[str, os.PathLike[str], bytes, bytearray, memoryview, BinaryIO, _ReadableFile]
Destination = Union[str, os.PathLike[str], BinaryIO, _WritableFile]

class FormatError(ValueError):
    message: str
    input_byte: int | None
    line: int
    def __init__(self, message: str, input_byte: int | None, line: int) -> None: ...

class Item(NamedTuple):
    kind: str
    text: str
    line_number: int
    input_byte: int
    format_code: int
    values: tuple[int | float | str, ...] | None

class Batch(NamedTuple):
    layout: bytes
    rows: int
    columns: list[numpy.ndarray]
    first_line: int
    first_input_byte: int
    heading: str

class Table(NamedTuple):
    layout: bytes
    rows: int
    columns: list[numpy.ndarray]

class Reader:
    def __init__(self, src: Source) -> None: ...
    def __enter__(self) -> Reader: ...
    def __exit__(self, *exc: object) -> None: ...
    def __iter__(self) -> Iterator[str]: ...
    def close(self) -> None: ...
    def lines(self) -> Iterator[str]: ...
    def items(self) -> Iterator[Item]: ...
    def batches(self, max_rows: int = 65536) -> Iterator[Batch]: ...
    @property
    def progress(self) -> tuple[int, int | None]: ...

def open(src: Source) -> Reader: ...
def read_tables(src: Source, max_rows: int = ...) -> list[Table]: ...
def convert(
    src: Source,
    dst: Destination,
    *,
    quiet: bool = False,
    progress: Callable[[int, int | None], object] | None = None,
) -> int: ...
def pack(src: Source, dst: Destination, *, byte_order: str = "native", quiet: bool = False) -> int: ...
