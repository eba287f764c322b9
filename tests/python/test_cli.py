"""The command line: what it writes, its exit statuses and its one-line errors."""

import json
import os
import resource
import signal
import subprocess
import sys
import time
from pathlib import Path

import pytest
from quarvex.cli import main
from quarvex.summary import summary_text

import quarvex
from bench import generators

ORDER = Path(__file__).parents[2] / "examples" / "order.json"
LINES = [json.dumps(generators.feature_request(seed)) for seed in range(20)] + [
    "not json",
    '{"items": [{"ItemCode": "A"}]}',
]


def run(capsys, *argv):
    status = main([str(arg) for arg in argv])
    out, err = capsys.readouterr()
    return status, out, err


def test_pack_writes_the_response_or_the_summary(capsys, tmp_path):
    text = ORDER.read_text()
    order = json.loads(text)
    result = quarvex.pack_dicts(order["items"], order["boxes"])
    # The example order leaves its rug out: the status says so, the output is whole all the same.
    not_packed = "quarvex: 1 of 37 items not packed\n"
    assert run(capsys, "pack", ORDER) == (1, result.to_json(2) + "\n", not_packed)
    assert run(capsys, "pack", ORDER, "--indent", -1)[1] == quarvex.solve(text) + "\n"
    brief = summary_text(result) + "\n"
    assert run(capsys, "pack", ORDER, "--summary", "-o", tmp_path / "r.json") == (1, brief, not_packed)
    assert (tmp_path / "r.json").read_text() == result.to_json(2) + "\n"
    assert run(capsys, "pack", ORDER, "--explain", "--strict")[1] == result.to_json(2, explain=True) + "\n"
    # Nouns agree with their counts; weights carry no unit, which the request does not state.
    cube = {"ItemCode": "A", "ItemReference": "a", "Width": 1, "Length": 1, "Depth": 1, "Weight": 1.5}
    box = {"Reference": "S", "Width": 2, "Length": 2, "Depth": 2, "MaxWeight": 10}
    for items, status, summary, err in [
        (
            [cube],
            0,
            "Packed 1 of 1 item into 1 box, 12.5 % of their volume used.\n\n"
            "Box 1: S (2 x 2 x 2), 1 item, 12.5 % full, weight 1.5 of 10\n    A\n",
            "",
        ),
        (
            [cube, dict(cube, ItemCode="B", Width=3)],
            1,
            "Packed 1 of 2 items into 1 box, 12.5 % of their volume "
            "used.\n\nBox 1: S (2 x 2 x 2), 1 item, 12.5 % full, weight 1.5 of 10\n    A\n\nNot packed (1):\n"
            "    B: a, 3 x 1 x 1, weight 1.5: larger than every box type in every allowed orientation\n",
            "quarvex: 1 of 2 items not packed\n",
        ),
    ]:
        (tmp_path / "small.json").write_text(json.dumps({"items": items, "boxes": [box]}))
        assert run(capsys, "pack", tmp_path / "small.json", "--summary") == (status, summary, err)


@pytest.mark.parametrize(
    "content, message",
    [
        (None, "missing.json: No such file or directory"),
        ("{", "order.json: not valid JSON: Expecting property name enclosed in double quotes"),
        (
            '{"items": [{"ItemCode": "A", "Width": NaN}]}',
            "order.json: not valid JSON: NaN is not a JSON number",
        ),
        ('{"items": [{"Width": 1}]}', "order.json: item is missing required field 'ItemCode'"),
        (
            '{"items": [{"ItemCode": "A", "Width": 1, "Length": 1, "Depth": 1, "AllowedRotation": "Upright"}]}',
            'order.json: item \'A\': AllowedRotation must be "Never", "KeepFlat" or "BestFit", not "Upright" '
            "(at /items/0/AllowedRotation)",
        ),
    ],
)
def test_pack_input_errors_are_one_line_and_status_2(capsys, tmp_path, monkeypatch, content, message):
    monkeypatch.chdir(tmp_path)
    if content is not None:
        (tmp_path / "order.json").write_text(content)
    strict = ["--strict"] if "(at /" in message else []
    status, out, err = run(capsys, "pack", "missing.json" if content is None else "order.json", *strict)
    assert (status, out) == (2, "")
    assert err.startswith(f"quarvex: error: {message}") and err.count("\n") == 1


@pytest.mark.timeout(120)
@pytest.mark.parametrize("where", ["processes", "dask"])
def test_batch_writes_a_line_per_request_and_counts_failures(capsys, tmp_path, where, request):
    orders, results = tmp_path / "orders.jsonl", tmp_path / "results.jsonl"
    # Blank lines are no requests: answered by blank lines, output line N answers input line N.
    orders.write_text("\n".join(LINES[:10] + ["", " \r"] + LINES[10:]) + "\n\n")
    pool = (
        ["--workers", 2, "--processes"]
        if where == "processes"
        else ["--scheduler", request.getfixturevalue("dask_client").scheduler.address]
    )
    status, out, err = run(capsys, "batch", orders, "-o", results, *pool)
    written = results.read_text().split("\n")
    assert (status, out, len(written)) == (1, "", len(LINES) + 4)
    assert written[10:12] == written[-2:] == ["", ""]
    written = written[:10] + written[12:-2]
    assert written[:20] == [quarvex.solve(line) for line in LINES[:20]]
    assert json.loads(written[20])["error"]["line"] == 23
    assert json.loads(written[21])["error"] == {
        "line": 24,
        "type": "RuntimeError",
        "message": "[json.exception.out_of_range.403] key 'Depth' not found",
    }
    assert err.splitlines()[1:] == [
        f"quarvex: error: {orders}:24: RuntimeError: [json.exception.out_of_range.403] key 'Depth' not found",
        "quarvex: 2 of 22 requests failed",
    ]
    orders.write_text("\n".join(LINES[:20]))
    assert run(capsys, "batch", orders, "-o", results, *pool)[0] == 0


def test_usage_errors_and_help(capsys):
    missing = "quarvex: error: missing.jsonl: No such file or directory\n"
    assert run(capsys, "batch", "missing.jsonl")[::2] == (2, missing)
    wide = "quarvex: error: --indent must be 0..64, or negative for one line\n"
    for indent in (65, 200_000, 2**70):  # refused before packing: it overran the writer's buffer
        assert run(capsys, "pack", "missing.json", "--indent", indent)[::2] == (2, wide)
    with pytest.raises(SystemExit) as exit:
        main(["batch", "o.jsonl", "--workers", "0"])
    assert exit.value.code == 2 and "--workers: must be at least 1, not 0" in capsys.readouterr().err
    for command in ["pack", "batch"]:
        shown = subprocess.run(
            [sys.executable, "-m", "quarvex", command, "--help"], capture_output=True, text=True
        )
        assert shown.returncode == 0 and f"usage: quarvex {command}" in shown.stdout


def test_the_search_ships_no_more_boxes_than_the_default_packer(capsys, tmp_path):
    def box_counts(lines):
        return [json.loads(line)["summary"]["box_count"] for line in lines]

    status, out, _ = run(capsys, "pack", ORDER, "--search-time-limit", "0.1")
    assert status == 1  # the rug fits nowhere
    assert box_counts([out]) <= box_counts([quarvex.solve(ORDER.read_text())])
    orders, results = tmp_path / "orders.jsonl", tmp_path / "results.jsonl"
    orders.write_text("\n".join(LINES[:6]))
    assert run(capsys, "batch", orders, "-o", results, "--workers", 2, "--search-time-limit", "0.02")[0] == 0
    optimized = box_counts(results.read_text().splitlines())
    assert all(mine <= theirs for mine, theirs in zip(optimized, box_counts(map(quarvex.solve, LINES[:6]))))
    with pytest.raises(SystemExit) as exit:
        main(["pack", str(ORDER), "--search-time-limit", "nan"])
    assert exit.value.code == 2
    assert "--search-time-limit: must be a finite number of seconds" in capsys.readouterr().err


SLOW_LINE = json.dumps(generators.request_taking_seconds())


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


@pytest.mark.timeout(60)
def test_ctrl_c_ends_a_pack_with_one_line_and_status_130(tmp_path):
    (tmp_path / "slow.json").write_text(SLOW_LINE)
    process = subprocess.Popen(
        [sys.executable, "-m", "quarvex", "pack", tmp_path / "slow.json"],
        stdout=subprocess.PIPE,
        stderr=subprocess.PIPE,
        text=True,
    )
    # More processor time than starting and reading take: it is packing (for seconds yet).
    while process.poll() is None and cpu_seconds(process.pid) < 1.5:
        time.sleep(0.05)
    process.send_signal(signal.SIGINT)
    out, err = process.communicate()
    assert (process.returncode, out, err) == (130, "", "quarvex: interrupted\n")


@pytest.mark.parametrize("command", ["pack", "batch"])
@pytest.mark.parametrize("alias", ["same", "hard link", "symbolic link"])
def test_the_input_is_never_the_output(capsys, tmp_path, command, alias):
    source = tmp_path / "orders"
    source.write_text(ORDER.read_text().replace("\n", " ") + "\n")
    output = tmp_path / "out"
    if alias == "same":
        output = source
    elif alias == "hard link":
        os.link(source, output)
    else:
        output.symlink_to(source)
    status, out, err = run(capsys, command, source, "-o", output)
    assert (status, out) == (2, "")
    assert err == f"quarvex: error: {output}: is the input {source}; write the output to another file\n"
    assert source.read_text() == ORDER.read_text().replace("\n", " ") + "\n"


def limit_file_size(size):
    return lambda: resource.setrlimit(resource.RLIMIT_FSIZE, (size, size))


@pytest.mark.parametrize("command", ["pack", "batch"])
@pytest.mark.parametrize("target", ["a file", "standard output"])
def test_a_failed_write_is_one_line_and_leaves_the_old_file_whole(tmp_path, command, target):
    orders = tmp_path / "orders.jsonl"
    orders.write_text(ORDER.read_text().replace("\n", " ") + "\n")
    old = tmp_path / "results.json"
    old.write_text("the old results\n")
    old.chmod(0o640)
    # A file-size limit too small for the response makes the write fail midway.
    argv, limit = (["-o", old], limit_file_size(1000)) if target == "a file" else ([], None)
    with open("/dev/full", "w") as full:
        run = subprocess.run(
            [sys.executable, "-m", "quarvex", command, orders, *argv],
            stdout=full,
            stderr=subprocess.PIPE,
            text=True,
            preexec_fn=limit,
        )
    reason = "File too large" if target == "a file" else "No space left on device"
    name = old if target == "a file" else "<stdout>"
    assert (run.returncode, run.stderr) == (2, f"quarvex: error: {name}: {reason}\n")
    assert (old.read_text(), old.stat().st_mode & 0o777) == ("the old results\n", 0o640)
    assert sorted(path.name for path in tmp_path.iterdir()) == ["orders.jsonl", "results.json"]
    if target == "a file":
        # 1 for pack: the order leaves its rug out; the batch answered its one request.
        written = subprocess.run(
            [sys.executable, "-m", "quarvex", command, orders, *argv], stderr=subprocess.DEVNULL
        )
        assert written.returncode == {"pack": 1, "batch": 0}[command]
        assert json.loads(old.read_text()) and old.stat().st_mode & 0o777 == 0o640


@pytest.mark.timeout(120)
def test_batch_answers_a_request_over_its_time_limit_in_place(capsys, tmp_path):
    orders, results = tmp_path / "orders.jsonl", tmp_path / "results.jsonl"
    orders.write_text("\n".join([LINES[0], SLOW_LINE, LINES[1]]) + "\n")
    status, _, err = run(capsys, "batch", orders, "-o", results, "--workers", 2, "--time-limit", 3)
    written = results.read_text().splitlines()
    assert (status, written[0], written[2]) == (1, quarvex.solve(LINES[0]), quarvex.solve(LINES[1]))
    assert json.loads(written[1])["error"]["type"] == "TimeoutError"
    assert err.splitlines()[-1] == "quarvex: 1 of 3 requests failed"
