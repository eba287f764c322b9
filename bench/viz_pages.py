"""Size and headless render time of quarvex.viz pages for 30, 300 and 3,000 items.

    python -m bench.viz_pages [--runs 3]

Each run starts a fresh headless chromium (no cached script), opens the page from
disk and takes the time from navigation start until the first box is drawn (the
WebGL canvas exists and two frames have passed), with the CPU time the page's
renderer process and all of chromium's processes (from launch, WebGL included)
spent by then, which a loaded machine inflates less than the wall time. Needs
the viz and browser-test extras.
"""

import argparse
import os
import shutil
import statistics
from pathlib import Path

from playwright.sync_api import sync_playwright

import quarvex
from bench.generators import scaling_request
from quarvex import viz

OUT = Path(__file__).resolve().parent.parent / "build" / "viz-bench"
DRAWN_MS = """() => new Promise((done) =>
  requestAnimationFrame(() => requestAnimationFrame(() => done(performance.now()))))"""


def render_ms(playwright, page_path: Path) -> tuple[float, float, float]:
    """Wall, renderer CPU and all-process CPU milliseconds until the first box is drawn."""
    chromium = shutil.which("chromium")
    browser = playwright.chromium.launch(executable_path=chromium, args=["--use-angle=swiftshader"])
    try:
        page = browser.new_page(viewport={"width": 1200, "height": 900})
        devtools = page.context.new_cdp_session(page)
        devtools.send("Performance.enable")
        page.goto(page_path.as_uri())
        page.wait_for_selector("#packing .gl-container canvas", timeout=60_000)
        wall = page.evaluate(DRAWN_MS)
        metrics = devtools.send("Performance.getMetrics")["metrics"]
        renderer = next(m["value"] for m in metrics if m["name"] == "ProcessTime")
        processes = browser.new_browser_cdp_session().send("SystemInfo.getProcessInfo")
        total = sum(process["cpuTime"] for process in processes["processInfo"])
        return wall, renderer * 1000, total * 1000
    finally:
        browser.close()


def spread(values: list[float]) -> str:
    return f"{statistics.median(values):.0f} ({min(values):.0f}-{max(values):.0f})"


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--runs", type=int, default=3)
    runs = parser.parse_args().runs
    OUT.mkdir(parents=True, exist_ok=True)
    load = os.getloadavg()[0]
    print(f"load average {load:.1f} on {os.cpu_count()} cores; median (min-max) of {runs} runs")
    columns = ("wall ms to drawn", "renderer CPU ms", "all CPU ms")
    print(f"{'items':>6} {'boxes':>6} {'page MB':>8}" + "".join(f" {c:>18}" for c in columns))
    with sync_playwright() as playwright:
        for n in (30, 300, 3000):
            request = scaling_request(n)
            result = quarvex.pack_dicts(request["items"], request["boxes"])
            page_path = OUT / f"items-{n}.html"
            viz.to_html(result, page_path)
            figures = zip(*(render_ms(playwright, page_path) for _ in range(runs)))
            size = page_path.stat().st_size / 1e6
            row = "".join(f" {spread(list(values)):>18}" for values in figures)
            print(f"{n:>6} {len(result.boxes):>6} {size:>8.2f}{row}")


if __name__ == "__main__":
    main()
