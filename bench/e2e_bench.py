#!/usr/bin/env python3
"""End-to-end figures: the real brelvo-cli against the simulator, next to the
floor client over the same connection, /bin/true, and a plain Python client.

Usage: e2e_bench.py BUILD_DIR OUT_JSON [--repetitions N] [--calls N]
Each figure and its baseline are measured in alternation, baseline then
figure, N times, so that a slow spell of the machine falls on both; the
table takes each ratio from such neighbouring pairs. Peak memory is the
child's maximum resident set size as the kernel reports it (wait4)."""
import argparse
import json
import os
import socket
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
IMAGE_BYTES = 32 << 20
ANSWER_BYTES = 64 << 20


def run_timed(argv, stdin_path=None):
    """Runs argv to completion; returns (seconds, peak RSS in bytes)."""
    with open(stdin_path or os.devnull, "rb") as stdin, open(os.devnull, "wb") as stdout:
        start = time.perf_counter()
        child = subprocess.Popen(argv, stdin=stdin, stdout=stdout, stderr=subprocess.PIPE)
        _, status, usage = os.wait4(child.pid, 0)
        elapsed = time.perf_counter() - start
    child.returncode = os.waitstatus_to_exitcode(status)
    stderr = child.stderr.read()
    if child.returncode != 0 or stderr:
        sys.exit(f"{argv[0]} failed ({child.returncode}): {stderr[:300]!r}")
    return elapsed, usage.ru_maxrss * 1024


# Nothing can answer faster than the floor client; a pair where ours took
# less than this share of its time measured the machine, not the programs.
NOISE_RATIO = 0.9
# Pairs tried per pair wanted before giving up on a figure.
ATTEMPTS = 3


def alternate(repetitions, baseline, ours, noise_ratio=None):
    """Runs baseline() then ours() until there are `repetitions` pairs of
    seconds. With noise_ratio, a pair whose ratio falls below it is noise:
    counted, dropped and measured again, at most ATTEMPTS times a pair."""
    pairs, noise = [], 0
    for _ in range(repetitions * ATTEMPTS):
        if len(pairs) == repetitions:
            break
        pair = (baseline(), ours())
        if noise_ratio is not None and pair[1] < noise_ratio * pair[0]:
            noise += 1
        else:
            pairs.append(pair)
    return {"pairs": pairs, "noise": noise}


def against_floor(repetitions, floor_argv, ours_argv, stdin_path=None):
    """Alternates the floor client and ours; ours' peak memory beside."""
    peak = 0

    def ours():
        nonlocal peak
        seconds, peak_bytes = run_timed(ours_argv, stdin_path)
        peak = max(peak, peak_bytes)
        return seconds

    measured = alternate(repetitions, lambda: run_timed(floor_argv)[0], ours, NOISE_RATIO)
    measured["peak_bytes"] = peak
    return measured


class Simulator:
    """One brelvo-sim serving a control file of its own."""

    def __init__(self, build, directory, *options):
        self.control = os.path.join(directory, "control.json")
        self.process = subprocess.Popen(
            [os.path.join(build, "sim", "brelvo-sim"), "--control", self.control, *options],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 10
        while not os.path.exists(self.control):
            if time.monotonic() > deadline or self.process.poll() is not None:
                sys.exit("the simulator did not start")
            time.sleep(0.01)
        with open(self.control) as f:
            found = json.load(f)
        self.port, self.token = found["port"], found["token"]

    def stop(self):
        self.process.terminate()
        self.process.wait()


def echo_args(i):
    return {"i": i, "text": "element %d on level %d" % (i, i % 7)}


def write_script(path, calls):
    with open(path, "w") as f:
        for i in range(calls):
            f.write(json.dumps({"tool": "echo", "args": echo_args(i)}) + "\n")


def write_floor_requests(path, calls, token):
    # Byte for byte what brelvo-cli sends: compact, keys in ascending order.
    with open(path, "w") as f:
        for i in range(calls):
            request = {"id": i + 1, "method": "exec", "token": token,
                       "params": {"args": echo_args(i), "timeout_ms": 180000, "tool": "echo"}}
            f.write(json.dumps(request, sort_keys=True, separators=(",", ":")) + "\n")


def write_mcp_session(path, calls):
    with open(path, "w") as f:
        f.write(json.dumps({"jsonrpc": "2.0", "id": 0, "method": "initialize",
                            "params": {"protocolVersion": "2025-06-18", "capabilities": {},
                                       "clientInfo": {"name": "bench", "version": "1"}}}) + "\n")
        f.write('{"jsonrpc":"2.0","method":"notifications/initialized"}\n')
        for i in range(calls):
            f.write(json.dumps({"jsonrpc": "2.0", "id": i + 1, "method": "tools/call",
                                "params": {"name": "echo", "arguments": echo_args(i)}}) + "\n")


def spawn_seconds(argv):
    """Start to exit of one process, with as little of Python in between as
    os.posix_spawn allows."""
    actions = [(os.POSIX_SPAWN_OPEN, 1, os.devnull, os.O_WRONLY, 0)]
    start = time.perf_counter()
    pid = os.posix_spawn(argv[0], argv, os.environ, file_actions=actions)
    _, status = os.waitpid(pid, 0)
    elapsed = time.perf_counter() - start
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit(f"{argv[0]} failed")
    return elapsed


def measure_startup(cli, repetitions):
    # Each repetition keeps the best of many starts of each, taken in turns:
    # the figure is the cost of starting, not of whatever else the machine
    # did meanwhile. /bin/true is linked dynamically, so a static program
    # may start faster: no pair is noise here.
    def best_starts():
        true, ours = [], []
        for _ in range(50):
            true.append(spawn_seconds(["/bin/true"]))
            ours.append(spawn_seconds([cli, "--version"]))
        return min(true), min(ours)
    pairs = [best_starts() for _ in range(repetitions)]
    return {"pairs": pairs, "noise": 0}


def measure_calls(build, cli, work, repetitions, calls):
    sim = Simulator(build, work)
    try:
        script = os.path.join(work, "script.jsonl")
        floor_requests = os.path.join(work, "floor.jsonl")
        session = os.path.join(work, "session.jsonl")
        write_script(script, calls)
        write_floor_requests(floor_requests, calls, sim.token)
        write_mcp_session(session, calls)
        control = ["--control", sim.control]
        floor = [os.path.join(build, "bench", "floor_client"), str(sim.port), floor_requests]
        measured = {
            "calls": calls,
            "run": against_floor(repetitions, floor, [cli, *control, "run", script]),
            "mcp": against_floor(repetitions, floor, [cli, *control, "mcp"], session),
            "python": against_floor(repetitions, floor, [
                sys.executable, os.path.join(HERE, "python_client.py"), sim.control, script]),
        }
    finally:
        sim.stop()
    return measured


def measure_large(build, cli, work, repetitions, option, size, command, tool):
    """Time and peak memory of one command whose answer is large, next to the
    floor client receiving the same answer."""
    directory = tempfile.mkdtemp(dir=work)
    sim = Simulator(build, directory, option, str(size))
    try:
        request = os.path.join(directory, "request.jsonl")
        with open(request, "w") as f:
            f.write(json.dumps({"id": 1, "method": "exec", "token": sim.token,
                                "params": {"args": {}, "timeout_ms": 180000, "tool": tool}}) + "\n")
        floor = [os.path.join(build, "bench", "floor_client"), str(sim.port), request]
        measured = against_floor(repetitions, floor,
                                 [cli, "--control", sim.control, *command(directory)])
        measured["answer_bytes"] = answer_line_size(sim.port, request)
    finally:
        sim.stop()
    return measured


def answer_line_size(port, request_path):
    """Length of the application's answer line to the request in the file."""
    with socket.create_connection(("127.0.0.1", port)) as sock, open(request_path, "rb") as f:
        sock.sendall(f.read())
        size = 0
        while True:
            chunk = sock.recv(1 << 20)
            size += len(chunk)
            if not chunk or chunk.endswith(b"\n"):
                return size


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build")
    parser.add_argument("out")
    parser.add_argument("--repetitions", type=int, default=5)
    parser.add_argument("--calls", type=int, default=10000)
    args = parser.parse_args()
    cli = os.path.join(args.build, "src", "main", "brelvo-cli")
    with tempfile.TemporaryDirectory() as work:
        results = {
            "repetitions": args.repetitions,
            "noise_ratio": NOISE_RATIO,
            "startup": measure_startup(cli, args.repetitions),
            "calls": measure_calls(args.build, cli, work, args.repetitions, args.calls),
            "screenshot": measure_large(
                args.build, cli, work, args.repetitions, "--screenshot-bytes", IMAGE_BYTES,
                lambda d: ["screenshot", "--out", os.path.join(d, "shot.png")], "screenshot"),
            "large_exec": measure_large(
                args.build, cli, work, args.repetitions, "--answer-bytes", ANSWER_BYTES,
                lambda d: ["exec", "echo"], "echo"),
        }
    with open(args.out, "w") as f:
        json.dump(results, f, indent=2)


main()
