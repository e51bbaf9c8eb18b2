// Checks that Debian's chromium, driven by puppeteer-core, gives a page a WebGL context that draws in
// headless mode: the page clears to a known colour and reads it back; the check also reads the canvas
// from outside (the path a frame comparison takes). Serve the page with check-browser.sh.
//   node tests/web/webgl-check.mjs URL SCREENSHOT.png
import puppeteer from 'puppeteer-core';

const [url, screenshot] = process.argv.slice(2);
const browser = await puppeteer.launch({
  executablePath: '/usr/bin/chromium',
  headless: true,  // puppeteer-core 23 runs this as --headless=new
  args: ['--no-sandbox', '--use-angle=swiftshader', '--enable-unsafe-swiftshader',
         '--autoplay-policy=no-user-gesture-required'],
});
let failed = 0;
try {
  const page = await browser.newPage();
  const errors = [];
  page.on('console', (m) => { if (m.type() === 'error') errors.push(m.text()); });
  page.on('pageerror', (e) => errors.push(String(e)));
  await page.goto(url);
  await page.waitForFunction(() => document.title !== 'loading', {timeout: 20000});
  const title = await page.title();
  const outside = await page.evaluate(() => {
    const probe = document.createElement('canvas');
    probe.width = probe.height = 1;
    const c = probe.getContext('2d');
    c.drawImage(document.getElementById('c'), 10, 10, 1, 1, 0, 0, 1, 1);
    return Array.from(c.getImageData(0, 0, 1, 1).data).join(',');
  });
  await page.screenshot({path: screenshot});
  console.log(`browser ${await browser.version()}; page: ${title}; read from outside: ${outside}`);
  if (!title.startsWith('ready') || !title.endsWith(' 255,128,0,255') || outside !== '255,128,0,255') failed++;
  if (errors.length) { console.log('console errors:', errors); failed++; }
} finally {
  await browser.close();
}
console.log(failed ? 'FAIL' : 'ok');
process.exit(failed ? 1 : 0);
