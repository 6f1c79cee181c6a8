#!/usr/bin/env python3
"""Builds the similar-photo benchmark corpus from real photographs shipped in Debian packages, and
scores the groups a tool reports against it.

  corpus.py build FOLDER       writes FOLDER/photos/<kind>/<name>.<ext>, FOLDER/frames/ and
                               FOLDER/stills/; files are only ever created in a new FOLDER
  corpus.py score FOLDER GROUPS
                               GROUPS: one group per line, paths separated by tabs; prints JSON

Every photo gets the variants a photo archive collects (see KINDS). Hard negatives are frames of a
real video half a second apart and a series of stills of one scene from other angles: pictures
that look alike but show different moments, which no similar group may join.
"""
import json
import os
import shutil
import struct
import subprocess
import sys
import tempfile

PLASMA = "/usr/share/wallpapers"
PLASMA_PHOTOS = ["BytheWater", "ColdRipple", "ColorfulCups", "DarkestHour", "EveningGlow",
                 "FallenLeaf", "Grey", "Kite", "OneStandsOut", "Path", "Volna", "summer_1am"]
MATE = "/usr/share/backgrounds/mate/nature"
MATE_PHOTOS = ["Aqua", "Blinds", "Dune", "FreshFlower", "Garden", "GreenMeadow", "LadyBird",
               "RainDrops", "Storm", "TwoWings", "Wood", "YellowFlower"]
OPENCV = "/usr/share/doc/opencv-doc/examples/data"
OPENCV_PHOTOS = ["apple", "baboon", "building", "butterfly", "fruits", "home", "messi5", "orange",
                 "squirrel_cls", "stuff", "aero1", "leuvenA", "aloeL", "board", "HappyFish"]
VIDEO = OPENCV + "/vtest.avi"
FRAMES = 60  # 30 s of video, one frame every half second
STILLS = [f"left{n:02d}" for n in (1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 12, 13, 14)]

# kind -> (extension, how it is made from the original)
KINDS = ["original", "half", "quarter", "q55", "png", "webp", "heic", "rotated", "orientation",
         "stripped", "crop3", "bright8"]
FAMILY_OF = {"photos": "variant", "frames": "frame", "stills": "still"}


def run(*args):
    subprocess.run(args, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def sources():
    found = []
    for name in PLASMA_PHOTOS:
        folder = f"{PLASMA}/{name}/contents/images"
        jpegs = [f for f in os.listdir(folder) if f.endswith(".jpg")]
        # The largest rendition of each wallpaper.
        best = max(jpegs, key=lambda f: os.path.getsize(f"{folder}/{f}"))
        found.append((name, f"{folder}/{best}"))
    found += [(name, f"{MATE}/{name}.jpg") for name in MATE_PHOTOS]
    found += [(name, f"{OPENCV}/{name}.jpg") for name in OPENCV_PHOTOS]
    return found


def exif_app1(orientation):
    """A minimal EXIF segment (TIFF, little-endian) holding Orientation and a camera model."""
    model = b"Quillmere bench\0"
    entries = [(0x0112, 3, 1, struct.pack("<HH", orientation, 0)),
               (0x0110, 2, len(model), struct.pack("<I", 8 + 2 + 2 * 12 + 4))]
    ifd = struct.pack("<H", len(entries))
    for tag, kind, count, value in entries:
        ifd += struct.pack("<HHI", tag, kind, count) + value
    ifd += struct.pack("<I", 0)
    tiff = b"II*\0" + struct.pack("<I", 8) + ifd + model
    body = b"Exif\0\0" + tiff
    return b"\xff\xe1" + struct.pack(">H", len(body) + 2) + body


def without_exif(jpeg):
    """The JPEG without its APP1 segments."""
    out, i = jpeg[:2], 2
    while i + 4 <= len(jpeg) and jpeg[i] == 0xFF and jpeg[i + 1] not in (0xDA, 0xD9):
        length = struct.unpack(">H", jpeg[i + 2:i + 4])[0]
        if jpeg[i + 1] != 0xE1:
            out += jpeg[i:i + 2 + length]
        i += 2 + length
    return out + jpeg[i:]


def with_exif(jpeg, orientation):
    plain = without_exif(jpeg)
    return plain[:2] + exif_app1(orientation) + plain[2:]


def build(folder):
    if os.path.exists(folder) and os.listdir(folder):
        sys.exit(f"corpus.py: {folder} is not empty")
    scratch = tempfile.mkdtemp()
    for kind in KINDS:
        os.makedirs(f"{folder}/photos/{kind}")
    for name, source in sources():
        p = lambda kind, ext="jpg": f"{folder}/photos/{kind}/{name}.{ext}"
        # The original: the photo as shipped, with EXIF (orientation 1, a camera model) added.
        with open(source, "rb") as f:
            original = with_exif(f.read(), 1)
        with open(p("original"), "wb") as f:
            f.write(original)
        o = p("original")
        run("vips", "resize", o, p("half") + "[Q=90]", "0.5")
        run("vips", "resize", o, p("quarter") + "[Q=90]", "0.25")
        run("vips", "copy", o, p("q55") + "[Q=55]")
        run("vips", "copy", o, p("png", "png"))
        run("vips", "copy", o, p("webp", "webp") + "[Q=80]")
        run("vips", "copy", o, p("heic", "heic") + "[Q=50]")
        run("vips", "rot", o, p("rotated") + "[Q=90,strip]", "d90")
        # Pixels stored a quarter turn back, with the EXIF flag (6) that shows them upright.
        turned = f"{scratch}/turned.jpg"
        run("vips", "rot", o, turned + "[Q=90,strip]", "d270")
        with open(turned, "rb") as f:
            flagged = with_exif(f.read(), 6)
        with open(p("orientation"), "wb") as f:
            f.write(flagged)
        run("jpegtran", "-copy", "none", "-outfile", p("stripped"), o)
        width, height = (int(subprocess.check_output(["vipsheader", "-f", field, o]))
                         for field in ("width", "height"))
        w, h = round(width * 0.97), round(height * 0.97)
        run("vips", "crop", o, p("crop3") + "[Q=90]", str((width - w) // 2),
            str((height - h) // 2), str(w), str(h))
        bright = f"{scratch}/bright.v"
        run("vips", "linear", o, bright, "1.08", "0")
        run("vips", "cast", bright, p("bright8") + "[Q=90]", "uchar")
    os.makedirs(f"{folder}/frames")
    run("ffmpeg", "-v", "error", "-i", VIDEO, "-vf", "fps=2", "-frames:v", str(FRAMES), "-q:v", "2",
        f"{folder}/frames/vtest_%03d.jpg")
    os.makedirs(f"{folder}/stills")
    for name in STILLS:
        shutil.copyfile(f"{OPENCV}/{name}.jpg", f"{folder}/stills/{name}.jpg")
    shutil.rmtree(scratch)


def describe(folder, path):
    """(set, family, kind) of a corpus file."""
    parts = os.path.relpath(path, folder).split(os.sep)
    stem = os.path.splitext(parts[-1])[0]
    if parts[0] == "photos":
        return "photos", stem, parts[1]
    return parts[0], parts[0] + "/" + stem, parts[0]


def score(folder, groups_file):
    files = []
    for root, _, names in os.walk(folder):
        files += [os.path.join(root, n) for n in names]
    info = {f: describe(folder, f) for f in files}
    with open(groups_file) as f:
        groups = [line.rstrip("\n").split("\t") for line in f if line.strip()]
    predicted = set()
    for group in groups:
        members = sorted(os.path.abspath(p) for p in group if os.path.abspath(p) in info)
        for i in range(len(members)):
            for j in range(i + 1, len(members)):
                predicted.add((members[i], members[j]))
    truth = set()
    photos = sorted(f for f in files if info[f][0] == "photos")
    for i in range(len(photos)):
        for j in range(i + 1, len(photos)):
            if info[photos[i]][1] == info[photos[j]][1]:
                truth.add((photos[i], photos[j]))
    right = predicted & truth
    result = {"files": len(files), "true pairs": len(truth), "predicted pairs": len(predicted),
              "right pairs": len(right),
              "precision": len(right) / len(predicted) if predicted else 1.0,
              "recall": len(right) / len(truth) if truth else 1.0, "kinds": {}}
    for kind in KINDS[1:]:
        # Recall of a kind: its copy of each photo found with the original. Precision: of the pairs
        # that hold a copy of this kind, the share that pair it with its own photo.
        wanted = {p for p in truth if {info[p[0]][2], info[p[1]][2]} == {"original", kind}}
        holding = {p for p in predicted if kind in (info[p[0]][2], info[p[1]][2])}
        result["kinds"][kind] = {
            "recall": len(wanted & predicted) / len(wanted) if wanted else 1.0,
            "precision": len(holding & truth) / len(holding) if holding else 1.0,
            "pairs": len(wanted)}
    for negative in ("frames", "stills"):
        result[negative + " false pairs"] = sum(
            1 for a, b in predicted if info[a][0] == negative and info[b][0] == negative)
        result[negative + " pairs"] = sum(1 for f in files if info[f][0] == negative) * (
            sum(1 for f in files if info[f][0] == negative) - 1) // 2
    result["cross false pairs"] = sum(1 for a, b in predicted if info[a][1] != info[b][1]
                                      and info[a][0] != info[b][0])
    return result


if __name__ == "__main__":
    if len(sys.argv) == 3 and sys.argv[1] == "build":
        build(sys.argv[2])
    elif len(sys.argv) == 4 and sys.argv[1] == "score":
        print(json.dumps(score(os.path.abspath(sys.argv[2]), sys.argv[3]), indent=1))
    else:
        sys.exit(__doc__)
