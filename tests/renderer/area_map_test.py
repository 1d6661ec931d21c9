#!/usr/bin/env python3
"""The anti-aliasing area table drawn by renderer/make_textures.py: lines without a crossing edge at
either end give no area, and mirrored end patterns give mirrored areas, in the function and in the
texels of the table (tile by the two end patterns, texel by the two distances)."""
import os
import signal
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "renderer"))
import make_textures as mt  # noqa: E402

D = mt.AREA_DISTANCE
NONE, BELOW, ABOVE, BOTH = 0, 1, 3, 4
# Swapping above and below mirrors a pattern across the edge line.
FLIP = {NONE: NONE, BELOW: ABOVE, ABOVE: BELOW, BOTH: BOTH}


class AreaMap(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.rows, cls.size = mt.area_map()

    def texel(self, e1, e2, left, right):
        row = self.rows[e2 * D + right]
        return row[(e1 * D + left) * 4], row[(e1 * D + left) * 4 + 1]

    def test_the_table_is_five_by_five_tiles_of_the_distance(self):
        self.assertEqual(5 * D, self.size)
        self.assertEqual(5 * D, len(self.rows))
        self.assertTrue(all(len(row) == 4 * 5 * D for row in self.rows))

    def test_lines_without_a_crossing_edge_at_either_end_have_no_area(self):
        for e1, e2 in ((NONE, NONE), (NONE, BOTH), (BOTH, NONE), (BOTH, BOTH)):
            for left in range(D):
                for right in range(D):
                    self.assertEqual((0.0, 0.0), mt.edge_area(e1, e2, left, right), (e1, e2, left, right))
                    self.assertEqual((0, 0), self.texel(e1, e2, left, right), (e1, e2, left, right))

    def test_a_crossing_edge_at_one_end_blends_the_pixels_near_it_most(self):
        for e in (BELOW, ABOVE):
            near, far = sum(self.texel(e, NONE, 0, 8)), sum(self.texel(e, NONE, 8, 0))
            self.assertGreater(near, 0, e)
            self.assertGreater(near, far, e)
            self.assertGreater(sum(self.texel(NONE, e, 8, 0)), sum(self.texel(NONE, e, 0, 8)), e)

    @staticmethod
    def every_texel():
        for e1 in mt.END_HEIGHT:
            for e2 in mt.END_HEIGHT:
                for left in range(D):
                    for right in range(D):
                        yield e1, e2, left, right

    def test_a_pattern_mirrored_along_the_line_gives_the_mirrored_area(self):
        for e1, e2, left, right in self.every_texel():
            a, b = mt.edge_area(e1, e2, left, right), mt.edge_area(e2, e1, right, left)
            self.assertAlmostEqual(a[0], b[0], places=9, msg=(e1, e2, left, right))
            self.assertAlmostEqual(a[1], b[1], places=9, msg=(e1, e2, left, right))
            self.assertEqual(self.texel(e1, e2, left, right), self.texel(e2, e1, right, left))

    def test_a_pattern_mirrored_across_the_line_swaps_the_two_areas(self):
        for e1, e2, left, right in self.every_texel():
            a, b = mt.edge_area(e1, e2, left, right), mt.edge_area(FLIP[e1], FLIP[e2], left, right)
            self.assertAlmostEqual(a[0], b[1], places=9, msg=(e1, e2, left, right))
            self.assertAlmostEqual(a[1], b[0], places=9, msg=(e1, e2, left, right))
            r, g = self.texel(e1, e2, left, right)
            self.assertEqual((g, r), self.texel(FLIP[e1], FLIP[e2], left, right))

if __name__ == "__main__":
    # Nothing to undo: an interrupt ends it at once, without a word (Python's own handling prints a traceback).
    signal.signal(signal.SIGINT, signal.SIG_DFL)
    unittest.main()
