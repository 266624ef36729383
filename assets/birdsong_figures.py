#!/usr/bin/python3
"""Measures a bird-song wave file the way a listener hears it: its notes, their lengths, sweeps
and overtones, the phrases they form, how many kinds of call there are, how alike the phrases
are, and how far apart near and far singers sit in level.

Usage: birdsong_figures.py [--check] FILE.wav
With --check, exits 1 (naming each figure) when the song falls short of what makes it sound like
birds rather than a beep: mostly short notes, fast sweeps, trills, near-pure whistles, five or
more kinds of call, no phrase repeated, near and far singers, at its usual level.
"""
import sys
import wave

import numpy as np

HOP, WINDOW = 128, 512  # 2.9 ms steps, 11.6 ms window: short notes keep their shape
BAND = (1000.0, 11000.0)  # where the birds sing
NOTE_DROP_DB = 18  # a note lasts while it is within this of its own peak
PHRASE_GAP_S = 0.3  # a longer silence starts a new phrase
FAST_SWEEP = 20.0  # kHz/s
ECHO_FRAMES = 100  # 0.3 s
TARGET_RMS_DB = -19.2  # the loop's level in the mix with water and jungle


def load(path):
    with wave.open(path, "rb") as w:
        if w.getsampwidth() != 2:
            sys.exit(f"{path}: not 16-bit PCM")
        rate, channels = w.getframerate(), w.getnchannels()
        data = np.frombuffer(w.readframes(w.getnframes()), dtype="<i2").astype(np.float64)
    frames = data.reshape(-1, channels) / 32768.0
    return rate, frames


def spectrogram(mono, rate):
    count = (len(mono) - WINDOW) // HOP + 1
    index = np.arange(WINDOW)[None, :] + HOP * np.arange(count)[:, None]
    mag = np.abs(np.fft.rfft(mono[index] * np.hanning(WINDOW), axis=1)) * 4 / WINDOW
    return mag, np.fft.rfftfreq(WINDOW, 1 / rate)


def db(x):
    return 20 * np.log10(np.maximum(x, 1e-9))


def find_notes(mag, freqs, rate):
    """Each note: the frames around a loudness peak that stay within NOTE_DROP_DB of it at a
    continuous pitch. The fading tail of a note (its echo) is set aside, not counted as a note."""
    lo, hi = np.searchsorted(freqs, BAND)
    band = mag[:, lo:hi]
    peak_bin = band.argmax(axis=1)
    level = db(band.max(axis=1))
    # Parabolic interpolation of the peak for a finer pitch.
    b = np.clip(peak_bin, 1, band.shape[1] - 2)
    rows = np.arange(len(b))
    a, c, e = db(band[rows, b - 1]), db(band[rows, b]), db(band[rows, b + 1])
    shift = np.clip(0.5 * (a - e) / np.where(a - 2 * c + e == 0, -1e-9, a - 2 * c + e), -0.5, 0.5)
    pitch = freqs[lo + b] + shift * (freqs[1] - freqs[0])
    floor = level.max() - 55
    used = np.zeros(len(level), bool)
    notes = []
    near = lambda i, j: abs(np.log2(pitch[i] / pitch[j])) < 0.15
    for top in np.argsort(-level):
        if used[top] or level[top] < floor:
            continue
        start = end = top
        while start > 0 and not used[start - 1] and level[start - 1] >= level[top] - NOTE_DROP_DB \
                and near(start - 1, start):
            start -= 1
        while end + 1 < len(level) and not used[end + 1] and \
                level[end + 1] >= level[top] - NOTE_DROP_DB and near(end + 1, end):
            end += 1
        used[start:end + 1] = True
        # The echo: keeps fading at the same pitch after the note.
        tail = end
        while tail + 1 < len(level) and not used[tail + 1] and level[tail + 1] <= level[tail] + 1 \
                and near(tail + 1, tail):
            tail += 1
            used[tail] = True
        # Under 10 ms, or far below what sounded just before or after: a click or echo.
        around = level[max(0, top - ECHO_FRAMES):top + ECHO_FRAMES]
        if end - start + 1 < 4 or level[top] < around.max() - 25:
            continue
        t = np.arange(start, end + 1) * HOP / rate
        f = pitch[start:end + 1]
        sweep = np.polyfit(t, f, 1)[0] / 1000 if len(t) > 2 else 0.0
        # Each frame's strongest overtone (2nd or 3rd) against the note.
        harmonics = []
        for i in range(start, end + 1):
            over = [db(mag[i, j - 2:j + 3].max()) for j in
                    (int(round(pitch[i] * k / freqs[1])) for k in (2, 3)) if j + 3 < len(freqs)]
            if over:
                harmonics.append(max(over) - level[i])
        notes.append(dict(start=start * HOP / rate, length=(end - start + 1) * HOP / rate,
                          pitch=float(np.median(f)), sweep=float(sweep), peak=float(level[top]),
                          harmonic=float(np.median(harmonics)) if harmonics else -99.0,
                          frames=(start, tail + 1)))
    # A quiet scrap just after a louder note at its pitch is that note's ring, not a note.
    notes.sort(key=lambda n: n["start"])
    echo = lambda n, m: m["peak"] - n["peak"] >= 12 and abs(np.log2(n["pitch"] / m["pitch"])) < 0.15 \
        and 0 <= n["start"] - m["start"] - m["length"] < 0.08
    return [n for n in notes if not any(echo(n, m) for m in notes)]


def group_phrases(notes):
    phrases = []
    for n in notes:
        last_end = max(m["start"] + m["length"] for m in phrases[-1]) if phrases else -1e9
        if n["start"] - last_end < PHRASE_GAP_S:
            phrases[-1].append(n)
        else:
            phrases.append([n])
    return phrases


def call_type(phrase):
    """A kind of call, by rhythm, note length and pitch movement."""
    count = len(phrase)
    lengths = np.median([n["length"] for n in phrase])
    span = phrase[-1]["start"] - phrase[0]["start"]
    rate = (count - 1) / span if span > 0 else 0
    pitches = [n["pitch"] for n in phrase]
    leaps = max(pitches) / min(pitches)
    rhythm = "single" if count <= 2 else "varied" if count >= 5 and leaps >= 1.4 else \
        "trill" if count >= 6 and rate >= 8 and leaps < 1.3 else "series"
    size = "short" if lengths < 0.06 else "mid" if lengths < 0.15 else "long"
    octaves = [n["sweep"] * 1000 / n["pitch"] for n in phrase]  # octaves/s, roughly
    up = np.mean([o > 2 for o in octaves])
    down = np.mean([o < -2 for o in octaves])
    shape = "mixed" if up >= 0.3 and down >= 0.3 else "rising" if up > 0.5 else \
        "falling" if down > 0.5 else "level"
    return f"{rhythm}/{size}/{shape}"


def phrase_similarity(phrases, mag, freqs):
    """Cosine likeness of each pair of phrases' spectrograms, aligned at their starts (give or
    take a few steps); 1.0 would be the same phrase again."""
    lo, hi = np.searchsorted(freqs, BAND)
    patches = [mag[p[0]["frames"][0]:max(n["frames"][1] for n in p), lo:hi] for p in phrases]
    best = []
    for i in range(len(patches)):
        for j in range(i + 1, len(patches)):
            a, b = patches[i], patches[j]
            top = 0.0
            for lag in range(-3, 4):
                x, y = (a[lag:], b) if lag >= 0 else (a, b[-lag:])
                k = min(len(x), len(y))
                den = np.linalg.norm(a) * np.linalg.norm(b)
                if k and den:
                    top = max(top, float((x[:k] * y[:k]).sum() / den))
            best.append(top)
    return np.array(best)


def main(argv):
    check = "--check" in argv
    paths = [a for a in argv[1:] if a != "--check"]
    if len(paths) != 1:
        sys.exit(__doc__)
    rate, frames = load(paths[0])
    mono = frames.mean(axis=1)
    mag, freqs = spectrogram(mono, rate)
    notes = find_notes(mag, freqs, rate)
    if not notes:
        sys.exit(f"{paths[0]}: no bird notes found")
    phrases = group_phrases(notes)
    lengths = np.array([n["length"] * 1000 for n in notes])
    sweeps = np.abs([n["sweep"] for n in notes])
    harmonic = np.array([n["harmonic"] for n in notes])
    whistled = harmonic[lengths >= 100]
    kinds = {}
    for p in phrases:
        kinds.setdefault(call_type(p), []).append(p)
    trills = sum(len(v) for k, v in kinds.items() if k.startswith("trill/"))
    levels = np.array([max(n["peak"] for n in p) for p in phrases])
    similar = phrase_similarity(phrases, mag, freqs)
    rms = db(np.sqrt((frames ** 2).mean()))
    pct = lambda v, q: float(np.percentile(v, q)) if len(v) else float("nan")

    short = float(np.mean((lengths >= 20) & (lengths <= 300)))
    fast = float(np.mean(sweeps >= FAST_SWEEP))
    pure = float(np.mean(whistled <= -25)) if len(whistled) else 0.0
    spread = pct(levels, 90) - pct(levels, 10)
    # Near singers: within 6 dB of the loudest phrase; far: 12 dB or more below it.
    overtones = np.array([np.median([n["harmonic"] for n in p]) for p in phrases])
    near, far = levels >= levels.max() - 6, levels <= levels.max() - 12
    duller = np.median(overtones[near]) - np.median(overtones[far]) if far.any() else 0.0
    print(f"length {len(mono) / rate:.3f} s, RMS {rms:.2f} dBFS")
    print(f"notes {len(notes)}; length ms p10 {pct(lengths, 10):.0f} median {pct(lengths, 50):.0f}"
          f" p90 {pct(lengths, 90):.0f} max {lengths.max():.0f}; 20-300 ms {100 * short:.0f}%")
    print(f"sweep kHz/s median {pct(sweeps, 50):.1f} p90 {pct(sweeps, 90):.1f}"
          f" max {sweeps.max():.1f}; fast (>= {FAST_SWEEP:.0f}) {100 * fast:.0f}%")
    print(f"harmonics dB below the note: median {-pct(harmonic, 50):.1f}, weakest 10% "
          f"{-pct(harmonic, 90):.1f}; whistled notes (>= 100 ms) {len(whistled)}, "
          f"{100 * pure:.0f}% at 25 dB or more below")
    print(f"phrases {len(phrases)}; call types {len(kinds)}; trills (>= 8 notes/s) {trills}")
    print("  start   notes  peak dB  overtone dB  call type")
    for p, level, overtone in zip(phrases, levels, overtones):
        print(f"  {p[0]['start']:5.2f} s {len(p):4d} {level:9.1f} {overtone:10.1f}"
              f"     {call_type(p)}")
    print(f"phrase similarity: median {pct(similar, 50):.2f}, most alike pair {similar.max():.2f}"
          if len(similar) else "phrase similarity: one phrase")
    print(f"phrase peak level dB: p10 {pct(levels, 10):.1f} median {pct(levels, 50):.1f}"
          f" p90 {pct(levels, 90):.1f}; spread p90-p10 {spread:.1f} dB")
    print(f"near phrases {near.sum()}, far (12 dB or more below the loudest) {far.sum()},"
          f" far overtones {duller:.1f} dB weaker")
    if not check:
        return 0
    failures = [what for what, ok in [
        ("most notes 20-300 ms", short >= 0.8),
        ("fast sweeps in a fifth of the notes", fast >= 0.2),
        ("two trills or more", trills >= 2),
        ("whistled notes with harmonics 25 dB down", len(whistled) >= 5 and pure >= 0.9),
        ("five call types or more", len(kinds) >= 5),
        ("no two phrases alike", len(similar) > 0 and similar.max() < 0.9),
        ("near and far singers 12 dB apart, a fifth of the phrases each",
         min(near.mean(), far.mean()) >= 0.2),
        ("far singers duller", duller >= 3),
        (f"RMS within 1 dB of {TARGET_RMS_DB}", abs(rms - TARGET_RMS_DB) <= 1),
    ] if not ok]
    for f in failures:
        print(f"FAILED: {f}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
