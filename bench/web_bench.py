#!/usr/bin/python3
"""The web viewer's speed in headless Chromium (scripts/bench-web).

- Load: from the two files chosen to the first object drawn, side by side
  with the browser reading the same two files into memory (File.arrayBuffer),
  in interleaved rounds; the ratio of the medians.
- Grid: frames per second while the thumbnail grid of every image scrolls at
  a steady speed, with the time each frame's work took, next to the frame
  rate of the same page standing still.
- Tick: what one 150 ms tick of a group costs (its frame drawn by the core
  and put on the canvas), for the sample's group 2 and a group of the set.

  web_bench.py --site build/web --set DIR [--rounds N]
"""
import argparse
import os
import shutil
import statistics
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(__file__), '..', 'tests', 'web'))
from browser_test import Server, start_chromium, wait_for  # noqa: E402

from selenium.webdriver.common.by import By  # noqa: E402

LOAD_ROUND = """
const done = arguments[arguments.length - 1];
const [bmp, prt] = [...document.getElementById('bench-files').files]
  .sort((a, b) => (a.name.endsWith('.bmp') ? -1 : 1));
(async () => {
  const t0 = performance.now();
  const bytes = await Promise.all([bmp.arrayBuffer(), prt.arrayBuffer()]);
  const read = performance.now() - t0;
  bytes.length = 0;
  const t1 = performance.now();
  const code = await window.zevart.load(bmp, prt);
  const load = performance.now() - t1;
  done([read, load, code, window.zevart.renders]);
})();
"""

GRID_RUN = """
const done = arguments[arguments.length - 1];
const [seconds, step] = [arguments[0], arguments[1]];
const grid = document.getElementById('grid');
const frames = [];
const work = [];
let last = performance.now();
const end = last + seconds * 1000;
function frame(now) {
  frames.push(now - last);
  last = now;
  if (step) {
    const t = performance.now();
    grid.scrollTop += step;
    window.zevart.fillGrid();
    work.push(performance.now() - t);
  }
  if (now < end) requestAnimationFrame(frame);
  else done([frames.slice(1), work, grid.scrollTop]);
}
requestAnimationFrame(frame);
"""

TICK_RUN = """
const n = arguments[0];
const t = performance.now();
for (let i = 0; i < n; i++) window.zevart.tick();
return (performance.now() - t) / n;
"""


def median(values):
    return statistics.median(values)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--site', required=True)
    parser.add_argument('--set', required=True, help='folder with zev_art.bmp and zev_art.prt')
    parser.add_argument('--rounds', type=int, default=5)
    args = parser.parse_args()

    tmp = tempfile.mkdtemp(prefix='zevart-web-bench-')
    root = os.path.join(tmp, 'root')
    shutil.copytree(args.site, root)
    os.symlink(os.path.abspath(args.set), os.path.join(root, 'bulk'))
    server = Server(root)
    driver = start_chromium(os.path.join(tmp, 'downloads'), os.path.join(tmp, 'profile'))
    try:
        files = [os.path.abspath(os.path.join(args.set, n)) for n in ('zev_art.bmp', 'zev_art.prt')]
        size = sum(os.path.getsize(f) for f in files)
        driver.get(server.url)
        wait_for(lambda: driver.execute_script('return window.zevart && window.zevart.ready'), 'page')
        driver.execute_script("""const i = document.createElement('input'); i.type = 'file';
            i.multiple = true; i.id = 'bench-files'; document.body.append(i);""")
        driver.find_element(By.ID, 'bench-files').send_keys('\n'.join(files))
        driver.set_script_timeout(300)
        reads, loads = [], []
        for r in range(args.rounds + 1):
            read, load, code, _ = driver.execute_async_script(LOAD_ROUND)
            assert code == 0, 'load failed: code %d' % code
            if r:  # the first round warms the caches and the module's memory
                reads.append(read)
                loads.append(load)
        print('set:   %.1f MB (bmp + prt), %d rounds' % (size / 1e6, args.rounds))
        print('read:  %.0f ms median (%s)' % (median(reads), ', '.join('%.0f' % v for v in reads)))
        print('load:  %.0f ms median (%s), files chosen to the first object drawn'
              % (median(loads), ', '.join('%.0f' % v for v in loads)))
        print('ratio: %.2f x the browser\'s own read' % (median(loads) / median(reads)))

        driver.execute_script('window.zevart.state.view = "grid"; window.zevart.select(0)')
        wait_for(lambda: driver.execute_script('return document.querySelectorAll(".cell").length'),
                 'the grid')
        still, _, _ = driver.execute_async_script(GRID_RUN, 2, 0)
        frames, work, top = driver.execute_async_script(GRID_RUN, 4, 24)
        count = driver.execute_script('return window.zevart.core.count(1)')
        rows = top / 128
        # The same scrolling with empty cells: what the browser alone manages
        # on this machine, side by side with the thumbnails.
        driver.execute_script('window.zevart.core.thumb = () => null; '
                              'document.getElementById("grid").scrollTop = 0')
        bare, _, _ = driver.execute_async_script(GRID_RUN, 4, 24)
        p95 = lambda v: sorted(v)[int(len(v) * 0.95)]
        print('grid:  %.1f fps scrolling with thumbnails, %.1f with empty cells, %.1f standing '
              'still; %d of %d images passed (%.0f rows)'
              % (1000 / statistics.mean(frames), 1000 / statistics.mean(bare),
                 1000 / statistics.mean(still),
                 rows * driver.execute_script('return window.zevart.gridColumns()'), count, rows))
        print('       frame work %.2f ms median, %.2f ms at the 95th percentile; frame interval '
              '%.1f ms at the 95th percentile (%.1f with empty cells)'
              % (median(work), p95(work), p95(frames), p95(bare)))

        for label, link in (('sample group 2', 'bmp=art/zev_art.bmp&prt=art/zev_art.prt'),
                            ('bulk group 0', 'bmp=bulk/zev_art.bmp&prt=bulk/zev_art.prt')):
            index = 2 if 'sample' in label else 0
            driver.get('%s?%s&kind=group&index=%d&play=0' % (server.url, link, index))
            wait_for(lambda: driver.execute_script('return window.zevart.ready'), 'page')
            r = driver.execute_script('return window.zevart.core.rect(4, %d)' % index)
            driver.execute_script(TICK_RUN, 50)
            cost = median([driver.execute_script(TICK_RUN, 200) for _ in range(5)])
            print('tick:  %.3f ms for %s (%d x %d pixels), %.1f %% of the 150 ms tick'
                  % (cost, label, r['right'] - r['left'], r['bottom'] - r['top'], cost / 1.5))
    finally:
        driver.quit()
        server.close()
        shutil.rmtree(tmp, ignore_errors=True)


if __name__ == '__main__':
    main()
