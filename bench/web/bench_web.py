#!/usr/bin/python3
"""The web player's figures, in a real headless Chromium on a local server
with the default demo (run by hand; needs the web player built):

    bench/web/bench_web.py BUILD [--seconds S] [--runs N] [--baseline DIR]

  size          vexlade.wasm and the scripts, gzipped (-9)
  first frame   from the click on Play to the first frame on the canvas, on
                a fresh page: Play clicked at once (the demo's 64 MB still
                loading) and Play clicked once the page says Ready
                (with --baseline DIR, a folder holding the page files of
                another build, both pages measured in turns on the same
                demo, and the ratio given)
  seek          seek() to a random place while playing: until the frame
                there is on the canvas, and until the heard position moves
                on from there (the sound restarted and heard)
  in time       |frame shown - floor(heard seconds x 25)| sampled every
                ~40 ms over S seconds of playing (default 120; 706 for the
                whole demo), and the drift of the heard position against
                the wall clock over the run
  pixels        the canvas against `vexl render` for 40 frames spread over
                the demo
  speaker       the speaker worklet over the whole soundtrack (offline)
                against `vexl speaker`

The work folder (demo, site, reference files) is BUILD/bench/web/work.
"""

import argparse
import gzip
import math
import os
import pathlib
import random
import shutil
import statistics
import subprocess
import sys
import time

HERE = pathlib.Path(__file__).resolve().parent
sys.path.insert(0, str(HERE.parent.parent / "tests" / "web"))
import test_web_player as pages  # noqa: E402
from web_browser import chromium, serve  # noqa: E402

from selenium.webdriver.common.by import By  # noqa: E402

# Play clicked as soon as the page's script has run, the demo's files
# still on their way (the page's click handler is a deferred script, so it
# is in place by DOMContentLoaded).
PLAY_AT_ONCE = """
document.addEventListener('DOMContentLoaded', () => {
  if (!location.search.includes('play-at-once')) return;
  document.querySelector('input[name=fullscreen][value=no]').checked = true;
  window.playClicked = performance.now();
  document.getElementById('play').click();
});
"""

# Clicks Play unless it was clicked already; returns the ms from the click
# to the first frame on the canvas.
FIRST_FRAME = """
const done = arguments[0];
if (window.playClicked === undefined) {
  window.playClicked = performance.now();
  document.getElementById('play').click();
}
(function wait() {
  const mark = performance.getEntriesByName('vexlade:first-frame')[0];
  if (mark) done(mark.startTime - window.playClicked); else setTimeout(wait, 2);
})();
"""

SEEK = """
const [seconds, done] = arguments;
const want = Math.floor(seconds * 25);
const start = performance.now();
window.vexlade.seek(seconds);
const called = performance.now() - start;
let painted = null;
requestAnimationFrame(() => { painted = performance.now() - start; });
(function wait() {
  const s = window.vexlade.status();
  if (painted !== null && s.seconds > seconds + 0.02)
    done({frame: s.frame === want || s.frame > want ? want : s.frame, call: called, painted,
          heard: performance.now() - start});
  else
    setTimeout(wait, 1);
})();
"""


def gz(path):
    return len(gzip.compress(path.read_bytes(), 9))


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("build", type=pathlib.Path)
    parser.add_argument("--seconds", type=float, default=120)
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--baseline", type=pathlib.Path, help="page files of another build to compare with")
    args = parser.parse_args()
    build = args.build.resolve()
    work = build / "bench" / "web" / "work"
    os.environ.setdefault("VEXL_TOOL", str(build / "tools" / "vexl"))
    pages.VEXL = os.environ["VEXL_TOOL"]
    pages.WORK, pages.DEMO, pages.SITE = work, work / "demo", work / "site"
    pages.REFS, pages.SITES = work / "refs", work / "sites"
    pages.make_site()
    site = pages.SITE
    # The baseline: this site with the other build's page files.
    pages_under_test = {"this page": "site/"}
    if args.baseline:
        baseline = work / "baseline"
        shutil.rmtree(baseline, ignore_errors=True)
        shutil.copytree(site, baseline)
        for page_file in args.baseline.iterdir():
            shutil.copy(page_file, baseline / page_file.name)
        pages_under_test["baseline"] = "baseline/"

    print("size (gzip -9)")
    total = 0
    for name in ("vexlade.wasm", "vexlade.js", "speaker.wasm", "speaker-worklet.js"):
        size = gz(site / name)
        total += size
        print(f"  {name:20} {(site / name).stat().st_size:7} bytes, {size:6} gzipped")
    print(f"  {'all four':20} {'':7}        {total:6} gzipped ({total / 1024:.1f} KiB)")

    # Whole soundtrack through the speaker worklet, and pictures of 40 frames.
    refs = pages.REFS
    if not (refs / "speaker-all.wav").exists():
        shutil.copy(pages.DEMO / "ld_vexl.d2", refs / "all.wav")
        pages.vexl("speaker", refs / "all.wav", refs / "speaker-all.wav")
    spread = [round(i * 17649 / 39) for i in range(40)]
    for frame in spread:
        if not (refs / f"frame{frame}.png").exists():
            pages.vexl("render", pages.DEMO / "ld_vexl.d1", refs / f"frame{frame}.png", "--frame", frame)

    with serve(work) as url, chromium() as driver:
        driver.set_script_timeout(args.seconds + 300)
        # Every load fetches the demo anew, as a first visit does.
        driver.execute_cdp_cmd("Network.setCacheDisabled", {"cacheDisabled": True})
        driver.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument", {"source": PLAY_AT_ONCE})

        def fresh_page(page, wait_ready):
            driver.get("about:blank")
            driver.get(url + page + ("" if wait_ready else "?play-at-once"))
            if wait_ready:
                driver.find_element(By.CSS_SELECTOR, "input[name=fullscreen][value=no]").click()
            while wait_ready and "Ready" not in driver.find_element(By.ID, "load-state").text:
                time.sleep(0.02)

        print("first frame after Play (ms; the pages take turns, the first run is the browser's first page)")
        for label, wait_ready in (("Play at once", False), ("Play when ready", True)):
            times = {page: [] for page in pages_under_test}
            downloads = []
            for _ in range(args.runs):
                for page, path in pages_under_test.items():
                    fresh_page(path, wait_ready)
                    times[page].append(driver.execute_async_script(FIRST_FRAME))
                    if page == "this page":
                        downloads.append(driver.execute_script(
                            "const e = performance.getEntriesByType('resource')"
                            ".find((e) => e.name.endsWith('ld_vexl.d1'));"
                            "return e.responseEnd - e.startTime;"))
            for page, values in times.items():
                print(f"  {label:16} {page:10} median {statistics.median(values):6.0f}, worst {max(values):6.0f}"
                      f"  ({', '.join(f'{t:.0f}' for t in values)})")
            if args.baseline:
                ratio = statistics.median(times["this page"]) / statistics.median(times["baseline"])
                print(f"  {label:16} {'':10} this page / baseline, medians: {ratio:.3f}")
            if not wait_ready:
                print(f"  {'':16} {'':10} the download of ld_vexl.d1 took: median {statistics.median(downloads):.0f}")

        for page, path in pages_under_test.items():
            fresh_page(path, True)
            driver.find_element(By.ID, "play").click()
            while not driver.execute_script("return window.vexlade.status().playing"):
                time.sleep(0.02)
            print(f"seek while playing, {page} (ms)")
            rng = random.Random(1)
            seeks = [driver.execute_async_script(SEEK, rng.uniform(0, 700)) for _ in range(30)]
            for key, label in (("call", "frame on the canvas (in seek())"),
                               ("painted", "next animation frame"),
                               ("heard", "heard position moves on")):
                values = [s[key] for s in seeks]
                print(f"  {label:32} median {statistics.median(values):6.1f}, worst {max(values):6.1f}")

        fresh_page("site/", True)
        driver.find_element(By.ID, "play").click()
        while not driver.execute_script("return window.vexlade.status().playing"):
            time.sleep(0.02)

        print(f"in time over {args.seconds:.0f} s of playing")
        driver.execute_script("window.vexlade.seek(0)")
        samples = driver.execute_async_script(pages.SAMPLE_STATUS, args.seconds)
        offsets = [frame - math.floor(seconds * 25) for frame, seconds, *_ in samples]
        counts = {k: offsets.count(k) for k in sorted(set(offsets))}
        print(f"  {len(samples)} samples; frame shown - floor(heard x 25): {counts}; "
              f"largest |difference| {max(abs(o) for o in offsets)}")
        gaps = sorted(sample[4] for sample in samples)
        print(f"  time since the last animation frame: median {statistics.median(gaps):.1f} ms, "
              f"99th percentile {gaps[len(gaps) * 99 // 100]:.1f} ms, longest {gaps[-1]:.1f} ms")
        late = [(round((sample[3] - samples[0][3]) / 1000, 2), o, round(sample[4]))
                for o, sample in zip(offsets, samples) if abs(o) > 1]
        if late:
            print(f"  off by more than one frame (seconds into the run, difference, ms since the "
                  f"last animation frame): {late}")
        animated = [o for o, sample in zip(offsets, samples) if sample[4] <= pages.ANIMATION_GAP_MS]
        print(f"  samples within {pages.ANIMATION_GAP_MS} ms of an animation frame: {len(animated)}, "
              f"largest |difference| {max(abs(o) for o in animated)}")
        wall = [sample[3] / 1000 for sample in samples]
        heard = [sample[1] for sample in samples]
        slope = statistics.linear_regression(wall, heard).slope
        lead = [h - w for h, w in zip(heard, wall)]
        tenth = max(1, len(lead) // 10)
        print(f"  heard position against the wall clock: rate {slope:.6f}; first tenth "
              f"{statistics.mean(lead[:tenth]) - lead[0]:+.4f} s, last tenth {statistics.mean(lead[-tenth:]) - lead[0]:+.4f} s")

        # Paused (space at the end would start again from the beginning).
        if driver.execute_script("return window.vexlade.status().playing"):
            driver.find_element(By.TAG_NAME, "body").send_keys(" ")
        differing = 0
        for frame in spread:
            result = driver.execute_async_script(pages.COMPARE_FRAME, frame, f"../refs/frame{frame}.png")
            if result.get("shown") != frame or result.get("differing"):
                differing += 1
                print(f"  frame {frame}: {result}")
        print(f"pixels: {len(spread) - differing} of {len(spread)} frames equal to vexl render")

        driver.get(url + "site/")
        started = time.monotonic()
        result = driver.execute_async_script(pages.SPEAKER_SAMPLES, "../refs/all.wav", "../refs/speaker-all.wav")
        print(f"speaker: {result} ({time.monotonic() - started:.1f} s offline)")


if __name__ == "__main__":
    main()
