#!/usr/bin/python3
"""Real fax documents through `faxtiff restructure`, judged by libtiff's tools.

Documents come from ImageMagick and libtiff (MH, MR and MMR; one and many
pages; 204x98 and 204x196; fax2tiff output; MMR carrying a T4Options entry as
the fax service writes it). Every result must decode page by page with
`tiffinfo -D`, show the same pixels as its source (`tiffcmp -t`) and have the
flat T.37 layout. Documents faxtiff must refuse come from the same tools.

usage: faxtiff_documents.py FAXTIFF
"""
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest

FAXTIFF = None
# ImageMagick's own convert, whatever else the PATH offers under that name.
CONVERT = "/usr/bin/convert"

NORMAL = "204x98"
FINE = "204x196"

# libtiff knows T6Options only on MMR pages and T4Options only on T.4 pages;
# it warns about the other and decodes anyway.
HARMLESS_WARNING = re.compile(r"Warning, Unknown field with tag 29[23] ")


def run(*args, check=True):
    result = subprocess.run([str(a) for a in args], capture_output=True, text=True)
    if check and result.returncode != 0:
        raise AssertionError(f"{' '.join(map(str, args))} failed ({result.returncode}): {result.stderr}")
    return result


def read_bytes(path):
    with open(path, "rb") as f:
        return f.read()


def write_bytes(path, data):
    with open(path, "wb") as f:
        f.write(data)


def read_pages(path):
    """Directories of a little-endian TIFF: (offset, [(tag, type, count, raw value)], next)."""
    data = read_bytes(path)
    pages, at = [], struct.unpack_from("<I", data, 4)[0]
    while at:
        (count,) = struct.unpack_from("<H", data, at)
        entries = [struct.unpack_from("<HHII", data, at + 2 + 12 * i) for i in range(count)]
        nxt = struct.unpack_from("<I", data, at + 2 + 12 * count)[0]
        pages.append((at, entries, nxt))
        at = nxt
    return pages, data


WIDTHS = {1: 1, 2: 1, 3: 2, 4: 4, 5: 8, 6: 1, 7: 1, 8: 2, 9: 4, 10: 8, 11: 4, 12: 8, 13: 4}


def value_size(entry):
    return WIDTHS.get(entry[1], 0) * entry[2]


def field(entries, tag):
    return next((e for e in entries if e[0] == tag), None)


def inline_value(entry):
    return entry[3] & 0xFFFF if entry[1] == 3 else entry[3]


def add_entry(path, new_entry):
    """Gives every page one more entry: each directory is rewritten, larger, at the end of the file."""
    pages, data = read_pages(path)
    data = bytearray(data)
    link = 4  # where the offset of the directory being moved is stored
    for _, entries, nxt in pages:
        entries = sorted(entries + [new_entry])
        data += b"\0" * (len(data) % 2)
        struct.pack_into("<I", data, link, len(data))
        data += struct.pack("<H", len(entries)) + b"".join(struct.pack("<HHII", *e) for e in entries)
        link = len(data)
        data += struct.pack("<I", nxt)
    write_bytes(path, data)


class Documents:
    """Makes fax documents from a few drawn pages in one scratch folder."""

    def __init__(self, folder):
        self.folder = folder
        self.pages = [self._draw(i) for i in range(4)]

    def path(self, name):
        return os.path.join(self.folder, name)

    def _draw(self, i):
        page = self.path(f"page{i}.pbm")
        run(CONVERT, "-size", "1728x700", "xc:white", "-fill", "black",
            "-draw", f"rectangle {100 + 40 * i},{60 + 30 * i} {900 + 20 * i},{100 + 30 * i}",
            "-draw", f"circle {1200 - 50 * i},350 {1300 - 50 * i},420",
            "-draw", f"line 0,{10 * i} 1727,{699 - 10 * i}",
            "logo:", "-geometry", f"+{200 + 150 * i}+{150 + 20 * i}", "-composite",
            "-monochrome", page)
        return page

    def imagemagick(self, name, compress, resolution, count):
        out = self.path(name)
        run(CONVERT, *self.pages[:count], "-density", resolution, "-units", "PixelsPerInch",
            "-compress", compress, out)
        return out

    def tiffcp(self, name, scheme, resolution, count, *extra):
        plain = self.imagemagick(f"plain-{name}", "None", resolution, count)
        out = self.path(name)
        run("tiffcp", "-c", scheme, "-r", "100000", *extra, plain, out)  # one strip per page unless extra says otherwise
        return out

    def fax2tiff(self, name, resolution, count, *options):
        """fax2tiff from raw MH data, one raw input per page (LSB-first output)."""
        raws = []
        for i in range(count):
            single = self.tiffcp(f"raw-source{i}.tif", "g3:1d", resolution, 1)
            pages, data = read_pages(single)
            entries = pages[0][1]
            offset, length = inline_value(field(entries, 273)), inline_value(field(entries, 279))
            raw = self.path(f"page{i}-{name}.g3")
            write_bytes(raw, data[offset:offset + length])
            raws.append(raw)
        out = self.path(name)
        run("fax2tiff", "-M", "-R", resolution.split("x")[1], *options, "-o", out, *raws)
        return out


class RealFaxDocuments(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.mkdtemp(prefix="faxtiff-documents-")
        cls.docs = Documents(cls.folder)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.folder)

    def restructure(self, source):
        result = source + ".t37.tif"
        done = run(FAXTIFF, "restructure", source, result, check=False)
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertEqual(done.stderr, "")
        self.assertFalse(os.path.exists(result + ".work"), "the working copy was left behind")
        return result

    def assert_decodes_every_page(self, path, pages):
        info = run("tiffinfo", "-D", path)
        self.assertEqual(info.stdout.count("TIFF Directory at offset"), pages)
        noise = [line for line in info.stderr.splitlines() if not HARMLESS_WARNING.search(line)]
        self.assertEqual(noise, [], f"tiffinfo -D {path}")

    def assert_t37_layout(self, source, result):
        """Each directory is followed by its values in entry order, then its strip."""
        source_pages, _ = read_pages(source)
        pages, data = read_pages(result)
        self.assertEqual(struct.unpack_from("<I", data, 4)[0], 8)
        at = 8
        for (_, before, _), (offset, entries, nxt) in zip(source_pages, pages):
            self.assertEqual(offset, at)
            tags = [e[0] for e in entries]
            self.assertEqual(tags, sorted(tags))
            self.assertLessEqual(max(tags), 306)
            self.assertIn(274, tags)
            self.assertIn(284, tags)
            self.assertEqual(field(entries, 278)[3], 0xFFFFFFFF)
            at = offset + 2 + 12 * len(entries) + 4
            for entry in entries:
                if value_size(entry) > 4:
                    self.assertEqual(entry[3], at, f"value of tag {entry[0]}")
                    at += value_size(entry)
            self.assertEqual(inline_value(field(entries, 273)), at)
            at += inline_value(field(entries, 279))
            self.assert_retagged(before, entries)
            self.assertEqual(nxt, at if nxt else 0)
        self.assertEqual(len(pages), len(source_pages))
        self.assertEqual(at, len(data))

    def assert_retagged(self, before, after):
        """2-D T.4 pages keep their T4Options; on every other page it became T6Options 0."""
        options = field(before, 292)
        if options is None:
            return
        two_d = inline_value(field(before, 259)) == 3 and options[3] & 1
        if two_d:
            self.assertEqual(field(after, 292)[3], options[3])
        else:
            self.assertIsNone(field(after, 292))
            self.assertEqual(field(after, 293)[3], 0)

    def assert_sends_intact(self, source, pages):
        result = self.restructure(source)
        self.assertEqual(run(FAXTIFF, "pages", result).stdout.strip(), str(pages))
        self.assert_decodes_every_page(result, pages)
        run("tiffcmp", "-t", source, result)
        self.assert_t37_layout(source, result)

    def test_imagemagick_documents(self):
        for name, compress, resolution, pages in [
            ("im-g4-normal-1.tif", "Group4", NORMAL, 1),
            ("im-g4-fine-3.tif", "Group4", FINE, 3),
            ("im-mh-fine-4.tif", "Fax", FINE, 4),
            ("im-mh-normal-1.tif", "Fax", NORMAL, 1),
        ]:
            with self.subTest(name):
                self.assert_sends_intact(self.docs.imagemagick(name, compress, resolution, pages), pages)

    def test_libtiff_documents(self):
        for name, scheme, resolution, pages in [
            ("cp-mr-normal-3.tif", "g3:2d", NORMAL, 3),
            ("cp-mr-fine-1.tif", "g3:2d:fill", FINE, 1),
            ("cp-mh-fine-1.tif", "g3:1d", FINE, 1),
            ("cp-mh-normal-2.tif", "g3:1d:fill", NORMAL, 2),
            ("cp-mmr-fine-4.tif", "g4", FINE, 4),
            ("cp-mmr-normal-1.tif", "g4", NORMAL, 1),
        ]:
            with self.subTest(name):
                self.assert_sends_intact(self.docs.tiffcp(name, scheme, resolution, pages), pages)

    def test_fax2tiff_documents(self):
        for name, resolution, pages, options in [
            ("f2t-mh-fine-1.tif", FINE, 1, ["-5"]),
            ("f2t-mr-normal-2.tif", NORMAL, 2, ["-6"]),
            ("f2t-mmr-fine-3.tif", FINE, 3, ["-8"]),
        ]:
            with self.subTest(name):
                self.assert_sends_intact(self.docs.fax2tiff(name, resolution, pages, *options), pages)

    def test_mmr_carrying_t4options_as_the_fax_service_writes_it(self):
        source = self.docs.tiffcp("service-mmr-fine-3.tif", "g4", FINE, 3)
        add_entry(source, (292, 4, 1, 0))
        self.assertIsNotNone(field(read_pages(source)[0][0][1], 292))
        self.assert_sends_intact(source, 3)

    def test_retag_in_place_keeps_the_pixels(self):
        for name, scheme in [("retag-mr.tif", "g3:2d"), ("retag-mh.tif", "g3:1d"), ("retag-mmr.tif", "g4")]:
            with self.subTest(name):
                source = self.docs.tiffcp(name, scheme, FINE, 2)
                copy = source + ".copy.tif"
                shutil.copy(source, copy)
                run(FAXTIFF, "retag", copy)
                self.assert_decodes_every_page(copy, 2)
                run("tiffcmp", "-t", source, copy)
                for (_, before, _), (_, after, _) in zip(read_pages(source)[0], read_pages(copy)[0]):
                    self.assert_retagged(before, after)

    def assert_refused(self, source, reason):
        result = source + ".t37.tif"
        done = run(FAXTIFF, "restructure", source, result, check=False)
        self.assertEqual(done.returncode, 1)
        self.assertEqual(len(done.stderr.splitlines()), 1, done.stderr)
        self.assertIn(reason, done.stderr)
        self.assertFalse(os.path.exists(result), "a partial result was left behind")
        self.assertFalse(os.path.exists(result + ".work"), "the working copy was left behind")

    def test_documents_faxtiff_refuses(self):
        self.assert_refused(self.docs.tiffcp("strips.tif", "g4", FINE, 2, "-r", "64"), "more than one strip")
        self.assert_refused(self.docs.tiffcp("motorola.tif", "g4", FINE, 1, "-B"), "big-endian")
        whole = self.docs.imagemagick("whole.tif", "Group4", FINE, 2)
        cut = self.docs.path("cut.tif")
        write_bytes(cut, read_bytes(whole)[:-50])
        self.assert_refused(cut, "past the end")
        self.assert_refused(self.docs.path("missing.tif"), "cannot open")

    def test_check_lists_pages_and_names_the_first_fault(self):
        good = self.docs.tiffcp("check-mh-fine-2.tif", "g3:1d", FINE, 2)
        strips = self.docs.tiffcp("check-strips.tif", "g4", FINE, 2, "-r", "64")
        whole = self.docs.imagemagick("check-whole.tif", "Group4", FINE, 2)
        cut = self.docs.path("check-cut.tif")
        write_bytes(cut, read_bytes(whole)[:-50])
        done = run(FAXTIFF, "check", good, strips, cut, check=False)
        self.assertEqual(done.returncode, 1, done.stderr)
        pages = read_pages(good)[0]
        strip = [(inline_value(field(e, 279)), inline_value(field(e, 273))) for _, e, _ in pages]
        lines = done.stdout.splitlines()
        self.assertEqual(len(lines), 6, done.stdout)  # the cut document's first page is whole
        self.assertEqual(lines[:4], [
            f"{good}: page 1: 1728 x 700 pixels, 204 x 196 dpi, compression 3 (T.4, Group 3), fill order 1, "
            f"strip of {strip[0][0]} bytes at offset {strip[0][1]}",
            f"{good}: page 2: 1728 x 700 pixels, 204 x 196 dpi, compression 3 (T.4, Group 3), fill order 1, "
            f"strip of {strip[1][0]} bytes at offset {strip[1][1]}",
            f"{good}: sends as is",
            f"{strips}: page 1: StripOffsets (273): a page is stored in more than one strip "
            f"(offset {read_pages(strips)[0][0][0]:,})",
        ])
        self.assertRegex(lines[-1],
                         rf"^{re.escape(cut)}: page 2: .*points past the end of the file \(offset [\d,]+, "
                         rf"file {os.path.getsize(cut):,} bytes\)$")
        self.assertEqual(run(FAXTIFF, "check", good).returncode, 0)


if __name__ == "__main__":
    FAXTIFF = sys.argv.pop(1)
    unittest.main()
