"""Renders the README's picture: the example order's legend and first box, from its page in headless chromium.

python scripts/readme_picture.py [docs/order.png]
"""

import json
import shutil
import sys
import tempfile
from io import BytesIO
from pathlib import Path

from PIL import Image
from playwright.sync_api import sync_playwright

import quarvex
from quarvex import viz

ROOT = Path(__file__).resolve().parent.parent


def main(out: Path) -> None:
    order = json.loads((ROOT / "examples" / "order.json").read_text())
    result = quarvex.pack_dicts(order["items"], order["boxes"])
    with tempfile.TemporaryDirectory() as folder, sync_playwright() as playwright:
        page_path = Path(folder) / "order.html"
        viz.to_html(result, page_path)
        browser = playwright.chromium.launch(
            executable_path=shutil.which("chromium"), args=["--use-angle=swiftshader"]
        )
        page = browser.new_page(viewport={"width": 1000, "height": 900})
        page.goto(page_path.as_uri())
        page.wait_for_selector("#packing .gl-container canvas")
        page.wait_for_timeout(1000)
        top, plot = page.locator("#legend").bounding_box(), page.locator("#packing").bounding_box()
        clip = {
            "x": plot["x"],
            "y": top["y"],
            "width": plot["width"],
            "height": plot["y"] + plot["height"] - top["y"],
        }
        shot = page.screenshot(clip=clip)
        browser.close()
    # A palette of 128 colours keeps the file small; the blocks are flat colours anyway.
    Image.open(BytesIO(shot)).convert("RGB").quantize(128).save(out, optimize=True)
    print(f"Wrote {out} ({out.stat().st_size // 1024} KiB)")


if __name__ == "__main__":
    main(Path(sys.argv[1]) if len(sys.argv) > 1 else ROOT / "docs" / "order.png")
