#!/usr/bin/env python3
"""Lays out the benchmark's data in one folder; quick when it is already there.

    prepare_data.py SAMPLE_DLL DATA_DIR WINDOWS_DATA_DIR

servers/    300 copies of the sample COM server, s000.dll to s299.dll, each made distinct
            by its own PE time stamp (a header field the loader does not check)
missing/    an empty folder, and missing.lst naming 5,000 files in it that do not exist
tree/       20,000 empty files in 2,000 folders: 50 folders of 39 subfolders each, every
            folder holding ten files (f0.dll to f9.dll); none of them loads
flat/       10,000 empty files, w00000.dll to w09999.dll, for the window's Add
deep/       20,000 empty files in 2,000 folders nested seven deep: 5 folders at the first
            level, then 15, 45, 135, 300, 600 and 900, each parent's children spread evenly,
            every folder holding ten files (f0.dll to f9.dll)
junk/       5,000 files of 64 bytes that are no image, j0000.dll to j4999.dll
"""
import os
import shutil
import struct
import sys

SERVER_COUNT = 300
MISSING_COUNT = 5000
TREE_TOP, TREE_SUB, TREE_FILES = 50, 39, 10
FLAT_COUNT = 10000
DEEP_LEVELS = [5, 15, 45, 135, 300, 600, 900]
DEEP_FILES = 10
JUNK_COUNT = 5000
JUNK_BYTES = b"This file is no component, only a placeholder of 64 bytes long\r\n"


def time_stamp_offset(image):
    pe_header = struct.unpack_from("<I", image, 0x3C)[0]
    if image[pe_header:pe_header + 4] != b"PE\0\0":
        raise SystemExit("not a PE image")
    return pe_header + 8  # after the signature, machine and section count


def make_servers(sample, folder):
    with open(sample, "rb") as source:
        image = bytearray(source.read())
    offset = time_stamp_offset(image)
    base = struct.unpack_from("<I", image, offset)[0]
    os.makedirs(folder, exist_ok=True)
    for index in range(SERVER_COUNT):
        struct.pack_into("<I", image, offset, (base + 1 + index) & 0xFFFFFFFF)
        with open(os.path.join(folder, "s%03d.dll" % index), "wb") as copy:
            copy.write(image)


def make_missing(folder, list_path, windows_folder):
    os.makedirs(folder, exist_ok=True)
    with open(list_path, "wb") as listing:
        for index in range(MISSING_COUNT):
            listing.write(("%s\\m%05d.dll\r\n" % (windows_folder, index)).encode("ascii"))


def make_tree(root):
    for top in range(TREE_TOP):
        top_folder = os.path.join(root, "d%02d" % top)
        folders = [top_folder] + [os.path.join(top_folder, "e%02d" % sub) for sub in range(TREE_SUB)]
        for folder in folders:
            os.makedirs(folder, exist_ok=True)
            for index in range(TREE_FILES):
                open(os.path.join(folder, "f%d.dll" % index), "wb").close()


def make_flat(folder):
    os.makedirs(folder, exist_ok=True)
    for index in range(FLAT_COUNT):
        open(os.path.join(folder, "w%05d.dll" % index), "wb").close()


def make_deep(root):
    parents = [root]
    for count in DEEP_LEVELS:
        level = [os.path.join(parents[index % len(parents)], "n%03d" % index) for index in range(count)]
        for folder in level:
            os.makedirs(folder, exist_ok=True)
            for index in range(DEEP_FILES):
                open(os.path.join(folder, "f%d.dll" % index), "wb").close()
        parents = level


def make_junk(folder):
    os.makedirs(folder, exist_ok=True)
    for index in range(JUNK_COUNT):
        with open(os.path.join(folder, "j%04d.dll" % index), "wb") as junk:
            junk.write(JUNK_BYTES)


def file_count(folder):
    return sum(len(files) for _, _, files in os.walk(folder)) if os.path.isdir(folder) else -1


def fresh(path, count, newer_than=None):
    if file_count(path) != count:
        return False
    return newer_than is None or os.path.getmtime(path) >= os.path.getmtime(newer_than)


def main():
    sample, data, windows_data = sys.argv[1:4]
    os.makedirs(data, exist_ok=True)
    servers = os.path.join(data, "servers")
    if not fresh(servers, SERVER_COUNT, sample):
        shutil.rmtree(servers, ignore_errors=True)
        make_servers(sample, servers)
    missing_list = os.path.join(data, "missing.lst")
    make_missing(os.path.join(data, "missing"), missing_list, windows_data + "\\missing")
    tree = os.path.join(data, "tree")
    if not fresh(tree, TREE_TOP * (TREE_SUB + 1) * TREE_FILES):
        shutil.rmtree(tree, ignore_errors=True)
        make_tree(tree)
    flat = os.path.join(data, "flat")
    if not fresh(flat, FLAT_COUNT):
        shutil.rmtree(flat, ignore_errors=True)
        make_flat(flat)
    deep = os.path.join(data, "deep")
    if not fresh(deep, sum(DEEP_LEVELS) * DEEP_FILES):
        shutil.rmtree(deep, ignore_errors=True)
        make_deep(deep)
    junk = os.path.join(data, "junk")
    if not fresh(junk, JUNK_COUNT):
        shutil.rmtree(junk, ignore_errors=True)
        make_junk(junk)


if __name__ == "__main__":
    main()
