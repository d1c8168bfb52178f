#!/usr/bin/env python3
"""The merge of the sites' reports (the role's files/merge_reports.py).

Usage: test_merge_reports.py PATH_OF_merge_reports.py [unittest options]
"""

import contextlib
import importlib.util
import io
import json
import os
import sys
import tempfile
import unittest

MERGE_SCRIPT = sys.argv.pop(1) if len(sys.argv) > 1 else None


def load_merge():
    module_location = importlib.util.spec_from_file_location("merge_reports", MERGE_SCRIPT)
    module = importlib.util.module_from_spec(module_location)
    module_location.loader.exec_module(module)
    return module


NORTH = """{
    "file": "golden.txt",
    "cameras": [
        {"host": "10.1.0.11:80", "result": "verified", "seconds": 1.612},
        {"host": "10.1.0.12:80", "result": "differs", "seconds": 1.7,
         "differences": [{"line": 6, "setting": "Encoder 1 frame rate", "file": "15", "camera": "30"}]},
        {"host": "10.1.0.13:8080", "result": "failed", "seconds": 0.001,
         "error": "Socket Error # 111\\r\\nConnection refused."}
    ],
    "verified": 1, "differs": 1, "failed": 1
}"""

HARBOUR = """{
    "file": "golden.txt",
    "cameras": [
        {"host": "172.16.5.21:80", "result": "verified", "seconds": 1.6},
        {"host": "172.16.5.22:80", "result": "not started", "seconds": 0},
        {"host": "172.16.5.23:80", "result": "interrupted", "seconds": 0.8, "writes": 4}
    ],
    "verified": 1, "differs": 0, "failed": 0, "not started": 1, "interrupted": 1
}"""


class MergeReportsTest(unittest.TestCase):
    def setUp(self):
        self.merge_reports = load_merge()
        self.folder = tempfile.TemporaryDirectory()
        self.dir = self.folder.name

    def tearDown(self):
        self.folder.cleanup()

    def write(self, name, text):
        with open(os.path.join(self.dir, name), "w", encoding="utf-8") as stream:
            stream.write(text)

    def run_main(self, *arguments):
        output = os.path.join(self.dir, "merged.json")
        stdout, stderr = io.StringIO(), io.StringIO()
        with contextlib.redirect_stdout(stdout), contextlib.redirect_stderr(stderr):
            status = self.merge_reports.main(["--report-dir", self.dir, "--output", output, *arguments])
        with open(output, encoding="utf-8") as stream:
            return status, json.load(stream), stdout.getvalue(), stderr.getvalue()

    def test_sites_merge_in_order_with_every_camera_and_the_counts(self):
        """Each camera keeps what its site reported and gains the site's name; counts add up."""
        self.write("north.json", NORTH)
        self.write("harbour.json", HARBOUR)
        status, merged, stdout, stderr = self.run_main("north", "harbour")

        self.assertEqual(status, 0)
        self.assertEqual(stdout, "2 site(s), 6 camera(s): 1 differs, 1 failed, 1 interrupted, 1 not started, "
                                 "2 verified\n")
        self.assertEqual(stderr, "")
        self.assertEqual([(c["site"], c["host"], c["result"]) for c in merged["cameras"]], [
            ("north", "10.1.0.11:80", "verified"),
            ("north", "10.1.0.12:80", "differs"),
            ("north", "10.1.0.13:8080", "failed"),
            ("harbour", "172.16.5.21:80", "verified"),
            ("harbour", "172.16.5.22:80", "not started"),
            ("harbour", "172.16.5.23:80", "interrupted"),
        ])
        self.assertEqual(merged["cameras"][1]["differences"],
                         [{"line": 6, "setting": "Encoder 1 frame rate", "file": "15", "camera": "30"}])
        self.assertEqual(merged["cameras"][2]["error"], "Socket Error # 111\r\nConnection refused.")
        self.assertEqual(merged["cameras"][5]["writes"], 4)
        self.assertEqual(merged["sites"], [
            {"site": "north", "report": "north.json", "file": "golden.txt", "cameras": 3,
             "verified": 1, "differs": 1, "failed": 1},
            {"site": "harbour", "report": "harbour.json", "file": "golden.txt", "cameras": 3,
             "verified": 1, "not started": 1, "interrupted": 1},
        ])
        self.assertEqual({key: merged[key] for key in merged if key not in ("sites", "cameras")},
                         {"failed_sites": [], "sites_without_report": 0, "verified": 2, "differs": 1, "failed": 1,
                          "not started": 1, "interrupted": 1})

    def test_the_controllers_settings_file_replaces_the_sites_copies(self):
        self.write("north.json", NORTH.replace('"golden.txt"', '"/tmp/qzr-site.x1/settings.txt"'))
        status, merged, _, _ = self.run_main("--file", "/home/installer/golden.txt", "north")
        self.assertEqual(status, 0)
        self.assertEqual(merged["file"], "/home/installer/golden.txt")
        self.assertEqual(merged["sites"][0]["file"], "/home/installer/golden.txt")

    def test_a_site_without_a_usable_report_is_named_and_fails_the_merge(self):
        """Missing, broken or camera-less reports are listed per site; the others still merge."""
        self.write("north.json", NORTH)
        self.write("broken.json", '{"cameras": [')
        self.write("empty.json", '{"file": "golden.txt"}')
        self.write("hostless.json", '{"cameras": [{"result": "verified"}]}')
        status, merged, stdout, stderr = self.run_main("north", "gone", "broken", "empty", "hostless")

        self.assertEqual(status, 1)
        self.assertEqual(stdout, "5 site(s), 3 camera(s): 1 differs, 1 failed, 1 verified\n")
        errors = {site["site"]: site.get("error") for site in merged["sites"]}
        self.assertIsNone(errors["north"])
        self.assertEqual(errors["gone"], "no report (the site's run did not write or return one)")
        self.assertTrue(errors["broken"].startswith("unreadable report: "), errors["broken"])
        self.assertEqual(errors["empty"], "unreadable report: no list of cameras")
        self.assertEqual(errors["hostless"], "unreadable report: a camera without host or result")
        self.assertEqual(merged["sites_without_report"], 4)
        self.assertEqual(len(merged["cameras"]), 3)
        for site in ("gone", "broken", "empty", "hostless"):
            self.assertIn(f"{site}: ", stderr)

    def test_a_site_that_failed_this_run_is_not_given_its_earlier_report(self):
        """A failed site's earlier files are named as such, never merged as this run's cameras."""
        self.write("north.json", NORTH)
        self.write("harbour.json", HARBOUR)
        os.mkdir(os.path.join(self.dir, "harbour"))
        os.utime(os.path.join(self.dir, "harbour.json"), (1714564800, 1714564800))  # 2024-05-01 12:00:00 UTC
        status, merged, stdout, stderr = self.run_main(
            "--failed", "harbour", "Check that qzr ran through: qzr save ended with exit status 2 and no report",
            "--failed", "quay", "the site's PC is unreachable",
            "north", "harbour", "quay")

        self.assertEqual(status, 1)
        self.assertEqual(stdout, "3 site(s), 3 camera(s): 1 differs, 1 failed, 1 verified\n")
        self.assertEqual([(c["site"], c["host"]) for c in merged["cameras"]],
                         [("north", "10.1.0.11:80"), ("north", "10.1.0.12:80"), ("north", "10.1.0.13:8080")])
        self.assertEqual(merged["sites"][1:], [
            {"site": "harbour", "report": "harbour.json",
             "error": "Check that qzr ran through: qzr save ended with exit status 2 and no report",
             "failed_this_run": True, "earlier_files": ["harbour.json", "harbour/"],
             "earlier_report_time": "2024-05-01T12:00:00Z"},
            {"site": "quay", "report": "quay.json", "error": "the site's PC is unreachable",
             "failed_this_run": True, "earlier_files": []},
        ])
        self.assertEqual((merged["failed_sites"], merged["sites_without_report"]), (["harbour", "quay"], 2))
        self.assertEqual((merged["verified"], merged.get("not started"), merged.get("interrupted")), (1, None, None))
        self.assertEqual(stderr.splitlines(), [
            "harbour: failed this run: Check that qzr ran through: qzr save ended with exit status 2 and no "
            "report; kept from an earlier run (2024-05-01T12:00:00Z): harbour.json, harbour/",
            "quay: failed this run: the site's PC is unreachable; no files from an earlier run",
        ])

    def test_a_dry_run_is_marked(self):
        self.write("north.json", NORTH)
        status, merged, _, _ = self.run_main("--check-mode", "north")
        self.assertEqual((status, merged["check_mode"]), (0, True))
        _, merged, _, _ = self.run_main("north")
        self.assertNotIn("check_mode", merged)

    def test_sites_named_twice_or_failed_but_not_given_are_usage_errors(self):
        self.write("north.json", NORTH)
        for arguments in (["north", "north"],
                          ["--failed", "north", "a", "--failed", "north", "b", "north"],
                          ["--failed", "south", "unreachable", "north"]):
            with self.subTest(arguments=arguments):
                with contextlib.redirect_stderr(io.StringIO()), self.assertRaises(SystemExit) as raised:
                    self.merge_reports.main(["--report-dir", self.dir, "--output", os.path.join(self.dir, "m.json"),
                                             *arguments])
                self.assertEqual(raised.exception.code, 2)
                self.assertFalse(os.path.exists(os.path.join(self.dir, "m.json")))


if __name__ == "__main__":
    if not MERGE_SCRIPT:
        sys.exit("usage: test_merge_reports.py PATH_OF_merge_reports.py")
    unittest.main()
