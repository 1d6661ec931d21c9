#!/usr/bin/env python3
"""Builds the engine's working source tree: the pristine sources, our patch series applied in name order,
then our added files laid over them. Only files whose content changed are rewritten, so a change to one
patch rebuilds only what it touches.

usage: patch_tree.py PRISTINE PATCH_DIR OVERLAY_DIR OUT_DIR
"""
import filecmp
import os
import shutil
import subprocess
import sys
import tempfile

import quiet_interrupt


def main():
    if len(sys.argv) != 5:
        print(__doc__, file=sys.stderr)
        return 2
    pristine, patch_dir, overlay_dir, out_dir = sys.argv[1:]
    with tempfile.TemporaryDirectory(prefix="qirn-engine-") as stage:
        tree = os.path.join(stage, "tree")
        shutil.copytree(pristine, tree, symlinks=True,
                        ignore=shutil.ignore_patterns(".qirn-*", ".pc"))
        patches = sorted(p for p in os.listdir(patch_dir) if p.endswith(".patch")) if os.path.isdir(patch_dir) else []
        for name in patches:
            with open(os.path.join(patch_dir, name), "rb") as f:
                run = subprocess.run(["patch", "-p1", "--batch", "--forward", "--no-backup-if-mismatch", "-s"],
                                     cwd=tree, stdin=f, capture_output=True)
            if run.returncode != 0:
                sys.stderr.write("patch %s does not apply:\n%s%s" % (name, run.stdout.decode(), run.stderr.decode()))
                return 1
        if os.path.isdir(overlay_dir):
            for root, _, files in os.walk(overlay_dir):
                for fn in files:
                    src = os.path.join(root, fn)
                    dst = os.path.join(tree, os.path.relpath(src, overlay_dir))
                    os.makedirs(os.path.dirname(dst), exist_ok=True)
                    shutil.copyfile(src, dst)
        sync(tree, out_dir)
    return 0


def sync(src_dir, dst_dir):
    wanted = set()
    for root, _, files in os.walk(src_dir):
        for fn in files:
            rel = os.path.relpath(os.path.join(root, fn), src_dir)
            wanted.add(rel)
            src = os.path.join(src_dir, rel)
            dst = os.path.join(dst_dir, rel)
            if os.path.isfile(dst) and filecmp.cmp(src, dst, shallow=False):
                continue
            os.makedirs(os.path.dirname(dst), exist_ok=True)
            shutil.copyfile(src, dst)
    for root, _, files in os.walk(dst_dir):
        for fn in files:
            rel = os.path.relpath(os.path.join(root, fn), dst_dir)
            if rel not in wanted:
                os.remove(os.path.join(dst_dir, rel))


if __name__ == "__main__":
    quiet_interrupt.install()
    sys.exit(main())
