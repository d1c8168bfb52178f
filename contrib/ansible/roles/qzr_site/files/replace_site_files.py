#!/usr/bin/env python3
"""Puts a site's files of this run in place of those of its earlier run.

NEW_DIR (a folder inside REPORT_DIR, so that every move is a rename on one
file system) holds what the site's run brought back: SITE.json and, after a
backup, the folder SITE. Each of them replaces its namesake in REPORT_DIR:
the earlier one is first moved aside (into NEW_DIR/.earlier), the new one is
renamed in, then what was moved aside is removed. Should a rename fail, the
ones already done are undone, so that REPORT_DIR holds the earlier files as
they were, and the exit status is 1. What is only in REPORT_DIR (a backup
folder SITE where this run brings a report alone) is left as it is.

Usage: replace_site_files.py NEW_DIR REPORT_DIR SITE
"""

import os
import shutil
import sys

ASIDE = ".earlier"


def replace_site_files(new_dir, report_dir, site):
    """Renames NEW_DIR's SITE.json and SITE into REPORT_DIR; returns the names
    replaced. Raises OSError (everything undone) or ValueError (nothing to
    put in place)."""
    names = [name for name in (site + ".json", site) if os.path.lexists(os.path.join(new_dir, name))]
    if not names:
        raise ValueError(f"{new_dir} holds neither {site}.json nor {site}")
    aside = os.path.join(new_dir, ASIDE)
    os.mkdir(aside)
    moved_aside = []
    moved_in = []
    try:
        for name in names:
            if os.path.lexists(os.path.join(report_dir, name)):
                os.rename(os.path.join(report_dir, name), os.path.join(aside, name))
                moved_aside.append(name)
        for name in names:
            os.rename(os.path.join(new_dir, name), os.path.join(report_dir, name))
            moved_in.append(name)
    except OSError:
        for name in reversed(moved_in):
            os.rename(os.path.join(report_dir, name), os.path.join(new_dir, name))
        for name in reversed(moved_aside):
            os.rename(os.path.join(aside, name), os.path.join(report_dir, name))
        os.rmdir(aside)
        raise
    # The earlier files are no longer needed; should this fail, the role's
    # removal of NEW_DIR takes them.
    shutil.rmtree(aside, ignore_errors=True)
    return names


def main(argv):
    if len(argv) != 3:
        print(__doc__.strip().splitlines()[-1], file=sys.stderr)
        return 2
    new_dir, report_dir, site = argv
    try:
        names = replace_site_files(new_dir, report_dir, site)
    except (OSError, ValueError) as error:
        print(f"{site}: the files of this run were not put in place, the earlier ones are kept: {error}",
              file=sys.stderr)
        return 1
    shown = [name + "/" if name == site else name for name in names]
    print(f"{site}: " + ", ".join(shown) + f" put in place in {report_dir}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
