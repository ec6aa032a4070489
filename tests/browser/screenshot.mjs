// Saves a screenshot of the inbox page once its notes are shown.
//   node screenshot.mjs URL PROFILE_DIR OUTPUT.png
import { launchChromium } from './chromium.mjs';

const [url, profileDir, output] = process.argv.slice(2);
const browser = await launchChromium(profileDir);
try {
  const page = await browser.newPage();
  await page.setViewport({ width: 1000, height: 660 });
  await page.goto(url, { waitUntil: 'load' });
  await page.waitForSelector('body[data-loaded="true"][data-live="true"]', { timeout: 10000 });
  // The thumbnails are in.
  await page.waitForFunction(
    () => [...document.querySelectorAll('#notes img')].every((i) => i.complete), { timeout: 10000 });
  await page.screenshot({ path: output });
} finally {
  await browser.close();
}
