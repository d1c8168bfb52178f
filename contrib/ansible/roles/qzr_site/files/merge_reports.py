#!/usr/bin/env python3
"""Merges the JSON reports of several sites into one report.

Each site's report is REPORT_DIR/SITE.json, as `qzr clone --report`,
`qzr diff --report` or `qzr save --hosts` (its index.json) wrote it: an
object with a "cameras" list, each camera with its "host" and "result". The
merged report has the same shape, so what reads one site's report reads it
too:

  {"sites": [{"site": "north", "report": "north.json", "file": "golden.txt",
              "cameras": 2, "verified": 2}, ...],
   "cameras": [{"site": "north", "host": "10.1.0.5:80", "result": "verified",
                ...the camera's other fields as the site reported them}, ...],
   "sites_without_report": 0, "verified": 2, ...}

A count is given for every result that occurs ("verified", "differs",
"failed", "not started", ...). A site whose report is missing or unreadable
is listed with its "error" and counted in "sites_without_report"; its
cameras are unknown, so the exit status is then 1 (0 otherwise).

--file NAME names the settings file the sites ran with (the controller's
copy) instead of the name each site's report gives (the site's own copy).

Usage: merge_reports.py --report-dir DIR --output FILE [--file NAME] SITE...
"""

import argparse
import json
import os
import sys
import tempfile


def read_site_report(path):
    """The site's report, or raises ValueError with the reason."""
    try:
        with open(path, encoding="utf-8") as stream:
            report = json.load(stream)
    except FileNotFoundError:
        raise ValueError("no report (the site's run did not write or return one)")
    except (OSError, UnicodeDecodeError, json.JSONDecodeError) as error:
        raise ValueError(f"unreadable report: {error}")
    cameras = report.get("cameras") if isinstance(report, dict) else None
    if not isinstance(cameras, list):
        raise ValueError("unreadable report: no list of cameras")
    for camera in cameras:
        if not isinstance(camera, dict) or not isinstance(camera.get("host"), str) \
                or not isinstance(camera.get("result"), str):
            raise ValueError("unreadable report: a camera without host or result")
    return report


def count_results(cameras):
    counts = {}
    for camera in cameras:
        counts[camera["result"]] = counts.get(camera["result"], 0) + 1
    return counts


def merge(report_dir, sites, settings_file=None):
    """The merged report of SITES, in the order given."""
    merged_sites = []
    merged_cameras = []
    without_report = 0
    for site in sites:
        name = site + ".json"
        entry = {"site": site, "report": name}
        try:
            report = read_site_report(os.path.join(report_dir, name))
        except ValueError as error:
            entry["error"] = str(error)
            without_report += 1
            merged_sites.append(entry)
            continue
        if settings_file is not None:
            entry["file"] = settings_file
        elif isinstance(report.get("file"), str):
            entry["file"] = report["file"]
        cameras = [dict({"site": site}, **camera) for camera in report["cameras"]]
        entry["cameras"] = len(cameras)
        entry.update(count_results(cameras))
        merged_sites.append(entry)
        merged_cameras.extend(cameras)
    merged = {} if settings_file is None else {"file": settings_file}
    merged.update({"sites": merged_sites, "cameras": merged_cameras,
                   "sites_without_report": without_report})
    merged.update(count_results(merged_cameras))
    return merged


def write_atomically(path, text):
    folder = os.path.dirname(os.path.abspath(path))
    handle, temporary = tempfile.mkstemp(dir=folder, prefix=".merge-", suffix=".json")
    try:
        with os.fdopen(handle, "w", encoding="utf-8") as stream:
            stream.write(text)
        os.chmod(temporary, 0o644)
        os.replace(temporary, path)
    except BaseException:
        os.unlink(temporary)
        raise


def main(argv):
    parser = argparse.ArgumentParser(description="Merge the sites' JSON reports into one.")
    parser.add_argument("--report-dir", required=True, help="folder of the sites' reports, SITE.json each")
    parser.add_argument("--output", required=True, help="the merged report to write")
    parser.add_argument("--file", help="the settings file the sites ran with, named in the merged report")
    parser.add_argument("sites", nargs="+", metavar="SITE")
    arguments = parser.parse_args(argv)
    if len(set(arguments.sites)) != len(arguments.sites):
        parser.error("a site is named twice")

    merged = merge(arguments.report_dir, arguments.sites, arguments.file)
    write_atomically(arguments.output, json.dumps(merged, indent=4, ensure_ascii=False) + "\n")

    results = ", ".join(f"{count} {result}" for result, count in sorted(count_results(merged["cameras"]).items()))
    print(f"{len(arguments.sites)} site(s), {len(merged['cameras'])} camera(s)"
          + (f": {results}" if results else ""))
    for site in merged["sites"]:
        if "error" in site:
            print(f"{site['site']}: {site['error']}", file=sys.stderr)
    return 1 if merged["sites_without_report"] else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
