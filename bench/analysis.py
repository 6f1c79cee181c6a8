#!/usr/bin/env python3
"""Helpers of bench/run-benchmarks, working from a tree's manifest.tsv (written by
quillmere-make-tree), which records every file with its role, size, content and signature class.

  check TREE CSV STDOUT         does quillmere's CSV and summary match what the tree holds?
  compare TREE CSV NAME:FORMAT:FILE...
                                duplicate media files of each peer tool against quillmere's,
                                every difference sorted by its cause
  floor TREE LIST               the bytes a byte-exact tool must read, as a quillmere-read-floor list
  table TIMINGS                 the timing table (median wall time, peak memory, ratios)
"""

import collections
import csv
import json
import statistics
import sys

PHOTO = {"jpg", "jpeg", "png", "heic", "heif", "gif", "tiff", "tif", "bmp", "webp", "dng",
         "cr2", "cr3", "nef", "arw", "raf", "orf", "rw2"}
VIDEO = {"mov", "mp4", "m4v", "avi", "mkv", "mts", "m2ts", "3gp", "mpg", "mpeg", "wmv", "webm",
         "insv"}
# A file larger than this is signed by its first and last 128 KiB, a smaller one whole.
WHOLE_SIGNATURE_LIMIT = 262144
EDGE = 131072

WHY_SKIPPED = {
    "hidden-folder": "inside hidden folders (leading \".\"), which quillmere never enters",
    "library-folder": "inside application library packages (.photoslibrary), never entered",
    "tooling-folder": "inside developer-tool folders (node_modules), never entered",
    "apple-double": "\"._\" companion files, skipped by name",
    "empty": "empty files, never candidates",
    "other": "not photos or videos",
}

Entry = collections.namedtuple("Entry", "role size content signature path")


def read_manifest(tree):
    entries = []
    with open(f"{tree}/manifest.tsv", encoding="utf-8") as manifest:
        for line in manifest:
            if line.startswith("#") or line.startswith("role\t"):
                continue
            role, size, content, signature, path = line.rstrip("\n").split("\t", 4)
            entries.append(Entry(role, int(size), content, signature, f"{tree}/{path}"))
    return entries


def is_media(path):
    name = path.rsplit("/", 1)[-1]
    if "." not in name:
        return False
    extension = name.rsplit(".", 1)[-1].lower()
    return extension in PHOTO or extension in VIDEO


def groups_by(entries, key):
    """Lists of two or more entries sharing key(entry), in first-seen order."""
    buckets = collections.defaultdict(list)
    for entry in entries:
        buckets[key(entry)].append(entry)
    return [bucket for bucket in buckets.values() if len(bucket) >= 2]


class Expectation:
    """What a correct scan of the tree reports, from the manifest alone."""

    def __init__(self, entries):
        self.scanned = [e for e in entries if e.role == "media"]
        size_counts = collections.Counter(e.size for e in self.scanned)
        self.candidates = [e for e in self.scanned if size_counts[e.size] >= 2]
        self.clusters = groups_by(self.candidates, lambda e: (e.size, e.signature))
        self.groups = groups_by(self.scanned, lambda e: (e.size, e.content))
        self.rejected = sum(map(len, self.clusters)) - sum(map(len, self.groups))
        self.group_sets = {frozenset(e.path for e in group) for group in self.groups}


def read_quillmere_csv(path):
    groups = collections.defaultdict(set)
    with open(path, newline="", encoding="utf-8") as report:
        for row in csv.DictReader(report):
            groups[row["group"]].add(row["full_path"])
    return [frozenset(group) for group in groups.values()]


def summary_number(stdout_text, label):
    for line in stdout_text.splitlines():
        if line.startswith(label):
            return int(line.split(":", 1)[1].split()[0])
    return 0


def check(tree, csv_path, stdout_path):
    expected = Expectation(read_manifest(tree))
    found = set(read_quillmere_csv(csv_path))
    with open(stdout_path, encoding="utf-8") as stdout:
        summary = stdout.read()
    problems = []
    numbers = [
        ("Media files scanned", len(expected.scanned)),
        ("Duplicate groups", len(expected.groups)),
        ("Redundant files", sum(len(g) - 1 for g in expected.groups)),
        ("Rejected by verify", expected.rejected),
        ("Unreadable (skipped)", 0),
    ]
    for label, want in numbers:
        got = summary_number(summary, label)
        if got != want:
            problems.append(f"{label}: quillmere says {got}, the tree holds {want}")
    missing = expected.group_sets - found
    extra = found - expected.group_sets
    if missing:
        problems.append(f"{len(missing)} duplicate groups of the tree not reported, e.g. "
                        + ", ".join(sorted(next(iter(missing)))))
    if extra:
        problems.append(f"{len(extra)} reported groups that are not groups of the tree, e.g. "
                        + ", ".join(sorted(next(iter(extra)))))
    if problems:
        print("**quillmere does not match the tree:**")
        for problem in problems:
            print(f"- {problem}")
        return 1
    print(f"quillmere matches the tree exactly: {len(expected.scanned)} media files scanned, "
          f"{len(expected.groups)} duplicate groups, "
          f"{sum(len(g) - 1 for g in expected.groups)} redundant files, "
          f"{expected.rejected} rejected by the byte comparison "
          "(same size, first and last 128 KiB, different middle).")
    return 0


def read_blank_line_groups(path):
    """jdupes and fdupes: one path per line, groups separated by an empty line."""
    groups, current = [], []
    with open(path, encoding="utf-8", errors="surrogateescape") as listing:
        for line in listing:
            line = line.rstrip("\n")
            if line:
                current.append(line)
            elif current:
                groups.append(current)
                current = []
    if current:
        groups.append(current)
    return groups


def read_rmlint_json(path):
    """rmlint's json output: duplicates of one group follow one another with one checksum."""
    with open(path, encoding="utf-8") as report:
        records = [r for r in json.load(report) if r.get("type") == "duplicate_file"]
    groups, key = [], None
    for record in records:
        record_key = (record["checksum"], record["size"])
        if record_key != key:
            groups.append([])
            key = record_key
        groups[-1].append(record["path"])
    return groups


def compare(tree, csv_path, peers):
    entries = read_manifest(tree)
    role_of = {e.path: e.role for e in entries}
    quillmere_groups = set(read_quillmere_csv(csv_path))
    quillmere_files = set().union(*quillmere_groups) if quillmere_groups else set()
    unexplained = 0
    print("| Tool | duplicate media files | extra vs quillmere | missing vs quillmere "
          "| groups on the files quillmere scans | differences, by cause |")
    print("|---|---:|---:|---:|---|---|")
    print(f"| quillmere | {len(quillmere_files)} | | | {len(quillmere_groups)} groups | |")
    for peer in peers:
        name, kind, path = peer.split(":", 2)
        groups = read_rmlint_json(path) if kind == "rmlint-json" else read_blank_line_groups(path)
        groups = [[p for p in g if is_media(p)] for g in groups]
        groups = [g for g in groups if len(g) >= 2]
        files = {p for g in groups for p in g}
        group_of = {p: g for g in groups for p in g}
        extra = files - quillmere_files
        missing = quillmere_files - files

        causes = collections.Counter()
        for path in extra:
            role = role_of.get(path, "unknown")
            if role != "media":
                causes[WHY_SKIPPED.get(role, "files not in the tree's manifest")] += 1
            elif all(role_of.get(p) != "media" for p in group_of[path] if p != path):
                causes["scanned photos whose only copies lie in those skipped places"] += 1
            else:
                causes["UNEXPLAINED extra files"] += 1
        if missing:
            causes["UNEXPLAINED missing files"] += len(missing)
        unexplained += sum(n for cause, n in causes.items() if cause.startswith("UNEXPLAINED"))

        on_scanned = {frozenset(p for p in g if role_of.get(p) == "media") for g in groups}
        on_scanned = {g for g in on_scanned if len(g) >= 2}
        agree = "same groups" if on_scanned == quillmere_groups else (
            f"**{len(on_scanned ^ quillmere_groups)} groups differ**")
        explained = "; ".join(f"{n} {cause}" for cause, n in causes.most_common()) or "none"
        print(f"| {name} | {len(files)} | {len(extra)} | {len(missing)} | {agree} "
              f"| {explained} |")
        if agree != "same groups":
            unexplained += 1
    return 1 if unexplained else 0


def floor(tree, list_path):
    expected = Expectation(read_manifest(tree))
    head_tail_bytes = 0
    whole_bytes = 0
    with open(list_path, "w", encoding="utf-8") as listing:
        for e in expected.candidates:
            if e.size > WHOLE_SIGNATURE_LIMIT:
                listing.write(f"0:{EDGE},{e.size - EDGE}:{EDGE}\t{e.path}\n")
                head_tail_bytes += 2 * EDGE
            else:
                listing.write(f"0:{e.size}\t{e.path}\n")
                head_tail_bytes += e.size
        for cluster in expected.clusters:
            for e in cluster:
                listing.write(f"0:-1\t{e.path}\n")
                whole_bytes += e.size
    print(f"{len(expected.scanned)} media files scanned, {len(expected.candidates)} size-collision "
          f"candidates ({head_tail_bytes / 2**30:.2f} GiB signed), "
          f"{sum(map(len, expected.clusters))} files in {len(expected.clusters)} size-and-signature "
          f"clusters ({whole_bytes / 2**30:.2f} GiB compared); "
          f"floor read {(head_tail_bytes + whole_bytes) / 2**30:.2f} GiB")
    return 0


ROWS = ["quillmere", "jdupes", "fdupes", "rmlint", "walk", "read", "floor"]
PEERS = ["jdupes", "fdupes", "rmlint"]


def table(timings_path):
    wall = collections.defaultdict(list)
    rss = collections.defaultdict(list)
    with open(timings_path, encoding="utf-8") as timings:
        for line in timings:
            tool, mode, seconds, kilobytes = line.split()
            wall[tool, mode].append(float(seconds))
            rss[tool, mode].append(int(kilobytes))
    modes = [m for m in ("warm", "cold") if any(mode == m for _, mode in wall)]
    median = {key: statistics.median(values) for key, values in wall.items()}
    peak = {key: max(values) for key, values in rss.items()}
    for mode in modes:
        if ("walk", mode) in median and ("read", mode) in median:
            median["floor", mode] = median["walk", mode] + median["read", mode]
    runs = {len(values) for values in wall.values()}

    header = "| Tool |"
    rule = "|---|"
    for mode in modes:
        header += f" {mode}: median s | {mode}: peak MB | quillmere / tool ({mode}) |"
        rule += "---:|---:|---:|"
    print(header)
    print(rule)
    for tool in ROWS:
        if not any((tool, m) in median for m in modes):
            continue
        label = "floor (walk + read)" if tool == "floor" else tool
        line = f"| {label} |"
        for mode in modes:
            seconds = median.get((tool, mode))
            mine = median.get(("quillmere", mode))
            line += f" {seconds:.2f} |" if seconds is not None else " |"
            line += f" {peak[tool, mode] / 1024:.0f} |" if (tool, mode) in peak else " |"
            compared = tool in PEERS or tool == "floor"
            ratio = mine / seconds if compared and seconds and mine is not None else None
            line += f" {ratio:.2f} |" if ratio is not None else " |"
        print(line)
    print()
    cold = "; caches dropped before every cold run" if "cold" in modes else ""
    print(f"Runs per cell: {', '.join(map(str, sorted(runs)))} (after one untimed warm-up run "
          f"in the warm columns{cold}).")
    for mode in modes:
        mine = median.get(("quillmere", mode))
        if mine is None:
            continue
        peers = [(median[p, mode], p) for p in PEERS if (p, mode) in median]
        notes = []
        if peers:
            fastest, name = min(peers)
            notes.append(f"quillmere / fastest peer ({name}) = {mine / fastest:.2f}")
        if ("floor", mode) in median:
            notes.append(f"quillmere / floor = {mine / median['floor', mode]:.2f}")
        if ("jdupes", mode) in peak:
            notes.append("peak memory quillmere / jdupes = "
                         f"{peak['quillmere', mode] / peak['jdupes', mode]:.2f}")
        print(f"- {mode}: " + "; ".join(notes))
    return 0


def main(argv):
    if len(argv) >= 4 and argv[1] == "check":
        return check(argv[2], argv[3], argv[4])
    if len(argv) >= 4 and argv[1] == "compare":
        return compare(argv[2], argv[3], argv[4:])
    if len(argv) == 4 and argv[1] == "floor":
        return floor(argv[2], argv[3])
    if len(argv) == 3 and argv[1] == "table":
        return table(argv[2])
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
