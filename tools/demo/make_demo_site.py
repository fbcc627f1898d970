#!/usr/bin/env python3
"""Draws the demo office floor plan and makes the bundled demo site from it.

    tools/demo/make_demo_site.py [--site-tool PATH] [--out-dir DIR]

Writes DIR/office.bmp (800 x 600, 24 bits: outer walls, offices along both sides of a
corridor, a meeting room, a kitchen, doors and desks) and then runs

    walkmere-site create office.bmp -o office.kvs --scale-x 20 --scale-y 20

DIR is res/demo of the repository unless given. Standard library only.
"""

import argparse
import os
import shutil
import struct
import subprocess
import sys

WIDTH, HEIGHT = 800, 600

WHITE = (255, 255, 255)
WALL = (40, 40, 40)
DESK = (150, 150, 150)
TABLE = (120, 120, 120)
CORRIDOR = (235, 235, 225)
DOOR = (255, 255, 255)


class Plan:
    def __init__(self, width, height, colour):
        self.width = width
        self.height = height
        self.pixels = [[colour] * width for _ in range(height)]

    def fill(self, x0, y0, x1, y1, colour):
        """Fills the box x0..x1-1, y0..y1-1, clipped to the plan."""
        for y in range(max(0, y0), min(self.height, y1)):
            row = self.pixels[y]
            for x in range(max(0, x0), min(self.width, x1)):
                row[x] = colour

    def hwall(self, x0, x1, y, thick=3):
        self.fill(x0, y - thick // 2, x1, y - thick // 2 + thick, WALL)

    def vwall(self, x, y0, y1, thick=3):
        self.fill(x - thick // 2, y0, x - thick // 2 + thick, y1, WALL)

    def outline(self, x0, y0, x1, y1, colour, thick=1):
        self.fill(x0, y0, x1, y0 + thick, colour)
        self.fill(x0, y1 - thick, x1, y1, colour)
        self.fill(x0, y0, x0 + thick, y1, colour)
        self.fill(x1 - thick, y0, x1, y1, colour)

    def bmp(self):
        """The plan as a bottom-up 24-bit BMP with rows padded to 4 bytes."""
        row_size = (self.width * 3 + 3) & ~3
        image_size = row_size * self.height
        header = struct.pack("<2sIHHI", b"BM", 54 + image_size, 0, 0, 54)
        info = struct.pack("<IiiHHIIiiII", 40, self.width, self.height, 1, 24, 0,
                           image_size, 2835, 2835, 0, 0)
        body = bytearray()
        padding = bytes(row_size - self.width * 3)
        for y in range(self.height - 1, -1, -1):
            for r, g, b in self.pixels[y]:
                body += bytes((b, g, r))
            body += padding
        return header + info + bytes(body)


def desk(plan, x, y, w=46, h=22):
    plan.fill(x, y, x + w, y + h, DESK)
    plan.outline(x, y, x + w, y + h, WALL)


def draw_office():
    p = Plan(WIDTH, HEIGHT, WHITE)
    left, top, right, bottom = 20, 20, 780, 580
    corridor_top, corridor_bottom = 270, 330

    p.fill(left, corridor_top, right, corridor_bottom, CORRIDOR)

    # Outer walls, with the entrance at the corridor's right end.
    p.hwall(left, right, top, 5)
    p.hwall(left, right, bottom, 5)
    p.vwall(left, top, bottom, 5)
    p.vwall(right, top, corridor_top + 8, 5)
    p.vwall(right, corridor_bottom - 8, bottom, 5)

    # The corridor's walls.
    p.hwall(left, right, corridor_top)
    p.hwall(left, right, corridor_bottom)

    # North side: four offices and a meeting room; south side: three offices, a kitchen
    # and a store room. Each room has a door onto the corridor.
    north = [left, 170, 320, 440, 560, right]
    south = [left, 200, 380, 530, 660, right]
    for x in north[1:-1]:
        p.vwall(x, top, corridor_top)
    for x in south[1:-1]:
        p.vwall(x, corridor_bottom, bottom)
    for a, b in zip(north, north[1:]):
        door = (a + b) // 2
        p.fill(door - 16, corridor_top - 2, door + 16, corridor_top + 2, DOOR)
    for a, b in zip(south, south[1:]):
        door = a + 30
        p.fill(door, corridor_bottom - 2, door + 32, corridor_bottom + 2, DOOR)

    # Desks in the offices.
    for a, b in zip(north[:4], north[1:5]):
        desk(p, a + 15, top + 30)
        if b - a >= 140:
            desk(p, b - 61, top + 30)
        desk(p, a + 15, top + 150)
    for a, b in zip(south[:3], south[1:4]):
        desk(p, a + 20, bottom - 60)
        desk(p, b - 66, bottom - 60)
        desk(p, a + 20, corridor_bottom + 90, 22, 46)

    # The meeting room's table and the kitchen's counter.
    p.fill(600, 80, 740, 200, TABLE)
    p.outline(600, 80, 740, 200, WALL, 2)
    p.fill(535, bottom - 40, 655, bottom - 6, DESK)
    p.outline(535, bottom - 40, 655, bottom - 6, WALL)

    # Shelves in the store room.
    for y in range(corridor_bottom + 30, bottom - 20, 40):
        p.fill(680, y, 760, y + 10, DESK)
    return p


def find_site_tool(root):
    for build in ("build", "build-lead", "build-sitefile", "build-frame"):
        candidate = os.path.join(root, build, "tools", "site", "walkmere-site")
        if os.access(candidate, os.X_OK):
            return candidate
    return shutil.which("walkmere-site")


def main():
    root = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--site-tool", help="the walkmere-site program")
    parser.add_argument("--out-dir", default=os.path.join(root, "res", "demo"))
    args = parser.parse_args()

    os.makedirs(args.out_dir, exist_ok=True)
    plan_path = os.path.join(args.out_dir, "office.bmp")
    site_path = os.path.join(args.out_dir, "office.kvs")
    with open(plan_path, "wb") as f:
        f.write(draw_office().bmp())
    print(f"wrote {plan_path}")

    tool = args.site_tool or find_site_tool(root)
    if not tool:
        print("make_demo_site: walkmere-site not found; build it or give --site-tool",
              file=sys.stderr)
        return 1
    cmd = [tool, "create", plan_path, "-o", site_path, "--scale-x", "20", "--scale-y", "20",
           "--force"]
    return subprocess.run(cmd).returncode


if __name__ == "__main__":
    sys.exit(main())
