#!/usr/bin/python3
"""The web viewer in headless Chromium, against the native zevart tool.

Loads the sample by the file input, by dropping and by a deep link; holds the
canvas pixels of an image, a picture at negative offsets, a frame and a
group's frames against the files the tool writes, the tree against the
viewer's logic (tree_dump), and checks the grid, zoom, backgrounds, saves
(BMP byte for byte, PNG, GIF and APNG decoded frame by frame) and the
message a broken file gives.

  browser_test.py --site build/web --native-bin build/native/bin
"""
import argparse
import base64
import functools
import http.server
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import threading
import time
import unittest

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import Select

ARGS = None
IMAGE, PICTURE, FRAME, GROUP = 1, 2, 3, 4
KIND_NAMES = {IMAGE: 'image', PICTURE: 'picture', FRAME: 'frame', GROUP: 'group'}
ORANGE = (0xFF, 0x7F, 0x00)


def bmp_rgba(data):
    """Width, height and top-down RGBA rows of a 32-bit bitmap file."""
    offset, = struct.unpack_from('<I', data, 10)
    width, height = struct.unpack_from('<ii', data, 18)
    bits, = struct.unpack_from('<H', data, 28)
    assert bits == 32, bits
    rows = []
    for y in range(abs(height)):
        stored = abs(height) - 1 - y if height > 0 else y
        row = data[offset + stored * width * 4: offset + (stored + 1) * width * 4]
        rows.append(b''.join(bytes((row[i + 2], row[i + 1], row[i], 255))
                             for i in range(0, len(row), 4)))
    return width, abs(height), b''.join(rows)


class Server:
    """A static server on loopback for `root`, in a thread of this process."""

    def __init__(self, root):
        class Quiet(http.server.SimpleHTTPRequestHandler):
            def log_message(self, *args):
                pass
        self.httpd = http.server.ThreadingHTTPServer(
            ('127.0.0.1', 0), functools.partial(Quiet, directory=root))
        threading.Thread(target=self.httpd.serve_forever, daemon=True).start()
        self.url = 'http://127.0.0.1:%d/' % self.httpd.server_address[1]

    def close(self):
        self.httpd.shutdown()
        self.httpd.server_close()


def start_chromium(downloads, profile, width=1280, height=900):
    options = webdriver.ChromeOptions()
    options.binary_location = '/usr/bin/chromium'
    for flag in ('--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
                 '--disable-background-networking', '--disable-component-update',
                 '--disable-sync', '--force-device-scale-factor=1',
                 '--window-size=%d,%d' % (width, height), '--user-data-dir=' + profile):
        options.add_argument(flag)
    options.add_experimental_option('prefs', {
        'download.default_directory': downloads, 'download.prompt_for_download': False,
        'profile.default_content_setting_values.automatic_downloads': 1})
    driver = webdriver.Chrome(service=Service('/usr/bin/chromedriver'), options=options)
    driver.execute_cdp_cmd('Page.setDownloadBehavior',
                           {'behavior': 'allow', 'downloadPath': downloads})
    driver.set_script_timeout(60)
    return driver


def wait_for(condition, what, seconds=20):
    """Polls until `condition()` is true; a step that never comes fails."""
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        value = condition()
        if value:
            return value
        time.sleep(0.05)
    raise AssertionError('waited %d s for %s' % (seconds, what))


# In the page: the canvas's pixels; a file's frames decoded by the browser.
CANVAS_PIXELS = """
const c = document.getElementById('canvas');
const d = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
let s = ''; for (let i = 0; i < d.length; i += 8192) s += String.fromCharCode(...d.subarray(i, i + 8192));
return [c.width, c.height, btoa(s)];
"""
DECODE_BOTH = """
const [a, b, type, done] = arguments;
async function frames(b64) {
  const bytes = Uint8Array.from(atob(b64), (ch) => ch.charCodeAt(0));
  const decoder = new ImageDecoder({ data: bytes, type });
  await decoder.tracks.ready;
  const out = [];
  for (let i = 0; i < decoder.tracks.selectedTrack.frameCount; i++) {
    const { image } = await decoder.decode({ frameIndex: i });
    const canvas = new OffscreenCanvas(image.displayWidth, image.displayHeight);
    const ctx = canvas.getContext('2d');
    ctx.drawImage(image, 0, 0);
    out.push([canvas.width, canvas.height, ctx.getImageData(0, 0, canvas.width, canvas.height).data]);
    image.close();
  }
  return out;
}
Promise.all([frames(a), frames(b)]).then(([x, y]) => {
  if (x.length !== y.length) return done(`${x.length} frames, not ${y.length}`);
  for (let i = 0; i < x.length; i++) {
    if (x[i][0] !== y[i][0] || x[i][1] !== y[i][1]) return done(`frame ${i}: ${x[i][0]} x ${x[i][1]}, not ${y[i][0]} x ${y[i][1]}`);
    const p = x[i][2], q = y[i][2];
    for (let k = 0; k < p.length; k++) if (p[k] !== q[k]) return done(`frame ${i}: byte ${k} is ${p[k]}, not ${q[k]}`);
  }
  done(`ok ${x.length}`);
}, (e) => done(`decoding failed: ${e}`));
"""


class WebViewer(unittest.TestCase):
    runs = 0

    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.mkdtemp(prefix='zevart-web-')
        root = os.path.join(cls.tmp, 'root')
        shutil.copytree(ARGS.site, root)
        cls.sample = [os.path.join(root, 'art', n) for n in ('zev_art.bmp', 'zev_art.prt')]
        sets = os.path.join(root, 'sets')
        os.makedirs(sets)
        with open(cls.sample[1], 'rb') as f:
            prt = f.read()
        cls.broken = {}
        for name, data in (('cut.prt', prt[:-10]), ('magic.prt', b'LAPC' + prt[4:])):
            cls.broken[name] = os.path.join(sets, name)
            with open(cls.broken[name], 'wb') as f:
                f.write(data)
        # 3000 small images: the grid has far more objects than cells.
        cls.bulk = os.path.join(sets, 'bulk')
        os.makedirs(cls.bulk)
        cls.tool('artgen', 'bulk', cls.bulk, '3000', '4', '40', '7')
        cls.cli = os.path.join(cls.tmp, 'cli')
        cls.downloads = os.path.join(cls.tmp, 'downloads')
        os.makedirs(cls.downloads)
        cls.server = Server(root)
        cls.driver = start_chromium(cls.downloads, os.path.join(cls.tmp, 'profile'))

    @classmethod
    def tearDownClass(cls):
        cls.driver.quit()
        cls.server.close()
        shutil.rmtree(cls.tmp, ignore_errors=True)

    @staticmethod
    def tool(name, *args):
        return subprocess.run([os.path.join(ARGS.native_bin, name), *args], check=True,
                              capture_output=True).stdout

    def cli_dir(self):
        """A new folder for what the zevart tool writes."""
        WebViewer.runs += 1
        out = os.path.join(self.cli, str(self.runs))
        os.makedirs(out)
        return out

    def export(self, fmt, kind, index):
        out = self.cli_dir()
        self.tool('zevart', 'export', '--quiet', '--format', fmt, '--kind', KIND_NAMES[kind],
                  '--index', str(index), *self.sample, out)
        return out

    def render(self, name, *args):
        path = os.path.join(self.cli_dir(), name)
        self.tool('zevart', 'render', *self.sample, *args, '-o', path)
        with open(path, 'rb') as f:
            return f.read()

    # ----- the page -----

    def js(self, script, *args):
        return self.driver.execute_script(script, *args)

    def open_page(self, query=''):
        self.driver.get(self.server.url + query)
        wait_for(lambda: self.js('return window.zevart && window.zevart.ready'), 'the page')

    def choose(self, *paths):
        field = self.driver.find_element(By.ID, 'file-input')
        self.js('arguments[0].style.display = "block"', field)
        field.send_keys('\n'.join(paths))

    def status(self):
        return self.js('return document.getElementById("status").textContent')

    def wait_loaded(self, counts='39 images'):
        wait_for(lambda: counts in self.status(), 'the set: ' + counts)

    def show(self, kind, index, frame=None):
        self.js('window.zevart.setKind(arguments[0]); window.zevart.select(arguments[1], arguments[2])',
                kind, index, frame or 0)
        if kind == GROUP:
            self.js('window.zevart.state.playing = true; document.getElementById("play-toggle").click()')
            self.js('window.zevart.select(arguments[0], arguments[1])', index, frame or 0)

    def canvas(self):
        w, h, b64 = self.js(CANVAS_PIXELS)
        return w, h, base64.b64decode(b64)

    def state(self, key):
        return self.js('return window.zevart.state[arguments[0]]', key)

    def expect_canvas(self, bmp_path, what):
        with open(bmp_path, 'rb') as f:
            want = bmp_rgba(f.read())
        self.assertEqual(self.canvas(), want, what)

    # ----- tests -----

    def test_file_input_drop_and_keys_show_objects_as_the_core_draws_them(self):
        self.open_page()
        self.choose(self.sample[1])  # either order, one at a time
        wait_for(lambda: 'now the bitmap file' in self.status(), 'the wait for the bitmap file')
        self.choose(self.sample[0])
        self.wait_loaded()
        self.expect_canvas(os.path.join(self.export('bmp32', IMAGE, 0), 'image-00000.bmp'), 'image 0')

        # A picture whose image lies left of and above its anchor, a frame,
        # and every frame of group 2, paused at each.
        picture = self.js("""const z = window.zevart.core;
            for (let i = 0; i < z.count(2); i++) { const r = z.rect(2, i); if (r.left < 0 && r.top < 0) return i; }
            return -1""")
        self.assertGreaterEqual(picture, 0, 'the sample has a picture at negative offsets')
        for kind, index, name in ((PICTURE, picture, 'picture-%05d.bmp' % picture),
                                  (FRAME, 5, 'frame-00005.bmp')):
            self.show(kind, index)
            self.expect_canvas(os.path.join(self.export('bmp32', kind, index), name), name)
        frames = self.export('bmp32', GROUP, 2)
        for f in range(6):
            self.show(GROUP, 2, f)
            self.assertFalse(self.state('playing'))
            self.expect_canvas(os.path.join(frames, 'group-0002-%03d.bmp' % f), 'group 2 frame %d' % f)

        # Keys: previous, next, first, last.
        self.show(IMAGE, 5)
        body = self.driver.find_element(By.ID, 'stage')
        for key, index in ((Keys.ARROW_RIGHT, 6), (Keys.ARROW_LEFT, 5), (Keys.END, 38),
                           (Keys.ARROW_RIGHT, 38), (Keys.HOME, 0), (Keys.ARROW_LEFT, 0)):
            body.send_keys(key)
            self.assertEqual(self.state('index'), index)
        self.assertEqual(self.js('return document.getElementById("index").value'), '0')

        # Both files dropped at once, the structure file first.
        self.js("""Promise.all(['sets/bulk/zev_art.prt', 'sets/bulk/zev_art.bmp'].map((u) =>
              fetch(u).then((r) => r.blob()).then((b) => new File([b], u.split('/').pop()))))
            .then((files) => { const dt = new DataTransfer(); files.forEach((f) => dt.items.add(f));
              document.dispatchEvent(new DragEvent('drop', { dataTransfer: dt, bubbles: true })); })""")
        self.wait_loaded('3000 images')

    def test_tree_texts_are_the_viewer_logics(self):
        self.open_page('?bmp=art/zev_art.bmp&prt=art/zev_art.prt')
        self.wait_loaded()
        for kind, index in ((IMAGE, 3), (PICTURE, 1), (FRAME, 10), (GROUP, 2), (GROUP, 1)):
            self.show(kind, index)
            # Open every node, then read the texts with their depths.
            self.js("""for (;;) { const closed = document.querySelectorAll('#tree .branch:not(.open) > .label');
                if (!closed.length) break; closed.forEach((l) => l.click()); }""")
            got = self.js("""const out = [];
                (function walk(el, depth) { for (const n of el.children) { if (!n.classList.contains('node')) continue;
                  out.push('\\t'.repeat(depth) + n.firstChild.textContent);
                  const c = n.querySelector(':scope > .children'); if (c) walk(c, depth + 1); } })(
                  document.getElementById('tree'), 0);
                return out.join('\\n') + '\\n';""")
            want = self.tool('tree_dump', *self.sample, str(kind), str(index)).decode()
            self.assertEqual(got, want, '%s %d' % (KIND_NAMES[kind], index))

    def test_deep_links_pick_the_view_and_embed_shows_only_the_object(self):
        link = '?bmp=art/zev_art.bmp&prt=art/zev_art.prt&kind=group&index=2&frame=2&play=0&zoom=2&bg=000000'
        self.open_page(link)
        self.wait_loaded()
        self.assertEqual([self.state(k) for k in ('kind', 'index', 'frame', 'playing', 'zoom', 'bg')],
                         [GROUP, 2, 2, False, 2, '#000000'])
        want = bmp_rgba(self.render('g2f2.bmp', '--background', '#000000', '--frame', '2', 'group', '2'))
        self.assertEqual(self.canvas(), want)
        size = self.js('const c = document.getElementById("canvas"); return [c.style.width, c.style.height]')
        self.assertEqual(size, ['%dpx' % (want[0] * 2), '%dpx' % (want[1] * 2)])
        ticks = self.js('return window.zevart.ticks')
        time.sleep(0.5)
        self.assertEqual((self.state('frame'), self.js('return window.zevart.ticks')), (2, ticks),
                         'paused: no tick')
        self.driver.find_element(By.ID, 'play-toggle').click()
        wait_for(lambda: self.js('return window.zevart.ticks') >= ticks + 3, 'three ticks')
        self.assertIn('play=1', self.driver.current_url)

        self.open_page(link.replace('play=0', 'play=1') + '&embed=1')
        self.wait_loaded()
        box = self.js("""const r = document.getElementById('canvas').getBoundingClientRect();
            return [r.left, r.top, document.getElementById('bar').offsetHeight,
                    document.getElementById('tree-panel').offsetHeight]""")
        self.assertEqual(box, [0, 0, 0, 0], 'the object alone, at the top left')
        wait_for(lambda: self.js('return window.zevart.ticks') >= 2, 'the group playing')

    def test_zoom_shows_whole_pixels_and_backgrounds_fill_what_is_transparent(self):
        self.open_page('?bmp=art/zev_art.bmp&prt=art/zev_art.prt&kind=image&index=0&zoom=3')
        self.wait_loaded()
        w, h, px = self.canvas()
        # The canvas on the screen: each pixel a 3 x 3 block.
        rect = self.js('const r = document.getElementById("canvas").getBoundingClientRect(); return [r.left, r.top]')
        shot = self.driver.execute_cdp_cmd('Page.captureScreenshot', {
            'format': 'png', 'clip': {'x': rect[0], 'y': rect[1], 'width': w * 3, 'height': h * 3, 'scale': 1}})
        screen = self.driver.execute_async_script("""const done = arguments[1];
            fetch('data:image/png;base64,' + arguments[0]).then((r) => r.blob()).then(createImageBitmap)
            .then((b) => { const c = new OffscreenCanvas(b.width, b.height); const x = c.getContext('2d');
              x.drawImage(b, 0, 0); const d = x.getImageData(0, 0, b.width, b.height).data;
              let s = ''; for (let i = 0; i < d.length; i += 8192) s += String.fromCharCode(...d.subarray(i, i + 8192));
              done([b.width, b.height, btoa(s)]); });""".replace('const done = arguments[1];',
                                                              'const done = arguments[arguments.length - 1];'),
                                     shot['data'])
        sw, sh, sp = screen[0], screen[1], base64.b64decode(screen[2])
        self.assertEqual((sw, sh), (w * 3, h * 3))
        bad = [(x, y) for y in range(sh) for x in range(sw)
               if sp[(y * sw + x) * 4:(y * sw + x) * 4 + 3] != px[((y // 3) * w + x // 3) * 4:((y // 3) * w + x // 3) * 4 + 3]]
        self.assertEqual(bad[:5], [], 'screen pixels that are not the canvas pixel under them')

        # Where image 0 leaves its index-0 pixels, the background shows.
        clear = [i for i in range(w * h) if px[i * 4:i * 4 + 3] == bytes(ORANGE)]
        self.assertTrue(clear, 'image 0 has transparent pixels')
        for bg, value in (('black', b'\0\0\0\xff'), ('white', b'\xff\xff\xff\xff'),
                          ('#3a6ea5', b'\x3a\x6e\xa5\xff'), ('checker', b'\0\0\0\0'),
                          ('orange', b'\xff\x7f\x00\xff')):
            self.js('const s = document.getElementById("bg"); const c = document.getElementById("bg-colour");'
                    'if (arguments[0].startsWith("#")) { s.value = "custom"; c.value = arguments[0]; }'
                    'else s.value = arguments[0]; s.dispatchEvent(new Event("change"));', bg)
            w2, h2, px2 = self.canvas()
            self.assertEqual({px2[i * 4:i * 4 + 4] for i in clear}, {value}, bg)
            self.assertEqual(self.js('return document.getElementById("stage").classList.contains("checker")'),
                             bg == 'checker')
        # Fit: the largest whole zoom up to 8 that the stage holds.
        self.js('const z = document.getElementById("zoom"); z.value = "fit"; z.dispatchEvent(new Event("change"))')
        fit = self.js('return parseInt(document.getElementById("canvas").style.width) / document.getElementById("canvas").width')
        self.assertEqual(fit, 8)

    def test_grid_keeps_few_cells_for_thousands_of_objects_and_opens_one(self):
        self.open_page('?bmp=sets/bulk/zev_art.bmp&prt=sets/bulk/zev_art.prt&view=grid')
        self.wait_loaded('3000 images')
        cells = lambda: self.js('return [...document.querySelectorAll(".cell:not([hidden]) span")].map((s) => Number(s.textContent))')
        first = cells()
        self.assertIn(0, first)
        self.assertLess(len(self.js('return document.querySelectorAll(".cell")')), 200)
        self.js('const g = document.getElementById("grid"); g.scrollTop = g.scrollHeight')
        wait_for(lambda: 2999 in cells(), 'the last cell after scrolling')
        self.assertLess(len(self.js('return document.querySelectorAll(".cell")')), 200)
        # A cell shows its object, scaled whole into the cell.
        self.js('document.querySelector(".cell:not([hidden])[data-index=\\"2999\\"]").click()')
        self.assertEqual([self.state('view'), self.state('index')], ['object', 2999])
        w, h, px = self.canvas()
        r = self.js('return window.zevart.core.rect(1, 2999)')
        self.assertEqual((w, h), (r['right'] - r['left'], r['bottom'] - r['top']))

    def test_saves_are_the_tools_files(self):
        self.open_page('?bmp=art/zev_art.bmp&prt=art/zev_art.prt')
        self.wait_loaded()

        def saved(fmt):
            for old in os.listdir(self.downloads):  # a download of the same name replaces it
                os.remove(os.path.join(self.downloads, old))
            # Clicks as a user makes them: a page may start one download after
            # another only on the user's gestures.
            Select(self.driver.find_element(By.ID, 'save-format')).select_by_value(fmt)
            self.driver.find_element(By.ID, 'save-button').click()
            name = wait_for(lambda: [n for n in os.listdir(self.downloads)
                                     if not n.endswith('.crdownload')],
                            'the download of %s (%s)' % (fmt, self.status()))[0]
            path = os.path.join(self.downloads, name)
            wait_for(lambda: os.path.getsize(path) > 0, 'the file written')
            with open(path, 'rb') as f:
                return name, f.read()

        def same_pixels(ours, theirs, mime, what):
            result = self.driver.execute_async_script(
                DECODE_BOTH, base64.b64encode(ours).decode(), base64.b64encode(theirs).decode(), mime)
            self.assertTrue(result.startswith('ok'), '%s: %s' % (what, result))

        mask = self.js("""const z = window.zevart.core;
            for (let i = 0; i < z.count(1); i++) if (z.tree(1, i).includes('Type: 4')) return i; return -1""")
        self.assertGreaterEqual(mask, 0, 'the sample has a shadow mask')
        # The viewer's bitmap files, byte for byte.
        for kind, index, frame, fmt, name in ((IMAGE, 3, 0, 'bmp32', 'image-00003.bmp'),
                                              (IMAGE, mask, 0, 'bmp8', 'image-%05d.bmp' % mask),
                                              (IMAGE, 3, 0, 'bmp8', 'image-00003.bmp'),
                                              (PICTURE, 1, 0, 'bmp16', 'picture-00001.bmp'),
                                              (FRAME, 4, 0, 'bmp24', 'frame-00004.bmp'),
                                              (GROUP, 2, 1, 'bmp24', 'group-0002-001.bmp')):
            self.show(kind, index, frame)
            got_name, got = saved(fmt)
            self.assertEqual(got_name, name)
            with open(os.path.join(self.export(fmt, kind, index), name), 'rb') as f:
                self.assertEqual(got, f.read(), '%s as %s' % (name, fmt))

        # PNG, GIF and APNG as the tool renders them: transparent on the
        # checkerboard, else over the background; enlarged by the zoom.
        self.js('const s = document.getElementById("bg"); s.value = "checker"; s.dispatchEvent(new Event("change"))')
        self.show(PICTURE, 7)
        same_pixels(saved('png')[1], self.render('p7.png', 'picture', '7'), 'image/png', 'picture 7')
        self.show(GROUP, 2)
        same_pixels(saved('apng')[1], self.render('g2.png', 'group', '2'), 'image/png', 'group 2 APNG')
        same_pixels(saved('gif')[1], self.render('g2.gif', 'group', '2'), 'image/gif', 'group 2 GIF')
        self.js('const s = document.getElementById("bg"); s.value = "white"; s.dispatchEvent(new Event("change"));'
                'const z = document.getElementById("zoom"); z.value = "2"; z.dispatchEvent(new Event("change"))')
        self.show(FRAME, 4)
        same_pixels(saved('png')[1], self.render('f4.png', '--background', '#FFFFFF', '--scale', '2',
                                                  'frame', '4'), 'image/png', 'frame 4 on white, 2x')
        same_pixels(saved('gif')[1], self.render('f4.gif', '--background', '#FFFFFF', '--scale', '2',
                                                  'frame', '4'), 'image/gif', 'frame 4 GIF')

    def test_a_broken_file_gives_its_code_and_breaks_nothing(self):
        self.open_page()
        for prt, code in (('cut.prt', 3), ('magic.prt', 1)):
            self.choose(self.sample[0], self.broken[prt])
            wait_for(lambda: 'Code %d:' % code in self.status(), 'the message for ' + prt)
            self.assertIn('Error loading art-structure.', self.status())
            self.assertTrue(self.js('return document.getElementById("select").hidden'))
        self.choose(*self.sample)
        self.wait_loaded()
        self.assertEqual(self.canvas()[:2], (40, 56))


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument('--site', required=True)
    parser.add_argument('--native-bin', required=True)
    ARGS, rest = parser.parse_known_args()
    for tool in ('zevart', 'artgen', 'tree_dump'):
        if not os.access(os.path.join(ARGS.native_bin, tool), os.X_OK):
            sys.exit('%s/%s is missing: build the native preset first (scripts/test-web does)'
                     % (ARGS.native_bin, tool))
    unittest.main(argv=[sys.argv[0], *rest], verbosity=2)


if __name__ == '__main__':
    main()
