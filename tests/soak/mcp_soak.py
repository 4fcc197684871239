#!/usr/bin/env python3
"""Soak: one MCP session of many mixed lines against the simulator.

Valid calls, malformed lines, notifications, ids of every JSON type and nesting
at the limit; every answer must come back in order, and the server's memory
must stay flat (growth under 10 % between the end of the warm-up and the end).

usage: mcp_soak.py BRELVO_CLI BRELVO_SIM [LINES]
"""
import json
import os
import subprocess
import sys
import tempfile
import threading
import time


def rss_kib(pid):
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    raise RuntimeError(f"process {pid} has no resident memory: it has exited")


def make_lines(count):
    """Yields (line, expected answer id or None) pairs, deterministically."""
    # Three levels of message around it: 127 containers, the parser's limit.
    deep = "[" * 124 + "]" * 124
    kinds = [
        lambda i: (json.dumps({"jsonrpc": "2.0", "id": i, "method": "tools/call",
                               "params": {"name": "echo", "arguments": {"n": i, "deep": json.loads(deep)}}}), i),
        lambda i: ("{not json", None),
        lambda i: (json.dumps({"jsonrpc": "2.0", "method": "notifications/progress"}), "none"),
        lambda i: (json.dumps({"jsonrpc": "2.0", "id": str(i), "method": "ping"}), str(i)),
        lambda i: (json.dumps({"jsonrpc": "2.0", "id": {"k": [i, 1.5]}, "method": "tools/list"}), {"k": [i, 1.5]}),
        lambda i: (json.dumps({"jsonrpc": "2.0", "id": None, "method": "nope"}), None),
        lambda i: (json.dumps({"jsonrpc": "2.0", "id": -i, "method": "tools/call",
                               "params": {"name": "find_elements", "arguments": {"type": "IfcDoor"}}}), -i),
        lambda i: ("   ", "none"),
    ]
    for i in range(count):
        yield kinds[i % len(kinds)](i)


def main():
    cli, sim = sys.argv[1], sys.argv[2]
    count = int(sys.argv[3]) if len(sys.argv) > 3 else 100_000
    with tempfile.TemporaryDirectory() as tmp:
        control = os.path.join(tmp, "control.json")
        simulator = subprocess.Popen([sim, "--control", control], stdin=subprocess.DEVNULL,
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            for _ in range(500):
                if os.path.exists(control):
                    break
                time.sleep(0.01)
            server = subprocess.Popen([cli, "--control", control, "mcp"], stdin=subprocess.PIPE,
                                      stdout=subprocess.PIPE, stderr=subprocess.PIPE)
            lines = list(make_lines(count))
            expected = [answer for _, answer in lines if answer != "none"]

            # Standard input stays open until the last answer is in, so that the
            # server is still running when its memory is read at the end.
            def feed():
                for line, _ in lines:
                    server.stdin.write(line.encode() + b"\n")
                server.stdin.flush()

            writer = threading.Thread(target=feed)
            writer.start()
            warm_rss = end_rss = None
            received = 0
            while received < len(expected):
                raw = server.stdout.readline()
                if not raw:
                    break
                message = json.loads(raw)
                want = expected[received]
                if message.get("id") != want:
                    print(f"FAIL: answer {received} has id {message.get('id')!r}, expected {want!r}")
                    server.kill()
                    return 1
                received += 1
                if received == len(expected) // 10:
                    warm_rss = rss_kib(server.pid)
                if received == len(expected):
                    end_rss = rss_kib(server.pid)
            writer.join()
            server.stdin.close()
            extra = server.stdout.read()
            stderr = server.stderr.read()
            code = server.wait()
        finally:
            simulator.terminate()
            simulator.wait()
    if end_rss is None:
        print(f"FAIL: {received} answers of {len(expected)} came back")
        return 1
    growth = (end_rss - warm_rss) / warm_rss * 100
    print(f"lines sent: {count}, answers: {received}, exit code: {code}, stderr bytes: {len(stderr)}")
    print(f"memory after warm-up: {warm_rss} KiB, at the end: {end_rss} KiB, growth: {growth:.1f} %")
    ok = received == len(expected) and not extra and code == 0 and not stderr and growth < 10
    print("soak: 1 passed, 0 failed" if ok else "soak: 0 passed, 1 failed")
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
