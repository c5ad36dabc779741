#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""The ratios of one javtrg_bench run, from its JSON output.

Usage: ratios.py BENCH.json

Each figure is the median of the run's repetitions when it has them, else
its only measurement. Rates come from CPU time, as Google Benchmark gives
them. A line ends with "ok" when the figure reaches its target and with
"BELOW" when it does not; docs/performance.md says what each one means.
"""
import json
import sys

COUNTS = (1000, 10000, 100000)
RECORD_FAMILIES = ("rectangles", "polygons8", "polygons1000")
SHAPE_FAMILIES = RECORD_FAMILIES + ("gradients-linear", "gradients-elliptical", "gradients-rectangular")
TEXT_KINDS = ("1252", "sjis", "units")


def load(path):
    with open(path, encoding="utf-8") as f:
        data = json.load(f)
    runs = {}
    medians = {}
    for b in data["benchmarks"]:
        if b.get("error_occurred"):
            continue
        if b.get("run_type") == "aggregate":
            if b.get("aggregate_name") == "median":
                medians[b["run_name"]] = b
        else:
            runs.setdefault(b["run_name"], b)
    runs.update(medians)
    return data["context"], runs


def verdict(value, target):
    return "ok" if value >= target else "BELOW"


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    context, runs = load(sys.argv[1])

    def rate(name, key="items_per_second"):
        run = runs.get(name)
        return run.get(key) if run else None

    def seconds(name):
        run = runs.get(name)
        if run is None:
            return None
        scale = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}[run["time_unit"]]
        return run["cpu_time"] * scale

    def line(label, value, target=None, unit="x"):
        if value is None:
            print(f"  {label:<52} (not measured)")
            return
        tail = f"  target {target:g}{unit}  {verdict(value, target)}" if target is not None else ""
        print(f"  {label:<52} {value:10.2f}{unit}{tail}")

    print(f"javtrg_bench on {context.get('num_cpus')} CPUs at {context.get('mhz_per_cpu')} MHz, "
          f"load {', '.join(f'{x:.2f}' for x in context.get('load_avg', []))}")

    print("\nInteger formatting (integers per second, driver against):")
    driver = rate("format/driver")
    for baseline, target in (("to_chars", 1.0), ("snprintf", 4.0)):
        base = rate(f"format/{baseline}")
        line(baseline, driver / base if driver and base else None, target)

    print("\nRecord bytes per second against the format ceiling (the target for the discarding writer):")
    for family in RECORD_FAMILIES:
        for count in COUNTS:
            ceiling = rate(f"ceiling/{family}/{count}", "bytes_per_second")
            for writer, target in (("discard", 0.8), ("append", None)):
                value = rate(f"driver/{family}/{count}/{writer}", "bytes_per_second")
                line(f"{family}/{count} {writer}", value / ceiling if value and ceiling else None, target)

    print("\nShapes per second against cairo's SVG surface (append):")
    for family in SHAPE_FAMILIES:
        for count in COUNTS:
            cairo = rate(f"cairo/{family}/{count}")
            value = rate(f"driver/{family}/{count}/append")
            line(f"{family}/{count}", value / cairo if value and cairo else None, 50)

    print("\nHighlighting pass (code units per second, millions; against linear-search folding):")
    fold = rate("fold/linear/text-units-1k/1000")
    line("linear-search folding", fold / 1e6 if fold else None, unit="M/s")
    for family, count in (("text-units-1k", 1000), ("text-units-100k", 10), ("text-1252-1k", 1000),
                          ("text-sjis-1k", 1000)):
        for terms in (1, 4, 10):
            value = rate(f"highlight/{family}/{count}/terms{terms}")
            sixteen = family.startswith("text-units")
            label = f"{family} {terms} term" + ("s" if terms > 1 else "")
            line(label, value / 1e6 if value else None, 200 if sixteen else None, "M/s")
            if sixteen:
                line(f"{label} against folding", value / fold if value and fold else None, 100)

    print("\nGrowth: time of the 100,000-shape scene over the 10,000-shape one (10 is linear):")
    for family in SHAPE_FAMILIES:
        small = seconds(f"driver/{family}/10000/discard")
        large = seconds(f"driver/{family}/100000/discard")
        line(family, large / small if small and large else None, unit="")
    print("Growth with text length: time per 100 KB box over time per 1 KB box (100 is linear):")
    for kind in TEXT_KINDS:
        for terms in ("", "/terms10"):
            small = seconds(f"driver/text-{kind}-1k/1000{terms}/discard")
            large = seconds(f"driver/text-{kind}-100k/10{terms}/discard")
            per = (large / 10) / (small / 1000) if small and large else None
            line(f"text-{kind}{terms or ''}", per, unit="")

    print("\nMemory: the driver's blocks per run and its peak bytes; the host's bytes at 100,000 shapes:")
    for family in SHAPE_FAMILIES:
        cells = []
        for count in COUNTS:
            run = runs.get(f"driver/{family}/{count}/discard")
            if run:
                cells.append(f"{count}: {run['driver_blocks_per_run']:.0f} blocks, {run['driver_peak_bytes']:.0f} B")
        big = runs.get(f"driver/{family}/100000/discard")
        host = f"; host {big['host_bytes'] / 2**20:.1f} MiB" if big else ""
        print(f"  {family:<24} " + "; ".join(cells) + host)


if __name__ == "__main__":
    main()
