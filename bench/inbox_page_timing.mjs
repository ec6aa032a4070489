// How long the inbox page takes to show the notes it loads, from the
// browser's performance timings: the page marks "notes-shown" once its list
// is in the document; the mark's time counts from the start of navigation.
//   node inbox_page_timing.mjs URL PROFILE_DIR RUNS
import { launchChromium } from '../../tests/browser/chromium.mjs';

const [url, profileDir, runs] = process.argv.slice(2);
const browser = await launchChromium(profileDir);
const times = [];
let shown = 0;
try {
  for (let run = 0; run < Number(runs); ++run) {
    const page = await browser.newPage();
    await page.setViewport({ width: 1000, height: 800 });
    await page.goto(url, { waitUntil: 'load' });
    await page.waitForSelector('body[data-loaded="true"]', { timeout: 30000 });
    const figures = await page.evaluate(() => ({
      shown: performance.getEntriesByName('notes-shown')[0].startTime,
      notes: document.querySelectorAll('#notes .note').length,
    }));
    times.push(figures.shown);
    shown = figures.notes;
    await page.close();
  }
} finally {
  await browser.close();
}
times.sort((a, b) => a - b);
const median = times[Math.floor(times.length / 2)];
console.log(`page shows ${shown} notes ${median.toFixed(0)} ms after navigation start ` +
  `(median of ${times.length}; all: ${times.map((t) => t.toFixed(0)).join(', ')} ms)`);
