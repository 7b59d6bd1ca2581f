#!/usr/bin/env python3
"""Speed of the Python module on the benchmark deck (make_bench_file), against parsing the
command's text in Python: read_tables into numpy against numpy.loadtxt and pandas.read_fwf
(when installed) on the text of the deck's main table, and iterating the lines against the
command writing them to /dev/null. Prints medians and the ratios.

    PYTHONPATH=<prefix>/lib/python3/dist-packages /usr/bin/python3 bench/python_read.py \\
        --build build/bench-release [--size-mb 50] [--runs 3] [--keep]

The build needs -DASCIIFY_BENCH=ON (for make_bench_file) and the module installed where
PYTHONPATH points (cmake --install BUILD --prefix PREFIX --component python).
"""

import argparse
import io
import os
import statistics
import subprocess
import tempfile
import time

import numpy

import asciify

# The main table of the deck: an integer, three reals and two integers in fixed columns.
MAIN_WIDTHS = [8, 16, 16, 16, 8, 8]


def median_time(run, runs):
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        run()
        times.append(time.perf_counter() - start)
    return statistics.median(times)


def main_table_text(text_path):
    """The lines of the main table, the text a user of the command would parse."""
    width = sum(MAIN_WIDTHS) + 1
    with open(text_path, "rb") as file:
        lines = [line for line in file if len(line) == width and line.count(b".") == 3]
    return b"".join(lines).decode(), len(lines)


def iterate_lines(deck):
    with asciify.open(deck) as reader:
        for _ in reader:
            pass


def report(name, seconds, megabytes, against=None):
    rate = megabytes / seconds
    ratio = f"  {against / seconds:6.1f}x faster than it" if against else ""
    print(f"{name:<44} {seconds:8.3f} s {rate:9.1f} MB/s of text{ratio}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default="build/bench-release")
    parser.add_argument("--size-mb", type=float, default=50)
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--keep", action="store_true")
    options = parser.parse_args()
    command = os.path.join(options.build, "programs/asciify/asciify")
    folder = tempfile.mkdtemp(prefix="asciify-python-bench-")
    deck = os.path.join(folder, "deck.dat")
    text = os.path.join(folder, "deck.txt")
    subprocess.run([os.path.join(options.build, "bench/make_bench_file"), "--size-mb",
                    str(options.size_mb), deck], check=True)
    subprocess.run([command, deck, text], check=True, stdout=subprocess.DEVNULL)
    text_mb = os.path.getsize(text) / 1e6
    main_text, main_rows = main_table_text(text)
    main_mb = len(main_text) / 1e6
    print(f"deck {os.path.getsize(deck) / 1e6:.1f} MB, its text {text_mb:.1f} MB; main table "
          f"{main_rows} rows, {main_mb:.1f} MB of text; asciify {asciify.__version__}, "
          f"numpy {numpy.__version__}")

    tables = median_time(lambda: asciify.read_tables(deck), options.runs)
    loadtxt = median_time(lambda: numpy.loadtxt(io.StringIO(main_text)), options.runs)
    report("asciify.read_tables, the whole deck", tables, text_mb)
    report("numpy.loadtxt, the main table's text only", loadtxt, main_mb)
    print(f"  read_tables of the whole deck is {loadtxt / tables:.1f}x faster than loadtxt of "
          f"its main table; per MB of text {text_mb / tables / (main_mb / loadtxt):.1f}x")
    try:
        import pandas
    except ImportError:
        print("pandas is not installed: read_fwf left out")
    else:
        sample = main_text[: 20_000_000 // (sum(MAIN_WIDTHS) + 1) * (sum(MAIN_WIDTHS) + 1)]
        fwf = median_time(lambda: pandas.read_fwf(io.StringIO(sample), widths=MAIN_WIDTHS,
                                                  header=None), 1)
        report("pandas.read_fwf, 20 MB of the main table", fwf, len(sample) / 1e6)
        print(f"  per MB of text read_tables is {text_mb / tables / (len(sample) / 1e6 / fwf):.1f}x"
              " faster than read_fwf")

    lines = median_time(lambda: iterate_lines(deck), options.runs)
    to_null = median_time(lambda: subprocess.run([command, deck, "/dev/null"], check=True,
                                                 stdout=subprocess.DEVNULL), options.runs)
    report("iterating the lines (str) of asciify.open", lines, text_mb)
    report("the asciify command writing to /dev/null", to_null, text_mb)
    print(f"  iterating the lines takes {lines / to_null:.2f}x the command's time")
    if not options.keep:
        for path in (deck, text):
            os.remove(path)
        os.rmdir(folder)


if __name__ == "__main__":
    main()
