#!/usr/bin/env python3
"""Prints one table from the end-to-end JSON and the microbenchmarks' JSON
files (Google Benchmark, one per run): each figure as the median over the
runs with the least and the most beside it, the baseline measured in the
same runs, the ratio and the bar it must meet. Exits 1 when a bar is missed.

Usage: report.py E2E_JSON MICRO_JSON..."""
import json
import statistics
import sys

DOCUMENTS = ["social_feed", "geometry", "catalogue", "tool_catalogue", "image_answer"]
# The least ours over each library's throughput may be.
BARS = {"rapidjson": 1.0, "nlohmann": 3.0}
# The most a printing figure may spread, max over min of its repetitions.
PRINT_SPREAD = 1.3


class Samples:
    """One figure's repetitions."""

    def __init__(self, values):
        self.values = sorted(values)

    @property
    def median(self):
        return statistics.median(self.values)

    @property
    def spread(self):
        return self.values[-1] / self.values[0]

    def text(self, scale, unit):
        return "%.2f %s [%.2f-%.2f]" % (self.median * scale, unit, self.values[0] * scale,
                                        self.values[-1] * scale)


def micro_samples(paths):
    rates = {}
    for path in paths:
        with open(path) as f:
            for run in json.load(f)["benchmarks"]:
                if run.get("run_type", "iteration") == "iteration":
                    rates.setdefault(run.get("run_name", run["name"]), []).append(
                        run["bytes_per_second"])
    return {name: Samples(found) for name, found in rates.items()}


class Table:
    def __init__(self):
        self.rows = []
        self.missed = []

    def add(self, figure, ours, baseline, ratio, bar=None, higher_is_better=True):
        """ours and baseline are texts; ratio is a Samples (median shown,
        spread in brackets) or a number."""
        shown = ratio.median if isinstance(ratio, Samples) else ratio
        verdict = ""
        if bar is not None:
            met = shown >= bar if higher_is_better else shown <= bar
            verdict = ("ok" if met else "MISSED") + (" (>= %.2f)" if higher_is_better else " (<= %.2f)") % bar
            if not met:
                self.missed.append(figure)
        ratio_text = "%.2f" % shown
        if isinstance(ratio, Samples):
            ratio_text += " [%.2f-%.2f]" % (ratio.values[0], ratio.values[-1])
        self.rows.append((figure, ours, baseline, ratio_text, verdict))

    def add_noise(self, figure, measured, wanted, noise_ratio):
        """A figure whose pairs fell below the floor too often to be measured."""
        self.missed.append(figure)
        self.rows.append((figure, "-", "-", "noise", "NOT MEASURED: %d pairs below %.1fx the "
                          "floor, %d of %d kept; run again" % (
                              measured["noise"], noise_ratio, len(measured["pairs"]), wanted)))

    def print(self):
        header = ("figure", "ours [min-max]", "baseline [min-max]", "ratio", "bar")
        widths = [max(len(str(r[i])) for r in self.rows + [header]) for i in range(5)]
        for row in [header] + self.rows:
            print("  ".join(str(c).ljust(w) for c, w in zip(row, widths)).rstrip())


def add_micro(table, samples):
    mb = 1e-6
    for operation in ["parse", "compact", "indented"]:
        for document in DOCUMENTS:
            ours = samples["%s/%s/brelvo" % (operation, document)]
            for library in ["rapidjson", "rapidjson_fast", "nlohmann", "simdjson"]:
                theirs = samples.get("%s/%s/%s" % (operation, document, library))
                if theirs is None:
                    continue
                table.add("%s %s vs %s" % (operation, document, library), ours.text(mb, "MB/s"),
                          theirs.text(mb, "MB/s"), ours.median / theirs.median,
                          BARS.get(library))
    # A printing figure that moves between repetitions cannot be trusted;
    # RapidJSON's spread beside it says what the machine alone does.
    for operation in ["compact", "indented"]:
        for document in DOCUMENTS:
            ours = samples["%s/%s/brelvo" % (operation, document)]
            theirs = samples["%s/%s/rapidjson" % (operation, document)]
            table.add("%s %s spread (max/min) vs rapidjson's" % (operation, document),
                      "%.2f" % ours.spread, "%.2f" % theirs.spread, ours.spread, PRINT_SPREAD,
                      False)
    # How near to 3x nlohmann any printer could come that takes its float
    # digits where ours does, on the document of floats.
    digits = samples["float_digits/geometry/brelvo"]
    nlohmann = samples["compact/geometry/nlohmann"]
    table.add("shortest digits alone on geometry's floats vs nlohmann compact",
              digits.text(mb, "MB/s"), nlohmann.text(mb, "MB/s"), digits.median / nlohmann.median)
    base64 = samples["base64/image/brelvo"]
    table.add("decode_base64 32 MiB image vs bar", base64.text(1e-9, "GB/s"), "1.50 GB/s",
              base64.median / 1.5e9, 1.0)


def add_pairs(table, e2e, figure, measured, scale, unit, bar):
    """One end-to-end figure from its alternated (baseline, ours) pairs."""
    pairs = measured["pairs"]
    if len(pairs) < e2e["repetitions"]:
        table.add_noise(figure, measured, e2e["repetitions"], e2e["noise_ratio"])
        return
    baseline = Samples([b for b, _ in pairs])
    ours = Samples([o for _, o in pairs])
    table.add(figure, ours.text(scale, unit), baseline.text(scale, unit),
              Samples([o / b for b, o in pairs]), bar, False)


def add_end_to_end(table, e2e):
    add_pairs(table, e2e, "--version vs /bin/true", e2e["startup"], 1e3, "ms", 1.2)
    calls = e2e["calls"]
    per_call = 1e6 / calls["calls"]
    for name, key, bar in [("run per call", "run", 1.15),
                           ("MCP tools/call per call", "mcp", 1.15),
                           ("python stdlib client per call", "python", None)]:
        add_pairs(table, e2e, "%s vs floor" % name, calls[key], per_call, "us", bar)
    for name, key, time_bar, memory_bar in [("screenshot 32 MiB", "screenshot", 1.25, 3.0),
                                            ("exec 64 MiB answer", "large_exec", 1.5, 2.0)]:
        large = e2e[key]
        add_pairs(table, e2e, "%s time vs floor" % name, large, 1, "s", time_bar)
        table.add("%s peak memory vs answer" % name, "%.2f MiB" % (large["peak_bytes"] / 2**20),
                  "%.2f MiB" % (large["answer_bytes"] / 2**20),
                  large["peak_bytes"] / large["answer_bytes"], memory_bar, False)


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
    add_micro(table, micro_samples(sys.argv[2:]))
    with open(sys.argv[1]) as f:
        add_end_to_end(table, json.load(f))
    table.print()
    if table.missed:
        print("\nbars missed: %d of %d" % (len(table.missed), sum(1 for r in table.rows if r[4])))
        return 1
    print("\nevery bar met")
    return 0


sys.exit(main())
