import shutil

import hypothesis
import pytest

# Property tests stay small so the whole suite runs in well under a minute;
# no deadline, since packing time varies with the machine's load.
hypothesis.settings.register_profile("quarvex", max_examples=60, deadline=None, print_blob=True)
hypothesis.settings.load_profile("quarvex")


@pytest.fixture(scope="session")
def dask_client():
    """A Dask cluster of two worker processes on this machine, shared by the tests."""
    distributed = pytest.importorskip("distributed")
    with (
        distributed.LocalCluster(
            n_workers=2, threads_per_worker=1, processes=True, dashboard_address=":0"
        ) as cluster,
        distributed.Client(cluster) as client,
    ):
        yield client


@pytest.fixture
def browser(monkeypatch):
    """Debian's headless chromium under playwright; the test skips when either is missing."""
    sync_api = pytest.importorskip("playwright.sync_api", reason="the browser-test extra is not installed")
    chromium = shutil.which("chromium")
    if chromium is None:
        pytest.skip("Debian's chromium is not installed: `make setup` installs it")
    # The sanitizer run preloads its runtimes into Python; the browser must not inherit them.
    monkeypatch.delenv("LD_PRELOAD", raising=False)
    with sync_api.sync_playwright() as playwright:
        browser = playwright.chromium.launch(executable_path=chromium, args=["--use-angle=swiftshader"])
        yield browser
        browser.close()


def watched_page(browser, origin: str, **options):
    """A new page, the script errors it logs and the requests it tried outside `origin`,
    which are refused: a page that should be self-contained loads nothing from elsewhere."""
    page, errors, elsewhere = browser.new_page(**options), [], []
    page.on("console", lambda message: message.type == "error" and errors.append(message.text))
    page.on("pageerror", lambda error: errors.append(str(error)))

    def route(route):
        if route.request.url.startswith(origin):
            route.continue_()
        else:
            elsewhere.append(route.request.url)
            route.abort()

    page.route("**/*", route)
    return page, errors, elsewhere
