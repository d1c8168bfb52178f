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
   "failed_sites": [], "sites_without_report": 0, "verified": 2, ...}

A count is given for every result that occurs ("verified", "differs",
"failed", "not started", "interrupted", ...). A site whose report is missing
or unreadable is listed with its "error" and counted in
"sites_without_report"; its cameras are unknown, so the exit status is then
1 (0 otherwise), as it is for a site that failed (below).

--failed SITE REASON names a site whose run failed this time. Its report is
not read even where one is left from an earlier run: none of its cameras is
given as this run's result. The site is listed with the REASON as its
"error", "failed_this_run": true and, under "earlier_files", its files kept
from an earlier run (SITE.json, SITE/) with "earlier_report_time", the UTC
time SITE.json was last written; it is named in "failed_sites" and counted in
"sites_without_report".

--file NAME names the settings file the sites ran with (the controller's
copy) instead of the name each site's report gives (the site's own copy).
--check-mode marks the merged report as made by a dry run ("check_mode":
true): the cameras were only read.

Usage: merge_reports.py --report-dir DIR --output FILE [--file NAME] [--check-mode]
                        [--failed SITE REASON]... SITE...
"""

import argparse
import datetime
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


def earlier_files(report_dir, site):
    """The site's files left from an earlier run, and the time of its report."""
    kept = []
    report_time = None
    report = os.path.join(report_dir, site + ".json")
    if os.path.isfile(report):
        kept.append(site + ".json")
        modified = datetime.datetime.fromtimestamp(os.stat(report).st_mtime, datetime.timezone.utc)
        report_time = modified.strftime("%Y-%m-%dT%H:%M:%SZ")
    if os.path.isdir(os.path.join(report_dir, site)):
        kept.append(site + "/")
    return kept, report_time


def merge(report_dir, sites, settings_file=None, failed_sites=None, check_mode=False):
    """The merged report of SITES, in the order given; FAILED_SITES maps the
    sites whose run failed this time to the reason."""
    failed_sites = failed_sites or {}
    merged_sites = []
    merged_cameras = []
    without_report = 0
    for site in sites:
        name = site + ".json"
        entry = {"site": site, "report": name}
        if site in failed_sites:
            kept, report_time = earlier_files(report_dir, site)
            entry.update({"error": failed_sites[site], "failed_this_run": True, "earlier_files": kept})
            if report_time is not None:
                entry["earlier_report_time"] = report_time
            without_report += 1
            merged_sites.append(entry)
            continue
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
    if check_mode:
        merged["check_mode"] = True
    merged.update({"sites": merged_sites, "cameras": merged_cameras,
                   "failed_sites": [site for site in sites if site in failed_sites],
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
    parser.add_argument("--check-mode", action="store_true", help="the sites ran a dry run (cameras only read)")
    parser.add_argument("--failed", nargs=2, action="append", default=[], metavar=("SITE", "REASON"),
                        help="a site whose run failed this time, and why")
    parser.add_argument("sites", nargs="+", metavar="SITE")
    arguments = parser.parse_args(argv)
    if len(set(arguments.sites)) != len(arguments.sites):
        parser.error("a site is named twice")
    failed_sites = dict(arguments.failed)
    if len(failed_sites) != len(arguments.failed):
        parser.error("a site is named twice with --failed")
    unknown = sorted(set(failed_sites) - set(arguments.sites))
    if unknown:
        parser.error("--failed names a site not given: " + ", ".join(unknown))

    merged = merge(arguments.report_dir, arguments.sites, arguments.file, failed_sites, arguments.check_mode)
    write_atomically(arguments.output, json.dumps(merged, indent=4, ensure_ascii=False) + "\n")

    results = ", ".join(f"{count} {result}" for result, count in sorted(count_results(merged["cameras"]).items()))
    print(f"{len(arguments.sites)} site(s), {len(merged['cameras'])} camera(s)"
          + (f": {results}" if results else ""))
    for site in merged["sites"]:
        if site.get("failed_this_run"):
            kept = site["earlier_files"]
            earlier = (f"; kept from an earlier run ({site.get('earlier_report_time', 'no report')}): "
                       + ", ".join(kept)) if kept else "; no files from an earlier run"
            print(f"{site['site']}: failed this run: {site['error']}{earlier}", file=sys.stderr)
        elif "error" in site:
            print(f"{site['site']}: {site['error']}", file=sys.stderr)
    return 1 if merged["sites_without_report"] else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
