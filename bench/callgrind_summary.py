#!/usr/bin/env python3
"""Reads the callgrind dumps cost_breakdown.sh made and prints, one "name value" a line, the
instructions a frame of the saver's main thread, a second of sound of its sound thread and a
second of the X server, the part of the main thread spent composing and sending what changed,
then the costliest functions of each.

    callgrind_summary.py WORK_DIR SECONDS
"""
import glob
import os
import re
import sys
from collections import defaultdict

# The sound device's buffer (SdlSoundDevice::kBufferFrames, read from its header) at 44.1 kHz:
# the disk driver writes one a call of fwrite.
_HEADER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "src", "platform",
                       "sound", "sdl_sound_device.h")
with open(_HEADER) as _header:
    SECONDS_A_BUFFER = int(re.search(r"kBufferFrames = (\d+);", _header.read()).group(1)) / 44100
FRAME = "larkspill::ScreenDisplay::Show(larkspill::SceneFrame const&)"
# Composing the changed pixels and sending them: what the scene's changes alone must cost.
FLOOR = ("larkspill::PaintDrawing(", "larkspill::X11Presenter::Show(")


class Profile:
    # Names are written out once per process, at their first use in any of its dumps: the
    # profiles of one process share `names` and are read in the order they were written.
    def __init__(self, path, names):
        self.self_cost = defaultdict(int)
        self.call_cost = defaultdict(int)  # inclusive cost of the calls a function makes
        self.calls = defaultdict(int)  # calls made to a function
        self.total = 0

        def name(kind, field):
            m = re.match(r"\((\d+)\)(?: (.*))?", field)
            if not m:
                return field
            if m.group(2) is not None:
                names[kind, m.group(1)] = m.group(2)
            return names.get((kind, m.group(1)), field)

        def label(function):
            # A function without a symbol is named by its library.
            if function.startswith("0x"):
                return "%s %s" % (obj.rsplit("/", 1)[-1], function)
            return function

        fn = callee = None
        obj = cobj = "?"
        after_call = False
        with open(path, errors="replace") as f:
            for line in f:
                line = line.rstrip("\n")
                if line.startswith("ob="):
                    obj = name("ob", line[3:])
                elif line.startswith("cob="):
                    cobj = name("ob", line[4:])
                elif line.startswith("fn="):
                    fn = label(name("fn", line[3:]))
                elif line.startswith("cfn="):
                    callee = name("fn", line[4:])
                elif line.startswith("calls="):
                    self.calls[callee] += int(line[6:].split()[0])
                    after_call = True
                elif line and (line[0].isdigit() or line[0] in "+-*"):
                    parts = line.split()
                    cost = int(parts[1]) if len(parts) > 1 else 0
                    if after_call:
                        self.call_cost[fn] += cost
                        after_call = False
                    else:
                        self.self_cost[fn] += cost
                        self.total += cost

    def inclusive(self, prefix):
        return sum(self.self_cost[f] + self.call_cost[f] for f in self.self_cost
                   if f.startswith(prefix))

    def count(self, function):
        return sum(n for f, n in self.calls.items() if f.startswith(function))

    def top(self, n=10):
        return sorted(self.self_cost.items(), key=lambda kv: -kv[1])[:n]


def main():
    work, seconds = sys.argv[1], float(sys.argv[2])
    dumps = sorted(p for p in glob.glob(work + "/cg.saver.*") if not p.endswith(".log"))
    # The zeroed window's dump is the first numbered one; the exit's dump comes last.
    names = {}
    threads = [Profile(p, names) for p in dumps if re.search(r"\.1-\d+$", p)]
    main_thread = max(threads, key=lambda t: t.count(FRAME))
    sound = max(threads, key=lambda t: t.count("fwrite"))
    frames = main_thread.count(FRAME)
    x = Profile(work + "/cg.x.1", {})
    print("frames_per_second %.1f" % (frames / seconds))
    print("main_ir_per_frame %d" % (main_thread.total / max(frames, 1)))
    floor = sum(main_thread.inclusive(f) for f in FLOOR)
    print("floor_ir_per_frame %d" % (floor / max(frames, 1)))
    print("above_floor_ir_per_frame %d" % ((main_thread.total - floor) / max(frames, 1)))
    sound_seconds = sound.count("fwrite") * SECONDS_A_BUFFER
    print("sound_ir_per_second %d" % (sound.total / max(sound_seconds, 1e-9)))
    print("x_ir_per_second %d" % (x.total / seconds))
    print("profile (instructions in the function itself, share of its thread):")
    for title, profile in (("main thread", main_thread), ("sound thread", sound), ("X server", x)):
        print("  %s, %d instructions in all:" % (title, profile.total))
        for function, cost in profile.top():
            print("    %5.1f%%  %s" % (100 * cost / max(profile.total, 1), function[:90]))


if __name__ == "__main__":
    main()
