"""Fax documents as the fax service hands them to the provider, for the stress
run and the benchmarks: pages of random black bars, each page its own, made
with libtiff's tools in well under a second a page (ImageMagick's drawing
takes many seconds on a busy machine), and long documents that repeat four
such pages.
"""
import os
import random
import subprocess

FAX_WIDTH = 1728
HEIGHTS = {"fine": (2292, 196), "normal": (1146, 98)}
TIFFCP_CODING = {"g4": "g4", "g3": "g3:1d:fill", "g3-2d": "g3:2d:fill"}


def make_fax(path, pages, resolution="fine", coding="g4", seed=0):
    """A fax document of random black bars, each page its own, made in well under
    a second a page (ImageMagick's drawing takes many seconds on a busy machine)."""
    height, y_dpi = HEIGHTS[resolution]
    chooser = random.Random("%s-%d-%d" % (path, pages, seed))
    stride = FAX_WIDTH // 8
    page_files = []
    for page in range(pages):
        rows = bytearray(stride * height)
        for _ in range(60):
            x, y = chooser.randrange(stride - 24), chooser.randrange(height - 60)
            width, depth = chooser.randrange(1, 24), chooser.randrange(2, 60)
            for row in range(y, y + depth):
                rows[row * stride + x:row * stride + x + width] = b"\xff" * width
        # Lines of "text": glyph-sized specks, so a page codes to tens of
        # kilobytes as a typed page does.
        for line in range(0, height - 40, height // 10):
            glyphs = bytes(chooser.getrandbits(8) if chooser.random() < 0.6 else 0 for _ in range(stride))
            for row in range(line, line + 16, 2):
                rows[row * stride:(row + 1) * stride] = glyphs
        page_file = "%s.page%d" % (path, page)
        with open(page_file + ".pbm", "wb") as pbm:
            pbm.write(b"P4\n%d %d\n" % (FAX_WIDTH, height) + bytes(rows))
        subprocess.run(["ppm2tiff", "-c", "none", "-R", "204", page_file + ".pbm", page_file + ".tif"], check=True)
        os.unlink(page_file + ".pbm")
        page_files.append(page_file + ".tif")
    subprocess.run(["tiffcp", "-c", TIFFCP_CODING[coding], "-r", "100000", *page_files, path], check=True)
    for page, page_file in enumerate(page_files):
        os.unlink(page_file)
        subprocess.run(["tiffset", "-d", str(page), "-s", "283", str(y_dpi), path], check=True)
    return path


def make_long_fax(folder, pages, coding="g3"):
    """A fine-resolution fax of the given number of pages (a multiple of four)."""
    four = os.path.join(folder, "four-%s.tif" % coding)
    if not os.path.exists(four):
        make_fax(four, 4, "fine", coding)
    fax = os.path.join(folder, "fax%d.tif" % pages)
    subprocess.run(["tiffcp", *[four] * (pages // 4), fax], check=True)
    return fax
