#!/usr/bin/env python3
"""Prints one table from the end-to-end JSON and the microbenchmarks' JSON
files (Google Benchmark, one per run; each figure is the median over them):
each figure, the baseline measured in the same runs, the ratio and the bar it
must meet. Exits 1 when a bar is missed.

Usage: report.py E2E_JSON MICRO_JSON..."""
import json
import statistics
import sys

DOCUMENTS = ["social_feed", "geometry", "catalogue", "tool_catalogue", "image_answer"]


def medians(paths):
    rates = {}
    for path in paths:
        with open(path) as f:
            for run in json.load(f)["benchmarks"]:
                if run.get("run_type", "iteration") == "iteration":
                    rates.setdefault(run.get("run_name", run["name"]), []).append(
                        run["bytes_per_second"])
    return {name: statistics.median(found) for name, found in rates.items()}


class Table:
    def __init__(self):
        self.rows = []
        self.missed = []

    def add(self, figure, ours, baseline, unit, ratio, bar=None, higher_is_better=True):
        verdict = ""
        if bar is not None:
            met = ratio >= bar if higher_is_better else ratio <= bar
            verdict = ("ok" if met else "MISSED") + (" (>= %.1f)" if higher_is_better else " (<= %.1f)") % bar
            if not met:
                self.missed.append(figure)
        self.rows.append((figure, "%.2f %s" % (ours, unit), "%.2f %s" % (baseline, unit),
                          "%.2f" % ratio, verdict))

    def print(self):
        header = ("figure", "ours", "baseline", "ratio", "bar")
        widths = [max(len(str(r[i])) for r in self.rows + [header]) for i in range(5)]
        for row in [header] + self.rows:
            print("  ".join(str(c).ljust(w) for c, w in zip(row, widths)).rstrip())


def add_micro(table, rates):
    mb = 1e6
    for operation in ["parse", "compact", "indented"]:
        for document in DOCUMENTS:
            ours = rates["%s/%s/brelvo" % (operation, document)]
            for library, bar in [("rapidjson", 1.0), ("rapidjson_fast", None), ("nlohmann", 3.0),
                                 ("simdjson", None)]:
                theirs = rates.get("%s/%s/%s" % (operation, document, library))
                if theirs is None:
                    continue
                table.add("%s %s vs %s" % (operation, document, library), ours / mb,
                          theirs / mb, "MB/s", ours / theirs, bar)
    # How near to 3x nlohmann any printer could come that takes its float
    # digits from std::to_chars, as ours does.
    for document in DOCUMENTS:
        digits = rates.get("float_digits/%s/std_to_chars" % document)
        if digits is not None:
            nlohmann = rates["compact/%s/nlohmann" % document]
            table.add("std::to_chars alone on %s's floats vs nlohmann compact" % document,
                      digits / mb, nlohmann / mb, "MB/s", digits / nlohmann)
    base64 = rates["base64/image/brelvo"] / 1e9
    table.add("decode_base64 32 MiB image vs bar", base64, 1.5, "GB/s", base64 / 1.5, 1.0)


def add_end_to_end(table, e2e):
    startup = e2e["startup"]
    table.add("--version vs /bin/true", startup["version_seconds"] * 1e3,
              startup["true_seconds"] * 1e3, "ms",
              startup["version_seconds"] / startup["true_seconds"], 2.0, False)
    calls = e2e["calls"]
    per_call = {k: calls[k] / calls["calls"] * 1e6
                for k in ["floor_seconds", "run_seconds", "mcp_seconds", "python_seconds"]}
    floor = per_call["floor_seconds"]
    for name, key, bar in [("run per call", "run_seconds", 1.3),
                           ("MCP tools/call per call", "mcp_seconds", 1.5),
                           ("python stdlib client per call", "python_seconds", None)]:
        table.add("%s vs floor" % name, per_call[key], floor, "us", per_call[key] / floor, bar,
                  False)
    for name, key in [("screenshot 32 MiB", "screenshot"), ("exec 64 MiB answer", "large_exec")]:
        large = e2e[key]
        table.add("%s time vs floor" % name, large["seconds"], large["floor_seconds"], "s",
                  large["seconds"] / large["floor_seconds"])
        table.add("%s peak memory vs answer" % name, large["peak_bytes"] / 2**20,
                  large["answer_bytes"] / 2**20, "MiB",
                  large["peak_bytes"] / large["answer_bytes"], 3.0, False)


def print_documents(path):
    with open(path) as f:
        context = json.load(f)["context"]
    sizes = ["%s %.2f MB" % (d, int(context["document_bytes/" + d]) / 1e6) for d in DOCUMENTS]
    print("documents: " + ", ".join(sizes))
    misrounded = ["%s %s" % (d, context["rapidjson_fast_misrounded/" + d]) for d in DOCUMENTS]
    print("floats rapidjson_fast rounds wrong: " + ", ".join(misrounded) + "\n")


def main():
    table = Table()
    print_documents(sys.argv[2])
    add_micro(table, medians(sys.argv[2:]))
    with open(sys.argv[1]) as f:
        add_end_to_end(table, json.load(f))
    table.print()
    if table.missed:
        print("\nbars missed: %d of %d" % (len(table.missed), sum(1 for r in table.rows if r[4])))
        return 1
    print("\nevery bar met")
    return 0


sys.exit(main())
