#!/usr/bin/python3
"""The web player over an emulated network, in a real headless Chromium on
a local server with the default demo (run by hand; needs the web player
built):

    bench/web/bench_web.py BUILD [--runs N] [--seeks N] [--baseline PAGEDIR]

Three sites of the same demo, measured in turns in one run:

  today's format  the page with the two whole files (ld_vexl.d1 and
                  ld_vexl.d2), as vexl web wrote them before the pieces;
                  with --baseline PAGEDIR the page files of that build
                  (an older one's build/web/page), else this page, which
                  still plays such a site
  exact           vexl web's site: frames and FLAC in pieces
  opus            vexl web --opus

and for each, on a fresh browser (cold cache, new connections) with the
link emulated through the DevTools protocol (Network.emulateNetworkConditions)
at 20 Mbit/s down and 40 ms latency, then at 5 Mbit/s and 100 ms:

  first frame   from the click on Play (as soon as the page takes it, which
                is said too) to the first frame on the canvas
  first sound   from the click to the heard position moving on
  seek          while playing, seek() to a random place: until the heard
                position moves on from there; then, for 3 s, how far the
                pieces in hand reach ahead of the position (the least, in
                seconds) and how long playing stood still
  bytes         everything the page fetched to have the whole demo in
                hand: unthrottled, by seeking through it; the ratio to
                today's format

and, unthrottled, how exact the pieces are: the frames of 40 places on the
canvas against `vexl render`; the sound pieces decoded by the page and
joined against the soundtrack, and played by its worklet through the
speaker simulation against `vexl speaker` (the whole demo); the signal-to-
noise ratio of the Opus pieces.

The work folder (demo, sites, references) is BUILD/bench/web/work.
"""

import argparse
import pathlib
import random
import shutil
import statistics
import subprocess
import sys
import time
import functools

print = functools.partial(print, flush=True)  # noqa: A001

HERE = pathlib.Path(__file__).resolve().parent
sys.path.insert(0, str(HERE.parent.parent / "tests" / "web"))
import test_web_player as pages  # noqa: E402
from web_browser import chromium, serve  # noqa: E402

LINKS = [("20 Mbit/s, 40 ms", 20e6, 40), ("5 Mbit/s, 100 ms", 5e6, 100)]

# On every new document: room for the resource timings of hundreds of
# pieces, and the times of the first frame and the first heard sound after
# the click on Play, from window.vexlade.status() on every animation frame.
WATCH = """
performance.setResourceTimingBufferSize(5000);
window.bench = {};
(function watch() {
  const s = window.vexlade && window.vexlade.status && window.vexlade.status();
  if (s && window.bench.clicked !== undefined) {
    const t = performance.now() - window.bench.clicked;
    if (s.frame >= 0 && window.bench.frame === undefined) window.bench.frame = t;
    if (s.playing && s.seconds > 0.001 && window.bench.sound === undefined) window.bench.sound = t;
  }
  requestAnimationFrame(watch);
})();
"""

# Clicks Play as soon as the page takes it ("No" to full screen); resolves
# once both the first frame and the first sound came (or after 300 s).
PLAY_AT_ONCE = """
const done = arguments[0];
const panel = () => {
  const player = document.querySelector('vexlade-player');
  return player ? player.shadowRoot : document;
};
(function click() {
  const root = panel();
  const play = root && root.getElementById('play');
  if (!play || play.disabled || !customElements) { setTimeout(click, 2); return; }
  root.querySelector('input[name=fullscreen][value=no]').checked = true;
  window.bench.clicked = performance.now();  // since the navigation began
  play.click();
  const start = performance.now();
  (function wait() {
    if ((window.bench.frame !== undefined && window.bench.sound !== undefined) || performance.now() - start > 300000)
      done(window.bench);
    else setTimeout(wait, 5);
  })();
})();
"""

# Seeks to `seconds` while playing; the ms until the heard position moves
# on from there, then over `watch` seconds the least reach of the pieces in
# hand ahead of the position (status().ahead, where the page says it) and
# the ms spent not playing.
SEEK = """
const [seconds, watch, done] = arguments;
const start = performance.now();
window.vexlade.seek(seconds);
(function wait() {
  const s = window.vexlade.status();
  const now = performance.now();
  if (s.playing && s.seconds > seconds + 0.02) {
    const result = {plays: now - start, least: null, still: 0};
    let last = now;
    (function sample() {
      const s2 = window.vexlade.status();
      const t = performance.now();
      if (s2.ahead !== undefined) result.least = Math.min(result.least ?? Infinity, s2.ahead);
      if (!s2.playing) result.still += t - last;
      last = t;
      if (t - now < watch * 1000) setTimeout(sample, 20); else done(result);
    })();
  } else if (now - start > 60000) {
    done({plays: 1e9, least: null, still: 0});
  } else {
    setTimeout(wait, 2);
  }
})();
"""

# Resource timings: bytes over the wire, and the number of files.
TRANSFERRED = """
const entries = performance.getEntriesByType('resource');
return [entries.reduce((sum, e) => sum + e.transferSize, 0), entries.length];
"""

# Has the whole demo fetched: seeks through it and waits at each place
# until the pieces reach on (for a site of whole files, until it is Ready).
FETCH_ALL = """
const done = arguments[0];
const player = document.querySelector('vexlade-player');
const root = player ? player.shadowRoot : document;
(async () => {
  const sleep = (ms) => new Promise((r) => setTimeout(r, ms));
  while (!root.getElementById('load-state').textContent.includes('Ready')) await sleep(50);
  if (!player || player.status().ahead === undefined) { done(true); return; }
  for (let at = 0; at < 706; at += 20) {
    player.seek(at);
    const start = performance.now();
    while (player.status().ahead < Math.min(20, 706 - at) - 0.1 && performance.now() - start < 20000) await sleep(20);
  }
  done(true);
})();
"""


def emulate(driver, rate, latency):
    driver.execute_cdp_cmd("Network.enable", {})
    driver.execute_cdp_cmd("Network.setCacheDisabled", {"cacheDisabled": True})
    driver.execute_cdp_cmd("Network.emulateNetworkConditions", {
        "offline": False, "latency": latency, "downloadThroughput": rate / 8, "uploadThroughput": rate / 8})


def fresh(url, rate=None, latency=0):
    """A new browser (cold cache, no open connections) on `url`."""
    browser = chromium()
    driver = browser.__enter__()
    driver.set_script_timeout(900)
    driver.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument", {"source": WATCH})
    if rate:
        emulate(driver, rate, latency)
    driver.get(url)
    return browser, driver


def size_of(folder):
    return sum(p.stat().st_size for p in folder.rglob("*") if p.is_file())


def exactness(url, work, opus):
    refs = pages.REFS
    if not (refs / "speaker-all.wav").exists():
        shutil.copy(pages.DEMO / "ld_vexl.d2", refs / "all.wav")
        pages.vexl("speaker", refs / "all.wav", refs / "speaker-all.wav")
    spread = [round(i * 17649 / 39) for i in range(40)]
    for frame in spread:
        if not (refs / f"frame{frame}.png").exists():
            pages.vexl("render", pages.DEMO / "ld_vexl.d1", refs / f"frame{frame}.png", "--frame", frame)
    print("exactness (unthrottled)")
    browser, driver = fresh(url + "site/")
    try:
        root = driver.find_element(pages.By.TAG_NAME, "vexlade-player").shadow_root
        while "Ready" not in root.find_element(pages.By.CSS_SELECTOR, "#load-state").text:
            time.sleep(0.05)
        root.find_element(pages.By.CSS_SELECTOR, "input[name=fullscreen][value=no]").click()
        root.find_element(pages.By.CSS_SELECTOR, "#play").click()
        while not driver.execute_script("return window.vexlade.status().playing"):
            time.sleep(0.02)
        driver.execute_script("document.querySelector('vexlade-player').pause()")
        differing = [f for f in spread
                     if driver.execute_async_script(pages.COMPARE_FRAME, f, f"../refs/frame{f}.png").get("differing")]
        print(f"  frames: {len(spread) - len(differing)} of {len(spread)} equal to vexl render {differing or ''}")
        driver.get(url + "site/")
        for name, site in (("exact", "../site/"), ("opus", f"../{opus.name}/")):
            result = driver.execute_async_script(pages.SOUND_NOISE, site, "../refs/all.wav")
            snr = "every sample equal" if result.get("snr") is None else f"{result['snr']:.2f} dB signal to noise"
            print(f"  sound pieces, {name}: {result.get('count')} of {result.get('samples')} samples joined; {snr}")
        started = time.monotonic()
        results = driver.execute_async_script(pages.PIECES_THROUGH_THE_WORKLET, "../site/", "../refs/all.wav",
                                              "../refs/speaker-all.wav")
        for label, result in zip(("as it is", "through the speaker simulation"), results):
            print(f"  worklet, {label}: {result['differing']} of {result['samples']} samples differ")
        print(f"  ({time.monotonic() - started:.0f} s offline)")
    finally:
        browser.__exit__(None, None, None)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("build", type=pathlib.Path)
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--seeks", type=int, default=8)
    parser.add_argument("--baseline", type=pathlib.Path, help="page files of the build to compare with")
    args = parser.parse_args()
    build = args.build.resolve()
    work = build / "bench" / "web" / "work"
    pages.VEXL = str(build / "tools" / "vexl")
    pages.WORK, pages.DEMO, pages.SITE = work, work / "demo", work / "site"
    pages.REFS, pages.SITES = work / "refs", work / "sites"
    pages.make_site()
    opus = work / "bench-opus"
    if not opus.exists() or opus.stat().st_mtime < pages.SITE.stat().st_mtime:
        shutil.rmtree(opus, ignore_errors=True)
        subprocess.run([pages.VEXL, "web", "--opus", pages.DEMO, opus], check=True, stdout=subprocess.DEVNULL)
    today = work / "site-today"
    shutil.rmtree(today, ignore_errors=True)
    today.mkdir()
    for name in ("ld_vexl.d1", "ld_vexl.d2"):
        (today / name).symlink_to(pages.DEMO / name)
    if args.baseline:
        for page_file in args.baseline.iterdir():
            if page_file.is_file():
                shutil.copy(page_file, today / page_file.name)
    else:
        # This page, on the two files beside it.
        for page_file in pages.SITE.iterdir():
            if page_file.is_file():
                (today / page_file.name).symlink_to(page_file)
        html = (pages.SITE / "index.html").read_text().replace('demo/', '')
        (today / "index.html").unlink()
        (today / "index.html").write_text(html)
    sites = {"today's format": "site-today/", "exact": "site/", "opus": "bench-opus/"}
    print(f"today's format: {'the page of ' + str(args.baseline) if args.baseline else 'this page'}")

    with serve(work) as url:
        print("bytes to have the whole demo in hand (unthrottled; files fetched)")
        transferred = {}
        for name, path in sites.items():
            browser, driver = fresh(url + path)
            try:
                driver.execute_async_script(FETCH_ALL)
                transferred[name], files = driver.execute_script(TRANSFERRED)
            finally:
                browser.__exit__(None, None, None)
            ratio = transferred[name] / transferred["today's format"]
            print(f"  {name:15} {transferred[name] / 1e6:7.2f} MB in {files:3} files, "
                  f"{ratio:6.1%} of today's format")
        for name, folder in (("exact", pages.SITE), ("opus", opus)):
            print(f"  {name:15} site on disk {size_of(folder) / 1e6:7.2f} MB, "
                  f"{size_of(folder) / (size_of(pages.DEMO)):6.1%} of the demo's two files")

        exactness(url, work, opus)

        rng = random.Random(1)
        for link, rate, latency in LINKS:
            print(f"{link} (ms; medians of {args.runs} cold runs, worst in brackets)")
            for name, path in sites.items():
                firsts = []
                seeks = []
                for _ in range(args.runs):
                    browser, driver = fresh(url + path, rate, latency)
                    try:
                        firsts.append(driver.execute_async_script(PLAY_AT_ONCE))
                        if not seeks:
                            for _ in range(args.seeks):
                                seeks.append(driver.execute_async_script(SEEK, rng.uniform(0, 700), 3))
                    finally:
                        browser.__exit__(None, None, None)
                clickable = [f["clicked"] for f in firsts]
                frame = [f.get("frame", float("inf")) for f in firsts]
                sound = [f.get("sound", float("inf")) for f in firsts]
                plays = [s["plays"] for s in seeks]
                least = [s["least"] for s in seeks if s["least"] is not None]
                still = [s["still"] for s in seeks]
                reach = f"pieces in hand reach at least {min(least):.1f} s ahead" if least else "reach not told"
                print(f"  {name:15} first frame {statistics.median(frame):7.0f} ({max(frame):7.0f})  "
                      f"first sound {statistics.median(sound):7.0f} ({max(sound):7.0f})  "
                      f"(Play taken {statistics.median(clickable):.0f} after the navigation began)")
                print(f"  {'':15} seek plays  {statistics.median(plays):7.0f} ({max(plays):7.0f}); "
                      f"{reach}; still {max(still):.0f} ms at most in 3 s after a seek")


if __name__ == "__main__":
    main()
