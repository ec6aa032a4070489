// The inbox page in a real browser: shows the notes already stored, adds a new
// one live with a desktop notification, shows markup as text, shows each
// note's deliveries live (retrying, delivered, failed and tried again),
// follows chaos settings and searches, all within its own content policy (a
// violation is a console error). Then the inbox stops, more notes than one
// page holds arrive in its store and one shown note goes; after the restart
// the page shows exactly the store's notes.
//   node inbox_page_test.mjs URL TOKEN PROFILE_DIR SCREENSHOT INBOX_PID INBOX DATA_DIR PORT HOOK_PORT
import { execFileSync, spawn } from 'node:child_process';
import { openSync } from 'node:fs';
import { createServer } from 'node:http';
import { launchChromium, sendNote } from './chromium.mjs';

const [url, token, profileDir, screenshot, inboxPid, inbox, dataDir, port, hookPort] =
  process.argv.slice(2);

// The webhook the inbox forwards to: refuses a note that asks for it until
// told otherwise, takes every other.
let refusing = true;
const hook = createServer((request, response) => {
  let body = '';
  request.on('data', (piece) => (body += piece)).on('end', () => {
    response.statusCode = refusing && body.includes('refuse me') ? 400 : 200;
    response.end();
  });
}).listen(Number(hookPort), '127.0.0.1');
const missed = 1200;
const markup = '<img src=x onerror=alert(1)>';
const problems = [];

let restarted;
let stopped = false;
const browser = await launchChromium(profileDir);
try {
  await browser.defaultBrowserContext().overridePermissions(new URL(url).origin, ['notifications']);
  const page = await browser.newPage();
  // Each desktop notification the page makes, kept for the test.
  await page.evaluateOnNewDocument(() => {
    const Real = window.Notification;
    window.notificationsShown = [];
    window.Notification = class {
      constructor(title, options) { window.notificationsShown.push({ title, ...options }); }
      static get permission() { return Real.permission; }
      static requestPermission() { return Real.requestPermission(); }
    };
  });
  await page.setViewport({ width: 1000, height: 640 });
  page.on('dialog', async (dialog) => {
    problems.push(`a dialog opened: ${dialog.message()}`);
    await dialog.dismiss();
  });
  page.on('pageerror', (error) => problems.push(`page error: ${error.message}`));
  page.on('console', (message) => {
    // Once the inbox is stopped, the page's failed requests are expected.
    if (stopped && message.text().includes('net::ERR_')) return;
    if (message.type() === 'error') problems.push(`console: ${message.text()}`);
  });

  await page.goto(url, { waitUntil: 'load' });
  await page.waitForSelector('body[data-live="true"][data-loaded="true"]', { timeout: 10000 });

  const stored = await page.$$eval('#notes .message', (items) => items.map((p) => p.textContent));
  if (!stored.includes('Hello from the test')) problems.push(`text note missing: ${stored}`);
  if (!stored.includes('A picture')) problems.push(`image note missing: ${stored}`);
  // The thumbnail has loaded from the inbox.
  await page.waitForFunction(
    () => [...document.querySelectorAll('#notes img')].some((i) => i.complete && i.naturalWidth > 0),
    { timeout: 10000 });

  // A note retried while its receiver was down shows delivered once it is up.
  const deliveryOf = (text) => page.evaluate((text) => {
    const note = [...document.querySelectorAll('#notes .note')]
      .find((item) => item.querySelector('.message').textContent === text);
    return note?.querySelector('.delivery .state')?.textContent ?? '';
  }, text);
  const deliveryReads = (text, start) => page.waitForFunction((text, start) => {
    const note = [...document.querySelectorAll('#notes .note')]
      .find((item) => item.querySelector('.message').textContent === text);
    return note?.querySelector('.delivery .state')?.textContent.startsWith(start);
  }, { timeout: 20000 }, text, start);
  await deliveryReads('Hello from the test', 'delivered after');

  // A refused note fails; Retry sends it again once the receiver takes it.
  await page.click('#alerts');
  await page.waitForSelector('#alerts[aria-pressed="true"]');
  if ((await page.evaluate(() => window.notificationsShown.length)) !== 0) {
    problems.push('notes present at load made desktop notifications');
  }
  await sendNote(page, token, 'refuse me\nplease');
  await deliveryReads('refuse me\nplease', 'failed: HTTP 400');
  refusing = false;
  await page.click('.delivery.failed .retry');
  await deliveryReads('refuse me\nplease', 'delivered after');
  const alerts = await page.evaluate(() => window.notificationsShown);
  if (alerts.length !== 1 || alerts[0].title !== 'refuse me' || alerts[0].body !== 'please') {
    problems.push(`desktop notifications: ${JSON.stringify(alerts)}`);
  }
  if (!(await deliveryOf('A picture')).startsWith('delivered')) {
    problems.push(`the picture's delivery reads "${await deliveryOf('A picture')}"`);
  }

  // A new note appears without the page loading again.
  await page.evaluate(() => { window.sameDocument = true; });
  const status = await sendNote(page, token, markup);
  if (status !== 200) problems.push(`sending from the page answered ${status}`);
  await page.waitForFunction(
    (text) => [...document.querySelectorAll('#notes .message')].some((p) => p.textContent === text),
    { timeout: 10000 }, markup);
  if (!(await page.evaluate(() => window.sameDocument === true))) problems.push('the page reloaded');
  const first = await page.$eval('#notes .message', (p) => p.textContent);
  if (first !== markup) problems.push(`the newest note is not first: ${first}`);
  // Shown as characters: no element was made from it.
  const madeImages = await page.$$eval('img[src="x"], .message *', (found) => found.length);
  if (madeImages !== 0) problems.push('the message was read as HTML');

  // Chaos switched on elsewhere shows at once, and goes when switched off.
  const setChaos = (settings) => page.evaluate((body) => fetch('/api/chaos', {
    method: 'PUT', headers: { 'Content-Type': 'application/json' }, body }), JSON.stringify(settings));
  const banner = (text) => page.waitForFunction((text) => {
    const element = document.getElementById('chaos');
    return text ? !element.hidden && element.textContent.includes(text) : element.hidden;
  }, { timeout: 10000 }, text);
  await setChaos({ delay_ms: 250 });
  await banner('delay_ms=250');
  await setChaos({ delay_ms: 0 });
  await banner('');

  // The search box filters by text.
  await page.type('#search', 'picture');
  const visible = await page.$$eval('#notes .note', (items) => items.filter((i) => !i.hidden).length);
  if (visible !== 1) problems.push(`search for "picture" left ${visible} notes visible`);
  await page.$eval('#search', (input) => { input.value = ''; input.dispatchEvent(new Event('input')); });

  await page.screenshot({ path: screenshot });

  // The inbox goes away; while it is down, notes arrive and one goes.
  const before = await page.$$eval('#notes .note', (items) => items.length);
  stopped = true;
  process.kill(Number(inboxPid), 'SIGTERM');
  await page.waitForSelector('body[data-live="false"]', { timeout: 10000 });
  execFileSync('sqlite3', [`${dataDir}/inbox.sqlite3`, `
    WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < ${missed})
    INSERT INTO notes (received_ms, token_fingerprint, user_agent, content_type, message,
                       message_repaired, answer_status, answer_body, answer_chaos)
    SELECT 1700000000000, '00000000', 'sqlite3', 'text/plain', 'missed ' || i, 0, 200, '{}', ''
    FROM n;
    DELETE FROM notes WHERE message = 'Hello from the test';`]);
  restarted = spawn(inbox, ['--port', port, '--data', dataDir, '--token', token, '--keep', '5000',
    '--max-seconds', '60'], { stdio: ['ignore', openSync(`${dataDir}/../restarted.log`, 'w'), 'inherit'] });
  await page.waitForSelector('body[data-caught-up="1"]', { timeout: 20000 });
  const after = await page.$$eval('#notes .message', (items) => items.map((p) => p.textContent));
  if (after.length !== before - 1 + missed) {
    problems.push(`after the restart ${after.length} notes shown, expected ${before - 1 + missed}`);
  }
  if (after.includes('Hello from the test')) problems.push('a note deleted meanwhile is still shown');
  if (!after.includes('missed 1') || !after.includes(`missed ${missed}`)) {
    problems.push('notes missed while the inbox was down are not all shown');
  }
} finally {
  await browser.close();
  restarted?.kill('SIGTERM');
  hook.close();
}

if (problems.length) {
  for (const problem of problems) console.error(`FAIL: ${problem}`);
  process.exit(1);
}
console.log(`inbox page checks passed; screenshot ${screenshot}`);
