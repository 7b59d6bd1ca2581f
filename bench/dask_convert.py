#!/usr/bin/env python3
"""Many files converted by asciify.dask.convert on a local cluster against a loop of
asciify.convert: 40 generated decks (make_bench_file) of about 10 MB, one task per file on
single-threaded worker processes. Checks that both give the same texts; prints the medians
and the speed-up.

    PYTHONPATH=<prefix>/lib/python3/dist-packages /usr/bin/python3 bench/dask_convert.py \\
        --build BUILD [--files 40] [--size-mb 10] [--workers 2] [--runs 3] [--keep]

BUILD needs -DASCIIFY_BENCH=ON (for make_bench_file), the module installed where PYTHONPATH
points (cmake --install BUILD --prefix PREFIX --component python), and Dask (python3-dask,
python3-distributed, python3-pandas). Files go to $ASCIIFY_BENCH_DIR, by default
build/bench-data/dask; the texts (about 2.5 times the decks) are removed after each run.
"""

import argparse
import hashlib
import os
import shutil
import statistics
import subprocess
import time

from distributed import Client, LocalCluster

import asciify
import asciify.dask


def make_decks(build, folder, files, size_mb):
    """The decks, half of them with 8-byte reals, each of its own seed; made once."""
    paths = []
    for number in range(files):
        path = os.path.join(folder, f"deck-{number:02d}.dat")
        if not os.path.exists(path):
            subprocess.run([os.path.join(build, "bench/make_bench_file"), "--size-mb",
                            str(size_mb), "--seed", str(number + 1), "--reals",
                            "8" if number % 2 else "4", path], check=True)
        paths.append(path)
    return paths


def text_path(out_dir, deck):
    return os.path.join(out_dir, os.path.splitext(os.path.basename(deck))[0] + ".txt")


def convert_in_a_loop(decks, out_dir):
    os.makedirs(out_dir, exist_ok=True)
    for deck in decks:
        asciify.convert(deck, text_path(out_dir, deck), quiet=True)


def digests(out_dir, decks):
    """The SHA-256 of each deck's text in ``out_dir``."""
    result = []
    for deck in decks:
        with open(text_path(out_dir, deck), "rb") as file:
            result.append(hashlib.file_digest(file, "sha256").hexdigest())
    return result


def timed(run, out_dir, processor_time):
    """Seconds of one run into an empty ``out_dir`` (its written pages flushed first), the
    processor seconds it took (of the processes ``processor_time`` measures) and its result."""
    shutil.rmtree(out_dir, ignore_errors=True)
    os.sync()
    start, processor = time.perf_counter(), processor_time()
    result = run()
    return time.perf_counter() - start, processor_time() - processor, result


def workers_processor_time(client):
    """Processor seconds used so far by the cluster's worker processes, together."""
    return lambda: sum(client.run(time.process_time).values())


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default="build/bench-release")
    parser.add_argument("--files", type=int, default=40)
    parser.add_argument("--size-mb", type=float, default=10)
    parser.add_argument("--workers", type=int, default=2)
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--keep", action="store_true", help="keep the decks for the next run")
    options = parser.parse_args()
    folder = os.path.join(os.environ.get("ASCIIFY_BENCH_DIR", "build/bench-data"), "dask")
    os.makedirs(folder, exist_ok=True)
    decks = make_decks(options.build, folder, options.files, options.size_mb)
    for deck in decks:  # in the page cache for both
        with open(deck, "rb") as file:
            while file.read(1 << 24):
                pass
    loop_dir, dask_dir = os.path.join(folder, "loop"), os.path.join(folder, "dask")

    start = time.perf_counter()
    with LocalCluster(n_workers=options.workers, threads_per_worker=1, processes=True,
                      dashboard_address=None) as cluster, Client(cluster) as client:
        client.run(lambda: __import__("asciify.dask"))
        startup = time.perf_counter() - start
        loop_times, dask_times, loop_processor, dask_processor = [], [], [], []
        for _ in range(options.runs):
            seconds, processor, _ = timed(lambda: convert_in_a_loop(decks, loop_dir), loop_dir,
                                          time.process_time)
            loop_times.append(seconds)
            loop_processor.append(processor)
            text_mb = sum(os.path.getsize(text_path(loop_dir, d)) for d in decks) / 1e6
            # Only the digests are kept: both runs then write into a page cache in the same
            # state (on a virtual machine, pages the guest has not used yet cost far more).
            expected = digests(loop_dir, decks)
            shutil.rmtree(loop_dir)
            seconds, processor, report = timed(
                lambda: asciify.dask.convert(decks, dask_dir, client=client), dask_dir,
                workers_processor_time(client))
            dask_times.append(seconds)
            dask_processor.append(processor)
            same = digests(dask_dir, decks) == expected
            if not same or list(report["status"]) != [0] * len(decks):
                raise SystemExit("asciify.dask.convert and the loop of asciify.convert differ")
            shutil.rmtree(dask_dir)

    deck_mb = sum(os.path.getsize(d) for d in decks) / 1e6
    loop, distributed = statistics.median(loop_times), statistics.median(dask_times)
    print(f"{len(decks)} decks, {deck_mb:.0f} MB in, {text_mb:.0f} MB of text out; median of "
          f"{options.runs} runs; {os.cpu_count()} cores, load average "
          f"{' '.join(f'{x:.2f}' for x in os.getloadavg())}")
    print(f"loop of asciify.convert            {loop:8.2f} s  {deck_mb / loop:7.1f} MB/s in  "
          f"processor {statistics.median(loop_processor):6.2f} s")
    print(f"asciify.dask.convert, {options.workers} workers     {distributed:8.2f} s  "
          f"{deck_mb / distributed:7.1f} MB/s in  processor "
          f"{statistics.median(dask_processor):6.2f} s  "
          f"{loop / distributed:5.2f}x the loop's speed")
    # Processes of other sessions on the machine take their share of the cores: the speed-up
    # then stays below the number of workers.
    print("  (the processor seconds are those of this process for the loop, of the workers for "
          "Dask; the load average above counts the machine's other work)")
    print(f"  (the cluster started in {startup:.2f} s, left out; every run: "
          f"loop {', '.join(f'{t:.2f}' for t in loop_times)}; "
          f"dask {', '.join(f'{t:.2f}' for t in dask_times)})")
    if not options.keep:
        shutil.rmtree(folder)


if __name__ == "__main__":
    main()
