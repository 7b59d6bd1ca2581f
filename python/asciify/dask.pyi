"""Type stubs of asciify.dask."""

import os
from collections.abc import Iterable
from typing import Union

import dask.dataframe
import distributed
import pandas

Paths = Union[str, os.PathLike[str], Iterable[Union[str, os.PathLike[str]]]]

PARTITION_ROWS: int

def convert(
    paths: Paths, out_dir: Union[str, os.PathLike[str]], *, client: distributed.Client | None = None
) -> pandas.DataFrame: ...
def read_tables(
    paths: Paths, *, client: distributed.Client | None = None, partition_rows: int = ...
) -> dict[bytes, dask.dataframe.DataFrame]: ...
