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
        distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True, dashboard_address=":0") as cluster,
        distributed.Client(cluster) as client,
    ):
        yield client
