"""What the tests of the Python module share: the built programs, the sample files, and the
command's own results to compare with."""

import os
import subprocess
from pathlib import Path
from typing import NamedTuple

import pytest

import asciify

COMMAND = os.environ.get("ASCIIFY_COMMAND", "asciify")
BINIFY = os.environ.get("BINIFY_COMMAND", "binify")
DUMP_VALUES = os.environ.get("ASCIIFY_DUMP_VALUES", "dump_values")
EXAMPLE = Path(os.environ.get("ASCIIFY_EXAMPLE", "example.dat"))
DATA = Path(os.environ.get("ASCIIFY_DATA", "."))


class CommandRun(NamedTuple):
    text: bytes
    stdout: bytes
    stderr: bytes


def run_command(path: Path, tmp_path: Path) -> CommandRun:
    """What the asciify command writes for the file at `path`."""
    output = tmp_path / (path.name + ".command.txt")
    run = subprocess.run([COMMAND, str(path), str(output)], capture_output=True, check=False)
    return CommandRun(output.read_bytes(), run.stdout, run.stderr)


def table_text(rows: int, seed: int, per_table: int = 50) -> bytes:
    """Made-up tables of fixed-width integers and reals, with headings between them."""
    lines = ["** Generated tables of sample numbers\n"]
    for table in range(max(1, rows // per_table)):
        lines.append(f"*TABLE, NAME=part{table}\n")
        for row in range(per_table):
            n = table * per_table + row + seed
            lines.append(f"{n:10d}{(n % 997) * 0.25 - 100!r:>16}{(n * 7919) % 100000:10d}\n")
    lines.append("** end of the tables\n")
    return "".join(lines).encode()


@pytest.fixture(scope="session")
def samples(tmp_path_factory) -> dict[str, Path]:
    """The bundled example, the two byte-order sample files, and generated files packed in
    either byte order."""
    folder = tmp_path_factory.mktemp("samples")
    files = {"example": EXAMPLE, "little": DATA / "little.dat", "big": DATA / "big.dat"}
    for order in ("little", "big"):
        path = folder / f"packed-{order}.dat"
        asciify.pack(table_text(2000, 3), str(path), byte_order=order, quiet=True)
        files[f"packed-{order}"] = path
    return files


SAMPLE_NAMES = ["example", "little", "big", "packed-little", "packed-big"]
