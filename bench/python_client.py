#!/usr/bin/env python3
"""What a user might write instead of `brelvo-cli run`: the same echo calls
with Python's standard library only. Usage: python_client.py CONTROL SCRIPT"""
import json
import socket
import sys


def main():
    control = json.load(open(sys.argv[1]))
    sock = socket.create_connection(("127.0.0.1", control["port"]))
    sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
    reader = sock.makefile("rb")
    results = []
    with open(sys.argv[2]) as script:
        for number, line in enumerate(script, 1):
            call = json.loads(line)
            request = {"id": number, "method": "exec", "token": control["token"],
                       "params": {"tool": call["tool"], "args": call.get("args", {}),
                                  "timeout_ms": 180000}}
            sock.sendall(json.dumps(request, separators=(",", ":")).encode() + b"\n")
            answer = json.loads(reader.readline())
            results.append({"line": number, "tool": call["tool"], "result": answer["result"]})
    json.dump(results, sys.stdout, indent=2)


main()
