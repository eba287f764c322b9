"""Deliberate one-line faults in the engine, each of which the test suite must catch.

    python scripts/mutation_check.py [--only N ... | --sample] [--no-baseline] [--out PATH]

For every mutation: apply it, rebuild (engine, C++ tests, extension) in
build/mutation, run ctest and pytest against that build, restore the file.
A mutation is caught when the suite fails or runs past its time limit.
A mutation whose text is no longer in its file is reported as stale at once
and the others still run. Prints one line per mutation, writes the table as
JSON, and exits 1 when any mutation is stale or missed.
"""

import argparse
import json
import os
import shutil
import subprocess
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
BUILD = ROOT / "build" / "mutation"
SUITE_LIMIT_S = 300
E = "src/quarvex/"
# A few faults from different rooms of the engine, small enough for every CI run.
SAMPLE = [1, 13, 30]

# (file, text to find exactly once, replacement, what the fault is)
MUTATIONS = [
    (
        E + "model/sorters.cpp",
        "if (differ(va, vb)) {\n        return va > vb",
        "if (differ(va, vb)) {\n        return va < vb",
        "item order: smaller volume first",
    ),
    (
        E + "model/sorters.cpp",
        "return wa > wb ? -1 : 1;",
        "return wa < wb ? -1 : 1;",
        "item order: lighter first",
    ),
    (
        E + "model/sorters.cpp",
        "return compareText(a.item_code(), b.item_code());",
        "return compareText(b.item_code(), a.item_code());",
        "item order: codes reversed",
    ),
    (
        E + "model/sorters.cpp",
        "return eb > ea ? -1 : 1;",
        "return ea > eb ? -1 : 1;",
        "box order: heavier empty box first",
    ),
    (
        E + "model/sorters.cpp",
        "return a.items.size() > b.items.size() ? -1 : 1;",
        "return a.items.size() < b.items.size() ? -1 : 1;",
        "packed box order: fewer items first",
    ),
    (
        E + "model/packed_box.cpp",
        "return rest > 0.0 ? rest : 0.0;",
        "return rest;",
        "remaining weight may go negative",
    ),
    (
        E + "packing/packer.cpp",
        "kMaxBalancedBoxes = 12;",
        "kMaxBalancedBoxes = 11;",
        "balancing stops at 11 boxes",
    ),
    (
        E + "packing/packer.cpp",
        "kMinBalancedBoxes = 2;",
        "kMinBalancedBoxes = 3;",
        "no balancing of two boxes",
    ),
    (
        E + "packing/fit_rules.cpp",
        "return !limited || opened < limited->max_quantity();",
        "return !limited || opened <= limited->max_quantity();",
        "limited supply: one box too many",
    ),
    (
        E + "packing/packer.cpp",
        "return trialUtilisation > bestUtilisation;",
        "return trialUtilisation < bestUtilisation;",
        "box choice: lower utilisation wins",
    ),
    (
        E + "packing/weight_balancer.cpp",
        "if (boxGroupOf(*item)) continue;",
        "",
        "balancing moves linked items",
    ),
    (
        E + "packing/weight_balancer.cpp",
        "if (moved && !seen.insert(stateOf(work_)).second) {",
        "if (false && !seen.insert(stateOf(work_)).second) {",
        "balancing never stops a cycle",
    ),
    (
        E + "placement/region_filler.cpp",
        "if (!unlimited && item.weight() > limit - packedWeight) {",
        "if (false) {",
        "weight limit ignored",
    ),
    (
        E + "placement/region_filler.cpp",
        "f.rowDepth = std::max(f.rowDepth, p.length);",
        "f.rowDepth = p.length;",
        "row depth forgets deeper items",
    ),
    (
        E + "packing/box_filler.cpp",
        "if (!(std::abs(a.z - b.z) < kPositionTolerance)) return a.z < b.z;",
        "if (a.z != b.z) return a.z < b.z;",
        "position order without tolerance",
    ),
    (
        E + "placement/look_ahead.cpp",
        "kLookAheadItems = 7;",
        "kLookAheadItems = 6;",
        "look-ahead counts six items",
    ),
    (
        E + "placement/look_ahead.cpp",
        "placeInto(space.W - candidate.w, depth, space.D, trialItems);",
        "placeInto(space.W - candidate.w, candidate.l, space.D, trialItems);",
        "look-ahead: beside block ignores the row depth",
    ),
    (
        E + "placement/look_ahead.cpp",
        "for (double value : {item.weight(), item.depth(), item.length(), item.width()}) {\n"
        "            appendBytes(key, value);",
        "for (double value : {item.weight(), item.depth(), item.length(), item.width()}) {\n"
        "            appendBytes(key, static_cast<float>(value));",
        "look-ahead memo keys round item sizes",
    ),
    (
        E + "placement/orientation.cpp",
        "const double height = candidate.d == 0.0 ? 1.0 : candidate.d;",
        "const double height = candidate.d;",
        "stability: zero height not taken as 1",
    ),
    (
        E + "placement/orientation.cpp",
        'list.push_back({&item, D, W, L, "DWL"});\n            list.push_back({&item, D, L, W, "DLW"});',
        'list.push_back({&item, D, L, W, "DLW"});\n            list.push_back({&item, D, W, L, "DWL"});',
        "orientation order: DLW before DWL",
    ),
    (
        E + "placement/orientation_chooser.cpp",
        "if (ra <= 0.0 && rb > 0.0) return -1;",
        "if (ra < 0.0 && rb > 0.0) return -1;",
        "exact fill not preferred",
    ),
    (
        E + "placement/orientation_chooser.cpp",
        "if (s3 > 0.0 && s1 / s3 <= 0.3) {",
        "if (s3 > 0.0 && s1 / s3 < 0.3) {",
        "thin-item threshold exclusive",
    ),
    (
        E + "placement/orientation_chooser.cpp",
        "if (ma != mb) return ma < mb ? -1 : 1;",
        "if (ma != mb) return ma > mb ? -1 : 1;",
        "looser fit wins",
    ),
    (
        E + "placement/orientation_chooser.cpp",
        "if (ga != gb) return ga > gb ? -1 : 1;",
        "if (ga != gb) return ga < gb ? -1 : 1;",
        "smaller grid wins",
    ),
    (
        E + "placement/orientation_chooser.cpp",
        "return isStableOrientation(c) || c.d == boxDepth;",
        "return isStableOrientation(c);",
        "full-height items not stable",
    ),
    (
        E + "packing/layer_builder.cpp",
        "if (trial.depth == trial.items.front().depth) {",
        "if (true) {",
        "layers never rebuilt",
    ),
    (
        E + "packing/layer_builder.cpp",
        "if (a.volume != b.volume) return a.volume > b.volume;",
        "if (a.volume != b.volume) return a.volume < b.volume;",
        "gap filling: smallest space first",
    ),
    (
        E + "placement/layer_restacking.cpp",
        "return a.area > b.area || (a.area == b.area && a.depth > b.depth);",
        "return a.area > b.area;",
        "restacking ignores depth",
    ),
    (
        E + "placement/free_space_carving.cpp",
        "if (ay1 > s.y) out.emplace_back(ax1, s.y, s.z, ax2 - ax1, ay1 - s.y, s.d);",
        "if (ay1 > s.y) out.emplace_back(s.x, s.y, s.z, ax2 - ax1, ay1 - s.y, s.d);",
        "carving: front slab misplaced",
    ),
    (
        E + "json_io/result_writer.cpp",
        'json["used_depth"] = packed.used_depth();',
        'json["used_depth"] = packed.used_length();',
        "writer: used depth from length",
    ),
    (
        E + "json_io/request_reader.cpp",
        'if (lower == "keepflat" || lower == "keep_flat") {',
        'if (lower == "keepflat") {',
        "reader: keep_flat not recognised",
    ),
]


def run(command, log, env=None, timeout=None):
    with open(log, "a") as out:
        out.write(f"$ {' '.join(map(str, command))}\n")
        out.flush()
        try:
            return subprocess.run(
                command, cwd=ROOT, env=env, stdout=out, stderr=subprocess.STDOUT, timeout=timeout
            ).returncode
        except subprocess.TimeoutExpired:
            out.write("timed out\n")
            return "timeout"


def configure(log):
    python = sys.executable
    pybind11_dir = subprocess.run(
        [python, "-m", "pybind11", "--cmakedir"], check=True, capture_output=True, text=True
    ).stdout.strip()
    code = run(
        [
            "cmake",
            "-S",
            ".",
            "-B",
            BUILD,
            "-DCMAKE_BUILD_TYPE=RelWithDebInfo",
            "-DQUARVEX_BUILD_TESTS=ON",
            "-DQUARVEX_BUILD_MODULE=ON",
            f"-DPython_EXECUTABLE={python}",
            f"-Dpybind11_DIR={pybind11_dir}",
        ],
        log,
    )
    if code != 0:
        sys.exit(f"configuring {BUILD} failed; see {log}")


def suite_fails(log):
    """True when the suite catches the engine as built now."""
    if run(["cmake", "--build", BUILD, "-j2"], log) != 0:
        return True  # a mutation that does not build counts as caught, but say so in the log
    # The package beside the extension just built, first on the path (as `make py-sanitize` does).
    site = BUILD / "site"
    shutil.rmtree(site, ignore_errors=True)
    shutil.copytree(ROOT / "python" / "quarvex", site / "quarvex")
    for extension in BUILD.glob("_core*.so"):
        shutil.copy(extension, site / "quarvex")
    env = dict(os.environ, PYTHONPATH=str(site))
    started = time.monotonic()
    if (
        run(
            ["ctest", "--test-dir", BUILD, "-j2", "--stop-on-failure", "--timeout", str(SUITE_LIMIT_S)],
            log,
            timeout=SUITE_LIMIT_S,
        )
        != 0
    ):
        return True
    left = max(1, SUITE_LIMIT_S - (time.monotonic() - started))
    # The golden files first: they catch most faults within seconds.
    return (
        run(
            [
                sys.executable,
                "-m",
                "pytest",
                "-q",
                "-x",
                "-p",
                "no:cacheprovider",
                "tests/python/test_golden.py",
                "tests/python",
            ],
            log,
            env=env,
            timeout=left,
        )
        != 0
    )


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    choice = parser.add_mutually_exclusive_group()
    choice.add_argument("--only", type=int, nargs="*", help="mutation numbers to run (from 1)")
    choice.add_argument("--sample", action="store_true", help=f"run mutations {SAMPLE} only")
    parser.add_argument(
        "--no-baseline",
        action="store_true",
        help="skip the run on the unchanged engine (when the suite has just passed)",
    )
    parser.add_argument("--out", type=Path, default=BUILD / "results.json")
    args = parser.parse_args()
    chosen = SAMPLE if args.sample else args.only
    BUILD.mkdir(parents=True, exist_ok=True)
    log = BUILD / "log.txt"
    log.write_text("")
    configure(log)
    if not args.no_baseline and suite_fails(log):
        sys.exit(f"the suite fails on the unchanged engine; see {log}")

    results = []
    for number, (path, old, new, fault) in enumerate(MUTATIONS, 1):
        if chosen and number not in chosen:
            continue
        source = ROOT / path
        original = source.read_text()
        started = time.monotonic()
        if original.count(old) != 1:
            outcome = "STALE"
        else:
            try:
                source.write_text(original.replace(old, new))
                with open(log, "a") as out:
                    out.write(f"\n=== mutation {number}: {fault}\n")
                outcome = "caught" if suite_fails(log) else "MISSED"
            finally:
                source.write_text(original)
        results.append(
            {
                "number": number,
                "file": path,
                "fault": fault,
                "outcome": outcome,
                "seconds": round(time.monotonic() - started),
            }
        )
        print(f"{number:3} {outcome:6}  {path}: {fault}", flush=True)

    caught = sum(r["outcome"] == "caught" for r in results)
    stale = sum(r["outcome"] == "STALE" for r in results)
    print(f"{caught} of {len(results)} caught" + (f", {stale} stale (text not found)" if stale else ""))
    args.out.write_text(json.dumps(results, indent=1) + "\n")
    run(["cmake", "--build", BUILD, "-j2"], log)  # leave the build matching the source
    if caught < len(results):
        sys.exit(1)


if __name__ == "__main__":
    main()
