#!/usr/bin/env python3
"""How the role puts a site's fresh files in place (files/replace_site_files.py).

Usage: test_replace_site_files.py PATH_OF_replace_site_files.py [unittest options]
"""

import contextlib
import importlib.util
import io
import os
import sys
import tempfile
import unittest
from unittest import mock

REPLACE_SCRIPT = sys.argv.pop(1) if len(sys.argv) > 1 else None


def load_replace():
    module_location = importlib.util.spec_from_file_location("replace_site_files", REPLACE_SCRIPT)
    module = importlib.util.module_from_spec(module_location)
    module_location.loader.exec_module(module)
    return module


class ReplaceSiteFilesTest(unittest.TestCase):
    def setUp(self):
        self.replace = load_replace()
        self.folder = tempfile.TemporaryDirectory()
        self.reports = self.folder.name
        self.new = os.path.join(self.reports, ".north.new")
        os.mkdir(self.new)

    def tearDown(self):
        self.folder.cleanup()

    def write(self, path, text):
        path = os.path.join(self.reports, path)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "w", encoding="utf-8") as stream:
            stream.write(text)

    def tree(self):
        """Every file under the reports folder with its text."""
        files = {}
        for folder, _, names in os.walk(self.reports):
            for name in names:
                path = os.path.join(folder, name)
                with open(path, encoding="utf-8") as stream:
                    files[os.path.relpath(path, self.reports)] = stream.read()
        return files

    def run_main(self, *arguments):
        stdout, stderr = io.StringIO(), io.StringIO()
        with contextlib.redirect_stdout(stdout), contextlib.redirect_stderr(stderr):
            status = self.replace.main(list(arguments))
        return status, stdout.getvalue(), stderr.getvalue()

    def test_the_new_files_replace_the_earlier_ones_whole(self):
        """A backup replaces report and folder (no earlier camera file stays); a
        report alone leaves the backup folder; a first run has nothing to replace."""
        self.write("north.json", "earlier index")
        self.write("north/10.1.0.11_80.txt", "earlier 11")
        self.write("north/10.1.0.12_80.txt", "earlier 12")
        self.write("north/index.json", "earlier index")
        self.write("south.json", "south's report")
        self.write(".north.new/north.json", "new index")
        self.write(".north.new/north/10.1.0.11_80.txt", "new 11")
        self.write(".north.new/north/index.json", "new index")

        status, stdout, stderr = self.run_main(self.new, self.reports, "north")
        self.assertEqual((status, stderr), (0, ""))
        self.assertEqual(stdout, f"north: north.json, north/ put in place in {self.reports}\n")
        self.assertEqual(self.tree(), {"north.json": "new index", "north/10.1.0.11_80.txt": "new 11",
                                       "north/index.json": "new index", "south.json": "south's report"})
        self.assertEqual(os.listdir(self.new), [])

        self.write(".north.new/north.json", "a clone's report")
        self.assertEqual(self.run_main(self.new, self.reports, "north")[0], 0)
        self.assertEqual(self.tree(), {"north.json": "a clone's report", "north/10.1.0.11_80.txt": "new 11",
                                       "north/index.json": "new index", "south.json": "south's report"})

        self.write(".harbour.new/harbour.json", "first report")
        status, _, _ = self.run_main(os.path.join(self.reports, ".harbour.new"), self.reports, "harbour")
        self.assertEqual(status, 0)
        self.assertEqual(self.tree()["harbour.json"], "first report")

    def test_a_failing_rename_puts_the_earlier_files_back(self):
        self.write("north.json", "earlier index")
        self.write("north/10.1.0.11_80.txt", "earlier 11")
        self.write(".north.new/north.json", "new index")
        self.write(".north.new/north/10.1.0.11_80.txt", "new 11")
        earlier = {"north.json": "earlier index", "north/10.1.0.11_80.txt": "earlier 11"}
        at_failure = {}
        real_rename = os.rename

        def rename_failing_at_the_new_folder(source, destination):
            if source == os.path.join(self.new, "north"):
                at_failure.update(self.tree())
                raise OSError(28, "No space left on device")
            real_rename(source, destination)

        with mock.patch.object(self.replace.os, "rename", rename_failing_at_the_new_folder):
            status, stdout, stderr = self.run_main(self.new, self.reports, "north")
        self.assertEqual((status, stdout), (1, ""))
        self.assertIn("north: the files of this run were not put in place, the earlier ones are kept: ", stderr)
        self.assertIn("No space left on device", stderr)
        # The failure came with both earlier ones moved aside and the new report in.
        self.assertEqual({path: text for path, text in at_failure.items() if not path.startswith(".")},
                         {"north.json": "new index"})
        self.assertEqual({path: text for path, text in self.tree().items() if not path.startswith(".")}, earlier)
        self.assertEqual(sorted(os.listdir(self.new)), ["north", "north.json"])

    def test_nothing_to_put_in_place_is_an_error(self):
        self.write("north.json", "earlier index")
        status, _, stderr = self.run_main(self.new, self.reports, "north")
        self.assertEqual(status, 1)
        self.assertIn("holds neither north.json nor north", stderr)
        self.assertEqual(self.tree(), {"north.json": "earlier index"})


if __name__ == "__main__":
    if not REPLACE_SCRIPT:
        sys.exit("usage: test_replace_site_files.py PATH_OF_replace_site_files.py")
    unittest.main()
